#include <filesystem>
#include <fstream>

#include "base/file_io.h"
#include "base/image_png.h"
#include "graphics/sprite.h"
#include "graphics_fixture.h"
#include "sprite_fixture.h"

namespace kestrin {
namespace {

using testing::Art;

class SpriteFunctions : public testing::GraphicsTest {
protected:
    void TearDown() override {
        Sprite_ClearAll();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
        GraphicsTest::TearDown();
    }
    // A sprite of two 3 × 2 frames with origin (1, 1) and a precise mask.
    int32_t AddSprite() {
        auto spr = std::make_unique<CSprite>();
        spr->i_bitmap = {Art({"...", ".#."}), Art({"#..", "..."})};
        spr->i_numb = 2;
        spr->i_xorig = spr->i_yorig = 1;
        spr->ComputeMask(false, kBoxAutomatic, TRect{}, kMaskPrecise, 0);
        return Sprite_AddNew(std::move(spr));
    }
    std::string Path(const std::string& name) {
        std::filesystem::create_directories(dir_);
        return (dir_ / name).string();
    }
    static RValue V(double d) { return RValue(d); }
    static RValue V(int i) { return RValue(double(i)); }
    static RValue V(const std::string& s) { return RValue(std::string_view(s)); }
    static RValue V(const char* s) { return RValue(s); }
    // A built-in called with reals and texts.
    template <typename... T> RValue Do(const char* name, T... args) { return Call(name, {V(args)...}); }

