#include "runner/function_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "base/numeric.h"
#include "runner/file_access.h"
#include "runner/file_messages.h"
#include "runner/registry_store.h"
#include "script/builtin_args.h"
#include "script/run_error.h"
#include "script/value.h"

extern char** environ;

namespace fs = std::filesystem;

namespace kestrin {

namespace {

using namespace builtin_args;


constexpr int kSlots = 32;
// One read_string returns at most this much of a line; the rest stays for the next read.
constexpr size_t kMaxLineBytes = size_t(64) << 20;

enum TextMode : int { kClosed = 0, kReading = 1, kWriting = 2 };

struct BinarySlot {
    FILE* file = nullptr;
    int mode = 0;         // 0 read, 1 write, 2 both
    bool writing = false; // the last operation wrote (a read must first seek)
};

struct TextSlot {
    FILE* file = nullptr;
    int mode = kClosed;
};

struct FileState {
    std::array<BinarySlot, kSlots> binary;
    std::array<TextSlot, kSlots> text;
    TextSlot single;
    std::vector<std::string> found; // the search in progress
    size_t next_found = 0;
    bool searching = false;
    std::vector<pid_t> children; // started without waiting, reaped later
};

FileState& State() {
    static FileState state;
    return state;
}

std::string g_executable;
std::vector<std::string> g_parameters;
std::string g_opener = "xdg-open";

void Report(std::string_view text) {
    ReportRunError(text, false);
}
void Report(std::string_view text, std::string_view name) {
    ReportRunError(std::string(text) + std::string(name), false);
}


// ---- Opening ----

// Opens a regular file without blocking on FIFOs or devices; null (errno set) otherwise.
FILE* OpenRegular(const std::string& path, int flags, const char* mode, bool truncate) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return nullptr;
    }
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0) (void)::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    if (truncate && ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return nullptr;
    }
    FILE* file = ::fdopen(fd, mode);
    if (!file) ::close(fd);
    return file;
}

enum class Access { Read, Write, Append };

// The path of a file the game names, or empty after reporting the refusal.
std::string PathFor(const std::string& name, Access access) {
    if (SecureMode() && access != Access::Read && IsPathName(name)) {
        Report(access == Access::Append ? msg::kSecureAppendFile : msg::kSecureWriteFile, name);
        return {};
    }
    const ResolvedFile file = ResolveFile(name);
    if (!file.allowed) {
        Report(access == Access::Read     ? msg::kSecureReadFile
               : access == Access::Append ? msg::kSecureAppendFile
                                          : msg::kSecureWriteFile,
               name);
        return {};
    }
    return file.path;
}

// A path for queries (exists, attributes): refused paths answer as missing, silently.
std::string QueryPath(const std::string& name) {
    const ResolvedFile file = ResolveFile(name);
    return file.allowed ? file.path : std::string();
}

void Close(FILE*& file) {
    if (file) std::fclose(file);
    file = nullptr;
}

// ---- Binary files ----

BinarySlot* OpenBinary(Args a, int i) {
    const int32_t slot = I(a, i);
    if (slot < 1 || slot > kSlots || !State().binary[size_t(slot - 1)].file) {
        Report(msg::kFileNotOpened);
        return nullptr;
    }
    return &State().binary[size_t(slot - 1)];
}

ROUTINE(file_bin_open) {
    r.SetReal(-1);
    const std::string name = S(a, 0);
    const int32_t mode = std::clamp(I(a, 1), 0, 2);
    auto& slots = State().binary;
    const auto free = std::find_if(slots.begin(), slots.end(), [](const BinarySlot& s) { return !s.file; });
    if (free == slots.end()) return Report(msg::kMaximumExceeded);
    if (SecureMode() && mode != 0 && IsPathName(name)) return Report(msg::kSecureWriteFile, name);
    const std::string path = PathFor(name, mode == 0 ? Access::Read : Access::Write);
    if (path.empty()) return;
    FILE* file = mode == 0 ? OpenRegular(path, O_RDONLY, "rb", false)
                           : OpenRegular(path, O_RDWR | O_CREAT, "r+b", false);
    // Reading a file that is not there yet starts it, empty.
    if (!file && mode == 0 && errno == ENOENT) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0) ::close(fd);
        file = OpenRegular(path, O_RDONLY, "rb", false);
    }
    if (!file) return Report(msg::kErrorOpeningBinary);
    *free = BinarySlot{file, mode, false};
    r.SetReal(double(free - slots.begin() + 1));
}

