// Room transitions on the recording device: defined and built-in kinds, the two surfaces and
// their lifetime, the frames shown, and the errors of game-defined kinds.

#include "graphics/graphics_surface.h"
#include "graphics/transition.h"
#include "graphics_fixture.h"
#include "runner/game_variables.h"
#include "script/errors.h"
#include "script/scripts.h"

using namespace kestrin;
using kestrin::testing::GraphicsTest;

namespace {

class Transitions : public GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        ClearScripts();
        Transition_Reset();
        GameValues().transition_steps = 4;
        SetTransitionFrameSink([this](int32_t, int32_t, int32_t frame) { frames_.push_back(frame); });
    }
    void TearDown() override {
        SetTransitionFrameSink(nullptr);
        Transition_Reset();
        ClearScripts();
        GameValues() = GameVariables();
        GraphicsTest::TearDown();
    }
    std::vector<int32_t> frames_;
};

TEST_F(Transitions, DefineAndExists) {
    ASSERT_GE(AddScript("scr_fade", "draw_set_alpha(argument4)"), 0);
    ASSERT_TRUE(CompileScripts());
    EXPECT_EQ(Real("transition_exists", {30}), 0);
    EXPECT_EQ(Call("transition_define", {RValue(30.0), RValue(std::string("scr_fade"))}).val(), 1);
    EXPECT_EQ(Real("transition_exists", {30}), 1);
    EXPECT_TRUE(Transition_IsDefined(30));
    EXPECT_EQ(Call("transition_define", {RValue(31.0), RValue(std::string("no_such_name"))}).val(), 0);
    EXPECT_EQ(Real("transition_exists", {31}), 0);
    // A built-in function is found too (and draws nothing when used).
    EXPECT_EQ(Call("transition_define", {RValue(2000.0), RValue(std::string("draw_clear"))}).val(), 1);
    EXPECT_EQ(Real("transition_exists", {2000}), 1);
    // Kinds outside the table's range are found but not stored.
    EXPECT_EQ(Call("transition_define", {RValue(0.0), RValue(std::string("scr_fade"))}).val(), 1);
    EXPECT_EQ(Call("transition_define", {RValue(1000000.0), RValue(std::string("scr_fade"))}).val(), 1);
    EXPECT_EQ(Real("transition_exists", {1000000}), 0);
    EXPECT_EQ(Real("transition_exists", {0}), 0);
    // The built-in kinds exist without being defined.
    EXPECT_EQ(Real("transition_exists", {1}), 1);
    EXPECT_EQ(Real("transition_exists", {21}), 1);
    EXPECT_EQ(Real("transition_exists", {22}), 0);
    EXPECT_EQ(Real("transition_exists", {-3}), 0);
}

TEST_F(Transitions, FramesBetweenTheTwoSurfaces) {
    Transition_Start(1);
    ASSERT_TRUE(Transition_Pending());
    const int32_t a = Transition_OldSurface(), b = Transition_NewSurface();
    EXPECT_TRUE(Surface_Exists(a));
    EXPECT_TRUE(Surface_Exists(b));
    EXPECT_EQ(Surface_GetWidth(a), 640);
    EXPECT_EQ(Surface_GetHeight(b), 480);
    // The next room's first frame goes into the new-room surface.
    EXPECT_EQ(Surface_CurrentTarget(), b);
    const int32_t presents = device.presents;
    Transition_Run();
    EXPECT_EQ(device.presents - presents, 5);
    EXPECT_EQ(frames_, (std::vector<int32_t>{0, 1, 2, 3, 4}));
    EXPECT_FALSE(Surface_Exists(a));
    EXPECT_FALSE(Surface_Exists(b));
    EXPECT_EQ(Transition_OldSurface(), -1);
    EXPECT_EQ(Surface_CurrentTarget(), -1);
    EXPECT_EQ(device.Target(), 0u);
    EXPECT_EQ(device.LiveTextures(), 0);
}

