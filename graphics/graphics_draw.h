#pragma once
// The drawing state scripts set (colour, alpha, circle precision, the depth of 2D drawing in
// 3D mode), colour arithmetic, and the 2D primitives with their exact vertex recipes.

#include <cstdint>

#include "graphics/device.h"

namespace kestrin {

// Colours: runner convention (red low byte) to the device's ARGB.
uint32_t ToDeviceColour(int64_t colour, double alpha);
// ARGB back to the runner's convention, without alpha.
int32_t FromDeviceColour(uint32_t argb);

int64_t MakeColourRgb(double r, double g, double b);
int32_t MakeColourHsv(double h, double s, double v);
int32_t ColourHue(int32_t colour);
int32_t ColourSaturation(int32_t colour);
int32_t ColourValue(int32_t colour);
int32_t MergeColour(int32_t c1, int32_t c2, double amount);

void Draw_Reset(); // the initial state (a new run)
void Draw_SetColour(int64_t colour);
void Draw_SetAlpha(double alpha);
uint32_t Draw_GetDeviceColour();
int32_t Draw_GetColour();
double Draw_GetAlpha();
void Draw_SetCirclePrecision(int64_t precision);
int32_t Draw_GetCirclePrecision();
void Draw_SetDepth(double depth);
// The z of 2D drawing: the depth in 3D mode, else 0.
double Draw_GetDepth();
// The view being drawn (view_current), through which draw_getpixel maps room points.
void Draw_SetCurrentView(int32_t view);
int32_t Draw_GetCurrentView();

// Colours below are device ARGB.
void Draw_Point(double x, double y, uint32_t colour, bool offset);
void Draw_Line(double x1, double y1, double x2, double y2, uint32_t c1, uint32_t c2);
void Draw_LineWidth(double x1, double y1, double x2, double y2, double w, uint32_t c1, uint32_t c2);
void Draw_Rectangle(double x1, double y1, double x2, double y2, const uint32_t (&c)[4], bool outline);
void Draw_Triangle(double x1, double y1, double x2, double y2, double x3, double y3, uint32_t c1, uint32_t c2,
                   uint32_t c3, bool outline);
void Draw_Ellipse(double x1, double y1, double x2, double y2, uint32_t c1, uint32_t c2, bool outline);
void Draw_RoundRect(double x1, double y1, double x2, double y2, uint32_t c1, uint32_t c2, bool outline);
void Draw_Arrow(double x1, double y1, double x2, double y2, double size);
void Draw_Button(double x1, double y1, double x2, double y2, bool up);
void Draw_Healthbar(double x1, double y1, double x2, double y2, double amount, int32_t backcol,
                    int32_t mincol, int32_t maxcol, int32_t direction, bool showback, bool showborder);

inline constexpr int32_t kMaxFreeVertices = 1001;
void Draw_PrimitiveBegin(int32_t kind, int32_t texture);
void Draw_Vertex(double x, double y, uint32_t colour, double u, double v);
void Draw_PrimitiveEnd();

// Back-buffer colour at a room point seen through the current view (runner convention).
int32_t Draw_GetPixel(double x, double y);

} // namespace kestrin
