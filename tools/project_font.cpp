#include "tools/project_font.h"

#include "graphics/font.h"
#include "base/stream.h"
#include "tools/project_world.h"

namespace kestrin::project {

namespace {

struct FontFields {
    std::string family = "Arial";
    int32_t size = 12;
    bool bold = false, italic = false;
    int32_t first = 32, last = 127;
    int32_t charset = 1;
    int32_t antialias = 3;
};

std::vector<uint8_t> RecordOf(const FontFields& f) {
    CFont font;
    font.CreateFont(f.family, f.size, f.bold, f.italic, f.first, f.last, f.charset);
    font.s_AntiAlias = f.antialias;
    CStream out;
    font.SaveToStream(out);
    return out.TakeBytes();
}

// The fields of a stored record, when rendering them again gives back its very bytes.
bool Readable(const RawResource& resource, FontFields& f) {
    CFont font;
    CStream in(resource.record);
    if (!font.LoadFromStream(in) || !in.AtEnd() || font.s_name.empty()) return false;
    f.family = font.s_name;
    f.size = font.s_size;
    f.bold = font.s_bold;
    f.italic = font.s_italic;
    f.first = font.s_first;
    f.last = font.s_last;
    f.charset = font.s_charset;
    f.antialias = font.s_AntiAlias;
    if (f.first < 0 || f.first > 255 || f.last < 0 || f.last > 255) return false;
    return RecordOf(f) == resource.record;
}

} // namespace

void SaveFont(const RawResource& resource, Json& json, const ResourceFiles& files) {
    FontFields f;
    if (!Readable(resource, f)) return SaveRawRecord(resource, json, files);
    json["family"] = f.family;
    json["size"] = f.size;
    json["bold"] = f.bold;
    json["italic"] = f.italic;
    json["first"] = f.first;
    json["last"] = f.last;
    if (f.charset != 1) json["charset"] = f.charset;
    if (f.antialias != 3) json["antialias"] = f.antialias;
}

void LoadFont(JsonObject& json, RawResource& resource, const ResourceFiles& files) {
    if (json.Has("record")) return LoadRawRecord(json, resource, files);
    FontFields f;
    f.family = json.String("family", f.family);
    if (f.family.empty()) json.Fail("family", "expected a font family name");
    f.size = json.Int("size", f.size);
    if (f.size < 1 || f.size > 512) json.Fail("size", "expected a point size from 1 to 512");
    f.bold = json.Bool("bold", f.bold);
    f.italic = json.Bool("italic", f.italic);
    f.first = json.Int("first", f.first);
    if (f.first < 0 || f.first > 255) json.Fail("first", "expected a glyph index from 0 to 255");
    f.last = json.Int("last", f.last);
    if (f.last < f.first || f.last > 255) json.Fail("last", "expected a glyph index from first to 255");
    f.charset = json.Int("charset", f.charset);
    if (f.charset < 1 || f.charset > 255) json.Fail("charset", "expected a character set from 1 to 255");
    f.antialias = json.Int("antialias", f.antialias);
    if (f.antialias < 0 || f.antialias > 254) json.Fail("antialias", "expected a level from 0 to 254");
    resource.record = RecordOf(f);
}

} // namespace kestrin::project
