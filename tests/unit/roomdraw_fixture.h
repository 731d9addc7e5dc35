#pragma once
// Room drawing tests: a running room entered through the world, a recording device, named
// backgrounds whose textures identify what was drawn, and the error messages captured.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "graphics/background.h"
#include "graphics/render_state.h"
#include "graphics/graphics_draw.h"
#include "graphics/graphics_texture.h"
#include "graphics/graphics_window.h"
#include "graphics/recording_device.h"
#include "graphics/room_draw.h"
#include "runner/game_variables.h"
#include "script/registry.h"
#include "script/run_error.h"
#include "tests/unit/world_fixture.h"

namespace kestrin::testing {

class RoomDrawTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        (void)FindFunction("draw_set_color");
        errors().clear();
        previous_ = SetRunErrorSink([](std::string_view m, bool) { errors().emplace_back(m); });
        GameWindow() = WindowState{};
        ViewMappings() = {};
        GameValues() = GameVariables{};
        Draw_Reset();
        SetRoomParticleSource({});
        InstallRoomDrawing();
        Background_ClearAll();
        RenderState_Set3DMode(false);
        ASSERT_TRUE(RenderState_Init(&device, 640, 480, false));
        auto room = std::make_unique<CRoom>();
        room->r_showcolor = false;
        World().AddRoom("room", std::move(room));
        World().RoomOrder().push_back(0);
        World().EnterRoom(0, false);
        ASSERT_NE(World().Current(), nullptr);
        device.draws.clear();
        device.clears.clear();
    }
    void TearDown() override {
        SetRoomParticleSource({});
        Background_ClearAll();
        RenderState_Finish();
        SetRunErrorSink(previous_);
        WorldTest::TearDown();
    }

    static std::vector<std::string>& errors() {
        static std::vector<std::string> e;
        return e;
    }

    CRoom& Room() { return *World().Current(); }

    // A 16 × 16 background whose draws read back as `name`.
    int32_t Back(const std::string& name, int32_t w = 16, int32_t h = 16) {
        auto b = std::make_unique<CBackground>();
        b->CreateColor(w, h, 0xFFFFFF);
        b->InitTexture();
        const DeviceTexture tex = GR_Texture_Get(b->GetTexture())->tex;
        names_[tex] = name;
        return Background_AddNew(std::move(b));
    }
    // The names of the backgrounds drawn, in order.
    std::string Drawn() const {
        std::string out;
        for (const RecordedDraw& d : device.draws) {
            auto it = names_.find(d.texture);
            out += (out.empty() ? "" : " ") + (it == names_.end() ? std::string("?") : it->second);
        }
        return out;
    }

    // The first corners of draw k.
    std::vector<std::pair<float, float>> Points(size_t k) const {
        std::vector<std::pair<float, float>> out;
        if (k < device.draws.size())
            for (const Vertex& v : device.draws[k].vertices) out.emplace_back(v.x, v.y);
        return out;
    }

    RTile& AddTile(int32_t back, double x, double y, double depth) {
        RTile t;
        t.index = back;
        t.w = t.h = 16;
        t.x = x;
        t.y = y;
        t.depth = depth;
        const int32_t ind = Room().AddTile(t);
        return Room().r_tile[size_t(ind)];
    }
    // An instance whose draw event draws background `back` at its position.
    CInstance* AddDrawing(int32_t back, double depth, double x = 0, double y = 0) {
        const int32_t object =
            AddObject("o" + std::to_string(Objects().Count()),
                      ObjectWith({{ev_draw, 0, "draw_background(" + std::to_string(back) + ", x, y)"}}));
        CInstance* instance = Room().AddInstance(x, y, object);
        instance->i_depth = depth;
        return instance;
    }

    RecordingDevice device{1024, 768};
    RunErrorSink previous_ = nullptr;
    std::map<DeviceTexture, std::string> names_;
};

} // namespace kestrin::testing
