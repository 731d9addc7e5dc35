#include "runner/game_world.h"

#include <algorithm>

#include "base/numeric.h"
#include "base/stream.h"
#include "runner/event_dispatch.h"
#include "runner/messages.h"
#include "runner/object.h"
#include "script/errors.h"
#include "script/interpreter.h"
#include "script/registry.h"
#include "script/run_error.h"
#include "script/scripts.h"

namespace kestrin {

namespace {

int32_t SaturatedAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t{a} + b, INT32_MIN, INT32_MAX));
}

EventPerformer& Performer() {
    static EventPerformer performer = nullptr;
    return performer;
}

} // namespace

void SetEventPerformer(EventPerformer performer) {
    Performer() = performer;
}

void PerformEvent(CInstance* self, CInstance* other, int32_t type, int32_t number) {
    if (World().room_request != kRequestNone || !self) return;
    if (Performer())
        Performer()(self, other, type, number);
    else
        PerformObjectEvent(self, other, self->i_objectindex, type, number);
}

void PerformAll(int32_t type, int32_t number) {
    const CGameWorld& world = World();
    // The list is walked by position: events may append instances, which are visited too.
    for (size_t i = 0; world.room_request == kRequestNone && world.Current(); ++i) {
        CRoom* room = world.Current();
        if (i >= room->r_instance.size()) break;
        CInstance* instance = room->r_instance[i].get();
        if (!instance->i_marked) PerformEvent(instance, instance, type, number);
    }
}

CGameWorld& World() {
    static CGameWorld world;
    return world;
}

void CGameWorld::Clear() {
    SetCurrent(nullptr, -1);
    rooms_.clear();
    order_.clear();
    running_.clear();
    carried_.clear();
    room_request = kRequestNone;
    transition_kind = 0;
}

bool CGameWorld::LoadRooms(const GameData& game) {
    Clear();
    for (const RawResource& raw : game.Resources(ResourceKind::Room)) {
        if (!raw.present) {
            AddRoom("", nullptr);
            continue;
        }
        CStream in(raw.record);
        auto room = std::make_unique<CRoom>();
        if (!room->LoadFromStream(in)) return false;
        AddRoom(raw.name, std::move(room));
    }
    order_ = game.room_order;
    // Ids are never handed out twice, even when the stored last ids are below ids in use.
    WorldIds ids{game.last_instance_id, game.last_tile_id};
    for (const Slot& slot : rooms_) {
        if (!slot.room) continue;
        for (const auto& instance : slot.room->r_instance)
            ids.last_instance = std::max(ids.last_instance, instance->i_id);
        for (const RTile& tile : slot.room->r_tile) ids.last_tile = std::max(ids.last_tile, tile.id);
    }
    LastIds() = ids;
    library_init_code = game.library_init_code;
    create_event_first = game.settings.create_event_first;
    return true;
}

int32_t CGameWorld::AddRoom(std::string_view name, std::unique_ptr<CRoom> room) {
    rooms_.push_back({room ? std::string(name) : std::string(), std::move(room)});
    return RoomCount() - 1;
}

int32_t CGameWorld::AddNewRoom() {
    return AddRoom("__newroom" + std::to_string(RoomCount()), std::make_unique<CRoom>());
}

int32_t CGameWorld::DuplicateRoom(int32_t source) {
    const CRoom* from = StoredRoom(source);
    if (!from) return -1;
    auto copy = std::make_unique<CRoom>();
    copy->Assign(*from);
    return AddRoom("__newroom" + std::to_string(RoomCount()), std::move(copy));
}

bool CGameWorld::AssignRoom(int32_t target, int32_t source) {
    const CRoom* from = StoredRoom(source);
    // Growing the table to the target is bounded by the ids the resource built-ins accept.
    if (!from || target < 0 || target >= kMaxRoomIndex) return false;
    if (target == source) return true;
    while (RoomCount() <= target) AddRoom("", nullptr);
    Slot& slot = rooms_[static_cast<size_t>(target)];
    if (!slot.room) {
        slot.room = std::make_unique<CRoom>();
        slot.name = "__newroom" + std::to_string(target);
    }
    slot.room->Assign(*from);
    return true;
}

