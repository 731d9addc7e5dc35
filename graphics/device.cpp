#include "graphics/device.h"

#include <algorithm>
#include <cmath>

namespace kestrin {

int32_t VertexCountOf(PrimitiveType type, int32_t count) {
    if (count <= 0) return 0;
    switch (type) {
    case PrimitiveType::PointList:
        return count;
    case PrimitiveType::LineList:
        return count * 2;
    case PrimitiveType::LineStrip:
        return count + 1;
    case PrimitiveType::TriangleList:
        return count * 3;
    case PrimitiveType::TriangleStrip:
    case PrimitiveType::TriangleFan:
        return count + 2;
    }
    return 0;
}

Matrix Matrix::Identity() {
    Matrix r;
    for (int i = 0; i < 4; ++i) r.m[i][i] = 1.0f;
    return r;
}

Matrix Multiply(const Matrix& a, const Matrix& b) {
    Matrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float s = 0.0f;
            for (int k = 0; k < 4; ++k) s += a.m[i][k] * b.m[k][j];
            r.m[i][j] = s;
        }
    return r;
}

Matrix Translation(float x, float y, float z) {
    Matrix r = Matrix::Identity();
    r.m[3][0] = x;
    r.m[3][1] = y;
    r.m[3][2] = z;
    return r;
}

Matrix Scaling(float x, float y, float z) {
    Matrix r;
    r.m[0][0] = x;
    r.m[1][1] = y;
    r.m[2][2] = z;
    r.m[3][3] = 1.0f;
    return r;
}

Matrix RotationZ(float radians) {
    Matrix r = Matrix::Identity();
    const float c = std::cos(radians), s = std::sin(radians);
    r.m[0][0] = c;
    r.m[0][1] = s;
    r.m[1][0] = -s;
    r.m[1][1] = c;
    return r;
}

