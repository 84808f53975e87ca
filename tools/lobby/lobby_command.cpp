#include "tools/lobby/lobby_command.h"

#include <cstdlib>

namespace halvex::lobby {

namespace {

bool Fail(std::string* error, std::string text) {
  *error = std::move(text);
  return false;
}

bool GoodText(const std::string& text) {
  if (text.empty() || text.size() > net::kLobbyTextMax) return false;
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7f) return false;
  }
  return true;
}

bool ParseNumber(const std::string& text, long max, long* out) {
  if (text.empty() || text.size() > 9) return false;
  long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value > max) return false;
  *out = value;
  return true;
}

}  // namespace

bool ParseLobbyCommand(const std::vector<std::string>& args, LobbyCommand* out, std::string* error) {
  LobbyCommand c;
  bool host = false, join = false, port = false, action = false;
  std::string joinText;
  auto setAction = [&](LobbyCommand::Action a) {
    if (action) return false;
    action = true;
    c.action = a;
    return true;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* v) {
      if (i + 1 >= args.size()) return false;
      *v = args[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      *out = LobbyCommand{};
      return true;
    } else if (a == "--host") {
      if (host || join || !value(&v)) return Fail(error, "--host needs one session name, and no --join");
      if (!GoodText(v)) return Fail(error, "bad session name");
      host = true;
      c.settings.host = true;
      c.settings.sessionName = v;
    } else if (a == "--join") {
      if (host || join || !value(&v)) return Fail(error, "--join needs one address, and no --host");
      if (!net::SplitHostPort(v, &c.settings.address, &c.settings.port)) return Fail(error, "bad address: " + v);
      join = true;
      joinText = v;
    } else if (a == "--name") {
      if (c.nameGiven || !value(&v)) return Fail(error, "--name needs one player name");
      if (!GoodText(v)) return Fail(error, "bad player name");
      c.nameGiven = true;
      c.settings.playerName = v;
    } else if (a == "--port") {
      long n = 0;
      if (port || !value(&v) || !ParseNumber(v, 65535, &n) || n == 0) return Fail(error, "--port needs a port, 1 to 65535");
      port = true;
      c.settings.port = static_cast<std::uint16_t>(n);
    } else if (a == "--socket") {
      if (!c.socketPath.empty() || !value(&v) || v.empty()) return Fail(error, "--socket needs a path");
      c.socketPath = v;
    } else if (a == "--timeout") {
      long n = 0;
      if (!value(&v) || !ParseNumber(v, 600000, &n) || n == 0) return Fail(error, "--timeout needs milliseconds");
      c.timeoutMs = static_cast<int>(n);
    } else if (a == "--deliver") {
      if (!setAction(LobbyCommand::Action::kDeliver)) return Fail(error, "one of --launch, --deliver, --print");
    } else if (a == "--print") {
      if (!setAction(LobbyCommand::Action::kPrint)) return Fail(error, "one of --launch, --deliver, --print");
    } else if (a == "--launch") {
      if (!setAction(LobbyCommand::Action::kLaunch)) return Fail(error, "one of --launch, --deliver, --print");
      if (i + 1 >= args.size()) return Fail(error, "--launch needs the game to start");
      c.game.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      break;
    } else {
      return Fail(error, "unknown argument: " + a);
    }
  }
  if (!host && !join) return Fail(error, "--host or --join is needed");
  if (!action) return Fail(error, "one of --launch, --deliver, --print is needed");
  if (join && port) {
    // A port in the address and another in --port would contradict.
    std::string address;
    std::uint16_t inAddress = 0;
    net::SplitHostPort(joinText, &address, &inAddress);
    if (inAddress != 0) return Fail(error, "the port is given twice");
  }
  if (c.action != LobbyCommand::Action::kDeliver && (!c.socketPath.empty())) {
    return Fail(error, "--socket goes with --deliver");
  }
  if (c.socketPath.empty()) c.socketPath = net::LobbySocketPath();
  *out = std::move(c);
  return true;
}

std::vector<std::string> GameArguments(const LobbyCommand& c) {
  std::vector<std::string> args;
  const net::LobbySettings& s = c.settings;
  if (s.host) {
    args = {"--host", s.sessionName};
    if (s.port != 0) args.insert(args.end(), {"--port", std::to_string(s.port)});
  } else {
    std::string address = s.address.find(':') != std::string::npos ? "[" + s.address + "]" : s.address;
    if (s.port != 0) address += ":" + std::to_string(s.port);
    args = {"--join", address};
  }
  if (c.nameGiven) args.insert(args.end(), {"--name", s.playerName});
  return args;
}

}  // namespace halvex::lobby
