#pragma once
// The drawing device as the rest of the runner sees it. Its meaning is that of the fixed-function
// device the games were made for: render states and blend factors keep that device's numbering,
// transforms are row-vector matrices (v' = v · world · view · projection), clip z runs from 0 to 1,
// pixel centres lie on integer coordinates and the render target's origin is its top-left corner.
// Backends: the OpenGL device under platform/gl and the recording device used by tests.

#include <array>
#include <cstdint>

#include "graphics/bitmap32.h"

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

enum class TransformKind : int32_t { World = 0, View = 1, Projection = 2 };

// Position, ARGB diffuse colour and one texture pair: 24 bytes, as the 2D drawing hands them over.
struct Vertex {
    float x = 0, y = 0, z = 0;
    uint32_t colour = 0;
    float u = 0, v = 0;
    bool operator==(const Vertex&) const = default;
};
static_assert(sizeof(Vertex) == 24);

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
