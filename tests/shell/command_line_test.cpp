// The one-run option for the amount of blood: the same -1..10 scale as the
// launcher's slider, anything else is a usage error.
#include "shell/command_line.h"

#include <gtest/gtest.h>

namespace halvex {
namespace {

std::optional<CommandLine> Parse(std::vector<std::string> args, std::string& error) {
  error.clear();
  return ParseCommandLine(args, error);
}

TEST(CommandLineBlood, TakesTheSliderScaleOnly) {
  std::string error;
  for (int amount : {-1, 0, 10}) {
    auto cl = Parse({"--blood", std::to_string(amount)}, error);
    ASSERT_TRUE(cl) << error;
    EXPECT_EQ(cl->blood, amount);
  }
  auto none = Parse({"--headless"}, error);
  ASSERT_TRUE(none);
  EXPECT_FALSE(none->blood) << "without the option the stored amount is played";

  for (const char* bad : {"11", "-2", "500", "2147483648", "", "3x", "ten"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(Parse({"--blood", bad}, error));
    EXPECT_NE(error.find("--blood"), std::string::npos) << error;
  }
  EXPECT_FALSE(Parse({"--blood"}, error));
  EXPECT_NE(error.find("needs a value"), std::string::npos) << error;
  EXPECT_NE(std::string(CommandLineHelp()).find("--blood -1..10"), std::string::npos);
}

}  // namespace
}  // namespace halvex