TEST_F(Transitions, FramesAreDrawnPlainAndTheGameStatesComeBack) {
    RenderState_Set3DMode(true);
    RenderState_SetLighting(true);
    RenderState_SetFog(true, 0x00FF00, 10, 20);
    RenderState_SetBlendMode(1);
    Transition_Start(20);
    device.draws.clear();
    Transition_Run();
    ASSERT_FALSE(device.draws.empty());
    for (const RecordedDraw& d : device.draws) {
        EXPECT_FALSE(d.states.lighting);
        EXPECT_FALSE(d.states.fog);
        EXPECT_FALSE(d.states.z_enable);
        EXPECT_EQ(d.states.dest_blend, BlendFactor::InvSrcAlpha);
    }
    EXPECT_TRUE(device.States().lighting);
    EXPECT_TRUE(device.States().fog);
    EXPECT_TRUE(device.States().z_enable);
    EXPECT_EQ(device.States().dest_blend, BlendFactor::One);
    RenderState_SetFog(false, 0, 0, 1);
    RenderState_SetLighting(false);
    RenderState_SetBlendMode(0);
    RenderState_Set3DMode(false);
}

TEST_F(Transitions, StepsBelowOneShowTwoFrames) {
    for (int32_t steps : {0, -5}) {
        frames_.clear();
        GameValues().transition_steps = steps;
        Transition_Start(20);
        Transition_Run();
        EXPECT_EQ(frames_, (std::vector<int32_t>{0, 1})) << steps;
    }
}

TEST_F(Transitions, WithoutAValidKindTheFrameIsJustPresented) {
    const int32_t presents = device.presents;
    Transition_Start(99);
    EXPECT_FALSE(Transition_Pending());
    Transition_Run();
    EXPECT_EQ(device.presents - presents, 1);
    EXPECT_TRUE(frames_.empty());
    EXPECT_EQ(device.LiveTextures(), 0);
}

TEST_F(Transitions, SurfaceFailuresDropTheTransition) {
    // The old-room surface cannot be made.
    device.fail_next_texture = true;
    Transition_Start(3);
    EXPECT_FALSE(Transition_Pending());
    Transition_Run();
    EXPECT_TRUE(frames_.empty());
    EXPECT_EQ(device.LiveTextures(), 0);
    EXPECT_EQ(device.Target(), 0u);
}

TEST_F(Transitions, DroppedOrRestartedTransitionsFreeTheirSurfaces) {
    Transition_Start(5);
    ASSERT_TRUE(Transition_Pending());
    Transition_Drop();
    EXPECT_FALSE(Transition_Pending());
    EXPECT_EQ(device.LiveTextures(), 0);
    EXPECT_EQ(device.Target(), 0u);
    Transition_Start(5);
    Transition_Start(6); // the room asked for another before the first frame
    EXPECT_EQ(device.LiveTextures(), 2);
    Transition_Run();
    EXPECT_EQ(device.LiveTextures(), 0);
}

// The error window as tests see it: every text shown, never an abort.
class ShownErrors : public ErrorWindow {
public:
    bool Show(std::string_view text, bool) override {
        texts.emplace_back(text);
        return false;
    }
    std::vector<std::string> texts;
};

TEST_F(Transitions, DefinedKindsCallTheirScriptEachFrame) {
    // The arguments: surfaces, region size and fraction; at the last frame 1/2 + 640/1280 - 1/4.
    ASSERT_GE(AddScript("scr_t", "draw_set_alpha(argument4 / 2 + argument2 / 1280 - argument3 / 1920)"), 0);
    ASSERT_GE(AddScript("scr_bad", "return undefined_variable_here"), 0);
    ASSERT_TRUE(CompileScripts()) << LastCodeError();
    ASSERT_TRUE(Transition_Define(40, "scr_t"));
    ASSERT_TRUE(Transition_Define(41, "scr_bad"));
    // A defined kind in 1..21 takes precedence over the built-in one.
    ASSERT_TRUE(Transition_Define(2, "scr_t"));
    GameValues().transition_steps = 2;
    ShownErrors shown;
    SetErrorWindow(&shown);
    for (int32_t kind : {40, 2}) {
        Draw_SetAlpha(0);
        Transition_Start(kind);
        Transition_Run();
        EXPECT_DOUBLE_EQ(Draw_GetAlpha(), 0.75) << kind;
    }
    EXPECT_TRUE(shown.texts.empty());
    Transition_Start(41);
    Transition_Run();
    SetErrorWindow(nullptr);
    Draw_SetAlpha(1);
    // One error a frame, and every frame still runs.
    ASSERT_EQ(shown.texts.size(), 3u);
    EXPECT_EQ(shown.texts[0].rfind("ERROR in transition function scr_bad\r", 0), 0u) << shown.texts[0];
    EXPECT_EQ(frames_.size(), 9u);
    EXPECT_EQ(device.LiveTextures(), 0);
}

} // namespace
