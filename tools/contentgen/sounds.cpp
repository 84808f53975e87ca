// Synthesised sound effects (22,050 Hz, 16-bit mono WAV) in the order of the
// game's sound ids, and ambient loops whose ends are cross-faded into their
// starts so that they repeat without a click.
#include <algorithm>
#include <cmath>
#include <vector>

#include "tools/contentgen/catalog.h"
#include "tools/contentgen/common.h"
#include "tools/contentgen/sounds.h"

namespace halvex::contentgen {
namespace {

constexpr int kRate = 22050;
constexpr float kTwoPi = 6.2831853f;
using Signal = std::vector<float>;

Signal Silence(float seconds) { return Signal(static_cast<size_t>(seconds * kRate), 0.0f); }
float Time(size_t i) { return static_cast<float>(i) / kRate; }

// One-pole low-pass with a cutoff that may change per sample.
class LowPass {
 public:
  float operator()(float x, float cutoffHz) {
    const float a = 1.0f - std::exp(-kTwoPi * cutoffHz / kRate);
    y_ += a * (x - y_);
    return y_;
  }

 private:
  float y_ = 0;
};

// A sine whose frequency follows `freq(t)`, mixed into `out` with envelope.
template <typename Freq, typename Env>
void Tone(Signal& out, float start, float length, Freq freq, Env env, float gain = 1.0f) {
  float phase = 0;
  const auto first = static_cast<size_t>(start * kRate);
  for (size_t i = first; i < out.size() && Time(i - first) < length; ++i) {
    const float t = Time(i - first);
    phase += kTwoPi * freq(t) / kRate;
    out[i] += gain * env(t) * std::sin(phase);
  }
}

// Filtered noise with envelope.
template <typename Cutoff, typename Env>
void Noise(Signal& out, Rng& rng, float start, float length, Cutoff cutoff, Env env, float gain = 1.0f) {
  LowPass lp;
  const auto first = static_cast<size_t>(start * kRate);
  for (size_t i = first; i < out.size() && Time(i - first) < length; ++i) {
    const float t = Time(i - first);
    out[i] += gain * env(t) * lp(rng.range(-1.0f, 1.0f), cutoff(t));
  }
}

auto Decay(float rate, float attack = 0.002f) {
  return [=](float t) { return std::min(1.0f, t / attack) * std::exp(-t * rate); };
}

void Normalise(Signal& s, float peak) {
  float m = 0;
  for (float v : s) m = std::max(m, std::fabs(v));
  if (m > 0)
    for (float& v : s) v *= peak / m;
}

// Cross-fades the last `fade` seconds into the start, then drops them.
void MakeLoop(Signal& s, float fade) {
  const auto n = static_cast<size_t>(fade * kRate);
  const size_t keep = s.size() - n;
  for (size_t i = 0; i < n; ++i) {
    const float w = static_cast<float>(i) / static_cast<float>(n);
    s[i] = s[i] * std::sqrt(w) + s[keep + i] * std::sqrt(1 - w);
  }
  s.resize(keep);
}

std::vector<uint8_t> EncodeWav(const Signal& s) {
  std::vector<uint8_t> out;
  auto put = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  const auto data = static_cast<uint32_t>(s.size() * 2);
  out.insert(out.end(), {'R', 'I', 'F', 'F'});
  put(36 + data, 4);
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put(16, 4);
  put(1, 2);  // PCM
  put(1, 2);  // mono
  put(kRate, 4);
  put(kRate * 2, 4);
  put(2, 2);
  put(16, 2);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  put(data, 4);
  for (float v : s) put(static_cast<uint16_t>(static_cast<int16_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f))), 2);
  return out;
}

Signal Orb() {
  Signal s = Silence(0.45f);
  for (int k = 0; k < 3; ++k)
    Tone(s, 0.06f * static_cast<float>(k), 0.35f, [k](float t) { return 880.0f * std::pow(1.5f, static_cast<float>(k)) * (1 + 0.3f * t); },
         Decay(9.0f), 1.0f);
  return s;
}

Signal RocketLaunch(Rng& rng) {
  Signal s = Silence(0.9f);
  Noise(s, rng, 0, 0.9f, [](float t) { return 300.0f + 2500.0f * std::exp(-t * 3); },
        [](float t) { return std::min(1.0f, t / 0.05f) * std::exp(-t * 3.5f); });
  Tone(s, 0, 0.3f, [](float t) { return 90.0f - 120.0f * t; }, Decay(12.0f), 1.2f);
  return s;
}

