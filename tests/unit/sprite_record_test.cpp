#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "game/startup.h"
#include "runner/container.h"
#include "runner/game_data.h"
#include "runner/messages.h"
#include "base/stream.h"
#include "sprite_fixture.h"
#include "graphics/sprite.h"

namespace kestrin {
namespace {

using testing::Art;

void MakeTwoFrames(CSprite& spr) {
    spr.Clear();
    spr.i_bitmap = {Art({"#..", ".5."}), Art({"...", "..#"})};
    spr.i_numb = 2;
    spr.i_xorig = 1;
    spr.i_yorig = -2;
    spr.ComputeMask(false, kBoxAutomatic, TRect{}, kMaskPrecise, 0);
}

std::vector<int32_t> Integers(const std::vector<uint8_t>& bytes) {
    CStream s(bytes);
    std::vector<int32_t> out;
    while (s.Remaining() >= 4) out.push_back(s.ReadInteger());
    return out;
}

TEST(SpriteRecord, MaskRecordStoresBoxLeftRightBottomTop) {
    TMask m;
    m.i_w = 2;
    m.i_h = 1;
    m.i_mask = {1, 0};
    m.i_bbox = {1, 2, 3, 4};
    CStream out;
    m.SaveToStream(out);
    EXPECT_EQ(Integers(out.Bytes()), (std::vector<int32_t>{800, 2, 1, 1, 3, 4, 2, 1, 0}));

    CStream in(out.Bytes());
    TMask back;
    ASSERT_TRUE(back.LoadFromStream(in));
    EXPECT_EQ(back, m);
    EXPECT_TRUE(in.AtEnd());
}

TEST(SpriteRecord, MaskFlagsAreReadRowByRowAsBooleans) {
    // A flag counts when it is positive, whatever its other bytes; rows come first in the record.
    CStream in;
    for (int32_t v : {800, 3, 2, 0, 2, 1, 0}) in.WriteInteger(v);
    for (int32_t v : {1, 0, 2, -1, 0x100, int32_t(0x80000000u)}) in.WriteInteger(v);
    in.Seek(0);
    TMask m;
    ASSERT_TRUE(m.LoadFromStream(in));
    EXPECT_TRUE(in.AtEnd());
    EXPECT_EQ(testing::MaskArt(m), (std::vector<std::string>{"#.#", ".#."}));
    EXPECT_TRUE(m.Complete());
}

TEST(SpriteRecord, SpriteRecordsRoundTrip) {
    CSprite spr;
    MakeTwoFrames(spr);
    for (int32_t version : {800, 810}) {
        SCOPED_TRACE(version);
        CStream out;
        spr.SaveToStream(out, version);
        CStream in(out.Bytes());
        CSprite back;
        ASSERT_TRUE(back.LoadFromStream(in));
        EXPECT_TRUE(in.AtEnd());
        EXPECT_EQ(back.i_numb, 2);
        EXPECT_EQ(back.i_bitmap, spr.i_bitmap);
        EXPECT_EQ(back.i_mask, spr.i_mask);
        EXPECT_EQ(back.i_bbox, spr.i_bbox);
        EXPECT_EQ(back.i_xorig, 1);
        EXPECT_EQ(back.i_yorig, -2);
        CStream again;
        back.SaveToStream(again, version);
        EXPECT_EQ(again.Bytes(), out.Bytes());
    }
    // Separate masks: one record per frame; the box is the union of theirs.
    spr.ComputeMask(true, kBoxAutomatic, TRect{}, kMaskPrecise, 0);
    CStream out;
    spr.SaveToStream(out);
    CStream in(out.Bytes());
    CSprite back;
    ASSERT_TRUE(back.LoadFromStream(in));
    EXPECT_EQ(back.i_mask.size(), 2u);
    EXPECT_EQ(back.i_bbox, (TRect{0, 0, 2, 1}));
}

TEST(SpriteRecord, DamagedRecordsFailSafely) {
    CSprite spr;
    MakeTwoFrames(spr);
    CStream out;
    spr.SaveToStream(out);
    const std::vector<uint8_t> good = out.Bytes();

    std::vector<uint8_t> badVersion = good;
    badVersion[0] = 0x21; // 801
    CStream bv(badVersion);
    CSprite target;
    MakeTwoFrames(target);
    EXPECT_FALSE(target.LoadFromStream(bv));
    EXPECT_EQ(target.i_numb, 0);

    // Every cut leaves a consistent sprite: as many masks as the record promises, or none.
    for (size_t n = 0; n < good.size(); ++n) {
        CStream cut(std::vector<uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n)));
        CSprite s;
        if (s.LoadFromStream(cut)) {
            EXPECT_EQ(static_cast<int32_t>(s.i_bitmap.size()), s.i_numb);
            EXPECT_EQ(s.i_mask.size(), s.i_numb <= 0 ? 0u : s.i_sepmasks ? size_t(s.i_numb) : 1u);
        } else {
            EXPECT_EQ(s.i_numb, 0);
        }
    }

