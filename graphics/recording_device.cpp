#include "graphics/recording_device.h"

#include <algorithm>

namespace kestrin {

namespace {
int32_t PowerOfTwoAtLeast(int32_t n) {
    int32_t p = 1;
    while (p < n && p < (1 << 30)) p <<= 1;
    return p;
}
} // namespace

RecordingDevice::RecordingDevice(int32_t backWidth, int32_t backHeight, TextureSizes sizes)
    : sizes_(sizes), back_(backWidth, backHeight, 0xFF000000) {
    viewport_ = {0, 0, backWidth, backHeight, 0.0f, 1.0f};
}

void RecordingDevice::TextureSize(int32_t w, int32_t h, int32_t& wt, int32_t& ht) const {
    if (sizes_ == TextureSizes::Exact) {
        wt = std::max(w, 1);
        ht = std::max(h, 1);
    } else {
        wt = PowerOfTwoAtLeast(w);
        ht = PowerOfTwoAtLeast(h);
    }
}

DeviceTexture RecordingDevice::CreateTexture(int32_t wt, int32_t ht, bool renderTarget) {
    if (fail_next_texture) {
        fail_next_texture = false;
        return 0;
    }
    Texture t;
    t.used = true;
    t.render_target = renderTarget;
    if (!t.image.Resize(wt, ht, 0)) return 0;
    for (size_t i = 0; i < textures_.size(); ++i)
        if (!textures_[i].used) {
            textures_[i] = std::move(t);
            return static_cast<DeviceTexture>(i + 1);
        }
    textures_.push_back(std::move(t));
    return static_cast<DeviceTexture>(textures_.size());
}

TBitmap32* RecordingDevice::Image(DeviceTexture texture) {
    if (texture == 0) return &back_;
    if (texture > textures_.size() || !textures_[texture - 1].used) return nullptr;
    return &textures_[texture - 1].image;
}

int32_t RecordingDevice::LiveTextures() const {
    return static_cast<int32_t>(
        std::count_if(textures_.begin(), textures_.end(), [](const Texture& t) { return t.used; }));
}

bool RecordingDevice::UploadTexture(DeviceTexture texture, int32_t w, int32_t h, const TColor32* pixels) {
    TBitmap32* image = texture ? Image(texture) : nullptr;
    if (!image || w > image->Width() || h > image->Height()) return false;
    for (int32_t y = 0; y < h; ++y)
        std::copy(pixels + size_t(y) * size_t(w), pixels + size_t(y + 1) * size_t(w), image->Row(y));
    return true;
}

void RecordingDevice::FreeTexture(DeviceTexture texture) {
    if (texture == 0 || texture > textures_.size()) return;
    textures_[texture - 1] = Texture{};
    if (texture_ == texture) texture_ = 0;
}

void RecordingDevice::SetTransform(TransformKind kind, const Matrix& matrix) {
    switch (kind) {
    case TransformKind::World:
        world_ = matrix;
        break;
    case TransformKind::View:
        view_ = matrix;
        break;
    case TransformKind::Projection:
        projection_ = matrix;
        break;
    }
}

void RecordingDevice::Clear(uint32_t flags, uint32_t argb, float z) {
    clears.push_back({flags, argb, z, viewport_, target_});
    if (!(flags & kClearTarget)) return;
    TBitmap32* image = Image(target_);
    if (!image) return;
    const int32_t x0 = std::max(viewport_.x, 0), y0 = std::max(viewport_.y, 0);
    const int32_t x1 = std::min(viewport_.x + viewport_.w, image->Width());
    const int32_t y1 = std::min(viewport_.y + viewport_.h, image->Height());
    for (int32_t y = y0; y < y1; ++y)
        for (int32_t x = x0; x < x1; ++x) image->SetPixel(x, y, argb);
}

void RecordingDevice::DrawPrimitive(PrimitiveType type, int32_t count, const Vertex* vertices) {
    RecordedDraw d;
    d.type = type;
    d.count = count;
    d.vertices.assign(vertices, vertices + VertexCountOf(type, count));
    d.states = states_;
    d.lighting = lighting_;
    d.texture = texture_;
    d.target = target_;
    d.world = world_;
    d.view = view_;
    d.projection = projection_;
    d.viewport = viewport_;
    draws.push_back(std::move(d));
}

void RecordingDevice::DrawPrimitive3D(PrimitiveType type, int32_t count, const Vertex3D* vertices) {
    const auto n = static_cast<size_t>(VertexCountOf(type, count));
    std::vector<Vertex> flat(n);
    for (size_t i = 0; i < n; ++i) {
        const Vertex3D& v = vertices[i];
        flat[i] = {v.x, v.y, v.z, v.colour, v.u, v.v};
    }
    DrawPrimitive(type, count, flat.data());
    draws.back().vertices3d.assign(vertices, vertices + n);
}

void RecordingDevice::SetLight(int32_t index, const Light& light) {
    if (index >= 0 && index < kMaxLights) lighting_.lights[size_t(index)] = light;
}

void RecordingDevice::LightEnable(int32_t index, bool enable) {
    if (index >= 0 && index < kMaxLights) lighting_.enabled[size_t(index)] = enable;
}

bool RecordingDevice::SetRenderTarget(DeviceTexture texture) {
    if (texture != 0 && (!Image(texture) || !textures_[texture - 1].render_target)) return false;
    target_ = texture;
    return true;
}

bool RecordingDevice::ReadPixels(const IntRect& area, TBitmap32& out) {
    TBitmap32* image = Image(target_);
    if (!image || area.x < 0 || area.y < 0 || area.w <= 0 || area.h <= 0 ||
        area.x + area.w > image->Width() || area.y + area.h > image->Height())
        return false;
    out.Resize(area.w, area.h);
    out.DrawPart(0, 0, image, area.x, area.y, area.w, area.h);
    return true;
}

bool RecordingDevice::CopyRect(DeviceTexture source, const IntRect& area, DeviceTexture dest, int32_t x,
                               int32_t y) {
    TBitmap32* from = source ? Image(source) : nullptr;
    TBitmap32* to = dest ? Image(dest) : nullptr;
    if (!from || !to) return false;
    TBitmap32 part;
    part.Resize(area.w, area.h);
    part.DrawPart(0, 0, from, area.x, area.y, area.w, area.h);
    to->DrawPart(x, y, &part, 0, 0, area.w, area.h);
    return true;
}

bool RecordingDevice::Present(const IntRect& source, const IntRect& dest, uint32_t) {
    ++presents;
    last_present_source = source;
    last_present_dest = dest;
    return true;
}

} // namespace kestrin
