#include <algorithm>

#include "graphics_fixture.h"
#include "sprite_fixture.h"
#include "graphics/sprite.h"

namespace kestrin {
namespace {

using testing::Art;

class SpriteDraw : public testing::GraphicsTest {
protected:
    // Two 4 × 2 frames, origin (1, 1), textures on the recording device.
    void SetUp() override {
        GraphicsTest::SetUp();
        spr.i_bitmap = {Art({"####", "####"}), Art({"#..#", "#..#"})};
        spr.i_numb = 2;
        spr.i_xorig = spr.i_yorig = 1;
        spr.InitTexture();
    }
    void TearDown() override {
        spr.Clear();
        GraphicsTest::TearDown();
    }
    DeviceTexture TextureOf(int32_t frame) const { return GR_Texture_Get(spr.i_tex[size_t(frame)])->tex; }
    // Left and top of the last draw's vertices.
    std::pair<float, float> TopLeft() const {
        const auto& v = device.draws.back().vertices;
        float x = v[0].x, y = v[0].y;
        for (const Vertex& p : v) {
            x = std::min(x, p.x);
            y = std::min(y, p.y);
        }
        return {x, y};
    }
    CSprite spr;
};

TEST_F(SpriteDraw, EntryPointsPlaceTheWrappedFrame) {
    ASSERT_GE(spr.GetTexture(1), 0);
    spr.DrawSimple(-1, 10, 20);
    ASSERT_EQ(device.draws.size(), 1u);
    EXPECT_EQ(device.draws[0].texture, TextureOf(1));
    EXPECT_EQ(TopLeft(), (std::pair<float, float>{8.5f, 18.5f}));

    // The origin lands on (x, y) and the scale grows the picture away from it.
    spr.Draw(2, 10, 20, 2, 3, 0, 0xFFFFFF, 1);
    EXPECT_EQ(device.draws.back().texture, TextureOf(0));
    EXPECT_EQ(TopLeft(), (std::pair<float, float>{7.5f, 16.5f}));

    // Stretched and part draws ignore the origin.
    spr.DrawStretched(0, 10, 20, 8, 8, 0xFFFFFF, 1);
    EXPECT_EQ(TopLeft(), (std::pair<float, float>{9.5f, 19.5f}));
    spr.DrawPart(0, 1, 0, 2, 2, 10, 20, 1, 1, 0xFFFFFF, 1);
    EXPECT_EQ(TopLeft(), (std::pair<float, float>{9.5f, 19.5f}));
    const size_t drawn = device.draws.size();
    spr.DrawStretched(0, 10, 20, 0, 8, 0xFFFFFF, 1);
    EXPECT_EQ(device.draws.size(), drawn);

    CSprite empty;
    empty.DrawSimple(0, 0, 0);
    empty.Draw(0, 0, 0, 1, 1, 0, 0xFFFFFF, 1);
    empty.DrawSpritePos(0, 0, 0, 1, 0, 1, 1, 0, 1, 1);
    EXPECT_EQ(device.draws.size(), drawn);
    EXPECT_EQ(empty.GetTexture(0), -1);
}

} // namespace
} // namespace kestrin