CRoom* CGameWorld::StoredRoom(int32_t index) const {
    return index >= 0 && index < RoomCount() ? rooms_[static_cast<size_t>(index)].room.get() : nullptr;
}

std::string_view CGameWorld::RoomName(int32_t index) const {
    return RoomExists(index) ? std::string_view(rooms_[static_cast<size_t>(index)].name)
                             : std::string_view(msg::kUndefinedName);
}

int32_t CGameWorld::FindRoom(std::string_view name) const {
    for (size_t i = 0; i < rooms_.size(); ++i)
        if (rooms_[i].room && rooms_[i].name == name) return static_cast<int32_t>(i);
    return -1;
}

CRoom* CGameWorld::RunningRoom(int32_t index) const {
    return index >= 0 && static_cast<size_t>(index) < running_.size()
               ? running_[static_cast<size_t>(index)].get()
               : nullptr;
}

void CGameWorld::SetCurrent(CRoom* room, int32_t index) {
    current_ = room;
    room_ = index;
    SetInstanceWorld(room);
}

void CGameWorld::StartGame() {
    room_request = kRequestNone;
    BuildEventLists();
    GlobalsInit();
    if (hooks.reset_game_variables) hooks.reset_game_variables();
    for (const std::string& text : library_init_code) {
        CCode code(text, false);
        if (!code.Compile()) {
            ReportError(msg::kLibraryInitCompile + LastCodeError(), true);
            ClearCodeError();
            continue;
        }
        CInstance temporary;
        temporary.Create(0, 0, 0, 0);
        RValue result;
        (void)RunCodeReported(&temporary, &temporary, code, result);
    }
    if (hooks.extensions_init && !hooks.extensions_init()) return;
    if (hooks.show_cursor) hooks.show_cursor();
    // A fatal error so far must end the game, not be cleared by entering the first room.
    if (room_request == kRequestAbort) return;
    running_.clear();
    running_.resize(rooms_.size());
    carried_.clear();
    if (order_.empty() || !RoomExists(order_.front())) {
        ReportError(msg::kUnexistingRoom + std::to_string(order_.empty() ? -1 : order_.front()), true);
        room_request = kRequestAbort;
        return;
    }
    EnterRoom(order_.front(), true);
}

void CGameWorld::ReplaceRunningRooms(std::vector<std::unique_ptr<CRoom>> rooms, int32_t current) {
    if (rooms.size() < rooms_.size()) rooms.resize(rooms_.size());
    running_ = std::move(rooms);
    CRoom* room = RunningRoom(current);
    SetCurrent(room, room ? current : -1);
    if (room) ResizeWindowForRoom(*room);
}

void CGameWorld::ResizeWindowForRoom(const CRoom& room) {
    if (!hooks.resize_window) return;
    int32_t width = room.r_width, height = room.r_height;
    if (room.r_enableviews) {
        width = height = 8;
        for (const CView& v : room.r_view)
            if (v.visible) {
                width = std::max<int32_t>(width, SaturatedAdd(v.xport, v.wport));
                height = std::max<int32_t>(height, SaturatedAdd(v.yport, v.hport));
            }
    }
    hooks.resize_window(width, height);
}

void CGameWorld::RunCreationCode(CInstance* instance, std::string_view roomName) {
    if (instance->i_initcode.empty()) return;
    const std::string where = std::to_string(instance->i_id) + msg::kInRoom + std::string(roomName) + "\r";
    CCode code(instance->i_initcode, false);
    if (!code.Compile()) {
        ReportError(msg::kCreationCodeCompile + where + LastCodeError(), false);
        ClearCodeError();
        return;
    }
    RValue result;
    if (!RunCode(instance, instance, code, result)) {
        ReportError(msg::kCreationCodeRun + where + LastCodeError(), false);
        ClearCodeError();
    }
}

