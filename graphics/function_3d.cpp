// 3D built-ins. No messages: invalid model ids, full stacks and bad kinds are ignored.

#include "graphics/function_3d.h"

#include <cmath>

#include "base/numeric.h"
#include "graphics/function_args.h"
#include "graphics/graphics_3d.h"
#include "graphics/model.h"
#include "graphics/render_state.h"
#include "runner/file_access.h"
#include "script/value.h"

namespace kestrin {

namespace {

using graphics_args::Args;
using graphics_args::B;
using graphics_args::D;
using graphics_args::I;

int64_t C(Args a, int i) {
    return RoundToInt64Saturated(a[i].val());
}
float F(Args a, int i) {
    return static_cast<float>(a[i].val());
}
// The angles of scripts turn the other way round.
float Radians(Args a, int i) {
    return static_cast<float>(-a[i].val() * M_PI / 180.0);
}
void Result(RValue& r, bool ok) {
    r.SetReal(ok ? 1 : 0);
}

ROUTINE(d3d_start) {
    r.SetReal(D3D_Start());
}
ROUTINE(d3d_end) {
    r.SetReal(D3D_End());
}
ROUTINE(d3d_set_perspective) {
    RenderState_SetPerspective(B(a, 0));
}
ROUTINE(d3d_set_hidden) {
    RenderState_SetHidden(B(a, 0));
}
ROUTINE(d3d_set_lighting) {
    RenderState_SetLighting(B(a, 0));
}
ROUTINE(d3d_set_shading) {
    RenderState_SetShading(B(a, 0));
}
ROUTINE(d3d_set_culling) {
    RenderState_SetCulling(B(a, 0));
}
ROUTINE(d3d_set_fog) {
    RenderState_SetFog(B(a, 0), LowBits32(C(a, 1)), D(a, 2), D(a, 3));
}
ROUTINE(d3d_set_depth) {
    D3D_SetDepth(D(a, 0));
}
ROUTINE(d3d_set_zwriteenable) {
    D3D_SetZWriteEnable(B(a, 0));
}

ROUTINE(d3d_primitive_begin) {
    D3D_PrimitiveBegin(I(a, 0), -1);
}
ROUTINE(d3d_primitive_begin_texture) {
    D3D_PrimitiveBegin(I(a, 0), I(a, 1));
}
ROUTINE(d3d_primitive_end) {
    D3D_PrimitiveEnd();
}

// Vertices from their argument forms: position, then normal, texture and colour when given.
void Vertex(Args a, bool normal, bool texture, bool colour) {
    Vertex3D v{F(a, 0), F(a, 1), F(a, 2), 0, 0, 0, 0, 0, 0};
    int i = 3;
    if (normal) v.nx = F(a, 3), v.ny = F(a, 4), v.nz = F(a, 5), i = 6;
    if (texture) v.u = F(a, i), v.v = F(a, i + 1), i += 2;
    v.colour = colour ? D3D_ExplicitColour(C(a, i), D(a, i + 1)) : D3D_PlainColour();
    D3D_Vertex(v);
}
ROUTINE(d3d_vertex) {
    Vertex(a, false, false, false);
}
ROUTINE(d3d_vertex_color) {
    Vertex(a, false, false, true);
}
ROUTINE(d3d_vertex_texture) {
    Vertex(a, false, true, false);
}
ROUTINE(d3d_vertex_texture_color) {
    Vertex(a, false, true, true);
}
ROUTINE(d3d_vertex_normal) {
    Vertex(a, true, false, false);
}
ROUTINE(d3d_vertex_normal_color) {
    Vertex(a, true, false, true);
}
ROUTINE(d3d_vertex_normal_texture) {
    Vertex(a, true, true, false);
}
ROUTINE(d3d_vertex_normal_texture_color) {
    Vertex(a, true, true, true);
}

ROUTINE(d3d_draw_block) {
    D3D_DrawBlock(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), I(a, 6), D(a, 7), D(a, 8));
}
ROUTINE(d3d_draw_wall) {
    D3D_DrawWall(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), I(a, 6), D(a, 7), D(a, 8));
}
ROUTINE(d3d_draw_floor) {
    D3D_DrawFloor(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), I(a, 6), D(a, 7), D(a, 8));
}
ROUTINE(d3d_draw_cylinder) {
    D3D_DrawCylinder(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), I(a, 6), D(a, 7), D(a, 8), B(a, 9),
                     I(a, 10));
}
ROUTINE(d3d_draw_cone) {
    D3D_DrawCone(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), I(a, 6), D(a, 7), D(a, 8), B(a, 9),
                 I(a, 10));
}
ROUTINE(d3d_draw_ellipsoid) {
    D3D_DrawEllipsoid(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4), D(a, 5), I(a, 6), D(a, 7), D(a, 8),
                      I(a, 9));
}

