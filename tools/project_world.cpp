#include "tools/project_world.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>
#include <set>

#include "runner/object_record.h"
#include "runner/room_record.h"
#include "base/stream.h"
#include "tools/project_fields.h"
#include "world/path_record.h"
#include "world/timeline_record.h"

namespace kestrin::project {

namespace {

const NamedValue kEventTypes[] = {
    {"create", 0}, {"destroy", 1}, {"alarm", 2}, {"step", 3},     {"collision", 4},   {"keyboard", 5},
    {"mouse", 6},  {"other", 7},   {"draw", 8},  {"keypress", 9}, {"keyrelease", 10}, {"trigger", 11},
};
constexpr int32_t kCollisionEvent = 4;

// Fields that hold the index of a resource.
const ReferenceField kObjectReferences[] = {
    {"sprite", ResourceKind::Sprite}, {"parent", ResourceKind::Object}, {"mask", ResourceKind::Sprite}};
const ReferenceField kActionReferences[] = {{"applies_to", ResourceKind::Object}};
const ReferenceField kLayerReferences[] = {{"background", ResourceKind::Background}};
const ReferenceField kViewReferences[] = {{"object", ResourceKind::Object}};
const ReferenceField kInstanceReferences[] = {{"object", ResourceKind::Object}};
const ReferenceField kTileReferences[] = {{"background", ResourceKind::Background}};

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

// ---- Objects ----

Json SaveAction(const ActionRecord& a, const ResourceFiles& files, const std::string& codeSuffix) {
    Json j = Json::object();
    SaveFields<ActionRecord>(a, kActionFields, j, files.Names(), kActionReferences);
    // The text of a code action reads best in a file of its own.
    if (a.kind == kActionCode && !a.args.empty())
        j["arguments"][0] = {{"file", files.Write(codeSuffix, BytesFromText(a.args[0]))}};
    return j;
}

ActionRecord LoadAction(JsonObject& j, const ResourceFiles& files) {
    ActionRecord a;
    LoadFields<ActionRecord>(j, a, kActionFields, &files, kActionReferences);
    // A code action executes code unless told otherwise; the count defaults to the arguments.
    if (!j.Has("execute") && a.kind == kActionCode) a.exetype = kExecuteCode;
    if (!j.Has("argument_count")) a.argumentcount = static_cast<int32_t>(a.args.size());
    if (a.argumentcount < 0 || a.argumentcount > kMaxActionArguments)
        j.Fail("argument_count", "expected 0 to 8");
    return a;
}

// Whether the readable form reads the actions back: their objects are in range.
bool ActionsValid(const EventRecord& e, const ResourceNames* names) {
    if (!names) return true;
    for (const ActionRecord& a : e.actions)
        if (!ReferencesValid<ActionRecord>(a, kActionFields, kActionReferences, *names)) return false;
    return true;
}

// An event's actions; code files are named from `stem`.
Json SaveActions(const EventRecord& e, const ResourceFiles& files, const std::string& stem) {
    Json actions = Json::array();
    for (size_t i = 0; i < e.actions.size(); ++i)
        actions.push_back(SaveAction(e.actions[i], files, stem + ".action" + std::to_string(i) + ".txt"));
    return actions;
}

// An event's version and actions.
void LoadActions(JsonObject& je, EventRecord& e, const ResourceFiles& files) {
    e.version = je.Int("version", kEventVersion);
    const Json& actions = je.Array("actions");
    if (e.version != kEventVersion && !actions.empty()) je.Fail("actions", "an event of another version has none");
    for (size_t k = 0; k < actions.size(); ++k) {
        JsonObject ja(actions[k], je.File(), ElementPath(je.Field("actions"), k));
        e.actions.push_back(LoadAction(ja, files));
        ja.Finish();
    }
}

std::string TypeName(int32_t type) {
    for (const NamedValue& n : kEventTypes)
        if (n.value == type) return n.name;
    return std::to_string(type);
}

} // namespace

ActionRecord ReadAction(JsonObject& json, const ResourceFiles& files) {
    return LoadAction(json, files);
}

void SaveObject(const RawResource& resource, Json& json, const ResourceFiles& files) {
    ObjectRecord o;
    if (!Readable(resource, o)) return SaveRawRecord(resource, json, files);
    const ResourceNames* names = files.Names();
    // References out of range would not read back: such an object keeps its record.
    if (names) {
        if (!ReferencesValid<ObjectRecord>(o, kObjectFields, kObjectReferences, *names))
            return SaveRawRecord(resource, json, files);
        for (int32_t type = 0; type < kEventTypeCount; ++type)
            for (const EventRecord& e : o.events[static_cast<size_t>(type)])
                if (!ActionsValid(e, names) ||
                    (type == kCollisionEvent && !names->Valid(e.number, ResourceKind::Object)))
                    return SaveRawRecord(resource, json, files);
    }
    SaveFields<ObjectRecord>(o, kObjectFields, json, names, kObjectReferences);
    if (o.lasttype != kEventTypeCount - 1) json["last_event_type"] = o.lasttype;
    Json events = Json::array();
    std::set<std::string> used;
    for (int32_t type = 0; type < kEventTypeCount; ++type)
        for (const EventRecord& e : o.events[static_cast<size_t>(type)]) {
            Json je = Json::object();
            je["type"] = NamedIntToJson(type, kEventTypes);
            je["number"] = type == kCollisionEvent && names ? names->Write(e.number, ResourceKind::Object)
                                                            : Json(e.number);
            if (e.version != kEventVersion) je["version"] = e.version;
            std::string stem = "." + TypeName(type) + "_" + std::to_string(e.number);
            for (int n = 2; !used.insert(stem).second; ++n)
                stem = "." + TypeName(type) + "_" + std::to_string(e.number) + "_" + std::to_string(n);
            je["actions"] = SaveActions(e, files, stem);
            events.push_back(std::move(je));
        }
    json["events"] = std::move(events);
}

void LoadObject(JsonObject& json, RawResource& resource, const ResourceFiles& files) {
    if (json.Has("record")) return LoadRawRecord(json, resource, files);
    ObjectRecord o;
    LoadFields<ObjectRecord>(json, o, kObjectFields, &files, kObjectReferences);
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
        // A collision event's number is the other object: its name or its index.
        e.number = type == kCollisionEvent && files.Names()
                       ? files.Names()->Read(je, "number", ResourceKind::Object, 0)
                       : je.Int("number", 0);
        if (e.number < 0) je.Fail("number", "expected 0 or more");
        LoadActions(je, e, files);
        je.Finish();
        o.events[static_cast<size_t>(type)].push_back(std::move(e));
    }
    resource.record = Bytes(o);
}

