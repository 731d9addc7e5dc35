// Splash screens without a GPU: the close rules and placements as a table, the built-ins'
// settings and messages, the one line each prints headless, secure mode and web addresses,
// the game information (show_info, load_info, F1), and which splashes hold the game: one
// inside the game window or a modal one stops the steps and takes the input, one beside the
// running game does neither.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "base/bitmap32.h"
#include "files_fixture.h"
#include "graphics/splash_view.h"
#include "runner/game_data.h"
#include "runner/input_state.h"
#include "runner/splash.h"
#include "world/function_splash.h"

namespace kestrin {
namespace {

TEST(SplashModel, CloseRules) {
    struct Case {
        const char* name;
        bool stop_key, stop_mouse, close_button;
        int64_t delay;
        char event; // k: key (value), c: click at (x, y), t: time (value), v: video end (value = loop)
        double value, y;
        bool closes;
    };
    // The panel is 100 x 50 at (10, 20); its close button is at (86..106, 24..44).
    const Case cases[] = {
        {"Escape with stop-key", true, true, true, 0, 'k', 27, 0, true},
        {"Escape without stop-key", false, true, true, 0, 'k', 27, 0, false},
        {"another key", true, true, true, 0, 'k', 65, 0, false},
        {"the window's close request", false, false, false, 0, 'k', 0, 0, true},
        {"click on the panel", true, true, true, 0, 'c', 30, 40, true},
        {"click on the panel without stop-mouse", true, false, true, 0, 'c', 30, 40, false},
        {"click outside the panel", true, true, true, 0, 'c', 5, 5, false},
        {"close button", true, false, true, 0, 'c', 90, 30, true},
        {"hidden close button", true, false, false, 0, 'c', 90, 30, false},
        {"timer not yet", true, true, true, 500, 't', 499, 0, false},
        {"timer", true, true, true, 500, 't', 500, 0, true},
        {"no timer", true, true, true, 0, 't', 1e9, 0, false},
        {"video ends", true, true, true, 0, 'v', 0, 0, true},
        {"looping video ends", true, true, true, 0, 'v', 1, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SplashSettings s;
        s.stop_key = c.stop_key;
        s.stop_mouse = c.stop_mouse;
        s.close_button = c.close_button;
        SplashCloser closer(s, {10, 20, 100, 50}, c.delay);
        bool closed = false;
        switch (c.event) {
        case 'k':
            closed = closer.Key(int32_t(c.value));
            break;
        case 'c':
            closed = closer.Click(c.value, c.y);
            break;
        case 't':
            closed = closer.Time(int64_t(c.value));
            break;
        default:
            closed = closer.VideoEnded(c.value != 0);
            break;
        }
        EXPECT_EQ(closed, c.closes);
        EXPECT_EQ(closer.Closed(), c.closes);
    }
}

TEST(SplashModel, PlacementAndModes) {
    SplashSettings s; // inside the game window
    EXPECT_EQ(PlaceSplashPanel(s, 800, 600, 100, 50), (SplashRect{0, 0, 800, 600}));
    EXPECT_EQ(SplashModeOf(s), SplashMode::Inside);
    s.main = false;
    EXPECT_EQ(SplashModeOf(s), SplashMode::Modal);
    // Adapt takes the item's size (scaled by a positive scale); -1 centres on that axis.
    EXPECT_EQ(PlaceSplashPanel(s, 800, 600, 100, 50), (SplashRect{350, 275, 100, 50}));
    s.scale = 2;
    s.x = 5;
    EXPECT_EQ(PlaceSplashPanel(s, 800, 600, 100, 50), (SplashRect{5, 250, 200, 100}));
    s.adapt = false;
    EXPECT_EQ(PlaceSplashPanel(s, 800, 600, 100, 50), (SplashRect{5, 60, 640, 480}));
    s.full_screen = true;
    EXPECT_EQ(PlaceSplashPanel(s, 800, 600, 100, 50), (SplashRect{0, 0, 800, 600}));
    s.interrupt = false;
    s.full_screen = false;
    EXPECT_EQ(SplashModeOf(s), SplashMode::Free);
    EXPECT_FALSE(SplashHoldsGame(SplashMode::Free));
    EXPECT_TRUE(SplashHoldsGame(SplashMode::Modal));
    // Items fit the panel keeping their shape, or follow a positive scale, centred.
    const SplashRect panel{0, 0, 400, 300};
    EXPECT_EQ(PlaceSplashItem(panel, -1, 100, 50), (SplashRect{0, 50, 400, 200}));
    EXPECT_EQ(PlaceSplashItem(panel, 0, 30, 60), (SplashRect{125, 0, 150, 300}));
    EXPECT_EQ(PlaceSplashItem(panel, 0.5, 100, 50), (SplashRect{175, 137.5, 50, 25}));
    EXPECT_EQ(PlaceSplashItem(panel, -1, 0, 0).w, 0); // text has no size of its own
}

// Pictures of one colour each, every half second.
class ColourVideo final : public VideoSource {
public:
    explicit ColourVideo(std::vector<TColor32> colours) : colours_(std::move(colours)) {}
    int32_t Width() const override { return 2; }
    int32_t Height() const override { return 2; }
    bool NextFrame(TBitmap32& frame, double& seconds) override {
        if (next_ >= colours_.size()) return false;
        (void)frame.Resize(2, 2, colours_[next_]);
        seconds = 0.5 * double(next_++);
        return true;
    }
    bool Rewind() override {
        next_ = 0;
        return true;
    }
    std::vector<float> DecodeAudio(int32_t) override { return {}; }

private:
    std::vector<TColor32> colours_;
    size_t next_ = 0;
};

TEST(SplashModel, VideoShowsThePictureDueAndEnds) {
    SplashVideo video(std::make_unique<ColourVideo>(std::vector<TColor32>{1, 2, 3}));
    struct Step {
        double seconds;
        bool goes_on;
        TColor32 shown;
    };
    // The picture decoded ahead of its time is not the one shown.
    const Step steps[] = {{0.1, true, 1}, {0.49, true, 1}, {0.5, true, 2}, {0.9, true, 2}, {1.2, false, 3}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.seconds);
        EXPECT_EQ(video.Advance(s.seconds), s.goes_on);
        EXPECT_EQ(video.Picture().GetPixel(1, 1), s.shown);
    }
    ASSERT_TRUE(video.Restart());
    EXPECT_TRUE(video.Advance(0));
    EXPECT_EQ(video.Picture().GetPixel(0, 0), 1u);
    // A slow frame skips the pictures it passed over.
    EXPECT_FALSE(video.Advance(5));
    EXPECT_EQ(video.Picture().GetPixel(0, 0), 3u);
}

class SplashFunctions : public testing::FilesTest {
protected:
    void SetUp() override {
        FilesTest::SetUp();
        ResetSplashModule();
        SetSplashHeadless(true);
        CurrentInput().Clear();
    }
    void TearDown() override {
        ResetSplashModule();
        SetSplashHeadless(true);
        CurrentInput().Clear();
        FilesTest::TearDown();
    }
    // What the call printed to standard error, with the errors it reported after " ! ".
    std::string Printed(std::string_view code) {
        ::testing::internal::CaptureStderr();
        const std::string text = Text(code);
        std::string printed = ::testing::internal::GetCapturedStderr();
        if (!printed.empty() && printed.back() == '\n') printed.pop_back();
        const size_t bang = text.find(" ! ");
        return bang == std::string::npos ? printed : printed + text.substr(bang);
    }
    void WriteImage(const std::string& name, int w, int h) {
        TBitmap32 image(w, h, 0xFF112233u);
        ASSERT_TRUE(image.SaveToImageFile((game_ / name).string()));
    }
};

TEST_F(SplashFunctions, SettingsRoundTheirBooleans) {
    const SplashSettings& s = CurrentSplashSettings();
    EXPECT_TRUE(s.main && s.interrupt && s.stop_key && s.stop_mouse && s.close_button && s.adapt);
    Text("splash_set_main(0.6)");
    EXPECT_TRUE(s.main);
    Text("splash_set_main(0.5)"); // rounds to 0
    EXPECT_FALSE(s.main);
    Text("splash_set_stop_key(1.4)");
    EXPECT_TRUE(s.stop_key);
    Text("splash_set_stop_mouse(-3)");
    EXPECT_FALSE(s.stop_mouse);
    Text("splash_set_size(320.4, 200.6)");
    Text("splash_set_position(-1, 30)");
    Text("splash_set_color(255)");
    Text("splash_set_scale(1.5)");
    Text("splash_set_caption(\"Intro\")");
    EXPECT_EQ(s.width, 320);
    EXPECT_EQ(s.height, 201);
    EXPECT_EQ(s.x, -1);
    EXPECT_EQ(s.y, 30);
    EXPECT_EQ(s.colour, 255);
    EXPECT_DOUBLE_EQ(s.scale, 1.5);
    EXPECT_EQ(s.caption, "Intro");
    // show_text sets full screen, show-inside and the colour as it goes.
    Write(game_ / "a.txt", "hello");
    Printed("show_text(\"a.txt\", true, 65280, 0)");
    EXPECT_TRUE(s.full_screen);
    EXPECT_FALSE(s.main);
    EXPECT_EQ(s.colour, 65280);
    Printed("show_image(\"missing.png\", false, 0)");
    EXPECT_FALSE(s.full_screen);
    EXPECT_TRUE(s.main);
}

TEST_F(SplashFunctions, HeadlessLinesAndMessages) {
    WriteImage("title.png", 4, 3);
    Write(game_ / "story.rtf", R"({\rtf1 Once\par upon a {\b time}\par})");
    EXPECT_EQ(Printed("splash_show_image(\"title.png\", 1500)"),
              "splash image: title.png (4x3) (closes after 1500 ms)");
    EXPECT_EQ(Printed("show_image(\"title.png\", 1, 0)"), "splash image: title.png (4x3) (until closed)");
    EXPECT_EQ(Printed("splash_show_text(\"story.rtf\", 0)"),
              "splash text: story.rtf (until closed): Once / upon a time");
    EXPECT_EQ(Printed("splash_show_web(\"https://127.0.0.1/page\", 10)"),
              "splash web: would open https://127.0.0.1/page (closes after 10 ms)");
    struct Case {
        const char* code;
        const char* message;
    };
    const std::string longName = "\"" + std::string(127, 'v') + "\"";
    const Case failures[] = {
        {"splash_show_image(\"missing.png\", 0)", "Image file not found."},
        {"splash_show_image(\"story.rtf\", 0)", "Image file not found."}, // not an image
        {"splash_show_text(\"missing.rtf\", 0)", "Text file not found."},
        {"show_text(\"\", 0, 0, 0)", "Text file not found."},
        {"splash_show_video(\"missing.avi\", 0)", "Video file not found (or name too long)."},
        {"show_video(\"missing.mkv\", 1, 1)", "Video file not found (or name too long)."},
        {"splash_show_web(\"\", 0)", "Web page not found."},
        // The opener would read these as options or as more than one address.
        {"splash_show_web(\"--help\", 0)", "Web page not found."},
        {"splash_show_web(\"http://x\" + chr(10) + \"-y\", 0)", "Web page not found."},
    };
    for (const Case& c : failures) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(Printed(c.code), std::string(" ! ") + c.message);
    }
    Write(game_ / std::string(127, 'v'), "x");
    EXPECT_EQ(Printed("splash_show_video(" + longName + ", 0)"),
              " ! Video file not found (or name too long).");

