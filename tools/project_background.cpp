#include "tools/project_background.h"

#include "graphics/background.h"
#include "base/image_png.h"
#include "base/stream.h"
#include "tools/project_world.h"

namespace kestrin::project {

namespace {

std::vector<uint8_t> RecordOf(const TBitmap32& image) {
    CBackground back;
    back.i_bitmap.Assign(image);
    CStream out;
    back.SaveToStream(out);
    return out.TakeBytes();
}

// The PNG of a record that the PNG gives back byte for byte; empty for an empty image, and
// nothing when the record needs the hex form.
std::optional<std::vector<uint8_t>> ReadableImage(const RawResource& resource) {
    CBackground back;
    CStream in(resource.record);
    try {
        if (!back.LoadFromStream(in) || !in.AtEnd()) return std::nullopt;
    } catch (const RunnerFault&) {
        return std::nullopt;
    }
    if (back.i_bitmap.Empty()) {
        if (RecordOf(TBitmap32()) != resource.record) return std::nullopt;
        return std::vector<uint8_t>();
    }
    std::vector<uint8_t> png = EncodePng(back.i_bitmap);
    TBitmap32 decoded;
    if (!DecodePng(png, decoded) || RecordOf(decoded) != resource.record) return std::nullopt;
    return png;
}

} // namespace

void SaveBackground(const RawResource& resource, Json& json, const ResourceFiles& files) {
    const std::optional<std::vector<uint8_t>> png = ReadableImage(resource);
    if (!png) {
        SaveRawRecord(resource, json, files);
        return;
    }
    if (png->empty())
        json["image"] = nullptr;
    else
        json["image"] = files.Write(".png", *png);
}

void LoadBackground(JsonObject& json, RawResource& resource, const ResourceFiles& files) {
    if (json.Has("record")) {
        LoadRawRecord(json, resource, files);
        return;
    }
    TBitmap32 image;
    const Json* path = json.Find("image");
    if (path && !path->is_null()) {
        const std::vector<uint8_t> bytes = files.Read(json, "image");
        if (!DecodePng(bytes, image)) json.Fail("image", "expected a PNG image");
    }
    resource.record = RecordOf(image);
}

} // namespace kestrin::project
