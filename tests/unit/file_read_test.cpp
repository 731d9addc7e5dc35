// Reading files a user or a game names: only regular files, never more than a limit, and
// never blocking on a FIFO.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <new>
#include <stdexcept>

#include "base/fault.h"
#include "base/file_io.h"
#include "script/errors.h"

namespace kestrin {
namespace {

namespace fs = std::filesystem;

class FileRead : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kestrin_file_read_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const char* name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

TEST_F(FileRead, OnlyRegularFilesWithinTheLimitAreRead) {
    std::ofstream(Path("ten")) << "0123456789";
    std::ofstream(Path("empty"));
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
    fs::create_symlink(Path("fifo"), Path("link_to_fifo"));
    fs::create_symlink(Path("ten"), Path("link_to_ten"));
    struct Case {
        std::string path;
        uint64_t limit;
        FileReadStatus status;
        size_t size;
    };
    const Case cases[] = {
        {Path("ten"), 100, FileReadStatus::Ok, 10},
        {Path("ten"), 10, FileReadStatus::Ok, 10},
        {Path("ten"), 9, FileReadStatus::TooLarge, 0},
        {Path("empty"), 0, FileReadStatus::Ok, 0},
        {Path("link_to_ten"), 100, FileReadStatus::Ok, 10},
        // A FIFO without a writer would block forever; /dev/zero would never end.
        {Path("fifo"), 100, FileReadStatus::NotRegular, 0},
        {Path("link_to_fifo"), 100, FileReadStatus::NotRegular, 0},
        {"/dev/zero", kMaxReadFileBytes, FileReadStatus::NotRegular, 0},
        {"/dev/null", 100, FileReadStatus::NotRegular, 0},
        {dir_.string(), 100, FileReadStatus::NotRegular, 0},
        {Path("missing"), 100, FileReadStatus::CannotOpen, 0},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = {1, 2, 3};
        EXPECT_EQ(ReadRegularFile(c.path, bytes, c.limit), c.status) << c.path << " " << c.limit;
        EXPECT_EQ(bytes.size(), c.size) << c.path;
        // Under the default limit the small files all read.
        const bool whole = c.status == FileReadStatus::Ok || c.status == FileReadStatus::TooLarge;
        EXPECT_EQ(ReadWholeFile(c.path, bytes), whole) << c.path;
    }
    std::vector<uint8_t> bytes;
    ASSERT_EQ(ReadRegularFile(Path("ten"), bytes), FileReadStatus::Ok);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "0123456789");
}

TEST(FaultText, FailedAllocationsReadAsOutOfMemory) {
    EXPECT_STREQ(FaultText(std::bad_alloc()), "Out of memory");
    EXPECT_STREQ(FaultText(std::bad_array_new_length()), "Out of memory");
    EXPECT_STREQ(FaultText(std::length_error("vector::reserve")), "Out of memory");
    EXPECT_STREQ(FaultText(RunnerFault("Floating point overflow")), "Floating point overflow");
    EXPECT_STREQ(kOutOfMemoryText, "Out of memory");
}

} // namespace
} // namespace kestrin
