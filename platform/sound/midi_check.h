// A structural check of Standard MIDI File bytes. The MIDI synthesizer
// accepts any file at load time and only fails while playing (repeatedly,
// when the song is set to repeat), so a soundtrack file that claims to be
// MIDI is walked here first, every length bounds-checked.
#pragma once

#include <cstddef>
#include <cstdint>

namespace halvex::platform {

// True when `bytes` is a Standard MIDI File whose header is sane and whose
// tracks (at least as many as the header counts) parse event by event.
bool IsPlayableMidi(const uint8_t* bytes, size_t size);

}  // namespace halvex::platform
