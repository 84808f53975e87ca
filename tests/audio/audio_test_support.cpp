#include "tests/audio/audio_test_support.h"

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <numbers>
#include <stdexcept>

namespace halvex::test {
namespace {

constexpr int kRate = 44100;

void Put16(std::string& out, uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void PutBig32(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((v >> shift) & 0xFF));
}
void PutBytes(std::string& out, std::initializer_list<int> bytes) {
  for (int b : bytes) out.push_back(static_cast<char>(b));
}
void PutVarLen(std::string& out, uint32_t v) {
  char bytes[4];
  int n = 0;
  bytes[n++] = static_cast<char>(v & 0x7F);
  while ((v >>= 7) != 0) bytes[n++] = static_cast<char>((v & 0x7F) | 0x80);
  while (n > 0) out.push_back(bytes[--n]);
}
void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!f) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

std::filesystem::path MakeTestFolder(const std::string& name) {
  auto dir = std::filesystem::temp_directory_path() /
             ("halvex-audio-" + name + "-" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

void WriteToneWav(const std::filesystem::path& path, double hz, double amplitude, int toneMs,
                  int silenceMs) {
  const uint32_t toneSamples = static_cast<uint32_t>(kRate * toneMs / 1000);
  const uint32_t total = toneSamples + static_cast<uint32_t>(kRate * silenceMs / 1000);
  std::string out = "RIFF";
  Put32(out, 36 + total * 2);
  out += "WAVEfmt ";
  Put32(out, 16);
  Put16(out, 1);  // PCM
  Put16(out, 1);  // mono
  Put32(out, kRate);
  Put32(out, kRate * 2);
  Put16(out, 2);
  Put16(out, 16);
  out += "data";
  Put32(out, total * 2);
  for (uint32_t i = 0; i < total; ++i) {
    double v = 0.0;
    if (i < toneSamples) v = amplitude * std::sin(2.0 * std::numbers::pi * hz * i / kRate);
    Put16(out, static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 32767.0))));
  }
  WriteFile(path, out);
}

std::string OrganMidiBytes(int noteMs) {
  // 480 ticks per quarter at the default 120 beats per minute: 960 per second.
  const uint32_t noteTicks = static_cast<uint32_t>(noteMs) * 960 / 1000;
  std::string track;
  PutBytes(track, {0x00, 0xC0, 16});         // program: drawbar organ
  PutBytes(track, {0x00, 0xB0, 7, 127});     // channel volume full
  PutBytes(track, {0x00, 0xB0, 91, 0});      // no reverb and no chorus: the
  PutBytes(track, {0x00, 0xB0, 93, 0});      // file ends when the note does
  PutBytes(track, {0x00, 0x90, 60, 110});    // note on, middle C
  PutVarLen(track, noteTicks);
  PutBytes(track, {0x80, 60, 0});            // note off
  PutBytes(track, {0x00, 0xFF, 0x2F, 0x00});  // end of track
  std::string out = "MThd";
  PutBig32(out, 6);
  PutBytes(out, {0, 0, 0, 1, 0x01, 0xE0});  // format 0, one track, 480 ticks
  out += "MTrk";
  PutBig32(out, static_cast<uint32_t>(track.size()));
  out += track;
  return out;
}

void WriteOrganMidi(const std::filesystem::path& path, int noteMs) {
  WriteFile(path, OrganMidiBytes(noteMs));
}

void UseDiskAudio(const std::filesystem::path& rawFile, int delayMs) {
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", rawFile.c_str(), 1);
  setenv("SDL_DISKAUDIODELAY", std::to_string(delayMs).c_str(), 1);
}

bool WaitForMoreOutput(const std::filesystem::path& rawFile, int ms) {
  auto size = [&] {
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(rawFile, ec);
    return ec ? 0u : static_cast<uintmax_t>(bytes);
  };
  const uintmax_t target = size() + static_cast<uintmax_t>(kRate) * 4 * ms / 1000;
  return WaitFor([&] { return size() >= target; }, 20000);
}

std::vector<int16_t> ReadFirstChannel(const std::filesystem::path& rawFile, int channels) {
  std::ifstream f(rawFile, std::ios::binary);
  std::vector<int16_t> all;
  int16_t v;
  while (f.read(reinterpret_cast<char*>(&v), sizeof v)) all.push_back(v);
  std::vector<int16_t> first;
  for (size_t i = 0; i < all.size(); i += static_cast<size_t>(channels)) first.push_back(all[i]);
  return first;
}

std::vector<Burst> FindBursts(const std::vector<int16_t>& samples, int threshold,
                              size_t minSilence) {
  std::vector<Burst> bursts;
  size_t quiet = minSilence;  // the file starts as if after silence
  for (size_t i = 0; i < samples.size(); ++i) {
    if (std::abs(samples[i]) <= threshold) {
      ++quiet;
      continue;
    }
    if (quiet >= minSilence || bursts.empty()) bursts.push_back({i, i + 1});
    bursts.back().end = i + 1;
    quiet = 0;
  }
  return bursts;
}

std::vector<int> GroupBursts(const std::vector<Burst>& bursts, size_t groupGap) {
  std::vector<int> groups;
  for (size_t i = 0; i < bursts.size(); ++i) {
    if (i == 0 || bursts[i].begin - bursts[i - 1].end >= groupGap) groups.push_back(0);
    ++groups.back();
  }
  return groups;
}

double Rms(const std::vector<int16_t>& samples, size_t begin, size_t end) {
  double sum = 0.0;
  for (size_t i = begin; i < end; ++i) sum += static_cast<double>(samples[i]) * samples[i];
  return end > begin ? std::sqrt(sum / static_cast<double>(end - begin)) : 0.0;
}

size_t LongestQuietRun(const std::vector<int16_t>& samples, size_t begin, size_t end,
                       int threshold) {
  size_t longest = 0, run = 0;
  for (size_t i = begin; i < end && i < samples.size(); ++i) {
    run = std::abs(samples[i]) <= threshold ? run + 1 : 0;
    if (run > longest) longest = run;
  }
  return longest;
}

int CountLines(const std::string& text, const std::string& prefix) {
  int n = 0;
  for (size_t at = 0; at < text.size();) {
    if (text.compare(at, prefix.size(), prefix) == 0) ++n;
    const size_t end = text.find('\n', at);
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return n;
}

}  // namespace halvex::test
