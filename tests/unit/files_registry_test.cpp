// The registry store: typed round trips, names that ignore case, the roots, the game's own key,
// the values file's form and the secure-mode values.

#include "files_fixture.h"
#include "runner/file_messages.h"
#include "runner/game_variables.h"

namespace kestrin::testing {
namespace {

using FilesRegistry = FilesTest;

TEST_F(FilesRegistry, StoreFollowsTheConfigurationFolder) {
    EXPECT_EQ(RegistryStore::DefaultFolder(), (root_ / "config/kestrin/registry").string());
    const char* home = std::getenv("HOME");
    const std::string oldHome = home ? home : "";
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("HOME", root_.c_str(), 1);
    EXPECT_EQ(RegistryStore::DefaultFolder(), (root_ / ".config/kestrin/registry").string());
    ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    EXPECT_EQ(RegistryStore::DefaultFolder(), (root_ / ".config/kestrin/registry").string());
    if (home) ::setenv("HOME", oldHome.c_str(), 1);
}

TEST_F(FilesRegistry, TypedRoundTrips) {
    RegistryStore store((root_ / "store").string());
    const std::string key = "\\Software\\Test";
    EXPECT_FALSE(store.KeyExists(RegistryRoot::CurrentUser, key));
    const std::string awkward = std::string("tab\tnew\nline 100% \\ \x01 \xC3\xA9", 22);
    ASSERT_TRUE(store.WriteString(RegistryRoot::CurrentUser, key, "Name", awkward));
    ASSERT_TRUE(store.WriteReal(RegistryRoot::CurrentUser, key, "Best", 0.1 + 0.2));
    ASSERT_TRUE(store.WriteString(RegistryRoot::CurrentUser, key, "odd\tname=", "x"));
    EXPECT_TRUE(store.KeyExists(RegistryRoot::CurrentUser, "software\\TEST"));
    EXPECT_EQ(store.ReadString(RegistryRoot::CurrentUser, "\\SOFTWARE\\test\\", "name"), awkward);
    EXPECT_EQ(store.ReadReal(RegistryRoot::CurrentUser, key, "BEST"), 0.1 + 0.2); // bit for bit
    EXPECT_EQ(store.ReadString(RegistryRoot::CurrentUser, key, "odd\tname="), "x");
    // Another type reads as nothing.
    EXPECT_EQ(store.ReadReal(RegistryRoot::CurrentUser, key, "Name"), 0);
    EXPECT_EQ(store.ReadString(RegistryRoot::CurrentUser, key, "Best"), "");
    // A value changes type when written again, in its place.
    ASSERT_TRUE(store.WriteReal(RegistryRoot::CurrentUser, key, "NAME", 3));
    EXPECT_EQ(store.ReadReal(RegistryRoot::CurrentUser, key, "name"), 3);
    EXPECT_EQ(store.ReadString(RegistryRoot::CurrentUser, key, "name"), "");
    // Roots are apart; "." and ".." are key names, not folders.
    EXPECT_FALSE(store.Exists(RegistryRoot::LocalMachine, key, "Best"));
    ASSERT_TRUE(store.WriteString(RegistryRoot::Users, "..\\..\\escape", "v", "1"));
    EXPECT_TRUE(std::filesystem::exists(root_ / "store/users/%2e%2e/%2e%2e/escape/values"));
    // Every write replaced the file whole: nothing else is beside it.
    for (const auto& e : std::filesystem::recursive_directory_iterator(root_ / "store"))
        if (e.is_regular_file()) {
            EXPECT_EQ(e.path().filename(), "values") << e.path();
        }
}

TEST_F(FilesRegistry, DamagedValuesFilesReadWhatParses) {
    const auto values = ParseRegistryValues("good\tsz\thello%20there\n"
                                            "bad escape\tsz\t%zz\n"
                                            "no tabs\n"
                                            "num\tdword\t-5\n"
                                            "big\tdword\t99999999999\n"
                                            "odd\tbinary\tabc\n"
                                            "GOOD\tsz\tduplicate\n"
                                            "bin\tbinary\t00ff\n"
                                            "what\tqword\t1");
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0].first, "good");
    EXPECT_EQ(values[0].second.text, "hello there");
    EXPECT_EQ(values[1].second.number, -5);
    EXPECT_EQ(values[2].second.data, (std::vector<uint8_t>{0, 255}));
    EXPECT_EQ(ParseRegistryValues(FormatRegistryValues(values)).size(), 3u);
}