ROUTINE(file_bin_rewrite) {
    const int32_t slot = I(a, 0);
    if (slot < 1 || slot > kSlots || !State().binary[size_t(slot - 1)].file)
        return Report(msg::kRewriteUnopened);
    BinarySlot& s = State().binary[size_t(slot - 1)];
    if (s.mode == 0 || std::fflush(s.file) != 0 || ::ftruncate(::fileno(s.file), 0) != 0 ||
        std::fseek(s.file, 0, SEEK_SET) != 0)
        return Report(msg::kErrorRewriting);
}

ROUTINE(file_bin_close) {
    const int32_t slot = I(a, 0);
    if (slot < 1 || slot > kSlots || !State().binary[size_t(slot - 1)].file)
        return Report(msg::kCloseUnopened);
    BinarySlot& s = State().binary[size_t(slot - 1)];
    Close(s.file);
    s = BinarySlot{};
}

ROUTINE(file_bin_size) {
    BinarySlot* s = OpenBinary(a, 0);
    if (!s) return;
    struct stat st;
    if (std::fflush(s->file) != 0 || ::fstat(::fileno(s->file), &st) != 0) return Report(msg::kErrorFileSize);
    r.SetReal(double(st.st_size));
}

ROUTINE(file_bin_position) {
    BinarySlot* s = OpenBinary(a, 0);
    if (!s) return;
    const long position = std::ftell(s->file);
    if (position < 0) return Report(msg::kErrorFileSize);
    r.SetReal(double(position));
}

ROUTINE(file_bin_seek) {
    BinarySlot* s = OpenBinary(a, 0);
    if (!s) return;
    const double position = a[1].val();
    struct stat st;
    if (std::fflush(s->file) != 0 || ::fstat(::fileno(s->file), &st) != 0) return Report(msg::kErrorSeeking);
    // Within the file or at its end, as the file's own seek allows.
    const int64_t p = std::isfinite(position) ? RoundToInt64Saturated(position, -1) : -1;
    if (p < 0 || p > st.st_size || std::fseek(s->file, long(p), SEEK_SET) != 0)
        return Report(msg::kErrorSeeking);
    s->writing = false;
}

ROUTINE(file_bin_read_byte) {
    BinarySlot* s = OpenBinary(a, 0);
    if (!s) return;
    if (s->mode == 1) return Report(msg::kErrorReadingByte);
    if (s->writing) (void)std::fseek(s->file, 0, SEEK_CUR);
    s->writing = false;
    const int c = std::fgetc(s->file);
    if (c == EOF) return Report(msg::kErrorReadingByte);
    r.SetReal(c);
}

ROUTINE(file_bin_write_byte) {
    BinarySlot* s = OpenBinary(a, 0);
    if (!s) return;
    if (s->mode == 0) return Report(msg::kErrorWritingByte);
    if (!s->writing) (void)std::fseek(s->file, 0, SEEK_CUR);
    s->writing = true;
    const auto byte = static_cast<unsigned char>(RoundToInt64Saturated(a[1].val()) & 0xFF);
    if (std::fputc(byte, s->file) == EOF) return Report(msg::kErrorWritingByte);
}

// ---- Text files: reading ----

int Peek(FILE* f) {
    const int c = std::fgetc(f);
    if (c != EOF) std::ungetc(c, f);
    return c;
}

bool AtLineEnd(int c) {
    return c == EOF || c == '\r' || c == '\n';
}

