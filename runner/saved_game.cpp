#include "runner/saved_game.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "base/file_io.h"
#include "base/numeric.h"
#include "base/stream.h"
#include "runner/file_access.h"
#include "runner/game_variables.h"
#include "runner/game_world.h"
#include "runner/input_state.h"
#include "runner/instance.h"
#include "runner/main_loop.h"
#include "runner/object.h"
#include "runner/room.h"
#include "script/random.h"
#include "script/run_error.h"
#include "script/value.h"
#include "script/variables.h"

namespace kestrin {

namespace {

constexpr const char* kSecureSave = "In secure mode you cannot save game to file ";
constexpr const char* kSaveFailed = "Failed to save game to file ";
constexpr const char* kLoadFailed = "Failed to load game from file ";
constexpr const char* kOtherVersion = "Cannot load game saved with other version.";
constexpr const char* kOtherGame = "This is a save file for a different game!";
constexpr int32_t kRoomStateVersion = 540;

SavedGameHooks& Hooks() {
    static SavedGameHooks hooks;
    return hooks;
}

bool AutomaticDrawNow() {
    if (Hooks().automatic_draw) return Hooks().automatic_draw();
    const MainLoop* loop = CurrentLoop();
    return loop ? loop->state.automatic_draw : true;
}

// ---- The parts of a room ----

void SaveLayer(const CBack& b, CStream& out) {
    out.WriteBoolean(b.visible);
    out.WriteBoolean(b.foreground);
    out.WriteInteger(b.index);
    out.WriteReal(b.x);
    out.WriteReal(b.y);
    out.WriteBoolean(b.htiled);
    out.WriteBoolean(b.vtiled);
    out.WriteReal(b.xscale);
    out.WriteReal(b.yscale);
    out.WriteReal(b.hspeed);
    out.WriteReal(b.vspeed);
    out.WriteInteger(b.blend);
    out.WriteReal(b.alpha);
}

void LoadLayer(CBack& b, CStream& in) {
    b.visible = in.ReadBoolean();
    b.foreground = in.ReadBoolean();
    b.index = in.ReadInteger();
    b.x = in.ReadReal();
    b.y = in.ReadReal();
    b.htiled = in.ReadBoolean();
    b.vtiled = in.ReadBoolean();
    b.xscale = in.ReadReal();
    b.yscale = in.ReadReal();
    b.hspeed = in.ReadReal();
    b.vspeed = in.ReadReal();
    b.blend = in.ReadInteger();
    b.alpha = in.ReadReal();
}

void SaveView(const CView& v, CStream& out) {
    out.WriteBoolean(v.visible);
    for (int32_t value : {v.xview, v.yview, v.wview, v.hview, v.xport, v.yport, v.wport, v.hport})
        out.WriteInteger(value);
    out.WriteReal(v.angle);
    for (int32_t value : {v.hborder, v.vborder, v.hspeed, v.vspeed, v.object}) out.WriteInteger(value);
}

void LoadView(CView& v, CStream& in) {
    v.visible = in.ReadBoolean();
    for (int32_t* value : {&v.xview, &v.yview, &v.wview, &v.hview, &v.xport, &v.yport, &v.wport, &v.hport})
        *value = in.ReadInteger();
    v.angle = in.ReadReal();
    for (int32_t* value : {&v.hborder, &v.vborder, &v.hspeed, &v.vspeed, &v.object})
        *value = in.ReadInteger();
}

void SaveTile(const RTile& t, CStream& out) {
    out.WriteReal(t.x);
    out.WriteReal(t.y);
    for (int32_t value : {t.index, t.xo, t.yo, t.w, t.h}) out.WriteInteger(value);
    out.WriteReal(t.depth);
    out.WriteInteger(t.id);
    out.WriteReal(t.xscale);
    out.WriteReal(t.yscale);
    out.WriteInteger(t.blend);
    out.WriteReal(t.alpha);
    out.WriteBoolean(t.visible);
}

void LoadTile(RTile& t, CStream& in) {
    t.x = in.ReadReal();
    t.y = in.ReadReal();
    for (int32_t* value : {&t.index, &t.xo, &t.yo, &t.w, &t.h}) *value = in.ReadInteger();
    t.depth = in.ReadReal();
    t.id = in.ReadInteger();
    t.xscale = in.ReadReal();
    t.yscale = in.ReadReal();
    t.blend = in.ReadInteger();
    t.alpha = in.ReadReal();
    t.visible = in.ReadBoolean();
}

void SaveInstances(const std::vector<std::unique_ptr<CInstance>>& list, CStream& out) {
    out.WriteInteger(static_cast<int32_t>(list.size()));
    for (const auto& instance : list) SaveInstanceToStream(*instance, out);
}

void LoadInstances(std::vector<std::unique_ptr<CInstance>>& list, CStream& in) {
    const size_t count = in.CheckCount(in.ReadInteger(), kSavedInstanceMinBytes);
    list.clear();
    list.reserve(count);
    for (size_t n = 0; n < count; ++n) {
        auto instance = std::make_unique<CInstance>();
        LoadInstanceFromStream(*instance, in);
        list.push_back(std::move(instance));
    }
}

// ---- The snapshot read before anything changes ----

struct Snapshot {
    int32_t current = -1;
    int32_t transition_kind = 0;
    int32_t score = 0, lives = 0;
    double health = 0;
    int32_t cursor_sprite = -1, cursor_frame = 0;
    bool automatic_draw = true;
    bool has_globals = false;
    CGlobalVariables globals;
    std::vector<std::unique_ptr<CRoom>> rooms;
    WorldIds ids;
    bool has_seed = false;
    uint32_t seed = 0;
};

// False for a snapshot whose parts do not fit together; StreamError when cut short.
bool ReadSnapshot(CStream& in, Snapshot& s) {
    s.current = in.ReadInteger();
    s.transition_kind = in.ReadInteger();
    s.score = in.ReadInteger();
    s.lives = in.ReadInteger();
    s.health = in.ReadReal();
    s.cursor_sprite = in.ReadInteger();
    s.cursor_frame = in.ReadInteger();
    s.automatic_draw = in.ReadBoolean();
    const size_t globals = in.Position();
    s.has_globals = in.ReadInteger() == kSavedGlobalsVersion;
    in.Seek(globals);
    s.globals.LoadFromStream(in);
    // A slot takes at least its presence flag.
    const size_t slots = in.CheckCount(in.ReadInteger(), 4);
    s.rooms.resize(slots);
    for (auto& slot : s.rooms) {
        if (!in.ReadBoolean()) continue;
        slot = std::make_unique<CRoom>();
        if (!LoadRoomStateFromStream(*slot, in)) return false;
    }
    s.ids.last_instance = in.ReadInteger();
    s.ids.last_tile = in.ReadInteger();
    // Files written elsewhere end here; ours go on with what the fields above leave out.
    if (!in.AtEnd() && in.ReadInteger() == kSavedGameExtension) {
        s.has_seed = true;
        s.seed = static_cast<uint32_t>(in.ReadInteger());
    }
    // The game goes on in the current room, which must be one of the copies read.
    return s.current >= 0 && static_cast<size_t>(s.current) < s.rooms.size() &&
           s.rooms[static_cast<size_t>(s.current)] != nullptr;
}

// Writes through a temporary file beside the target, flushed to the disk before it replaces
// the target.
bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
    namespace fs = std::filesystem;
    const fs::path target(path);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0) return false;
    bool ok = true;
    for (size_t done = 0; ok && done < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            ok = false;
        else
            done += static_cast<size_t>(n);
    }
    if (ok && fsync(fd) != 0) ok = false;
    if (close(fd) != 0) ok = false;
    if (ok && std::rename(pattern.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) {
        std::remove(pattern.c_str());
        return false;
    }
    // The rename itself lasts once the folder is on the disk too.
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        (void)fsync(dir);
        close(dir);
    }
    return true;
}

} // namespace

