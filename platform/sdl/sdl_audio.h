#pragma once
// The SDL audio device: 44,100 Hz float stereo, its callback taking the mix from the sound
// system. Without a device the game plays on silently.

#include <cstdint>
#include <memory>
#include <string>

namespace kestrin {

class SdlAudio {
public:
    // Null, with `error` saying why, when no device opens.
    static std::unique_ptr<SdlAudio> Open(std::string& error);
    ~SdlAudio();
    SdlAudio(const SdlAudio&) = delete;
    SdlAudio& operator=(const SdlAudio&) = delete;

private:
    explicit SdlAudio(uint32_t device) : device_(device) {}
    uint32_t device_;
};

} // namespace kestrin