std::string ReadLineText(FILE* f) {
    std::string out;
    while (out.size() < kMaxLineBytes) {
        const int c = std::fgetc(f);
        if (AtLineEnd(c)) {
            if (c != EOF) std::ungetc(c, f);
            break;
        }
        out += static_cast<char>(c);
    }
    return out;
}

void SkipLine(FILE* f) {
    for (int c; (c = std::fgetc(f)) != EOF;) {
        if (c == '\n') return;
        if (c == '\r') {
            if (Peek(f) == '\n') (void)std::fgetc(f);
            return;
        }
    }
}

// Slot files: blanks only before the first digit, one minus before it, one separator; the
// first other character ends the number and is used up.
double ReadSlotReal(FILE* f) {
    double value = 0, divisor = 10, sign = 1;
    bool digit = false, separator = false;
    for (int c; !AtLineEnd(c = Peek(f));) {
        (void)std::fgetc(f);
        if (!digit && (c == ' ' || c == '\t')) continue;
        if (!digit && c == '-') {
            sign = -1;
            continue;
        }
        if ((c == '.' || c == ',') && !separator) {
            separator = true;
            continue;
        }
        if (c < '0' || c > '9') break;
        digit = true;
        if (separator) {
            value += (c - '0') / divisor;
            divisor *= 10;
        } else {
            value = value * 10 + (c - '0');
        }
    }
    return sign * value;
}

// The single file: blanks anywhere, a minus anywhere, a second separator ends the number.
double ReadSingleReal(FILE* f) {
    double value = 0, divisor = 10, sign = 1;
    bool separator = false;
    for (int c; !AtLineEnd(c = Peek(f));) {
        (void)std::fgetc(f);
        if (c == ' ' || c == '\t') continue;
        if (c == '-') {
            sign = -1;
            continue;
        }
        if (c == '.' || c == ',') {
            if (separator) break;
            separator = true;
            continue;
        }
        if (c < '0' || c > '9') break;
        if (separator) {
            value += (c - '0') / divisor;
            divisor *= 10;
        } else {
            value = value * 10 + (c - '0');
        }
    }
    return sign * value;
}

TextSlot* TextSlotArg(Args a, int i) {
    const int32_t slot = I(a, i);
    return slot >= 1 && slot <= kSlots ? &State().text[size_t(slot - 1)] : nullptr;
}

TextSlot* Reading(Args a, const char* message) {
    TextSlot* s = TextSlotArg(a, 0);
    if (!s || s->mode != kReading) {
        Report(message);
        return nullptr;
    }
    return s;
}

TextSlot* Writing(Args a) {
    TextSlot* s = TextSlotArg(a, 0);
    if (!s || s->mode != kWriting) {
        Report(msg::kNotOpenedForWriting);
        return nullptr;
    }
    return s;
}

// Opens `name` in `slot` for reading or writing; false after reporting.
bool OpenText(TextSlot& slot, const std::string& name, Access access, bool missingIsSilent) {
    const std::string path = PathFor(name, access);
    if (path.empty()) return false;
    FILE* file = nullptr;
    if (access == Access::Read) {
        file = OpenRegular(path, O_RDONLY, "rb", false);
        if (!file && errno == ENOENT && missingIsSilent) return false;
    } else if (access == Access::Write) {
        file = OpenRegular(path, O_WRONLY | O_CREAT, "wb", true);
    } else {
        file = OpenRegular(path, O_WRONLY | O_CREAT | O_APPEND, "ab", false);
    }
    if (!file) {
        Report(access == Access::Read    ? msg::kErrorOpeningRead
               : access == Access::Write ? msg::kErrorOpeningWrite
                                         : msg::kErrorOpeningAppend);
        return false;
    }
    slot.file = file;
    slot.mode = access == Access::Read ? kReading : kWriting;
    return true;
}

