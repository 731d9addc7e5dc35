#pragma once
// Surfaces: render-target textures with their own depth buffers that scripts draw into.

#include <cstdint>
#include <optional>

#include "base/bitmap32.h"

namespace kestrin {

struct RSurface {
    int32_t tex = -1;
    int32_t w = 0, h = 0;
    bool used = false;
};

int32_t Surface_Create(int32_t w, int32_t h);
bool Surface_Exists(int32_t id);
void Surface_Free(int32_t id);
void Surface_FreeAll();
int32_t Surface_GetWidth(int32_t id);
int32_t Surface_GetHeight(int32_t id);
int32_t Surface_GetTexture(int32_t id);
int32_t Surface_CurrentTarget();
bool Surface_SetTarget(int32_t id);
bool Surface_ResetTarget();
std::optional<TBitmap32> Surface_Capture(int32_t id, int32_t x, int32_t y, int32_t w, int32_t h);
int32_t Surface_GetPixel(int32_t id, int32_t x, int32_t y);
void Surface_CopyPart(int32_t dest, int32_t x, int32_t y, int32_t src, int32_t xs, int32_t ys, int32_t ws,
                      int32_t hs);

} // namespace kestrin
