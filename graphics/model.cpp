#include "graphics/model.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "base/file_io.h"
#include "base/numeric.h"
#include "graphics/graphics_3d.h"
#include "graphics/graphics_draw.h"
#include "graphics/graphics_texture.h"

namespace kestrin {

namespace {

// The argument holding the colour of the coloured vertex kinds, or -1.
int ColourArgument(int32_t kind) {
    switch (kind) {
    case kModelVertexColour:
        return 3;
    case kModelVertexTextureColour:
        return 5;
    case kModelVertexNormalColour:
        return 6;
    case kModelVertexNormalTextureColour:
        return 8;
    default:
        return -1;
    }
}

int32_t I(double v) {
    return RoundToInt32Saturated(v);
}

void Replay(const REntry& e, int32_t tex) {
    const auto& a = e.arg;
    const uint32_t plain = D3D_PlainColour();
    const auto vertex = [](double x, double y, double z, double nx, double ny, double nz, double u, double v,
                           uint32_t c) {
        D3D_Vertex({float(x), float(y), float(z), float(nx), float(ny), float(nz), c, float(u), float(v)});
    };
    const auto explicitColour = [](double c, double alpha) {
        return D3D_ExplicitColour(RoundToInt64Saturated(c), alpha);
    };
    switch (e.kind) {
    case kModelPrimitiveBegin:
        D3D_PrimitiveBegin(I(a[0]), tex);
        break;
    case kModelPrimitiveEnd:
        D3D_PrimitiveEnd();
        break;
    case kModelVertex:
        vertex(a[0], a[1], a[2], 0, 0, 0, 0, 0, plain);
        break;
    case kModelVertexColour:
        vertex(a[0], a[1], a[2], 0, 0, 0, 0, 0, explicitColour(a[3], a[4]));
        break;
    case kModelVertexTexture:
        vertex(a[0], a[1], a[2], 0, 0, 0, a[3], a[4], plain);
        break;
    case kModelVertexTextureColour:
        vertex(a[0], a[1], a[2], 0, 0, 0, a[3], a[4], explicitColour(a[5], a[6]));
        break;
    case kModelVertexNormal:
        vertex(a[0], a[1], a[2], a[3], a[4], a[5], 0, 0, plain);
        break;
    case kModelVertexNormalColour:
        vertex(a[0], a[1], a[2], a[3], a[4], a[5], 0, 0, explicitColour(a[6], a[7]));
        break;
    case kModelVertexNormalTexture:
        vertex(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], plain);
        break;
    case kModelVertexNormalTextureColour:
        vertex(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], explicitColour(a[8], a[9]));
        break;
    case kModelBlock:
        D3D_DrawBlock(a[0], a[1], a[2], a[3], a[4], a[5], tex, a[6], a[7]);
        break;
    case kModelCylinder:
        D3D_DrawCylinder(a[0], a[1], a[2], a[3], a[4], a[5], tex, a[6], a[7], a[8] >= 0.5, I(a[9]));
        break;
    case kModelCone:
        D3D_DrawCone(a[0], a[1], a[2], a[3], a[4], a[5], tex, a[6], a[7], a[8] >= 0.5, I(a[9]));
        break;
    case kModelEllipsoid:
        D3D_DrawEllipsoid(a[0], a[1], a[2], a[3], a[4], a[5], tex, a[6], a[7], I(a[8]));
        break;
    case kModelWall:
        D3D_DrawWall(a[0], a[1], a[2], a[3], a[4], a[5], tex, a[6], a[7]);
        break;
    case kModelFloor:
        D3D_DrawFloor(a[0], a[1], a[2], a[3], a[4], a[5], tex, a[6], a[7]);
        break;
    default:
        break;
    }
}

// Fixed point with 4 decimals after rounding to 10 significant digits; beyond that exponent
// notation. Always with a point, whatever the locale, so files travel between machines.
std::string FormatNumber(double v) {
    char buf[64];
    if (std::fabs(v) >= 1e10) {
        std::snprintf(buf, sizeof buf, "%.9E", v);
        return buf;
    }
    std::snprintf(buf, sizeof buf, "%.9e", v);
    const double rounded = std::strtod(buf, nullptr);
    std::snprintf(buf, sizeof buf, "%.4f", rounded);
    return buf;
}

// One number of a model file; only digits, sign, point and exponent are accepted.
bool ReadNumber(std::string_view& line, double& out) {
    size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    size_t j = i;
    while (j < line.size() && j - i < 40 &&
           (std::isdigit(static_cast<unsigned char>(line[j])) || line[j] == '-' || line[j] == '+' ||
            line[j] == '.' || line[j] == 'e' || line[j] == 'E'))
        ++j;
    if (j == i || j - i >= 40) return false;
    const std::string token(line.substr(i, j - i));
    char* end = nullptr;
    out = std::strtod(token.c_str(), &end);
    if (end != token.c_str() + token.size() || !std::isfinite(out) || std::fabs(out) > kMaxModelNumber)
        return false;
    line.remove_prefix(j);
    return true;
}

