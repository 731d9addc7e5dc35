#include "graphics/graphics_3d.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "graphics/graphics_draw.h"
#include "graphics/graphics_recorder.h"
#include "graphics/graphics_texture.h"
#include "graphics/render_state.h"

namespace kestrin {

namespace {

struct Primitive {
    int32_t kind = 0;
    int32_t texture = -1;
    std::vector<Vertex3D> vertices;
};

struct State3D {
    Primitive primitive;
    std::vector<Matrix> stack = std::vector<Matrix>(kTransformStackSize);
    int32_t top = -1;
    LightingState lighting;
    CGraphicsRecorder* recorder = nullptr;
};

State3D& S() {
    static State3D s;
    return s;
}

float F(double v) {
    return static_cast<float>(v);
}

size_t MeshSize(const CGraphicsRecorder& r) {
    return r.Triangles().size() + r.Lines().size() + r.Points().size();
}

// One primitive: into the recorder while a model builds, else straight to the device.
void Emit(int32_t kind, int32_t texture, const std::vector<Vertex3D>& v) {
    if (kind < 1 || kind > 6) return;
    const auto type = static_cast<PrimitiveType>(kind);
    const auto n = static_cast<int32_t>(v.size());
    int32_t count = 0;
    switch (type) {
    case PrimitiveType::PointList:
        count = n;
        break;
    case PrimitiveType::LineList:
        count = n / 2;
        break;
    case PrimitiveType::LineStrip:
        count = n - 1;
        break;
    case PrimitiveType::TriangleList:
        count = n / 3;
        break;
    case PrimitiveType::TriangleStrip:
    case PrimitiveType::TriangleFan:
        count = n - 2;
        break;
    }
    if (count <= 0) return;
    if (CGraphicsRecorder* r = S().recorder) {
        if (MeshSize(*r) + v.size() * 3 > kMaxMeshVertices) return;
        r->AddPrims(type, n, v.data());
        return;
    }
    Device* d = RenderState_Device();
    if (!d) return;
    GR_Texture_Set(texture);
    d->DrawPrimitive3D(type, count, v.data());
    d->SetTexture(0);
}

Vertex3D V(double x, double y, double z, double nx, double ny, double nz, double u, double v, uint32_t c) {
    return {F(x), F(y), F(z), F(nx), F(ny), F(nz), c, F(u), F(v)};
}

// Solids repeat their texture and put the setting back afterwards.
class RepeatScope {
public:
    RepeatScope() : saved_(RenderState_GetTextureRepeat()) { RenderState_SetTextureRepeat(true); }
    ~RepeatScope() { RenderState_SetTextureRepeat(saved_); }
    RepeatScope(const RepeatScope&) = delete;
    RepeatScope& operator=(const RepeatScope&) = delete;

private:
    bool saved_;
};

int32_t ClampSteps(int32_t steps) {
    return std::clamp(steps, 3, 128);
}

void SendLight(int32_t index) {
    Device* d = RenderState_Device();
    if (!d || index < 0 || index >= kMaxLights) return;
    d->SetLight(index, S().lighting.lights[size_t(index)]);
    d->LightEnable(index, S().lighting.enabled[size_t(index)]);
}

LightColour DiffuseOf(int32_t colour) {
    const auto c = static_cast<uint32_t>(colour);
    return {float(c & 0xFF) / 255.0f, float(c >> 8 & 0xFF) / 255.0f, float(c >> 16 & 0xFF) / 255.0f, 0.0f};
}

} // namespace

int32_t D3D_Start() {
    if (!RenderState_Get3DMode()) {
        RenderState_Set3DMode(true);
        RenderState_SetPerspective(true);
        RenderState_SetHidden(true);
    }
    return 1;
}

int32_t D3D_End() {
    if (RenderState_Get3DMode()) {
        RenderState_Set3DMode(false);
        RenderState_SetPerspective(false);
        RenderState_SetHidden(false);
    }
    return 1;
}

bool D3D_Mode() {
    return RenderState_Get3DMode();
}

void D3D_SetDepth(double depth) {
    Draw_SetDepth(RenderState_Get3DMode() ? depth : 0.0);
}

void D3D_SetZWriteEnable(bool enable) {
    if (RenderState_Get3DMode()) RenderState_SetZWrite(enable);
}

uint32_t D3D_PlainColour() {
    return Draw_GetDeviceColour() & ~1u;
}

uint32_t D3D_ExplicitColour(int64_t colour, double alpha) {
    return ToDeviceColour(colour, alpha) | 1u;
}

void D3D_PrimitiveBegin(int32_t kind, int32_t texture) {
    Primitive& p = S().primitive;
    p.kind = kind;
    p.texture = texture;
    p.vertices.clear();
}

void D3D_Vertex(const Vertex3D& vertex) {
    Primitive& p = S().primitive;
    if (p.vertices.size() >= size_t(kMaxPrimitiveVertices)) return;
    if (p.vertices.capacity() == 0) p.vertices.reserve(64);
    p.vertices.push_back(vertex);
}

void D3D_PrimitiveEnd() {
    const Primitive& p = S().primitive;
    Emit(p.kind, p.texture, p.vertices);
}

void D3D_DrawBlock(double x1, double y1, double z1, double x2, double y2, double z2, int32_t tex, double H,
                   double Vr) {
    const RepeatScope repeat;
    const uint32_t c = D3D_PlainColour();
    const std::vector<Vertex3D> faces[6] = {
        {V(x1, y1, z1, 0, 0, -1, 0, 0, c), V(x1, y2, z1, 0, 0, -1, 0, Vr, c),
         V(x2, y2, z1, 0, 0, -1, H, Vr, c), V(x2, y1, z1, 0, 0, -1, H, 0, c)},
        {V(x1, y1, z2, 0, 0, 1, 0, 0, c), V(x2, y1, z2, 0, 0, 1, H, 0, c), V(x2, y2, z2, 0, 0, 1, H, Vr, c),
         V(x1, y2, z2, 0, 0, 1, 0, Vr, c)},
        {V(x1, y2, z1, 0, 1, 0, 0, 0, c), V(x1, y2, z2, 0, 1, 0, 0, Vr, c), V(x2, y2, z2, 0, 1, 0, H, Vr, c),
         V(x2, y2, z1, 0, 1, 0, H, 0, c)},
        {V(x2, y2, z1, 1, 0, 0, 0, 0, c), V(x2, y2, z2, 1, 0, 0, 0, Vr, c), V(x2, y1, z2, 1, 0, 0, H, Vr, c),
         V(x2, y1, z1, 1, 0, 0, H, 0, c)},
        {V(x2, y1, z1, 0, -1, 0, 0, 0, c), V(x2, y1, z2, 0, -1, 0, 0, Vr, c),
         V(x1, y1, z2, 0, -1, 0, H, Vr, c), V(x1, y1, z1, 0, -1, 0, H, 0, c)},
        {V(x1, y1, z1, -1, 0, 0, 0, 0, c), V(x1, y1, z2, -1, 0, 0, 0, Vr, c),
         V(x1, y2, z2, -1, 0, 0, H, Vr, c), V(x1, y2, z1, -1, 0, 0, H, 0, c)},
    };
    for (const auto& face : faces) Emit(6, tex, face);
}

void D3D_DrawFloor(double x1, double y1, double z1, double x2, double y2, double z2, int32_t tex, double H,
                   double Vr) {
    const RepeatScope repeat;
    const uint32_t c = D3D_PlainColour();
    Emit(6, tex,
         {V(x1, y1, z1, 0, 0, 1, 0, 0, c), V(x1, y2, z1, 0, 0, 1, 0, Vr, c), V(x2, y2, z2, 0, 0, 1, H, Vr, c),
          V(x2, y1, z2, 0, 0, 1, H, 0, c)});
}

void D3D_DrawWall(double x1, double y1, double z1, double x2, double y2, double z2, int32_t tex, double H,
                  double Vr) {
    const double dx = x2 - x1, dy = y2 - y1;
    const double l = std::sqrt(dx * dx + dy * dy);
    if (!(l > 0)) return;
    const RepeatScope repeat;
    const uint32_t c = D3D_PlainColour();
    const double nx = dy / l, ny = -dx / l;
    Emit(6, tex,
         {V(x1, y1, z1, nx, ny, 0, 0, 0, c), V(x2, y2, z1, nx, ny, 0, H, 0, c),
          V(x2, y2, z2, nx, ny, 0, H, Vr, c), V(x1, y1, z2, nx, ny, 0, 0, Vr, c)});
}

namespace {
// The rim of cylinders and cones and the rings of ellipsoids.
struct Rim {
    std::vector<double> c, s;
    explicit Rim(int32_t steps) {
        for (int32_t i = 0; i <= steps; ++i) {
            const double a = 2.0 * M_PI * i / steps;
            c.push_back(std::cos(a));
            s.push_back(std::sin(a));
        }
    }
};

void RoundSolid(bool cone, double x1, double y1, double z1, double x2, double y2, double z2, int32_t tex,
                double H, double Vr, bool closed, int32_t steps) {
    steps = ClampSteps(steps);
    const RepeatScope repeat;
    const uint32_t col = D3D_PlainColour();
    const Rim rim(steps);
    const double cx = (x1 + x2) / 2, cy = (y1 + y2) / 2, rx = (x2 - x1) / 2, ry = (y2 - y1) / 2;
    const auto px = [&](int32_t i) { return cx + rx * rim.c[size_t(i)]; };
    const auto py = [&](int32_t i) { return cy + ry * rim.s[size_t(i)]; };
    std::vector<Vertex3D> v;
    if (closed && !cone) {
        v.push_back(V(cx, cy, z2, 0, 0, 1, 0, Vr, col));
        for (int32_t i = 0; i <= steps; ++i) v.push_back(V(px(i), py(i), z2, 0, 0, 1, 0, Vr, col));
        Emit(6, tex, v);
        v.clear();
    }
    for (int32_t i = 0; i <= steps; ++i) {
        const double u = double(i) * H / steps, ci = rim.c[size_t(i)], si = rim.s[size_t(i)];
        if (cone)
            v.push_back(V(cx, cy, z2, 0, 0, 1, u, Vr, col));
        else
            v.push_back(V(px(i), py(i), z2, ci, si, 0, u, Vr, col));
        v.push_back(V(px(i), py(i), z1, ci, si, 0, u, 0, col));
    }
    Emit(5, tex, v);
    if (closed) {
        v.clear();
        v.push_back(V(cx, cy, z1, 0, 0, -1, 0, 0, col));
        for (int32_t i = steps; i >= 0; --i) v.push_back(V(px(i), py(i), z1, 0, 0, -1, 0, 0, col));
        Emit(6, tex, v);
    }
}
} // namespace

void D3D_DrawCylinder(double x1, double y1, double z1, double x2, double y2, double z2, int32_t tex, double H,
                      double Vr, bool closed, int32_t steps) {
    RoundSolid(false, x1, y1, z1, x2, y2, z2, tex, H, Vr, closed, steps);
}

void D3D_DrawCone(double x1, double y1, double z1, double x2, double y2, double z2, int32_t tex, double H,
                  double Vr, bool closed, int32_t steps) {
    RoundSolid(true, x1, y1, z1, x2, y2, z2, tex, H, Vr, closed, steps);
}

void D3D_DrawEllipsoid(double x1, double y1, double z1, double x2, double y2, double z2, int32_t tex,
                       double H, double Vr, int32_t steps) {
    steps = ClampSteps(steps);
    const RepeatScope repeat;
    const uint32_t col = D3D_PlainColour();
    const Rim rim(steps);
    const double cx = (x1 + x2) / 2, cy = (y1 + y2) / 2, cz = (z1 + z2) / 2;
    const double rx = (x2 - x1) / 2, ry = (y2 - y1) / 2, rz = (z2 - z1) / 2;
    const int32_t rings = (steps + 1) / 2;
    std::vector<Vertex3D> v;
    for (int32_t r = 0; r < rings; ++r) {
        const double a = r * M_PI / rings, b = (r + 1) * M_PI / rings;
        v.clear();
        for (int32_t i = 0; i <= steps; ++i) {
            const double ci = rim.c[size_t(i)], si = rim.s[size_t(i)], u = double(i) * H / steps;
            for (const auto& [phi, tv] : {std::pair{a, Vr * r / rings}, std::pair{b, Vr * (r + 1) / rings}}) {
                const double sp = std::sin(phi), cp = std::cos(phi);
                v.push_back(
                    V(cx + rx * sp * ci, cy + ry * sp * si, cz + rz * cp, sp * ci, sp * si, cp, u, tv, col));
            }
        }
        Emit(5, tex, v);
    }
}

Matrix PerspectiveFovLH(float fovy, float aspect, float zn, float zf) {
    Matrix r;
    const float ys = 1.0f / std::tan(fovy / 2.0f);
    r.m[0][0] = ys / aspect;
    r.m[1][1] = ys;
    r.m[2][2] = zf / (zf - zn);
    r.m[2][3] = 1.0f;
    r.m[3][2] = -zn * zf / (zf - zn);
    return r;
}

Matrix RotationAxis(float x, float y, float z, float radians) {
    const float l = std::sqrt(x * x + y * y + z * z);
    if (!(l > 0) || !std::isfinite(l)) return Matrix::Identity();
    x /= l, y /= l, z /= l;
    const float c = std::cos(radians), s = std::sin(radians), t = 1.0f - c;
    Matrix r = Matrix::Identity();
    r.m[0][0] = t * x * x + c;
    r.m[0][1] = t * x * y + s * z;
    r.m[0][2] = t * x * z - s * y;
    r.m[1][0] = t * x * y - s * z;
    r.m[1][1] = t * y * y + c;
    r.m[1][2] = t * y * z + s * x;
    r.m[2][0] = t * x * z + s * y;
    r.m[2][1] = t * y * z - s * x;
    r.m[2][2] = t * z * z + c;
    return r;
}

namespace {
Matrix LookAt(const std::array<double, 9>& k) {
    return LookAtLH({F(k[0]), F(k[1]), F(k[2])}, {F(k[3]), F(k[4]), F(k[5])}, {F(k[6]), F(k[7]), F(k[8])});
}
} // namespace

void D3D_SetProjection(const std::array<double, 9>& look) {
    if (Device* d = RenderState_Device()) d->SetTransform(TransformKind::View, LookAt(look));
}

void D3D_SetProjectionExt(const std::array<double, 9>& look, double angle, double aspect, double znear,
                          double zfar) {
    Device* d = RenderState_Device();
    if (!d) return;
    d->SetTransform(TransformKind::View, LookAt(look));
    // A projection that divides by zero would make every vertex vanish into NaN; keep the old one.
    const float fov = F(angle * M_PI / 180.0);
    if (!std::isfinite(fov) || std::tan(fov / 2) == 0.0f || aspect == 0.0 || znear == zfar) return;
    d->SetTransform(TransformKind::Projection, PerspectiveFovLH(fov, F(aspect), F(znear), F(zfar)));
}

void D3D_SetProjectionOrtho(double x, double y, double w, double h, double angle) {
    RenderState_SetProjectionMode(x, y, w, h, angle, false);
}

void D3D_SetProjectionPerspective(double x, double y, double w, double h, double angle) {
    RenderState_SetProjectionMode(x, y, w, h, angle, true);
}

void D3D_TransformSet(const Matrix& m) {
    RenderState_SetWorld(m);
}

void D3D_TransformAdd(const Matrix& m) {
    RenderState_SetWorld(Multiply(RenderState_GetWorld(), m));
}

void D3D_StackClear() {
    S().top = -1;
}
bool D3D_StackEmpty() {
    return S().top < 0;
}
bool D3D_StackPush() {
    State3D& s = S();
    if (s.top >= kTransformStackSize - 1) return false;
    s.stack[size_t(++s.top)] = RenderState_GetWorld();
    return true;
}
bool D3D_StackPop() {
    State3D& s = S();
    if (s.top < 0) return false;
    RenderState_SetWorld(s.stack[size_t(s.top--)]);
    return true;
}
bool D3D_StackTop() {
    State3D& s = S();
    if (s.top < 0) return false;
    RenderState_SetWorld(s.stack[size_t(s.top)]);
    return true;
}
bool D3D_StackDiscard() {
    State3D& s = S();
    if (s.top < 0) return false;
    --s.top;
    return true;
}

void D3D_LightDefineAmbient(int32_t colour) {
    LightingState& l = S().lighting;
    const LightColour white{1, 1, 1, 1};
    l.material = Material{white, white, white, LightColour{}, 1.0f};
    l.ambient = ToDeviceColour(colour, 1.0);
    if (Device* d = RenderState_Device()) {
        d->SetMaterial(l.material);
        d->SetAmbient(l.ambient);
    }
}

void D3D_LightDefineDirection(int32_t index, double dx, double dy, double dz, int32_t colour) {
    if (index < 0 || index >= kMaxLights) return;
    Light light;
    light.type = LightType::Directional;
    light.diffuse = DiffuseOf(colour);
    light.direction = {F(dx), F(dy), F(dz)};
    S().lighting.lights[size_t(index)] = light;
    SendLight(index);
}

void D3D_LightDefinePoint(int32_t index, double x, double y, double z, double range, int32_t colour) {
    if (index < 0 || index >= kMaxLights) return;
    Light light;
    light.type = LightType::Point;
    light.diffuse = DiffuseOf(colour);
    light.position = {F(x), F(y), F(z)};
    light.direction = {0, 0, 0};
    light.range = F(range);
    light.attenuation0 = 1.0f;
    light.attenuation1 = range > 0 ? F(4.0 / range) : 0.0f;
    S().lighting.lights[size_t(index)] = light;
    SendLight(index);
}

void D3D_LightEnable(int32_t index, bool enable) {
    if (index < 0 || index >= kMaxLights) return;
    S().lighting.enabled[size_t(index)] = enable;
    SendLight(index);
}

const LightingState& D3D_Lighting() {
    return S().lighting;
}

void D3D_RestoreLights() {
    Device* d = RenderState_Device();
    if (!d) return;
    for (int32_t i = 0; i < kMaxLights; ++i) SendLight(i);
    d->SetMaterial(S().lighting.material);
    d->SetAmbient(S().lighting.ambient);
}

CGraphicsRecorder* D3D_SetRecorder(CGraphicsRecorder* recorder) {
    CGraphicsRecorder* old = S().recorder;
    S().recorder = recorder;
    return old;
}

void D3D_Reset() {
    State3D& s = S();
    s.primitive = Primitive{};
    s.top = -1;
    s.recorder = nullptr;
    s.lighting = LightingState{};
    if (RenderState_Get3DMode()) RenderState_Set3DMode(false);
    if (RenderState_Device()) {
        RenderState_SetWorld(Matrix::Identity());
        RenderState_SetZWrite(true);
        D3D_RestoreLights();
    }
}

} // namespace kestrin
