#pragma once
// The game world: the stored rooms, the room order, the running copies of the rooms entered,
// the current room, the instances carried between rooms and the one pending request
// (`room_request`). It starts, enters, leaves and ends rooms in a fixed order of events and
// creation codes; the main loop decides when.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runner/game_data.h"
#include "runner/instance.h"
#include "runner/room.h"
#include "script/builtin_routine.h"

namespace kestrin {

// ORDER RoomRequest: values of room_request; 0 or more goes to that room.
enum RoomRequest : int32_t {
    kRequestNone = -1,
    kRequestEndGame = -100,
    kRequestRestart = -200,
    kRequestLoad = -300,
    kRequestAbort = -400,
};

// Events are performed by event dispatch (PerformObjectEvent on self's object). Tests may
// put another performer in front to observe the order of events; null goes back to dispatch.
using EventPerformer = void (*)(CInstance* self, CInstance* other, int32_t type, int32_t number);
void SetEventPerformer(EventPerformer performer);
// When room_request is -1 and self exists: the event looked up from self's object.
void PerformEvent(CInstance* self, CInstance* other, int32_t type, int32_t number);
// When room_request is -1: on every active, unmarked instance of the current room in list
// order, each as its own self and other.
void PerformAll(int32_t type, int32_t number);

// What the world needs from subsystems above the runner; unset entries do nothing. The
// composition root (game/compose.cpp) sets clear_input, resize_window and draw_room, and the
// run session sets reset_game_variables for its run; extensions_init/final (extension
// packages), show_cursor/restore_cursor and show_window (the window), clear_effects
// (particles) and capture_transition (room transitions) wait for their subsystems.
struct WorldHooks {
    std::function<void()> reset_game_variables; // score, lives, cursor, transition kind, seed
    std::function<bool()> extensions_init;      // false stops the start
    std::function<bool()> extensions_final;
    std::function<void()> show_cursor;
    std::function<void()> restore_cursor;
    std::function<void()> clear_input;
    std::function<void()> clear_effects;
    std::function<void(int32_t width, int32_t height)> resize_window;
    std::function<void()> show_window;
    std::function<void()> capture_transition;
    std::function<void()> drop_transition; // the new room's first frame was not drawn
    std::function<void()> draw_room; // draw, transition, next frame
};

// Room indices run below object designators' instance ids.
inline constexpr int32_t kMaxRoomIndex = 100000;

class CGameWorld {
public:
    int32_t room_request = kRequestNone;
    int32_t transition_kind = 0;
    bool create_event_first = false;
    std::vector<std::string> library_init_code;
    WorldHooks hooks;

    // Back to no rooms, no running copies and no request.
    void Clear();
    // Reads the rooms section's records, the last ids and the room order; false on a damaged
    // room record.
    [[nodiscard]] bool LoadRooms(const GameData& game);
    // A stored room, appended (tests and the resource built-ins); `room` null leaves the slot empty.
    int32_t AddRoom(std::string_view name, std::unique_ptr<CRoom> room);
    std::vector<int32_t>& RoomOrder() { return order_; }
    // A new empty room named "__newroom" + index.
    int32_t AddNewRoom();
    // A new room (named as AddNewRoom names it) holding a copy of room `source`; -1 when the
    // source does not exist.
    int32_t DuplicateRoom(int32_t source);
    // Room `target` becomes a copy of `source`, created when its slot is empty (or beyond the
    // table); false when the source does not exist or the target is negative.
    bool AssignRoom(int32_t target, int32_t source);

    int32_t RoomCount() const { return static_cast<int32_t>(rooms_.size()); }
    bool RoomExists(int32_t index) const { return StoredRoom(index) != nullptr; }
    CRoom* StoredRoom(int32_t index) const;
    std::string_view RoomName(int32_t index) const;
    int32_t FindRoom(std::string_view name) const;
    // The running copy in a room's slot, or nullptr.
    CRoom* RunningRoom(int32_t index) const;
    int32_t RunningCount() const { return static_cast<int32_t>(running_.size()); }
    // A loaded game's running copies replace the old ones (freed) and the game goes on in slot
    // `current` without any room events; the window takes that room's size.
    void ReplaceRunningRooms(std::vector<std::unique_ptr<CRoom>> rooms, int32_t current);

    CRoom* Current() const { return current_; }
    int32_t CurrentIndex() const { return room_; }
    const std::vector<std::unique_ptr<CInstance>>& Carried() const { return carried_; }

    // Resets the game's state, runs the library initialisation codes and the extensions'
    // initialisation, and enters the first room of the room order.
    void StartGame();
    void EnterRoom(int32_t r, bool gameStart);
    void LeaveRoom(bool gameEnd);
    void GotoRoom(int32_t r);
    void EndGame();
    void RestartGame();

    // The room order's neighbours; -1 when `numb` is no room, the first (last) entry, or not
    // in the order.
    int32_t RoomPrevious(int32_t numb) const;
    int32_t RoomNext(int32_t numb) const;
    int32_t RoomFirst() const { return order_.empty() ? -1 : order_.front(); }
    int32_t RoomLast() const { return order_.empty() ? -1 : order_.back(); }

    // Creates an instance of an existing object and performs its create event; reports
    // the error and creates nothing for a missing object.
    CInstance* CreateInstance(double x, double y, int32_t objectind);
    // Destroy event, then marked.
    void DestroyInstance(CInstance* instance);
    // Into another object, with or without the destroy and create events.
    CInstance* ChangeInstance(CInstance* instance, int32_t objectind, bool performEvents);

private:
    void SetCurrent(CRoom* room, int32_t index);
    void RunCreationCode(CInstance* instance, std::string_view roomName);
    void RunRoomCode(const CRoom& room, std::string_view roomName);
    void ResizeWindowForRoom(const CRoom& room);

    struct Slot {
        std::string name;
        std::unique_ptr<CRoom> room;
    };
    std::vector<Slot> rooms_;
    std::vector<int32_t> order_;
    std::vector<std::unique_ptr<CRoom>> running_;
    std::vector<std::unique_ptr<CInstance>> carried_;
    CRoom* current_ = nullptr;
    int32_t room_ = -1;
};

CGameWorld& World();

} // namespace kestrin
