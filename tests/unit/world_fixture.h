#pragma once
// Shared by the world tests: a clean object table, world and script state for every test,
// objects made from (type, number, code) lists, and a log of what ran, in order, taken from
// show_debug_message and from the errors reported.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "game/compose.h"
#include "runner/game_world.h"
#include "runner/object.h"
#include "runner/room.h"
#include "script/function_script.h"
#include "script/constants.h"
#include "script/errors.h"
#include "script/scripts.h"
#include "script/variable_list.h"
#include "script/variables.h"

namespace kestrin::testing {

struct EventCode {
    int32_t type;
    int32_t number;
    std::string code;
};

inline ActionRecord CodeAction(std::string code) {
    ActionRecord a;
    a.kind = kActionCode;
    a.exetype = kExecuteCode;
    a.argumentcount = 1;
    a.argtypes = {1};
    a.args = {std::move(code)};
    return a;
}

inline ObjectRecord ObjectWith(const std::vector<EventCode>& events, int32_t parent = -1) {
    ObjectRecord o;
    o.parent = parent;
    for (const EventCode& e : events) {
        EventRecord& r = o.events[static_cast<size_t>(e.type)].emplace_back();
        r.number = e.number;
        if (!e.code.empty()) r.actions.push_back(CodeAction(e.code));
    }
    return o;
}

class WorldTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetModuleStates();
        World().hooks = {};
        World().create_event_first = false;
        World().library_init_code.clear();
        SetEventPerformer(nullptr);
        SetUnknownVariablesReadAsZero(false);
        SetResourceNameLookup(nullptr);
        SetErrorOptions({false, false, false});
        ErrorHooks hooks;
        hooks.trace = [](std::string_view line) { Log().push_back("error: " + std::string(line)); };
        hooks.abort_game = [] { World().room_request = kRequestAbort; };
        NameResourcesInErrors(hooks);
        SetErrorHooks(std::move(hooks));
        InstallErrorPath();
        Log().clear();
        previousSink_ = SetDebugMessageSink([](std::string_view text) { Log().emplace_back(text); });
    }
    void TearDown() override {
        SetDebugMessageSink(previousSink_);
        SetInstanceWorld(nullptr);
        World().Clear();
        Objects().Clear();
        SetErrorHooks({});
        SetErrorOptions({});
        ClearScripts();
        // Later tests in the same process start from the composed game again.
        ComposeGame();
    }

    static std::vector<std::string>& Log() {
        static std::vector<std::string> lines;
        return lines;
    }
    static std::string Joined() {
        std::string out;
        for (const std::string& line : Log()) out += (out.empty() ? "" : " ") + line;
        return out;
    }

    // Adds an object and compiles it; answers its index.
    int32_t AddObject(std::string_view name, const ObjectRecord& record) {
        auto object = std::make_unique<CObject>();
        object->Assign(record);
        const int32_t index = Objects().Add(name, std::move(object));
        EXPECT_TRUE(Objects().Get(index)->Compile(index)) << LastCodeError();
        return index;
    }

private:
    DebugMessageSink previousSink_ = nullptr;
};

} // namespace kestrin::testing
