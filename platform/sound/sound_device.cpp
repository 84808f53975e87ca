#include "platform/sound/sound_device.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/sound/midi_check.h"

namespace halvex::platform {
namespace {

// The mixer keeps one device per process; the music hook finds us here.
std::atomic<SoundDevice*> g_openDevice{nullptr};
std::mutex g_noticeMutex;

constexpr int kFrequency = 44100;
constexpr int kBufferSamples = 1024;  // about 23 ms: the soundtrack's restart gap bound

// General MIDI soundfonts for FluidSynth, best first; the freepats patch set
// for the mixer's built-in Timidity when none is there.
constexpr const char* kSoundFonts[] = {
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
    "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
};
constexpr const char* kTimidityConfigs[] = {
    "/etc/timidity/freepats.cfg",
    "/etc/timidity/timidity.cfg",
};

// FluidSynth holds the end of a MIDI file for two seconds of reverb before
// it reports the end, which would leave that much silence at every loop. The
// synthesizer repeats the file itself this many times instead (a bad track
// then fails a bounded number of times, never forever), and the end notice
// comes after the last repetition.
constexpr int kMidiPlays = 100;
constexpr std::streamsize kMidiSizeLimit = 16 << 20;

bool MidiFileIsPlayable(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::vector<char> bytes;
  bytes.resize(static_cast<size_t>(kMidiSizeLimit));
  f.read(bytes.data(), kMidiSizeLimit);
  const std::streamsize got = f.gcount();
  if (got <= 0 || got == kMidiSizeLimit) return false;
  return IsPlayableMidi(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<size_t>(got));
}

// What the mixer will treat as MIDI: a MIDI file name extension, or the
// MIDI or RIFF-MIDI signature.
bool PlaysAsMidi(const std::string& path) {
  const std::string ext = std::filesystem::path(path).extension().string();
  for (const char* midiExt : {".mid", ".midi", ".kar", ".rmi"}) {
    if (SDL_strcasecmp(ext.c_str(), midiExt) == 0) return true;
  }
  char magic[12] = {};
  std::ifstream f(path, std::ios::binary);
  f.read(magic, sizeof magic);
  return std::memcmp(magic, "MThd", 4) == 0 ||
         (std::memcmp(magic, "RIFF", 4) == 0 && std::memcmp(magic + 8, "RMID", 4) == 0);
}

bool FileReadable(const char* path) {
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  std::fclose(f);
  return true;
}

}  // namespace

double SoundDevice::LevelDecibels(int level) {
  if (level < 0 || level >= kLevelCount) level = kLevelCount - 1;
  return -2.5 * level;
}

int SoundDevice::LevelVolume(int level) {
  const double gain = std::pow(10.0, LevelDecibels(level) / 20.0);
  return static_cast<int>(std::lround(gain * MIX_MAX_VOLUME));
}

SoundDevice::~SoundDevice() { Close(); }

void SoundDevice::PointMidiAtPatches() {
  // The mixer's own default soundfont path may not exist, and FluidSynth
  // with no soundfont plays silence while reporting success.
  for (const char* font : kSoundFonts) {
    if (FileReadable(font)) {
      Mix_SetSoundFonts(font);
      break;
    }
  }
  for (const char* cfg : kTimidityConfigs) {
    if (FileReadable(cfg)) {
      Mix_SetTimidityCfg(cfg);
      break;
    }
  }
}

bool SoundDevice::Open() {
  std::lock_guard lock(mutex_);
  if (open_) return true;
  SoundDevice* expected = nullptr;
  if (!g_openDevice.compare_exchange_strong(expected, this)) {
    std::fprintf(stderr, "halvex: sound is off: another sound device is already open\n");
    return false;
  }
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    std::fprintf(stderr, "halvex: sound is off: no audio device (%s)\n", SDL_GetError());
    g_openDevice = nullptr;
    return false;
  }
  Mix_Init(MIX_INIT_MID | MIX_INIT_MP3 | MIX_INIT_OGG);
  if (Mix_OpenAudio(kFrequency, AUDIO_S16SYS, 2, kBufferSamples) != 0) {
    std::fprintf(stderr, "halvex: sound is off: no audio device (%s)\n", Mix_GetError());
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    g_openDevice = nullptr;
    return false;
  }
  int frequency = 0, channels = 0;
  Uint16 sdlFormat = 0;
  Mix_QuerySpec(&frequency, &sdlFormat, &channels);
  format_ = {frequency, channels, static_cast<int>(SDL_AUDIO_BITSIZE(sdlFormat) / 8)};
  Mix_AllocateChannels(kMixChannels);
  PointMidiAtPatches();
  Mix_HookMusicFinished(&SoundDevice::OnMusicFinished);
  open_ = true;
  return true;
}