void OpenTextSlot(Args a, RValue& r, Access access) {
    r.SetReal(-1);
    auto& slots = State().text;
    const auto free = std::find_if(slots.begin(), slots.end(), [](const TextSlot& s) { return !s.file; });
    if (free == slots.end()) return Report(msg::kMaximumExceeded);
    if (OpenText(*free, S(a, 0), access, true)) r.SetReal(double(free - slots.begin() + 1));
}

ROUTINE(file_text_open_read) {
    OpenTextSlot(a, r, Access::Read);
}
ROUTINE(file_text_open_write) {
    OpenTextSlot(a, r, Access::Write);
}
ROUTINE(file_text_open_append) {
    OpenTextSlot(a, r, Access::Append);
}

ROUTINE(file_text_close) {
    TextSlot* s = TextSlotArg(a, 0);
    if (!s) return Report(msg::kCloseUnexistingText);
    if (!s->file) return;
    const bool ok = std::fclose(s->file) == 0;
    *s = TextSlot{};
    if (!ok) Report(msg::kErrorClosing);
}

ROUTINE(file_text_eof) {
    if (TextSlot* s = Reading(a, msg::kIsNotOpenedForReading)) r.SetReal(Peek(s->file) == EOF ? 1 : 0);
}
ROUTINE(file_text_eoln) {
    if (TextSlot* s = Reading(a, msg::kIsNotOpenedForReading)) r.SetReal(AtLineEnd(Peek(s->file)) ? 1 : 0);
}
ROUTINE(file_text_read_string) {
    TextSlot* s = Reading(a, msg::kIsNotOpenedForReading);
    if (!s) return;
    r.SetString(ReadLineText(s->file));
    if (std::ferror(s->file)) Report(msg::kErrorReadingString);
}
ROUTINE(file_text_read_real) {
    TextSlot* s = Reading(a, msg::kIsNotOpenedForReading);
    if (!s) return;
    r.SetReal(ReadSlotReal(s->file));
    if (std::ferror(s->file)) Report(msg::kErrorReadingReal);
}
ROUTINE(file_text_readln) {
    TextSlot* s = Reading(a, msg::kIsNotOpenedForReading);
    if (!s) return;
    SkipLine(s->file);
    if (std::ferror(s->file)) Report(msg::kErrorReadingLine);
}

// ---- Text files: writing ----

void Put(FILE* f, std::string_view text) {
    (void)std::fwrite(text.data(), 1, text.size(), f);
    (void)std::fflush(f);
}

ROUTINE(file_text_write_string) {
    if (TextSlot* s = Writing(a)) Put(s->file, a[1].IsString() ? a[1].str() : std::string_view());
}
ROUTINE(file_text_write_real) {
    if (TextSlot* s = Writing(a)) Put(s->file, FormatFileReal(a[1].val()));
}
ROUTINE(file_text_writeln) {
    if (TextSlot* s = Writing(a)) Put(s->file, "\r\n");
}

// ---- The single file ----

void OpenSingle(Args a, Access access) {
    TextSlot& s = State().single;
    Close(s.file);
    s = TextSlot{};
    (void)OpenText(s, S(a, 0), access, true);
}

ROUTINE(file_open_read) {
    OpenSingle(a, Access::Read);
}
ROUTINE(file_open_write) {
    OpenSingle(a, Access::Write);
}
ROUTINE(file_open_append) {
    OpenSingle(a, Access::Append);
}
ROUTINE(file_close) {
    TextSlot& s = State().single;
    if (!s.file) return;
    const bool ok = std::fclose(s.file) == 0;
    s = TextSlot{};
    if (!ok) Report(msg::kErrorClosing);
}

FILE* SingleReading(const char* message) {
    TextSlot& s = State().single;
    if (s.mode != kReading) {
        Report(message);
        return nullptr;
    }
    return s.file;
}
FILE* SingleWriting() {
    TextSlot& s = State().single;
    if (s.mode != kWriting) {
        Report(msg::kNotOpenedForWriting);
        return nullptr;
    }
    return s.file;
}

