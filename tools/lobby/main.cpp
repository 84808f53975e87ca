// halvex_lobby: starts the game with a multiplayer connection already
// chosen, or hands that connection to a game that waits for a lobby.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/lobby/lobby_command.h"

int main(int argc, char** argv) {
  using halvex::lobby::LobbyCommand;
  LobbyCommand command;
  std::string error;
  if (!halvex::lobby::ParseLobbyCommand(std::vector<std::string>(argv + 1, argv + argc), &command, &error)) {
    std::fprintf(stderr, "halvex_lobby: %s\n%s", error.c_str(), halvex::lobby::kLobbyUsage);
    return 2;
  }
  switch (command.action) {
    case LobbyCommand::Action::kHelp:
      std::fputs(halvex::lobby::kLobbyUsage, stdout);
      return 0;
    case LobbyCommand::Action::kPrint:
      for (const std::string& a : halvex::lobby::GameArguments(command)) std::printf("%s\n", a.c_str());
      return 0;
    case LobbyCommand::Action::kDeliver:
      if (!halvex::net::DeliverLobbySettings(command.socketPath, command.settings, command.timeoutMs, &error)) {
        std::fprintf(stderr, "halvex_lobby: %s\n", error.c_str());
        return 1;
      }
      return 0;
    case LobbyCommand::Action::kLaunch: {
      // The game's own arguments come after the connection's, so a player's
      // extra options (--trace, ...) still reach it.
      std::vector<std::string> args = {command.game.front()};
      for (const std::string& a : halvex::lobby::GameArguments(command)) args.push_back(a);
      args.insert(args.end(), command.game.begin() + 1, command.game.end());
      std::vector<char*> raw;
      for (std::string& a : args) raw.push_back(a.data());
      raw.push_back(nullptr);
      execvp(raw[0], raw.data());
      std::fprintf(stderr, "halvex_lobby: cannot start %s: %s\n", raw[0], std::strerror(errno));
      return 1;
    }
  }
  return 1;
}