    // A splash that would hold the game clears the input headless too; a free one does not.
    InputState& input = CurrentInput();
    input.KeyDown(65);
    Printed("splash_show_text(\"story.rtf\", 0)");
    EXPECT_FALSE(input.KeyHeld(65));
    Text("splash_set_main(0)");
    Text("splash_set_interrupt(0)");
    input.KeyDown(65);
    Printed("splash_show_text(\"story.rtf\", 0)");
    EXPECT_TRUE(input.KeyHeld(65));
}

TEST_F(SplashFunctions, SecureModeRefusesPagesAndOutsideFiles) {
    WriteImage("inside.png", 2, 2);
    WriteImage("../outside.png", 2, 2);
    Secure(true);
    EXPECT_EQ(Printed("splash_show_web(\"https://127.0.0.1/\", 0)"),
              " ! In secure mode you cannot open webpages.");
    EXPECT_EQ(Printed("splash_show_image(\"../outside.png\", 0)"), " ! Image file not found.");
    EXPECT_EQ(Printed("splash_show_image(\"inside.png\", 0)"),
              "splash image: inside.png (2x2) (until closed)");
    EXPECT_EQ(Printed("load_info(\"../outside.png\")"), "");
    EXPECT_EQ(Text("load_info(\"../outside.png\")"), "0");
}

TEST_F(SplashFunctions, GameInformationAndF1) {
    GameInformation info;
    info.caption = "About";
    const std::string rtf = R"({\rtf1 Use the arrows.\par Have fun\par})";
    info.rtf.assign(rtf.begin(), rtf.end());
    SetSplashGameInformation(info);
    EXPECT_EQ(Printed("show_info()"), "game information: About: Use the arrows. / Have fun");
    Write(game_ / "help.txt", "Plain help\nsecond line");
    EXPECT_EQ(Text("load_info(\"help.txt\")"), "1");
    EXPECT_EQ(Text("load_info(\"nothing.txt\")"), "0");
    EXPECT_EQ(Printed("show_info()"), "game information: About: Plain help / second line");
    // F1 shows it and clears the input; without F1 nothing happens.
    InputState& input = CurrentInput();
    input.KeyDown(65);
    ::testing::internal::CaptureStderr();
    SplashFunctionKeys(input);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(input.KeyHeld(65));
    input.KeyDown(112);
    ::testing::internal::CaptureStderr();
    SplashFunctionKeys(input);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "game information: About: Plain help / second line\n");
    EXPECT_FALSE(input.KeyHeld(65));
    EXPECT_FALSE(input.KeyPressed(112));
}

