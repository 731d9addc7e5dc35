#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "runner/process.h"

using namespace kestrin;
namespace fs = std::filesystem;

TEST(Process, TempFolderTriesBasesInOrderAndIsRemovedWithItsContents) {
    fs::path base = fs::temp_directory_path() / ("ks_proc_" + std::to_string(::getpid()));
    fs::remove_all(base);
    fs::create_directories(base);
    fs::path file = base / "not_a_folder";
    std::ofstream(file) << "x";
    std::string made;
    {
        TempFolder temp;
        ASSERT_TRUE(temp.Create({(file / "sub").string(), (base / "fresh" / "deeper").string()}));
        made = temp.Path();
        EXPECT_EQ(fs::path(made).parent_path(), base / "fresh" / "deeper");
        EXPECT_EQ(fs::path(made).filename().string().rfind("ks_ttt_", 0), 0u);
        fs::create_directories(fs::path(made) / "a" / "b");
        std::ofstream(fs::path(made) / "a" / "b" / "f.txt") << "data";
        // A link out of the folder must not take its target along.
        fs::create_directory_symlink(base, fs::path(made) / "link");
    }
    EXPECT_FALSE(fs::exists(made));
    EXPECT_TRUE(fs::exists(file));
    TempFolder none;
    EXPECT_FALSE(none.Create({(file / "x").string()}));
    fs::remove_all(base);
}

TEST(Process, TempFolderBasesHonourTempdirTxtAndTheEnvironment) {
    fs::path dir = fs::temp_directory_path() / ("ks_bases_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "tempdir.txt") << "/some/where\r\nignored\n";
    ::setenv("temp", "/from/temp", 1);
    auto bases = TempFolderBases(dir.string());
    ASSERT_GE(bases.size(), 3u);
    EXPECT_EQ(bases[0], "/some/where");
    EXPECT_EQ(bases[1], "/from/temp");
    EXPECT_EQ(bases[2], "/tmp");
    ::unsetenv("temp");
    fs::remove_all(dir);
}

TEST(Process, TraceSwitches) {
    ::unsetenv("VTLOG_TRACE");
    EXPECT_TRUE(TraceLog::Wanted({"--VTTrace"}));
    EXPECT_FALSE(TraceLog::Wanted({"--vttrace", "x"}));
    ::setenv("VTLOG_TRACE", "1", 1);
    EXPECT_TRUE(TraceLog::Wanted({}));
    ::setenv("VTLOG_TRACE", "yes", 1);
    EXPECT_FALSE(TraceLog::Wanted({}));
    ::unsetenv("VTLOG_TRACE");
}

TEST(Process, TraceLogBannerAndFallbackFolder) {
    fs::path dir = fs::temp_directory_path() / ("ks_trace_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    {
        TraceLog log;
        log.Open(dir.string());
        ASSERT_TRUE(log.Enabled());
        log.Line("Loading sprites");
    }
    std::ifstream in(dir / "Trace.log");
    std::string l1, l2, l3, l4;
    std::getline(in, l1);
    std::getline(in, l2);
    std::getline(in, l3);
    std::getline(in, l4);
    EXPECT_EQ(l1, std::string(86, '*'));
    EXPECT_EQ(l2, "               Kestrin Runner v8.1.23.6892");
    EXPECT_EQ(l3, l1);
    EXPECT_EQ(l4, "Loading sprites");
    fs::remove_all(dir);
}