    // Counts that the data cannot hold are refused before anything is allocated.
    CStream frames;
    for (int32_t v : {800, 0, 0, 1 << 30}) frames.WriteInteger(v);
    CStream fs(frames.Bytes());
    EXPECT_FALSE(target.LoadFromStream(fs));

    CStream mask;
    for (int32_t v : {800, 60000, 60000, 0, 0, 0, 0, 1, 1}) mask.WriteInteger(v);
    CStream ms(mask.Bytes());
    TMask m;
    EXPECT_FALSE(m.LoadFromStream(ms));
    EXPECT_EQ(m.i_w, 0);
    EXPECT_TRUE(m.i_mask.empty());

    // No pixels, however tall: read and written without walking the height.
    CStream flat;
    for (int32_t v : {800, 0, 0x7FFFFFFF, 0, 0, 0, 0}) flat.WriteInteger(v);
    CStream fl(flat.Bytes());
    ASSERT_TRUE(m.LoadFromStream(fl));
    EXPECT_EQ(m.i_h, 0x7FFFFFFF);
    CStream again;
    m.SaveToStream(again);
    EXPECT_EQ(again.Bytes(), flat.Bytes());
}

TEST(SpriteRecord, TableLoadsRecordsAndRefusesDamagedOnes) {
    CSprite spr;
    MakeTwoFrames(spr);
    CStream out;
    spr.SaveToStream(out);
    std::vector<RawResource> records(3);
    records[0] = {true, "spr_player", out.Bytes()};
    records[1] = {false, "", {}};
    records[2] = {true, "spr_empty", {}};
    records[2].record = {0x20, 0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_TRUE(Sprite_LoadRecords(records));
    EXPECT_EQ(Sprite_Count(), 3);
    EXPECT_EQ(Sprite_GetName(0), "spr_player");
    EXPECT_EQ(Sprite_ImageCount(0), 2);
    EXPECT_FALSE(Sprite_Exists(1));
    EXPECT_EQ(Sprite_GetName(1), "<undefined>");
    EXPECT_EQ(Sprite_Find("spr_empty"), 2);
    EXPECT_EQ(Sprite_Get(2)->i_numb, 0);

    records[2].record.resize(6);
    EXPECT_FALSE(Sprite_LoadRecords(records));
    EXPECT_EQ(Sprite_Count(), 0);
    Sprite_ClearAll();
}

class Quiet : public LoadingDisplay, public MessageSink {
public:
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    std::vector<std::string> messages;
};

// The container of a game whose resource stream is cut `cut` bytes short of its end.
std::vector<uint8_t> GameImage(const GameData& game, size_t cut = 0) {
    StreamRandom random(5);
    CStream resources;
    WriteResourceStream(resources, game, random);
    resources.Bytes().resize(resources.Size() - cut);
    CStream body;
    body.WriteInteger(0);
    body.WriteBoolean(false);
    body.WriteInteger(0);
    WriteSettings(body, game.settings);
    body.WriteString("");
    body.WriteStreamC(CStream());
    body.WriteStreamE(resources, random);
    return WriteContainer(body.Bytes(), random);
}

TEST(SpriteRecord, TheRunnerDecodesSpritesAsTheyAreReadAndKeepsNoRecords) {
    CSprite spr;
    MakeTwoFrames(spr);
    CStream out;
    spr.SaveToStream(out);
    GameData game;
    game.room_order = {0};
    game.Resources(ResourceKind::Sprite) = {{true, "spr_a", out.Bytes()}, {false, "", {}}, {true, "spr_b", out.Bytes()}};
    {
        Quiet quiet;
        Runner runner(RunOptions{}, quiet, quiet);
        ASSERT_TRUE(runner.Load(GameImage(game), 0));
        EXPECT_EQ(Sprite_Count(), 3);
        EXPECT_EQ(Sprite_Find("spr_b"), 2);
        EXPECT_FALSE(Sprite_Exists(1));
        EXPECT_EQ(Sprite_Get(2)->i_mask, spr.i_mask);
        const std::vector<RawResource>& slots = runner.Game().Resources(ResourceKind::Sprite);
        ASSERT_EQ(slots.size(), 3u);
        EXPECT_EQ(slots[2].name, "spr_b");
        EXPECT_TRUE(slots[2].present);
        for (const RawResource& slot : slots) EXPECT_TRUE(slot.record.empty());
    }

    // A damaged sprite fails the load as damaged resource data, unless the file is also damaged
    // further on: that one reads as a corrupted file, as before any sprite was decoded.
    game.Resources(ResourceKind::Sprite)[1] = {true, "spr_bad", {0x20, 0x03, 0, 0, 1}};
    struct Case {
        size_t cut;
        const char* message;
    };
    for (const Case& c : {Case{0, msg::kResourceData}, Case{9, msg::kLoadCorrupted}}) {
        Quiet quiet;
        Runner runner(RunOptions{}, quiet, quiet);
        EXPECT_FALSE(runner.Load(GameImage(game, c.cut), 0));
        EXPECT_EQ(quiet.messages, std::vector<std::string>{c.message});
        EXPECT_EQ(Sprite_Count(), 0);
    }
}

class SpriteFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("kestrin_sprite_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        Sprite_ClearAll();
        std::filesystem::remove_all(dir_);
    }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    std::filesystem::path dir_;
};

