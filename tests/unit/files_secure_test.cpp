// Secure mode: nothing outside the game's folder and the temporary folder is read or
// written, whatever the name ("..", absolute paths, links); folder parts are refused for
// writing; no program starts; every refusal gives its message.

#include <unistd.h>

#include "files_fixture.h"
#include "runner/file_messages.h"

namespace kestrin::testing {
namespace {

using FilesSecure = FilesTest;

struct Case {
    std::string code;
    std::string expected;
};

TEST_F(FilesSecure, EscapesAreRefused) {
    Write(root_ / "outside/secret.txt", "secret");
    Write(game_ / "data/level.txt", "level");
    ASSERT_EQ(::symlink((root_ / "outside").c_str(), (game_ / "link").c_str()), 0);
    ASSERT_EQ(::symlink((root_ / "outside/secret.txt").c_str(), (game_ / "plain").c_str()), 0);
    ASSERT_EQ(::symlink((root_ / "outside/new.txt").c_str(), (game_ / "dangling").c_str()), 0);
    ASSERT_EQ(::symlink((game_ / "data/level.txt").c_str(), (game_ / "inside").c_str()), 0);
    Secure(true);
    const std::string abs = (root_ / "outside/secret.txt").string();
    const Case cases[] = {
        // Reading a name with a folder part inside the game's folder is allowed.
        {"file_text_open_read(\"data\\level.txt\")", "1"},
        {"file_text_open_read(\"inside\")", "2"},
        {"file_text_open_read(\"../outside/secret.txt\")",
         "-1 ! In secure mode you cannot read file ../outside/secret.txt"},
        {"file_text_open_read(\"data\\..\\..\\outside\\secret.txt\")",
         "-1 ! In secure mode you cannot read file data\\..\\..\\outside\\secret.txt"},
        {"file_text_open_read(\"link/secret.txt\")",
         "-1 ! In secure mode you cannot read file link/secret.txt"},
        {"file_text_open_read(\"plain\")", "-1 ! In secure mode you cannot read file plain"},
        {"file_bin_open(\"plain\", 0)", "-1 ! In secure mode you cannot read file plain"},
        // A plain name is written; one with a folder part is not, inside the folder or not.
        {"file_text_open_write(\"plain.txt\")", "3"},
        {"file_text_open_write(\"data\\x.txt\")", "-1 ! In secure mode you cannot write file data\\x.txt"},
        {"file_text_open_append(\"../x.txt\")", "-1 ! In secure mode you cannot append to file ../x.txt"},
        {"file_bin_open(\"data/x.bin\", 2)", "-1 ! In secure mode you cannot write file data/x.bin"},
        {"file_open_write(\"plain\")", "0 ! In secure mode you cannot write file plain"},
        {"file_open_append(\"dangling\")", "0 ! In secure mode you cannot append to file dangling"},
        {"file_bin_open(\"dangling\", 1)", "-1 ! In secure mode you cannot write file dangling"},
        {"file_delete(\"plain\")", "0 ! In Secure mode you cannot delete file plain"},
        {"file_delete(\"data\\level.txt\")", "0 ! In Secure mode you cannot delete file data\\level.txt"},
        {"file_rename(\"plain.txt\", \"data/y.txt\")",
         "0 ! In Secure mode you cannot rename file plain.txt into data/y.txt"},
        {"file_copy(\"plain\", \"copy.txt\")", "0 ! In Secure mode you cannot copy file plain to copy.txt"},
        {"directory_create(\"a\\b\")", "0 ! In Secure mode you cannot create directory a\\b"},
        {"directory_create(\"link\")", "0 ! In Secure mode you cannot create directory link"},
        {"directory_create(\"fresh\")", "0"},
        // Questions about what lies outside are answered as if nothing were there.
        {"file_exists(\"" + abs + "\")", "0"},
        {"file_exists(\"plain\")", "0"},
        {"directory_exists(\"link\")", "0"},
        {"file_attributes(\"" + abs + "\", fa_archive)", "-1"},
        {"file_find_first(\"link\\*\", 0)", "\"\""},
        {"file_find_first(\"../outside/*\", 0)", "\"\""},
        {"ini_open(\"link/x.ini\")", "0 ! In secure mode you cannot read file link/x.ini"},
        {"execute_program(\"touch\", \"ran.txt\", 1)", "0 ! In Secure mode you cannot execute program touch"},
        {"execute_shell(\"data\\level.txt\", \"\")",
         "0 ! In Secure mode you cannot execute program data\\level.txt"},
        {"registry_write_string_ext(\"Software\\X\", \"k\", \"v\")",
         "0 ! In Secure mode you cannot write registry entries in Software\\X"},
        {"registry_write_real_ext(\"Software\\X\", \"k\", 1)",
         "0 ! In Secure mode you cannot write registry entries in Software\\X"},
    };
    for (const Case& c : cases) EXPECT_EQ(Text(c.code), c.expected) << c.code;
    // Nothing outside changed, and nothing ran.
    EXPECT_EQ(ReadBack(root_ / "outside/secret.txt"), "secret");
    EXPECT_FALSE(std::filesystem::exists(root_ / "outside/new.txt"));
    EXPECT_FALSE(std::filesystem::exists(root_ / "x.txt"));
    EXPECT_FALSE(std::filesystem::exists(game_ / "ran.txt"));
    EXPECT_TRUE(std::filesystem::exists(game_ / "fresh"));
    EXPECT_TRUE(std::filesystem::is_symlink(game_ / "plain"));
    // The game's own registry values are still written.
    EXPECT_EQ(Text("registry_write_string(\"k\", \"v\")"), "0");
    EXPECT_EQ(Text("registry_read_string(\"k\")"), "\"v\"");
}

TEST_F(FilesSecure, TheTemporaryFolderIsAllowed) {
    Write(temp_ / "cache.txt", "cached");
    Secure(true);
    const std::string cache = (temp_ / "cache.txt").string();
    EXPECT_EQ(Text("file_exists(\"" + cache + "\")"), "1");
    EXPECT_EQ(Text("file_text_open_read(\"" + cache + "\")"), "1");
    EXPECT_EQ(Text("file_text_read_string(1)"), "\"cached\"");
    // Still a name with a folder part: not written.
    EXPECT_EQ(Text("file_text_open_write(\"" + cache + "\")"),
              "-1 ! In secure mode you cannot write file " + cache);
}

TEST_F(FilesSecure, OffMeansAnyPath) {
    Write(root_ / "outside/secret.txt", "secret");
    ASSERT_EQ(::symlink((root_ / "outside").c_str(), (game_ / "link").c_str()), 0);
    EXPECT_EQ(Text("file_text_open_read(\"link\\secret.txt\")"), "1");
    EXPECT_EQ(Text("file_text_open_write(\"../outside/new.txt\")"), "2");
    EXPECT_TRUE(std::filesystem::exists(root_ / "outside/new.txt"));
}

} // namespace
} // namespace kestrin::testing
