#pragma once
// Time lines: moments, each a step number with an event, that an instance performs as its
// time-line position passes over them. The moments stay sorted by step, so the moments a
// step passes are found by binary search. The time-line table holds the game's time lines.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "world/timeline_record.h"

namespace kestrin {

class CEvent;
class CInstance;
class CStream;
struct RawResource;

class CTimeLine {
public:
    // Events are shared so that a moment being performed outlives its deletion by its own
    // code (the time line cleared, the moment or the whole time line deleted).
    std::vector<std::shared_ptr<CEvent>> s_event;
    std::vector<int32_t> s_step;

    CTimeLine() = default;
    ~CTimeLine();
    CTimeLine(const CTimeLine&) = delete;
    CTimeLine& operator=(const CTimeLine&) = delete;

    void Create() { Clear(); }
    void Clear();
    void Destroy() { Clear(); }
    int32_t Count() const { return static_cast<int32_t>(s_step.size()); }

    // Moments whose steps are out of order are put in order, and moments sharing a step become
    // one moment holding their actions in stored order.
    void Assign(const TimeLineRecord& record);
    [[nodiscard]] bool LoadFromStream(CStream& in);
    // Resolves every action's function (names that resolve to nothing go to `missing`) and
    // compiles every moment in order, naming time line `index` and the moment's step in
    // messages; false at the first failure.
    [[nodiscard]] bool Compile(int32_t index, const std::function<void(const std::string&)>& missing = {});

    // The moment with exactly this step, or -1.
    int32_t Find(int32_t step) const;
    // -1 without moments; the count when every step is below `step`; else the first moment
    // whose step is >= `step`.
    int32_t FindLarger(double step) const;
    // -1 without moments or when every step is above `step`; else the last moment whose step
    // is <= `step`.
    int32_t FindSmaller(double step) const;
    // Inserts an empty moment in its sorted place and answers its index; an existing moment
    // with this step is kept and its index answered.
    int32_t AddMoment(int32_t step);
    void DeleteMoment(int32_t step);
    CEvent* Event(int32_t k) const;
};

// The table: slots in game-data order (a slot may be empty) with their names beside.
bool TimeLine_Exists(int32_t ind);
CTimeLine* TimeLine_Get(int32_t ind);
// "<undefined>" for a slot without a time line.
std::string TimeLine_GetName(int32_t ind);
int32_t TimeLine_Find(std::string_view name);
int32_t TimeLine_Count();
// Appends an empty time line named "__newtimeline" and its index.
int32_t TimeLine_AddNew();
bool TimeLine_Delete(int32_t ind);
void TimeLine_ClearAll();
// Builds the table from the game data's records; a damaged record leaves the table empty.
[[nodiscard]] bool TimeLine_LoadRecords(const std::vector<RawResource>& records);
// Compiles every present time line in index order; false at the first failure.
[[nodiscard]] bool TimeLine_CompileAll(const std::function<void(const std::string&)>& missing = {});

// Adds the moment at `step` when there is none and appends a code action with `code` to it,
// compiled at once; false (nothing added) when the code does not compile. A moment being
// performed receives the action once it has finished.
bool TimeLine_AddCode(int32_t ind, int32_t step, std::string_view code);

// Advances one instance's time line and performs the moments it passes.
void TimeLine_Advance(CInstance& instance);
// The main loop's time-line phase: every unmarked instance of the room in room order.
void TimeLine_AdvanceAll();

} // namespace kestrin
