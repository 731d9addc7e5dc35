#pragma once
// The drawing device as the rest of the runner sees it. Its meaning is that of the fixed-function
// device the games were made for: render states and blend factors keep that device's numbering,
// transforms are row-vector matrices (v' = v · world · view · projection), clip z runs from 0 to 1,
// pixel centres lie on integer coordinates and the render target's origin is its top-left corner.
// Backends: the OpenGL device under platform/gl and the recording device used by tests.

#include <array>
#include <cstdint>

#include "base/bitmap32.h"

namespace kestrin {

// Primitive kinds, numbered as the scripts' pr_* constants.
enum class PrimitiveType : int32_t {
    PointList = 1,
    LineList = 2,
    LineStrip = 3,
    TriangleList = 4,
    TriangleStrip = 5,
    TriangleFan = 6,
};

// Vertices a primitive list of `count` primitives consumes.
int32_t VertexCountOf(PrimitiveType type, int32_t count);

// Blend factors, numbered as the scripts' bm_* factor constants.
enum class BlendFactor : int32_t {
    Zero = 1,
    One = 2,
    SrcColor = 3,
    InvSrcColor = 4,
    SrcAlpha = 5,
    InvSrcAlpha = 6,
    DestAlpha = 7,
    InvDestAlpha = 8,
    DestColor = 9,
    InvDestColor = 10,
    SrcAlphaSat = 11,
};
// Scripts may pass any number; states keep it unchanged and a backend blends a number outside
// 1..11 as One.

enum class TextureFilter : int32_t { Point = 1, Linear = 2 };
enum class TextureAddress : int32_t { Wrap = 1, Clamp = 3 };
enum class ShadeMode : int32_t { Flat = 1, Gouraud = 2 };
enum class CullMode : int32_t { None = 1, CounterClockwise = 3 };
enum class TextureOp : int32_t { SelectTexture = 2, Modulate = 4 };

// Every state the runner changes. Backends compare what they were last given.
struct RenderStates {
    bool alpha_blend = true;
    BlendFactor src_blend = BlendFactor::SrcAlpha;
    BlendFactor dest_blend = BlendFactor::InvSrcAlpha;
    bool z_enable = false;
    bool z_write = true;
    bool alpha_test = false; // passes alpha > alpha_ref
    uint8_t alpha_ref = 0;
    bool lighting = false;
    ShadeMode shade = ShadeMode::Gouraud;
    CullMode cull = CullMode::None;
    bool fog = false;
    uint32_t fog_colour = 0xFF000000; // ARGB
    float fog_start = 0.0f;
    float fog_end = 1.0f;
    TextureFilter filter = TextureFilter::Linear;
    TextureAddress address_u = TextureAddress::Clamp;
    TextureAddress address_v = TextureAddress::Clamp;
    TextureOp colour_op = TextureOp::Modulate;
    bool operator==(const RenderStates&) const = default;
};

// Row-vector 4 × 4 matrix: m[row][column], translation in the last row.
struct Matrix {
    std::array<std::array<float, 4>, 4> m{};
    static Matrix Identity();
    bool operator==(const Matrix&) const = default;
};
Matrix Multiply(const Matrix& a, const Matrix& b); // a then b
Matrix Translation(float x, float y, float z);
Matrix Scaling(float x, float y, float z);
Matrix RotationZ(float radians);
Matrix LookAtLH(const std::array<float, 3>& eye, const std::array<float, 3>& at,
                const std::array<float, 3>& up);
Matrix OrthoLH(float w, float h, float zn, float zf);
Matrix PerspectiveLH(float w, float h, float zn, float zf);
// Where a point lands after the matrix (divided by w).
std::array<float, 3> TransformPoint(const Matrix& m, float x, float y, float z);

// The matrix that takes normals through `world` (row vectors, n' = n · N): the inverse
// transpose of its upper 3 × 3, or its cofactors when it is singular.
std::array<std::array<float, 3>, 3> NormalMatrix(const Matrix& world);
std::array<float, 3> TransformNormal(const std::array<std::array<float, 3>, 3>& normalMatrix,
                                     const std::array<float, 3>& normal);

enum class TransformKind : int32_t { World = 0, View = 1, Projection = 2 };

// Position, ARGB diffuse colour and one texture pair: 24 bytes, as the 2D drawing hands them over.
struct Vertex {
    float x = 0, y = 0, z = 0;
    uint32_t colour = 0;
    float u = 0, v = 0;
    bool operator==(const Vertex&) const = default;
};
static_assert(sizeof(Vertex) == 24);

// The 3D vertex: position, normal, ARGB colour and one texture pair, 36 bytes; the layout of
// recorded models and of the stream lit drawing takes.
struct Vertex3D {
    float x = 0, y = 0, z = 0;
    float nx = 0, ny = 0, nz = 0;
    uint32_t colour = 0;
    float u = 0, v = 0;
    bool operator==(const Vertex3D&) const = default;
};
static_assert(sizeof(Vertex3D) == 36);

// Colours of lights and materials: red, green, blue, alpha, nominally 0..1.
struct LightColour {
    float r = 0, g = 0, b = 0, a = 0;
    bool operator==(const LightColour&) const = default;
};
LightColour ColourFromArgb(uint32_t argb);

// Light kinds in the device's numbering (spot lights are not used by the runner).
enum class LightType : int32_t { Point = 1, Directional = 3 };

// A light in world space. Directional lights use `direction` (where the light travels);
// point lights use `position`, reach `range` and fade by 1 / (a0 + a1·d + a2·d²).
struct Light {
    LightType type = LightType::Directional;
    LightColour diffuse, ambient;
    std::array<float, 3> position{}, direction{0, 0, 1};
    float range = 0;
    float attenuation0 = 0, attenuation1 = 0, attenuation2 = 0;
    bool operator==(const Light&) const = default;
};

// Lit vertices take their diffuse colour (and alpha) from the vertex colour; the material gives
// the ambient reflectance and the emissive colour. Specular highlights are never switched on.
struct Material {
    LightColour diffuse, ambient, specular, emissive;
    float power = 0;
    bool operator==(const Material&) const = default;
};

// Lights the device can hold; indices outside 0..kMaxLights-1 are ignored.
constexpr int32_t kMaxLights = 8;

// What lighting uses, as a device keeps it between draws.
struct LightingState {
    std::array<Light, kMaxLights> lights{};
    std::array<bool, kMaxLights> enabled{};
    Material material;
    uint32_t ambient = 0; // ARGB of the ambient light
    bool operator==(const LightingState&) const = default;
};

// Lighting as the fixed-function device computes it for one vertex, per channel clamped to
// 0..1: emissive + material ambient × ambient light + for each enabled light its attenuation
// × (material ambient × light ambient + vertex colour × light diffuse × max(0, N·L)), with
// position and normal in world space (the normal normalised; a zero normal gets no diffuse
// light). Alpha is the vertex colour's. The recording device and tests use it as the reference.
uint32_t LightVertex(const LightingState& lighting, const std::array<float, 3>& position,
                     const std::array<float, 3>& normal, uint32_t colour);

struct Viewport {
    int32_t x = 0, y = 0, w = 0, h = 0;
    float min_z = 0.0f, max_z = 1.0f;
    bool operator==(const Viewport&) const = default;
};

enum ClearFlags : uint32_t { kClearTarget = 1, kClearZBuffer = 2 };

struct IntRect {
    int32_t x = 0, y = 0, w = 0, h = 0;
    bool operator==(const IntRect&) const = default;
};

// Device textures are small non-zero handles; 0 is "none".
using DeviceTexture = uint32_t;

class Device {
public:
    virtual ~Device() = default;