ROUTINE(file_eof) {
    if (FILE* f = SingleReading(msg::kIsNotOpenedForReading)) r.SetReal(Peek(f) == EOF ? 1 : 0);
}
ROUTINE(file_eoln) {
    if (FILE* f = SingleReading(msg::kIsNotOpenedForReading)) r.SetReal(AtLineEnd(Peek(f)) ? 1 : 0);
}
ROUTINE(file_read_string) {
    FILE* f = SingleReading(msg::kNotOpenedForReading);
    if (!f) return;
    r.SetString(ReadLineText(f));
    if (std::ferror(f)) Report(msg::kErrorReadingString);
}
ROUTINE(file_readln) {
    FILE* f = SingleReading(msg::kNotOpenedForReading);
    if (!f) return;
    SkipLine(f);
    if (std::ferror(f)) Report(msg::kErrorReadingLine);
}
ROUTINE(file_read_real) {
    FILE* f = SingleReading(msg::kNotOpenedForReading);
    if (!f) return;
    r.SetReal(ReadSingleReal(f));
    if (std::ferror(f)) Report(msg::kErrorReadingReal);
}
ROUTINE(file_write_real) {
    if (FILE* f = SingleWriting()) Put(f, FormatFileReal(a[0].val()));
}
ROUTINE(file_write_string) {
    if (FILE* f = SingleWriting()) Put(f, a[0].IsString() ? a[0].str() : std::string_view());
}
ROUTINE(file_writeln) {
    if (FILE* f = SingleWriting()) Put(f, "\r\n");
}

// ---- Files and folders ----

bool IsRegular(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

ROUTINE(file_exists) {
    r.SetReal(IsRegular(QueryPath(S(a, 0))) ? 1 : 0);
}

ROUTINE(directory_exists) {
    const std::string path = QueryPath(S(a, 0));
    std::error_code ec;
    r.SetReal(!path.empty() && fs::is_directory(path, ec) ? 1 : 0);
}

// Both names of a two-name operation, or false after the refusal.
bool TwoPaths(const std::string& from, const std::string& to, const std::string& refusal, std::string& a,
              std::string& b) {
    if (SecureMode() && (IsPathName(from) || IsPathName(to))) {
        Report(refusal);
        return false;
    }
    const ResolvedFile f = ResolveFile(from), t = ResolveFile(to);
    if (!f.allowed || !t.allowed) {
        Report(refusal);
        return false;
    }
    a = f.path;
    b = t.path;
    return true;
}

ROUTINE(file_delete) {
    const std::string name = S(a, 0);
    if (SecureMode() && IsPathName(name)) return Report(msg::kSecureDeleteFile, name);
    const ResolvedFile file = ResolveFile(name);
    if (!file.allowed) return Report(msg::kSecureDeleteFile, name);
    if (IsRegular(file.path)) (void)::unlink(file.path.c_str());
}

ROUTINE(file_rename) {
    const std::string from = S(a, 0), to = S(a, 1);
    std::string f, t;
    if (!TwoPaths(from, to, msg::kSecureRenameFile + from + " into " + to, f, t)) return;
    // As on the system games were made for, an existing file is never replaced by a rename.
    struct stat st;
    if (!IsRegular(f) || ::lstat(t.c_str(), &st) == 0) return;
    (void)::rename(f.c_str(), t.c_str());
}

ROUTINE(file_copy) {
    const std::string from = S(a, 0), to = S(a, 1);
    std::string f, t;
    if (!TwoPaths(from, to, msg::kSecureCopyFile + from + " to " + to, f, t)) return;
    if (!IsRegular(f) || f == t) return;
    FILE* in = OpenRegular(f, O_RDONLY, "rb", false);
    if (!in) return;
    std::string bytes;
    char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) bytes.append(buffer, n);
    const bool ok = !std::ferror(in);
    std::fclose(in);
    // Whole or not at all: a failed copy leaves the old target.
    if (ok) (void)WriteFileAtomically(t, bytes);
}

