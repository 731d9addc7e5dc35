#pragma once
// Shared by the run tests: the world fixture with event dispatch installed, rooms made of
// instances, action lists written in a short notation, code run on an instance, and a main
// loop on a simulated clock.

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "game/compose.h"
#include "runner/event_dispatch.h"
#include "runner/game_variables.h"
#include "runner/input_state.h"
#include "runner/main_loop.h"
#include "script/interpreter.h"
#include "tests/unit/world_fixture.h"

namespace kestrin::testing {

inline std::string Say(const std::string& what) {
    return "show_debug_message(\"" + what + "\")";
}

// Actions in a short notation, separated by spaces:
//   Pa      code action printing "a"        {  }   begin / end block
//   Q1 Q0   question answering true / false  N1    question answering true, inverted
//   E       else                             X     exit
//   R3      repeat 3 times
inline std::vector<ActionRecord> Actions(const std::string& notation) {
    std::vector<ActionRecord> out;
    std::istringstream in(notation);
    std::string word;
    while (in >> word) {
        ActionRecord a;
        const std::string rest = word.substr(1);
        switch (word[0]) {
        case 'P':
            a = CodeAction(Say(rest));
            break;
        case '{':
            a.kind = kActionBegin;
            break;
        case '}':
            a.kind = kActionEnd;
            break;
        case 'E':
            a.kind = kActionElse;
            break;
        case 'X':
            a.kind = kActionExit;
            break;
        case 'R':
            a.kind = kActionRepeat;
            a.argumentcount = 1;
            a.argtypes = {0};
            a.args = {rest};
            break;
        case 'Q':
        case 'N':
            a.exetype = kExecuteCode;
            a.isquestion = true;
            a.isnot = word[0] == 'N';
            a.code = "return " + rest;
            break;
        default:
            ADD_FAILURE() << "bad action " << word;
        }
        out.push_back(std::move(a));
    }
    return out;
}

class RunTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        World().hooks.reset_game_variables = ResetGameVariables;
        SetDispatchHooks({});
        SetInstanceSpriteHooks({});
        CurrentInput().Clear();
        GameValues() = GameVariables();
    }
    void TearDown() override {
        loop_.reset();
        SetInstanceSpriteHooks({});
        SetDispatchHooks({});
        WorldTest::TearDown();
    }

    // An object whose event (type, number) holds the given actions.
    int32_t AddActionObject(std::string_view name, int32_t type, int32_t number,
                            std::vector<ActionRecord> actions, std::vector<EventCode> more = {}) {
        ObjectRecord o = ObjectWith(more);
        EventRecord& e = o.events[static_cast<size_t>(type)].emplace_back();
        e.number = number;
        e.actions = std::move(actions);
        return AddObject(name, o);
    }

    struct Placed {
        int32_t object;
        int32_t x = 0, y = 0;
    };
    // One room holding the instances, entered at once.
    void StartRoom(const std::vector<Placed>& instances, int32_t width = 640, int32_t height = 480) {
        RoomRecord r;
        r.width = width;
        r.height = height;
        int32_t id = 100001;
        for (const Placed& p : instances) {
            RoomRecord::Instance i;
            i.object = p.object;
            i.x = p.x;
            i.y = p.y;
            i.id = id++;
            r.instances.push_back(i);
        }
        auto room = std::make_unique<CRoom>();
        room->Assign(r);
        World().RoomOrder().push_back(World().AddRoom("room", std::move(room)));
        World().StartGame();
    }

    CInstance* Nth(size_t n) {
        CRoom* room = World().Current();
        return room && n < room->r_instance.size() ? room->r_instance[n].get() : nullptr;
    }

    // Runs code with the instance as self and other; the result, or "error: ..." text.
    std::string Eval(const std::string& text, CInstance* self = nullptr) {
        CCode code(text, false);
        if (!code.Compile()) {
            std::string e = LastCodeError();
            ClearCodeError();
            return "compile error: " + e;
        }
        RValue result;
        if (!RunCode(self, self, code, result)) {
            std::string e = LastCodeError();
            ClearCodeError();
            return "error: " + e;
        }
        return result.IsString() ? std::string(result.str()) : std::to_string(result.val());
    }

    MainLoop& Loop() {
        if (!loop_) loop_ = std::make_unique<MainLoop>(clock_, CurrentInput(), platform_);
        return *loop_;
    }

    std::string Take() {
        std::string out = Joined();
        Log().clear();
        return out;
    }

    SimulatedStepClock clock_;
    InputPlatform platform_;
    std::unique_ptr<MainLoop> loop_;
};

// A 16 x 16 box at each instance's position, standing in for sprites.
inline bool SquareBox(const CInstance& instance, RBox& box) {
    box.left = static_cast<int32_t>(instance.i_x);
    box.top = static_cast<int32_t>(instance.i_y);
    box.right = box.left + 15;
    box.bottom = box.top + 15;
    return true;
}

} // namespace kestrin::testing
