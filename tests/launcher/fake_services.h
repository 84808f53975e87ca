#pragma once

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "launcher/launcher_services.h"

namespace halvex::test {

struct FakeServices : LauncherServices {
  std::vector<std::string> messages;  // titles of boxes shown
  std::vector<std::string> texts;     // and what they said
  std::vector<std::string> questions;
  bool answer = true;
  std::optional<std::string> pickedFile;
  int helpOpened = 0;

  void ShowMessage(const std::string& title, const std::string& text) override {
    messages.push_back(title);
    texts.push_back(text);
  }
  bool AskYesNo(const std::string& title, const std::string&) override {
    questions.push_back(title);
    return answer;
  }
  bool pickerUnavailable = false;
  Pick PickSoundtrackFile() override {
    if (pickerUnavailable) return {Pick::Unavailable, ""};
    if (pickedFile) return {Pick::Chosen, *pickedFile};
    return {Pick::Cancelled, ""};
  }
  void OpenHelp() override { ++helpOpened; }
  std::string LocalAddress() override { return "192.0.2.7"; }
  std::vector<std::string> desktopSizes;
  std::vector<std::string> DesktopResolutions() override { return desktopSizes; }
};

// A registry file in a fresh temporary folder per test.
inline std::filesystem::path TempStore() {
  auto dir = std::filesystem::temp_directory_path() /
             ("halvex-launcher-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::remove_all(dir);
  return dir / "halvex.conf";
}

}  // namespace halvex::test