void SetSavedGameHooks(SavedGameHooks hooks) {
    Hooks() = std::move(hooks);
}

void SaveInstanceToStream(const CInstance& i, CStream& out) {
    out.WriteInteger(i.i_id);
    out.WriteInteger(i.i_spriteindex);
    for (double v :
         {i.i_imageindex, i.i_imagespeed, i.i_imagescalex, i.i_imagescaley, i.i_imageangle, i.i_imagealpha})
        out.WriteReal(v);
    out.WriteInteger(static_cast<int32_t>(i.i_imageblend));
    out.WriteInteger(i.i_maskindex);
    for (double v :
         {i.i_depth, i.i_x, i.i_y, i.i_xstart, i.i_ystart, i.i_xprevious, i.i_yprevious, i.i_direction,
          i.i_speed, i.i_friction, i.i_gravitydir, i.i_gravity, i.i_hspeed, i.i_vspeed})
        out.WriteReal(v);
    for (int32_t v : {i.i_bbox.left, i.i_bbox.right, i.i_bbox.top, i.i_bbox.bottom}) out.WriteInteger(v);
    out.WriteBoolean(i.i_visible);
    out.WriteBoolean(i.i_solid);
    out.WriteBoolean(i.i_persistent);
    out.WriteInteger(i.i_objectindex);
    for (int32_t alarm : i.i_timer) out.WriteInteger(alarm);
    out.WriteBoolean(i.i_marked);
    out.WriteBoolean(i.i_deactivated);
    out.WriteInteger(i.i_pathindex);
    for (double v :
         {i.i_pathposition, i.i_pathpositionprevious, i.i_pathspeed, i.i_pathscale, i.i_pathorientation})
        out.WriteReal(v);
    out.WriteInteger(i.i_pathend);
    out.WriteReal(i.i_pathxstart);
    out.WriteReal(i.i_pathystart);
    out.WriteInteger(i.i_timelineindex);
    out.WriteReal(i.i_timelineposition);
    out.WriteReal(i.i_timelinespeed);
    out.WriteBoolean(i.i_timelinerunning);
    out.WriteBoolean(i.i_timelineloop);
    out.WriteString(i.i_initcode);
    i.i_vars.SaveToStream(out);
}