ROUTINE(directory_create) {
    const std::string name = S(a, 0);
    if (SecureMode() && IsPathName(name)) return Report(msg::kSecureCreateDirectory, name);
    const ResolvedFile dir = ResolveFile(name);
    if (!dir.allowed) return Report(msg::kSecureCreateDirectory, name);
    std::error_code ec;
    fs::create_directories(dir.path, ec);
}

// ---- Searches ----

ROUTINE(file_find_first) {
    FileState& state = State();
    state.found.clear();
    state.next_found = 0;
    state.searching = true;
    r.SetString("");
    const std::string mask = S(a, 0);
    const int32_t wanted = I(a, 1);
    const size_t cut = mask.find_last_of("\\/:");
    const std::string folder = cut == std::string::npos ? std::string(".") : mask.substr(0, cut + 1);
    const std::string pattern = cut == std::string::npos ? mask : mask.substr(cut + 1);
    const ResolvedFile where = ResolveFile(folder);
    if (!where.allowed) return;
    DIR* dir = ::opendir(where.path.c_str());
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || !MatchFileMask(pattern, name)) continue;
        const int32_t attributes = FileAttributesOf(where.path + "/" + name);
        if (attributes < 0) continue;
        // Plain files always come; hidden ones and folders only when asked for.
        if (attributes & (kFaHidden | kFaSysFile | kFaDirectory) & ~wanted) continue;
        state.found.push_back(name);
    }
    ::closedir(dir);
    std::sort(state.found.begin(), state.found.end());
    if (!state.found.empty()) r.SetString(state.found[state.next_found++]);
}

ROUTINE(file_find_next) {
    FileState& state = State();
    r.SetString("");
    if (state.searching && state.next_found < state.found.size())
        r.SetString(state.found[state.next_found++]);
}

ROUTINE(file_find_close) {
    State().found.clear();
    State().next_found = 0;
    State().searching = false;
}

ROUTINE(file_attributes) {
    const std::string path = QueryPath(S(a, 0));
    const int32_t attributes = path.empty() ? -1 : FileAttributesOf(path);
    r.SetReal(attributes < 0 ? -1 : (attributes & I(a, 1)) ? 1 : 0);
}

// ---- Names ----

ROUTINE(filename_dir) {
    r.SetString(FilenameDir(a[0].str()));
}
ROUTINE(filename_drive) {
    r.SetString(FilenameDrive(a[0].str()));
}
ROUTINE(filename_ext) {
    r.SetString(FilenameExt(a[0].str()));
}
ROUTINE(filename_name) {
    r.SetString(FilenameName(a[0].str()));
}
ROUTINE(filename_path) {
    r.SetString(FilenamePath(a[0].str()));
}
ROUTINE(filename_change_ext) {
    r.SetString(FilenameChangeExt(a[0].str(), a[1].str()));
}

// ---- Disks ----

// This system has no drive letters: the working folder's file system is drive C, the one
// games take for granted; other letters cannot be queried.
void DiskQuery(int32_t argc, Args a, RValue& r, bool free) {
    r.SetReal(-1);
    if (argc >= 1 && a[0].IsString() && !a[0].str().empty()) {
        const char letter = a[0].str()[0];
        if (letter != 'c' && letter != 'C') return;
    }
    struct statvfs info;
    if (::statvfs(".", &info) != 0) return;
    const double unit = double(info.f_frsize);
    r.SetReal(free ? double(info.f_bavail) * unit : double(info.f_blocks) * unit);
}

ROUTINE(disk_free) {
    DiskQuery(argc, a, r, true);
}
ROUTINE(disk_size) {
    DiskQuery(argc, a, r, false);
}

// ---- Programs ----

void ReapChildren() {
    auto& children = State().children;
    std::erase_if(children, [](pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) != 0; });
}

// Starts argv[0] with the arguments (never through a shell); the process id, or -1.
pid_t Spawn(const std::vector<std::string>& words, bool search) {
    std::vector<char*> argv;
    for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int error = search ? ::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ)
                             : ::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
    return error == 0 ? pid : -1;
}