TEST_F(FilesRegistry, BuiltinsAndRoots) {
    GameValues().game_id = 4242;
    const TextCase cases[] = {
        {"registry_exists(\"hiscore\")", "0"},
        {"registry_read_real(\"hiscore\")", "0"},
        {"registry_read_string(\"player\")", "\"\""},
        {"registry_write_real(\"hiscore\", 1250.5)", "0"},
        {"registry_write_string(\"player\", \"Ann\")", "0"},
        {"registry_exists(\"HISCORE\")", "1"},
        {"registry_read_real(\"hiscore\")", "1250.50"},
        {"registry_read_string(\"Player\")", "\"Ann\""},
        // The game's key is the one the _ext forms see under the current user.
        {"registry_read_real_ext(\"\\Software\\Kestrin\\4242\", \"hiscore\")", "1250.50"},
        {"registry_write_string_ext(\"Software\\Other\", \"k\", \"user\")", "0"},
        {"registry_set_root(1)", "0"},
        {"registry_exists_ext(\"Software\\Other\", \"k\")", "0"},
        {"registry_write_string_ext(\"Software\\Other\", \"k\", \"machine\")", "0"},
        {"registry_read_string_ext(\"Software\\Other\", \"k\")", "\"machine\""},
        // The per-game forms always use the current user.
        {"registry_read_real(\"hiscore\")", "1250.50"},
        {"registry_set_root(7)", "0"},
        {"registry_read_string_ext(\"Software\\Other\", \"k\")", "\"user\""},
        {"registry_set_root(3)", "0"},
        {"registry_write_real_ext(\"S\", \"r\", -2)", "0"},
        {"registry_read_real_ext(\"s\", \"R\")", "-2"},
        {"registry_set_root(2)", "0"},
        {"registry_read_real_ext(\"s\", \"R\")", "0"},
    };
    for (const TextCase& c : cases) EXPECT_EQ(Text(c.code), c.expected) << c.code;
    EXPECT_TRUE(
        std::filesystem::exists(root_ / "config/kestrin/registry/current_user/software/kestrin/4242/values"));
    GameValues().game_id = 0;
}

TEST_F(FilesRegistry, SecureModeValues) {
    RegistryStore store((root_ / "prefs").string());
    EXPECT_FALSE(ReadSecureMode(store)); // no key
    const auto set = [&](const char* name, int32_t n) {
        RegistryValue v;
        v.type = RegistryValue::Type::Dword;
        v.number = n;
        ASSERT_TRUE(store.Set(RegistryRoot::CurrentUser, kPreferencesKey, name, v));
    };
    set("Other", 1);
    EXPECT_FALSE(ReadSecureMode(store)); // the key without "Warning"
    set("Warning", 1);
    EXPECT_TRUE(ReadSecureMode(store));
    set("KestrinRunning", 0);
    EXPECT_FALSE(ReadSecureMode(store)); // both must be on
    set("KestrinRunning", 1);
    EXPECT_TRUE(ReadSecureMode(store));
    set("Warning", 0);
    EXPECT_FALSE(ReadSecureMode(store));
    // Another root's values do not count.
    RegistryStore other((root_ / "other").string());
    RegistryValue on;
    on.type = RegistryValue::Type::Dword;
    on.number = 1;
    ASSERT_TRUE(other.Set(RegistryRoot::LocalMachine, kPreferencesKey, "Warning", on));
    EXPECT_FALSE(ReadSecureMode(other));
}

} // namespace
} // namespace kestrin::testing
