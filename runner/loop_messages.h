#pragma once
// Messages of running a game: replays, recordings and the run options.

namespace kestrin::msg {

inline constexpr const char* kReplayUnreadable = "Cannot read the input recording: ";
inline constexpr const char* kReplayDiffers = "Replay differs from the recording at step ";
inline constexpr const char* kAnswersUnreadable = "Cannot read the answers file: ";
inline constexpr const char* kRecordUnwritable = "Cannot write the input recording: ";
inline constexpr const char* kAudioOutUnwritable = "Cannot write the audio file: ";
inline constexpr const char* kScreenshotFailed = "Cannot write the screenshot: ";
inline constexpr const char* kRoomSpeedNotPositive = "Trying to set the room speed to a value <= 0.";

} // namespace kestrin::msg
