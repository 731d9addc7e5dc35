// Path records: the reader and writer, damaged records refused or mended, the path table
// built from the game data, and the readable project form with its hex fallback.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>

#include "base/stream.h"
#include "game/startup.h"
#include "runner/messages.h"
#include "tests/unit/project_fixture.h"
#include "tools/project.h"
#include "world/path.h"
#include "world/path_record.h"

namespace kestrin {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Bytes(const PathRecord& r) {
    CStream out;
    r.SaveToStream(out);
    return out.TakeBytes();
}

PathRecord Sample() {
    PathRecord r;
    r.kind = 1;
    r.closed = true;
    r.precision = 3;
    r.points = {{0, 0, 100}, {100.25, -3, 50}, {-0.0, 1e-7, 0}};
    return r;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(PathRecord, WriterAndReaderAgree) {
    const std::vector<uint8_t> bytes = Bytes(Sample());
    // Version, kind, closed, precision, count, then three reals a point.
    EXPECT_EQ(bytes.size(), 5 * 4 + 3 * kPathPointBytes);
    CStream in(bytes);
    PathRecord back;
    ASSERT_TRUE(back.LoadFromStream(in));
    EXPECT_TRUE(in.AtEnd());
    EXPECT_EQ(Bytes(back), bytes);
    CStream again(bytes);
    CPath path;
    ASSERT_TRUE(path.LoadFromStream(again));
    EXPECT_EQ(path.Kind(), 1);
    EXPECT_TRUE(path.Closed());
    EXPECT_EQ(path.Precision(), 3);
    ASSERT_EQ(path.Count(), 3);
    EXPECT_DOUBLE_EQ(path.Points()[1].x, 100.25);
    EXPECT_FALSE(path.IntPoints().empty());
    CStream saved;
    path.SaveToStream(saved);
    EXPECT_EQ(saved.TakeBytes(), bytes);
}

TEST(PathRecord, DamagedRecordsAreRefused) {
    struct Case {
        const char* name;
        std::vector<int32_t> words; // the record's head; points follow as zero reals
        int32_t reals;
        bool refused; // the reader says no
        bool throws;  // the stream runs out
    };
    const std::vector<Case> cases = {
        {"whole", {530, 0, 1, 4, 1}, 3, false, false},
        {"another version", {531, 0, 1, 4, 0}, 0, true, false},
        {"a negative count", {530, 0, 1, 4, -1}, 0, true, false},
        {"a count beyond the stream", {530, 0, 1, 4, 1000000000}, 3, false, true},
        {"points cut short", {530, 0, 1, 4, 2}, 5, false, true},
        {"no count", {530, 0, 1, 4}, 0, false, true},
        {"empty", {}, 0, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CStream data;
        for (int32_t w : c.words) data.WriteInteger(w);
        for (int32_t i = 0; i < c.reals; ++i) data.WriteReal(0);
        CStream in(data.TakeBytes());
        PathRecord r;
        if (c.throws) {
            EXPECT_THROW((void)r.LoadFromStream(in), StreamError);
        } else {
            EXPECT_EQ(r.LoadFromStream(in), !c.refused);
        }
    }
}

TEST(PathRecord, OutOfRangeSettingsAreMendedOnLoad) {
    struct Case {
        int32_t kind, precision;
        int32_t wantKind, wantPrecision;
    };
    for (const Case& c : {Case{7, 20, 0, 8}, Case{-1, -5, 0, 0}, Case{1, 8, 1, 8}, Case{0, 0, 0, 0}}) {
        PathRecord r = Sample();
        r.kind = c.kind;
        r.precision = c.precision;
        CStream in(Bytes(r));
        CPath path;
        ASSERT_TRUE(path.LoadFromStream(in));
        EXPECT_EQ(path.Kind(), c.wantKind) << c.kind;
        EXPECT_EQ(path.Precision(), c.wantPrecision) << c.precision;
    }
}

TEST(PathTable, LoadsRecordsAndAddsAtTheEnd) {
    std::vector<RawResource> records = {
        {true, "pth_a", Bytes(Sample())}, {}, {true, "pth_b", Bytes(PathRecord())}};
    ASSERT_TRUE(Path_LoadRecords(records));
    EXPECT_EQ(Path_Count(), 3);
    EXPECT_TRUE(Path_Exists(0));
    EXPECT_FALSE(Path_Exists(1));
    EXPECT_FALSE(Path_Exists(3));
    EXPECT_FALSE(Path_Exists(-1));
    EXPECT_EQ(Path_GetName(0), "pth_a");
    EXPECT_EQ(Path_GetName(1), "<undefined>");
    EXPECT_EQ(Path_Find("pth_b"), 2);
    EXPECT_EQ(Path_Find("PTH_B"), -1);
    EXPECT_EQ(Path_Get(0)->Count(), 3);
    // A new path goes after the last slot even when an earlier one is empty.
    EXPECT_EQ(Path_AddNew(std::make_unique<CPath>()), 3);
    EXPECT_EQ(Path_GetName(3), "__newpath3");
    EXPECT_TRUE(Path_Delete(0));
    EXPECT_FALSE(Path_Delete(0));
    EXPECT_EQ(Path_Find("pth_a"), -1);
    EXPECT_EQ(Path_Get(0), nullptr);

    // One damaged record fails the load and leaves no table behind.
    for (std::vector<uint8_t> bad : {std::vector<uint8_t>{1, 2, 3}, Bytes(Sample())}) {
        if (bad.size() > 3) bad[0] = 0; // another version
        records = {{true, "pth_a", Bytes(Sample())}, {true, "bad", bad}};
        EXPECT_FALSE(Path_LoadRecords(records));
        EXPECT_EQ(Path_Count(), 0);
    }
    Path_ClearAll();
}

class Quiet : public LoadingDisplay, public MessageSink {
public:
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    std::vector<std::string> messages;
};

TEST(PathTable, TheRunnerLoadsTheGamesPaths) {
    GameData game;
    game.room_order = {0};
    game.Resources(ResourceKind::Path) = {{true, "pth_a", Bytes(Sample())}, {}};
    StreamRandom random;
    {
        Quiet quiet;
        Runner runner(RunOptions{}, quiet, quiet);
        ASSERT_TRUE(runner.Load(SaveGameData(game, random), 0));
        EXPECT_EQ(Path_Count(), 2);
        EXPECT_EQ(Path_Find("pth_a"), 0);
        EXPECT_EQ(Path_Get(0)->Precision(), 3);
    }
    game.Resources(ResourceKind::Path)[1] = {true, "pth_bad", {0x12, 0x02, 0, 0, 1}};
    Quiet quiet;
    Runner runner(RunOptions{}, quiet, quiet);
    EXPECT_FALSE(runner.Load(SaveGameData(game, random), 0));
    EXPECT_EQ(quiet.messages, std::vector<std::string>{msg::kResourceData});
    EXPECT_EQ(Path_Count(), 0);
}

TEST(PathProject, RecordsRoundTripThroughReadableFiles) {
    GameData game;
    auto& paths = game.Resources(ResourceKind::Path);
    paths.push_back({true, "pth_curve", Bytes(Sample())});
    PathRecord odd = Sample();
    odd.kind = 9;
    odd.precision = -2;
    paths.push_back({true, "pth_odd_settings", Bytes(odd)}); // kept as stored, readable
    paths.emplace_back();
    paths.push_back({true, "pth_empty", Bytes(PathRecord())});
    PathRecord nan = Sample();
    nan.points[1].speed = std::numeric_limits<double>::quiet_NaN();
    paths.push_back({true, "pth_nan", Bytes(nan)});
    paths.push_back({true, "pth_bool", Bytes(Sample())});
    paths.back().record[8] = 2; // Boolean "closed" stored as 2: only the hex form keeps it
    paths.push_back({true, "pth_tail", Bytes(Sample())});
    paths.back().record.push_back(0);
    paths.push_back({true, "pth_version", Bytes(Sample())});
    paths.back().record[0] = 0;

    testing::TempFolder temp;
    std::string error;
    ASSERT_TRUE(SaveProject(game, temp.Path(), error)) << error;
    GameData back;
    ASSERT_TRUE(LoadProject(temp.Path(), back, error)) << error;
    const auto& got = back.Resources(ResourceKind::Path);
    ASSERT_EQ(got.size(), paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(got[i].present, paths[i].present) << i;
        EXPECT_EQ(got[i].name, paths[i].name) << i;
        EXPECT_EQ(got[i].record, paths[i].record) << i;
    }
    for (const char* readable : {"pth_curve", "pth_odd_settings", "pth_empty"}) {
        const std::string text = ReadFile(temp / "paths" / (std::string(readable) + ".json"));
        EXPECT_EQ(text.find("\"record\""), std::string::npos) << readable;
        EXPECT_NE(text.find("\"points\""), std::string::npos) << readable;
    }
    EXPECT_NE(ReadFile(temp / "paths/pth_curve.json").find("\"smooth\""), std::string::npos);
    for (const char* hex : {"pth_nan", "pth_bool", "pth_tail", "pth_version"})
        EXPECT_NE(ReadFile(temp / "paths" / (std::string(hex) + ".json")).find("\"record\""),
                  std::string::npos)
            << hex;
}

TEST(PathProject, HandWrittenFiles) {
    struct Case {
        const char* json;
        const char* error; // nullptr: loads
    } cases[] = {
        {R"({"kind": "smooth", "closed": true, "precision": 3,
             "points": [{"x": 0, "y": 0, "speed": 100}, {"x": 100.25, "y": -3, "speed": 50},
                        {"x": -0.0, "y": 1e-7, "speed": 0}]})",
         nullptr},
        {R"({"kind": "bent"})", "paths/p.json: kind: expected one of"},
        {R"({"points": [{"x": 1, "z": 2}]})", "paths/p.json: points[0].z: unknown field"},
        {R"({"points": [{"x": "one"}]})", "paths/p.json: points[0].x"},
        {R"({"points": 3})", "paths/p.json: points"},
        {R"({"record": "zz"})", "paths/p.json: record: expected hex digits"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        testing::TempFolder temp;
        testing::WriteTextFile(temp / "game.json", R"({"resources": {"paths": ["p"]}})");
        testing::WriteTextFile(temp / "paths/p.json", c.json);
        GameData game;
        std::string error;
        const bool loaded = LoadProject(temp.Path(), game, error);
        if (!c.error) {
            ASSERT_TRUE(loaded) << error;
            EXPECT_EQ(game.Resources(ResourceKind::Path).at(0).record, Bytes(Sample()));
        } else {
            EXPECT_FALSE(loaded);
            EXPECT_EQ(error.rfind(c.error, 0), 0u) << "got: " << error;
        }
    }
    // Absent fields take the record's defaults; a point's speed defaults to 100.
    testing::TempFolder temp;
    testing::WriteTextFile(temp / "game.json", R"({"resources": {"paths": ["p"]}})");
    testing::WriteTextFile(temp / "paths/p.json", R"({"points": [{"x": 5, "y": 6}]})");
    GameData game;
    std::string error;
    ASSERT_TRUE(LoadProject(temp.Path(), game, error)) << error;
    PathRecord want;
    want.points = {{5, 6, 100}};
    EXPECT_EQ(game.Resources(ResourceKind::Path).at(0).record, Bytes(want));
}

// Writes the seed files of the fuzz_path target. Disabled in normal runs; regenerate with
//   kestrin_tests --gtest_also_run_disabled_tests --gtest_filter='PathFuzzSeeds.*'
TEST(PathFuzzSeeds, DISABLED_WriteFuzzSeeds) {
    const fs::path dir = fs::path(KESTRIN_SOURCE_DIR) / "fuzz/corpus/fuzz_path";
    fs::create_directories(dir);
    auto save = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    };
    save("smooth_closed", Bytes(Sample()));
    save("empty", Bytes(PathRecord()));
    PathRecord straight;
    straight.points = {{0, 0, 100}, {100, 0, 100}, {100, 100, 100}};
    save("straight_open", Bytes(straight));
    PathRecord odd = Sample();
    odd.kind = 9;
    odd.precision = 40;
    odd.points.push_back({1e300, -1e300, 1});
    save("odd_settings", Bytes(odd));
    PathRecord fine;
    fine.kind = 1;
    fine.precision = 8;
    for (int i = 0; i < 12; ++i) fine.points.push_back({i * 37.0, (i % 3) * 91.0, 100.0 - i});
    save("smooth_fine", Bytes(fine));
}

} // namespace
} // namespace kestrin
