#include "graphics/splash_view.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "graphics/font.h"
#include "graphics/graphics_draw.h"
#include "graphics/graphics_texture.h"
#include "graphics/render_state.h"

namespace kestrin {

namespace {

constexpr int32_t kWhite = 0xFFFFFF;
constexpr double kTextMargin = 8;

void DrawTextureInto(int32_t texture, int32_t w, int32_t h, const SplashRect& item) {
    if (texture < 0 || w <= 0 || h <= 0 || item.w <= 0 || item.h <= 0) return;
    GR_Texture_DrawTransformed(texture, kWhite, 0, 0, item.x, item.y, item.w / w, item.h / h, 0, 1);
}

void FillRect(double x1, double y1, double x2, double y2, int32_t colour) {
    const uint32_t c = ToDeviceColour(colour, 1);
    Draw_Rectangle(x1, y1, x2, y2, {c, c, c, c}, false);
}

} // namespace

// ---- Image ----

SplashImage::SplashImage(const TBitmap32& image) : w_(image.Width()), h_(image.Height()) {
    if (!image.Empty() && RenderState_Device()) texture_ = GR_Texture_Create_From_Bitmap(&image);
}

SplashImage::~SplashImage() {
    if (texture_ >= 0) GR_Texture_Free(texture_);
}

void SplashImage::Draw(const SplashRect&, const SplashRect& item) {
    DrawTextureInto(texture_, w_, h_, item);
}

// ---- Rich text ----

SplashRichText::SplashRichText(RtfDocument document) : document_(std::move(document)) {}

SplashRichText::~SplashRichText() = default;

const CFont& SplashRichText::Font(const RtfStyle& style) {
    const int32_t points = std::max(1, (style.half_points + 1) / 2);
    auto key = std::make_tuple(style.font, points, style.bold, style.italic);
    auto found = fonts_.find(key);
    if (found != fonts_.end()) return *found->second;
    // Hostile documents name many styles; past a bound they share the last font made.
    if (fonts_.size() >= 64) return *fonts_.rbegin()->second;
    auto font = std::make_unique<CFont>();
    font->CreateFont(document_.FontName(style), points, style.bold, style.italic, 32, 255);
    return *fonts_.emplace(std::move(key), std::move(font)).first->second;
}

void SplashRichText::Draw(const SplashRect& panel, const SplashRect&) {
    const double width = std::max(1.0, panel.w - 2 * kTextMargin);
    if (width != laid_out_width_) {
        const RtfMeasure measure{
            [this](const RtfStyle& s, std::string_view text) { return double(Font(s).TextWidth(text)); },
            [this](const RtfStyle& s) {
                const double h = Font(s).s_FontHeight;
                return h > 0 ? h : std::max(1, s.half_points / 2) * 4.0 / 3.0;
            }};
        layout_ = LayoutRtf(document_, width, measure);
        laid_out_width_ = width;
    }
    const double left = panel.x + kTextMargin, top = panel.y + kTextMargin, bottom = panel.y + panel.h;
    for (const RtfLine& line : layout_.lines) {
        const double y = top + line.y;
        if (y >= bottom) break; // shown from the top; what does not fit is cut
        for (const RtfPiece& piece : line.pieces) {
            const CFont& font = Font(piece.style);
            const double h = font.s_FontHeight;
            const double py = y + line.ascent - h * 0.8;
            font.Draw_String(left + piece.x, py, piece.text, piece.style.colour, 1);
            if (piece.style.underline) {
                const double w = font.TextWidth(piece.text);
                const uint32_t c = ToDeviceColour(piece.style.colour, 1);
                const double uy = std::floor(py + h * 0.9) + 0.5;
                Draw_Line(left + piece.x, uy, left + piece.x + w, uy, c, c);
            }
        }
    }
}

// ---- Video ----

SplashVideo::SplashVideo(std::unique_ptr<VideoSource> video) : video_(std::move(video)) {}

SplashVideo::~SplashVideo() {
    if (texture_ >= 0) GR_Texture_Free(texture_);
}

bool SplashVideo::Advance(double seconds) {
    bool shown = false;
    while (!ended_) {
        if (!pending_) {
            if (!video_->NextFrame(next_, frame_time_)) {
                ended_ = true;
                break;
            }
            pending_ = true;
        }
        if (frame_time_ > seconds) break;
        std::swap(frame_, next_);
        pending_ = false;
        shown = true;
    }
    // Only the last picture due is uploaded; pictures passed over in a slow frame are dropped.
    if (shown && RenderState_Device()) {
        if (texture_ >= 0) GR_Texture_Free(texture_);
        texture_ = GR_Texture_Create_From_Bitmap(&frame_);
    }
    return !ended_;
}

bool SplashVideo::Restart() {
    if (!video_->Rewind()) return false;
    ended_ = false;
    pending_ = false;
    return true;
}

void SplashVideo::Draw(const SplashRect&, const SplashRect& item) {
    DrawTextureInto(texture_, video_->Width(), video_->Height(), item);
}

// ---- Panel ----

void DrawSplashPanel(SplashContent& content, const SplashSettings& settings, const SplashRect& panel) {
    if (!RenderState_Device()) return;
    const int32_t rw = RenderState_RegionWidth(), rh = RenderState_RegionHeight();
    RenderState_SetViewport(0, 0, rw, rh);
    RenderState_SetProjection(0, 0, rw, rh, 0);
    const double x2 = panel.x + panel.w, y2 = panel.y + panel.h;
    FillRect(panel.x, panel.y, x2, y2, settings.colour);
    content.Draw(panel, PlaceSplashItem(panel, settings.scale, content.Width(), content.Height()));
    if (settings.border && !settings.main && !settings.full_screen) {
        const uint32_t grey = ToDeviceColour(0x808080, 1);
        Draw_Rectangle(panel.x, panel.y, x2 - 1, y2 - 1, {grey, grey, grey, grey}, true);
    }
    if (settings.close_button) {
        const SplashRect b = SplashCloseButton(panel);
        FillRect(b.x, b.y, b.x + b.w, b.y + b.h, 0x404040);
        const uint32_t white = ToDeviceColour(kWhite, 1);
        Draw_Line(b.x + 5, b.y + 5, b.x + b.w - 5, b.y + b.h - 5, white, white);
        Draw_Line(b.x + b.w - 5, b.y + 5, b.x + 5, b.y + b.h - 5, white, white);
    }
}

} // namespace kestrin