void WaitOrKeep(pid_t pid, bool wait) {
    if (!wait) {
        State().children.push_back(pid);
        return;
    }
    const timespec pause{0, 50'000'000};
    while (::waitpid(pid, nullptr, WNOHANG) == 0) ::nanosleep(&pause, nullptr);
}

ROUTINE(execute_program) {
    const std::string program = S(a, 0);
    if (SecureMode()) return Report(msg::kSecureExecute, program);
    ReapChildren();
    std::vector<std::string> words = SplitCommandLine(a[1].str());
    // A bare name is the working folder's program when there is one, else one on the path.
    const ResolvedFile file = ResolveFile(program);
    const bool local = IsPathName(program) || ::access(file.path.c_str(), X_OK) == 0;
    words.insert(words.begin(), local ? file.path : program);
    const pid_t pid = program.empty() ? -1 : Spawn(words, !local);
    if (pid < 0) return Report(msg::kCannotExecute, program);
    WaitOrKeep(pid, a[2].val() >= 0.5);
}

ROUTINE(execute_shell) {
    const std::string document = S(a, 0);
    if (SecureMode()) return Report(msg::kSecureExecute, document);
    ReapChildren();
    // The desktop's opener takes one document; a web address or other name passes as it is.
    const ResolvedFile file = ResolveFile(document);
    struct stat st;
    const std::string target = ::stat(file.path.c_str(), &st) == 0 ? file.path : document;
    const pid_t pid =
        document.empty() ? -1 : Spawn({g_opener, target}, g_opener.find('/') == std::string::npos);
    if (pid < 0) return Report(msg::kCannotExecute, document);
    WaitOrKeep(pid, false);
}

} // namespace

bool OpenWithDesktop(const std::string& address) {
    ReapChildren();
    const pid_t pid = address.empty() ? -1 : Spawn({g_opener, address}, g_opener.find('/') == std::string::npos);
    if (pid < 0) return false;
    WaitOrKeep(pid, false);
    return true;
}

namespace {

// ---- Command line and environment ----

ROUTINE(parameter_count) {
    r.SetReal(double(g_parameters.size()));
}
ROUTINE(parameter_string) {
    const int32_t n = I(a, 0);
    if (n == 0)
        r.SetString(g_executable);
    else if (n >= 1 && size_t(n) <= g_parameters.size())
        r.SetString(g_parameters[size_t(n - 1)]);
    else
        r.SetString("");
}
ROUTINE(environment_get_variable) {
    const char* value = std::getenv(S(a, 0).c_str());
    r.SetString(value ? value : "");
}

constexpr RFunctionSpec kFunctions[] = {
    {"file_bin_open", file_bin_open, 2},
    {"file_bin_rewrite", file_bin_rewrite, 1},
    {"file_bin_close", file_bin_close, 1},
    {"file_bin_size", file_bin_size, 1},
    {"file_bin_position", file_bin_position, 1},
    {"file_bin_seek", file_bin_seek, 2},
    {"file_bin_read_byte", file_bin_read_byte, 1},
    {"file_bin_write_byte", file_bin_write_byte, 2},
    {"file_text_open_read", file_text_open_read, 1},
    {"file_text_open_write", file_text_open_write, 1},
    {"file_text_open_append", file_text_open_append, 1},
    {"file_text_close", file_text_close, 1},
    {"file_text_eof", file_text_eof, 1},
    {"file_text_eoln", file_text_eoln, 1},
    {"file_text_read_string", file_text_read_string, 1},
    {"file_text_read_real", file_text_read_real, 1},
    {"file_text_readln", file_text_readln, 1},
    {"file_text_write_string", file_text_write_string, 2},
    {"file_text_write_real", file_text_write_real, 2},
    {"file_text_writeln", file_text_writeln, 1},
    {"file_open_read", file_open_read, 1},
    {"file_open_append", file_open_append, 1},
    {"file_open_write", file_open_write, 1},
    {"file_close", file_close, 0},
    {"file_eof", file_eof, 0},
    {"file_eoln", file_eoln, 0},
    {"file_read_string", file_read_string, 0},
    {"file_readln", file_readln, 0},
    {"file_read_real", file_read_real, 0},
    {"file_write_real", file_write_real, 1},
    {"file_write_string", file_write_string, 1},
    {"file_writeln", file_writeln, 0},
    {"file_exists", file_exists, 1},
    {"file_delete", file_delete, 1},
    {"file_rename", file_rename, 2},
    {"file_copy", file_copy, 2},
    {"directory_exists", directory_exists, 1},
    {"directory_create", directory_create, 1},
    {"file_find_first", file_find_first, 2},
    {"file_find_next", file_find_next, 0},
    {"file_find_close", file_find_close, 0},
    {"file_attributes", file_attributes, 2},
    {"filename_dir", filename_dir, 1},
    {"filename_drive", filename_drive, 1},
    {"filename_ext", filename_ext, 1},
    {"filename_name", filename_name, 1},
    {"filename_path", filename_path, 1},
    {"filename_change_ext", filename_change_ext, 2},
    {"disk_free", disk_free, -1},
    {"disk_size", disk_size, -1},
    {"execute_program", execute_program, 3},
    {"execute_shell", execute_shell, 2},
    {"parameter_count", parameter_count, 0},
    {"parameter_string", parameter_string, 1},
    {"environment_get_variable", environment_get_variable, 1},
};

} // namespace

