#pragma once
// The object record of the game data as stored: every field kept as read, so that the
// builder can turn a record into text and back into the same bytes. The runner builds its
// CObject from this form (object.h).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "runner/event_table.h"

namespace kestrin {

class CStream;

inline constexpr int32_t kObjectVersion = 430;
inline constexpr int32_t kEventVersion = 400;
inline constexpr int32_t kActionVersion = 440;
inline constexpr int32_t kMaxActionArguments = 8;

// ORDER ActionKind
enum ActionKind : int32_t {
    kActionNormal = 0,
    kActionBegin = 1,
    kActionEnd = 2,
    kActionElse = 3,
    kActionExit = 4,
    kActionRepeat = 5,
    kActionVariable = 6,
    kActionCode = 7,
};

enum ActionExecution : int32_t { kExecuteNothing = 0, kExecuteFunction = 1, kExecuteCode = 2 };

struct ActionRecord {
    int32_t libid = 1;
    int32_t id = 0;
    int32_t kind = kActionNormal;
    bool userelative = false;
    bool isquestion = false;
    bool useapplyto = false;
    int32_t exetype = kExecuteNothing;
    std::string function;
    std::string code;
    int32_t argumentcount = 0;
    std::vector<int32_t> argtypes; // at most 8
    int32_t who = -1;
    bool relative = false;
    std::vector<std::string> args; // at most 8
    bool isnot = false;

    // False for another version or a count above 8; StreamError when cut short.
    [[nodiscard]] bool LoadFromStream(CStream& in);
    void SaveToStream(CStream& out) const;
};

struct EventRecord {
    int32_t number = 0;
    // Another version stores nothing after it and loads as an empty event.
    int32_t version = kEventVersion;
    std::vector<ActionRecord> actions;
};

struct ObjectRecord {
    int32_t version = kObjectVersion;
    int32_t spriteindex = -1;
    bool solid = false;
    bool visible = true;
    int32_t depth = 0;
    bool persistent = false;
    int32_t parent = -1;
    int32_t mask = -1;
    // The highest event type stored; negative stores none.
    int32_t lasttype = kEventTypeCount - 1;
    // Per type, the events in stored order (numbers may repeat; the last one wins when loaded).
    std::array<std::vector<EventRecord>, kEventTypeCount> events;

    // False for another version, a type count above 12, an event number below -1 or a bad
    // action; StreamError when cut short.
    [[nodiscard]] bool LoadFromStream(CStream& in);
    void SaveToStream(CStream& out) const;
};

} // namespace kestrin
