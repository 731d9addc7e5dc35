#include "tools/project_world.h"

#include <cmath>
#include <set>

#include "runner/object_record.h"
#include "runner/room_record.h"
#include "base/stream.h"

namespace kestrin::project {

namespace {

const std::initializer_list<NamedValue> kEventTypes = {
    {"create", 0}, {"destroy", 1}, {"alarm", 2}, {"step", 3},     {"collision", 4},   {"keyboard", 5},
    {"mouse", 6},  {"other", 7},   {"draw", 8},  {"keypress", 9}, {"keyrelease", 10}, {"trigger", 11},
};
const std::initializer_list<NamedValue> kActionKinds = {
    {"normal", kActionNormal},     {"begin", kActionBegin}, {"end", kActionEnd},
    {"else", kActionElse},         {"exit", kActionExit},   {"repeat", kActionRepeat},
    {"variable", kActionVariable}, {"code", kActionCode},
};
const std::initializer_list<NamedValue> kExecution = {
    {"nothing", kExecuteNothing}, {"function", kExecuteFunction}, {"code", kExecuteCode}};
const std::initializer_list<NamedValue> kAppliesTo = {{"self", -1}, {"other", -2}};

template <typename Record> std::vector<uint8_t> Bytes(const Record& record) {
    CStream out;
    record.SaveToStream(out);
    return out.TakeBytes();
}

// The readable form is used only when it gives back the very same bytes.
template <typename Record> bool Readable(const RawResource& resource, Record& record) {
    CStream in(resource.record);
    try {
        if (!record.LoadFromStream(in) || !in.AtEnd()) return false;
    } catch (const RunnerFault&) {
        return false;
    }
    return Bytes(record) == resource.record;
}

double Real(JsonObject& json, std::string_view key, double fallback) {
    const Json* v = json.Find(key);
    if (!v) return fallback;
    if (!v->is_number()) json.Fail(key, "expected a number");
    return v->get<double>();
}

// Blend colour and alpha, stored together as colour | alpha << 24.
uint32_t BlendAlpha(JsonObject& json, uint32_t fallback) {
    const int32_t blend = json.Int("blend", static_cast<int32_t>(fallback & 0xFFFFFFu));
    const int32_t alpha = json.Int("alpha", static_cast<int32_t>(fallback >> 24));
    if (blend < 0 || blend > 0xFFFFFF) json.Fail("blend", "expected a colour from 0 to 16777215");
    if (alpha < 0 || alpha > 255) json.Fail("alpha", "expected 0 to 255");
    return static_cast<uint32_t>(blend) | static_cast<uint32_t>(alpha) << 24;
}

// ---- Objects ----

Json SaveAction(const ActionRecord& a, const ResourceFiles& files, const std::string& codeSuffix) {
    Json j = Json::object();
    j["library"] = a.libid;
    j["id"] = a.id;
    j["kind"] = NamedIntToJson(a.kind, kActionKinds);
    j["use_relative"] = a.userelative;
    j["question"] = a.isquestion;
    j["use_apply_to"] = a.useapplyto;
    j["execute"] = NamedIntToJson(a.exetype, kExecution);
    j["function"] = a.function;
    j["code"] = a.code;
    j["argument_count"] = a.argumentcount;
    j["argument_kinds"] = a.argtypes;
    j["applies_to"] = NamedIntToJson(a.who, kAppliesTo);
    j["relative"] = a.relative;
    Json args = Json::array();
    for (size_t i = 0; i < a.args.size(); ++i) {
        // The text of a code action reads best in a file of its own.
        if (i == 0 && a.kind == kActionCode)
            args.push_back({{"file", files.Write(codeSuffix, BytesFromText(a.args[0]))}});
        else
            args.push_back(a.args[i]);
    }
    j["arguments"] = std::move(args);
    j["not"] = a.isnot;
    return j;
}

ActionRecord LoadAction(JsonObject& j, const ResourceFiles& files) {
    ActionRecord a;
    a.libid = j.Int("library", a.libid);
    a.id = j.Int("id", a.id);
    a.kind = j.NamedInt("kind", kActionKinds, a.kind);
    a.userelative = j.Bool("use_relative", a.userelative);
    a.isquestion = j.Bool("question", a.isquestion);
    a.useapplyto = j.Bool("use_apply_to", a.useapplyto);
    // A code action executes code unless told otherwise.
    a.exetype = j.NamedInt("execute", kExecution, a.kind == kActionCode ? kExecuteCode : kExecuteNothing);
    a.function = j.String("function", "");
    a.code = j.String("code", "");
    const Json& kinds = j.Array("argument_kinds");
    if (kinds.size() > kMaxActionArguments) j.Fail("argument_kinds", "expected at most 8 entries");
    for (size_t i = 0; i < kinds.size(); ++i)
        a.argtypes.push_back(AsInt(kinds[i], j.File(), ElementPath(j.Field("argument_kinds"), i)));
    a.who = j.NamedInt("applies_to", kAppliesTo, a.who);
    a.relative = j.Bool("relative", a.relative);
    const Json& args = j.Array("arguments");
    if (args.size() > kMaxActionArguments) j.Fail("arguments", "expected at most 8 entries");
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string field = ElementPath(j.Field("arguments"), i);
        if (args[i].is_object()) {
            JsonObject file(args[i], j.File(), field);
            a.args.push_back(TextFromBytes(files.Read(file, "file")));
            file.Finish();
        } else {
            a.args.push_back(AsString(args[i], j.File(), field));
        }
    }
    a.argumentcount = j.Int("argument_count", static_cast<int32_t>(a.args.size()));
    if (a.argumentcount < 0 || a.argumentcount > kMaxActionArguments)
        j.Fail("argument_count", "expected 0 to 8");
    a.isnot = j.Bool("not", a.isnot);
    return a;
}

std::string TypeName(int32_t type) {
    for (const NamedValue& n : kEventTypes)
        if (n.value == type) return n.name;
    return std::to_string(type);
}

} // namespace

