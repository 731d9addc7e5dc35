#include "platform/sdl/sdl_audio.h"

#include <SDL.h>
#include <dlfcn.h>

#include "sound/mixer.h"
#include "sound/sound_system.h"

namespace kestrin {

namespace {

// On SDL's audio thread. The mixer's lock is held only while mixing; decoding happens on
// the game's thread before a sound reaches the mixer.
void Pull(void*, Uint8* stream, int length) {
    const size_t frames = static_cast<size_t>(length) / (sizeof(float) * kMixChannels);
    SND_DeviceRender(reinterpret_cast<float*>(stream), frames);
}

// ALSA's library prints its own complaints to standard error when a machine has no sound
// card, before SDL can answer that there is no device. SDL loads the library at run time;
// loaded first, with its error printer replaced, it stays quiet and SDL still gets the answer.
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

void QuietAlsa() {
    static bool done = false;
    if (done) return;
    done = true;
    void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_GLOBAL);
    if (!alsa) return;
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    using SetHandler = int (*)(Handler);
    if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler")))
        set(IgnoreAlsaError);
    // Kept loaded for the process: SDL's own handle refers to the same library.
}

} // namespace

std::unique_ptr<SdlAudio> SdlAudio::Open(std::string& error) {
    QuietAlsa();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        error = SDL_GetError();
        return nullptr;
    }
    SDL_AudioSpec want{};
    want.freq = kMixRate;
    want.format = AUDIO_F32SYS;
    want.channels = kMixChannels;
    want.samples = 1024;
    want.callback = Pull;
    SDL_AudioSpec have{};
    // SDL converts to whatever the hardware takes.
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) {
        error = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    SND_AttachDevice(true);
    SDL_PauseAudioDevice(device, 0);
    return std::unique_ptr<SdlAudio>(new SdlAudio(device));
}

SdlAudio::~SdlAudio() {
    SDL_CloseAudioDevice(device_);
    SND_AttachDevice(false);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

} // namespace kestrin