std::array<double, 9> Look(Args a) {
    std::array<double, 9> k{};
    for (int i = 0; i < 9; ++i) k[size_t(i)] = D(a, i);
    return k;
}
ROUTINE(d3d_set_projection) {
    D3D_SetProjection(Look(a));
}
ROUTINE(d3d_set_projection_ext) {
    D3D_SetProjectionExt(Look(a), D(a, 9), D(a, 10), D(a, 11), D(a, 12));
}
ROUTINE(d3d_set_projection_ortho) {
    D3D_SetProjectionOrtho(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4));
}
ROUTINE(d3d_set_projection_perspective) {
    D3D_SetProjectionPerspective(D(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4));
}

ROUTINE(d3d_transform_set_identity) {
    D3D_TransformSet(Matrix::Identity());
}
ROUTINE(d3d_transform_set_translation) {
    D3D_TransformSet(Translation(F(a, 0), F(a, 1), F(a, 2)));
}
ROUTINE(d3d_transform_set_scaling) {
    D3D_TransformSet(Scaling(F(a, 0), F(a, 1), F(a, 2)));
}
ROUTINE(d3d_transform_set_rotation_x) {
    D3D_TransformSet(RotationAxis(1, 0, 0, Radians(a, 0)));
}
ROUTINE(d3d_transform_set_rotation_y) {
    D3D_TransformSet(RotationAxis(0, 1, 0, Radians(a, 0)));
}
ROUTINE(d3d_transform_set_rotation_z) {
    D3D_TransformSet(RotationZ(Radians(a, 0)));
}
ROUTINE(d3d_transform_set_rotation_axis) {
    D3D_TransformSet(RotationAxis(F(a, 0), F(a, 1), F(a, 2), Radians(a, 3)));
}
ROUTINE(d3d_transform_add_translation) {
    D3D_TransformAdd(Translation(F(a, 0), F(a, 1), F(a, 2)));
}
ROUTINE(d3d_transform_add_scaling) {
    D3D_TransformAdd(Scaling(F(a, 0), F(a, 1), F(a, 2)));
}
ROUTINE(d3d_transform_add_rotation_x) {
    D3D_TransformAdd(RotationAxis(1, 0, 0, Radians(a, 0)));
}
ROUTINE(d3d_transform_add_rotation_y) {
    D3D_TransformAdd(RotationAxis(0, 1, 0, Radians(a, 0)));
}
ROUTINE(d3d_transform_add_rotation_z) {
    D3D_TransformAdd(RotationZ(Radians(a, 0)));
}
ROUTINE(d3d_transform_add_rotation_axis) {
    D3D_TransformAdd(RotationAxis(F(a, 0), F(a, 1), F(a, 2), Radians(a, 3)));
}
ROUTINE(d3d_transform_stack_clear) {
    D3D_StackClear();
}
ROUTINE(d3d_transform_stack_empty) {
    Result(r, D3D_StackEmpty());
}
ROUTINE(d3d_transform_stack_push) {
    Result(r, D3D_StackPush());
}
ROUTINE(d3d_transform_stack_pop) {
    Result(r, D3D_StackPop());
}
ROUTINE(d3d_transform_stack_top) {
    Result(r, D3D_StackTop());
}
ROUTINE(d3d_transform_stack_discard) {
    Result(r, D3D_StackDiscard());
}

ROUTINE(d3d_light_define_ambient) {
    if (!a[0].IsReal()) return;
    D3D_LightDefineAmbient(TruncToInt32Saturated(D(a, 0)));
}
ROUTINE(d3d_light_define_direction) {
    D3D_LightDefineDirection(I(a, 0), D(a, 1), D(a, 2), D(a, 3), LowBits32(C(a, 4)));
}
ROUTINE(d3d_light_define_point) {
    D3D_LightDefinePoint(I(a, 0), D(a, 1), D(a, 2), D(a, 3), D(a, 4), LowBits32(C(a, 5)));
}
ROUTINE(d3d_light_enable) {
    D3D_LightEnable(I(a, 0), B(a, 1));
}

