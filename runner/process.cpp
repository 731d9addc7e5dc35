#include "runner/process.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "base/file_io.h"

namespace fs = std::filesystem;

namespace kestrin {

namespace {

std::mt19937& ClockRandom() {
    static std::mt19937 random(
        static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count() ^
                              std::chrono::system_clock::now().time_since_epoch().count()));
    return random;
}

int RandomBelow(int bound) {
    return std::uniform_int_distribution<int>(0, bound - 1)(ClockRandom());
}

} // namespace

std::vector<std::string> TempFolderBases(const std::string& executableDir) {
    std::vector<std::string> bases;
    // Only a small regular file counts: a FIFO of that name must not hold up the start.
    std::vector<uint8_t> bytes;
    if (ReadRegularFile((fs::path(executableDir) / "tempdir.txt").string(), bytes, 64 * 1024) ==
        FileReadStatus::Ok) {
        std::string line(bytes.begin(), std::find(bytes.begin(), bytes.end(), uint8_t('\n')));
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (!line.empty()) bases.push_back(line);
    }
    for (const char* name : {"temp", "tmp", "TMPDIR"}) {
        const char* value = std::getenv(name);
        if (value && *value && std::string(value).size() <= 256) {
            bases.push_back(value);
            break;
        }
    }
    bases.push_back("/tmp");
    std::error_code ec;
    fs::path cwd = fs::current_path(ec);
    if (!ec) bases.push_back(cwd.string());
    return bases;
}

bool TempFolder::Create(const std::vector<std::string>& bases) {
    for (const auto& base : bases) {
        for (int attempt = 0; attempt < 1000; ++attempt) {
            fs::path candidate = fs::path(base) / ("ks_ttt_" + std::to_string(RandomBelow(100000)));
            std::error_code ec;
            if (fs::exists(candidate, ec)) continue;
            fs::create_directories(candidate.parent_path(), ec);
            // create_directory fails when another process made the same name in between.
            if (fs::create_directory(candidate, ec) && !ec) {
                path_ = fs::absolute(candidate, ec).string();
                return true;
            }
            if (ec && ec != std::errc::file_exists) break; // this base is unusable
        }
    }
    return false;
}

void TempFolder::Remove() {
    if (path_.empty()) return;
    std::error_code ec;
    // remove_all does not follow symbolic links, so nothing outside the folder is touched.
    fs::remove_all(path_, ec);
    path_.clear();
}

std::string TempFileName(const std::string& folder, const std::string& extension) {
    for (;;) {
        fs::path name = fs::path(folder) / ("a" + std::to_string(RandomBelow(100000)) + extension);
        std::error_code ec;
        if (!fs::exists(name, ec)) return name.string();
    }
}

TraceLog::~TraceLog() {
    if (file_) std::fclose(file_);
}

bool TraceLog::Wanted(const std::vector<std::string>& parameters) {
    const char* env = std::getenv("VTLOG_TRACE");
    if (env && std::string(env) == "1") return true;
    for (const auto& p : parameters)
        if (p == "--VTTrace") return true;
    return false;
}

void TraceLog::Open(const std::string& preferredDir) {
    if (file_) return;
    for (fs::path dir : {fs::path(preferredDir), fs::path(".")}) {
        fs::path p = dir / "Trace.log";
        file_ = std::fopen(p.string().c_str(), "a");
        if (file_) {
            path_ = p.string();
            break;
        }
    }
    if (!file_) return;
    std::string stars(86, '*');
    Line(stars);
    Line("               Kestrin Runner v8.1." + std::to_string(23) + "." + "6892");
    Line(stars);
}

void TraceLog::Line(const std::string& text) {
    if (!file_) return;
    std::fputs(text.c_str(), file_);
    std::fputc('\n', file_);
    std::fflush(file_);
}

} // namespace kestrin
