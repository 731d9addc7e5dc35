#pragma once
// Background resources: an image and its texture, the list the game data fills, the record of
// the game data and of ".ksbck" files, and the constructors of the resource built-ins.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/bitmap32.h"

namespace kestrin {

class CStream;
struct RawResource;

inline constexpr int32_t kBackgroundRecordVersion = 710;
inline constexpr int32_t kBackgroundChunkVersion = 800;
inline constexpr int32_t kBackgroundFileMagic = 1234321;

class CBackground {
public:
    CBackground() = default;
    ~CBackground() { Clear(); }
    CBackground(const CBackground&) = delete;
    CBackground& operator=(const CBackground&) = delete;

    void Clear();
    void Assign(const CBackground& back);
    // The record (version 710 and a bitmap record). False for a bad version or a short record.
    [[nodiscard]] bool LoadFromStream(CStream& stream);
    void SaveToStream(CStream& stream) const;
    [[nodiscard]] bool LoadFromFile(const std::string& fname, bool removeback, bool smooth);
    // A ".ksbck" file; its bytes for tests and fuzzing.
    [[nodiscard]] bool LoadFromBackgroundFile(const std::string& fname);
    [[nodiscard]] bool LoadFromBackgroundBytes(std::vector<uint8_t> bytes);
    std::vector<uint8_t> SaveToBackgroundBytes() const;
    void CreateFromBitmap(const TBitmap32& bitmap, bool removeback, bool smooth);
    void CreateColor(int32_t w, int32_t h, int32_t colour);
    void CreateGradient(int32_t w, int32_t h, int32_t col1, int32_t col2, int32_t kind);
    void SetAlphaFromBackground(const CBackground& back);

    void InitTexture();
    void FreeTexture();
    int32_t GetTexture() const { return i_tex; }
    int32_t GetWidth() const { return i_bitmap.Width(); }
    int32_t GetHeight() const { return i_bitmap.Height(); }
    const TBitmap32& Bitmap() const { return i_bitmap; }

    void DrawSimple(double x, double y) const;
    void Draw(double x, double y, double xscale, double yscale, double angle, int32_t colour,
              double alpha) const;
    void DrawStretched(double x, double y, double w, double h, int32_t colour, double alpha) const;
    void DrawPart(double xo, double yo, double w, double h, double x, double y, double xscale, double yscale,
                  int32_t colour, double alpha) const;
    void DrawGeneral(double xo, double yo, double w, double h, double x, double y, double xscale,
                     double yscale, double angle, int32_t c1, int32_t c2, int32_t c3, int32_t c4,
                     double alpha) const;
    void DrawTiled(double x, double y, double xscale, double yscale, bool htiled, bool vtiled, double xr,
                   double yr, double wr, double hr, int32_t colour, double alpha) const;

    TBitmap32 i_bitmap;
    int32_t i_tex = -1;
};

// Image helpers shared with sprites.
void RemoveBackground(TBitmap32& bm);
void SmoothEdges(TBitmap32& bm);
void FillTransparentColours(TBitmap32& bm);

// The background list.
bool Background_Exists(int32_t ind);
CBackground* Background_Get(int32_t ind);
std::string Background_GetName(int32_t ind);
int32_t Background_Find(const std::string& name);
int32_t Background_Count();
// Appends a background named "__newbackground" + index.
int32_t Background_AddNew(std::unique_ptr<CBackground> back);
bool Background_Delete(int32_t ind);
// From an image file or a ".ksbck" file: the new index, or -1 when the file does not load.
int32_t Background_Add(const std::string& fname, bool removeback, bool smooth);
int32_t Background_AddBackground(const std::string& fname);
// A background in range gets the file's image; one that does not load keeps its old image.
bool Background_Replace(int32_t ind, const std::string& fname, bool removeback, bool smooth);
bool Background_ReplaceBackground(int32_t ind, const std::string& fname);
// A copy of an existing background appended; -1 when it does not exist.
int32_t Background_Duplicate(int32_t ind);
// Background ind (in range, made when its slot is empty) becomes a copy of back.
bool Background_AssignTo(int32_t ind, int32_t back);
void Background_InitTextures();
void Background_ClearAll();
// The chunk of the game data; false for a bad version or record.
[[nodiscard]] bool Background_LoadChunk(CStream& stream);
void Background_SaveChunk(CStream& stream);
// The game data's backgrounds, one slot per record (an absent one leaves its slot empty); false
// for a damaged record, leaving the list empty.
[[nodiscard]] bool Background_LoadRecords(const std::vector<RawResource>& records);

} // namespace kestrin
