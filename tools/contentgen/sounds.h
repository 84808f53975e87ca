// The sound list of the pack, in the order of the game's sound ids.
#pragma once

#include <string>
#include <vector>

namespace halvex::contentgen {

struct SoundFile {
  std::string name;            // file name under sounds/
  std::vector<float> samples;  // mono, 22,050 Hz, -1..1
};

std::vector<SoundFile> SoundFiles();

}  // namespace halvex::contentgen
