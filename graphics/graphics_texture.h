#pragma once
// The texture table: integer ids handed out lowest-free-first for sprites, backgrounds, fonts,
// surfaces and particle shapes, and the textured-quad family every image is drawn with.

#include <cstdint>

#include "base/bitmap32.h"
#include "graphics/device.h"

namespace kestrin {

struct RTexture {
    DeviceTexture tex = 0;
    int32_t w = 0, h = 0;   // the image put in
    int32_t wt = 0, ht = 0; // the texture the device made
    bool used = false;
    bool render_target = false;
};

void GR_Texture_Init();
// Counts the table's fresh starts: an id kept from an older generation names nothing now.
uint64_t GR_Texture_Generation();
int32_t GR_Texture_Create_And_Fill(int32_t w, int32_t h, const TColor32* pixels);
int32_t GR_Texture_Create_From_Bitmap(const TBitmap32* bitmap);
int32_t GR_Texture_Create_From_Alpha(int32_t w, int32_t h, const uint8_t* alphas);
int32_t GR_Texture_Create_Empty(int32_t w, int32_t h, bool renderTarget);
void GR_Texture_Free(int32_t id);
bool GR_Texture_Exists(int32_t id);
const RTexture* GR_Texture_Get(int32_t id);
double GR_Texture_GetWidth(int32_t id);
double GR_Texture_GetHeight(int32_t id);
void GR_Texture_Preload(int32_t id);
void GR_Texture_SetPriority(int32_t id, int32_t priority);
void GR_Texture_Set(int32_t id);
int32_t GR_Texture_Count();

// Vertex colour of the quads: alpha from a real, red and blue swapped from the runner's colour.
uint32_t QuadColour(int32_t colour, double alpha);

void GR_Texture_Draw(int32_t id, double x, double y);
void GR_Texture_DrawTransformed(int32_t id, int32_t colour, double xo, double yo, double x, double y,
                                double xscale, double yscale, double angle, double alpha);
void GR_Texture_DrawPart(int32_t id, int32_t colour, double left, double top, double width, double height,
                         double x, double y, double xscale, double yscale, double angle, double alpha);
void GR_Texture_DrawGeneral(int32_t id, int32_t c1, int32_t c2, int32_t c3, int32_t c4, double left,
                            double top, double width, double height, double x, double y, double xscale,
                            double yscale, double angle, double alpha);
void GR_Texture_DrawPos(int32_t id, double alpha, double x1, double y1, double x2, double y2, double x3,
                        double y3, double x4, double y4);
// `room` is the area tiles must cover: (xr, yr, wr, hr).
void GR_Texture_DrawTiled(int32_t id, bool htiled, bool vtiled, double xo, double yo, double x, double y,
                          double xscale, double yscale, double xr, double yr, double wr, double hr,
                          int32_t colour, double alpha);

} // namespace kestrin
