#pragma once
// 3D models: recorded lists of primitive and solid commands, drawn through a mesh built at the
// first draw, and kept in text files. The model table hands out the lowest free id.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/graphics_recorder.h"

namespace kestrin {

// Entry kinds, in the order of the model built-ins.
enum ModelEntryKind : int32_t {
    kModelPrimitiveBegin = 0,
    kModelPrimitiveEnd = 1,
    kModelVertex = 2,
    kModelVertexColour = 3,
    kModelVertexTexture = 4,
    kModelVertexTextureColour = 5,
    kModelVertexNormal = 6,
    kModelVertexNormalColour = 7,
    kModelVertexNormalTexture = 8,
    kModelVertexNormalTextureColour = 9,
    kModelBlock = 10,
    kModelCylinder = 11,
    kModelCone = 12,
    kModelEllipsoid = 13,
    kModelWall = 14,
    kModelFloor = 15,
};

struct REntry {
    int32_t kind = 0;
    std::array<double, 10> arg{};
    bool operator==(const REntry&) const = default;
};

// Limits of a model file: more entries, or numbers beyond these, make it damaged.
inline constexpr int32_t kMaxModelEntries = 1000000;
inline constexpr double kMaxModelNumber = 1e12;

class C3D_Model {
public:
    int32_t i_numb = 0;
    std::vector<REntry> i_val;
    std::unique_ptr<CGraphicsRecorder> m_pMesh;

    // Appends an entry; arguments beyond those given are 0, colours are rounded.
    void AddEntry(int32_t kind, std::initializer_list<double> args);
    void Clear();
    // Draws the model translated by (x, y, z) with texture id `texture` (-1 for none).
    void Draw(double x, double y, double z, int32_t texture);
    // Whether some entry takes the drawing colour (a plain vertex or a solid).
    bool UsesDrawingColour() const;

    std::string Format() const;
    // Replaces the entries with those of a model file's text; on damage the model stays empty
    // and the answer is false.
    bool Parse(std::string_view text);
    bool SaveToFile(const std::string& path) const;
    bool LoadFromFile(const std::string& path);
};

int32_t Model_Create();
bool Model_Exists(int32_t id);
C3D_Model* Model_Get(int32_t id);
void Model_Destroy(int32_t id);
void Model_ClearAll();

} // namespace kestrin