void LoadInstanceFromStream(CInstance& i, CStream& in) {
    i.i_id = in.ReadInteger();
    i.i_spriteindex = in.ReadInteger();
    for (double* v : {&i.i_imageindex, &i.i_imagespeed, &i.i_imagescalex, &i.i_imagescaley, &i.i_imageangle,
                      &i.i_imagealpha})
        *v = in.ReadReal();
    i.i_imageblend = static_cast<uint32_t>(in.ReadInteger());
    i.i_maskindex = in.ReadInteger();
    for (double* v :
         {&i.i_depth, &i.i_x, &i.i_y, &i.i_xstart, &i.i_ystart, &i.i_xprevious, &i.i_yprevious,
          &i.i_direction, &i.i_speed, &i.i_friction, &i.i_gravitydir, &i.i_gravity, &i.i_hspeed, &i.i_vspeed})
        *v = in.ReadReal();
    for (int32_t* v : {&i.i_bbox.left, &i.i_bbox.right, &i.i_bbox.top, &i.i_bbox.bottom})
        *v = in.ReadInteger();
    i.i_visible = in.ReadBoolean();
    i.i_solid = in.ReadBoolean();
    i.i_persistent = in.ReadBoolean();
    // The object is looked up by index when used; one that no longer exists leaves none.
    i.i_objectindex = in.ReadInteger();
    for (int32_t& alarm : i.i_timer) alarm = in.ReadInteger();
    i.i_marked = in.ReadBoolean();
    i.i_deactivated = in.ReadBoolean();
    i.i_pathindex = in.ReadInteger();
    for (double* v :
         {&i.i_pathposition, &i.i_pathpositionprevious, &i.i_pathspeed, &i.i_pathscale, &i.i_pathorientation})
        *v = in.ReadReal();
    i.i_pathend = in.ReadInteger();
    i.i_pathxstart = in.ReadReal();
    i.i_pathystart = in.ReadReal();
    i.i_timelineindex = in.ReadInteger();
    i.i_timelineposition = in.ReadReal();
    i.i_timelinespeed = in.ReadReal();
    i.i_timelinerunning = in.ReadBoolean();
    i.i_timelineloop = in.ReadBoolean();
    i.i_initcode = in.ReadString();
    i.i_vars.LoadFromStream(in);
}