namespace {
using Vec3 = std::array<float, 3>;
Vec3 Sub(const Vec3& a, const Vec3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
float Dot(const Vec3& a, const Vec3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Vec3 Normalize(const Vec3& a) {
    const float l = std::sqrt(Dot(a, a));
    if (l == 0.0f) return a;
    return {a[0] / l, a[1] / l, a[2] / l};
}
} // namespace

Matrix LookAtLH(const Vec3& eye, const Vec3& at, const Vec3& up) {
    const Vec3 z = Normalize(Sub(at, eye));
    const Vec3 x = Normalize(Cross(up, z));
    const Vec3 y = Cross(z, x);
    Matrix r;
    for (int i = 0; i < 3; ++i) {
        r.m[i][0] = x[i];
        r.m[i][1] = y[i];
        r.m[i][2] = z[i];
    }
    r.m[3][0] = -Dot(x, eye);
    r.m[3][1] = -Dot(y, eye);
    r.m[3][2] = -Dot(z, eye);
    r.m[3][3] = 1.0f;
    return r;
}

Matrix OrthoLH(float w, float h, float zn, float zf) {
    Matrix r;
    r.m[0][0] = 2.0f / w;
    r.m[1][1] = 2.0f / h;
    r.m[2][2] = 1.0f / (zf - zn);
    r.m[3][2] = zn / (zn - zf);
    r.m[3][3] = 1.0f;
    return r;
}

Matrix PerspectiveLH(float w, float h, float zn, float zf) {
    Matrix r;
    r.m[0][0] = 2.0f * zn / w;
    r.m[1][1] = 2.0f * zn / h;
    r.m[2][2] = zf / (zf - zn);
    r.m[2][3] = 1.0f;
    r.m[3][2] = zn * zf / (zn - zf);
    return r;
}

std::array<float, 3> TransformPoint(const Matrix& m, float x, float y, float z) {
    float out[4];
    for (int j = 0; j < 4; ++j) out[j] = x * m.m[0][j] + y * m.m[1][j] + z * m.m[2][j] + m.m[3][j];
    if (out[3] != 0.0f && out[3] != 1.0f) return {out[0] / out[3], out[1] / out[3], out[2] / out[3]};
    return {out[0], out[1], out[2]};
}

std::array<std::array<float, 3>, 3> NormalMatrix(const Matrix& world) {
    // The inverse transpose of the upper 3 × 3: its cofactors over its determinant.
    const auto& a = world.m;
    std::array<std::array<float, 3>, 3> c{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const int i1 = (i + 1) % 3, i2 = (i + 2) % 3, j1 = (j + 1) % 3, j2 = (j + 2) % 3;
            c[i][j] = a[i1][j1] * a[i2][j2] - a[i1][j2] * a[i2][j1];
        }
    const float det = a[0][0] * c[0][0] + a[0][1] * c[0][1] + a[0][2] * c[0][2];
    if (det != 0.0f)
        for (auto& row : c)
            for (float& x : row) x /= det;
    return c;
}

std::array<float, 3> TransformNormal(const std::array<std::array<float, 3>, 3>& n,
                                     const std::array<float, 3>& v) {
    std::array<float, 3> r{};
    for (int j = 0; j < 3; ++j) r[j] = v[0] * n[0][j] + v[1] * n[1][j] + v[2] * n[2][j];
    return r;
}

LightColour ColourFromArgb(uint32_t argb) {
    return {float(argb >> 16 & 0xFF) / 255.0f, float(argb >> 8 & 0xFF) / 255.0f, float(argb & 0xFF) / 255.0f,
            float(argb >> 24) / 255.0f};
}

uint32_t LightVertex(const LightingState& l, const std::array<float, 3>& p,
                     const std::array<float, 3>& normal, uint32_t colour) {
    const LightColour vc = ColourFromArgb(colour), amb = ColourFromArgb(l.ambient);
    const LightColour& ma = l.material.ambient;
    const LightColour& me = l.material.emissive;
    float out[3] = {me.r + ma.r * amb.r, me.g + ma.g * amb.g, me.b + ma.b * amb.b};
    const float nl = std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
    const std::array<float, 3> n = nl > 0
                                       ? std::array<float, 3>{normal[0] / nl, normal[1] / nl, normal[2] / nl}
                                       : std::array<float, 3>{};
    for (int32_t i = 0; i < kMaxLights; ++i) {
        if (!l.enabled[size_t(i)]) continue;
        const Light& light = l.lights[size_t(i)];
        std::array<float, 3> toLight;
        float attenuation = 1.0f;
        if (light.type == LightType::Directional) {
            toLight = {-light.direction[0], -light.direction[1], -light.direction[2]};
        } else {
            toLight = {light.position[0] - p[0], light.position[1] - p[1], light.position[2] - p[2]};
            const float d =
                std::sqrt(toLight[0] * toLight[0] + toLight[1] * toLight[1] + toLight[2] * toLight[2]);
            if (d > light.range) continue;
            const float fall = light.attenuation0 + light.attenuation1 * d + light.attenuation2 * d * d;
            attenuation = fall > 0 ? 1.0f / fall : 1.0f;
        }
        const float len =
            std::sqrt(toLight[0] * toLight[0] + toLight[1] * toLight[1] + toLight[2] * toLight[2]);
        const float facing =
            len > 0 ? std::max(0.0f, (n[0] * toLight[0] + n[1] * toLight[1] + n[2] * toLight[2]) / len)
                    : 0.0f;
        out[0] += attenuation * (ma.r * light.ambient.r + vc.r * light.diffuse.r * facing);
        out[1] += attenuation * (ma.g * light.ambient.g + vc.g * light.diffuse.g * facing);
        out[2] += attenuation * (ma.b * light.ambient.b + vc.b * light.diffuse.b * facing);
    }
    auto byte = [](float x) {
        return static_cast<uint32_t>(std::lround(std::clamp(x, 0.0f, 1.0f) * 255.0f));
    };
    return (colour & 0xFF000000u) | byte(out[0]) << 16 | byte(out[1]) << 8 | byte(out[2]);
}

} // namespace kestrin
