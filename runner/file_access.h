#pragma once
// How the file built-ins turn a game's file name into a path on this system, and what secure
// mode lets them reach.
//
// Names: "\" separates folders like "/", and a drive ("C:") in front is dropped, so
// "C:\scores.txt" names "/scores.txt" and "data\level1.txt" names data/level1.txt in the
// working folder. A name that does not exist as written is looked up without regard to ASCII
// case, folder by folder, inside the allowed folders (games written for a case-insensitive
// file system find "Level1.TXT" as "level1.txt"). "." and "..", and symbolic links, are
// resolved before anything is checked.
//
// Allowed folders: the game's folder (where the run started) and the temporary folder. In
// secure mode nothing outside them is read or written.

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrin {

struct FileAccessContext {
    // Empty: the current working folder.
    std::string game_folder;
    std::string temp_folder;
    bool secure_mode = false;
};

// Installed by start-up (and by tests); the folders are made canonical here.
void SetFileAccess(const FileAccessContext& context);
const FileAccessContext& CurrentFileAccess();
bool SecureMode();

// A name with a folder part: secure mode refuses such names for writing.
bool IsPathName(std::string_view name);
// "\" as "/", the drive dropped.
std::string NativeFileName(std::string_view name);

struct ResolvedFile {
    std::string path;    // absolute, with links and "." / ".." resolved as far as the path exists
    bool allowed = true; // false in secure mode for a path outside the allowed folders
};
ResolvedFile ResolveFile(std::string_view name);
// True when `path` (absolute and resolved) lies inside one of the allowed folders.
bool InsideAllowedFolders(const std::string& path);

// The name parts, with "\", "/" and ":" as delimiters.
std::string FilenameName(std::string_view name);
std::string FilenamePath(std::string_view name);
std::string FilenameDir(std::string_view name);
std::string FilenameDrive(std::string_view name);
std::string FilenameExt(std::string_view name);
std::string FilenameChangeExt(std::string_view name, std::string_view ext);

// "*" and "?" wildcards without regard to ASCII case; "*.*" matches every name.
bool MatchFileMask(std::string_view mask, std::string_view name);

// Attribute bits of fa_readonly ... fa_archive.
enum FileAttribute : int32_t {
    kFaReadOnly = 1,
    kFaHidden = 2,
    kFaSysFile = 4,
    kFaVolumeId = 8,
    kFaDirectory = 16,
    kFaArchive = 32,
};
// The attributes of a resolved path, or -1 when it does not exist.
int32_t FileAttributesOf(const std::string& path);

} // namespace kestrin
