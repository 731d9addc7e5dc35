// Backgrounds in text projects: the PNG form when it gives the record back exactly, the hex
// form otherwise, and errors for images that are not PNG.

#include <gtest/gtest.h>

#include "graphics/background.h"
#include "base/stream.h"
#include "tests/unit/project_fixture.h"
#include "tools/project_kinds.h"

namespace kestrin {
namespace {

using project::Json;

const project::ResourceFormat& Backgrounds() {
    return project::ResourceFormats()[size_t(ResourceKind::Background)];
}

std::vector<uint8_t> RecordOf(const TBitmap32& image) {
    CBackground back;
    back.i_bitmap.Assign(image);
    CStream out;
    back.SaveToStream(out);
    return out.TakeBytes();
}

TEST(RoomDrawProjectTest, BackgroundsUnpackToPngOnlyWhenTheRecordComesBackExactly) {
    testing::TempFolder dir;
    const project::ProjectFolder folder(dir.Path());
    const project::ResourceFiles files(folder, "backgrounds/bg");
    TBitmap32 clear(2, 2, 0x00112233);
    TBitmap32 partly = testing::TestImage(5, 3, 7);
    partly.SetPixel(0, 0, 0x00000000);
    std::vector<uint8_t> damaged = RecordOf(partly);
    damaged.pop_back();
    std::vector<uint8_t> trailing = RecordOf(partly);
    trailing.push_back(0);
    struct Case {
        const char* what;
        std::vector<uint8_t> record;
        const char* form; // "image", "null" or "record"
    };
    const Case cases[] = {
        {"an image with some transparency", RecordOf(partly), "image"},
        {"an empty image", RecordOf(TBitmap32()), "null"},
        {"an image transparent everywhere", RecordOf(clear), "record"},
        {"a cut record", damaged, "record"},
        {"bytes after the record", trailing, "record"},
    };
    for (const Case& c : cases) {
        Json json = Json::object();
        Backgrounds().save(testing::Raw("bg", c.record), json, files);
        const std::string form = json.contains("record")   ? "record"
                                 : json["image"].is_null() ? "null"
                                                           : "image";
        EXPECT_EQ(form, c.form) << c.what;
        project::JsonObject object(json, "backgrounds/bg.json", "");
        RawResource back;
        Backgrounds().load(object, back, files);
        EXPECT_EQ(back.record, c.record) << c.what;
    }
}

TEST(RoomDrawProjectTest, ABackgroundImageThatIsNotAPngIsAnError) {
    testing::TempFolder dir;
    const project::ProjectFolder folder(dir.Path());
    const project::ResourceFiles files(folder, "backgrounds/bg");
    testing::WriteTextFile(dir / "backgrounds/bg.png", "not a png");
    Json json = {{"image", "backgrounds/bg.png"}};
    project::JsonObject object(json, "backgrounds/bg.json", "");
    RawResource back;
    try {
        Backgrounds().load(object, back, files);
        ADD_FAILURE() << "no error";
    } catch (const project::ProjectError& e) {
        EXPECT_EQ(std::string(e.what()), "backgrounds/bg.json: image: expected a PNG image");
    }
}

} // namespace
} // namespace kestrin
