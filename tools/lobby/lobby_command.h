// halvex_lobby's command line, and the game's command line it makes.
#pragma once

#include <string>
#include <vector>

#include "net/wizard/lobby_link.h"

namespace halvex::lobby {

struct LobbyCommand {
  enum class Action { kLaunch, kDeliver, kPrint, kHelp };
  Action action = Action::kHelp;
  net::LobbySettings settings;
  bool nameGiven = false;
  std::string socketPath;      // --deliver: where the game waits
  int timeoutMs = 5000;        // --deliver: how long to wait for the game's answer
  std::vector<std::string> game;  // --launch: the game and arguments of its own
};

inline constexpr char kLobbyUsage[] =
    "usage: halvex_lobby (--host SESSION | --join ADDRESS[:PORT]) [--name NAME] [--port PORT]\n"
    "                    (--launch GAME [GAME ARGUMENTS...] | --deliver [--socket PATH] [--timeout MS]\n"
    "                     | --print)\n"
    "  --launch   starts GAME with the connection on its command line\n"
    "  --deliver  hands the connection to a game waiting in \"Lobby Connection Status\"\n"
    "  --print    prints the game's arguments, one a line\n";

// False with the reason for a command line that makes no sense. Everything
// after --launch GAME belongs to the game.
bool ParseLobbyCommand(const std::vector<std::string>& args, LobbyCommand* command, std::string* error);

// The game's arguments for the settings (without the program):
// --host SESSION [--port N] [--name NAME], or --join ADDRESS[:PORT] [--name NAME].
std::vector<std::string> GameArguments(const LobbyCommand& command);

}  // namespace halvex::lobby
