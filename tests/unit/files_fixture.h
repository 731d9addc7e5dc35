#pragma once
// Shared by the file, INI, registry and secure-mode tests: a fresh folder that is the working
// folder and the game's folder, a temporary folder inside it, and a registry store (and
// XDG_CONFIG_HOME) under it. Everything the built-ins opened is closed between tests.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "function_fixture.h"
#include "runner/file_access.h"
#include "runner/function_file.h"
#include "runner/function_ini.h"
#include "runner/function_registry.h"

namespace kestrin::testing {

class FilesTest : public FunctionTest {
protected:
    void SetUp() override {
        FunctionTest::SetUp();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ = std::filesystem::temp_directory_path() / ("ks_files_" + std::to_string(::getpid()) + "_" +
                                                          info->test_suite_name() + "_" + info->name());
        std::filesystem::remove_all(root_);
        game_ = root_ / "game";
        temp_ = root_ / "temp";
        std::filesystem::create_directories(game_);
        std::filesystem::create_directories(temp_);
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(game_);
        const char* xdg = std::getenv("XDG_CONFIG_HOME");
        hadXdg_ = xdg != nullptr;
        if (xdg) oldXdg_ = xdg;
        ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
        SetRegistryStore(RegistryStore());
        Secure(false);
    }
    void TearDown() override {
        ResetFileState();
        ResetIniState();
        ResetRegistryState();
        SetFileAccess({});
        std::filesystem::current_path(previous_);
        if (hadXdg_)
            ::setenv("XDG_CONFIG_HOME", oldXdg_.c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
        SetRegistryStore(RegistryStore());
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
        FunctionTest::TearDown();
    }

    void Secure(bool on) { SetFileAccess({game_.string(), temp_.string(), on}); }

    static void Write(const std::filesystem::path& path, const std::string& bytes) {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary);
        out << bytes;
    }
    static std::string ReadBack(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::filesystem::path root_, game_, temp_, previous_;
    bool hadXdg_ = false;
    std::string oldXdg_;
};

} // namespace kestrin::testing
