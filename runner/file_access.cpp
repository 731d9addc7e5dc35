#include "runner/file_access.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace kestrin {

namespace {

FileAccessContext g_access;

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

std::string Canonical(const std::string& path) {
    if (path.empty()) return {};
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::absolute(path, ec), ec);
    if (ec) return {};
    return p.string();
}

std::string CurrentFolder() {
    std::error_code ec;
    return Canonical(fs::current_path(ec).string());
}

bool Inside(const std::string& path, const std::string& folder) {
    if (folder.empty()) return false;
    if (folder == "/") return true;
    return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                              path[folder.size()] == '/');
}

std::string Join(const std::string& folder, std::string_view part) {
    return folder == "/" ? "/" + std::string(part) : folder + "/" + std::string(part);
}

std::string Parent(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return "/";
    return path.substr(0, slash);
}

// The entry of `folder` that matches `part` without regard to case (the first in byte order
// when several do), or empty.
std::string FindNoCase(const std::string& folder, std::string_view part) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return {};
    std::string best;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view n = entry->d_name;
        if (n == "." || n == "..") continue;
        if (SameNoCase(n, part) && (best.empty() || n < best)) best = std::string(n);
    }
    ::closedir(dir);
    return best;
}

// Where a link finally points, dangling or not; empty for a loop of links.
std::string FollowLinks(std::string path) {
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::error_code ec;
        const std::string target = fs::read_symlink(path, ec).string();
        if (ec || target.empty()) return {};
        // The rest of the way (links in the target's folders) resolves where it exists.
        path = Canonical(target[0] == '/' ? target : Parent(path) + "/" + target);
        if (path.empty()) return {};
    }
    return {};
}

size_t LastDelimiter(std::string_view name) {
    return name.find_last_of("\\/:");
}

} // namespace

void SetFileAccess(const FileAccessContext& context) {
    g_access = context;
    g_access.game_folder = Canonical(context.game_folder);
    g_access.temp_folder = Canonical(context.temp_folder);
}

const FileAccessContext& CurrentFileAccess() {
    return g_access;
}

bool SecureMode() {
    return g_access.secure_mode;
}

bool IsPathName(std::string_view name) {
    return name.find_first_of("\\/") != std::string_view::npos;
}

std::string NativeFileName(std::string_view name) {
    std::string out(name);
    if (out.size() >= 2 && out[1] == ':' &&
        ((out[0] >= 'A' && out[0] <= 'Z') || (out[0] >= 'a' && out[0] <= 'z')))
        out.erase(0, 2);
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
}

bool InsideAllowedFolders(const std::string& path) {
    const std::string game = g_access.game_folder.empty() ? CurrentFolder() : g_access.game_folder;
    return Inside(path, game) || Inside(path, g_access.temp_folder);
}

ResolvedFile ResolveFile(std::string_view name) {
    const std::string native = NativeFileName(name);
    std::string current = !native.empty() && native[0] == '/' ? std::string("/") : CurrentFolder();
    if (current.empty()) current = "/";
    bool missing = false;
    size_t from = 0;
    while (from <= native.size()) {
        size_t end = native.find('/', from);
        if (end == std::string::npos) end = native.size();
        const std::string_view part = std::string_view(native).substr(from, end - from);
        from = end + 1;
        if (part.empty() || part == ".") continue;
        // The folder so far is resolved (or does not exist), so its parent is plain text.
        if (part == "..") {
            current = Parent(current);
            continue;
        }
        std::string candidate = Join(current, part);
        if (!missing) {
            struct stat st;
            if (::lstat(candidate.c_str(), &st) != 0 && InsideAllowedFolders(current)) {
                const std::string found = FindNoCase(current, part);
                if (!found.empty()) candidate = Join(current, found);
            }
            if (::lstat(candidate.c_str(), &st) != 0) {
                missing = true;
            } else if (S_ISLNK(st.st_mode)) {
                // A link (even a dangling one, which a write would create) counts where it points.
                const std::string target = FollowLinks(candidate);
                if (target.empty()) return {candidate, !g_access.secure_mode};
                candidate = target;
                if (::lstat(candidate.c_str(), &st) != 0) missing = true;
            }
        }
        current = std::move(candidate);
    }
    ResolvedFile out;
    out.path = current;
    out.allowed = !g_access.secure_mode || InsideAllowedFolders(current);
    return out;
}

std::string FilenameName(std::string_view name) {
    const size_t d = LastDelimiter(name);
    return std::string(d == std::string_view::npos ? name : name.substr(d + 1));
}

std::string FilenamePath(std::string_view name) {
    const size_t d = LastDelimiter(name);
    return d == std::string_view::npos ? std::string() : std::string(name.substr(0, d + 1));
}

std::string FilenameDir(std::string_view name) {
    const size_t d = LastDelimiter(name);
    if (d == std::string_view::npos) return {};
    size_t keep = d + 1;
    // "C:\" and "\" keep their separator: without it they would name something else.
    const auto delimiter = [](char c) { return c == '\\' || c == '/' || c == ':'; };
    if (d > 0 && name[d] != ':' && !delimiter(name[d - 1])) keep = d;
    return std::string(name.substr(0, keep));
}

std::string FilenameDrive(std::string_view name) {
    if (name.size() >= 2 && name[1] == ':') return std::string(name.substr(0, 2));
    // A network name: "\\server\share".
    if (name.size() >= 2 && (name[0] == '\\' || name[0] == '/') && name[1] == name[0]) {
        size_t n = name.find_first_of("\\/", 2);
        if (n == std::string_view::npos) return std::string(name);
        n = name.find_first_of("\\/", n + 1);
        return std::string(name.substr(0, n == std::string_view::npos ? name.size() : n));
    }
    return {};
}

std::string FilenameExt(std::string_view name) {
    const size_t dot = name.find_last_of(".\\/:");
    if (dot == std::string_view::npos || name[dot] != '.') return {};
    return std::string(name.substr(dot));
}

std::string FilenameChangeExt(std::string_view name, std::string_view ext) {
    const size_t dot = name.find_last_of(".\\/:");
    const size_t cut = dot != std::string_view::npos && name[dot] == '.' ? dot : name.size();
    return std::string(name.substr(0, cut)) + std::string(ext);
}

bool MatchFileMask(std::string_view mask, std::string_view name) {
    if (mask == "*.*" || mask == "*") return true;
    // Iterative matching with one backtrack point: linear in practice, never exponential.
    size_t m = 0, n = 0, star = std::string_view::npos, mark = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || Lower(mask[m]) == Lower(name[n]))) {
            ++m;
            ++n;
        } else if (m < mask.size() && mask[m] == '*') {
            star = m++;
            mark = n;
        } else if (star != std::string_view::npos) {
            m = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

int32_t FileAttributesOf(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return -1;
    int32_t attributes = 0;
    if (S_ISDIR(st.st_mode))
        attributes |= kFaDirectory;
    else
        attributes |= kFaArchive;
    const std::string base = path.substr(path.find_last_of('/') + 1);
    if (!base.empty() && base[0] == '.') attributes |= kFaHidden;
    if (::access(path.c_str(), W_OK) != 0) attributes |= kFaReadOnly;
    return attributes;
}

} // namespace kestrin
