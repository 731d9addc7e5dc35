#include <algorithm>

#include "graphics/function_draw.h"
#include "graphics/function_texture.h"
#include "graphics/function_window.h"
#include "graphics_fixture.h"
#include "script/function_manifest.h"

using namespace kestrin;
using kestrin::testing::GraphicsTest;

namespace {

class GraphicsWindow : public GraphicsTest {};

TEST_F(GraphicsWindow, RegionRectangleUnderEachScaleMode) {
    const struct {
        int32_t cw, ch, rw, rh;
        double scale;
        IntRect rect;
    } cases[] = {
        {1000, 500, 640, 480, -1, {166, 0, 667, 500}},
        {1000, 500, 640, 480, 0, {0, 0, 1000, 500}},
        {1000, 500, 640, 480, 1, {180, 10, 640, 480}},
        {640, 480, 320, 240, 2, {0, 0, 640, 480}},
        {600, 400, 640, 480, 1, {-20, -40, 640, 480}}, // a client smaller than the region
        {0, 0, 640, 480, -1, {0, 0, 0, 0}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RegionRectangle(c.cw, c.ch, c.rw, c.rh, c.scale), c.rect)
            << c.cw << "x" << c.ch << " " << c.scale;
}

TEST_F(GraphicsWindow, WindowToRegionMapping) {
    WindowState w;
    w.client_w = 1000, w.client_h = 500, w.region_w = 640, w.region_h = 480;
    w.scale = -1;
    EXPECT_EQ(WindowToRegion(w, 166, 0), (PointD{0, 0}));
    EXPECT_EQ(WindowToRegion(w, 833, 500), (PointD{640, 480}));
    w.scale = 0; // stretched: divides by the client size, at least 1
    EXPECT_EQ(WindowToRegion(w, 500, 250), (PointD{320, 240}));
    w.client_w = 0;
    EXPECT_EQ(WindowToRegion(w, 1, 0), (PointD{640, 0}));
    w.client_w = 1000, w.scale = 2, w.region_w = 320, w.region_h = 240;
    EXPECT_EQ(WindowToRegion(w, 180 + 20, 10 + 40), (PointD{10, 20}));
    EXPECT_EQ(RegionToWindow(w, 10, 20), (PointD{200, 50}));
}

TEST_F(GraphicsWindow, RegionToRoomThroughViews) {
    ViewMapping v{true, 100, 50, 200, 100, 0, 0, 400, 200, 0};
    EXPECT_EQ(RegionToRoom(v, 200, 100), (PointD{200, 100}));
    EXPECT_EQ(RoomToRegion(v, 200, 100), (PointD{200, 100}));
    EXPECT_EQ(RoomToRegion(v, 100, 50), (PointD{0, 0}));
    v.angle = 0.005; // too small to turn
    EXPECT_EQ(RegionToRoom(v, 0, 0), (PointD{100, 50}));
    v.angle = 90;
    // The view centre stays put; a point right of it in the region lies above it in the room.
    EXPECT_EQ(RegionToRoom(v, 200, 100), (PointD{200, 100}));
    EXPECT_EQ(RegionToRoom(v, 300, 100), (PointD{200, 150}));
    EXPECT_EQ(RoomToRegion(v, 200, 150), (PointD{300, 100}));
    ViewMapping off = v;
    off.active = false;
    EXPECT_EQ(RegionToRoom(off, 7, 8), (PointD{7, 8}));
    off.active = true, off.wport = 0;
    EXPECT_EQ(RegionToRoom(off, 7, 8), (PointD{7, 8}));
}

TEST_F(GraphicsWindow, TopmostViewUnderThePoint) {
    std::array<ViewMapping, kViewMappings> views{};
    EXPECT_EQ(RegionToRoomTopmost(views, 5, 6), (PointD{5, 6}));
    views[0] = {true, 0, 0, 100, 100, 0, 0, 100, 100, 0};
    views[1] = {true, 1000, 1000, 50, 50, 100, 0, 50, 50, 0};
    EXPECT_EQ(RegionToRoomTopmost(views, 110, 10), (PointD{1010, 1010}));
    EXPECT_EQ(RegionToRoomTopmost(views, 10, 10), (PointD{10, 10}));
    // Under no view: the lowest active entry's mapping stays.
    EXPECT_EQ(RegionToRoomTopmost(views, 10, 300), (PointD{10, 300}));
}

TEST_F(GraphicsWindow, RegionSizeAndScaleAdaptTheClient) {
    Real("window_set_region_size", {320, 240, 1});
    EXPECT_EQ(Real("window_get_width"), 320.0);
    Real("window_set_region_scale", {2, 0});
    EXPECT_EQ(Real("window_get_width"), 640.0);
    EXPECT_EQ(Real("window_get_height"), 480.0);
    Real("window_set_size", {100, 100}); // fixed scale overrides the size
    EXPECT_EQ(Real("window_get_width"), 640.0);
    Real("window_set_region_scale", {-1, 0});
    Real("window_set_size", {100, 80});
    EXPECT_EQ(Real("window_get_width"), 100.0);
    Real("window_set_region_size", {0, 480, 0}); // <= 0 keeps the width
    EXPECT_EQ(Real("window_get_region_width"), 320.0);
    EXPECT_EQ(Real("window_get_region_height"), 480.0);
    EXPECT_EQ(Real("window_get_region_scale"), -1.0);
    Real("window_default");
    EXPECT_EQ(Real("window_get_x"), (1920 - 320) / 2.0);
    EXPECT_EQ(Real("window_get_width"), 320.0);
}

TEST_F(GraphicsWindow, FlagsCaptionAndDisplay) {
    Real("window_set_fullscreen", {1});
    EXPECT_EQ(Real("window_get_fullscreen"), 1.0);
    Real("window_set_showborder", {0});
    EXPECT_EQ(Real("window_get_showborder"), 0.0);
    Call("window_set_caption", {RValue("Score: 10")});
    EXPECT_EQ(Call("window_get_caption").str(), "Score: 10");
    Real("window_set_cursor", {-1});
    EXPECT_EQ(Real("window_get_cursor"), -1.0);
    EXPECT_EQ(Real("display_get_width"), 1920.0);
    EXPECT_EQ(Real("display_set_all", {-1, -1, -1, 32}), 1.0);
    EXPECT_EQ(Real("display_set_size", {800, 600}), 0.0);
    EXPECT_EQ(Real("display_test_all", {1920, 1080, 60, 32}), 1.0);
    Real("window_set_position", {10, 20});
    Real("display_mouse_set", {15, 30});
    EXPECT_EQ(Real("window_mouse_get_x"), 5.0);
    EXPECT_EQ(Real("window_mouse_get_y"), 10.0);
    EXPECT_EQ(Real("display_mouse_get_x"), 15.0);
}

TEST_F(GraphicsWindow, MouseThroughViews) {
    Real("window_set_region_size", {640, 480, 1});
    ViewMappings()[2] = {true, 1000, 0, 320, 240, 0, 0, 640, 480, 0};
    Real("window_view_mouse_set", {2, 1100, 100});
    EXPECT_EQ(Real("window_mouse_get_x"), 200.0);
    EXPECT_EQ(Real("window_view_mouse_get_x", {2}), 1100.0);
    EXPECT_EQ(Real("window_views_mouse_get_y"), 100.0);
    Real("window_views_mouse_set", {1160, 120});
    EXPECT_EQ(Real("window_mouse_get_x"), 320.0);
    EXPECT_EQ(Real("window_mouse_get_y"), 240.0);
}

TEST_F(GraphicsWindow, DefaultProjectionShowsTheRegion) {
    // Room point (x, y) of a 640 × 480 region lands at clip (2x/w − 1, 1 − 2y/h).
    const RecordedDraw* d = nullptr;
    Real("draw_point", {0, 0});
    d = &device.draws.at(0);
    const Matrix vp = Multiply(d->view, d->projection);
    const auto a = TransformPoint(vp, 0, 0, 0);
    const auto b = TransformPoint(vp, 640, 480, 0);
    EXPECT_NEAR(a[0], -1.0f, 1e-5);
    EXPECT_NEAR(a[1], 1.0f, 1e-5);
    EXPECT_NEAR(b[0], 1.0f, 1e-5);
    EXPECT_NEAR(b[1], -1.0f, 1e-5);
    EXPECT_GT(a[2], 0.0f);
    EXPECT_LT(a[2], 1.0f);
    // A turned view: the projection and the mouse mapping agree on where a room point shows.
    ViewMapping v{true, 0, 0, 480, 480, 0, 0, 480, 480, 30};
    RenderState_SetViewport(0, 0, 480, 480);
    RenderState_SetProjection(0, 0, 480, 480, v.angle);
    Real("draw_point", {0, 0});
    const RecordedDraw& r = device.draws.at(1);
    const Matrix turned = Multiply(r.view, r.projection);
    for (const PointD room : {PointD{100, 40}, PointD{400, 300}, PointD{240, 0}}) {
        const auto clip = TransformPoint(turned, float(room.x), float(room.y), 0);
        const PointD region = RoomToRegion(v, room.x, room.y);
        EXPECT_NEAR((clip[0] + 1) / 2 * 480, region.x, 0.51) << room.x << "," << room.y;
        EXPECT_NEAR((1 - clip[1]) / 2 * 480, region.y, 0.51) << room.x << "," << room.y;
    }
}

} // namespace

namespace {

TEST(GraphicsFunctions, TablesAgreeWithTheManifest) {
    for (const auto& table : {WindowFunctions(), DrawFunctions(), TextureFunctions()})
        for (const RFunctionSpec& spec : table) {
            const auto it = std::find_if(FunctionManifest().begin(), FunctionManifest().end(),
                                         [&](const ManifestFunction& f) { return f.name == spec.name; });
            ASSERT_NE(it, FunctionManifest().end()) << spec.name;
            EXPECT_EQ(it->argnumb, spec.argnumb) << spec.name;
            EXPECT_EQ(it->module, FunctionModule::Graphics) << spec.name;
        }
}

} // namespace

namespace {

class GraphicsRoomRegion : public kestrin::testing::GraphicsTest {};

TEST_F(GraphicsRoomRegion, RoomsSetTheRegionFromViewsOrTheirSize) {
    GameWindow().screen_w = 1920, GameWindow().screen_h = 1080;
    Window_RoomStart(false, nullptr, 0, 2000, 2000); // clamped to the screen
    EXPECT_EQ(GameWindow().region_w, 1920);
    EXPECT_EQ(GameWindow().region_h, 1080);
    EXPECT_EQ(RenderState_RegionWidth(), 1024); // and to the back buffer
    const RoomPort ports[] = {{true, 0, 0, 320, 240}, {true, 320, 0, 2, 2}, {false, 0, 0, 900, 900}};
    Window_RoomStart(true, ports, 3, 2000, 2000);
    EXPECT_EQ(GameWindow().region_w, 322);
    EXPECT_EQ(GameWindow().region_h, 240);
    EXPECT_EQ(GameWindow().client_x, (1920 - 322) / 2);
    EXPECT_EQ(RenderState_RegionWidth(), 322);
    const RoomPort tiny[] = {{true, 0, 0, 2, 3}};
    Window_RoomStart(true, tiny, 1, 100, 100);
    EXPECT_EQ(GameWindow().region_w, 8);
    EXPECT_EQ(GameWindow().region_h, 8);
}

} // namespace
