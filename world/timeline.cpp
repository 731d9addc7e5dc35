#include "world/timeline.h"

#include <algorithm>
#include <map>
#include <utility>

#include "base/stream.h"
#include "runner/event_dispatch.h"
#include "runner/game_data.h"
#include "runner/game_world.h"
#include "runner/instance.h"
#include "runner/messages.h"
#include "runner/object.h"
#include "runner/room.h"
#include "script/errors.h"

namespace kestrin {

namespace {

struct Slot {
    std::string name;
    std::shared_ptr<CTimeLine> timeline;
};
std::vector<Slot> g_timelines;

// The moment events being performed (innermost last), and the code actions added to one of
// them meanwhile: appending to an action list the interpreter is walking would move the
// action under it, so those wait until the moment has finished.
std::vector<const CEvent*> g_running;
std::vector<std::pair<std::shared_ptr<CEvent>, CAction>> g_waiting;

bool Running(const CEvent* event) {
    return std::find(g_running.begin(), g_running.end(), event) != g_running.end();
}

void AppendWaiting() {
    for (size_t i = 0; i < g_waiting.size();) {
        if (Running(g_waiting[i].first.get())) {
            ++i;
            continue;
        }
        g_waiting[i].first->e_actions.push_back(std::move(g_waiting[i].second));
        g_waiting.erase(g_waiting.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

} // namespace

CTimeLine::~CTimeLine() = default;

void CTimeLine::Clear() {
    s_event.clear();
    s_step.clear();
}

void CTimeLine::Assign(const TimeLineRecord& record) {
    Clear();
    // Data written by other tools may list moments out of order or repeat a step; the binary
    // searches need strictly increasing steps, and no action is dropped.
    std::map<int32_t, std::shared_ptr<CEvent>> byStep;
    for (const TimeLineRecord::Moment& moment : record.moments) {
        auto& event = byStep[moment.step];
        CEvent part;
        part.Assign(moment.event);
        if (!event) {
            event = std::make_shared<CEvent>(std::move(part));
        } else {
            for (CAction& action : part.e_actions) event->e_actions.push_back(std::move(action));
        }
    }
    for (auto& [step, event] : byStep) {
        s_step.push_back(step);
        s_event.push_back(std::move(event));
    }
}

bool CTimeLine::LoadFromStream(CStream& in) {
    TimeLineRecord record;
    if (!record.LoadFromStream(in)) return false;
    Assign(record);
    return true;
}

bool CTimeLine::Compile(int32_t index, const std::function<void(const std::string&)>& missing) {
    for (size_t k = 0; k < s_event.size(); ++k) {
        CEvent& event = *s_event[k];
        for (CAction& action : event.e_actions) {
            action.ResolveFunction();
            if (action.act_exetype == kExecuteFunction && action.act_functionid < 0 && missing)
                missing(msg::kMissingActionFunction + action.act_functionname);
        }
        EventScope scope({true, kTimeLineEventType, s_step[k], index, 0});
        if (!event.Compile()) return false;
    }
    return true;
}

int32_t CTimeLine::Find(int32_t step) const {
    const auto it = std::lower_bound(s_step.begin(), s_step.end(), step);
    return it != s_step.end() && *it == step ? static_cast<int32_t>(it - s_step.begin()) : -1;
}

int32_t CTimeLine::FindLarger(double step) const {
    if (s_step.empty()) return -1;
    const auto it =
        std::lower_bound(s_step.begin(), s_step.end(), step, [](int32_t s, double v) { return s < v; });
    return static_cast<int32_t>(it - s_step.begin());
}

int32_t CTimeLine::FindSmaller(double step) const {
    if (s_step.empty()) return -1;
    const auto it =
        std::upper_bound(s_step.begin(), s_step.end(), step, [](double v, int32_t s) { return v < s; });
    return static_cast<int32_t>(it - s_step.begin()) - 1;
}

int32_t CTimeLine::AddMoment(int32_t step) {
    const auto it = std::lower_bound(s_step.begin(), s_step.end(), step);
    const auto k = it - s_step.begin();
    if (it != s_step.end() && *it == step) return static_cast<int32_t>(k);
    s_step.insert(it, step);
    s_event.insert(s_event.begin() + k, std::make_shared<CEvent>());
    return static_cast<int32_t>(k);
}

void CTimeLine::DeleteMoment(int32_t step) {
    const int32_t k = Find(step);
    if (k < 0) return;
    s_step.erase(s_step.begin() + k);
    s_event.erase(s_event.begin() + k);
}

CEvent* CTimeLine::Event(int32_t k) const {
    return k >= 0 && k < Count() ? s_event[static_cast<size_t>(k)].get() : nullptr;
}

// ---- The table ----

bool TimeLine_Exists(int32_t ind) {
    return TimeLine_Get(ind) != nullptr;
}

CTimeLine* TimeLine_Get(int32_t ind) {
    return ind >= 0 && ind < TimeLine_Count() ? g_timelines[static_cast<size_t>(ind)].timeline.get()
                                              : nullptr;
}

std::string TimeLine_GetName(int32_t ind) {
    return TimeLine_Exists(ind) ? g_timelines[static_cast<size_t>(ind)].name : std::string("<undefined>");
}

int32_t TimeLine_Find(std::string_view name) {
    for (int32_t i = 0; i < TimeLine_Count(); ++i) {
        const Slot& slot = g_timelines[static_cast<size_t>(i)];
        if (slot.timeline && slot.name == name) return i;
    }
    return -1;
}

int32_t TimeLine_Count() {
    return static_cast<int32_t>(g_timelines.size());
}

int32_t TimeLine_AddNew() {
    const int32_t ind = TimeLine_Count();
    g_timelines.push_back({"__newtimeline" + std::to_string(ind), std::make_shared<CTimeLine>()});
    return ind;
}

bool TimeLine_Delete(int32_t ind) {
    if (!TimeLine_Exists(ind)) return false;
    g_timelines[static_cast<size_t>(ind)].timeline.reset();
    return true;
}

void TimeLine_ClearAll() {
    g_timelines.clear();
    g_waiting.clear();
}

bool TimeLine_LoadRecords(const std::vector<RawResource>& records) {
    TimeLine_ClearAll();
    for (const RawResource& record : records) {
        Slot& slot = g_timelines.emplace_back();
        if (!record.present) continue;
        slot.name = record.name;
        slot.timeline = std::make_shared<CTimeLine>();
        bool loaded = false;
        try {
            CStream in(record.record);
            loaded = slot.timeline->LoadFromStream(in);
        } catch (const StreamError&) {
            loaded = false;
        }
        if (!loaded) {
            TimeLine_ClearAll();
            return false;
        }
    }
    return true;
}

bool TimeLine_CompileAll(const std::function<void(const std::string&)>& missing) {
    for (int32_t i = 0; i < TimeLine_Count(); ++i)
        if (CTimeLine* timeline = TimeLine_Get(i); timeline && !timeline->Compile(i, missing)) return false;
    return true;
}

bool TimeLine_AddCode(int32_t ind, int32_t step, std::string_view code) {
    CTimeLine* timeline = TimeLine_Get(ind);
    if (!timeline) return false;
    const int32_t k = timeline->AddMoment(step);
    std::shared_ptr<CEvent> event = timeline->s_event[static_cast<size_t>(k)];
    CAction action;
    action.CreateCode(code);
    {
        EventScope scope({true, kTimeLineEventType, step, ind, event->e_number()});
        if (!action.Compile()) return false;
    }
    if (Running(event.get())) {
        g_waiting.emplace_back(std::move(event), std::move(action));
    } else {
        event->e_actions.push_back(std::move(action));
    }
    return true;
}

// ---- Advancing ----

namespace {

bool Requested() {
    return World().room_request != kRequestNone;
}

// `timeline` is a copy of the table's pointer, which a moment may reset.
void Perform(CInstance& instance, int32_t ind, std::shared_ptr<CTimeLine> timeline,
             const std::vector<int32_t>& steps) {
    for (int32_t step : steps) {
        if (Requested()) return;
        // A moment may have deleted or cleared its time line, or moved the moments after it.
        if (TimeLine_Get(ind) != timeline.get()) return;
        const int32_t k = timeline->Find(step);
        if (k < 0) continue;
        const std::shared_ptr<CEvent> event = timeline->s_event[static_cast<size_t>(k)];
        g_running.push_back(event.get());
        RunEvent(&instance, &instance, *event, ind, kTimeLineEventType, step);
        g_running.pop_back();
        AppendWaiting();
    }
}

} // namespace

void TimeLine_Advance(CInstance& instance) {
    const int32_t ind = instance.i_timelineindex;
    if (ind < 0 || !instance.i_timelinerunning || instance.i_timelinespeed == 0) return;
    const CTimeLine* timeline = TimeLine_Get(ind);
    if (!timeline || timeline->Count() == 0) return;
    const double speed = instance.i_timelinespeed;
    double pos = instance.i_timelineposition;
    std::vector<int32_t> steps;
    if (speed > 0) {
        const int32_t first = timeline->FindLarger(pos);
        pos += speed;
        const int32_t past = timeline->FindLarger(pos);
        for (int32_t k = first; k < past; ++k) steps.push_back(timeline->s_step[static_cast<size_t>(k)]);
        if (timeline->s_step.back() < pos && instance.i_timelineloop) pos = 0;
    } else {
        const int32_t first = timeline->FindSmaller(pos);
        pos += speed;
        const int32_t past = timeline->FindSmaller(pos);
        for (int32_t k = first; k > past; --k) steps.push_back(timeline->s_step[static_cast<size_t>(k)]);
        if (pos < 0 && instance.i_timelineloop) pos = timeline->s_step.back();
    }
    // Code in a moment sees the new position.
    instance.i_timelineposition = pos;
    // Held while its moments run, so that one deleting it cannot free it under the others.
    if (!steps.empty()) Perform(instance, ind, g_timelines[static_cast<size_t>(ind)].timeline, steps);
}

void TimeLine_AdvanceAll() {
    CRoom* room = World().Current();
    if (!room) return;
    const size_t count = room->r_instance.size();
    for (size_t i = 0; i < count && i < room->r_instance.size(); ++i) {
        CInstance& instance = *room->r_instance[i];
        if (!instance.i_marked) TimeLine_Advance(instance);
    }
}

} // namespace kestrin