    std::filesystem::path dir_ =
        std::filesystem::temp_directory_path() /
        ("kestrin_sprite_functions_" +
         std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
};

TEST_F(SpriteFunctions, QueriesAnswerMinusOneForMissingSprites) {
    const int32_t ind = AddSprite();
    struct Row {
        const char* name;
        double value;
    } rows[] = {
        {"sprite_exists", 1},          {"sprite_get_number", 2},     {"sprite_get_width", 3},
        {"sprite_get_height", 2},      {"sprite_get_xoffset", 1},    {"sprite_get_yoffset", 1},
        {"sprite_get_bbox_left", 0},   {"sprite_get_bbox_right", 1}, {"sprite_get_bbox_top", 0},
        {"sprite_get_bbox_bottom", 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Real(row.name, {double(ind)}), row.value);
        EXPECT_EQ(Real(row.name, {double(ind + 1)}), std::string(row.name) == "sprite_exists" ? 0 : -1);
    }
    EXPECT_EQ(Do("sprite_get_name", double(ind)).str(), "__newsprite0");
    EXPECT_EQ(Do("sprite_name", -1.0).str(), "<undefined>");

    Real("sprite_set_offset", {double(ind), 5, -2});
    EXPECT_EQ(Real("sprite_get_xoffset", {double(ind)}), 5);
    Real("sprite_collision_mask", {double(ind), 1, 1, 0, 0, 0, 0, 1, 0});
    EXPECT_EQ(Real("sprite_get_bbox_right", {double(ind)}), 2);
    EXPECT_EQ(Sprite_Get(ind)->i_mask.size(), 2u);

    EXPECT_EQ(Real("sprite_delete", {double(ind)}), 1);
    EXPECT_EQ(Real("sprite_get_width", {double(ind)}), -1);
    EXPECT_EQ(Do("sprite_get_name", double(ind)).str(), "<undefined>");
    EXPECT_TRUE(errors().empty());
}

TEST_F(SpriteFunctions, ChangingFunctionsReportMissingSprites) {
    const int32_t ind = AddSprite();
    struct Row {
        const char* name;
        std::vector<double> args;
        const char* message;
    } rows[] = {
        {"sprite_delete", {9}, "Trying to delete non-existing sprite."},
        {"sprite_duplicate", {9}, "Trying to duplicate non-existing sprite."},
        {"sprite_assign", {double(ind), 9}, "Error assigning a sprite."},
        {"sprite_merge", {9, double(ind)}, "Trying to merge to non-existing sprite."},
        {"sprite_merge", {double(ind), 9}, "Trying to merge from non-existing sprite."},
        {"sprite_collision_mask",
         {9, 0, 0, 0, 0, 0, 0, 0, 0},
         "Trying to set collision mode for non-existing sprite."},
        {"sprite_add_from_screen", {9, 0, 0, 2, 2, 0, 0}, "Trying to add to non-existing sprite."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        errors().clear();
        std::vector<RValue> args(row.args.begin(), row.args.end());
        const int32_t index = FindFunction(row.name);
        RValue slots[16];
        for (size_t i = 0; i < args.size(); ++i) slots[i] = args[i];
        RValue result;
        FunctionRoutine(index)(nullptr, nullptr, int32_t(args.size()), slots, result);
        EXPECT_EQ(result.val(), 0);
        EXPECT_EQ(errors(), std::vector<std::string>{row.message});
    }
    errors().clear();
    EXPECT_EQ(Do("sprite_replace", 9.0, "x.png", 1, 0, 0, 0, 0).val(), 0);
    EXPECT_EQ(Do("sprite_save", 9.0, 0, "x.png").val(), 0);
    EXPECT_EQ(Do("sprite_save", double(ind), 0, "").val(), 0);
    EXPECT_EQ(errors(), (std::vector<std::string>{"Trying to replace non-existing sprite.",
                                                  "Trying to save non-existing sprite bitmap.",
                                                  "Trying to save sprite bitmap to empty image file name."}));
}

TEST_F(SpriteFunctions, FilesInAndOut) {
    const int32_t ind = AddSprite();
    const std::string png = Path("frame.PNG"), bmp = Path("frame.bmp"), strip = Path("strip.png");
    Do("sprite_save", double(ind), 1, png);
    Do("sprite_save", double(ind), 0, bmp);
    Do("sprite_save_strip", double(ind), strip);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(png, bytes));
    TBitmap32 saved;
    ASSERT_TRUE(DecodePng(bytes, saved));
    EXPECT_EQ(saved, Sprite_Get(ind)->i_bitmap[1]);
    ASSERT_TRUE(ReadWholeFile(bmp, bytes));
    EXPECT_EQ(bytes.at(0), 'B');

    const double added = Do("sprite_add", strip, 2, 0, 0, 4, 5).val();
    ASSERT_GE(added, 0);
    EXPECT_EQ(Real("sprite_get_number", {added}), 2);
    EXPECT_EQ(Real("sprite_get_xoffset", {added}), 4);
    EXPECT_EQ(Do("sprite_add", Path("missing.png"), 1, 0, 0, 0, 0).val(), -1);
    EXPECT_EQ(Do("sprite_replace", added, Path("missing.png"), 1, 0, 0, 0, 0).val(), 0);
    EXPECT_EQ(Real("sprite_get_number", {added}), 2);
    EXPECT_EQ(Do("sprite_replace", added, png, 1, 0, 0, 0, 0).val(), 1);
    EXPECT_EQ(Real("sprite_get_number", {added}), 1);

    const std::string saved_sprite = Path("s.ksspr");
    {
        const std::vector<uint8_t> file =
            Sprite_Get(ind)->SaveToSpriteBytes(kMaskPrecise, 0, kBoxAutomatic, {});
        std::ofstream(saved_sprite, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    }
    const double fromFile = Do("sprite_add_sprite", saved_sprite).val();
    EXPECT_EQ(Real("sprite_get_number", {fromFile}), 2);
    EXPECT_EQ(Do("sprite_replace_sprite", added, saved_sprite).val(), 1);
    EXPECT_EQ(Real("sprite_get_width", {added}), 3);

    const double copy = Real("sprite_duplicate", {double(ind)});
    Real("sprite_merge", {copy, double(ind)});
    EXPECT_EQ(Real("sprite_get_number", {copy}), 4);
    EXPECT_EQ(Real("sprite_assign", {copy, fromFile}), 1);
    EXPECT_EQ(Real("sprite_get_number", {copy}), 2);
    EXPECT_TRUE(errors().empty());
}

TEST_F(SpriteFunctions, GrowingPastThePixelCapIsRefused) {
    // A frame that claims the whole pixel cap without holding its pixels: growth must be refused
    // from the sizes alone, before any frame is copied or stretched.
    auto big = std::make_unique<CSprite>();
    TBitmap32 claimed;
    claimed.s_w = claimed.s_h = 8192;
    big->i_bitmap = {claimed};
    big->i_numb = 1;
    const double huge = Sprite_AddNew(std::move(big));
    const double small = AddSprite();
    Real("sprite_merge", {huge, small});
    Real("sprite_merge", {huge, huge});
    Real("sprite_add_from_screen", {huge, 0, 0, 4, 4, 0, 0});
    EXPECT_EQ(Real("sprite_get_number", {huge}), 1);
    EXPECT_EQ(Sprite_Get(int32_t(huge))->i_bitmap.size(), 1u);
    // Within the cap merging still works, also into itself.
    Real("sprite_merge", {small, small});
    EXPECT_EQ(Real("sprite_get_number", {small}), 4);
    EXPECT_TRUE(errors().empty());
}

TEST_F(SpriteFunctions, SpritesFromTheScreen) {
    // The back buffer of the recording device starts black and opaque; paint a red square.
    TBitmap32* back = device.Image(0);
    ASSERT_NE(back, nullptr);
    for (int32_t y = 10; y < 14; ++y)
        for (int32_t x = 10; x < 14; ++x) back->SetPixel(x, y, 0xFFFF0000u);
    // Removeback 0.7 is truncated to 0 here: the black border stays.
    const double ind = Real("sprite_create_from_screen", {8, 8, 8, 8, 0.7, 0.5, 2, 3});
    ASSERT_TRUE(Sprite_Exists(int32_t(ind)));
    const CSprite* spr = Sprite_Get(int32_t(ind));
    EXPECT_EQ(spr->GetWidth(), 8);
    EXPECT_EQ(spr->i_xorig, 2);
    EXPECT_EQ(spr->i_bitmap[0].GetPixel(0, 0) >> 24, 255u);
    // Added from the screen, 0.7 exceeds one half: the background (bottom-left, black) goes.
    Real("sprite_add_from_screen", {ind, 8, 8, 8, 8, 0.7, 0});
    ASSERT_EQ(spr->i_numb, 2);
    EXPECT_EQ(spr->i_bitmap[1].GetPixel(0, 0) >> 24, 0u);
    EXPECT_EQ(spr->i_bitmap[1].GetPixel(3, 3), 0xFFFF0000u);
    EXPECT_TRUE(errors().empty());
}

} // namespace
} // namespace kestrin
