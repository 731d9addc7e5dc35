#pragma once
// Graphics tests draw into a recording device: a fresh device, state and texture table per
// test, built-ins called through the registry, their error messages captured.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "graphics/background.h"
#include "graphics/render_state.h"
#include "graphics/graphics_draw.h"
#include "graphics/graphics_surface.h"
#include "graphics/graphics_texture.h"
#include "graphics/graphics_window.h"
#include "graphics/recording_device.h"
#include "script/registry.h"
#include "script/run_error.h"
#include "script/value.h"

namespace kestrin::testing {

class GraphicsTest : public ::testing::Test {
protected:
    void SetUp() override {
        errors().clear();
        // The first lookup registers the built-ins, which installs the error path's own sink.
        (void)FindFunction("draw_set_color");
        previous_ = SetRunErrorSink([](std::string_view m, bool) { errors().emplace_back(m); });
        GameWindow() = WindowState{};
        ViewMappings() = {};
        Draw_Reset();
        RenderState_Set3DMode(false);
        RenderState_SetBlendMode(0);
        RenderState_SetTextureRepeat(false);
        ASSERT_TRUE(RenderState_Init(&device, 640, 480, false));
        device.draws.clear();
        device.clears.clear();
    }
    void TearDown() override {
        Background_ClearAll();
        RenderState_Finish();
        SetRunErrorSink(previous_);
    }

    static std::vector<std::string>& errors() {
        static std::vector<std::string> e;
        return e;
    }

    // Calls a built-in by name with real arguments.
    RValue Call(const char* name, std::initializer_list<RValue> args = {}) {
        const int32_t index = FindFunction(name);
        EXPECT_GE(index, 0) << name;
        if (index < 0) return RValue();
        RValue slots[16];
        int32_t n = 0;
        for (const RValue& a : args) slots[n++] = a;
        const int32_t expected = FunctionArgCount(index);
        EXPECT_TRUE(expected < 0 || expected == n) << name << " takes " << expected;
        RValue result;
        FunctionRoutine(index)(nullptr, nullptr, n, slots, result);
        return result;
    }
    double Real(const char* name, std::initializer_list<double> args = {}) {
        std::vector<RValue> v;
        for (double a : args) v.emplace_back(a);
        const int32_t index = FindFunction(name);
        EXPECT_GE(index, 0) << name;
        if (index < 0) return 0;
        RValue slots[16];
        for (size_t i = 0; i < v.size(); ++i) slots[i] = v[i];
        RValue result;
        FunctionRoutine(index)(nullptr, nullptr, int32_t(v.size()), slots, result);
        return result.val();
    }

    // Positions of a draw's vertices as (x, y) pairs.
    static std::vector<std::pair<float, float>> Points(const RecordedDraw& d) {
        std::vector<std::pair<float, float>> out;
        for (const Vertex& v : d.vertices) out.emplace_back(v.x, v.y);
        return out;
    }

    RecordingDevice device{1024, 768};
    RunErrorSink previous_ = nullptr;
};

} // namespace kestrin::testing
