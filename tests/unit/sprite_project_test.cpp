#include <gtest/gtest.h>

#include <fstream>

#include <nlohmann/json.hpp>

#include "project_fixture.h"
#include "base/stream.h"
#include "sprite_fixture.h"
#include "tools/project.h"
#include "graphics/sprite.h"

namespace kestrin {
namespace {

using testing::Art;
using testing::Raw;
using testing::TempFolder;

std::vector<uint8_t> Record(const CSprite& spr, int32_t version = kSpriteRecordVersion) {
    CStream out;
    spr.SaveToStream(out, version);
    return out.TakeBytes();
}

CSprite& Frames(CSprite& spr, std::vector<TBitmap32> frames, int32_t xo, int32_t yo) {
    spr.i_numb = static_cast<int32_t>(frames.size());
    spr.i_bitmap = std::move(frames);
    spr.i_xorig = xo;
    spr.i_yorig = yo;
    return spr;
}

GameData GameWithSprites() {
    GameData g;
    auto& sprites = g.Resources(ResourceKind::Sprite);
    CSprite a;
    Frames(a, {Art({"#..", ".5.", "..9"}), Art({"...", "##.", "..."})}, 1, 2)
        .ComputeMask(false, kBoxAutomatic, TRect{}, kMaskPrecise, 0);
    sprites.push_back(Raw("spr_shared", Record(a)));
    CSprite b;
    Frames(b, {Art({"####", "####"}), Art({"#...", "...."})}, -3, 0)
        .ComputeMask(true, kBoxManual, {1, 0, 2, 5}, kMaskRectangle, 0);
    sprites.push_back(Raw("spr_manual", Record(b, kSpriteRecordVersion810)));
    CSprite c;
    Frames(c, {Art({"159", "951"})}, 0, 0).ComputeMask(false, kBoxAutomatic, TRect{}, kMaskPrecise, 125);
    sprites.push_back(Raw("spr_tolerance", Record(c)));
    CSprite d;
    Frames(d, {Art({"###", "###"})}, 0, 0).ComputeMask(false, kBoxFull, TRect{}, kMaskEllipse, 0);
    // A mask no setting produces: only the hex form keeps it.
    d.i_mask[0].Set(1, 0, false);
    sprites.push_back(Raw("spr_edited", Record(d)));
    sprites.push_back(Raw("spr_empty", Record(CSprite())));
    sprites.emplace_back();
    return g;
}

nlohmann::json ReadJson(const std::filesystem::path& path) {
    std::ifstream in(path);
    return nlohmann::json::parse(in);
}

TEST(SpriteProject, BuildUnpackBuildKeepsTheBytes) {
    const GameData game = GameWithSprites();
    TempFolder first, second;
    std::string error;
    ASSERT_TRUE(SaveProject(game, first.Path(), error)) << error;

    const auto shared = ReadJson(first / "sprites/spr_shared.json");
    EXPECT_FALSE(shared.contains("record"));
    EXPECT_EQ(shared["frames"].size(), 2u);
    EXPECT_EQ(shared["xorigin"], 1);
    EXPECT_EQ(shared["mask"]["kind"], "precise");
    const auto manual = ReadJson(first / "sprites/spr_manual.json");
    EXPECT_EQ(manual["version"], 810);
    EXPECT_EQ(manual["separate_masks"], true);
    EXPECT_EQ(manual["mask"]["bbox"], "manual");
    EXPECT_EQ(manual["mask"]["right"], 2);
    EXPECT_EQ(ReadJson(first / "sprites/spr_tolerance.json")["mask"]["tolerance"], 125);
    EXPECT_TRUE(ReadJson(first / "sprites/spr_edited.json").contains("record"));
    EXPECT_EQ(ReadJson(first / "sprites/spr_empty.json")["frames"].size(), 0u);

    GameData built;
    ASSERT_TRUE(LoadProject(first.Path(), built, error)) << error;
    testing::ExpectSameResources(built.Resources(ResourceKind::Sprite), game.Resources(ResourceKind::Sprite),
                                 "sprites");
    ASSERT_TRUE(SaveProject(built, second.Path(), error)) << error;
    GameData rebuilt;
    ASSERT_TRUE(LoadProject(second.Path(), rebuilt, error)) << error;
    testing::ExpectSameResources(rebuilt.Resources(ResourceKind::Sprite),
                                 game.Resources(ResourceKind::Sprite), "sprites");
}

TEST(SpriteProject, BuilderComputesMasksFromTheFields) {
    const GameData game = GameWithSprites();
    TempFolder dir;
    std::string error;
    ASSERT_TRUE(SaveProject(game, dir.Path(), error)) << error;
    const auto path = dir / "sprites/spr_shared.json";
    auto json = ReadJson(path);
    json["mask"] = {{"kind", "diamond"}, {"bbox", "full"}};
    json["separate_masks"] = true;
    std::ofstream(path) << json.dump();

    GameData built;
    ASSERT_TRUE(LoadProject(dir.Path(), built, error)) << error;
    CStream in(built.Resources(ResourceKind::Sprite)[0].record);
    CSprite spr;
    ASSERT_TRUE(spr.LoadFromStream(in));
    CSprite expected;
    Frames(expected, spr.i_bitmap, 1, 2).ComputeMask(true, kBoxFull, TRect{}, kMaskDiamond, 0);
    EXPECT_EQ(spr.i_mask, expected.i_mask);
    EXPECT_EQ(spr.i_mask.size(), 2u);

    json["mask"]["tolerance"] = 300;
    std::ofstream(path) << json.dump();
    EXPECT_FALSE(LoadProject(dir.Path(), built, error));
    EXPECT_NE(error.find("tolerance"), std::string::npos) << error;

    json["mask"] = nlohmann::json::object();
    json["frames"] = {"sprites/missing.png"};
    std::ofstream(path) << json.dump();
    EXPECT_FALSE(LoadProject(dir.Path(), built, error));
    EXPECT_NE(error.find("frames[0]"), std::string::npos) << error;
}

} // namespace
} // namespace kestrin
