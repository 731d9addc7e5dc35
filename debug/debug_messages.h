#pragma once
// Texts of the debug window: captions, prompts and the values it shows for failures.

namespace kestrin::msg {

inline constexpr const char* kDebugCaption = "Debug Information";
inline constexpr const char* kGlobalCaption = "Global Variables";
inline constexpr const char* kInstancesCaption = "All Instances";
inline constexpr const char* kMessagesCaption = "Messages";
inline constexpr const char* kLocalCaption = "Local Variables for ";
inline constexpr const char* kHeaderExpression = "Expression";
inline constexpr const char* kHeaderValue = "Value";

inline constexpr const char* kWatchAskCaption = "Provide an expression.";
inline constexpr const char* kWatchAskPrompt = "Please type in the expression";
inline constexpr const char* kExecuteAskCaption = "Execute some code.";
inline constexpr const char* kExecuteAskPrompt = "Please type in the code";
inline constexpr const char* kSpeedAskCaption = "Changing Game Speed.";
inline constexpr const char* kSpeedAskPrompt = "Please provide the new speed";
inline constexpr const char* kLocalAskCaption = "Showing Local Variables.";
inline constexpr const char* kLocalAskPrompt = "Please provide the instance id or object name.";

inline constexpr const char* kCompileError = "COMPILE ERROR";
inline constexpr const char* kRunError = "ERROR";
inline constexpr const char* kNoSuchInstance = "NO SUCH INSTANCE EXISTS";
inline constexpr const char* kInstancesHeader =
    "   Id     Object Name    Sprite Name\r\n____________________________________\r\n";

inline constexpr const char* kFpsSuffix = " fps";
inline constexpr const char* kInstSuffix = " inst";
inline constexpr const char* kMouseIdPrefix = "mouse id: ";

inline constexpr const char* kSaveFilter = "Text Files|*.txt|All Files|*.*";

// The scripted mode (a command file driving the window).
inline constexpr const char* kDebugCommandsUnreadable = "Cannot read the debug command file: ";
inline constexpr const char* kDebugCommandsTooLarge = "The debug command file is larger than 1 MiB: ";
inline constexpr const char* kDebugCommandUnknown = "unknown command";
inline constexpr const char* kDebugCommandNeedsCount = "needs a count from 1 to 1000000000";
inline constexpr const char* kDebugCommandNeedsText = "needs a text after the command";
inline constexpr const char* kDebugCommandNeedsRow = "needs a watch row from 1";
inline constexpr const char* kDebugCommandUnknownWindow =
    "needs a window: status, watches, globals, instances, messages or local N";
inline constexpr const char* kDebugCommandNotEnabled = "not available now: ";
inline constexpr const char* kDebugCommandNoLocal = "no local-variables window with that number";
inline constexpr const char* kDebugCommandFileFailed = "cannot use the file ";

} // namespace kestrin::msg
