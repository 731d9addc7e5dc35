#pragma once
// The messages of the file, INI and registry built-ins, in one place so that tests can
// assert the exact text.

namespace kestrin::msg {

inline constexpr const char* kFileNotOpened = "File is not opened.";
inline constexpr const char* kMaximumExceeded = "Cannot open another file (maximum exceeded).";
inline constexpr const char* kErrorOpeningBinary = "Error opening binary file.";
inline constexpr const char* kRewriteUnopened = "Trying to rewrite unopened file.";
inline constexpr const char* kErrorRewriting = "Error rewriting file.";
inline constexpr const char* kCloseUnopened = "Trying to close unopened file.";
inline constexpr const char* kErrorFileSize = "Error retrieving file size.";
inline constexpr const char* kErrorSeeking = "Error seeking.";
inline constexpr const char* kErrorReadingByte = "Error reading byte.";
inline constexpr const char* kErrorWritingByte = "Error writing byte.";

inline constexpr const char* kErrorOpeningRead = "Error opening file for reading.";
inline constexpr const char* kErrorOpeningWrite = "Error opening file for writing.";
inline constexpr const char* kErrorOpeningAppend = "Error opening file for appending.";
inline constexpr const char* kCloseUnexistingText = "Trying to close unexisting text file.";
inline constexpr const char* kErrorClosing = "Error closing file.";
inline constexpr const char* kIsNotOpenedForReading = "File is not opened for reading.";
inline constexpr const char* kNotOpenedForReading = "File not opened for reading.";
inline constexpr const char* kNotOpenedForWriting = "File not opened for writing.";
inline constexpr const char* kErrorReadingString = "Error reading string.";
inline constexpr const char* kErrorReadingReal = "Error reading real.";
inline constexpr const char* kErrorReadingLine = "Error reading line.";

inline constexpr const char* kSecureWriteFile = "In secure mode you cannot write file ";
inline constexpr const char* kSecureAppendFile = "In secure mode you cannot append to file ";
// Reading outside the allowed folders; the prefix is the one every secure-mode refusal has.
inline constexpr const char* kSecureReadFile = "In secure mode you cannot read file ";
inline constexpr const char* kSecureDeleteFile = "In Secure mode you cannot delete file ";
inline constexpr const char* kSecureRenameFile = "In Secure mode you cannot rename file ";
inline constexpr const char* kSecureCopyFile = "In Secure mode you cannot copy file ";
inline constexpr const char* kSecureCreateDirectory = "In Secure mode you cannot create directory ";
inline constexpr const char* kSecureExecute = "In Secure mode you cannot execute program ";
inline constexpr const char* kCannotExecute = "Cannot execute ";
inline constexpr const char* kSecureRegistry = "In Secure mode you cannot write registry entries in ";

inline constexpr const char* kIniDirectoryMissing = "Error directory does not exist when opening ini file - ";
inline constexpr const char* kIniUndefinedRead = "Trying to read from undefined INI file";
inline constexpr const char* kIniUndefinedWrite = "Trying to write to undefined INI file";
inline constexpr const char* kIniUndefinedChange = "Trying to change undefined INI file";

} // namespace kestrin::msg
