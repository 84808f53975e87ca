// The settings file as the game reads it at start: the registry store loads
// the file (a file of this process holds the bytes), the launcher's rules
// read the main and advanced values and derive the start values. The values
// read must lie in their ranges, and storing them and reading the stored
// file back must give the same values.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "launcher/settings_store.h"
#include "platform/registry/registry.h"
#include "fuzz/fuzz_check.h"

namespace {

using namespace halvex;
namespace fs = std::filesystem;

const fs::path& Folder() {
  static const fs::path folder = [] {
    // In memory where the system offers it: the store syncs every write.
    std::error_code ec;
    const fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    fs::path f = base / ("halvex_fuzz_settings." + std::to_string(::getpid()));
    fs::create_directories(f);
    std::atexit([] {
      std::error_code ec;
      fs::remove_all(Folder(), ec);
    });
    return f;
  }();
  return folder;
}

Settings Read(platform::Registry& registry) {
  Settings s;
  platform::RegistryKey main(registry, kMainKey);
  ReadMainSettings(main, s);
  platform::RegistryKey advanced(registry, kAdvancedKey);
  ReadAdvancedSettings(advanced, s, false);
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fs::path file = Folder() / "halvex.conf";
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    FUZZ_CHECK(bool(out));
  }
  platform::Registry registry(file);
  registry.Load();
  Settings s = Read(registry);
  FUZZ_CHECK(s.playerName.size() <= size_t(kPlayerNameMax));
  FUZZ_CHECK(s.soundtrackPath.size() <= size_t(kSoundtrackPathMax));
  FUZZ_CHECK(s.bloodAmount >= kBloodNone && s.bloodAmount <= kBloodTons);

  const std::vector<std::string> areas = {"Proving Grounds", "Sunken Citadel"};
  Settings started = s;
  DeriveAtStart(started, areas);
  FUZZ_CHECK(started.areaName == areas[0] || started.areaName == areas[1]);
  FUZZ_CHECK(started.screenWidth > 0 && started.screenHeight > 0);

  // What the launcher stores on Start must read back the same.
  const fs::path again = Folder() / "again.conf";
  fs::remove(again);
  {
    platform::Registry store(again);
    platform::RegistryKey main(store, kMainKey);
    StoreMainSettings(main, s);
    FUZZ_CHECK(main.Close());
    platform::RegistryKey advanced(store, kAdvancedKey);
    StoreAdvancedSettings(advanced, s);
    FUZZ_CHECK(advanced.Close());
  }
  platform::Registry stored(again);
  FUZZ_CHECK(stored.Load());
  Settings back = Read(stored);
  FUZZ_CHECK(back.playerName == s.playerName && back.soundtrackPath == s.soundtrackPath);
  FUZZ_CHECK(back.botCount == s.botCount && back.resolutionIndex == s.resolutionIndex &&
          back.areaIndex == s.areaIndex && back.difficultyIndex == s.difficultyIndex &&
          back.bloodAmount == s.bloodAmount && back.fullscreen == s.fullscreen &&
          back.useSoundtrack == s.useSoundtrack && back.hardwareTnL == s.hardwareTnL);
  for (int i = 0; i < kAdvancedSwitchCount; ++i) FUZZ_CHECK(AdvancedValue(back, i) == AdvancedValue(s, i));
  return 0;
}