Signal Buzz() {
  Signal s = Silence(0.22f);
  Tone(s, 0, 0.22f, [](float) { return 110.0f; }, [](float t) { return t < 0.2f ? 1.0f : 0.0f; });
  Tone(s, 0, 0.22f, [](float) { return 165.0f; }, [](float t) { return t < 0.2f ? 0.6f : 0.0f; });
  for (float& v : s) v = std::tanh(v * 3.0f);
  return s;
}

Signal Explosion(Rng& rng) {
  Signal s = Silence(1.6f);
  Noise(s, rng, 0, 1.6f, [](float t) { return 150.0f + 3000.0f * std::exp(-t * 6); }, Decay(2.8f, 0.004f));
  Tone(s, 0, 0.8f, [](float t) { return 55.0f * std::exp(-t * 1.2f); }, Decay(4.0f), 1.5f);
  return s;
}

Signal Hit(Rng& rng) {
  Signal s = Silence(0.25f);
  Noise(s, rng, 0, 0.25f, [](float) { return 900.0f; }, Decay(25.0f));
  Tone(s, 0, 0.2f, [](float t) { return 140.0f - 200.0f * t; }, Decay(22.0f), 0.8f);
  return s;
}

Signal Tick() {
  Signal s = Silence(0.08f);
  Tone(s, 0, 0.08f, [](float) { return 1800.0f; }, Decay(60.0f));
  return s;
}

Signal Shot(Rng& rng) {
  Signal s = Silence(0.5f);
  Noise(s, rng, 0, 0.5f, [](float t) { return 6000.0f * std::exp(-t * 8) + 400.0f; }, Decay(14.0f, 0.0005f));
  Tone(s, 0, 0.15f, [](float t) { return 180.0f - 400.0f * t; }, Decay(30.0f), 0.7f);
  return s;
}

Signal Wind(Rng& rng) {
  Signal s = Silence(8.5f);
  const float loop = 8.0f;
  Noise(s, rng, 0, 8.5f, [=](float t) { return 350.0f + 250.0f * std::sin(kTwoPi * t / loop * 2); },
        [=](float t) { return 0.6f + 0.4f * std::sin(kTwoPi * t / loop + 1.0f); });
  MakeLoop(s, 0.5f);
  return s;
}

Signal Surf(Rng& rng) {
  Signal s = Silence(8.5f);
  Noise(s, rng, 0, 8.5f, [](float t) { return 500.0f + 900.0f * std::pow(0.5f + 0.5f * std::sin(kTwoPi * t / 4.0f), 3.0f); },
        [](float t) { return 0.25f + 0.75f * std::pow(0.5f + 0.5f * std::sin(kTwoPi * t / 4.0f), 2.0f); });
  MakeLoop(s, 0.5f);
  return s;
}

void GullCry(Signal& s, float start, float pitch) {
  Tone(s, start, 0.45f, [=](float t) { return pitch * (1.0f + 0.4f * std::sin(t * 7.0f)) * (1.0f - 0.35f * t); },
       [](float t) { return std::sin(std::min(1.0f, t / 0.45f) * 3.14159f); }, 0.5f);
  Tone(s, start, 0.45f, [=](float t) { return 2.0f * pitch * (1.0f + 0.4f * std::sin(t * 7.0f)) * (1.0f - 0.35f * t); },
       [](float t) { return std::sin(std::min(1.0f, t / 0.45f) * 3.14159f); }, 0.2f);
}

Signal GullsAndWater(Rng& rng) {
  Signal s = Silence(10.5f);
  Noise(s, rng, 0, 10.5f, [](float t) { return 1200.0f + 400.0f * std::sin(t * 3.1f); },
        [](float t) { return 0.3f + 0.1f * std::sin(kTwoPi * t / 2.5f); });
  GullCry(s, 1.0f, 1300.0f);
  GullCry(s, 1.6f, 1150.0f);
  GullCry(s, 6.2f, 1400.0f);
  MakeLoop(s, 0.5f);
  return s;
}

Signal Spare() {
  Signal s = Silence(0.1f);
  Tone(s, 0, 0.1f, [](float) { return 660.0f; }, Decay(40.0f));
  return s;
}

Signal BirdCall() {
  Signal s = Silence(1.0f);
  for (int k = 0; k < 3; ++k)
    Tone(s, 0.25f * static_cast<float>(k), 0.18f, [](float t) { return 2600.0f + 1500.0f * std::sin(t * 40.0f); },
         [](float t) { return std::sin(std::min(1.0f, t / 0.18f) * 3.14159f); });
  return s;
}

