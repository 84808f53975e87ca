// Helpers for the audio tests: files made at run time (WAV tones, a tiny
// MIDI song) and measurements of what SDL's disk audio driver wrote.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace halvex::test {

// A fresh, empty folder under the system temp folder for one test.
std::filesystem::path MakeTestFolder(const std::string& name);

// Mono 16-bit 44.1 kHz WAV: `toneMs` of a sine at `hz` with peak `amplitude`
// (0..1), then `silenceMs` of silence.
void WriteToneWav(const std::filesystem::path& path, double hz, double amplitude, int toneMs,
                  int silenceMs);

// Format 0 MIDI file: one organ note held for `noteMs`, then the end.
std::string OrganMidiBytes(int noteMs);
void WriteOrganMidi(const std::filesystem::path& path, int noteMs);

// Sends SDL's audio output to `rawFile`, at `delayMs` of wall time per
// mixer buffer (23 is real time for the device's 1024-sample buffers).
void UseDiskAudio(const std::filesystem::path& rawFile, int delayMs);

// Waits (up to 20 s) until the driver has written `ms` more milliseconds of
// 16-bit stereo output, so that a silence check has output to look at.
bool WaitForMoreOutput(const std::filesystem::path& rawFile, int ms);

// The first channel of a 16-bit interleaved raw file.
std::vector<int16_t> ReadFirstChannel(const std::filesystem::path& rawFile, int channels);

struct Burst {
  size_t begin = 0;  // first loud sample
  size_t end = 0;    // one past the last loud sample
};
// Stretches of sound separated by at least `minSilence` quiet samples.
std::vector<Burst> FindBursts(const std::vector<int16_t>& samples, int threshold,
                              size_t minSilence);
// Counts of bursts in groups separated by at least `groupGap` samples.
std::vector<int> GroupBursts(const std::vector<Burst>& bursts, size_t groupGap);
// Root mean square over [begin, end).
double Rms(const std::vector<int16_t>& samples, size_t begin, size_t end);
// The longest run of quiet samples inside [begin, end).
size_t LongestQuietRun(const std::vector<int16_t>& samples, size_t begin, size_t end,
                       int threshold);

// Lines of text that begin with prefix (the libraries print lines of their
// own on stderr).
int CountLines(const std::string& text, const std::string& prefix);

// Polls `done` every millisecond for up to `timeoutMs`; true when it held.
template <typename F>
bool WaitFor(F done, int timeoutMs);

}  // namespace halvex::test

#include <chrono>
#include <thread>

template <typename F>
bool halvex::test::WaitFor(F done, int timeoutMs) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}
