#pragma once
// GIF files, decoded through giflib.

#include <cstdint>
#include <span>
#include <vector>

#include "base/bitmap32.h"

namespace kestrin {

// Largest number of images taken from one GIF.
constexpr size_t kMaxGifFrames = 4096;

// Decodes every image of a GIF as it appears on the logical screen (each side at least 1):
// the screen starts transparent, each image is drawn over it (its transparent colour and
// the parts outside the screen leave the screen as it was) and the result is one frame;
// afterwards the image's disposal method applies (background: its area becomes
// transparent again; previous: the screen goes back to what it was before the image;
// otherwise the image stays). Drawn pixels are opaque. False, with `frames` unchanged,
// when the data is damaged or cut short, has no image, or the frames would exceed
// kMaxGifFrames or kMaxBitmapPixels in total.
bool DecodeGif(std::span<const uint8_t> file, std::vector<TBitmap32>& frames);

// Every image of a GIF as sprite frames take them: the canvas (the logical screen, each side
// at least 1) starts filled with `fill`; each image is drawn over it with its transparent
// colour and the canvas becomes one frame; then, unless the image's disposal method is
// "do not dispose", the whole canvas is filled with `fill` again. Failures and limits as
// DecodeGif.
bool DecodeGifOnFill(std::span<const uint8_t> file, TColor32 fill, std::vector<TBitmap32>& frames);

// The first frame as image files load it: opaque, with transparent parts in red 1,
// green 0, blue 0. Data after the first image is not read.
bool DecodeGifFirstFrame(std::span<const uint8_t> file, TBitmap32& out);

} // namespace kestrin
