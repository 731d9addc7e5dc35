#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "base/file_io.h"
#include "graphics/background.h"
#include "graphics_fixture.h"

namespace kestrin {
namespace {

class ResourceBackground : public testing::GraphicsTest {
protected:
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
        GraphicsTest::TearDown();
    }
    // A 3 × 2 background with one half-transparent pixel.
    int32_t AddBackground() {
        auto back = std::make_unique<CBackground>();
        back->CreateColor(3, 2, 0x0000FF);
        back->i_bitmap.SetPixel(1, 0, MakeColor32(10, 20, 30, 128));
        return Background_AddNew(std::move(back));
    }
    std::string Path(const std::string& name) {
        std::filesystem::create_directories(dir_);
        return (dir_ / name).string();
    }
    std::string Str(const char* name, std::initializer_list<RValue> args) {
        return std::string(Call(name, args).str());
    }
    static RValue S(const std::string& s) { return RValue(std::string_view(s)); }
    static std::string Magic(const std::string& file) {
        std::vector<uint8_t> bytes;
        if (!ReadWholeFile(file, bytes) || bytes.size() < 2) return "";
        return std::string(bytes.begin() + (bytes[0] == 0x89 ? 1 : 0),
                           bytes.begin() + (bytes[0] == 0x89 ? 4 : 2));
    }