Signal Thunder(Rng& rng) {
  Signal s = Silence(4.0f);
  Noise(s, rng, 0, 4.0f, [](float t) { return 120.0f + 900.0f * std::exp(-t * 4); },
        [](float t) { return std::min(1.0f, t / 0.02f) * std::exp(-t * 0.9f) * (0.7f + 0.3f * std::sin(t * 9.0f)); });
  Noise(s, rng, 0.4f, 3.0f, [](float) { return 80.0f; }, [](float t) { return std::exp(-t * 1.0f); }, 2.0f);
  return s;
}

Signal Horn() {
  Signal s = Silence(2.5f);
  auto env = [](float t) { return std::min(1.0f, t / 0.3f) * std::exp(-t * 1.3f); };
  for (int h = 1; h <= 4; ++h)
    Tone(s, 0, 2.5f, [h](float) { return 147.0f * static_cast<float>(h); }, env, 1.0f / static_cast<float>(h));
  return s;
}

Signal Clank() {
  Signal s = Silence(0.35f);
  for (float f : {523.0f, 1187.0f, 1873.0f, 2741.0f}) Tone(s, 0, 0.35f, [f](float) { return f; }, Decay(14.0f), 0.5f);
  return s;
}

Signal LowAmmo() {
  Signal s = Silence(0.3f);
  Tone(s, 0, 0.12f, [](float) { return 988.0f; }, [](float t) { return t < 0.11f ? 1.0f : 0.0f; });
  Tone(s, 0.15f, 0.12f, [](float) { return 740.0f; }, [](float t) { return t < 0.11f ? 1.0f : 0.0f; });
  return s;
}

void Click(Signal& s, Rng& rng, float start, float cutoff) {
  Noise(s, rng, start, 0.04f, [=](float) { return cutoff; }, Decay(120.0f, 0.0005f));
  Tone(s, start, 0.04f, [](float) { return 2200.0f; }, Decay(150.0f), 0.4f);
}

Signal WeaponChange(Rng& rng) {
  Signal s = Silence(0.3f);
  Click(s, rng, 0.0f, 4000.0f);
  Click(s, rng, 0.14f, 2500.0f);
  return s;
}

Signal Reload(Rng& rng) {
  Signal s = Silence(0.6f);
  for (int k = 0; k < 6; ++k) Click(s, rng, 0.07f * static_cast<float>(k), 3000.0f + 300.0f * static_cast<float>(k));
  return s;
}

}  // namespace

std::vector<SoundFile> SoundFiles() {
  Rng rng(0x5eed50u);
  // Effects peak at half scale so that several at once do not clip; ambient
  // loops stay well below them.
  auto fx = [](Signal s) { Normalise(s, 0.5f); return s; };
  auto amb = [](Signal s) { Normalise(s, 0.25f); return s; };
  std::vector<SoundFile> list;
  list.push_back({"orb.wav", fx(Orb())});
  list.push_back({"rocket.wav", fx(RocketLaunch(rng))});
  list.push_back({"chatfull.wav", fx(Buzz())});
  list.push_back({"explode.wav", fx(Explosion(rng))});
  list.push_back({"hit.wav", fx(Hit(rng))});
  list.push_back({"message.wav", fx(Tick())});
  list.push_back({"shot.wav", fx(Shot(rng))});
  list.push_back({"wind.wav", amb(Wind(rng))});
  list.push_back({"surf.wav", amb(Surf(rng))});
  list.push_back({"gulls.wav", amb(GullsAndWater(rng))});
  list.push_back({"spare.wav", fx(Spare())});
  list.push_back({"birdcall.wav", fx(BirdCall())});
  list.push_back({"thunder.wav", fx(Thunder(rng))});
  list.push_back({"horn.wav", fx(Horn())});
  list.push_back({"armor.wav", fx(Clank())});
  list.push_back({"lowammo.wav", fx(LowAmmo())});
  list.push_back({"weapon.wav", fx(WeaponChange(rng))});
  list.push_back({"reload.wav", fx(Reload(rng))});
  return list;
}

void GenerateSounds(Pack& pack) {
  std::string listing;
  const auto files = SoundFiles();
  listing = std::to_string(files.size()) + "\n";
  for (const auto& f : files) {
    pack.Write("sounds/" + f.name, EncodeWav(f.samples));
    listing += f.name + "\n";
  }
  pack.Write("system/sounds.txt", listing);
}

}  // namespace halvex::contentgen
