// Command-line options. With none the game behaves as designed: launcher
// first, then the match. The options let tests, benchmarks and players skip
// the launcher, override settings for one run and end a run by themselves.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace halvex {

struct CommandLine {
  bool skipLauncher = false;
  std::optional<int> bots;
  std::optional<std::string> area;  // name or list index
  std::optional<int> difficulty;
  std::optional<int> blood;  // the launcher's slider scale, -1..10
  std::optional<int> width, height;
  std::optional<bool> fullscreen;
  std::optional<std::string> name;
  std::optional<std::string> configDir;
  std::optional<std::string> contentDir;
  std::optional<unsigned> seed;
  std::optional<long> frames;
  std::optional<double> seconds;
  std::optional<double> fixedStepMs;
  std::optional<int> maxFps;
  std::optional<std::string> script;
  std::optional<std::string> record;  // write the match to this demo file
  std::optional<std::string> play;    // replay this demo file
  std::vector<long> shots;
  // Multiplayer without the connect wizard: host a session of this name, or
  // join the game at ADDRESS[:PORT]; either starts a multiplayer match.
  std::optional<std::string> hostSession;
  std::optional<std::string> joinAddress;
  std::optional<int> joinPort;  // from ADDRESS:PORT
  std::optional<int> port;      // the host's port (--port)
  bool wizard = false;          // --multiplayer: through the connect wizard
  bool multiplayer() const { return wizard || hostSession.has_value() || joinAddress.has_value(); }
  bool headless = false;
  bool timedemo = false;
  bool trace = false;  // mode changes and positions on stdout, for tests and bug reports
  bool check = false;  // the match invariants after every frame; a broken one ends the run
  std::optional<double> reportSeconds;  // a line of run figures every S seconds of real time
  bool help = false;

  // Nobody is there to answer: boxes take their defaults, the intro moves on.
  bool nonInteractive() const {
    return frames || seconds || script || timedemo || headless || play;
  }
};

// Parses argv; on a bad option returns nothing and sets error.
std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args,
                                            std::string& error);
const char* CommandLineHelp();

}  // namespace halvex
