#pragma once
// The drawing device on OpenGL 3.3 core (kept within what OpenGL ES 3.0 offers). One shader
// stands in for the fixed-function pipeline; drawing goes to an offscreen back buffer whose
// first row is the top of the picture, and Present blits the region into the window.
// Consecutive draws with the same state are batched into one draw call, in order.
// Needs a current context; GL calls go through libepoxy.

#include <cstdint>
#include <functional>
#include <vector>

#include "graphics/device.h"

namespace kestrin {

class GLDevice : public Device {
public:
    // `swap` shows the window's default framebuffer after a present (none when headless);
    // `windowSize` reports the drawable size of the window.
    struct Window {
        std::function<void()> swap;
        std::function<void(int32_t&, int32_t&)> size;
        std::function<void(int32_t)> swap_interval;
    };
    GLDevice(int32_t backWidth, int32_t backHeight, Window window = {});
    ~GLDevice() override;
    GLDevice(const GLDevice&) = delete;
    GLDevice& operator=(const GLDevice&) = delete;

    // False when the context could not give what the device needs (the reason in Error()).
    bool Ok() const { return ok_; }
    const std::string& Error() const { return error_; }

    int32_t BackBufferWidth() const override { return back_w_; }
    int32_t BackBufferHeight() const override { return back_h_; }
    void TextureSize(int32_t w, int32_t h, int32_t& wt, int32_t& ht) const override;
    DeviceTexture CreateTexture(int32_t wt, int32_t ht, bool renderTarget) override;
    bool UploadTexture(DeviceTexture texture, int32_t w, int32_t h, const TColor32* pixels) override;
    void FreeTexture(DeviceTexture texture) override;
    void SetTexture(DeviceTexture texture) override;
    void SetStates(const RenderStates& states) override;
    void SetTransform(TransformKind kind, const Matrix& matrix) override;
    void SetViewport(const Viewport& viewport) override;
    void Clear(uint32_t flags, uint32_t argb, float z) override;
    void DrawPrimitive(PrimitiveType type, int32_t count, const Vertex* vertices) override;
    void DrawPrimitive3D(PrimitiveType type, int32_t count, const Vertex3D* vertices) override;
    void SetLight(int32_t index, const Light& light) override;
    void LightEnable(int32_t index, bool enable) override;
    void SetMaterial(const Material& material) override;
    void SetAmbient(uint32_t argb) override;
    bool SetRenderTarget(DeviceTexture texture) override;
    bool ReadPixels(const IntRect& area, TBitmap32& out) override;
    bool CopyRect(DeviceTexture source, const IntRect& area, DeviceTexture dest, int32_t x,
                  int32_t y) override;
    bool Present(const IntRect& source, const IntRect& dest, uint32_t outside) override;
    void SetSwapInterval(int32_t interval) override;

    // Sends the pending batch to the GPU.
    void Flush();
    // Draw calls made on the GPU so far (batches), for tests and benchmarks.
    int64_t GpuDrawCalls() const { return gpu_draws_; }
    void Finish();

private:
    struct Texture;
    enum class Batch { None, Points, Lines, Triangles };
    Texture* Find(DeviceTexture texture);
    bool Build();
    void ApplyStates();
    void ApplyTarget();
    static Batch BatchOf(PrimitiveType type);
    void ApplyLighting();

    bool ok_ = false;
    std::string error_;
    Window window_;
    int32_t back_w_, back_h_;
    std::vector<Texture*> textures_; // handle = index + 1
    uint32_t program_ = 0, vao_ = 0, vao3d_ = 0, vbo_ = 0, sampler_ = 0;
    uint32_t back_fbo_ = 0, back_colour_ = 0, back_depth_ = 0;
    int32_t u_wvp_ = -1, u_wv_ = -1, u_pixel_ = -1, u_textured_ = -1, u_modulate_ = -1, u_alpha_test_ = -1,
            u_alpha_ref_ = -1, u_flat_ = -1, u_fog_ = -1, u_fog_colour_ = -1, u_fog_range_ = -1,
            u_sampler_ = -1;
    int32_t u_lighting_ = -1, u_world_ = -1, u_normal_ = -1, u_ambient_ = -1, u_material_ambient_ = -1,
            u_light_count_ = -1, u_light_position_ = -1, u_light_direction_ = -1, u_light_diffuse_ = -1,
            u_light_ambient_ = -1, u_light_falloff_ = -1;

    RenderStates states_;
    bool states_dirty_ = true;
    LightingState lighting_;
    bool lighting_dirty_ = true;
    DeviceTexture texture_ = 0;
    DeviceTexture target_ = 0;
    bool target_dirty_ = true;
    Matrix world_ = Matrix::Identity(), view_ = Matrix::Identity(), projection_ = Matrix::Identity();
    bool transform_dirty_ = true;
    Viewport viewport_;
    bool viewport_dirty_ = true;

    Batch batch_ = Batch::None;
    bool with_normals_ = false; // which of the two lists the batch fills
    std::vector<Vertex> pending_;
    std::vector<Vertex3D> pending3d_;
    int64_t gpu_draws_ = 0;
};

} // namespace kestrin