ROUTINE(d3d_model_create) {
    r.SetReal(Model_Create());
}
ROUTINE(d3d_model_destroy) {
    Model_Destroy(I(a, 0));
}
ROUTINE(d3d_model_clear) {
    if (C3D_Model* m = Model_Get(I(a, 0))) m->Clear();
}
ROUTINE(d3d_model_load) {
    C3D_Model* m = Model_Get(I(a, 0));
    if (!m) return;
    const ResolvedFile file = ResolveFile(a[1].str());
    if (file.allowed)
        (void)m->LoadFromFile(file.path);
    else
        m->Clear();
}
ROUTINE(d3d_model_save) {
    const C3D_Model* m = Model_Get(I(a, 0));
    if (!m) return;
    const ResolvedFile file = ResolveFile(a[1].str());
    if (file.allowed) (void)m->SaveToFile(file.path);
}
ROUTINE(d3d_model_draw) {
    if (C3D_Model* m = Model_Get(I(a, 0))) m->Draw(D(a, 1), D(a, 2), D(a, 3), I(a, 4));
}

// Appends entry `kind` with the arguments after the model id.
void Add(Args a, int32_t argc, int32_t kind) {
    C3D_Model* m = Model_Get(I(a, 0));
    if (!m) return;
    double v[10] = {};
    for (int32_t i = 1; i < argc && i <= 10; ++i) v[i - 1] = D(a, i);
    m->AddEntry(kind, {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9]});
}
#define MODEL_ROUTINE(name, kind)                                                                            \
    ROUTINE(name) {                                                                                          \
        Add(a, argc, kind);                                                                                  \
    }
MODEL_ROUTINE(d3d_model_primitive_begin, kModelPrimitiveBegin)
MODEL_ROUTINE(d3d_model_primitive_end, kModelPrimitiveEnd)
MODEL_ROUTINE(d3d_model_vertex, kModelVertex)
MODEL_ROUTINE(d3d_model_vertex_color, kModelVertexColour)
MODEL_ROUTINE(d3d_model_vertex_texture, kModelVertexTexture)
MODEL_ROUTINE(d3d_model_vertex_texture_color, kModelVertexTextureColour)
MODEL_ROUTINE(d3d_model_vertex_normal, kModelVertexNormal)
MODEL_ROUTINE(d3d_model_vertex_normal_color, kModelVertexNormalColour)
MODEL_ROUTINE(d3d_model_vertex_normal_texture, kModelVertexNormalTexture)
MODEL_ROUTINE(d3d_model_vertex_normal_texture_color, kModelVertexNormalTextureColour)
MODEL_ROUTINE(d3d_model_block, kModelBlock)
MODEL_ROUTINE(d3d_model_cylinder, kModelCylinder)
MODEL_ROUTINE(d3d_model_cone, kModelCone)
MODEL_ROUTINE(d3d_model_ellipsoid, kModelEllipsoid)
MODEL_ROUTINE(d3d_model_wall, kModelWall)
MODEL_ROUTINE(d3d_model_floor, kModelFloor)
#undef MODEL_ROUTINE

#undef ROUTINE

