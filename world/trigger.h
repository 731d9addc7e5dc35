#pragma once
// Triggers: game-defined events. Each trigger is a named condition in the script language that
// is run, at one moment of every step, for each instance of the objects that have the
// trigger's event; when it holds, the instance performs that event (type 11, the trigger's
// index). The table keeps the game data's slots, so an empty slot keeps later indices in place.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/code.h"

namespace kestrin {

class CStream;
struct RawResource;

inline constexpr int32_t kTriggerVersion = 800;

// The trigger record of the game data as stored, so that the builder turns a record into text
// and back into the same bytes.
struct TriggerRecord {
    int32_t version = kTriggerVersion;
    std::string name;
    std::string condition;
    int32_t moment = 1;
    std::string constname;

    // False for another version; StreamError when cut short.
    [[nodiscard]] bool LoadFromStream(CStream& in);
    void SaveToStream(CStream& out) const;
};

class CTrigger {
public:
    std::string i_name;
    std::string i_condition;
    std::unique_ptr<CCode> i_code;
    std::string i_constname;
    int32_t i_moment = 1; // 0 step, 1 begin step, 2 end step

    void Create() { Clear(); }
    void Clear();
    void Destroy() { Clear(); }
    void Assign(const TriggerRecord& record);
    [[nodiscard]] bool LoadFromStream(CStream& in);
    // Compiles the condition as a program; a failure is reported as fatal, naming the trigger.
    [[nodiscard]] bool Prepare();
};

// The table.
int32_t Trigger_Count();
bool Trigger_Exists(int32_t ind);
CTrigger* Trigger_Get(int32_t ind);
// "<Deleted>" for a slot without a trigger.
std::string Trigger_GetName(int32_t ind);
// The lowest index whose trigger has exactly this constant name, or -1 (always for "").
int32_t Trigger_FindConstant(std::string_view name);
// Appends a trigger (tests); null leaves the slot empty. Answers its index.
int32_t Trigger_Add(std::unique_ptr<CTrigger> trigger);
void Trigger_ClearAll();
// Builds the table from the game data's records; a damaged record leaves the table empty.
[[nodiscard]] bool Trigger_LoadRecords(const std::vector<RawResource>& records);
// Prepares every present trigger in index order; false at the first failure.
[[nodiscard]] bool Trigger_PrepareAll();

// The triggers of one step moment: for each trigger of that moment in index order, each object
// listed for its event and each unmarked instance of exactly that object, the condition with
// the instance as self and other; the event when it yields a real of at least 0.5. A condition
// that fails is reported once per trigger and moment, however many instances it fails for.
void Trigger_Evaluate(int32_t moment);

} // namespace kestrin