// ---- Rooms ----

namespace {

bool FiniteReals(const RoomRecord& r) {
    for (const auto& i : r.instances)
        if (!FiniteFields<RoomRecord::Instance>(i, kRoomInstanceFields)) return false;
    for (const auto& t : r.tiles)
        if (!FiniteFields<RoomRecord::Tile>(t, kRoomTileFields)) return false;
    return true;
}

// A list of parts of a room, each an object of its table's fields.
template <class Part>
Json SaveParts(const std::vector<Part>& parts, std::span<const RecordField<Part>> fields,
               const ResourceNames* names, std::span<const ReferenceField> refs) {
    Json list = Json::array();
    for (const Part& part : parts) {
        Json j = Json::object();
        SaveFields<Part>(part, fields, j, names, refs);
        list.push_back(std::move(j));
    }
    return list;
}

// Reads into the first parts of a list of fixed length (layers, views: a noun for the
// message) or, without a noun, appends.
template <class Part>
void LoadParts(JsonObject& json, std::string_view key, std::vector<Part>& parts,
               std::span<const RecordField<Part>> fields, const ResourceFiles& files,
               std::span<const ReferenceField> refs, const char* fixed = nullptr) {
    const Json& list = json.Array(key);
    const bool grow = fixed == nullptr;
    if (!grow && list.size() > parts.size())
        json.Fail(key, "expected at most " + std::to_string(parts.size()) + " " + fixed);
    for (size_t n = 0; n < list.size(); ++n) {
        JsonObject j(list[n], json.File(), ElementPath(json.Field(key), n));
        Part& part = grow ? parts.emplace_back() : parts[n];
        LoadFields<Part>(j, part, fields, &files, refs);
        j.Finish();
    }
}

template <class Part>
bool PartsValid(const std::vector<Part>& parts, std::span<const RecordField<Part>> fields,
                std::span<const ReferenceField> refs, const ResourceNames& names) {
    for (const Part& part : parts)
        if (!ReferencesValid<Part>(part, fields, refs, names)) return false;
    return true;
}

// Instance and tile ids are the game's, not the room's: each may be given once. Fails on an
// id given before; false (for the writer) when `file` is empty.
template <class Part>
bool TakeIds(const std::vector<Part>& parts, std::map<int32_t, std::string>& taken, const std::string& file,
             const char* list, const char* noun) {
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string field = ElementPath(list, i);
        if (auto [it, fresh] = taken.emplace(parts[i].id, field + " in " + file); !fresh) {
            if (file.empty()) return false;
            Fail(file, field + ".id",
                 std::to_string(parts[i].id) + " is already the id of the " + noun + " " + it->second);
        }
    }
    return true;
}