TEST_F(SpriteFiles, SavedSpriteFilesRoundTrip) {
    CSprite spr;
    spr.i_bitmap = {Art({"....", ".##.", ".##.", "...."}, 0x00336699)};
    spr.i_numb = 1;
    spr.i_xorig = 2;
    spr.i_yorig = 3;
    const std::string path =
        Write("a.ksspr", spr.SaveToSpriteBytes(kMaskRectangle, 0, kBoxManual, {0, 1, 1, 2}));

    CSprite back;
    ASSERT_TRUE(back.LoadFromSpriteFile(path));
    EXPECT_EQ(back.i_numb, 1);
    EXPECT_EQ(back.i_xorig, 2);
    EXPECT_EQ(back.i_yorig, 3);
    // The masks follow the stored settings: a manual rectangle.
    ASSERT_EQ(back.i_mask.size(), 1u);
    EXPECT_EQ(back.i_bbox, (TRect{0, 1, 1, 2}));
    EXPECT_TRUE(back.i_mask[0].Get(0, 1));
    EXPECT_FALSE(back.i_mask[0].Get(2, 1));
    // Transparent pixels take their neighbours' colour.
    EXPECT_EQ(back.i_bitmap[0].GetPixel(0, 1), 0x00336699u);
}

TEST_F(SpriteFiles, FailedReplacesKeepTheOldSprite) {
    CSprite spr;
    MakeTwoFrames(spr);
    const std::vector<uint8_t> good = spr.SaveToSpriteBytes(kMaskPrecise, 0, kBoxAutomatic, {});
    std::vector<uint8_t> cut(good.begin(), good.end() - 3);
    std::vector<uint8_t> badMagic = good;
    badMagic[0] ^= 1;
    const std::string paths[] = {Write("cut.ksspr", cut), Write("magic.ksspr", badMagic),
                                 (dir_ / "missing.ksspr").string(), Write("junk.png", {1, 2, 3})};

    const int32_t ind = Sprite_AddNew();
    ASSERT_TRUE(Sprite_ReplaceFromSpriteFile(ind, Write("good.ksspr", good)));
    for (const std::string& p : paths) {
        SCOPED_TRACE(p);
        EXPECT_FALSE(Sprite_ReplaceFromSpriteFile(ind, p));
        EXPECT_FALSE(Sprite_ReplaceFromFile(ind, p, 1, false, false, 0, 0));
        ASSERT_TRUE(Sprite_Exists(ind));
        EXPECT_EQ(Sprite_Get(ind)->i_numb, 2);
        EXPECT_EQ(Sprite_Get(ind)->i_xorig, 1);
        EXPECT_EQ(Sprite_Get(ind)->i_mask.size(), 1u);
        EXPECT_EQ(Sprite_AddFromSpriteFile(p), -1);
    }
    EXPECT_EQ(Sprite_Count(), 1);
    // A failed replace leaves an empty entry empty.
    ASSERT_TRUE(Sprite_Delete(ind));
    EXPECT_FALSE(Sprite_ReplaceFromSpriteFile(ind, paths[0]));
    EXPECT_FALSE(Sprite_Exists(ind));
    EXPECT_TRUE(Sprite_ReplaceFromSpriteFile(ind, (dir_ / "good.ksspr").string()));
    EXPECT_TRUE(Sprite_Exists(ind));
    EXPECT_FALSE(Sprite_ReplaceFromSpriteFile(5, (dir_ / "good.ksspr").string()));
}

