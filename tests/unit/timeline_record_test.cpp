// Time-line records: the reader and writer, damaged records refused, moments put in order on
// load, the moment searches, the table built from the game data, and the readable project form
// with its hex fallback.

#include <gtest/gtest.h>

#include <fstream>

#include "base/stream.h"
#include "runner/game_data.h"
#include "runner/object.h"
#include "tests/unit/project_fixture.h"
#include "tools/project.h"
#include "world/timeline.h"

namespace kestrin {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Bytes(const TimeLineRecord& r) {
    CStream out;
    r.SaveToStream(out);
    return out.TakeBytes();
}

ActionRecord Code(std::string text) {
    ActionRecord a;
    a.kind = kActionCode;
    a.exetype = kExecuteCode;
    a.argumentcount = 1;
    a.args = {std::move(text)};
    return a;
}

TimeLineRecord Sample() {
    TimeLineRecord r;
    r.moments.push_back({0, {0, kEventVersion, {Code("x = 1;")}}});
    r.moments.push_back({5, {0, kEventVersion, {Code("a"), Code("b")}}});
    r.moments.push_back({30, {0, 399, {}}}); // another event version: stored without actions
    return r;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(TimeLineRecord, WriterAndReaderAgree) {
    const std::vector<uint8_t> bytes = Bytes(Sample());
    CStream in(bytes);
    TimeLineRecord back;
    ASSERT_TRUE(back.LoadFromStream(in));
    EXPECT_TRUE(in.AtEnd());
    EXPECT_EQ(Bytes(back), bytes);
    CStream again(bytes);
    CTimeLine timeline;
    ASSERT_TRUE(timeline.LoadFromStream(again));
    ASSERT_EQ(timeline.Count(), 3);
    EXPECT_EQ(timeline.s_step, (std::vector<int32_t>{0, 5, 30}));
    EXPECT_EQ(timeline.Event(1)->e_number(), 2);
    EXPECT_EQ(timeline.Event(2)->e_number(), 0);
    EXPECT_EQ(timeline.Event(3), nullptr);
}

TEST(TimeLineRecord, DamagedRecordsAreRefused) {
    const std::vector<uint8_t> good = Bytes(Sample());
    std::vector<uint8_t> version = good;
    version[0] = 0;
    std::vector<uint8_t> count = good;
    count[4] = 0xFF; // a moment count far beyond the bytes present
    count[5] = 0xFF;
    count[6] = 0xFF;
    count[7] = 0x0F;
    std::vector<uint8_t> negative = good;
    negative[7] = 0x80;
    std::vector<uint8_t> cut(good.begin(), good.end() - 3);
    for (const auto& bytes : {version, count, negative, cut}) {
        bool loaded = true;
        try {
            CStream in(bytes);
            TimeLineRecord r;
            loaded = r.LoadFromStream(in);
        } catch (const StreamError&) {
            loaded = false;
        }
        EXPECT_FALSE(loaded);
        // A damaged record fails the load and leaves no table behind.
        EXPECT_FALSE(
            TimeLine_LoadRecords({RawResource{true, "good", good}, RawResource{true, "bad", bytes}}));
        EXPECT_EQ(TimeLine_Count(), 0);
    }
}

TEST(TimeLineRecord, MomentsOutOfOrderArePutInOrderAndMerged) {
    // Other tools may store moments unsorted or twice; every action is kept, in stored order
    // within a step, and the steps become strictly increasing.
    TimeLineRecord r;
    r.moments.push_back({10, {0, kEventVersion, {Code("a")}}});
    r.moments.push_back({2, {0, kEventVersion, {Code("b")}}});
    r.moments.push_back({10, {0, kEventVersion, {Code("c"), Code("d")}}});
    r.moments.push_back({-4, {0, kEventVersion, {}}});
    CTimeLine timeline;
    timeline.Assign(r);
    EXPECT_EQ(timeline.s_step, (std::vector<int32_t>{-4, 2, 10}));
    ASSERT_EQ(timeline.Event(2)->e_number(), 3);
    EXPECT_EQ(timeline.Event(2)->e_actions[2].act_argstring[0], "d");
}

TEST(TimeLine, MomentSearches) {
    CTimeLine timeline;
    EXPECT_EQ(timeline.FindLarger(0), -1);
    EXPECT_EQ(timeline.FindSmaller(0), -1);
    EXPECT_EQ(timeline.Find(0), -1);
    for (int32_t step : {4, 1, 2, 2}) timeline.AddMoment(step);
    ASSERT_EQ(timeline.s_step, (std::vector<int32_t>{1, 2, 4}));
    struct Case {
        double step;
        int32_t larger, smaller;
    } cases[] = {
        {-5, 0, -1},   {0.5, 0, -1}, {1, 0, 0},      {1.5, 1, 0},   {2, 1, 1},
        {3.999, 2, 1}, {4, 2, 2},    {4.0001, 3, 2}, {1e300, 3, 2}, {-1e300, 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        EXPECT_EQ(timeline.FindLarger(c.step), c.larger);
        EXPECT_EQ(timeline.FindSmaller(c.step), c.smaller);
    }
    EXPECT_EQ(timeline.Find(2), 1);
    EXPECT_EQ(timeline.Find(3), -1);
    // Deleting the first of three leaves the others in order; an absent step changes nothing.
    timeline.DeleteMoment(1);
    timeline.DeleteMoment(3);
    EXPECT_EQ(timeline.s_step, (std::vector<int32_t>{2, 4}));
    EXPECT_EQ(timeline.s_event.size(), 2u);
}

TEST(TimeLineTable, LoadsRecordsAndAddsAtTheEnd) {
    ASSERT_TRUE(TimeLine_LoadRecords({RawResource{true, "tl_a", Bytes(Sample())}, RawResource{},
                                      RawResource{true, "tl_b", Bytes(TimeLineRecord())}}));
    EXPECT_EQ(TimeLine_Count(), 3);
    EXPECT_TRUE(TimeLine_Exists(0));
    EXPECT_FALSE(TimeLine_Exists(1));
    EXPECT_FALSE(TimeLine_Exists(-1));
    EXPECT_EQ(TimeLine_GetName(1), "<undefined>");
    EXPECT_EQ(TimeLine_Find("tl_b"), 2);
    EXPECT_EQ(TimeLine_Find("TL_B"), -1);
    EXPECT_EQ(TimeLine_AddNew(), 3);
    EXPECT_EQ(TimeLine_GetName(3), "__newtimeline3");
    EXPECT_TRUE(TimeLine_Delete(0));
    EXPECT_FALSE(TimeLine_Delete(0));
    EXPECT_EQ(TimeLine_Find("tl_a"), -1);
    TimeLine_ClearAll();
}

TEST(TimeLineProject, RecordsRoundTripThroughReadableFiles) {
    GameData game;
    auto& timelines = game.Resources(ResourceKind::TimeLine);
    timelines.push_back({true, "tl_sample", Bytes(Sample())});
    timelines.push_back({true, "tl_empty", Bytes(TimeLineRecord())});
    timelines.emplace_back();
    TimeLineRecord unsorted = Sample();
    std::swap(unsorted.moments[0], unsorted.moments[1]);
    timelines.push_back({true, "tl_unsorted", Bytes(unsorted)});
    timelines.push_back({true, "tl_tail", Bytes(Sample())});
    timelines.back().record.push_back(0);
    timelines.push_back({true, "tl_version", Bytes(Sample())});
    timelines.back().record[0] = 1;

    testing::TempFolder temp;
    std::string error;
    ASSERT_TRUE(SaveProject(game, temp.Path(), error)) << error;
    GameData back;
    ASSERT_TRUE(LoadProject(temp.Path(), back, error)) << error;
    const auto& got = back.Resources(ResourceKind::TimeLine);
    ASSERT_EQ(got.size(), timelines.size());
    for (size_t i = 0; i < timelines.size(); ++i) {
        EXPECT_EQ(got[i].present, timelines[i].present) << i;
        EXPECT_EQ(got[i].name, timelines[i].name) << i;
        EXPECT_EQ(got[i].record, timelines[i].record) << i;
    }
    const std::string sample = ReadFile(temp / "timelines/tl_sample.json");
    EXPECT_EQ(sample.find("\"record\""), std::string::npos);
    EXPECT_NE(sample.find("\"moments\""), std::string::npos);
    EXPECT_EQ(ReadFile(temp / "timelines/tl_sample.step_0.action0.txt"), "x = 1;");
    for (const char* hex : {"tl_unsorted", "tl_tail", "tl_version"})
        EXPECT_NE(ReadFile(temp / "timelines" / (std::string(hex) + ".json")).find("\"record\""),
                  std::string::npos)
            << hex;
}

TEST(TimeLineProject, HandWrittenFiles) {
    struct Case {
        const char* json;
        const char* error; // nullptr: loads
    } cases[] = {
        {R"({"moments": [{"step": 0, "actions": [{"kind": "code", "arguments": ["x = 1;"]}]},
                         {"step": 5, "actions": [{"kind": "code", "arguments": ["a"]},
                                                 {"kind": "code", "arguments": ["b"]}]},
                         {"step": 30, "version": 399, "actions": []}]})",
         nullptr},
        {R"({"moments": [{"step": 5}, {"step": 5}]})",
         "timelines/t.json: moments[1].step: moments must be listed"},
        {R"({"moments": [{"step": 5}, {"step": 2}]})", "timelines/t.json: moments[1].step"},
        {R"({"moments": [{"step": 1, "when": 2}]})", "timelines/t.json: moments[0].when: unknown field"},
        {R"({"moments": [{"step": 1, "version": 3, "actions": [{"kind": "code"}]}]})",
         "timelines/t.json: moments[0].actions: an event of another version"},
        {R"({"moments": {}})", "timelines/t.json: moments"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        testing::TempFolder temp;
        testing::WriteTextFile(temp / "game.json", R"({"resources": {"timelines": ["t"]}})");
        testing::WriteTextFile(temp / "timelines/t.json", c.json);
        GameData game;
        std::string error;
        const bool loaded = LoadProject(temp.Path(), game, error);
        if (!c.error) {
            ASSERT_TRUE(loaded) << error;
            EXPECT_EQ(game.Resources(ResourceKind::TimeLine).at(0).record, Bytes(Sample()));
        } else {
            EXPECT_FALSE(loaded);
            EXPECT_EQ(error.rfind(c.error, 0), 0u) << "got: " << error;
        }
    }
}

// Writes the time-line seeds of the fuzz_world_records target. Disabled in normal runs;
// regenerate with
//   kestrin_tests --gtest_also_run_disabled_tests --gtest_filter='TimeLineFuzzSeeds.*'
TEST(TimeLineFuzzSeeds, DISABLED_WriteFuzzSeeds) {
    const fs::path dir = fs::path(KESTRIN_SOURCE_DIR) / "fuzz/corpus/fuzz_world_records";
    fs::create_directories(dir);
    auto save = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    };
    save("timeline", Bytes(Sample()));
    TimeLineRecord unsorted = Sample();
    std::swap(unsorted.moments[0], unsorted.moments[2]);
    unsorted.moments.push_back(unsorted.moments[1]);
    save("timeline_unsorted", Bytes(unsorted));
}

} // namespace
} // namespace kestrin
