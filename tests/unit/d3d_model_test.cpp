// Models: entries, the mesh built at the first draw and its colours, the model table, and
// model files written, read back and refused when damaged.

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "graphics/graphics_3d.h"
#include "graphics/model.h"
#include "graphics_fixture.h"

using namespace kestrin;
using kestrin::testing::GraphicsTest;

namespace {

class D3DModel : public GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        D3D_Reset();
        Model_ClearAll();
        dir_ = std::filesystem::temp_directory_path() / ("ks_model_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        Model_ClearAll();
        D3D_Reset();
        std::filesystem::remove_all(dir_);
        GraphicsTest::TearDown();
    }
    std::string File(const char* name) const { return (dir_ / name).string(); }
    void Write(const char* name, const std::string& text) const {
        std::ofstream(dir_ / name, std::ios::binary) << text;
    }
    std::filesystem::path dir_;
};

TEST_F(D3DModel, TableTakesTheLowestFreeId) {
    EXPECT_EQ(Real("d3d_model_create"), 0);
    EXPECT_EQ(Real("d3d_model_create"), 1);
    EXPECT_EQ(Real("d3d_model_create"), 2);
    Real("d3d_model_destroy", {1});
    EXPECT_FALSE(Model_Exists(1));
    EXPECT_EQ(Real("d3d_model_create"), 1);
    // Invalid ids do nothing.
    for (double id : {-1.0, 3.0, 1e12}) {
        Real("d3d_model_vertex", {id, 1, 2, 3});
        Real("d3d_model_draw", {id, 0, 0, 0, -1});
        Real("d3d_model_clear", {id});
        Real("d3d_model_destroy", {id});
    }
    EXPECT_TRUE(device.draws.empty());
}

TEST_F(D3DModel, EntriesKeepTheirArguments) {
    const int32_t m = int32_t(Real("d3d_model_create"));
    Real("d3d_model_primitive_begin", {double(m), 4});
    Real("d3d_model_vertex_color", {double(m), 1, 2, 3, 255.6, 0.5});
    Real("d3d_model_vertex_normal_texture_color", {double(m), 1, 2, 3, 4, 5, 6, 7, 8, 9.4, 1});
    Real("d3d_model_cylinder", {double(m), 1, 2, 3, 4, 5, 6, 7, 8, 1, 24});
    Real("d3d_model_primitive_end", {double(m)});
    const C3D_Model* model = Model_Get(m);
    ASSERT_NE(model, nullptr);
    ASSERT_EQ(model->i_numb, 5);
    EXPECT_EQ(model->i_val[0], (REntry{0, {4, 0, 0, 0, 0, 0, 0, 0, 0, 0}}));
    EXPECT_EQ(model->i_val[1], (REntry{3, {1, 2, 3, 256, 0.5, 0, 0, 0, 0, 0}}));
    EXPECT_EQ(model->i_val[2], (REntry{9, {1, 2, 3, 4, 5, 6, 7, 8, 9, 1}}));
    EXPECT_EQ(model->i_val[3], (REntry{11, {1, 2, 3, 4, 5, 6, 7, 8, 1, 24}}));
    EXPECT_EQ(model->i_val[4].kind, 1);
}

TEST_F(D3DModel, DrawBuildsTheMeshOnceAndTranslatesIt) {
    const double m = Real("d3d_model_create");
    Real("d3d_model_primitive_begin", {m, 4});
    Real("d3d_model_vertex", {m, 0, 0, 0});
    Real("d3d_model_vertex", {m, 1, 0, 0});
    Real("d3d_model_vertex", {m, 0, 1, 0});
    Real("d3d_model_primitive_end", {m});
    Real("d3d_model_draw", {m, 100, 0, 0, -1});
    Real("d3d_model_draw", {m, 200, 0, 0, -1});
    ASSERT_EQ(device.draws.size(), 2u);
    EXPECT_EQ(device.draws[0].vertices3d, device.draws[1].vertices3d);
    const auto p0 = TransformPoint(device.draws[0].world, 1, 0, 0);
    const auto p1 = TransformPoint(device.draws[1].world, 1, 0, 0);
    EXPECT_FLOAT_EQ(p0[0], 101);
    EXPECT_FLOAT_EQ(p1[0], 201);
    // The world transform is as before the draw.
    EXPECT_EQ(RenderState_GetWorld(), Matrix::Identity());
    // Entries added later show only after a clear.
    Real("d3d_model_vertex", {m, 5, 5, 5});
    device.draws.clear();
    Real("d3d_model_draw", {m, 0, 0, 0, -1});
    EXPECT_EQ(device.draws[0].vertices3d.size(), 3u);
    Real("d3d_model_clear", {m});
    device.draws.clear();
    Real("d3d_model_draw", {m, 0, 0, 0, -1});
    EXPECT_TRUE(device.draws.empty());
}

