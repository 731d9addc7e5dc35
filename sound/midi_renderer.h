#pragma once
// Standard MIDI files rendered into the mixer's format by a software synthesiser with a
// General MIDI SoundFont (the Debian package's, or the file KESTRIN_SOUNDFONT names).

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "sound/mixer.h"

namespace kestrin {

// True when the bytes start as a standard MIDI file does.
bool LooksLikeMidi(std::span<const uint8_t> bytes);

// The whole piece with its last notes' release, played `tempo` times as fast as written
// (within [0.01, 100]), or none (`error` says why): bytes that are no MIDI file, or no
// SoundFont found. The result keeps the file, so it can be rendered again at another tempo.
std::shared_ptr<const PcmBuffer> RenderMidi(std::span<const uint8_t> bytes, std::string* error = nullptr,
                                            double tempo = 1);

// The SoundFont used, or empty when there is none.
std::string MidiSoundFont();

} // namespace kestrin