void SoundDevice::Close() {
  std::lock_guard lock(mutex_);
  CloseLocked();
}

void SoundDevice::DeviceLost() {
  std::lock_guard lock(mutex_);
  if (!open_) return;
  std::fprintf(stderr, "halvex: the audio device is gone; the game goes on without sound\n");
  CloseLocked();
}

void SoundDevice::CloseLocked() {
  if (!open_) return;
  HaltMusicQuietly();
  Mix_HookMusicFinished(nullptr);
  if (music_) Mix_FreeMusic(music_);
  music_ = nullptr;
  musicRunning_ = musicStarted_ = false;
  Mix_HaltChannel(-1);
  for (Effect& e : effects_) {
    if (e.chunk) Mix_FreeChunk(e.chunk);
  }
  effects_.clear();
  Mix_CloseAudio();
  Mix_Quit();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  open_ = false;
  g_openDevice = nullptr;
}

int SoundDevice::LoadEffect(const std::string& path, std::string* error) {
  std::lock_guard lock(mutex_);
  if (!open_ || path.empty()) return -1;
  // We close the file ourselves: the mixer leaks it when the format is unknown.
  SDL_RWops* file = SDL_RWFromFile(path.c_str(), "rb");
  if (!file) {
    if (error) *error = SDL_GetError();
    return -1;
  }
  Mix_Chunk* chunk = Mix_LoadWAV_RW(file, 0);
  SDL_RWclose(file);
  if (!chunk) {
    if (error) *error = Mix_GetError();
    return -1;
  }
  effects_.push_back({chunk, 0});
  return static_cast<int>(effects_.size()) - 1;
}

void SoundDevice::FreeEffect(int handle) {
  std::lock_guard lock(mutex_);
  if (handle < 0 || handle >= static_cast<int>(effects_.size())) return;
  Effect& e = effects_[handle];
  if (!e.chunk) return;
  // A chunk must not be freed while a channel still reads it.
  for (int ch = 0; ch < kMixChannels; ++ch) {
    if (Mix_GetChunk(ch) == e.chunk) Mix_HaltChannel(ch);
  }
  Mix_FreeChunk(e.chunk);
  e.chunk = nullptr;
}

void SoundDevice::PlayEffect(int handle, int repeats, int level) {
  std::lock_guard lock(mutex_);
  if (!open_ || handle < 0 || handle >= static_cast<int>(effects_.size())) return;
  Effect& e = effects_[handle];
  if (!e.chunk) return;
  if (repeats != 0) e.repeats = repeats < 0 ? -1 : repeats;
  // Pick a free channel and set its level before it starts, so no sample
  // of this sound is mixed at the channel's previous level.
  int channel = Mix_GroupAvailable(-1);
  if (channel < 0) channel = Mix_GroupOldest(-1);
  if (channel < 0) return;
  Mix_HaltChannel(channel);
  Mix_Volume(channel, LevelVolume(level));
  Mix_PlayChannel(channel, e.chunk, e.repeats);
}