TEST_F(D3DModel, ColoursFollowTheDrawingColourOnlyWhenPlain) {
    const double plain = Real("d3d_model_create"), coloured = Real("d3d_model_create");
    Real("d3d_model_primitive_begin", {plain, 1});
    Real("d3d_model_vertex", {plain, 0, 0, 0});
    Real("d3d_model_vertex_color", {plain, 1, 0, 0, 0x0000FF, 1});
    Real("d3d_model_primitive_end", {plain});
    Real("d3d_model_primitive_begin", {coloured, 1});
    Real("d3d_model_vertex_color", {coloured, 1, 0, 0, 0xFFFFFF, 1});
    Real("d3d_model_primitive_end", {coloured});
    for (double colour : {double(0x00FF00), double(0xFF0000)}) {
        Real("draw_set_color", {colour});
        device.draws.clear();
        Real("d3d_model_draw", {plain, 0, 0, 0, -1});
        Real("d3d_model_draw", {coloured, 0, 0, 0, -1});
        ASSERT_EQ(device.draws.size(), 2u);
        EXPECT_EQ(device.draws[0].vertices3d[0].colour, D3D_PlainColour()) << colour;
        EXPECT_EQ(device.draws[0].vertices3d[1].colour, 0xFFFF0000u | 1u) << colour;
        EXPECT_EQ(device.draws[1].vertices3d[0].colour, 0xFFFFFFFFu) << colour;
    }
    // A solid takes the drawing colour too.
    const double solid = Real("d3d_model_create");
    Real("d3d_model_block", {solid, 0, 0, 0, 1, 1, 1, 1, 1});
    Real("d3d_model_draw", {solid, 0, 0, 0, -1});
    Real("draw_set_color", {0x123456});
    device.draws.clear();
    Real("d3d_model_draw", {solid, 0, 0, 0, -1});
    EXPECT_EQ(device.draws[0].vertices3d[0].colour, D3D_PlainColour());
}

TEST_F(D3DModel, FilesRoundTrip) {
    const double m = Real("d3d_model_create");
    Real("d3d_model_primitive_begin", {m, 5});
    Real("d3d_model_vertex_normal_texture_color",
         {m, -1.5, 2.25, 1e7, 0.1, -0.2, 0.3, 0.12345, 9, 0xABCDEF, 0.5});
    Real("d3d_model_ellipsoid", {m, 0, 0, 0, 3, 3, 3, 1, 2, 16});
    Real("d3d_model_floor", {m, -1e11, 0, 0, 1, 1, 1, 1, 1});
    Real("d3d_model_primitive_end", {m});
    Call("d3d_model_save", {RValue(m), RValue(File("a.d3d"))});
    std::ifstream in(File("a.d3d"));
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "100");
    std::getline(in, line);
    EXPECT_EQ(line, "5");
    std::getline(in, line);
    EXPECT_EQ(line, "0 5.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000 0.0000");
    std::getline(in, line);
    EXPECT_EQ(line,
              "9 -1.5000 2.2500 10000000.0000 0.1000 -0.2000 0.3000 0.1235 9.0000 11259375.0000 0.5000");

    const double back = Real("d3d_model_create");
    Call("d3d_model_load", {RValue(back), RValue(File("a.d3d"))});
    const C3D_Model* a = Model_Get(int32_t(m));
    const C3D_Model* b = Model_Get(int32_t(back));
    ASSERT_EQ(b->i_numb, 5);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(b->i_val[i].kind, a->i_val[i].kind);
        for (size_t k = 0; k < 10; ++k)
            EXPECT_NEAR(b->i_val[i].arg[k], a->i_val[i].arg[k], 1e-4 + 1e-9 * std::fabs(a->i_val[i].arg[k]));
    }
    // Saving what was read gives the same file.
    Call("d3d_model_save", {RValue(back), RValue(File("b.d3d"))});
    std::ifstream fa(File("a.d3d")), fb(File("b.d3d"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(fa), {}),
              std::string(std::istreambuf_iterator<char>(fb), {}));
}