TEST_F(SpriteFiles, TableOperations) {
    EXPECT_EQ(Sprite_GetName(-1), "<undefined>");
    EXPECT_EQ(Sprite_AddNew(), 0);
    auto spr = std::make_unique<CSprite>();
    MakeTwoFrames(*spr);
    EXPECT_EQ(Sprite_AddNew(std::move(spr)), 1);
    EXPECT_EQ(Sprite_GetName(1), "__newsprite1");
    EXPECT_EQ(Sprite_Find("__newsprite1"), 1);
    EXPECT_EQ(Sprite_Find("__newsprite9"), -1);

    const int32_t copy = Sprite_Duplicate(1);
    EXPECT_EQ(copy, 2);
    Sprite_Get(1)->Clear();
    EXPECT_EQ(Sprite_ImageCount(copy), 2);
    EXPECT_EQ(Sprite_Get(copy)->i_mask.size(), 1u);
    EXPECT_EQ(Sprite_Duplicate(7), -1);

    EXPECT_TRUE(Sprite_Delete(0));
    EXPECT_FALSE(Sprite_Delete(0));
    EXPECT_EQ(Sprite_Find("__newsprite0"), -1);
    EXPECT_EQ(Sprite_GetName(0), "<undefined>");
    // Assigning to an empty entry fills it; a missing source or target is refused.
    EXPECT_TRUE(Sprite_Assign(0, copy));
    EXPECT_EQ(Sprite_ImageCount(0), 2);
    EXPECT_FALSE(Sprite_Assign(0, 9));
    EXPECT_FALSE(Sprite_Assign(9, copy));
    EXPECT_EQ(Sprite_ImageCount(9), 0);
}

} // namespace
} // namespace kestrin
