#include "platform/sdl/sdl_loading.h"

#include <SDL.h>
#include <SDL_shape.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "graphics/font.h"
#include "runner/settings.h"

namespace kestrin {

namespace {
constexpr int32_t kBarOffset = 8;
constexpr int32_t kBarAboveBottom = 32;
constexpr int32_t kDefaultBarHeight = 16;

// The label's font, rendered on first use by the glyph renderer the executable installed.
const CFont& LabelFont() {
    static std::unique_ptr<CFont> font;
    if (!font) {
        font = std::make_unique<CFont>();
        font->CreateFont("Arial", 9, false, false, 32, 127);
    }
    return *font;
}

SDL_Texture* Upload(SDL_Renderer* r, const TBitmap32& bm) {
    if (bm.Empty()) return nullptr;
    SDL_Texture* t =
        SDL_CreateTexture(r, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, bm.Width(), bm.Height());
    if (!t) return nullptr;
    SDL_UpdateTexture(t, nullptr, bm.s_data.data(), bm.Width() * 4);
    SDL_SetTextureBlendMode(t, SDL_BLENDMODE_BLEND);
    return t;
}

bool ShapeByColourKey(SDL_Window* window, const TBitmap32& image) {
    SDL_Surface* shape =
        SDL_CreateRGBSurfaceWithFormat(0, image.Width(), image.Height(), 32, SDL_PIXELFORMAT_ARGB8888);
    if (!shape) return false;
    for (int32_t y = 0; y < image.Height(); ++y)
        std::copy(
            image.Row(y), image.Row(y) + image.Width(),
            reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(shape->pixels) + ptrdiff_t(y) * shape->pitch));
    const TColor32 key = image.GetPixel(0, image.Height() - 1);
    SDL_WindowShapeMode mode;
    mode.mode = ShapeModeColorKey;
    mode.parameters.colorKey = {uint8_t(key >> 16), uint8_t(key >> 8), uint8_t(key), 255};
    const bool ok = SDL_SetWindowShape(window, shape, &mode) == 0;
    SDL_FreeSurface(shape);
    return ok;
}

} // namespace

LoadingLayout LayoutLoadingWindow(const CSettings& s, bool debugMode) {
    LoadingLayout l;
    const bool image = s.loading_image && !s.loading_image->Empty();
    l.client_w = image ? s.loading_image->Width() : 400;
    l.client_h = image ? s.loading_image->Height() : 80;
    const bool bars = s.bar_back && s.bar_front && !s.bar_back->Empty() && !s.bar_front->Empty();
    l.show_bars = s.show_progress;
    l.show_label = debugMode && s.show_progress;
    l.bar_h = bars ? s.bar_back->Height() : kDefaultBarHeight;
    l.bar_x = kBarOffset;
    l.bar_y = l.client_h - kBarAboveBottom;
    l.bar_w = std::max(l.client_w - 2 * kBarOffset, 0);
    return l;
}

int32_t FullBarWidth(int32_t percent, int32_t emptyWidth) {
    return static_cast<int32_t>(std::nearbyint(double(percent) * emptyWidth / 100.0));
}

SdlLoadingDisplay::~SdlLoadingDisplay() {
    Hide();
}

void SdlLoadingDisplay::Setup(const CSettings& settings, bool debugMode) {
    // The runner handles SIGINT and SIGTERM itself (it ends the game and cleans up).
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return;
    layout_ = LayoutLoadingWindow(settings, debugMode);
    const Uint32 flags = SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN;
    const bool keyed =
        settings.loading_transparent && settings.loading_image && !settings.loading_image->Empty();
    // A transparent image shows through where it has the colour of its bottom-left pixel; that
    // needs a shaped window, and without one the image shows whole.
    if (keyed) {
        window_ = SDL_CreateShapedWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                         static_cast<unsigned>(layout_.client_w),
                                         static_cast<unsigned>(layout_.client_h), flags);
        if (window_ && !ShapeByColourKey(window_, *settings.loading_image)) {
            SDL_DestroyWindow(window_);
            window_ = nullptr;
        }
    }
    if (!window_)
        window_ = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, layout_.client_w,
                                   layout_.client_h, flags);
    if (!window_) return;
    {
        // SDL's texture-backed window surface would recreate the window, losing its shape.
        const char* previous = SDL_GetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION);
        const std::string saved = previous ? previous : "";
        if (keyed) SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
        if (keyed && previous)
            SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, saved.c_str());
        else if (keyed)
            SDL_ResetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION);
    }
    if (!renderer_) return;
    if (settings.loading_image) image_ = Upload(renderer_, *settings.loading_image);
    if (settings.show_progress && settings.bar_back && settings.bar_front) {
        empty_ = Upload(renderer_, *settings.bar_back);
        full_ = Upload(renderer_, *settings.bar_front);
        full_w_ = settings.bar_front->Width();
        full_h_ = settings.bar_front->Height();
    }
    stretch_full_ = settings.scale_progress;
    if (settings.loading_alpha < 255) SDL_SetWindowOpacity(window_, float(settings.loading_alpha) / 255.0f);
    Progress(0, "Loading");
    SDL_ShowWindow(window_);
    SDL_SetCursor(SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_WAIT));
}

void SdlLoadingDisplay::Progress(int percent, const std::string& text) {
    percent_ = percent;
    label_ = text;
    if (!renderer_) return;
    Draw();
    SDL_PumpEvents();
}

void SdlLoadingDisplay::Draw() {
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    if (image_) SDL_RenderCopy(renderer_, image_, nullptr, nullptr);
    if (layout_.show_bars) {
        const SDL_Rect bar{layout_.bar_x, layout_.bar_y, layout_.bar_w, layout_.bar_h};
        const int32_t w = FullBarWidth(percent_, layout_.bar_w);
        const SDL_Rect filled{layout_.bar_x, layout_.bar_y, w, layout_.bar_h};
        if (empty_)
            SDL_RenderCopy(renderer_, empty_, nullptr, &bar);
        else {
            SDL_SetRenderDrawColor(renderer_, 64, 64, 64, 255);
            SDL_RenderFillRect(renderer_, &bar);
        }
        if (full_) {
            // Without stretching, the full image is cut at the progress instead of squeezed.
            const SDL_Rect part{0, 0, std::min(w, full_w_), full_h_};
            SDL_RenderCopy(renderer_, full_, stretch_full_ ? nullptr : &part, &filled);
        } else {
            SDL_SetRenderDrawColor(renderer_, 0, 160, 255, 255);
            SDL_RenderFillRect(renderer_, &filled);
        }
    }
    if (layout_.show_label && !label_.empty()) {
        const TBitmap32 text = RenderTextImage(LabelFont(), label_);
        if (SDL_Texture* t = Upload(renderer_, text)) {
            const SDL_Rect at{layout_.bar_x, layout_.bar_y - text.Height() - 2, text.Width(), text.Height()};
            SDL_RenderCopy(renderer_, t, nullptr, &at);
            SDL_DestroyTexture(t);
        }
    }
    SDL_RenderPresent(renderer_);
}

void SdlLoadingDisplay::Hide() {
    if (image_) SDL_DestroyTexture(image_);
    if (empty_) SDL_DestroyTexture(empty_);
    if (full_) SDL_DestroyTexture(full_);
    image_ = empty_ = full_ = nullptr;
    if (renderer_) SDL_DestroyRenderer(renderer_);
    renderer_ = nullptr;
    if (window_) {
        SDL_DestroyWindow(window_);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    window_ = nullptr;
    if (on_hidden) on_hidden();
}

} // namespace kestrin
