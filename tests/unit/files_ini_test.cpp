// INI files: the reader's rules, what a change writes and keeps, reals, and the built-ins
// over one open file.

#include <cmath>

#include "files_fixture.h"
#include "runner/file_messages.h"
#include "runner/ini_file.h"

namespace kestrin::testing {
namespace {

TEST(FilesIniText, ReadingRules) {
    const IniText ini(" ; leading comment\r\n"
                      "orphan=before any section\r\n"
                      "[ Player ]\r\n"
                      "  Name = Ann Lee  \r\n"
                      "score=120\r\n"
                      ";score=999\r\n"
                      "#lives=9\r\n"
                      "empty=\r\n"
                      "eq=a=b\r\n"
                      "junk line\r\n"
                      "name=second\r\n"
                      "[Other]\r\n"
                      "score=5\r\n"
                      "[player]\r\n"
                      "level=3\r\n"
                      "score=777\r\n");
    const struct {
        const char* section;
        const char* key;
        const char* value; // nullptr: absent
    } cases[] = {
        {"Player", "Name", "Ann Lee"}, {"PLAYER", "name", "Ann Lee"}, // the first occurrence
        {"player", "score", "120"},    {"Player", "lives", nullptr},  {"Player", ";score", nullptr},
        {"Player", "empty", ""},       {"Player", "eq", "a=b"},       {"Player", "junk line", nullptr},
        {"Other", "score", "5"},       {"Player", "level", "3"}, // a later occurrence of the section
        {"", "orphan", nullptr},       {"Missing", "score", nullptr}, {" player ", " score ", "120"},
    };
    for (const auto& c : cases) {
        const auto v = ini.Read(c.section, c.key);
        if (c.value) {
            ASSERT_TRUE(v.has_value()) << c.section << "/" << c.key;
            EXPECT_EQ(*v, c.value) << c.section << "/" << c.key;
        } else {
            EXPECT_FALSE(v.has_value()) << c.section << "/" << c.key;
        }
    }
    EXPECT_TRUE(ini.SectionExists("other"));
    EXPECT_FALSE(ini.SectionExists("orphan"));
    EXPECT_TRUE(ini.KeyExists("player", "LEVEL"));
}

TEST(FilesIniText, ChangesKeepTheRestOfTheFile) {
    const std::string original = "; settings\n[video]\nfull=1 ; keep\n\n; audio next\n[audio]\nvolume=5\n";
    IniText ini(original);
    EXPECT_EQ(ini.Text(), original); // read and written back unchanged, line ends and all
    ini.Write("VIDEO", "FULL", "0");
    ini.Write("video", "width", "640"); // after the section's last key, before the blank line
    ini.Write("audio", "muted", "1");
    ini.Write("new", "key", "two\nlines");
    EXPECT_EQ(ini.Text(),
              "; settings\n[video]\nfull=0\nwidth=640\n\n; audio next\n[audio]\nvolume=5\nmuted=1\n"
              "\n[new]\nkey=two lines\n");
    EXPECT_TRUE(ini.DeleteKey("video", "full"));
    EXPECT_FALSE(ini.DeleteKey("video", "full"));
    EXPECT_TRUE(ini.DeleteSection("AUDIO"));
    EXPECT_FALSE(ini.DeleteSection("audio"));
    EXPECT_EQ(ini.Text(), "; settings\n[video]\nwidth=640\n\n; audio next\n[new]\nkey=two lines\n");

    // Deletes reach every occurrence of a duplicated section or key.
    IniText dup("[a]\r\nk=1\r\n[b]\r\nk=2\r\n[A]\r\nk=3\r\nj=4");
    EXPECT_TRUE(dup.DeleteKey("a", "k"));
    EXPECT_EQ(dup.Text(), "[a]\r\n[b]\r\nk=2\r\n[A]\r\nj=4"); // no line end added at the end
    EXPECT_TRUE(dup.DeleteSection("a"));
    EXPECT_EQ(dup.Text(), "[b]\r\nk=2");

    // A new file is written with CR LF line ends.
    IniText fresh;
    fresh.Write("s", "k", "v");
    EXPECT_EQ(fresh.Text(), "[s]\r\nk=v\r\n");
    IniText noEnd("[s]\r\nk=v");
    noEnd.Write("s", "j", "w");
    EXPECT_EQ(noEnd.Text(), "[s]\r\nk=v\r\nj=w");
}

TEST(FilesIniText, Reals) {
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"1.5e2", 150}, {"+3", 0},      {"3,25", 3.25}, {"-2", -2},      {"1e-2", 0.01},
        {"2E3x", 2000}, {"1.2.3", 1.2}, {"1e2e3", 100}, {"1e2.5", 100},  {"--4", 4},
        {"", 0},        {"7 8", 7},     {"1e-", 1},     {"-1e-1", -0.1}, {"1e999999999", HUGE_VAL},
        {"0e999", 0},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(ParseIniReal(c.text), c.value) << c.text;
    // Never NaN: a zero or overflowed mantissa with any exponent.
    EXPECT_EQ(ParseIniReal(std::string(400, '9') + "e-999"), HUGE_VAL);
    for (const double v : {0.0, 1.5, -2.25, 1e20, 1e-7, 123456789.125, 0.1, -1e300})
        EXPECT_DOUBLE_EQ(ParseIniReal(FormatIniReal(v)), v) << FormatIniReal(v);
    EXPECT_EQ(FormatIniReal(150), "150");
    EXPECT_EQ(FormatIniReal(1e20), "1E20");
    EXPECT_EQ(FormatIniReal(2.5e-5), "2.5E-5");
}

using FilesIni = FilesTest;

TEST_F(FilesIni, BuiltinsOverOneOpenFile) {
    const TextCase none[] = {
        {"ini_read_string(\"a\", \"b\", \"d\")", "\"\" ! Trying to read from undefined INI file"},
        {"ini_read_real(\"a\", \"b\", 1)", "0 ! Trying to read from undefined INI file"},
        {"ini_key_exists(\"a\", \"b\")", "0 ! Trying to read from undefined INI file"},
        {"ini_section_exists(\"a\")", "0 ! Trying to read from undefined INI file"},
        {"ini_write_string(\"a\", \"b\", \"c\")", "0 ! Trying to write to undefined INI file"},
        {"ini_write_real(\"a\", \"b\", 1)", "0 ! Trying to write to undefined INI file"},
        {"ini_key_delete(\"a\", \"b\")", "0 ! Trying to change undefined INI file"},
        {"ini_section_delete(\"a\")", "0 ! Trying to change undefined INI file"},
        {"ini_close()", "0"},
    };
    for (const TextCase& c : none) EXPECT_EQ(Text(c.code), c.expected) << c.code;

    EXPECT_EQ(Text("ini_open(\"nofolder\\x.ini\")"),
              "0 ! Error directory does not exist when opening ini file - " +
                  (game_ / "nofolder/x.ini").string());
    // A missing file opens empty and is not created by reading it.
    EXPECT_EQ(Text("ini_open(\"settings.ini\")"), "0");
    const TextCase empty[] = {
        {"ini_read_string(\"s\", \"k\", \"default\")", "\"default\""},
        {"ini_read_string(\"s\", \"k\", 5)", "5"},
        {"ini_read_real(\"s\", \"k\", 2.5)", "2.50"},
        {"ini_key_exists(\"s\", \"k\")", "0"},
        {"ini_section_exists(\"s\")", "0"},
    };
    for (const TextCase& c : empty) EXPECT_EQ(Text(c.code), c.expected) << c.code;
    (void)Eval("ini_close()");
    EXPECT_FALSE(std::filesystem::exists(game_ / "settings.ini"));

    Write(game_ / "settings.ini", "; kept\n[Video]\nwidth=640\n");
    EXPECT_EQ(Text("ini_open(\"Settings.INI\")"), "0");
    // Each change is on disk at once.
    (void)Eval("ini_write_real(\"video\", \"scale\", 1.5)");
    EXPECT_EQ(ReadBack(game_ / "settings.ini"), "; kept\n[Video]\nwidth=640\nscale=1.5\n");
    (void)Eval("ini_write_string(\"Player\", \"name\", \"Bo\")");
    const TextCase open[] = {
        {"ini_read_real(\"VIDEO\", \"Width\", 0)", "640"},
        {"ini_read_string(\"video\", \"scale\", \"\")", "\"1.5\""},
        {"ini_read_string(\"player\", \"name\", \"\")", "\"Bo\""},
        {"ini_read_real(\"player\", \"name\", 7)", "0"}, // the text is parsed, not the default
        {"ini_key_exists(\"player\", \"NAME\")", "1"},
        {"ini_section_exists(\"Player\")", "1"},
        {"ini_key_delete(\"video\", \"width\")", "0"},
        {"ini_key_exists(\"video\", \"width\")", "0"},
        {"ini_section_delete(\"player\")", "0"},
        {"ini_section_exists(\"player\")", "0"},
    };
    for (const TextCase& c : open) EXPECT_EQ(Text(c.code), c.expected) << c.code;
    EXPECT_EQ(ReadBack(game_ / "settings.ini"), "; kept\n[Video]\nscale=1.5\n\n");
    // Opening another file closes the first; no temporary files are left beside them.
    (void)Eval("ini_open(\"other.ini\")");
    (void)Eval("ini_write_string(\"a\", \"b\", \"c\")");
    EXPECT_EQ(ReadBack(game_ / "other.ini"), "[a]\r\nb=c\r\n");
    size_t files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(game_)) ++files;
    EXPECT_EQ(files, 2u);
}

} // namespace
} // namespace kestrin::testing
