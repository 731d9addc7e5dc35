#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "runner/datafile.h"
#include "runner/function_datafile.h"
#include "runner/messages.h"
#include "script/run_error.h"
#include "script/value.h"

using namespace kestrin;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> g_reports;
void Collect(const std::string& text) {
    g_reports.push_back(text);
}

std::string ReadText(const fs::path& p) {
    std::ifstream in(p);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class DataFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("ks_datafile_" + std::to_string(::getpid()) + "_" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "temp");
        fs::create_directories(root_ / "work");
        old_ = fs::current_path();
        fs::current_path(root_ / "work");
        g_reports.clear();
    }
    void TearDown() override {
        fs::current_path(old_);
        fs::remove_all(root_);
    }
    CDataFile File(int32_t action, const std::string& name = "a.txt") {
        CDataFile f;
        f.s_filename = name;
        f.s_exists = f.s_store = true;
        f.s_data = {'n', 'e', 'w'};
        f.s_exportaction = action;
        f.s_exportdir = (root_ / "out" / "deep").string();
        return f;
    }
    DataFileContext Context(bool secure) { return {(root_ / "temp").string(), secure, Collect}; }

    fs::path root_, old_;
};

} // namespace

TEST_F(DataFileTest, ExportActionsWriteWhereTheySayAndRemoveAtTheEnd) {
    struct Case {
        int32_t action;
        fs::path where;
    };
    const Case cases[] = {
        {kExportToTemp, root_ / "temp" / "a.txt"},
        {kExportToWorkingFolder, root_ / "work" / "a.txt"},
        {kExportToFolder, root_ / "out" / "deep" / "a.txt"},
    };
    for (const auto& c : cases) {
        CDataFile f = File(c.action);
        EXPECT_TRUE(f.Prepare(Context(false))) << c.action;
        EXPECT_EQ(ReadText(c.where), "new") << c.action;
        EXPECT_FALSE(f.s_exists) << "data is released after export";
        EXPECT_TRUE(f.Remove(Context(false)));
        EXPECT_FALSE(fs::exists(c.where)) << c.action;
    }
    CDataFile none = File(kExportNone);
    EXPECT_TRUE(none.Prepare(Context(false)));
    EXPECT_TRUE(none.s_exists);
    CDataFile absent = File(kExportToTemp);
    absent.s_exists = false;
    EXPECT_FALSE(absent.Prepare(Context(false)));
}

TEST_F(DataFileTest, ExistingFileIsNeitherOverwrittenNorRemoved) {
    std::ofstream(root_ / "work" / "a.txt") << "mine";
    CDataFile f = File(kExportToWorkingFolder);
    f.s_overwrite = false;
    EXPECT_FALSE(f.Prepare(Context(false)));
    EXPECT_FALSE(f.s_exists) << "data is still released";
    EXPECT_TRUE(f.Remove(Context(false)));
    EXPECT_EQ(ReadText(root_ / "work" / "a.txt"), "mine");

    CDataFile g = File(kExportToWorkingFolder);
    g.s_overwrite = true;
    g.s_freedata = false;
    EXPECT_TRUE(g.Prepare(Context(false)));
    EXPECT_TRUE(g.s_exists);
    EXPECT_EQ(ReadText(root_ / "work" / "a.txt"), "new");
}

TEST_F(DataFileTest, SecureModeRefusesFoldersAndChosenDirectories) {
    CDataFile sub = File(kExportToTemp, "sub/a.txt");
    EXPECT_FALSE(sub.Prepare(Context(true)));
    CDataFile back = File(kExportToWorkingFolder, "sub\\a.txt");
    EXPECT_FALSE(back.Prepare(Context(true)));
    CDataFile dir = File(kExportToFolder);
    EXPECT_FALSE(dir.Prepare(Context(true)));
    ASSERT_EQ(g_reports.size(), 3u);
    EXPECT_EQ(g_reports[0], std::string(msg::kSecureExportTo) + "sub/a.txt");
    EXPECT_EQ(g_reports[1], std::string(msg::kSecureExportTo) + "sub\\a.txt");
    EXPECT_EQ(g_reports[2], msg::kSecureExportDir);
    EXPECT_FALSE(fs::exists(root_ / "out"));
    CDataFile plain = File(kExportToTemp);
    EXPECT_TRUE(plain.Prepare(Context(true)));
}

TEST_F(DataFileTest, ListFindsByExactNameAndPreparesAll) {
    CDataFileList list;
    list.files = {File(kExportToTemp, "x.dat"), File(kExportToTemp, "X.dat"), File(kExportNone, "y.dat")};
    EXPECT_EQ(list.Find("X.dat"), 1);
    EXPECT_EQ(list.Find("z.dat"), -1);
    EXPECT_EQ(list.Get(3), nullptr);
    EXPECT_EQ(list.Get(-1), nullptr);
    EXPECT_TRUE(list.PrepareAll(Context(false)));
    EXPECT_TRUE(fs::exists(root_ / "temp" / "x.dat"));
    list.RemoveAll(Context(false));
    EXPECT_FALSE(fs::exists(root_ / "temp" / "x.dat"));
}

