#include "graphics/graphics_recorder.h"
#include "graphics_fixture.h"

using namespace kestrin;
using kestrin::testing::GraphicsTest;

namespace {

class GraphicsRecorder : public GraphicsTest {
protected:
    static std::vector<Vertex3D> Numbered(int n, uint32_t colour = 0) {
        std::vector<Vertex3D> v(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) v[size_t(i)] = {float(i), 0, 0, 0, 0, 0, colour, 0, 0};
        return v;
    }
    static std::vector<float> Xs(const std::vector<Vertex3D>& v) {
        std::vector<float> x;
        for (const Vertex3D& p : v) x.push_back(p.x);
        return x;
    }
};

TEST_F(GraphicsRecorder, StripsAndFansBecomeListsWithTheirWinding) {
    CGraphicsRecorder r;
    const auto v = Numbered(5);
    r.AddPrims(PrimitiveType::TriangleStrip, 5, v.data());
    EXPECT_EQ(Xs(r.Triangles()), (std::vector<float>{0, 1, 2, 3, 2, 1, 2, 3, 4}));
    CGraphicsRecorder f;
    f.AddPrims(PrimitiveType::TriangleFan, 4, v.data());
    EXPECT_EQ(Xs(f.Triangles()), (std::vector<float>{0, 1, 2, 0, 2, 3}));
    f.AddPrims(PrimitiveType::LineStrip, 3, v.data());
    EXPECT_EQ(Xs(f.Lines()), (std::vector<float>{0, 1, 1, 2}));
    f.AddPrims(PrimitiveType::PointList, 2, v.data());
    f.AddPrims(PrimitiveType::TriangleList, 4, v.data()); // the odd vertex is dropped
    EXPECT_EQ(f.Points().size(), 2u);
    EXPECT_EQ(f.Triangles().size(), 9u);
}

TEST_F(GraphicsRecorder, RecolouringFollowsTheDrawingColour) {
    CGraphicsRecorder r;
    r.SetColour(0xFF112233);
    EXPECT_EQ(r.GetColour(), 0xFF112232u);
    const auto current = Numbered(3, 0xFF112232);
    const auto fixed = Numbered(3, 0xFF112233);
    r.AddPrims(PrimitiveType::TriangleList, 3, current.data());
    r.AddPrims(PrimitiveType::TriangleList, 3, fixed.data());
    r.ChangeColour(0x80FFFFFF);
    EXPECT_EQ(r.Triangles()[0].colour, 0x80FFFFFEu);
    EXPECT_EQ(r.Triangles()[3].colour, 0xFF112233u);
    EXPECT_EQ(r.GetColour(), 0x80FFFFFEu);
    CGraphicsRecorder fresh; // the initial colour has bit 0 clear, so recolouring works at once
    EXPECT_EQ(fresh.GetColour(), 0xFFFFFFFEu);
}

TEST_F(GraphicsRecorder, DrawTranslatesAndRestoresTheWorld) {
    CGraphicsRecorder r;
    const auto v = Numbered(6);
    r.AddPrims(PrimitiveType::TriangleList, 6, v.data());
    r.AddPrims(PrimitiveType::PointList, 1, v.data());
    r.Draw(0, 10, 20, 30);
    ASSERT_EQ(device.draws.size(), 2u);
    EXPECT_EQ(device.draws[0].type, PrimitiveType::TriangleList);
    EXPECT_EQ(device.draws[0].count, 2);
    EXPECT_EQ(device.draws[0].world, Translation(10, 20, 30));
    EXPECT_EQ(device.draws[1].type, PrimitiveType::PointList);
    EXPECT_EQ(RenderState_GetWorld(), Matrix::Identity());
}

} // namespace