    // The size of the back buffer (the drawing region is its top-left part).
    virtual int32_t BackBufferWidth() const = 0;
    virtual int32_t BackBufferHeight() const = 0;
    // Most vertices one draw call may take, in primitives.
    virtual int32_t MaxPrimitiveCount() const { return 0xFFFFF; }

    // The size the device gives a texture asked for as w × h (at least w × h).
    virtual void TextureSize(int32_t w, int32_t h, int32_t& wt, int32_t& ht) const = 0;
    // A texture of exactly wt × ht, transparent black; a render target also gets a depth
    // buffer. 0 on failure.
    virtual DeviceTexture CreateTexture(int32_t wt, int32_t ht, bool renderTarget) = 0;
    // Puts w × h pixels (0xAARRGGBB words, rows from the top) into the top-left corner.
    virtual bool UploadTexture(DeviceTexture texture, int32_t w, int32_t h, const TColor32* pixels) = 0;
    virtual void FreeTexture(DeviceTexture texture) = 0;
    virtual void SetTexture(DeviceTexture texture) = 0;

    virtual void SetStates(const RenderStates& states) = 0;
    virtual void SetTransform(TransformKind kind, const Matrix& matrix) = 0;
    virtual void SetViewport(const Viewport& viewport) = 0;
    // Clears the viewport's area of the render target and/or the depth buffer.
    virtual void Clear(uint32_t flags, uint32_t argb, float z) = 0;
    // Draws from memory; `vertices` holds VertexCountOf(type, count) entries.
    virtual void DrawPrimitive(PrimitiveType type, int32_t count, const Vertex* vertices) = 0;
    // The same with normals, for lit drawing. Vertices without normals (above) light as if
    // their normal were zero: only ambient and emissive light reaches them.
    virtual void DrawPrimitive3D(PrimitiveType type, int32_t count, const Vertex3D* vertices) = 0;

    // Lighting applies while RenderStates::lighting is on. Lights, their switches, the
    // material and the ambient colour stay as set until changed; all start off or zero.
    virtual void SetLight(int32_t index, const Light& light) = 0;
    virtual void LightEnable(int32_t index, bool enable) = 0;
    virtual void SetMaterial(const Material& material) = 0;
    virtual void SetAmbient(uint32_t argb) = 0;

    // Drawing goes into a render-target texture, or the back buffer for 0.
    virtual bool SetRenderTarget(DeviceTexture texture) = 0;
    // Pixels of the current render target (0xAARRGGBB); false when the area is not inside it.
    virtual bool ReadPixels(const IntRect& area, TBitmap32& out) = 0;
    // Copies a rectangle between render-target textures.
    virtual bool CopyRect(DeviceTexture source, const IntRect& area, DeviceTexture dest, int32_t x,
                          int32_t y) = 0;

    virtual bool BeginScene() { return true; }
    virtual bool EndScene() { return true; }
    // Shows `source` (top-left part of the back buffer) in `dest` of the window, filling the
    // rest of the window with `outside` (ARGB).
    virtual bool Present(const IntRect& source, const IntRect& dest, uint32_t outside) = 0;
    virtual void SetSwapInterval(int32_t interval) { (void)interval; }
};

} // namespace kestrin
