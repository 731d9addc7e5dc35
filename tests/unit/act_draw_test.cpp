// The drawing and settings actions through the action interpreter, drawn into a recording
// device: relative positions, the life images bounded by what can show, the health bar's
// colours, numbers drawn as text; and the actions that hand over to dialogs, pages and
// resource families.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "graphics/graphics_draw.h"
#include "graphics/graphics_window.h"
#include "graphics/recording_device.h"
#include "graphics/render_state.h"
#include "graphics/sprite.h"
#include "runner/function_file.h"
#include "runner/highscore.h"
#include "script/registry.h"
#include "tests/unit/act_fixture.h"

namespace kestrin {
namespace {

using testing::Act;
using testing::ActionOf;

class ActDrawTest : public testing::ActTest {
protected:
    void SetUp() override {
        ActTest::SetUp();
        GameWindow() = WindowState{};
        ViewMappings() = {};
        Draw_Reset();
        ASSERT_TRUE(RenderState_Init(&device, 640, 480, false));
    }
    void TearDown() override {
        Sprite_ClearAll();
        RenderState_Finish();
        ActTest::TearDown();
    }
    // A sprite of one 8 x 8 frame with its origin at (0, 0).
    static int32_t AddSprite() {
        auto sprite = std::make_unique<CSprite>();
        sprite->i_bitmap = {TBitmap32(8, 8, 0xFFFFFFFFu)};
        sprite->i_numb = 1;
        sprite->InitTexture();
        return Sprite_AddNew(std::move(sprite));
    }
    void RunActs(const std::vector<Act>& acts, int32_t x = 0, int32_t y = 0, const std::string& setup = "") {
        std::vector<ActionRecord> actions;
        if (!setup.empty()) actions.push_back(testing::CodeAction(setup));
        for (const Act& a : acts) actions.push_back(ActionOf(a));
        AddActs("drawer", actions);
        StartRoom({{0, x, y}});
        device.draws.clear();
        Log().clear();
        Perform();
    }
    std::pair<float, float> TopLeft(size_t n) const {
        const auto& v = device.draws[n].vertices;
        float x = v[0].x, y = v[0].y;
        for (const Vertex& p : v) {
            x = std::min(x, p.x);
            y = std::min(y, p.y);
        }
        return {x, y};
    }
    RecordingDevice device{1024, 768};
};

// However many lives there are, only the images that can reach the room are drawn.
TEST_F(ActDrawTest, LifeImagesStopAtWhatCanShow) {
    struct Case {
        int32_t lives;
        size_t draws;
    } cases[] = {{0, 0}, {-5, 0}, {3, 3}, {2000000000, 82}};
    for (const Case& c : cases) {
        Fresh();
        const int32_t sprite = AddSprite();
        RunActs({{"action_draw_life_images", {"0", "0", std::to_string(sprite)}}}, 0, 0,
                "lives = " + std::to_string(c.lives));
        EXPECT_EQ(device.draws.size(), c.draws) << c.lives;
        EXPECT_EQ(TakeShort(), "");
    }
    // Relative: from the caller's position, one image width apart.
    Fresh();
    const int32_t sprite = AddSprite();
    RunActs({{"action_draw_life_images", {"4", "5", std::to_string(sprite)}, true}}, 100, 50, "lives = 2");
    ASSERT_EQ(device.draws.size(), 2u);
    EXPECT_EQ(TopLeft(0), (std::pair<float, float>{103.5f, 54.5f}));
    EXPECT_EQ(TopLeft(1), (std::pair<float, float>{111.5f, 54.5f}));
}

TEST_F(ActDrawTest, SpritesBackgroundsAndErrors) {
    const int32_t sprite = AddSprite();
    RunActs({{"action_draw_sprite", {std::to_string(sprite), "10", "20", "-1"}, true},
             {"action_draw_sprite", {"99", "10", "20", "0"}},
             {"action_draw_background", {"99", "10", "20", "0"}}},
            100, 50);
    ASSERT_EQ(device.draws.size(), 1u);
    EXPECT_EQ(TopLeft(0), (std::pair<float, float>{109.5f, 69.5f}));
    EXPECT_EQ(
        TakeShort(),
        "error: Trying to draw a non-existing sprite. error: Trying to draw a non-existing background.");
}

// The health bar's colour runs red, yellow, lime over 0, 50, 100.
TEST_F(ActDrawTest, HealthBarColours) {
    struct Case {
        double health;
        int32_t back, bar;
        uint32_t colour; // the bar's fill as the device gets it
        size_t draws;
    } cases[] = {
        {100, 0, 0, 0xFF00FF00u, 2},
        {50, 0, 0, 0xFFFFFF00u, 2},
        {0, 0, 0, 0xFFFF0000u, 2},
        // Bar choices from 3 on are the background list's colours one index down: 11 is teal.
        {150, 4, 11, 0xFF008080u, 4},
        {-5, 1, 2, 0xFF000000u, 4},
        {50, 1, 1, 0xFF808080u, 4},
    };
    for (const Case& c : cases) {
        Fresh();
        RunActs(
            {{"action_draw_health", {"0", "0", "100", "10", std::to_string(c.back), std::to_string(c.bar)}}},
            0, 0, "health = " + std::to_string(c.health));
        ASSERT_EQ(device.draws.size(), c.draws) << c.health;
        // The fill comes just before the bar's outline.
        const RecordedDraw& fill = device.draws[c.draws - 2];
        EXPECT_EQ(fill.vertices[0].colour, c.colour) << c.health << " " << c.bar;
    }
}

// The dialog and page actions hand over to their families' built-ins by name; the web page
// goes to the desktop's opener as one argument and never in secure mode.
TEST_F(ActDrawTest, HandOversToOtherFamilies) {
    RunActs({{"action_sound", {"4", "0"}},
             {"action_end_sound", {"4"}},
             {"action_replace_sprite", {"5", "\"x.png\"", "1"}},
             {"action_replace_background", {"5", "\"x.png\""}},
             {"action_replace_sound", {"5", "\"x.wav\""}}});
    EXPECT_EQ(
        TakeShort(),
        "error: Trying to play non-existing sound. error: Trying to stop non-existing sound. error: Trying "
        "to "
        "replace non-existing resource. error: Trying to replace non-existing resource. error: Trying to "
        "replace non-existing resource.");
    const int32_t sprite = AddSprite();
    Fresh();
    (void)sprite;
    const int32_t again = AddSprite();
    RunActs({{"action_replace_sprite", {std::to_string(again), "\"/nonexistent/x.png\"", "1"}}});
    EXPECT_EQ(TakeShort(), "error: File does not exist.");

    Fresh();
    SetShellOpener("/nonexistent/opener");
    RunActs({{"action_webpage", {"\"http://127.0.0.1/\""}}});
    EXPECT_EQ(TakeShort(), "error: Failed to open the webpage.");
    Fresh();
    SetShellOpener("true");
    RunActs({{"action_webpage", {"\"http://127.0.0.1/ ; echo\""}}});
    EXPECT_EQ(TakeShort(), "");
    SetShellOpener("");

    // The high-score action hands its colours and font to the table's window.
    Fresh();
    RunActs({{"action_highscore_show", {"-1", "0", "255", "65280", "\"Arial,14,1\""}}});
    EXPECT_EQ(CurrentHighscoreSettings().new_colour, 255);
    EXPECT_EQ(CurrentHighscoreSettings().other_colour, 65280);
    EXPECT_EQ(CurrentHighscoreSettings().back_colour, HighscoreSettings().back_colour);
    EXPECT_FALSE(CurrentHighscoreSettings().border);
    EXPECT_EQ(CurrentHighscoreSettings().font, "Arial");
    EXPECT_EQ(CurrentHighscoreSettings().font_size, 14);
    EXPECT_EQ(CurrentHighscoreSettings().font_style, 1);
    ResetHighscoreSettings();
}

TEST_F(ActDrawTest, SettingsCursorFullScreenAndSnapshot) {
    const std::string file = ::testing::TempDir() + "act_snapshot.png";
    std::remove(file.c_str());
    RunActs({{"action_set_cursor", {"3", "0"}},
             {"action_fullscreen", {"2"}},
             {"action_snapshot", {"\"" + file + "\""}}});
    EXPECT_EQ(On("string(cursor_sprite) + ' ' + string(window_get_cursor()) + ' ' + "
                 "string(window_get_fullscreen())"),
              "3 -1 1");
    Fresh();
    RunActs({{"action_fullscreen", {"0"}}, {"action_set_cursor", {"-1", "1"}}});
    EXPECT_EQ(On("string(cursor_sprite) + ' ' + string(window_get_cursor()) + ' ' + "
                 "string(window_get_fullscreen())"),
              "-1 0 0");
    std::FILE* saved = std::fopen(file.c_str(), "rb");
    ASSERT_NE(saved, nullptr);
    unsigned char magic[4] = {};
    EXPECT_EQ(std::fread(magic, 1, 4, saved), 4u);
    std::fclose(saved);
    EXPECT_EQ(magic[1], 'P');
    EXPECT_EQ(magic[2], 'N');
    std::remove(file.c_str());
}

TEST_F(ActDrawTest, NumbersDrawnAsText) {
    struct Case {
        const char* value;
        const char* text;
    } cases[] = {{"12", "12"}, {"-3", "-3"}, {"2.5", "2.50"}, {"1 / 3", "0.33"}, {"\"word\"", "word"}};
    for (const Case& c : cases) {
        Fresh();
        RunActs({{"action_draw_variable", {c.value, "0", "0"}}, {"action_draw_score", {"0", "0", "\"S:\""}}});
        const std::string expected = c.text;
        // The drawn text's width follows its length: the same as draw_text of the text itself.
        Fresh();
        RunActs({{"action_draw_text", {"\"" + expected + "\"", "0", "0"}}});
        const size_t direct = device.draws.size();
        Fresh();
        RunActs({{"action_draw_variable", {c.value, "0", "0"}}});
        EXPECT_EQ(device.draws.size(), direct) << c.value;
    }
}

} // namespace
} // namespace kestrin
