#include "tools/project_sprite.h"

#include <algorithm>
#include <optional>

#include "base/image_png.h"
#include "base/stream.h"
#include "tools/project_world.h"
#include "graphics/sprite.h"

namespace kestrin::project {

namespace {

const NamedValue kMaskKinds[] = {{"precise", kMaskPrecise},
                                                      {"rectangle", kMaskRectangle},
                                                      {"ellipse", kMaskEllipse},
                                                      {"diamond", kMaskDiamond}};
const NamedValue kBoxModes[] = {
    {"automatic", kBoxAutomatic}, {"full", kBoxFull}, {"manual", kBoxManual}};

struct MaskSettings {
    int32_t kind = kMaskPrecise;
    int32_t bbmode = kBoxAutomatic;
    TRect box;
    int32_t tolerance = 0;
};

struct SpriteFields {
    int32_t version = kSpriteRecordVersion;
    int32_t xorigin = 0, yorigin = 0;
    bool separate = false;
    MaskSettings mask;
};

// The record the builder writes for these fields and frames.
std::vector<uint8_t> RecordOf(const SpriteFields& f, std::vector<TBitmap32> frames) {
    CSprite spr;
    spr.i_numb = static_cast<int32_t>(frames.size());
    spr.i_bitmap = std::move(frames);
    spr.i_xorig = f.xorigin;
    spr.i_yorig = f.yorigin;
    spr.ComputeMask(f.separate, f.mask.bbmode, f.mask.box, f.mask.kind, f.mask.tolerance);
    CStream out;
    spr.SaveToStream(out, f.version);
    return out.TakeBytes();
}

// Settings worth trying when looking for those that rebuild the stored masks: every kind with
// every box mode (a manual box as stored), tolerance 0 and the one the first frame suggests.
std::vector<MaskSettings> Candidates(const CSprite& spr) {
    std::vector<MaskSettings> out;
    if (spr.i_numb <= 0 || spr.i_mask.empty() || spr.i_bitmap.empty()) return {MaskSettings{}};
    const TMask& m = spr.i_mask[0];
    const TBitmap32& frame = spr.i_bitmap[0];
    // A precise mask holds the pixels whose alpha exceeds the tolerance: the highest alpha
    // left out is the tolerance that matches, if any does.
    int32_t suggested = 0;
    for (int32_t y = 0; y < frame.Height(); ++y)
        for (int32_t x = 0; x < frame.Width(); ++x)
            if (!m.Get(x, y)) suggested = std::max<int32_t>(suggested, AlphaOf(frame.GetPixel(x, y)));
    std::vector<int32_t> tolerances = {0};
    if (suggested > 0 && suggested < 255) tolerances.push_back(suggested);
    for (int32_t bbmode : {kBoxAutomatic, kBoxFull, kBoxManual})
        for (int32_t kind : {kMaskPrecise, kMaskRectangle, kMaskEllipse, kMaskDiamond})
            for (int32_t tolerance : tolerances) {
                MaskSettings s{kind, bbmode, bbmode == kBoxManual ? m.i_bbox : TRect{}, tolerance};
                out.push_back(s);
            }
    return out;
}

// The readable fields and PNG frames of a record, when they give back its very bytes.
bool Readable(const RawResource& resource, SpriteFields& fields, std::vector<std::vector<uint8_t>>& pngs) {
    CSprite spr;
    CStream in(resource.record);
    try {
        if (resource.record.size() < 4 || !spr.LoadFromStream(in) || !in.AtEnd()) return false;
        CStream head(resource.record);
        fields.version = head.ReadInteger();
    } catch (const RunnerFault&) {
        return false;
    }
    fields.xorigin = spr.i_xorig;
    fields.yorigin = spr.i_yorig;
    fields.separate = spr.i_sepmasks;
    std::vector<TBitmap32> decoded;
    for (const TBitmap32& frame : spr.i_bitmap) {
        std::vector<uint8_t> png = EncodePng(frame);
        TBitmap32 back;
        if (png.empty() || !DecodePng(png, back) || !(back == frame)) return false;
        pngs.push_back(std::move(png));
        decoded.push_back(std::move(back));
    }
    // The trials rebuild the masks in place: copying every frame for each of them would cost
    // far more than keeping the stored masks aside once.
    const std::vector<TMask> stored = spr.i_mask;
    for (const MaskSettings& s : Candidates(spr)) {
        spr.ComputeMask(fields.separate, s.bbmode, s.box, s.kind, s.tolerance);
        if (spr.i_mask != stored) continue;
        fields.mask = s;
        return RecordOf(fields, decoded) == resource.record;
    }
    return false;
}

} // namespace

void SaveSprite(const RawResource& resource, Json& json, const ResourceFiles& files) {
    SpriteFields f;
    std::vector<std::vector<uint8_t>> pngs;
    if (!Readable(resource, f, pngs)) return SaveRawRecord(resource, json, files);
    if (f.version != kSpriteRecordVersion) json["version"] = f.version;
    json["xorigin"] = f.xorigin;
    json["yorigin"] = f.yorigin;
    Json frames = Json::array();
    for (size_t i = 0; i < pngs.size(); ++i)
        frames.push_back(files.Write("." + std::to_string(i) + ".png", pngs[i]));
    json["frames"] = std::move(frames);
    json["separate_masks"] = f.separate;
    Json mask = Json::object();
    mask["kind"] = NamedIntToJson(f.mask.kind, kMaskKinds);
    mask["bbox"] = NamedIntToJson(f.mask.bbmode, kBoxModes);
    if (f.mask.bbmode != kBoxAutomatic && f.mask.bbmode != kBoxFull) {
        mask["left"] = f.mask.box.Left;
        mask["top"] = f.mask.box.Top;
        mask["right"] = f.mask.box.Right;
        mask["bottom"] = f.mask.box.Bottom;
    }
    if (f.mask.tolerance != 0) mask["tolerance"] = f.mask.tolerance;
    json["mask"] = std::move(mask);
}

void LoadSprite(JsonObject& json, RawResource& resource, const ResourceFiles& files) {
    if (json.Has("record")) return LoadRawRecord(json, resource, files);
    SpriteFields f;
    f.version = json.Int("version", kSpriteRecordVersion);
    if (f.version != kSpriteRecordVersion && f.version != kSpriteRecordVersion810)
        json.Fail("version", "expected 800 or 810");
    f.xorigin = json.Int("xorigin", 0);
    f.yorigin = json.Int("yorigin", 0);
    f.separate = json.Bool("separate_masks", false);
    const Json& paths = json.Array("frames");
    if (paths.size() > static_cast<size_t>(kMaxSpriteFrames)) json.Fail("frames", "too many frames");
    std::vector<TBitmap32> frames;
    for (size_t i = 0; i < paths.size(); ++i) {
        // One path at a time through the checked reader, named after its place in the list.
        Json holder = Json::object();
        holder["frame"] = paths[i];
        JsonObject element(holder, json.File(), ElementPath(json.Field("frames"), i));
        TBitmap32 frame;
        if (!DecodePng(files.Read(element, "frame"), frame)) element.Fail("frame", "expected a PNG image");
        frames.push_back(std::move(frame));
    }
    JsonObject mask = json.OptionalObject("mask");
    f.mask.kind = mask.NamedInt("kind", kMaskKinds, kMaskPrecise);
    f.mask.bbmode = mask.NamedInt("bbox", kBoxModes, kBoxAutomatic);
    f.mask.box.Left = mask.Int("left", 0);
    f.mask.box.Top = mask.Int("top", 0);
    f.mask.box.Right = mask.Int("right", 0);
    f.mask.box.Bottom = mask.Int("bottom", 0);
    f.mask.tolerance = mask.Int("tolerance", 0);
    if (f.mask.tolerance < 0 || f.mask.tolerance > 255) mask.Fail("tolerance", "expected 0 to 255");
    mask.Finish();
    resource.record = RecordOf(f, std::move(frames));
}

} // namespace kestrin::project