void SaveRoomStateToStream(const CRoom& room, CStream& out) {
    out.WriteInteger(kRoomStateVersion);
    out.WriteString(room.r_caption);
    out.WriteInteger(room.r_width);
    out.WriteInteger(room.r_height);
    out.WriteInteger(room.r_speed);
    out.WriteBoolean(room.r_persistent);
    out.WriteInteger(room.r_color);
    out.WriteInteger((room.r_showcolor ? 1 : 0) | (room.r_clearViewBackground ? 0 : 2));
    out.WriteString(room.r_code);
    out.WriteInteger(kRoomLayerCount);
    for (const CBack& b : room.r_background) SaveLayer(b, out);
    out.WriteBoolean(room.r_enableviews);
    out.WriteInteger(kRoomViewCount);
    for (const CView& v : room.r_view) SaveView(v, out);
    SaveInstances(room.r_instance, out);
    SaveInstances(room.r_instance_deact, out);
    out.WriteInteger(room.r_tnumb());
    for (const RTile& t : room.r_tile) SaveTile(t, out);
}

bool LoadRoomStateFromStream(CRoom& room, CStream& in) {
    if (in.ReadInteger() != kRoomStateVersion) return false;
    room.r_caption = in.ReadString();
    room.r_width = in.ReadInteger();
    room.r_height = in.ReadInteger();
    room.r_speed = in.ReadInteger();
    room.r_persistent = in.ReadBoolean();
    room.r_color = in.ReadInteger();
    const int32_t flags = in.ReadInteger();
    room.r_showcolor = (flags & 1) != 0;
    room.r_clearViewBackground = (flags & 2) == 0;
    room.r_code = in.ReadString();
    if (in.ReadInteger() != kRoomLayerCount) return false;
    for (CBack& b : room.r_background) LoadLayer(b, in);
    room.r_enableviews = in.ReadBoolean();
    if (in.ReadInteger() != kRoomViewCount) return false;
    for (CView& v : room.r_view) LoadView(v, in);
    LoadInstances(room.r_instance, in);
    LoadInstances(room.r_instance_deact, in);
    room.r_tile.assign(in.CheckCount(in.ReadInteger(), kSavedTileMinBytes), RTile());
    for (RTile& t : room.r_tile) LoadTile(t, in);
    room.r_lasttile = -1;
    room.RebuildLists();
    return true;
}

std::vector<uint8_t> SaveGameToBytes() {
    CStream out;
    const CGameWorld& world = World();
    // Room for the instances as they are at least, so the stream seldom grows and copies.
    size_t estimate = 4096;
    for (int32_t r = 0; r < world.RunningCount(); ++r)
        if (const CRoom* room = world.RunningRoom(r))
            estimate += (room->r_instance.size() + room->r_instance_deact.size()) * (kSavedInstanceMinBytes + 64) +
                        room->r_tile.size() * kSavedTileMinBytes;
    out.Bytes().reserve(estimate);
    const GameVariables& values = GameValues();
    const MainLoop* loop = CurrentLoop();
    out.WriteInteger(kSavedGameVersion);
    out.WriteInteger(values.game_id);
    out.WriteInteger(world.CurrentIndex());
    out.WriteInteger(world.transition_kind);
    out.WriteInteger(values.score);
    out.WriteInteger(values.lives);
    out.WriteReal(values.health);
    out.WriteInteger(values.cursor_sprite);
    out.WriteInteger(loop ? loop->state.cursor_frame : 0);
    out.WriteBoolean(AutomaticDrawNow());
    Globals().SaveToStream(out);
    // Every room's slot, with a copy only for the rooms that run.
    const int32_t slots = std::max(world.RoomCount(), world.RunningCount());
    out.WriteInteger(slots);
    for (int32_t r = 0; r < slots; ++r) {
        const CRoom* room = world.RunningRoom(r);
        out.WriteBoolean(room != nullptr);
        if (room) SaveRoomStateToStream(*room, out);
    }
    out.WriteInteger(LastIds().last_instance);
    out.WriteInteger(LastIds().last_tile);
    out.WriteInteger(kSavedGameExtension);
    out.WriteInteger(static_cast<int32_t>(RandomSeed()));
    return out.TakeBytes();
}