std::span<const RFunctionSpec> FileFunctions() {
    return kFunctions;
}

void ResetFileState() {
    FileState& state = State();
    for (BinarySlot& s : state.binary) Close(s.file), s = BinarySlot{};
    for (TextSlot& s : state.text) Close(s.file), s = TextSlot{};
    Close(state.single.file);
    state.single = TextSlot{};
    state.found.clear();
    state.next_found = 0;
    state.searching = false;
    ReapChildren();
}

void SetGameParameters(std::string executable, std::vector<std::string> parameters) {
    g_executable = std::move(executable);
    g_parameters = std::move(parameters);
}

void SetShellOpener(std::string program) {
    g_opener = program.empty() ? std::string("xdg-open") : std::move(program);
}

std::string FormatFileReal(double value) {
    std::string out = " ";
    if (value < 0) out += '-';
    const double magnitude = std::fabs(value);
    const double whole = std::trunc(magnitude);
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.0f", whole);
    out += buffer;
    if (std::isfinite(magnitude)) {
        // The exact product truncated: 0.3 is a little less than three tenths, so it gives
        // 299999 even though the rounded product is 300000.
        const double fraction = magnitude - whole;
        double product = fraction * 1e6;
        if (product == std::trunc(product) && std::fma(fraction, 1e6, -product) < 0) product -= 1;
        const auto millionths = static_cast<int64_t>(product);
        if (millionths != 0) {
            std::snprintf(buffer, sizeof buffer, ".%06lld", static_cast<long long>(millionths));
            out += buffer;
        }
    }
    return out;
}

std::vector<std::string> SplitCommandLine(std::string_view text) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
        if (i >= text.size()) break;
        std::string word;
        bool quoted = false;
        while (i < text.size() && (quoted || (text[i] != ' ' && text[i] != '\t'))) {
            if (text[i] == '\\') {
                size_t n = 0;
                while (i < text.size() && text[i] == '\\') ++n, ++i;
                if (i < text.size() && text[i] == '"') {
                    word.append(n / 2, '\\');
                    if (n % 2) {
                        word += '"';
                        ++i;
                    }
                } else {
                    word.append(n, '\\');
                }
            } else if (text[i] == '"') {
                quoted = !quoted;
                ++i;
            } else {
                word += text[i++];
            }
        }
        words.push_back(std::move(word));
    }
    return words;
}

} // namespace kestrin