bool NextLine(std::string_view& text, std::string_view& line) {
    if (text.empty()) return false;
    const size_t nl = text.find('\n');
    line = text.substr(0, nl);
    text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
    return true;
}

} // namespace

void C3D_Model::AddEntry(int32_t kind, std::initializer_list<double> args) {
    REntry e;
    e.kind = kind;
    size_t i = 0;
    for (double v : args) {
        if (i >= e.arg.size()) break;
        e.arg[i++] = v;
    }
    const int c = ColourArgument(kind);
    if (c >= 0) e.arg[size_t(c)] = double(RoundToInt64Saturated(e.arg[size_t(c)]));
    if (i_val.size() == i_val.capacity()) i_val.reserve(i_val.size() + 32);
    i_val.push_back(e);
    i_numb = static_cast<int32_t>(i_val.size());
}

void C3D_Model::Clear() {
    i_val.clear();
    i_numb = 0;
    m_pMesh.reset();
}

bool C3D_Model::UsesDrawingColour() const {
    for (const REntry& e : i_val)
        if (e.kind >= kModelVertex && e.kind <= kModelFloor && ColourArgument(e.kind) < 0) return true;
    return false;
}

void C3D_Model::Draw(double x, double y, double z, int32_t texture) {
    if (!m_pMesh) {
        auto mesh = std::make_unique<CGraphicsRecorder>();
        mesh->SetColour(Draw_GetDeviceColour());
        CGraphicsRecorder* saved = D3D_SetRecorder(mesh.get());
        for (const REntry& e : i_val) Replay(e, texture);
        D3D_SetRecorder(saved);
        if (!UsesDrawingColour()) mesh->FixColour();
        m_pMesh = std::move(mesh);
    } else {
        m_pMesh->ChangeColour(Draw_GetDeviceColour());
    }
    const RTexture* t = GR_Texture_Get(texture);
    m_pMesh->Draw(t ? t->tex : 0, x, y, z);
}

std::string C3D_Model::Format() const {
    std::string out = "100\n" + std::to_string(i_val.size()) + "\n";
    for (const REntry& e : i_val) {
        out += std::to_string(e.kind);
        for (double v : e.arg) out += " " + FormatNumber(v);
        out += "\n";
    }
    return out;
}

bool C3D_Model::Parse(std::string_view text) {
    Clear();
    std::string_view line;
    double v = 0;
    if (!NextLine(text, line) || !ReadNumber(line, v) || v != 100) return false;
    if (!NextLine(text, line) || !ReadNumber(line, v) || v < 0 || v != std::floor(v) || v > kMaxModelEntries)
        return false;
    const auto count = static_cast<size_t>(v);
    // Each entry takes a line of at least 21 characters: a count the text cannot hold is damage.
    if (count > text.size() / 21 + 1) return false;
    std::vector<REntry> entries(count);
    for (REntry& e : entries) {
        if (!NextLine(text, line) || !ReadNumber(line, v) || v != std::floor(v) || v < 0 ||
            v > double(int32_t(kModelFloor)))
            return false;
        e.kind = static_cast<int32_t>(v);
        for (double& a : e.arg)
            if (!ReadNumber(line, a)) return false;
        // The rest of the line is not read.
    }
    i_val = std::move(entries);
    i_numb = static_cast<int32_t>(i_val.size());
    return true;
}

bool C3D_Model::SaveToFile(const std::string& path) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << Format();
    out.close();
    return !out.fail();
}

bool C3D_Model::LoadFromFile(const std::string& path) {
    Clear();
    // A model file of more than 256 MiB is no model file; folders and devices are none either.
    std::vector<uint8_t> bytes;
    if (ReadRegularFile(path, bytes, uint64_t{256} << 20) != FileReadStatus::Ok) return false;
    return Parse(std::string(bytes.begin(), bytes.end()));
}

namespace {
std::vector<std::unique_ptr<C3D_Model>>& Table() {
    static std::vector<std::unique_ptr<C3D_Model>> table;
    return table;
}
} // namespace

int32_t Model_Create() {
    auto& t = Table();
    for (size_t i = 0; i < t.size(); ++i)
        if (!t[i]) {
            t[i] = std::make_unique<C3D_Model>();
            return static_cast<int32_t>(i);
        }
    if (t.size() == t.capacity()) t.reserve(t.size() + 16);
    t.push_back(std::make_unique<C3D_Model>());
    return static_cast<int32_t>(t.size() - 1);
}

bool Model_Exists(int32_t id) {
    return Model_Get(id) != nullptr;
}

C3D_Model* Model_Get(int32_t id) {
    auto& t = Table();
    if (id < 0 || size_t(id) >= t.size()) return nullptr;
    return t[size_t(id)].get();
}

void Model_Destroy(int32_t id) {
    if (Model_Exists(id)) Table()[size_t(id)].reset();
}

void Model_ClearAll() {
    Table().clear();
}

} // namespace kestrin