TEST_F(SplashFunctions, OnlyHoldingSplashesStopTheGameAndTakeItsInput) {
    // Windowed rules without a drawing device: a holding splash cannot be seen and closes at
    // once; a free one stays beside the game until its rules close it.
    SetSplashHeadless(false);
    Write(game_ / "t.txt", "text");
    InputState& input = CurrentInput();

    input.KeyDown(65);
    Text("splash_show_text(\"t.txt\", 0)"); // inside the game window
    EXPECT_FALSE(input.KeyHeld(65)) << "a holding splash clears the input it took";
    EXPECT_FALSE(SplashHolding());
    EXPECT_FALSE(SplashShownBesideGame());

    Text("splash_set_main(0)");
    Text("splash_set_interrupt(0)");
    Text("splash_set_stop_mouse(0)");
    input.KeyDown(65);
    Text("splash_show_text(\"t.txt\", 0)");
    ASSERT_TRUE(SplashShownBesideGame());
    EXPECT_FALSE(Splash_Gate()) << "the game steps on";
    EXPECT_TRUE(input.KeyHeld(65)) << "and keeps its input";
    // The panel is 640 x 480 at (0, 0) in a 640 x 480 region: a click on the panel does not
    // close it without stop-mouse, a click on the close button does.
    input.MouseMove(100, 100);
    input.MouseDown(1);
    EXPECT_FALSE(Splash_Gate());
    EXPECT_TRUE(SplashShownBesideGame());
    input.ClearStepFlags();
    input.MouseMove(640 - 10, 10);
    input.MouseDown(1);
    EXPECT_FALSE(Splash_Gate());
    EXPECT_FALSE(SplashShownBesideGame());
    input.ClearStepFlags();

    // Its timer closes it too, and a new splash replaces it.
    Text("splash_show_text(\"t.txt\", 1)");
    ASSERT_TRUE(SplashShownBesideGame());
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(Splash_Gate());
    EXPECT_FALSE(SplashShownBesideGame());

    // Game information beside the game: F1 again closes it.
    SetSplashGameInformation(GameInformation{});
    ShowGameInformation();
    EXPECT_TRUE(SplashShownBesideGame());
    ShowGameInformation();
    EXPECT_FALSE(SplashShownBesideGame());
}

} // namespace
} // namespace kestrin