TEST_F(D3DModel, DamagedFilesAreRefused) {
    const std::string entry = "2 1.0000 2.0000 3.0000 0 0 0 0 0 0 0\n";
    const struct {
        const char* name;
        std::string text;
    } cases[] = {
        {"wrong version", "101\n1\n" + entry},
        {"empty", ""},
        {"no count", "100\n"},
        {"negative count", "100\n-1\n"},
        {"fractional count", "100\n1.5\n" + entry},
        {"huge count", "100\n999999999\n" + entry},
        {"count beyond the text", "100\n50000\n" + entry},
        {"missing entry", "100\n2\n" + entry},
        {"short entry", "100\n1\n2 1 2 3\n"},
        {"unknown kind", "100\n1\n16 0 0 0 0 0 0 0 0 0 0\n"},
        {"fractional kind", "100\n1\n2.5 0 0 0 0 0 0 0 0 0 0\n"},
        {"not a number", "100\n1\n2 1 2 x 0 0 0 0 0 0 0\n"},
        {"infinite", "100\n1\n2 inf 0 0 0 0 0 0 0 0 0\n"},
        {"too large", "100\n1\n2 1e300 0 0 0 0 0 0 0 0 0\n"},
        {"comma decimals", "100\n1\n2 1,5 0 0 0 0 0 0 0 0 0\n"},
    };
    const double m = Real("d3d_model_create");
    for (const auto& c : cases) {
        Real("d3d_model_vertex", {m, 1, 1, 1}); // something the load has to clear
        Write("bad.d3d", c.text);
        Call("d3d_model_load", {RValue(m), RValue(File("bad.d3d"))});
        EXPECT_EQ(Model_Get(int32_t(m))->i_numb, 0) << c.name;
        EXPECT_TRUE(Model_Get(int32_t(m))->i_val.empty()) << c.name;
    }
    // A missing file leaves the model empty too; trailing text on an entry line is skipped.
    Call("d3d_model_load", {RValue(m), RValue(File("missing.d3d"))});
    EXPECT_EQ(Model_Get(int32_t(m))->i_numb, 0);
    Write("ok.d3d", "100\r\n1\r\n2 1 2 3 0 0 0 0 0 0 0 and more\r\n");
    Call("d3d_model_load", {RValue(m), RValue(File("ok.d3d"))});
    ASSERT_EQ(Model_Get(int32_t(m))->i_numb, 1);
    EXPECT_EQ(Model_Get(int32_t(m))->i_val[0].arg[2], 3);
}

// The fuzz target's seeds, checked here as the target checks any input.
TEST_F(D3DModel, FuzzSeedsLoadOrAreRefusedCleanly) {
    const std::filesystem::path dir = std::filesystem::path(KESTRIN_SOURCE_DIR) / "fuzz/corpus/fuzz_model";
    int loaded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        C3D_Model model;
        if (!model.Parse(text)) {
            EXPECT_EQ(model.i_numb, 0) << entry.path();
            continue;
        }
        ++loaded;
        C3D_Model again;
        ASSERT_TRUE(again.Parse(model.Format())) << entry.path();
        EXPECT_EQ(again.Format(), model.Format()) << entry.path();
        model.Draw(0, 0, 0, -1);
        EXPECT_NE(model.m_pMesh, nullptr);
    }
    EXPECT_GE(loaded, 3);
}

} // namespace