template <class Part> int32_t HighestId(const std::vector<Part>& parts) {
    int32_t highest = INT32_MIN;
    for (const Part& part : parts) highest = std::max(highest, part.id);
    return highest;
}

} // namespace

void SaveRoom(const RawResource& resource, Json& json, const ResourceFiles& files) {
    RoomRecord r;
    // JSON has no infinities or NaN, so such rooms keep the hex form too.
    if (!Readable(resource, r) || !FiniteReals(r)) return SaveRawRecord(resource, json, files);
    const ResourceNames* names = files.Names();
    // References out of range and ids given twice would not read back.
    if (names &&
        (!PartsValid<RoomRecord::Layer>(r.layers, kRoomLayerFields, kLayerReferences, *names) ||
         !PartsValid<RoomRecord::View>(r.views, kRoomViewFields, kViewReferences, *names) ||
         !PartsValid<RoomRecord::Instance>(r.instances, kRoomInstanceFields, kInstanceReferences, *names) ||
         !PartsValid<RoomRecord::Tile>(r.tiles, kRoomTileFields, kTileReferences, *names)))
        return SaveRawRecord(resource, json, files);
    if (RoomIds* ids = files.Ids()) {
        // So are ids above the game's last ones, which the reader refuses.
        RoomIds trial = *ids;
        if (!TakeIds(r.instances, trial.instances, "", "instances", "instance") ||
            !TakeIds(r.tiles, trial.tiles, "", "tiles", "tile") ||
            HighestId(r.instances) > ids->last_instance || HighestId(r.tiles) > ids->last_tile)
            return SaveRawRecord(resource, json, files);
        *ids = std::move(trial);
    }
    json["version"] = r.version;
    SaveFields<RoomRecord>(r, kRoomFields, json);
    json["show_colour"] = (r.flags & 1) != 0;
    json["clear_view_background"] = (r.flags & 2) == 0;
    if (r.flags & ~3) json["other_flags"] = r.flags & ~3;
    json["creation_code"] =
        r.code.empty() ? Json("") : Json({{"file", files.Write(".code.txt", BytesFromText(r.code))}});
    json["backgrounds"] = SaveParts<RoomRecord::Layer>(r.layers, kRoomLayerFields, names, kLayerReferences);
    json["enable_views"] = r.enable_views;
    json["views"] = SaveParts<RoomRecord::View>(r.views, kRoomViewFields, names, kViewReferences);
    json["instances"] =
        SaveParts<RoomRecord::Instance>(r.instances, kRoomInstanceFields, names, kInstanceReferences);
    json["tiles"] = SaveParts<RoomRecord::Tile>(r.tiles, kRoomTileFields, names, kTileReferences);
}