void SaveObject(const RawResource& resource, Json& json, const ResourceFiles& files) {
    ObjectRecord o;
    if (!Readable(resource, o)) return SaveRawRecord(resource, json, files);
    json["sprite"] = o.spriteindex;
    json["solid"] = o.solid;
    json["visible"] = o.visible;
    json["depth"] = o.depth;
    json["persistent"] = o.persistent;
    json["parent"] = o.parent;
    json["mask"] = o.mask;
    if (o.lasttype != kEventTypeCount - 1) json["last_event_type"] = o.lasttype;
    Json events = Json::array();
    std::set<std::string> used;
    for (int32_t type = 0; type < kEventTypeCount; ++type)
        for (const EventRecord& e : o.events[static_cast<size_t>(type)]) {
            Json je = Json::object();
            je["type"] = NamedIntToJson(type, kEventTypes);
            je["number"] = e.number;
            if (e.version != kEventVersion) je["version"] = e.version;
            std::string stem = "." + TypeName(type) + "_" + std::to_string(e.number);
            for (int n = 2; !used.insert(stem).second; ++n)
                stem = "." + TypeName(type) + "_" + std::to_string(e.number) + "_" + std::to_string(n);
            Json actions = Json::array();
            for (size_t i = 0; i < e.actions.size(); ++i)
                actions.push_back(
                    SaveAction(e.actions[i], files, stem + ".action" + std::to_string(i) + ".txt"));
            je["actions"] = std::move(actions);
            events.push_back(std::move(je));
        }
    json["events"] = std::move(events);
}

void LoadObject(JsonObject& json, RawResource& resource, const ResourceFiles& files) {
    if (json.Has("record")) return LoadRawRecord(json, resource, files);
    ObjectRecord o;
    o.spriteindex = json.Int("sprite", o.spriteindex);
    o.solid = json.Bool("solid", o.solid);
    o.visible = json.Bool("visible", o.visible);
    o.depth = json.Int("depth", o.depth);
    o.persistent = json.Bool("persistent", o.persistent);
    o.parent = json.Int("parent", o.parent);
    o.mask = json.Int("mask", o.mask);
    o.lasttype = json.Int("last_event_type", o.lasttype);
    if (o.lasttype >= kEventTypeCount) json.Fail("last_event_type", "expected at most 11");
    const Json& events = json.Array("events");
    int32_t previous = 0;
    for (size_t i = 0; i < events.size(); ++i) {
        JsonObject je(events[i], json.File(), ElementPath(json.Field("events"), i));
        const int32_t type = je.NamedInt("type", kEventTypes, -1);
        if (type < 0 || type > o.lasttype) je.Fail("type", "expected an event type from create to trigger");
        if (type < previous) je.Fail("type", "events must be listed in the order of their types");
        previous = type;
        EventRecord e;
        e.number = je.Int("number", 0);
        if (e.number < 0) je.Fail("number", "expected 0 or more");
        e.version = je.Int("version", kEventVersion);
        const Json& actions = je.Array("actions");
        if (e.version != kEventVersion && !actions.empty())
            je.Fail("actions", "an event of another version has none");
        for (size_t k = 0; k < actions.size(); ++k) {
            JsonObject ja(actions[k], je.File(), ElementPath(je.Field("actions"), k));
            e.actions.push_back(LoadAction(ja, files));
            ja.Finish();
        }
        je.Finish();
        o.events[static_cast<size_t>(type)].push_back(std::move(e));
    }
    resource.record = Bytes(o);
}

