// The game tests' content: the pack the build generated, with settings
// derived from its area list as the launcher does.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "content/data_files.h"
#include "launcher/settings_store.h"
#include "platform/paths/paths.h"
#include "platform/window/message_box.h"

namespace halvex::game {

// Points the loaders at the generated pack (message boxes print instead of
// waiting) and fills the settings' area from it. False when there is no pack.
inline bool UseGeneratedContent(Settings& settings) {
  const char* bin = std::getenv("HALVEX_BINARY_DIR");
  if (!bin) {
    ADD_FAILURE() << "HALVEX_BINARY_DIR is not set";
    return false;
  }
  const std::filesystem::path content = std::filesystem::path(bin) / "bin" / "content";
  if (!std::filesystem::exists(content / "system" / "worlds.txt")) return false;
  platform::SetMessageBoxesInteractive(false);
  paths::SetContentDirectory(content.string());
  DeriveAtStart(settings, ReadWorldList(paths::Resolve("system\\worlds.txt")).areaNames);
  return true;
}

}  // namespace halvex::game
