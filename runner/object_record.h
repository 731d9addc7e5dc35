#pragma once
// The object record of the game data as stored: every field kept as read, so that the
// builder can turn a record into text and back into the same bytes. The runner builds its
// CObject from this form (object.h).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/record_fields.h"
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

// An event after its number: its version, then (for the known version) its actions. False for
// a bad action; StreamError when cut short.
[[nodiscard]] bool ReadEventRecord(CStream& in, EventRecord& event);
void WriteEventRecord(CStream& out, const EventRecord& event);

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

// The names project files give some of an action's integers.
inline const FieldName kActionKindNames[] = {
    {"normal", kActionNormal},     {"begin", kActionBegin}, {"end", kActionEnd},
    {"else", kActionElse},         {"exit", kActionExit},   {"repeat", kActionRepeat},
    {"variable", kActionVariable}, {"code", kActionCode},
};
inline const FieldName kActionExecutionNames[] = {
    {"nothing", kExecuteNothing}, {"function", kExecuteFunction}, {"code", kExecuteCode}};
inline const FieldName kActionAppliesToNames[] = {{"self", -1}, {"other", -2}};

// An action after its version, in stored order.
inline const RecordField<ActionRecord> kActionFields[] = {
    {.key = "library", .member = &ActionRecord::libid},
    {.key = "id", .member = &ActionRecord::id},
    {.key = "kind", .member = &ActionRecord::kind, .names = kActionKindNames},
    {.key = "use_relative", .member = &ActionRecord::userelative},
    {.key = "question", .member = &ActionRecord::isquestion},
    {.key = "use_apply_to", .member = &ActionRecord::useapplyto},
    {.key = "execute", .member = &ActionRecord::exetype, .names = kActionExecutionNames},
    {.key = "function", .member = &ActionRecord::function},
    {.key = "code", .member = &ActionRecord::code},
    {.key = "argument_count", .member = &ActionRecord::argumentcount},
    {.key = "argument_kinds", .member = &ActionRecord::argtypes, .limit = kMaxActionArguments},
    {.key = "applies_to", .member = &ActionRecord::who, .names = kActionAppliesToNames},
    {.key = "relative", .member = &ActionRecord::relative},
    {.key = "arguments", .member = &ActionRecord::args, .limit = kMaxActionArguments},
    {.key = "not", .member = &ActionRecord::isnot},
};

// An object's scalars after its version; its last event type and events follow.
inline const RecordField<ObjectRecord> kObjectFields[] = {
    {"sprite", &ObjectRecord::spriteindex}, {"solid", &ObjectRecord::solid},
    {"visible", &ObjectRecord::visible},    {"depth", &ObjectRecord::depth},
    {"persistent", &ObjectRecord::persistent}, {"parent", &ObjectRecord::parent},
    {"mask", &ObjectRecord::mask},
};

} // namespace kestrin
