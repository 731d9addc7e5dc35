// Fonts in text projects: fields build the record font_add would make, unpacking gives the
// fields back only when they rebuild the very bytes, and bad fields are reported by name.

#include <gtest/gtest.h>

#include "font_fixture.h"
#include "project_fixture.h"
#include "base/stream.h"
#include "tools/project_font.h"

namespace kestrin::testing {
namespace {

using project::Json;
using project::JsonObject;
using project::ProjectError;
using project::ProjectFolder;
using project::ResourceFiles;

class FontProject : public ::testing::Test {
protected:
    void SetUp() override { previous_ = SetGlyphSource(MakeFreeTypeGlyphSource({RepositoryFontFile()})); }
    void TearDown() override { SetGlyphSource(previous_); }

    RawResource Build(const Json& json) {
        JsonObject obj(json, "fonts/f.json", "");
        RawResource r;
        r.present = true;
        project::LoadFont(obj, r, files_);
        obj.Finish();
        return r;
    }
    Json Unpack(const RawResource& r) {
        Json json = Json::object();
        project::SaveFont(r, json, files_);
        return json;
    }

    TempFolder temp_;
    ProjectFolder folder_{temp_.Path()};
    ResourceFiles files_{folder_, "fonts/f"};
    std::shared_ptr<GlyphSource> previous_;
};

TEST_F(FontProject, FieldsBuildTheRecordOfARunTimeFont) {
    const RawResource r = Build(Json::parse(R"({"family": "Arial", "size": 14, "bold": false, "first": 48,
                                                "last": 57, "charset": 204, "antialias": 1})"));
    CFont built;
    CStream in(r.record);
    ASSERT_TRUE(built.LoadFromStream(in));
    CFont added;
    added.CreateFont("Arial", 14, false, false, 48, 57, 204);
    EXPECT_EQ(built.s_bytes, added.s_bytes);
    EXPECT_EQ(built.s_shift, added.s_shift);
    EXPECT_EQ(built.s_charset, 204);
    EXPECT_EQ(built.s_AntiAlias, 1);
    EXPECT_GT(built.s_bw, 0);

    const Json back = Unpack(r);
    EXPECT_EQ(back,
              Json::parse(R"({"family": "Arial", "size": 14, "bold": false, "italic": false, "first": 48,
                                    "last": 57, "charset": 204, "antialias": 1})"));
    EXPECT_EQ(Build(back).record, r.record);
    // Defaults: Arial 12, glyphs 32 to 127.
    EXPECT_EQ(Unpack(Build(Json::object())),
              Json::parse(R"({"family": "Arial", "size": 12, "bold": false, "italic": false, "first": 32,
                              "last": 127})"));
}

TEST_F(FontProject, RecordsTheFieldsCannotRebuildStayHex) {
    RawResource r = Build(Json::parse(R"({"size": 10})"));
    r.record[r.record.size() - 1] ^= 1; // the atlas no longer decompresses the same
    EXPECT_TRUE(Unpack(r).contains("record"));
    CFont edited;
    CStream in(Build(Json::parse(R"({"size": 10})")).record);
    ASSERT_TRUE(edited.LoadFromStream(in));
    edited.s_shift['A'] += 1; // a glyph table made elsewhere
    CStream out;
    edited.SaveToStream(out);
    RawResource e;
    e.present = true;
    e.record = out.TakeBytes();
    const Json json = Unpack(e);
    ASSERT_TRUE(json.contains("record"));
    EXPECT_EQ(Build(json).record, e.record);
}

TEST_F(FontProject, BadFieldsAreNamed) {
    const std::pair<const char*, const char*> cases[] = {
        {R"({"size": 0})", "fonts/f.json: size: expected a point size from 1 to 512"},
        {R"({"first": 300})", "fonts/f.json: first: expected a glyph index from 0 to 255"},
        {R"({"first": 64, "last": 32})", "fonts/f.json: last: expected a glyph index from first to 255"},
        {R"({"family": ""})", "fonts/f.json: family: expected a font family name"},
        {R"({"charset": 0})", "fonts/f.json: charset: expected a character set from 1 to 255"},
    };
    for (const auto& [text, message] : cases) {
        try {
            Build(Json::parse(text));
            ADD_FAILURE() << text;
        } catch (const ProjectError& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    }
}

} // namespace
} // namespace kestrin::testing