void CGameWorld::RunRoomCode(const CRoom& room, std::string_view roomName) {
    if (room.r_code.empty()) return;
    const std::string where = std::string(roomName) + "\r";
    CCode code(room.r_code, false);
    if (!code.Compile()) {
        ReportError(msg::kRoomCodeCompile + where + LastCodeError(), false);
        ClearCodeError();
        return;
    }
    CInstance temporary;
    temporary.Create(0, 0, 0, 0);
    RValue result;
    if (!RunCode(&temporary, &temporary, code, result)) {
        ReportError(msg::kRoomCodeRun + where + LastCodeError(), false);
        ClearCodeError();
    }
}

void CGameWorld::EnterRoom(int32_t r, bool gameStart) {
    const CRoom* stored = StoredRoom(r);
    if (!stored) {
        // Only damaged data gets here (requests are checked when made).
        ReportError(msg::kUnexistingRoom + std::to_string(r), true);
        room_request = kRequestAbort;
        return;
    }
    room_request = kRequestNone;
    if (hooks.clear_input) hooks.clear_input();
    if (hooks.clear_effects) hooks.clear_effects();
    if (running_.size() < rooms_.size()) running_.resize(rooms_.size());
    auto& slot = running_[static_cast<size_t>(r)];
    const bool fresh = !slot;
    if (fresh) {
        slot = std::make_unique<CRoom>();
        slot->Assign(*stored);
        // The stored rooms were read before sprites and collision geometry were ready; the
        // instances take their boxes now, as if placed as the room starts.
        for (auto& instance : slot->r_instance) instance->Compute_BoundingBox();
    }
    CRoom* room = slot.get();
    SetCurrent(room, r);
    ResizeWindowForRoom(*room);
    if (gameStart && hooks.show_window) hooks.show_window();

    const size_t own = room->r_instance.size();
    for (auto& carried : carried_) {
        for (auto& instance : room->r_instance)
            if (instance->i_id == carried->i_id) instance->i_marked = true;
        // Carrying uses up an id as making a new instance does, though the instance keeps its
        // own; with none left it still comes along.
        CInstance* added = room->AddInstance(carried->i_x, carried->i_y, carried->i_objectindex);
        if (!added)
            added =
                room->AddInstanceWithId(carried->i_x, carried->i_y, carried->i_id, carried->i_objectindex);
        added->Assign(*carried);
        carried.reset();
    }
    room->RebuildLists();

    if (fresh) {
        const std::string name(RoomName(r));
        for (size_t i = 0; i < own && i < room->r_instance.size(); ++i) {
            CInstance* instance = room->r_instance[i].get();
            if (instance->i_marked) continue;
            if (create_event_first) PerformEvent(instance, instance, ev_create, 0);
            RunCreationCode(instance, name);
            if (!create_event_first) PerformEvent(instance, instance, ev_create, 0);
        }
    }
    carried_.clear();
    if (gameStart) PerformAll(ev_other, ev_game_start);
    if (fresh) RunRoomCode(*room, RoomName(r));
    PerformAll(ev_other, ev_room_start);
    if (room_request == kRequestNone && hooks.draw_room)
        hooks.draw_room();
    else if (hooks.drop_transition)
        hooks.drop_transition(); // the first frame is not drawn: nothing to show it with
    transition_kind = 0;
}

void CGameWorld::LeaveRoom(bool gameEnd) {
    CRoom* room = current_;
    if (!room) return;
    if (transition_kind != 0 && hooks.capture_transition) hooks.capture_transition();
    room->RemoveMarked();

    const int32_t saved = room_request;
    room_request = kRequestNone;
    PerformAll(ev_other, ev_room_end);
    if (gameEnd) PerformAll(ev_other, ev_game_end);
    // A fatal error or game end raised by these events outranks the request being handled.
    if (room_request == kRequestAbort || saved == kRequestAbort)
        room_request = kRequestAbort;
    else if (room_request == kRequestEndGame)
        room_request = kRequestEndGame;
    else
        room_request = saved;

    carried_.clear();
    for (auto& instance : room->r_instance) {
        if (instance->i_marked || !instance->i_persistent) continue;
        auto copy = std::make_unique<CInstance>();
        copy->Assign(*instance);
        carried_.push_back(std::move(copy));
        instance->i_marked = true;
    }
    const int32_t index = room_;
    if (!room->r_persistent) {
        SetCurrent(nullptr, index);
        running_[static_cast<size_t>(index)].reset();
    }
}

