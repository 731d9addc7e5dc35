#pragma once
// A device without a GPU: it logs every draw call with its exact vertices, states, texture and
// transforms, so tests can check what the drawing code asks for. Clears, copies and read-backs
// work on in-memory images; draw calls change no pixel.

#include <string>
#include <vector>

#include "graphics/device.h"

namespace kestrin {

struct RecordedDraw {
    PrimitiveType type = PrimitiveType::PointList;
    int32_t count = 0;
    std::vector<Vertex> vertices;     // every draw's vertices without their normals
    std::vector<Vertex3D> vertices3d; // DrawPrimitive3D only: the vertices as given
    RenderStates states;
    LightingState lighting;
    DeviceTexture texture = 0;
    DeviceTexture target = 0;
    Matrix world, view, projection;
    Viewport viewport;
};

struct RecordedClear {
    uint32_t flags = 0;
    uint32_t argb = 0;
    float z = 0;
    Viewport viewport;
    DeviceTexture target = 0;
};

class RecordingDevice : public Device {
public:
    enum class TextureSizes { PowerOfTwo, Exact };
    RecordingDevice(int32_t backWidth = 1024, int32_t backHeight = 768,
                    TextureSizes sizes = TextureSizes::PowerOfTwo);

    int32_t BackBufferWidth() const override { return back_.Width(); }
    int32_t BackBufferHeight() const override { return back_.Height(); }
    void TextureSize(int32_t w, int32_t h, int32_t& wt, int32_t& ht) const override;
    DeviceTexture CreateTexture(int32_t wt, int32_t ht, bool renderTarget) override;
    bool UploadTexture(DeviceTexture texture, int32_t w, int32_t h, const TColor32* pixels) override;
    void FreeTexture(DeviceTexture texture) override;
    void SetTexture(DeviceTexture texture) override { texture_ = texture; }
    void SetStates(const RenderStates& states) override { states_ = states; }
    void SetTransform(TransformKind kind, const Matrix& matrix) override;
    void SetViewport(const Viewport& viewport) override { viewport_ = viewport; }
    void Clear(uint32_t flags, uint32_t argb, float z) override;
    void DrawPrimitive(PrimitiveType type, int32_t count, const Vertex* vertices) override;
    void DrawPrimitive3D(PrimitiveType type, int32_t count, const Vertex3D* vertices) override;
    void SetLight(int32_t index, const Light& light) override;
    void LightEnable(int32_t index, bool enable) override;
    void SetMaterial(const Material& material) override { lighting_.material = material; }
    void SetAmbient(uint32_t argb) override { lighting_.ambient = argb; }
    bool SetRenderTarget(DeviceTexture texture) override;
    bool ReadPixels(const IntRect& area, TBitmap32& out) override;
    bool CopyRect(DeviceTexture source, const IntRect& area, DeviceTexture dest, int32_t x,
                  int32_t y) override;
    bool Present(const IntRect& source, const IntRect& dest, uint32_t outside) override;

    // What was logged, oldest first.
    std::vector<RecordedDraw> draws;
    std::vector<RecordedClear> clears;
    int32_t presents = 0;
    IntRect last_present_source, last_present_dest;

    // The image of a texture or (0) of the back buffer; nullptr for an unknown handle.
    TBitmap32* Image(DeviceTexture texture);
    int32_t LiveTextures() const;
    const RenderStates& States() const { return states_; }
    const LightingState& Lighting() const { return lighting_; }
    DeviceTexture BoundTexture() const { return texture_; }
    DeviceTexture Target() const { return target_; }
    const Viewport& CurrentViewport() const { return viewport_; }
    // Makes the next texture creation fail (tests of the failure paths).
    bool fail_next_texture = false;

private:
    struct Texture {
        bool used = false;
        bool render_target = false;
        TBitmap32 image;
    };
    TextureSizes sizes_;
    TBitmap32 back_;
    std::vector<Texture> textures_; // handle = index + 1
    RenderStates states_;
    LightingState lighting_;
    DeviceTexture texture_ = 0;
    DeviceTexture target_ = 0;
    Matrix world_ = Matrix::Identity(), view_ = Matrix::Identity(), projection_ = Matrix::Identity();
    Viewport viewport_;
};

} // namespace kestrin