TEST_F(DataFileTest, RecordRoundTripAndVersionCheck) {
    CDataFile f = File(kExportToFolder, "r.bin");
    f.s_origname = "C:\\orig\\r.bin";
    f.s_size = 3;
    f.s_removeend = false;
    CStream s;
    f.SaveToStream(s);
    s.Seek(0);
    CDataFile g;
    ASSERT_TRUE(g.LoadFromStream(s));
    EXPECT_TRUE(s.AtEnd());
    EXPECT_EQ(g.s_origname, f.s_origname);
    EXPECT_EQ(g.s_data, f.s_data);
    EXPECT_EQ(g.s_exportdir, f.s_exportdir);
    EXPECT_FALSE(g.s_removeend);

    CDataFile notStored = f;
    notStored.s_store = false;
    CStream t;
    notStored.SaveToStream(t);
    EXPECT_EQ(t.Size() + 4 + 3, s.Size()) << "no data bytes when not stored";

    CStream bad;
    bad.WriteInteger(801);
    bad.Seek(0);
    EXPECT_FALSE(g.LoadFromStream(bad));
}

TEST_F(DataFileTest, NamesWithFoldersLoadAsBareNamesAndNeverLeaveTheExportFolder) {
    // The victim sits where "..", "..\\.." and an absolute name would reach from temp/ or work/.
    const fs::path victim = root_ / "victim.txt";
    std::ofstream(victim) << "keep";
    struct Case {
        std::string stored;
        std::string bare; // empty: the file has no name and is never exported
    };
    const Case cases[] = {
        {"../victim.txt", "victim.txt"},
        {"..\\victim.txt", "victim.txt"},
        {"../../victim.txt", "victim.txt"},
        {victim.string(), "victim.txt"},
        {"sub/dir\\x.txt", "x.txt"},
        {"sub\\", ""},
        {"..", ""},
        {".", ""},
        {"plain.txt", "plain.txt"},
    };
    for (const Case& c : cases) {
        for (int32_t action : {kExportToTemp, kExportToWorkingFolder}) {
            CDataFile stored = File(action, c.stored);
            stored.s_overwrite = true;
            CStream s;
            stored.SaveToStream(s);
            s.Seek(0);
            CDataFile f;
            ASSERT_TRUE(f.LoadFromStream(s)) << c.stored;
            EXPECT_EQ(f.s_filename, c.bare) << c.stored;
            const fs::path where = (action == kExportToTemp ? root_ / "temp" : root_ / "work") / c.bare;
            EXPECT_EQ(f.Prepare(Context(false)), !c.bare.empty()) << c.stored;
            if (!c.bare.empty()) {
                EXPECT_EQ(ReadText(where), "new") << c.stored;
            }
            (void)f.Remove(Context(false));
            if (!c.bare.empty()) {
                EXPECT_FALSE(fs::exists(where)) << c.stored;
            }
            EXPECT_EQ(ReadText(victim), "keep") << c.stored << " reached outside its folder";
        }
    }
}

namespace {
std::vector<std::string> g_scriptErrors;
void CollectScriptError(std::string_view text, bool) {
    g_scriptErrors.emplace_back(text);
}

void Call(const char* name, std::initializer_list<RValue> arguments) {
    RValue args[kMaxArguments];
    int32_t n = 0;
    for (const auto& a : arguments) args[n++] = a;
    RValue result;
    for (const auto& f : IncludedFileFunctions())
        if (f.name == name) return f.routine(nullptr, nullptr, n, args, result);
    FAIL() << name;
}
} // namespace

TEST_F(DataFileTest, BuiltinsExportDiscardAndReportMissingFiles) {
    CDataFileList list;
    list.files = {File(kExportToTemp, "a.txt"), File(kExportNone, "b.txt")};
    list.files[0].s_freedata = false;
    RunErrorSink old = SetRunErrorSink(CollectScriptError);
    g_scriptErrors.clear();

    SetIncludedFiles(&list, Context(false));
    Call("export_include_file", {RValue("a.txt")});
    EXPECT_EQ(ReadText(root_ / "temp" / "a.txt"), "new");
    Call("export_include_file_location", {RValue("a.txt"), RValue((root_ / "elsewhere.txt").string())});
    EXPECT_EQ(ReadText(root_ / "elsewhere.txt"), "new");
    Call("discard_include_file", {RValue("b.txt")});
    EXPECT_FALSE(list.files[1].s_exists);
    Call("export_include_file", {RValue("missing")});
    Call("export_include_file_location", {RValue(1.0), RValue("x")});
    Call("discard_include_file", {RValue("B.TXT")});

    SetIncludedFiles(&list, Context(true));
    Call("export_include_file_location", {RValue("a.txt"), RValue((root_ / "secure.txt").string())});
    EXPECT_FALSE(fs::exists(root_ / "secure.txt"));
    SetIncludedFiles(nullptr, {});
    Call("discard_include_file", {RValue("a.txt")});
    SetRunErrorSink(old);

    EXPECT_EQ(g_scriptErrors,
              (std::vector<std::string>{msg::kExportMissing, msg::kExportMissing, msg::kDiscardMissing,
                                        msg::kSecureExportLocation, msg::kDiscardMissing}));
}