LoadGameResult LoadGameFromBytes(std::vector<uint8_t> bytes) {
    Snapshot s;
    try {
        CStream in(std::move(bytes));
        if (in.ReadInteger() != kSavedGameVersion) return LoadGameResult::OtherVersion;
        if (in.ReadInteger() != GameValues().game_id) return LoadGameResult::OtherGame;
        if (!ReadSnapshot(in, s)) return LoadGameResult::Damaged;
    } catch (const StreamError&) {
        return LoadGameResult::Damaged;
    }
    // Everything was read: only now does the game change.
    CGameWorld& world = World();
    world.transition_kind = s.transition_kind;
    GameVariables& values = GameValues();
    values.score = s.score;
    values.lives = s.lives;
    values.health = s.health;
    values.cursor_sprite = s.cursor_sprite;
    if (MainLoop* loop = CurrentLoop()) {
        loop->state.cursor_frame = s.cursor_frame;
        loop->state.automatic_draw = s.automatic_draw;
    }
    if (Hooks().set_automatic_draw) Hooks().set_automatic_draw(s.automatic_draw);
    if (s.has_globals) std::swap(Globals(), s.globals);
    LastIds() = s.ids;
    if (s.has_seed) SetRandomSeed(s.seed);
    world.ReplaceRunningRooms(std::move(s.rooms), s.current);
    return LoadGameResult::Loaded;
}

bool Game_Save(const std::string& fname) {
    const bool secure = Hooks().secure_mode ? Hooks().secure_mode() : SecureMode();
    if (secure && IsPathName(fname)) {
        ReportRunError(kSecureSave + fname, false);
        return false;
    }
    const ResolvedFile file = ResolveFile(fname);
    if (!file.allowed) {
        ReportRunError(kSecureSave + fname, false);
        return false;
    }
    std::vector<uint8_t> bytes;
    try {
        bytes = SaveGameToBytes();
    } catch (const StreamError&) {
        ReportRunError(kSaveFailed + fname, false);
        return false;
    }
    if (fname.empty() || !WriteFileAtomically(file.path, bytes)) {
        ReportRunError(kSaveFailed + fname, false);
        return false;
    }
    return true;
}

bool Game_Load(const std::string& fname) {
    // Found as file_exists finds it: Windows name forms, any letter case.
    const ResolvedFile file = ResolveFile(fname);
    const std::string& path = file.path;
    std::error_code ec;
    if (fname.empty() || !std::filesystem::exists(path, ec)) return false;
    if (!file.allowed) {
        ReportRunError(kLoadFailed + fname, false);
        return false;
    }
    std::vector<uint8_t> bytes;
    if (ReadRegularFile(path, bytes) != FileReadStatus::Ok) {
        ReportRunError(kLoadFailed + fname, false);
        return false;
    }
    switch (LoadGameFromBytes(std::move(bytes))) {
    case LoadGameResult::Loaded:
        return true;
    case LoadGameResult::OtherVersion:
        ReportRunError(kOtherVersion, false);
        return false;
    case LoadGameResult::OtherGame:
        ReportRunError(kOtherGame, false);
        return false;
    case LoadGameResult::Damaged:
        break;
    }
    // Damaged or cut short: refused as a whole, the game goes on as it was.
    ReportRunError(kLoadFailed + fname + " (the file is damaged or incomplete)", false);
    return false;
}

std::string QuickSaveName() {
    return "_save" + std::to_string(GameValues().game_id) + ".sav";
}

void SavedGameKeys(const InputState& input) {
    constexpr int32_t kVkF5 = 116, kVkF6 = 117;
    if (input.KeyPressed(kVkF5)) (void)Game_Save(QuickSaveName());
    if (input.KeyPressed(kVkF6)) (void)Game_Load(QuickSaveName());
}

namespace {

void game_save(CScriptInstance*, CScriptInstance*, int32_t, const RValue* a, RValue&) {
    (void)Game_Save(std::string(a[0].str()));
}

void game_load(CScriptInstance*, CScriptInstance*, int32_t, const RValue* a, RValue&) {
    if (MainLoop* loop = CurrentLoop()) loop->state.load_file = std::string(a[0].str());
    World().room_request = kRequestLoad;
}

constexpr RFunctionSpec kFunctions[] = {
    {"game_save", game_save, 1},
    {"game_load", game_load, 1},
};

} // namespace

std::span<const RFunctionSpec> SavedGameFunctions() {
    return kFunctions;
}

} // namespace kestrin