void LoadRoom(JsonObject& json, RawResource& resource, const ResourceFiles& files) {
    if (json.Has("record")) return LoadRawRecord(json, resource, files);
    RoomRecord r;
    r.version = json.Int("version", r.version);
    if (!RoomRecord::KnownVersion(r.version)) json.Fail("version", "expected 541, 810 or 811");
    LoadFields<RoomRecord>(json, r, kRoomFields);
    r.flags = (json.Bool("show_colour", true) ? 1 : 0) | (json.Bool("clear_view_background", true) ? 0 : 2) |
              (json.Int("other_flags", 0) & ~3);
    if (const Json* code = json.Find("creation_code"); code && code->is_object()) {
        JsonObject file(*code, json.File(), json.Field("creation_code"));
        r.code = TextFromBytes(files.Read(file, "file"));
        file.Finish();
    } else if (code) {
        r.code = AsString(*code, json.File(), json.Field("creation_code"));
    }
    LoadParts<RoomRecord::Layer>(json, "backgrounds", r.layers, kRoomLayerFields, files, kLayerReferences,
                                 "layers");
    r.enable_views = json.Bool("enable_views", r.enable_views);
    LoadParts<RoomRecord::View>(json, "views", r.views, kRoomViewFields, files, kViewReferences, "views");
    LoadParts<RoomRecord::Instance>(json, "instances", r.instances, kRoomInstanceFields, files,
                                    kInstanceReferences);
    LoadParts<RoomRecord::Tile>(json, "tiles", r.tiles, kRoomTileFields, files, kTileReferences);
    if (RoomIds* ids = files.Ids()) {
        (void)TakeIds(r.instances, ids->instances, json.File(), "instances", "instance");
        (void)TakeIds(r.tiles, ids->tiles, json.File(), "tiles", "tile");
    }
    resource.record = Bytes(r);
}

// ---- Paths ----

void SavePath(const RawResource& resource, Json& json, const ResourceFiles& files) {
    PathRecord p;
    if (!Readable(resource, p)) return SaveRawRecord(resource, json, files);
    // JSON has no infinities or NaN.
    for (const RWayPoint& w : p.points)
        if (!std::isfinite(w.x) || !std::isfinite(w.y) || !std::isfinite(w.speed))
            return SaveRawRecord(resource, json, files);
    SaveFields<PathRecord>(p, kPathFields, json);
    Json points = Json::array();
    for (const RWayPoint& w : p.points) points.push_back({{"x", w.x}, {"y", w.y}, {"speed", w.speed}});
    json["points"] = std::move(points);
}

void LoadPath(JsonObject& json, RawResource& resource, const ResourceFiles& files) {
    if (json.Has("record")) return LoadRawRecord(json, resource, files);
    PathRecord p;
    LoadFields<PathRecord>(json, p, kPathFields);
    const Json& points = json.Array("points");
    for (size_t i = 0; i < points.size(); ++i) {
        JsonObject j(points[i], json.File(), ElementPath(json.Field("points"), i));
        RWayPoint& w = p.points.emplace_back();
        w.x = Real(j, "x", w.x);
        w.y = Real(j, "y", w.y);
        w.speed = Real(j, "speed", w.speed);
        j.Finish();
    }
    resource.record = Bytes(p);
}

// ---- Time lines ----

void SaveTimeLine(const RawResource& resource, Json& json, const ResourceFiles& files) {
    TimeLineRecord t;
    if (!Readable(resource, t)) return SaveRawRecord(resource, json, files);
    for (const TimeLineRecord::Moment& m : t.moments)
        if (!ActionsValid(m.event, files.Names())) return SaveRawRecord(resource, json, files);
    // The readable form lists moments in increasing step order, one per step.
    for (size_t i = 1; i < t.moments.size(); ++i)
        if (t.moments[i].step <= t.moments[i - 1].step) return SaveRawRecord(resource, json, files);
    Json moments = Json::array();
    for (const TimeLineRecord::Moment& m : t.moments) {
        Json jm = Json::object();
        jm["step"] = m.step;
        if (m.event.version != kEventVersion) jm["version"] = m.event.version;
        jm["actions"] = SaveActions(m.event, files, ".step_" + std::to_string(m.step));
        moments.push_back(std::move(jm));
    }
    json["moments"] = std::move(moments);
}

void LoadTimeLine(JsonObject& json, RawResource& resource, const ResourceFiles& files) {
    if (json.Has("record")) return LoadRawRecord(json, resource, files);
    TimeLineRecord t;
    const Json& moments = json.Array("moments");
    for (size_t i = 0; i < moments.size(); ++i) {
        JsonObject jm(moments[i], json.File(), ElementPath(json.Field("moments"), i));
        TimeLineRecord::Moment& m = t.moments.emplace_back();
        m.step = jm.Int("step", 0);
        if (i > 0 && m.step <= t.moments[i - 1].step)
            jm.Fail("step", "moments must be listed in increasing step order, one per step");
        LoadActions(jm, m.event, files);
        jm.Finish();
    }
    resource.record = Bytes(t);
}

} // namespace kestrin::project
