#include "shell/command_line.h"

#include <cerrno>
#include <cstdlib>

namespace halvex {

namespace {

bool ParseLong(const std::string& text, long low, long high, long& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < low || v > high) return false;
  out = v;
  return true;
}

bool ParseDouble(const std::string& text, double low, double high, double& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  double v = std::strtod(text.c_str(), &end);
  if (errno != 0 || *end != '\0' || !(v >= low && v <= high)) return false;
  out = v;
  return true;
}

}  // namespace

const char* CommandLineHelp() {
  return "usage: halvex [options]\n"
         "With no options the launcher opens first, as usual.\n"
         "  --skip-launcher       start at once with the stored settings\n"
         "  --bots N              number of bots, 0..32 (this run only)\n"
         "  --area NAME|INDEX     battle area from system/worlds.txt\n"
         "  --difficulty 0..4     Easiest .. Hardest\n"
         "  --blood -1..10        amount of blood, -1 none .. 10 tons\n"
         "  --resolution WxH      screen size, e.g. 1024x768\n"
         "  --windowed            play in a window\n"
         "  --fullscreen          play full screen\n"
         "  --name TEXT           player name\n"
         "  --config-dir DIR      where settings are kept (default $XDG_CONFIG_HOME)\n"
         "  --content DIR         where the game's content is read from\n"
         "  --seed N              random seed\n"
         "  --frames N            end the match after N frames\n"
         "  --seconds S           end the match after S seconds of match time\n"
         "  --fixed-step MS       simulate every frame with this frame time\n"
         "  --max-fps N           draw at most N frames a second\n"
         "  --script FILE         scripted key and mouse input by frame number\n"
         "  --record FILE         write the match to a demo file (seed, settings, input)\n"
         "  --play FILE           replay a demo file and check it ends as recorded\n"
         "  --shots N,N,...       take a screenshot at these frames\n"
         "  --headless            no window, no sound device\n"
         "  --timedemo            play the run as fast as possible, print frame times; alone,\n"
         "                        it plays the pack's recorded match (demos/timedemo.dem)\n"
         "  --trace               print the match's mode changes and the player's position\n"
         "  --check               check the match invariants after every frame (finite\n"
         "                        positions, power, frags, bots); a broken one ends the run\n"
         "  --report S            every S seconds print frames, frame times and memory\n"
         "  --multiplayer         a multiplayer game, found or created in the connect wizard\n"
         "  --host SESSION        host a multiplayer game of this name (no connect wizard)\n"
         "  --join ADDRESS[:PORT] join the multiplayer game hosted there\n"
         "  --port N              the port a hosted game listens on (default 28960)\n"
         "  --help                this text\n";
}

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args,
                                            std::string& error) {
  CommandLine cl;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return std::nullopt;
      }
      return args[++i];
    };
    auto bad = [&](const std::string& v) {
      error = "bad value for " + a + ": \"" + v + "\"";
      return std::nullopt;
    };
    long n = 0;
    double d = 0;
    if (a == "--skip-launcher") {
      cl.skipLauncher = true;
    } else if (a == "--windowed") {
      cl.fullscreen = false;
    } else if (a == "--fullscreen") {
      cl.fullscreen = true;
    } else if (a == "--headless") {
      cl.headless = true;
    } else if (a == "--timedemo") {
      cl.timedemo = true;
    } else if (a == "--multiplayer") {
      cl.wizard = true;
    } else if (a == "--trace") {
      cl.trace = true;
    } else if (a == "--check") {
      cl.check = true;
    } else if (a == "--help" || a == "-h") {
      cl.help = true;
    } else if (a == "--bots") {
      auto v = value();
      if (!v) return std::nullopt;
      if (!ParseLong(*v, 0, 32, n)) return bad(*v);
      cl.bots = static_cast<int>(n);
    } else if (a == "--difficulty") {
      auto v = value();
      if (!v) return std::nullopt;
      if (!ParseLong(*v, 0, 4, n)) return bad(*v);
      cl.difficulty = static_cast<int>(n);
    } else if (a == "--blood") {
      auto v = value();
      if (!v) return std::nullopt;
      if (!ParseLong(*v, -1, 10, n)) return bad(*v);
      cl.blood = static_cast<int>(n);
    } else if (a == "--resolution") {
      auto v = value();
      if (!v) return std::nullopt;
      auto x = v->find('x');
      long w = 0, h = 0;
      if (x == std::string::npos || !ParseLong(v->substr(0, x), 160, 16384, w) ||
          !ParseLong(v->substr(x + 1), 120, 16384, h)) {
        return bad(*v);
      }
      cl.width = static_cast<int>(w);
      cl.height = static_cast<int>(h);
    } else if (a == "--area" || a == "--name" || a == "--config-dir" || a == "--content" ||
               a == "--script" || a == "--record" || a == "--play") {
      auto v = value();
      if (!v) return std::nullopt;
      if (v->empty()) return bad(*v);
      if (a == "--area") cl.area = *v;
      if (a == "--name") cl.name = *v;
      if (a == "--config-dir") cl.configDir = *v;
      if (a == "--content") cl.contentDir = *v;
      if (a == "--script") cl.script = *v;
      if (a == "--record") cl.record = *v;
      if (a == "--play") cl.play = *v;
    } else if (a == "--seed") {
      auto v = value();
      if (!v) return std::nullopt;
      if (!ParseLong(*v, 0, 0x7fffffffL, n)) return bad(*v);
      cl.seed = static_cast<unsigned>(n);
    } else if (a == "--frames") {
      auto v = value();
      if (!v) return std::nullopt;
      if (!ParseLong(*v, 1, 0x7fffffffL, n)) return bad(*v);
      cl.frames = n;
    } else if (a == "--seconds") {
      auto v = value();
      if (!v) return std::nullopt;
      if (!ParseDouble(*v, 0.001, 1e7, d)) return bad(*v);
      cl.seconds = d;
    } else if (a == "--fixed-step") {
      auto v = value();
      if (!v) return std::nullopt;
      if (!ParseDouble(*v, 1.0, 125.0, d)) return bad(*v);
      cl.fixedStepMs = d;
    } else if (a == "--report") {
      auto v = value();
      if (!v) return std::nullopt;
      if (!ParseDouble(*v, 0.1, 1e6, d)) return bad(*v);
      cl.reportSeconds = d;
    } else if (a == "--max-fps") {
      auto v = value();
      if (!v) return std::nullopt;
      if (!ParseLong(*v, 1, 1000, n)) return bad(*v);
      cl.maxFps = static_cast<int>(n);
    } else if (a == "--host") {
      auto v = value();
      if (!v) return std::nullopt;
      if (v->empty() || v->size() > 63) return bad(*v);
      cl.hostSession = *v;
    } else if (a == "--join") {
      auto v = value();
      if (!v) return std::nullopt;
      const auto colon = v->rfind(':');
      std::string host = colon == std::string::npos ? *v : v->substr(0, colon);
      if (colon != std::string::npos) {
        if (!ParseLong(v->substr(colon + 1), 1, 65535, n)) return bad(*v);
        cl.joinPort = static_cast<int>(n);
      }
      if (host.empty() || host.size() > 255) return bad(*v);
      cl.joinAddress = host;
    } else if (a == "--port") {
      auto v = value();
      if (!v) return std::nullopt;
      if (!ParseLong(*v, 1, 65535, n)) return bad(*v);
      cl.port = static_cast<int>(n);
    } else if (a == "--shots") {
      auto v = value();
      if (!v) return std::nullopt;
      std::size_t start = 0;
      while (start <= v->size()) {
        auto comma = v->find(',', start);
        std::string item = v->substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!ParseLong(item, 0, 0x7fffffffL, n)) return bad(*v);
        cl.shots.push_back(n);
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
    } else {
      error = "unknown option " + a + " (try --help)";
      return std::nullopt;
    }
  }
  if ((cl.hostSession ? 1 : 0) + (cl.joinAddress ? 1 : 0) + (cl.wizard ? 1 : 0) > 1) {
    error = "--multiplayer, --host and --join exclude each other";
    return std::nullopt;
  }
  if ((cl.record || cl.play) && cl.multiplayer()) {
    error = "demos are of single-player matches: --record and --play exclude a multiplayer game";
    return std::nullopt;
  }
  if (cl.record && cl.play) {
    error = "--record and --play exclude each other";
    return std::nullopt;
  }
  return cl;
}

}  // namespace halvex