// ---- Rooms ----

namespace {

bool FiniteReals(const RoomRecord& r) {
    for (const auto& i : r.instances)
        if (!std::isfinite(i.xscale) || !std::isfinite(i.yscale) || !std::isfinite(i.angle)) return false;
    for (const auto& t : r.tiles)
        if (!std::isfinite(t.xscale) || !std::isfinite(t.yscale)) return false;
    return true;
}

} // namespace

void SaveRoom(const RawResource& resource, Json& json, const ResourceFiles& files) {
    RoomRecord r;
    // JSON has no infinities or NaN, so such rooms keep the hex form too.
    if (!Readable(resource, r) || !FiniteReals(r)) return SaveRawRecord(resource, json, files);
    json["version"] = r.version;
    json["caption"] = r.caption;
    json["width"] = r.width;
    json["height"] = r.height;
    json["speed"] = r.speed;
    json["persistent"] = r.persistent;
    json["colour"] = r.colour;
    json["show_colour"] = (r.flags & 1) != 0;
    json["clear_view_background"] = (r.flags & 2) == 0;
    if (r.flags & ~3) json["other_flags"] = r.flags & ~3;
    json["creation_code"] =
        r.code.empty() ? Json("") : Json({{"file", files.Write(".code.txt", BytesFromText(r.code))}});
    Json layers = Json::array();
    for (const auto& l : r.layers)
        layers.push_back({{"visible", l.visible},
                          {"foreground", l.foreground},
                          {"background", l.index},
                          {"x", l.x},
                          {"y", l.y},
                          {"htiled", l.htiled},
                          {"vtiled", l.vtiled},
                          {"hspeed", l.hspeed},
                          {"vspeed", l.vspeed},
                          {"stretch", l.stretch}});
    json["backgrounds"] = std::move(layers);
    json["enable_views"] = r.enable_views;
    Json views = Json::array();
    for (const auto& v : r.views)
        views.push_back({{"visible", v.visible},
                         {"xview", v.xview},
                         {"yview", v.yview},
                         {"wview", v.wview},
                         {"hview", v.hview},
                         {"xport", v.xport},
                         {"yport", v.yport},
                         {"wport", v.wport},
                         {"hport", v.hport},
                         {"hborder", v.hborder},
                         {"vborder", v.vborder},
                         {"hspeed", v.hspeed},
                         {"vspeed", v.vspeed},
                         {"object", v.object}});
    json["views"] = std::move(views);
    Json instances = Json::array();
    for (const auto& i : r.instances)
        instances.push_back({{"x", i.x},
                             {"y", i.y},
                             {"object", i.object},
                             {"id", i.id},
                             {"code", i.code},
                             {"xscale", i.xscale},
                             {"yscale", i.yscale},
                             {"blend", i.blend_alpha & 0xFFFFFFu},
                             {"alpha", i.blend_alpha >> 24},
                             {"angle", i.angle}});
    json["instances"] = std::move(instances);
    Json tiles = Json::array();
    for (const auto& t : r.tiles)
        tiles.push_back({{"x", t.x},
                         {"y", t.y},
                         {"background", t.background},
                         {"xo", t.xo},
                         {"yo", t.yo},
                         {"w", t.w},
                         {"h", t.h},
                         {"depth", t.depth},
                         {"id", t.id},
                         {"xscale", t.xscale},
                         {"yscale", t.yscale},
                         {"blend", t.blend_alpha & 0xFFFFFFu},
                         {"alpha", t.blend_alpha >> 24}});
    json["tiles"] = std::move(tiles);
}