void CGameWorld::GotoRoom(int32_t r) {
    LeaveRoom(false);
    EnterRoom(r, false);
}

void CGameWorld::EndGame() {
    LeaveRoom(true);
    SetCurrent(nullptr, -1);
    running_.clear();
    if ((!hooks.extensions_final || hooks.extensions_final()) && hooks.restore_cursor) hooks.restore_cursor();
}

void CGameWorld::RestartGame() {
    EndGame();
    StartGame();
}

int32_t CGameWorld::RoomPrevious(int32_t numb) const {
    if (!RoomExists(numb)) return -1;
    for (size_t i = 1; i < order_.size(); ++i)
        if (order_[i] == numb) return order_[i - 1];
    return -1;
}

int32_t CGameWorld::RoomNext(int32_t numb) const {
    if (!RoomExists(numb) || order_.size() < 2) return -1;
    for (size_t i = order_.size() - 1; i-- > 0;)
        if (order_[i] == numb) return order_[i + 1];
    return -1;
}

CInstance* CGameWorld::CreateInstance(double x, double y, int32_t objectind) {
    if (!Objects().Exists(objectind)) {
        ReportRunError(msg::kCreateMissingObject + std::to_string(objectind), false);
        return nullptr;
    }
    if (!current_) return nullptr;
    CInstance* instance = current_->AddInstance(x, y, objectind);
    if (!instance) {
        ReportRunError(msg::kOutOfInstanceIds, false);
        return nullptr;
    }
    PerformEvent(instance, instance, ev_create, 0);
    return instance;
}

namespace {

// Instances whose destroy event is running. One destroyed again meanwhile (from its own
// destroy event, directly or through others) is already on its way out: the event runs once.
std::vector<const CInstance*>& Destroying() {
    static std::vector<const CInstance*> instances;
    return instances;
}

bool BeingDestroyed(const CInstance* instance) {
    const auto& list = Destroying();
    return std::find(list.begin(), list.end(), instance) != list.end();
}

void PerformDestroyEvent(CInstance* instance) {
    Destroying().push_back(instance);
    struct Pop {
        ~Pop() { Destroying().pop_back(); }
    } pop;
    PerformEvent(instance, instance, ev_destroy, 0);
}

} // namespace

void CGameWorld::DestroyInstance(CInstance* instance) {
    if (!instance || instance->i_marked || BeingDestroyed(instance)) return;
    PerformDestroyEvent(instance);
    instance->i_marked = true;
}

CInstance* CGameWorld::ChangeInstance(CInstance* instance, int32_t objectind, bool performEvents) {
    if (!Objects().Exists(objectind)) {
        ReportRunError(msg::kChangeMissingObject + std::to_string(objectind), false);
        return nullptr;
    }
    // A destroyed instance, also one destroyed by its own destroy event here, changes no more.
    if (!instance || !current_ || instance->i_marked) return nullptr;
    if (performEvents && !BeingDestroyed(instance)) PerformDestroyEvent(instance);
    if (instance->i_marked) return nullptr;
    // As carrying: an id is used up, the instance keeps its own, and it changes even without ids.
    CInstance* changed = current_->AddInstance(instance->i_x, instance->i_y, objectind);
    if (!changed)
        changed = current_->AddInstanceWithId(instance->i_x, instance->i_y, instance->i_id, objectind);
    changed->Assign(*instance);
    changed->SetObjectIndex(objectind);
    instance->i_marked = true;
    current_->RebuildLists();
    if (performEvents) PerformEvent(changed, changed, ev_create, 0);
    return changed;
}

} // namespace kestrin
