// Files and folders, searches with attributes, name parts, case-insensitive lookups, disk
// space, programs, the command line and the environment.

#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "files_fixture.h"
#include "runner/file_messages.h"

namespace kestrin::testing {
namespace {

using FilesNames = FilesTest;

TEST(FilesNameParts, WindowsAndLinuxForms) {
    struct Case {
        const char* name;
        const char* file;
        const char* path;
        const char* dir;
        const char* drive;
        const char* ext;
    };
    const Case cases[] = {
        {"C:\\games\\data\\level1.txt", "level1.txt", "C:\\games\\data\\", "C:\\games\\data", "C:", ".txt"},
        {"C:\\level1.txt", "level1.txt", "C:\\", "C:\\", "C:", ".txt"},
        {"C:level1", "level1", "C:", "C:", "C:", ""},
        {"data\\level1.txt", "level1.txt", "data\\", "data", "", ".txt"},
        {"/home/p/save.dat", "save.dat", "/home/p/", "/home/p", "", ".dat"},
        {"\\top.ini", "top.ini", "\\", "\\", "", ".ini"},
        {"archive.tar.gz", "archive.tar.gz", "", "", "", ".gz"},
        {"folder.d\\noext", "noext", "folder.d\\", "folder.d", "", ""},
        {"\\\\server\\share\\f.txt", "f.txt", "\\\\server\\share\\", "\\\\server\\share", "\\\\server\\share",
         ".txt"},
        {"", "", "", "", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FilenameName(c.name), c.file) << c.name;
        EXPECT_EQ(FilenamePath(c.name), c.path) << c.name;
        EXPECT_EQ(FilenameDir(c.name), c.dir) << c.name;
        EXPECT_EQ(FilenameDrive(c.name), c.drive) << c.name;
        EXPECT_EQ(FilenameExt(c.name), c.ext) << c.name;
    }
    EXPECT_EQ(FilenameChangeExt("data\\a.txt", ".ini"), "data\\a.ini");
    EXPECT_EQ(FilenameChangeExt("data.d\\a", ".ini"), "data.d\\a.ini");
    EXPECT_EQ(FilenameChangeExt("a.b.c", ""), "a.b");
    EXPECT_EQ(NativeFileName("C:\\games\\x.txt"), "/games/x.txt");
    EXPECT_EQ(NativeFileName("data\\x.txt"), "data/x.txt");
}

TEST(FilesMask, Wildcards) {
    const struct {
        const char* mask;
        const char* name;
        bool match;
    } cases[] = {
        {"*.*", "noext", true},
        {"*", "a.b", true},
        {"*.txt", "A.TXT", true},
        {"*.txt", "a.txt.bak", false},
        {"level?.dat", "level7.dat", true},
        {"level?.dat", "level10.dat", false},
        {"a*b*c", "aXXbYYc", true},
        {"a*b*c", "aXXbYY", false},
        {"", "", true},
        {"*a", "bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb", false},
    };
    for (const auto& c : cases) EXPECT_EQ(MatchFileMask(c.mask, c.name), c.match) << c.mask << " " << c.name;
}

TEST_F(FilesNames, ExistsDeleteRenameCopyAndFolders) {
    Write(game_ / "a.txt", "A");
    Write(game_ / "b.txt", "B");
    const TextCase cases[] = {
        {"file_exists(\"a.txt\")", "1"},
        {"file_exists(\"missing.txt\")", "0"},
        {"directory_exists(\"a.txt\")", "0"},
        {"directory_create(\"x\\y\\z\")", "0"}, // every missing parent
        {"directory_exists(\"x/y/z\")", "1"},
        {"file_exists(\"x\")", "0"},                // a folder is not a file
        {"file_rename(\"a.txt\", \"b.txt\")", "0"}, // never replaces a file
        {"file_exists(\"a.txt\")", "1"},
        {"file_rename(\"a.txt\", \"x\\y\\moved.txt\")", "0"},
        {"file_exists(\"x\\y\\moved.txt\")", "1"},
        {"file_exists(\"a.txt\")", "0"},
        {"file_copy(\"b.txt\", \"x\\y\\moved.txt\")", "0"}, // replaces the target
        {"file_copy(\"missing.txt\", \"c.txt\")", "0"},
        {"file_exists(\"c.txt\")", "0"},
        {"file_delete(\"b.txt\")", "0"},
        {"file_exists(\"b.txt\")", "0"},
        {"file_delete(\"x\")", "0"}, // only files are deleted
        {"directory_exists(\"x\")", "1"},
    };
    for (const TextCase& c : cases) EXPECT_EQ(Text(c.code), c.expected) << c.code;
    EXPECT_EQ(ReadBack(game_ / "x/y/moved.txt"), "B");
}

TEST_F(FilesNames, CaseInsensitiveLookupInsideTheAllowedFolders) {
    Write(game_ / "data/level1.txt", "one");
    Write(game_ / "Saves/Slot.dat", "s");
    const TextCase cases[] = {
        {"file_exists(\"data\\level1.txt\")", "1"}, {"file_exists(\"DATA\\Level1.TXT\")", "1"},
        {"file_exists(\"saves/slot.DAT\")", "1"},   {"file_exists(\"./Data/../data/LEVEL1.txt\")", "1"},
        {"file_exists(\"data\\level2.txt\")", "0"},
    };
    for (const TextCase& c : cases) EXPECT_EQ(Text(c.code), c.expected) << c.code;
    ASSERT_EQ(Text("file_text_open_read(\"Data\\LEVEL1.TXT\")"), "1");
    EXPECT_EQ(Text("file_text_read_string(1)"), "\"one\"");
    // A new file goes into the folder that exists under another case, named as written.
    ASSERT_EQ(Text("file_text_open_write(\"DATA\\New.txt\")"), "2");
    EXPECT_TRUE(std::filesystem::exists(game_ / "data/New.txt"));
    EXPECT_FALSE(std::filesystem::exists(game_ / "DATA"));
    // An exact name wins over another case.
    Write(game_ / "data/LEVEL1.txt", "upper");
    EXPECT_EQ(ReadBack(ResolveFile("data/LEVEL1.txt").path), "upper");
    EXPECT_EQ(ReadBack(ResolveFile("data/level1.txt").path), "one");
    // Outside the game's and the temporary folder names are taken as written.
    Write(root_ / "Other/file.txt", "o");
    EXPECT_EQ(Text("file_exists(\"" + (root_ / "Other/file.txt").string() + "\")"), "1");
    EXPECT_EQ(Text("file_exists(\"" + (root_ / "other/FILE.txt").string() + "\")"), "0");
    // The temporary folder is looked up the same way.
    Write(temp_ / "Cache.bin", "c");
    EXPECT_EQ(Text("file_exists(\"" + (temp_ / "cache.BIN").string() + "\")"), "1");
}

TEST_F(FilesNames, SearchesWithAttributes) {
    Write(game_ / "a.txt", "");
    Write(game_ / "B.TXT", "");
    Write(game_ / ".hidden.txt", "");
    Write(game_ / "notes.doc", "");
    Write(game_ / "sub/inner.txt", "");
    Write(game_ / "sub.txt/deep.dat", ""); // a folder matching the mask
    const auto all = [&](const std::string& first) {
        std::string names(Eval(first).str());
        for (std::string next; !(next = std::string(Eval("file_find_next()").str())).empty();)
            names += "," + next;
        return names;
    };
    EXPECT_EQ(all("file_find_first(\"*.txt\", 0)"), "B.TXT,a.txt");
    EXPECT_EQ(all("file_find_first(\"*.txt\", fa_hidden)"), ".hidden.txt,B.TXT,a.txt");
    EXPECT_EQ(all("file_find_first(\"*.txt\", fa_directory)"), "B.TXT,a.txt,sub.txt");
    EXPECT_EQ(all("file_find_first(\"*\", fa_directory | fa_hidden)"),
              ".hidden.txt,B.TXT,a.txt,notes.doc,sub,sub.txt");
    EXPECT_EQ(all("file_find_first(\"SUB\\*.*\", 0)"), "inner.txt");
    EXPECT_EQ(all("file_find_first(\"*.none\", 0)"), "");
    EXPECT_EQ(all("file_find_first(\"missing\\*\", 0)"), "");
    // A new search ends the old one; a closed search finds nothing more.
    EXPECT_EQ(Text("file_find_first(\"*.txt\", 0)"), "\"B.TXT\"");
    EXPECT_EQ(Text("file_find_close()"), "0");
    EXPECT_EQ(Text("file_find_next()"), "\"\"");

    Write(game_ / "locked.txt", "");
    std::filesystem::permissions(game_ / "locked.txt", std::filesystem::perms::owner_read);
    const bool root = ::geteuid() == 0; // the superuser can write everything
    const TextCase cases[] = {
        {"file_attributes(\"missing.txt\", fa_archive)", "-1"},
        {"file_attributes(\"sub\", fa_directory)", "1"},
        {"file_attributes(\"a.txt\", fa_directory)", "0"},
        {"file_attributes(\"a.txt\", fa_archive)", "1"},
        {"file_attributes(\".hidden.txt\", fa_hidden | fa_readonly)", "1"},
        {"file_attributes(\"a.txt\", fa_readonly | fa_hidden | fa_sysfile)", "0"},
        {"file_attributes(\"locked.txt\", fa_readonly)", root ? "0" : "1"},
    };
    for (const TextCase& c : cases) EXPECT_EQ(Text(c.code), c.expected) << c.code;
}

TEST_F(FilesNames, DiskSpace) {
    EXPECT_GT(Eval("disk_size()").val(), 0);
    EXPECT_GT(Eval("disk_size(\"\")").val(), 0);
    EXPECT_GE(Eval("disk_free(\"c\")").val(), 0);
    EXPECT_LE(Eval("disk_free()").val(), Eval("disk_size(\"C:\\\")").val());
    EXPECT_EQ(Text("disk_free(\"Q\")"), "-1");
    EXPECT_EQ(Text("disk_size(\"A\")"), "-1");
}

TEST_F(FilesNames, CommandLineAndEnvironment) {
    SetGameParameters("/opt/game/run", {"-level", "3", "two words"});
    const TextCase cases[] = {
        {"parameter_count()", "3"},
        {"parameter_string(0)", "\"/opt/game/run\""},
        {"parameter_string(1)", "\"-level\""},
        {"parameter_string(3)", "\"two words\""},
        {"parameter_string(4)", "\"\""},
        {"parameter_string(-1)", "\"\""},
    };
    for (const TextCase& c : cases) EXPECT_EQ(Text(c.code), c.expected) << c.code;
    SetGameParameters({}, {});
    EXPECT_EQ(Text("parameter_count()"), "0");
    ::setenv("KS_FILES_TEST_VALUE", "v=1", 1);
    EXPECT_EQ(Text("environment_get_variable(\"KS_FILES_TEST_VALUE\")"), "\"v=1\"");
    ::unsetenv("KS_FILES_TEST_VALUE");
    EXPECT_EQ(Text("environment_get_variable(\"KS_FILES_TEST_VALUE\")"), "\"\"");
}

TEST(FilesCommandLine, WindowsWordRules) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitCommandLine(""), V{});
    EXPECT_EQ(SplitCommandLine("  a  b\tc "), (V{"a", "b", "c"}));
    EXPECT_EQ(SplitCommandLine("\"a b\" c"), (V{"a b", "c"}));
    EXPECT_EQ(SplitCommandLine("x\"y z\"w"), (V{"xy zw"}));
    EXPECT_EQ(SplitCommandLine("a\\\\b \\\"q\\\" c\\\\\\\"d"), (V{"a\\\\b", "\"q\"", "c\\\"d"}));
    EXPECT_EQ(SplitCommandLine("\"\""), (V{""}));
}

