#include "launcher/comfort.h"

#include <algorithm>
#include <cstdio>

namespace halvex {

namespace {

// One stored value: its name and where it lives in the record.
struct ComfortValue {
  const char* name;
  int ComfortSettings::*number;
  bool ComfortSettings::*flag;
};

constexpr ComfortValue kValues[] = {
    {"Mouse Sensitivity", &ComfortSettings::mouseSensitivity, nullptr},
    {"Invert Mouse", nullptr, &ComfortSettings::invertMouse},
    {"Raw Mouse", nullptr, &ComfortSettings::rawMouse},
    {"Frame Cap", &ComfortSettings::frameCap, nullptr},
    {"Background Cap", nullptr, &ComfortSettings::backgroundCap},
    {"VSync", nullptr, &ComfortSettings::vsync},
    {"Correct Aspect", nullptr, &ComfortSettings::correctAspect},
    {"Resizable Window", nullptr, &ComfortSettings::resizableWindow},
    {"PNG Screenshots", nullptr, &ComfortSettings::pngScreenshots},
    {"Mirror Screenshots", nullptr, &ComfortSettings::mirrorScreenshots},
};

int Get(const ComfortSettings& c, const ComfortValue& v) {
  return v.number ? c.*v.number : (c.*v.flag ? 1 : 0);
}

constexpr const char* kScreenSizeName = "Screen Size";

}  // namespace

std::optional<ScreenSize> ParseScreenSize(const std::string& text) {
  int w = 0, h = 0, used = 0;
  if (text.size() > 11 || std::sscanf(text.c_str(), "%5dx%5d%n", &w, &h, &used) != 2 ||
      used != static_cast<int>(text.size()))
    return std::nullopt;
  if (w < 320 || h < 200 || w > 16384 || h > 16384) return std::nullopt;
  return ScreenSize{w, h};
}

void ReadComfortSettings(const platform::RegistryKey& key, ComfortSettings& c) {
  const ComfortSettings defaults;
  for (const ComfortValue& v : kValues) {
    const int value = key.QueryInt(v.name, Get(defaults, v));
    if (v.number) {
      c.*v.number = value;
    } else {
      c.*v.flag = value != 0;
    }
  }
  for (int i = 0; i < kBindableActionCount; ++i) {
    const int code = key.QueryInt(kBindableActions[i].registryName, kBindableActions[i].defaultKey);
    c.keys[i] = BindableKey(code) ? code : kBindableActions[i].defaultKey;
  }
  const std::string size = key.QueryString(kScreenSizeName).value_or("");
  c.screenSize = ParseScreenSize(size) ? size : std::string();
  c.mouseSensitivity = std::clamp(c.mouseSensitivity, kMouseSensitivityMin, kMouseSensitivityMax);
  // Any cap below the least is read as none: a typo must not leave the game at 2 fps.
  if (c.frameCap < kFrameCapMin) c.frameCap = 0;
  c.frameCap = std::min(c.frameCap, kFrameCapMax);
}

void StoreComfortSettings(platform::RegistryKey& key, const ComfortSettings& c) {
  const ComfortSettings defaults;
  for (const ComfortValue& v : kValues) {
    if (Get(c, v) != Get(defaults, v) || key.QueryString(v.name)) key.SetInt(v.name, Get(c, v));
  }
  for (int i = 0; i < kBindableActionCount; ++i) {
    const char* name = kBindableActions[i].registryName;
    if (c.keys[i] != defaults.keys[i] || key.QueryString(name)) key.SetInt(name, c.keys[i]);
  }
  if (!c.screenSize.empty() || key.QueryString(kScreenSizeName)) key.SetText(kScreenSizeName, c.screenSize);
}

}  // namespace halvex
