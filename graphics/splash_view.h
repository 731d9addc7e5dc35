#pragma once
// What a splash shows, drawn through the device into the game region: an image, rich text
// (laid out with the run-time fonts) or the pictures of a video, on a panel of the splash
// colour with its close button.

#include <cstdint>
#include <map>
#include <memory>
#include <tuple>

#include "base/bitmap32.h"
#include "graphics/rtf.h"
#include "graphics/video.h"
#include "runner/splash.h"

namespace kestrin {

class CFont;

class SplashContent {
public:
    virtual ~SplashContent() = default;
    // The item's own size (0 for text, which fills the panel).
    virtual int32_t Width() const { return 0; }
    virtual int32_t Height() const { return 0; }
    // Moves a moving item on to `seconds` after it was shown; false when it has ended.
    virtual bool Advance(double seconds) {
        (void)seconds;
        return true;
    }
    // Starts a moving item over; false when it cannot.
    virtual bool Restart() { return false; }
    virtual void Draw(const SplashRect& panel, const SplashRect& item) = 0;
};

class SplashImage final : public SplashContent {
public:
    explicit SplashImage(const TBitmap32& image);
    ~SplashImage() override;
    int32_t Width() const override { return w_; }
    int32_t Height() const override { return h_; }
    void Draw(const SplashRect& panel, const SplashRect& item) override;

private:
    int32_t texture_ = -1;
    int32_t w_ = 0, h_ = 0;
};

class SplashRichText final : public SplashContent {
public:
    explicit SplashRichText(RtfDocument document);
    ~SplashRichText() override;
    void Draw(const SplashRect& panel, const SplashRect& item) override;

private:
    const CFont& Font(const RtfStyle& style);
    RtfDocument document_;
    RtfLayout layout_;
    double laid_out_width_ = -1;
    std::map<std::tuple<int32_t, int32_t, bool, bool>, std::unique_ptr<CFont>> fonts_;
};

class SplashVideo final : public SplashContent {
public:
    explicit SplashVideo(std::unique_ptr<VideoSource> video);
    ~SplashVideo() override;
    int32_t Width() const override { return video_->Width(); }
    int32_t Height() const override { return video_->Height(); }
    bool Advance(double seconds) override;
    bool Restart() override;
    void Draw(const SplashRect& panel, const SplashRect& item) override;
    VideoSource& Source() { return *video_; }
    // The picture due at the last Advance (what is drawn).
    const TBitmap32& Picture() const { return frame_; }

private:
    std::unique_ptr<VideoSource> video_;
    TBitmap32 frame_; // the picture due last
    TBitmap32 next_;  // decoded ahead, shown at frame_time_
    double frame_time_ = -1;
    bool pending_ = false; // next_ holds a picture not shown yet
    bool ended_ = false;
    int32_t texture_ = -1;
};

// Draws the panel (its colour, the item, the close button when shown) over the region.
void DrawSplashPanel(SplashContent& content, const SplashSettings& settings, const SplashRect& panel);

} // namespace kestrin