void LoadRoom(JsonObject& json, RawResource& resource, const ResourceFiles& files) {
    if (json.Has("record")) return LoadRawRecord(json, resource, files);
    RoomRecord r;
    r.version = json.Int("version", r.version);
    if (!RoomRecord::KnownVersion(r.version)) json.Fail("version", "expected 541, 810 or 811");
    r.caption = json.String("caption", "");
    r.width = json.Int("width", r.width);
    r.height = json.Int("height", r.height);
    r.speed = json.Int("speed", r.speed);
    r.persistent = json.Bool("persistent", r.persistent);
    r.colour = json.Int("colour", r.colour);
    r.flags = (json.Bool("show_colour", true) ? 1 : 0) | (json.Bool("clear_view_background", true) ? 0 : 2) |
              (json.Int("other_flags", 0) & ~3);
    if (const Json* code = json.Find("creation_code"); code && code->is_object()) {
        JsonObject file(*code, json.File(), json.Field("creation_code"));
        r.code = TextFromBytes(files.Read(file, "file"));
        file.Finish();
    } else if (code) {
        r.code = AsString(*code, json.File(), json.Field("creation_code"));
    }
    const Json& layers = json.Array("backgrounds");
    if (layers.size() > kRoomLayerCount) json.Fail("backgrounds", "expected at most 8 layers");
    for (size_t n = 0; n < layers.size(); ++n) {
        JsonObject j(layers[n], json.File(), ElementPath(json.Field("backgrounds"), n));
        auto& l = r.layers[n];
        l.visible = j.Bool("visible", l.visible);
        l.foreground = j.Bool("foreground", l.foreground);
        l.index = j.Int("background", l.index);
        l.x = j.Int("x", l.x);
        l.y = j.Int("y", l.y);
        l.htiled = j.Bool("htiled", l.htiled);
        l.vtiled = j.Bool("vtiled", l.vtiled);
        l.hspeed = j.Int("hspeed", l.hspeed);
        l.vspeed = j.Int("vspeed", l.vspeed);
        l.stretch = j.Bool("stretch", l.stretch);
        j.Finish();
    }
    r.enable_views = json.Bool("enable_views", r.enable_views);
    const Json& views = json.Array("views");
    if (views.size() > kRoomViewCount) json.Fail("views", "expected at most 8 views");
    for (size_t n = 0; n < views.size(); ++n) {
        JsonObject j(views[n], json.File(), ElementPath(json.Field("views"), n));
        auto& v = r.views[n];
        v.visible = j.Bool("visible", v.visible);
        v.xview = j.Int("xview", v.xview);
        v.yview = j.Int("yview", v.yview);
        v.wview = j.Int("wview", v.wview);
        v.hview = j.Int("hview", v.hview);
        v.xport = j.Int("xport", v.xport);
        v.yport = j.Int("yport", v.yport);
        v.wport = j.Int("wport", v.wport);
        v.hport = j.Int("hport", v.hport);
        v.hborder = j.Int("hborder", v.hborder);
        v.vborder = j.Int("vborder", v.vborder);
        v.hspeed = j.Int("hspeed", v.hspeed);
        v.vspeed = j.Int("vspeed", v.vspeed);
        v.object = j.Int("object", v.object);
        j.Finish();
    }
    const Json& instances = json.Array("instances");
    for (size_t n = 0; n < instances.size(); ++n) {
        JsonObject j(instances[n], json.File(), ElementPath(json.Field("instances"), n));
        auto& i = r.instances.emplace_back();
        i.x = j.Int("x", i.x);
        i.y = j.Int("y", i.y);
        i.object = j.Int("object", i.object);
        if (!j.Has("id")) j.Fail("id", "missing (expected the instance's id, 100001 or more)");
        i.id = j.Int("id", i.id);
        i.code = j.String("code", "");
        i.xscale = Real(j, "xscale", i.xscale);
        i.yscale = Real(j, "yscale", i.yscale);
        i.blend_alpha = BlendAlpha(j, i.blend_alpha);
        i.angle = Real(j, "angle", i.angle);
        j.Finish();
    }
    const Json& tiles = json.Array("tiles");
    for (size_t n = 0; n < tiles.size(); ++n) {
        JsonObject j(tiles[n], json.File(), ElementPath(json.Field("tiles"), n));
        auto& t = r.tiles.emplace_back();
        t.x = j.Int("x", t.x);
        t.y = j.Int("y", t.y);
        t.background = j.Int("background", t.background);
        t.xo = j.Int("xo", t.xo);
        t.yo = j.Int("yo", t.yo);
        t.w = j.Int("w", t.w);
        t.h = j.Int("h", t.h);
        t.depth = j.Int("depth", t.depth);
        if (!j.Has("id")) j.Fail("id", "missing (expected the tile's id, 10000001 or more)");
        t.id = j.Int("id", t.id);
        t.xscale = Real(j, "xscale", t.xscale);
        t.yscale = Real(j, "yscale", t.yscale);
        t.blend_alpha = BlendAlpha(j, t.blend_alpha);
        j.Finish();
    }
    resource.record = Bytes(r);
}

} // namespace kestrin::project
