#pragma once
// Every message the start-up and loading code shows to a player, in one place so that tests
// can assert the exact text.

namespace kestrin::msg {

inline constexpr const char* kTempDirFailed =
    "Failed to create temp dir. This can cause serious problems with sounds, etc.";
inline constexpr const char* kCannotReadGameFile = "Error: Cannot read the game file.";
inline constexpr const char* kLoadCorrupted = "Failed to load the game data. File seems corrupted.";
inline constexpr const char* kNotValidGameFile = "Error: Not a valid game file.";
inline constexpr const char* kWrongVersion = "Error: Wrong version number.";
inline constexpr const char* kResourceData = "Error: Error in resource data.";
inline constexpr const char* kExtensionPackages = "Error in loading extension packages.";
inline constexpr const char* kLibraryInit = "Error: Failed to initialize D3DX.";
inline constexpr const char* kUnexpectedRun = "Unexpected error occured when running the game.";
inline constexpr const char* kColourModeQuestion =
    "This application requires 16-bit or 32-bit color mode. Should I switch to a valid color mode?";

inline constexpr const char* kPrepareIncludedFiles = "Failed to extract the included files.";
inline constexpr const char* kPrepareExtensions = "Failed to prepare extension packages.";
inline constexpr const char* kPrepareConstants = "Failed to define the constants.";
inline constexpr const char* kPrepareTriggers = "Failed to prepare triggers.";
inline constexpr const char* kPrepareScripts = "Failed to compile the scripts.";
inline constexpr const char* kPrepareTimeLines = "Failed to compile the actions in the time lines.";
inline constexpr const char* kPrepareObjects = "Failed to compile the actions in the objects.";
inline constexpr const char* kPrepareSounds = "Failed to prepare the sounds.";

// Included-file built-ins and export.
inline constexpr const char* kSecureExportTo = "In secure mode you cannot export a data file to ";
inline constexpr const char* kSecureExportDir =
    "In secure mode you cannot export a data file to an indicated directory.";
inline constexpr const char* kSecureExportLocation = "In secure mode you cannot export a file to a location.";
inline constexpr const char* kExportMissing = "Trying to export non-existing file.";
inline constexpr const char* kDiscardMissing = "Trying to discard non-existing file.";

} // namespace kestrin::msg

// Objects, instances and rooms.
namespace kestrin::msg {

inline constexpr const char* kMissingActionFunction = "Failed to locate action function ";
inline constexpr const char* kCodeActionCompile = "COMPILATION ERROR in code action\r";
inline constexpr const char* kArgumentCompile = "COMPILATION ERROR in argument ";
inline constexpr const char* kCreateMissingObject = "Creating instance for non-existing object: ";
inline constexpr const char* kChangeMissingObject = "Asking to change into non-existing object: ";
inline constexpr const char* kOutOfInstanceIds = "Cannot create an instance: all instance ids are in use.";
inline constexpr const char* kCreationCodeCompile = "COMPILATION ERROR in creation code for instance ";
inline constexpr const char* kCreationCodeRun = "EXECUTION ERROR in creation code for instance ";
inline constexpr const char* kInRoom = " in room ";
inline constexpr const char* kRoomCodeCompile = "COMPILATION ERROR in creation code of room ";
inline constexpr const char* kRoomCodeRun = "EXECUTION ERROR in creation code of room ";
inline constexpr const char* kLibraryInitCompile = "COMPILATION ERROR in library initialization code\r";
inline constexpr const char* kUnexistingRoom = "Unexisting room number: ";
inline constexpr const char* kPreviousBeforeFirst = "Moving to previous room before the first room.";
inline constexpr const char* kNextAfterLast = "Moving to next room after the last room.";
inline constexpr const char* kUndefinedName = "<undefined>";
inline constexpr const char* kParentMissing = "Setting a non-existing parent.";
inline constexpr const char* kParentCycle = "Creating a cycle in the parent relation.";
inline constexpr const char* kObjectDeleteMissing = "Trying to delete non-existing object.";
inline constexpr const char* kRoomDuplicateMissing = "Trying to duplicate non-existing room.";
inline constexpr const char* kRoomAssignFailed = "Error assigning a room.";
inline constexpr const char* kTileNoBackground = "Background does not exist.";

} // namespace kestrin::msg
