// Text and binary file slots and the single-file interface: their limits, ids, messages and
// the exact reading and writing rules.

#include <sys/stat.h>

#include "files_fixture.h"
#include "runner/file_messages.h"

namespace kestrin::testing {
namespace {

using FilesText = FilesTest;

TEST_F(FilesText, ThirtyTwoSlotsOfEachKindCountedApart) {
    for (int i = 1; i <= 32; ++i)
        ASSERT_EQ(Text("file_text_open_write(\"t" + std::to_string(i) + ".txt\")"), RealText(i));
    EXPECT_EQ(Text("file_text_open_write(\"t33.txt\")"), std::string("-1 ! ") + msg::kMaximumExceeded);
    EXPECT_EQ(Text("file_text_open_read(\"t1.txt\")"), std::string("-1 ! ") + msg::kMaximumExceeded);
    // Binary slots are their own 32.
    EXPECT_EQ(Text("file_bin_open(\"b.bin\", 1)"), "1");
    // A closed slot is the lowest free one again.
    EXPECT_EQ(Text("file_text_close(7)"), "0");
    EXPECT_EQ(Text("file_text_open_append(\"t7.txt\")"), "7");
    for (int i = 2; i <= 32; ++i) (void)Eval("file_bin_open(\"b" + std::to_string(i) + ".bin\", 2)");
    EXPECT_EQ(Text("file_bin_open(\"b33.bin\", 0)"), std::string("-1 ! ") + msg::kMaximumExceeded);
}

TEST_F(FilesText, SlotErrors) {
    const TextCase cases[] = {
        {"file_text_close(0)", "0 ! Trying to close unexisting text file."},
        {"file_text_close(33)", "0 ! Trying to close unexisting text file."},
        {"file_text_close(3)", "0"}, // a closed slot is left alone
        {"file_text_eof(1)", "0 ! File is not opened for reading."},
        {"file_text_eoln(40)", "0 ! File is not opened for reading."},
        {"file_text_read_string(1)", "0 ! File is not opened for reading."},
        {"file_text_write_string(1, \"x\")", "0 ! File not opened for writing."},
        {"file_text_writeln(-1)", "0 ! File not opened for writing."},
        {"file_text_open_read(\"missing.txt\")", "-1"}, // no message
        {"file_bin_close(1)", "0 ! Trying to close unopened file."},
        {"file_bin_rewrite(1)", "0 ! Trying to rewrite unopened file."},
        {"file_bin_size(0)", "0 ! File is not opened."},
        {"file_bin_read_byte(33)", "0 ! File is not opened."},
        {"file_eof()", "0 ! File is not opened for reading."},
        {"file_read_string()", "0 ! File not opened for reading."},
        {"file_read_real()", "0 ! File not opened for reading."},
        {"file_readln()", "0 ! File not opened for reading."},
        {"file_write_string(\"x\")", "0 ! File not opened for writing."},
        {"file_close()", "0"},
    };
    for (const TextCase& c : cases) EXPECT_EQ(Text(c.code), c.expected) << c.code;
    // Writing to a slot open for reading, and reading one open for writing.
    Write(game_ / "r.txt", "x");
    EXPECT_EQ(Text("file_text_open_read(\"r.txt\")"), "1");
    EXPECT_EQ(Text("file_text_write_real(1, 3)"), "0 ! File not opened for writing.");
    EXPECT_EQ(Text("file_text_open_write(\"w.txt\")"), "2");
    EXPECT_EQ(Text("file_text_readln(2)"), "0 ! File is not opened for reading.");
}

TEST_F(FilesText, FoldersAndFifosAreNotOpenedAsFiles) {
    std::filesystem::create_directories(game_ / "folder");
    ASSERT_EQ(::mkfifo((game_ / "pipe").c_str(), 0644), 0);
    EXPECT_EQ(Text("file_text_open_read(\"folder\")"), "-1 ! Error opening file for reading.");
    // Never blocks waiting for a writer.
    EXPECT_EQ(Text("file_text_open_read(\"pipe\")"), "-1 ! Error opening file for reading.");
    EXPECT_EQ(Text("file_text_open_write(\"folder\")"), "-1 ! Error opening file for writing.");
    EXPECT_EQ(Text("file_bin_open(\"pipe\", 2)"), "-1 ! Error opening binary file.");
}

TEST_F(FilesText, LinesEndOfLineAndEndOfFile) {
    // CR LF, LF and a last line without an end.
    Write(game_ / "lines.txt", "ab\r\ncd\n\nef");
    const TextCase cases[] = {
        {"file_text_eof(1)", "0"},
        {"file_text_eoln(1)", "0"},
        {"file_text_read_string(1)", "\"ab\""},
        {"file_text_eoln(1)", "1"},
        {"file_text_read_string(1)", "\"\""}, // still at the line end
        {"file_text_readln(1)", "0"},
        {"file_text_read_string(1)", "\"cd\""},
        {"file_text_readln(1)", "0"},
        {"file_text_eoln(1)", "1"}, // the empty line
        {"file_text_eof(1)", "0"},
        {"file_text_readln(1)", "0"},
        {"file_text_read_string(1)", "\"ef\""},
        {"file_text_eoln(1)", "1"},
        {"file_text_eof(1)", "1"},
        {"file_text_readln(1)", "0"},
        {"file_text_read_string(1)", "\"\""},
    };
    ASSERT_EQ(Text("file_text_open_read(\"lines.txt\")"), "1");
    for (const TextCase& c : cases) EXPECT_EQ(Text(c.code), c.expected) << c.code;
    // An empty file is at its end at once.
    Write(game_ / "empty.txt", "");
    ASSERT_EQ(Text("file_text_open_read(\"empty.txt\")"), "2");
    EXPECT_EQ(Text("file_text_eof(2)"), "1");
    EXPECT_EQ(Text("file_text_eoln(2)"), "1");
}

TEST_F(FilesText, ReadingNumbers) {
    Write(game_ / "n.txt", "  -12.5abc\n1 2\n3,25\n1.2.3\n\t-.5\nx9\n");
    const TextCase slot[] = {
        {"file_text_read_real(1)", "-12.50"},  {"file_text_read_string(1)", "\"bc\""}, // the a is used up
        {"file_text_readln(1)", "0"},          {"file_text_read_real(1)", "1"},
        {"file_text_read_string(1)", "\"2\""}, {"file_text_readln(1)", "0"},
        {"file_text_read_real(1)", "3.25"},    {"file_text_readln(1)", "0"},
        {"file_text_read_real(1)", "1.20"},    {"file_text_read_string(1)", "\"3\""},
        {"file_text_readln(1)", "0"},          {"file_text_read_real(1)", "-0.50"},
        {"file_text_readln(1)", "0"},          {"file_text_read_real(1)", "0"},
        {"file_text_read_string(1)", "\"9\""},
    };
    ASSERT_EQ(Text("file_text_open_read(\"n.txt\")"), "1");
    for (const TextCase& c : slot) EXPECT_EQ(Text(c.code), c.expected) << c.code;

    // The single file skips blanks anywhere and stops at a second separator.
    Write(game_ / "s.txt", "1 2\n1.2.3\n4-5\n");
    const TextCase single[] = {
        {"file_read_real()", "12"},   {"file_readln()", "0"},
        {"file_read_real()", "1.20"}, {"file_read_string()", "\"3\""},
        {"file_readln()", "0"},       {"file_read_real()", "-45"},
        {"file_eoln()", "1"},
    };
    ASSERT_EQ(Text("file_open_read(\"s.txt\")"), "0");
    for (const TextCase& c : single) EXPECT_EQ(Text(c.code), c.expected) << c.code;
}

TEST_F(FilesText, WritingNumbersAndText) {
    EXPECT_EQ(FormatFileReal(2), " 2");
    EXPECT_EQ(FormatFileReal(-1.25), " -1.250000");
    EXPECT_EQ(FormatFileReal(0.3), " 0.299999");
    EXPECT_EQ(FormatFileReal(0), " 0");
    EXPECT_EQ(FormatFileReal(-0.5), " -0.500000");
    EXPECT_EQ(FormatFileReal(1e-7), " 0");
    EXPECT_EQ(FormatFileReal(5e9), " 5000000000"); // past 32 bits, still exact

    ASSERT_EQ(Text("file_text_open_write(\"out.txt\")"), "1");
    (void)Eval("file_text_write_string(1, \"score\")");
    (void)Eval("file_text_write_real(1, 2)");
    (void)Eval("file_text_writeln(1)");
    (void)Eval("file_text_write_real(1, -1.25)");
    // Every write is flushed: the file holds it before the slot is closed.
    EXPECT_EQ(ReadBack(game_ / "out.txt"), "score 2\r\n -1.250000");
    (void)Eval("file_text_close(1)");
    // Written numbers read back.
    ASSERT_EQ(Text("file_text_open_read(\"out.txt\")"), "1");
    EXPECT_EQ(Text("file_text_read_string(1)"), "\"score 2\"");
    (void)Eval("file_text_readln(1)");
    EXPECT_EQ(Text("file_text_read_real(1)"), "-1.25");
    // Appending keeps what is there; writing empties it.
    ASSERT_EQ(Text("file_text_open_append(\"out.txt\")"), "2");
    (void)Eval("file_text_write_string(2, \"!\")");
    EXPECT_EQ(ReadBack(game_ / "out.txt"), "score 2\r\n -1.250000!");
    ASSERT_EQ(Text("file_text_open_write(\"out.txt\")"), "3");
    EXPECT_EQ(ReadBack(game_ / "out.txt"), "");
}

TEST_F(FilesText, SingleFileOpeningClosesTheOpenOne) {
    ASSERT_EQ(Text("file_open_write(\"one.txt\")"), "0");
    (void)Eval("file_write_string(\"a\")");
    (void)Eval("file_writeln()");
    (void)Call("file_write_real", {RValue(0.3)}); // the double nearest 0.3, below it
    ASSERT_EQ(Text("file_open_append(\"one.txt\")"), "0");
    (void)Eval("file_write_string(\"b\")");
    (void)Eval("file_close()");
    EXPECT_EQ(ReadBack(game_ / "one.txt"), "a\r\n 0.299999b");
    // A missing file leaves no file open, without a message.
    EXPECT_EQ(Text("file_open_read(\"missing.txt\")"), "0");
    EXPECT_EQ(Text("file_eof()"), "0 ! File is not opened for reading.");
    ASSERT_EQ(Text("file_open_read(\"one.txt\")"), "0");
    EXPECT_EQ(Text("file_read_string()"), "\"a\"");
    EXPECT_EQ(Text("file_write_string(\"x\")"), "0 ! File not opened for writing.");
}

TEST_F(FilesText, BinaryFiles) {
    Write(game_ / "data.bin", "xyz");
    // Write-only: opens without emptying, writes the low 8 bits of the rounded value.
    ASSERT_EQ(Text("file_bin_open(\"data.bin\", 1)"), "1");
    (void)Eval("file_bin_write_byte(1, 65)");
    (void)Eval("file_bin_write_byte(1, 256 + 66.4)");
    EXPECT_EQ(Text("file_bin_position(1)"), "2");
    EXPECT_EQ(Text("file_bin_size(1)"), "3");
    EXPECT_EQ(Text("file_bin_read_byte(1)"), "0 ! Error reading byte.");
    (void)Eval("file_bin_close(1)");
    EXPECT_EQ(ReadBack(game_ / "data.bin"), "ABz");

    ASSERT_EQ(Text("file_bin_open(\"data.bin\", 2)"), "1");
    const TextCase both[] = {
        {"file_bin_read_byte(1)", "65"},
        {"file_bin_seek(1, 2)", "0"},
        {"file_bin_read_byte(1)", "122"},
        {"file_bin_read_byte(1)", "0 ! Error reading byte."}, // at the end
        {"file_bin_write_byte(1, 33)", "0"},                  // writes after reading
        {"file_bin_size(1)", "4"},
        {"file_bin_seek(1, -1)", "0 ! Error seeking."},
        {"file_bin_seek(1, 5)", "0 ! Error seeking."},
        {"file_bin_seek(1, 0)", "0"},
        {"file_bin_write_byte(1, 97)", "0"},
        {"file_bin_read_byte(1)", "66"}, // reads after writing
        {"file_bin_rewrite(1)", "0"},
        {"file_bin_size(1)", "0"},
        {"file_bin_position(1)", "0"},
        {"file_bin_close(1)", "0"},
        {"file_bin_close(1)", "0 ! Trying to close unopened file."},
    };
    for (const TextCase& c : both) EXPECT_EQ(Text(c.code), c.expected) << c.code;

    // Reading only: no writes, and a missing file is started empty.
    ASSERT_EQ(Text("file_bin_open(\"new.bin\", 0)"), "1");
    EXPECT_TRUE(std::filesystem::exists(game_ / "new.bin"));
    EXPECT_EQ(Text("file_bin_write_byte(1, 1)"), "0 ! Error writing byte.");
    EXPECT_EQ(Text("file_bin_rewrite(1)"), "0 ! Error rewriting file.");
    EXPECT_EQ(Text("file_bin_size(1)"), "0");
}

TEST_F(FilesText, ResetClosesEverything) {
    ASSERT_EQ(Text("file_text_open_write(\"a.txt\")"), "1");
    ASSERT_EQ(Text("file_bin_open(\"b.bin\", 2)"), "1");
    ASSERT_EQ(Text("file_open_write(\"c.txt\")"), "0");
    ResetFileState();
    EXPECT_EQ(Text("file_text_open_write(\"a.txt\")"), "1");
    EXPECT_EQ(Text("file_bin_open(\"b.bin\", 2)"), "1");
    EXPECT_EQ(Text("file_write_string(\"x\")"), "0 ! File not opened for writing.");
}

} // namespace
} // namespace kestrin::testing
