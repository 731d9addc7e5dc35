#pragma once
// Shared by the action library tests: objects whose events hold library actions (a function
// named with its arguments as expression texts, the relative flag, applies-to, question and
// not), performed through the action interpreter on instances of a room.

#include <string>
#include <vector>

#include "graphics/particle.h"
#include "tests/unit/run_fixture.h"
#include "world/action_support.h"

namespace kestrin::testing {

struct Act {
    std::string function;
    std::vector<std::string> args; // expression texts
    bool relative = false;
    int32_t who = -1;
    bool question = false;
    bool isnot = false;
    bool offers_relative = true;
};

inline ActionRecord ActionOf(const Act& act) {
    ActionRecord a;
    a.exetype = kExecuteFunction;
    a.function = act.function;
    a.argumentcount = static_cast<int32_t>(act.args.size());
    a.argtypes.assign(act.args.size(), 0);
    a.args = act.args;
    a.userelative = act.offers_relative;
    a.relative = act.relative;
    a.useapplyto = act.who != -1;
    a.who = act.who;
    a.isquestion = act.question;
    a.isnot = act.isnot;
    return a;
}

class ActTest : public RunTest {
protected:
    // Adds an object whose functions are resolved, then compiles it.
    int32_t AddResolved(std::string_view name, const ObjectRecord& record) {
        auto object = std::make_unique<CObject>();
        object->Assign(record);
        const int32_t index = Objects().Add(name, std::move(object));
        Objects().Get(index)->ResolveFunctions(
            [](const std::string& missing) { ADD_FAILURE() << "no function " << missing; });
        EXPECT_TRUE(Objects().Get(index)->Compile(index)) << LastCodeError();
        return index;
    }
    // An object whose user event 0 holds the actions (and more code events).
    int32_t AddActs(std::string_view name, const std::vector<ActionRecord>& actions,
                    std::vector<EventCode> more = {}, int32_t parent = -1) {
        ObjectRecord o = ObjectWith(more, parent);
        EventRecord& e = o.events[ev_other].emplace_back();
        e.number = ev_user0;
        e.actions = actions;
        return AddResolved(name, o);
    }
    // Performs user event 0 of the room's first instance.
    void Perform() { PerformEvent(Nth(0), Nth(0), ev_other, ev_user0); }
    // Code run on the first instance, its result as text (reals without trailing zeros).
    std::string On(const std::string& code) { return Eval("return string(" + code + ")", Nth(0)); }
    // The log with each error cut to its message (the lines naming the action go).
    std::string TakeShort() {
        std::string out;
        for (std::string line : Log()) {
            if (line.rfind("error: ", 0) == 0) {
                const size_t cut = line.rfind("\r\n");
                if (cut != std::string::npos) line = "error: " + line.substr(cut + 2);
            }
            out += (out.empty() ? "" : " ") + line;
        }
        Log().clear();
        return out;
    }
    // Between the cases of a table.
    void Fresh() {
        Objects().Clear();
        World().Clear();
        GameValues() = GameVariables();
        ResetActionState();
        Particle_ClearAll();
        Log().clear();
    }
};

} // namespace kestrin::testing
