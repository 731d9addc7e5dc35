#pragma once
// 3D mode, the camera and projections, the world transform and its stack, lights, 3D
// primitives and the solids (blocks, floors, walls, cylinders, cones, ellipsoids). Everything
// drawn goes to the device, or into the model recorder while a model builds its mesh.

#include <array>
#include <cstdint>

#include "graphics/device.h"

namespace kestrin {

class CGraphicsRecorder;

// Switches 3D mode; perspective and hidden-surface removal follow a change of mode. Both
// answer 1.
int32_t D3D_Start();
int32_t D3D_End();
bool D3D_Mode();
// The drawing depth: clamped in 3D mode, 0 otherwise.
void D3D_SetDepth(double depth);
// Depth-buffer writes, in 3D mode only.
void D3D_SetZWriteEnable(bool enable);

// Vertex colours: the drawing colour of the moment (bit 0 clear) or an explicit colour (bit 0 set).
uint32_t D3D_PlainColour();
uint32_t D3D_ExplicitColour(int64_t colour, double alpha);

// The primitive under construction: kinds 1..6 (pr_*), texture id or -1.
inline constexpr int32_t kMaxPrimitiveVertices = 32001;
void D3D_PrimitiveBegin(int32_t kind, int32_t texture);
void D3D_Vertex(const Vertex3D& vertex);
void D3D_PrimitiveEnd();

// Solids with the texture repeated hrepeat × vrepeat times; each face is its own primitive.
void D3D_DrawBlock(double x1, double y1, double z1, double x2, double y2, double z2, int32_t texture,
                   double hrepeat, double vrepeat);
void D3D_DrawFloor(double x1, double y1, double z1, double x2, double y2, double z2, int32_t texture,
                   double hrepeat, double vrepeat);
void D3D_DrawWall(double x1, double y1, double z1, double x2, double y2, double z2, int32_t texture,
                  double hrepeat, double vrepeat);
void D3D_DrawCylinder(double x1, double y1, double z1, double x2, double y2, double z2, int32_t texture,
                      double hrepeat, double vrepeat, bool closed, int32_t steps);
void D3D_DrawCone(double x1, double y1, double z1, double x2, double y2, double z2, int32_t texture,
                  double hrepeat, double vrepeat, bool closed, int32_t steps);
void D3D_DrawEllipsoid(double x1, double y1, double z1, double x2, double y2, double z2, int32_t texture,
                       double hrepeat, double vrepeat, int32_t steps);

// Camera and projections.
void D3D_SetProjection(const std::array<double, 9>& look);
void D3D_SetProjectionExt(const std::array<double, 9>& look, double angle, double aspect, double znear,
                          double zfar);
void D3D_SetProjectionOrtho(double x, double y, double w, double h, double angle);
void D3D_SetProjectionPerspective(double x, double y, double w, double h, double angle);
// Left-handed perspective with a vertical field of view in radians.
Matrix PerspectiveFovLH(float fovy, float aspect, float zn, float zf);
// Rotation about an axis by `radians` (row vectors); identity for a zero axis.
Matrix RotationAxis(float x, float y, float z, float radians);

// The world transform: set replaces it, add applies the matrix after it.
void D3D_TransformSet(const Matrix& m);
void D3D_TransformAdd(const Matrix& m);
inline constexpr int32_t kTransformStackSize = 1001;
void D3D_StackClear();
bool D3D_StackEmpty();
bool D3D_StackPush();
bool D3D_StackPop();
bool D3D_StackTop();
bool D3D_StackDiscard();

// Lights, kept here as well so a device reset can have them back.
void D3D_LightDefineAmbient(int32_t colour);
void D3D_LightDefineDirection(int32_t index, double dx, double dy, double dz, int32_t colour);
void D3D_LightDefinePoint(int32_t index, double x, double y, double z, double range, int32_t colour);
void D3D_LightEnable(int32_t index, bool enable);
const LightingState& D3D_Lighting();
// Sends the lights, their switches, the material and the ambient colour to the device again.
void D3D_RestoreLights();

// Primitives and solids go into `recorder` while it is set (model meshes); answers the one
// set before, which the caller puts back.
CGraphicsRecorder* D3D_SetRecorder(CGraphicsRecorder* recorder);
// A model mesh takes at most this many vertices; more are ignored.
inline constexpr size_t kMaxMeshVertices = 4u << 20;

// Back to the start: 2D mode, identity world, empty stack, no lights (a new run).
void D3D_Reset();

} // namespace kestrin