    std::filesystem::path dir_ =
        std::filesystem::temp_directory_path() /
        ("kestrin_resource_background_" +
         std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
};

TEST_F(ResourceBackground, GettersAnswerMinusOneAndSettersAreSilentForMissingBackgrounds) {
    const int32_t ind = AddBackground();
    const int32_t gone = AddBackground();
    ASSERT_EQ(Real("background_delete", {double(gone)}), 1);
    struct Row {
        const char* name;
        double present;
    } rows[] = {{"background_exists", 1}, {"background_get_width", 3}, {"background_get_height", 2}};
    for (const Row& row : rows) {
        EXPECT_EQ(Real(row.name, {double(ind)}), row.present) << row.name;
        for (double missing : {double(gone), -1.0, 50.0})
            EXPECT_EQ(Real(row.name, {missing}), row.name == std::string("background_exists") ? 0 : -1)
                << row.name << missing;
    }
    EXPECT_EQ(Str("background_get_name", {RValue(double(ind))}), "__newbackground" + std::to_string(ind));
    EXPECT_EQ(Str("background_name", {RValue(double(gone))}), "<undefined>");
    Real("background_set_alpha_from_background", {double(gone), double(ind)});
    Real("background_set_alpha_from_background", {double(ind), 77});
    EXPECT_TRUE(errors().empty());

    const char* messages[][2] = {
        {"background_delete", "Trying to delete non-existing background."},
        {"background_duplicate", "Trying to duplicate non-existing background."},
    };
    for (auto& m : messages) {
        errors().clear();
        EXPECT_EQ(Real(m[0], {double(gone)}), 0) << m[0];
        ASSERT_EQ(errors().size(), 1u) << m[0];
        EXPECT_NE(errors()[0].find(m[1]), std::string::npos) << errors()[0];
    }
    errors().clear();
    EXPECT_EQ(Call("background_replace", {RValue(double(gone)), S("x.png"), RValue(0.0), RValue(0.0)}).val(),
              0);
    EXPECT_EQ(Call("background_replace_background", {RValue(99.0), S("x.ksbck")}).val(), 0);
    EXPECT_EQ(Call("background_save", {RValue(double(gone)), S(Path("x.png"))}).val(), 0);
    EXPECT_EQ(Call("background_save", {RValue(double(ind)), S("")}).val(), 0);
    ASSERT_EQ(errors().size(), 4u);
    EXPECT_NE(errors()[0].find("Trying to replace non-existing background."), std::string::npos);
    EXPECT_NE(errors()[1].find("Trying to replace non-existing background."), std::string::npos);
    EXPECT_NE(errors()[2].find("Trying to save non-existing background bitmap."), std::string::npos);
    EXPECT_NE(errors()[3].find("Trying to save background bitmap to empty image file name."),
              std::string::npos);
}

TEST_F(ResourceBackground, CreateDuplicateAssignAndDelete) {
    const int32_t colour = int32_t(Real("background_create_color", {4, 5, 0x00FF00}));
    EXPECT_EQ(Real("background_get_width", {double(colour)}), 4);
    EXPECT_EQ(Background_Get(colour)->Bitmap().GetPixel(3, 4), MakeColor32(0, 255, 0, 255));
    const int32_t gradient = int32_t(Real("background_create_gradient", {6, 2, 0, 0xFFFFFF, 0}));
    EXPECT_EQ(Real("background_get_height", {double(gradient)}), 2);
    const int32_t copy = int32_t(Real("background_duplicate", {double(colour)}));
    EXPECT_EQ(Background_Get(copy)->Bitmap(), Background_Get(colour)->Bitmap());
    EXPECT_EQ(Real("background_assign", {double(gradient), double(colour)}), 1);
    EXPECT_EQ(Background_Get(gradient)->Bitmap(), Background_Get(colour)->Bitmap());
    // A deleted slot can be assigned again; a missing source or a target out of range fails.
    EXPECT_EQ(Real("background_delete", {double(copy)}), 1);
    EXPECT_EQ(Real("background_assign", {double(copy), double(colour)}), 1);
    EXPECT_EQ(Real("background_exists", {double(copy)}), 1);
    errors().clear();
    EXPECT_EQ(Real("background_assign", {double(copy), 90}), 0);
    EXPECT_EQ(Real("background_assign", {-1, double(colour)}), 0);
    ASSERT_EQ(errors().size(), 2u);
    EXPECT_NE(errors()[1].find("Error assigning a background."), std::string::npos);
}

TEST_F(ResourceBackground, SavesReadBackPixelForPixelAndFailedReplacesKeepTheImage) {
    const int32_t ind = AddBackground();
    const TBitmap32 original = Background_Get(ind)->Bitmap();
    for (const char* name : {"a.png", "b.PnG", "c.PNG"}) {
        const std::string file = Path(name);
        Call("background_save", {RValue(double(ind)), S(file)});
        EXPECT_EQ(Magic(file), "PNG") << name;
        const int32_t back = int32_t(Call("background_add", {S(file), RValue(0.0), RValue(0.0)}).val());
        ASSERT_GE(back, 0) << name;
        EXPECT_EQ(Background_Get(back)->Bitmap(), original) << name;
    }
    // Any other extension writes a Windows bitmap, without alpha.
    const std::string bmp = Path("d.bmp"), other = Path("e.img");
    Call("background_save", {RValue(double(ind)), S(bmp)});
    Call("background_save", {RValue(double(ind)), S(other)});
    EXPECT_EQ(Magic(bmp), "BM");
    EXPECT_EQ(Magic(other), "BM");
    const int32_t fromBmp = int32_t(Call("background_add", {S(bmp), RValue(0.0), RValue(0.0)}).val());
    ASSERT_GE(fromBmp, 0);
    const TBitmap32& read = Background_Get(fromBmp)->Bitmap();
    ASSERT_EQ(read.Width(), 3);
    EXPECT_EQ(read.GetPixel(0, 1), original.GetPixel(0, 1));
    EXPECT_EQ(read.GetPixel(1, 0) & 0xFFFFFF, original.GetPixel(1, 0) & 0xFFFFFF);

    // A file that does not decode: -1 or 0, no message, and the old image stays.
    std::ofstream(Path("bad.png")) << "not an image";
    errors().clear();
    EXPECT_EQ(Call("background_add", {S(Path("bad.png")), RValue(0.0), RValue(0.0)}).val(), -1);
    EXPECT_EQ(Call("background_add_background", {S(Path("none.ksbck"))}).val(), -1);
    EXPECT_EQ(
        Call("background_replace", {RValue(double(ind)), S(Path("bad.png")), RValue(0.0), RValue(0.0)}).val(),
        0);
    EXPECT_EQ(Call("background_replace_background", {RValue(double(ind)), S(Path("bad.png"))}).val(), 0);
    EXPECT_TRUE(errors().empty());
    EXPECT_EQ(Background_Get(ind)->Bitmap(), original);
    EXPECT_EQ(Call("background_replace", {RValue(double(ind)), S(bmp), RValue(0.0), RValue(0.0)}).val(), 1);
    EXPECT_EQ(Background_Get(ind)->Bitmap().GetPixel(0, 1), original.GetPixel(0, 1));

    // The background file form round-trips too.
    const std::string file = Path("f.ksbck");
    const std::vector<uint8_t> bytes = Background_Get(fromBmp)->SaveToBackgroundBytes();
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    const int32_t fromFile = int32_t(Call("background_add_background", {S(file)}).val());
    ASSERT_GE(fromFile, 0);
    EXPECT_EQ(Background_Get(fromFile)->GetWidth(), 3);
}

} // namespace
} // namespace kestrin