void SoundDevice::StopEffects() {
  std::lock_guard lock(mutex_);
  if (open_) Mix_HaltChannel(-1);
}

int SoundDevice::PlayingEffects() {
  std::lock_guard lock(mutex_);
  return open_ ? Mix_Playing(-1) : 0;
}

void SoundDevice::OnMusicFinished() {
  SoundDevice* self = g_openDevice.load();
  if (!self || self->halting_) return;
  self->musicEnded_ = true;
  ++self->musicEndEvents_;
  std::lock_guard lock(g_noticeMutex);
  if (self->endNotice_) self->endNotice_();
}

void SoundDevice::HaltMusicQuietly() {
  halting_ = true;
  Mix_HaltMusic();
  halting_ = false;
  musicEnded_ = false;
}

bool SoundDevice::OpenMusic(const std::string& path, std::string* error) {
  std::lock_guard lock(mutex_);
  if (!open_) return false;
  HaltMusicQuietly();
  if (music_) Mix_FreeMusic(music_);
  music_ = nullptr;
  musicPlays_ = 0;
  musicRunning_ = musicStarted_ = false;
  musicEndEvents_ = 0;
  // The synthesizer loads its whole soundfont before it looks at the file,
  // so a file that will be played as MIDI is checked first.
  auto refuse = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  const bool midi = PlaysAsMidi(path);
  if (path.empty()) return refuse("no file named");
  if (midi && !MidiFileIsPlayable(path)) return refuse("not a MIDI song the game can play");
  music_ = Mix_LoadMUS(path.c_str());
  if (!music_) return refuse(Mix_GetError());
  if (Mix_GetMusicType(music_) == MUS_MID) {
    if (!midi) {  // a kind of MIDI file the check above did not recognise
      Mix_FreeMusic(music_);
      music_ = nullptr;
      return refuse("not a MIDI song the game can play");
    }
    musicPlays_ = kMidiPlays;
  }
  return true;
}

void SoundDevice::CloseMusic() {
  std::lock_guard lock(mutex_);
  if (!open_) return;
  HaltMusicQuietly();
  if (music_) Mix_FreeMusic(music_);
  music_ = nullptr;
  musicRunning_ = musicStarted_ = false;
}

bool SoundDevice::HasMusic() {
  std::lock_guard lock(mutex_);
  return music_ != nullptr;
}

void SoundDevice::RunMusic() {
  std::lock_guard lock(mutex_);
  if (!music_) return;
  musicRunning_ = true;
  if (!musicStarted_) {
    musicEnded_ = false;
    if (Mix_PlayMusic(music_, musicPlays_) == 0) musicStarted_ = true;
  } else if (Mix_PausedMusic()) {
    Mix_ResumeMusic();
  }
  // Started and at its end: stays silent until a seek, as a player would.
}

void SoundDevice::StopMusic() {
  std::lock_guard lock(mutex_);
  if (!music_) return;
  musicRunning_ = false;
  if (musicStarted_ && !musicEnded_) Mix_PauseMusic();
}

bool SoundDevice::SeekMusicToStart() {
  std::lock_guard lock(mutex_);
  if (!music_) return false;
  // Restarting the stream works for every format, MIDI included, where
  // seeking inside the file does not.
  HaltMusicQuietly();
  musicStarted_ = false;
  if (musicRunning_ && Mix_PlayMusic(music_, musicPlays_) == 0) musicStarted_ = true;
  return true;
}

bool SoundDevice::MusicPlaying() {
  std::lock_guard lock(mutex_);
  return music_ && Mix_PlayingMusic() && !Mix_PausedMusic();
}

void SoundDevice::SetMusicEndNotice(std::function<void()> notice) {
  std::lock_guard lock(g_noticeMutex);
  endNotice_ = std::move(notice);
}

int SoundDevice::TakeMusicEndEvents() { return musicEndEvents_.exchange(0); }

}  // namespace halvex::platform