TEST_F(FilesNames, ProgramsRunWithoutAShell) {
    // Every word reaches the program as it is: ";" and "$" mean nothing.
    EXPECT_EQ(Text("execute_program(\"touch\", '\"a b.txt\" c.txt x;touch $HOME', 1)"), "0");
    EXPECT_TRUE(std::filesystem::exists(game_ / "a b.txt"));
    EXPECT_TRUE(std::filesystem::exists(game_ / "c.txt"));
    EXPECT_TRUE(std::filesystem::exists(game_ / "x;touch"));
    EXPECT_TRUE(std::filesystem::exists(game_ / "$HOME"));
    EXPECT_EQ(Text("execute_program(\"no_such_program_ks\", \"\", 1)"),
              "0 ! Cannot execute no_such_program_ks");
    EXPECT_EQ(Text("execute_program(\"\", \"\", 0)"), "0 ! Cannot execute ");
    // A program of the working folder, named the Windows way and started without waiting.
    Write(game_ / "tools/mark.sh", "#!/bin/sh\necho \"$1\" > \"$2\"\n");
    std::filesystem::permissions(game_ / "tools/mark.sh", std::filesystem::perms::owner_all);
    EXPECT_EQ(Text("execute_program(\"tools\\Mark.sh\", \"hello marked.txt\", 0)"), "0");
    for (int i = 0; i < 100 && ReadBack(game_ / "marked.txt").empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(ReadBack(game_ / "marked.txt"), "hello\n");

    // The document goes to the desktop's opener as one argument.
    Write(game_ / "opener.sh", "#!/bin/sh\necho \"$#:$1\" > opened.txt\n");
    std::filesystem::permissions(game_ / "opener.sh", std::filesystem::perms::owner_all);
    SetShellOpener((game_ / "opener.sh").string());
    Write(game_ / "docs/Read Me.txt", "");
    EXPECT_EQ(Text("execute_shell(\"docs\\read me.txt\", \"ignored\")"), "0");
    for (int i = 0; i < 100 && ReadBack(game_ / "opened.txt").empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(ReadBack(game_ / "opened.txt"), "1:" + (game_ / "docs/Read Me.txt").string() + "\n");
    SetShellOpener((game_ / "missing-opener").string());
    EXPECT_EQ(Text("execute_shell(\"x.txt\", \"\")"), "0 ! Cannot execute x.txt");
    SetShellOpener({});
}

} // namespace
} // namespace kestrin::testing