constexpr RFunctionSpec kFunctions[] = {
    {"d3d_end", d3d_end, 0},
    {"d3d_start", d3d_start, 0},
    {"d3d_set_perspective", d3d_set_perspective, 1},
    {"d3d_set_culling", d3d_set_culling, 1},
    {"d3d_set_fog", d3d_set_fog, 4},
    {"d3d_set_hidden", d3d_set_hidden, 1},
    {"d3d_set_lighting", d3d_set_lighting, 1},
    {"d3d_set_shading", d3d_set_shading, 1},
    {"d3d_set_depth", d3d_set_depth, 1},
    {"d3d_set_zwriteenable", d3d_set_zwriteenable, 1},
    {"d3d_primitive_begin", d3d_primitive_begin, 1},
    {"d3d_primitive_begin_texture", d3d_primitive_begin_texture, 2},
    {"d3d_vertex", d3d_vertex, 3},
    {"d3d_vertex_color", d3d_vertex_color, 5},
    {"d3d_vertex_normal", d3d_vertex_normal, 6},
    {"d3d_vertex_normal_color", d3d_vertex_normal_color, 8},
    {"d3d_vertex_normal_texture", d3d_vertex_normal_texture, 8},
    {"d3d_vertex_normal_texture_color", d3d_vertex_normal_texture_color, 10},
    {"d3d_vertex_texture", d3d_vertex_texture, 5},
    {"d3d_vertex_texture_color", d3d_vertex_texture_color, 7},
    {"d3d_primitive_end", d3d_primitive_end, 0},
    {"d3d_draw_block", d3d_draw_block, 9},
    {"d3d_draw_floor", d3d_draw_floor, 9},
    {"d3d_draw_wall", d3d_draw_wall, 9},
    {"d3d_draw_cone", d3d_draw_cone, 11},
    {"d3d_draw_cylinder", d3d_draw_cylinder, 11},
    {"d3d_draw_ellipsoid", d3d_draw_ellipsoid, 10},
    {"d3d_set_projection", d3d_set_projection, 9},
    {"d3d_set_projection_ext", d3d_set_projection_ext, 13},
    {"d3d_set_projection_ortho", d3d_set_projection_ortho, 5},
    {"d3d_set_projection_perspective", d3d_set_projection_perspective, 5},
    {"d3d_transform_set_identity", d3d_transform_set_identity, 0},
    {"d3d_transform_set_scaling", d3d_transform_set_scaling, 3},
    {"d3d_transform_set_translation", d3d_transform_set_translation, 3},
    {"d3d_transform_set_rotation_x", d3d_transform_set_rotation_x, 1},
    {"d3d_transform_set_rotation_y", d3d_transform_set_rotation_y, 1},
    {"d3d_transform_set_rotation_z", d3d_transform_set_rotation_z, 1},
    {"d3d_transform_set_rotation_axis", d3d_transform_set_rotation_axis, 4},
    {"d3d_transform_add_rotation_axis", d3d_transform_add_rotation_axis, 4},
    {"d3d_transform_add_rotation_x", d3d_transform_add_rotation_x, 1},
    {"d3d_transform_add_rotation_y", d3d_transform_add_rotation_y, 1},
    {"d3d_transform_add_rotation_z", d3d_transform_add_rotation_z, 1},
    {"d3d_transform_add_scaling", d3d_transform_add_scaling, 3},
    {"d3d_transform_add_translation", d3d_transform_add_translation, 3},
    {"d3d_transform_stack_clear", d3d_transform_stack_clear, 0},
    {"d3d_transform_stack_empty", d3d_transform_stack_empty, 0},
    {"d3d_transform_stack_push", d3d_transform_stack_push, 0},
    {"d3d_transform_stack_pop", d3d_transform_stack_pop, 0},
    {"d3d_transform_stack_top", d3d_transform_stack_top, 0},
    {"d3d_transform_stack_discard", d3d_transform_stack_discard, 0},
    {"d3d_light_define_ambient", d3d_light_define_ambient, 1},
    {"d3d_light_define_direction", d3d_light_define_direction, 5},
    {"d3d_light_define_point", d3d_light_define_point, 6},
    {"d3d_light_enable", d3d_light_enable, 2},
    {"d3d_model_create", d3d_model_create, 0},
    {"d3d_model_clear", d3d_model_clear, 1},
    {"d3d_model_destroy", d3d_model_destroy, 1},
    {"d3d_model_load", d3d_model_load, 2},
    {"d3d_model_save", d3d_model_save, 2},
    {"d3d_model_draw", d3d_model_draw, 5},
    {"d3d_model_block", d3d_model_block, 9},
    {"d3d_model_cone", d3d_model_cone, 11},
    {"d3d_model_cylinder", d3d_model_cylinder, 11},
    {"d3d_model_ellipsoid", d3d_model_ellipsoid, 10},
    {"d3d_model_floor", d3d_model_floor, 9},
    {"d3d_model_primitive_begin", d3d_model_primitive_begin, 2},
    {"d3d_model_primitive_end", d3d_model_primitive_end, 1},
    {"d3d_model_vertex", d3d_model_vertex, 4},
    {"d3d_model_vertex_color", d3d_model_vertex_color, 6},
    {"d3d_model_vertex_normal", d3d_model_vertex_normal, 7},
    {"d3d_model_vertex_normal_color", d3d_model_vertex_normal_color, 9},
    {"d3d_model_vertex_normal_texture", d3d_model_vertex_normal_texture, 9},
    {"d3d_model_vertex_normal_texture_color", d3d_model_vertex_normal_texture_color, 11},
    {"d3d_model_vertex_texture", d3d_model_vertex_texture, 6},
    {"d3d_model_vertex_texture_color", d3d_model_vertex_texture_color, 8},
    {"d3d_model_wall", d3d_model_wall, 9},
};
static_assert(std::size(kFunctions) == 76);

} // namespace

std::span<const RFunctionSpec> ThreeDFunctions() {
    return kFunctions;
}

} // namespace kestrin
