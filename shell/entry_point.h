// The program's start: options, settings, the launcher, the main window and
// the game thread, and the one way out through the window thread's quit.
#pragma once

#include <string>
#include <vector>

#include "launcher/settings.h"
#include "shell/command_line.h"

namespace halvex {

// The content directory: --content, else the first of the working
// directory, the folder beside the executable's bin/, the executable's own
// folder and the installed share/halvex that holds system/worlds.txt.
// Empty when none does.
std::string LocateContent(const CommandLine& cl, const std::string& executablePath);

// Applies the command line's one-run overrides to Settings (after the
// launcher or the stored values), re-deriving what depends on them.
// Returns false with a reason when an override names something unknown.
bool ApplyOverrides(const CommandLine& cl, const std::vector<std::string>& areas,
                    Settings& settings, std::string& error);

// The whole program; returns the process exit code.
int RunHalvex(const std::vector<std::string>& args, const std::string& executablePath);

}  // namespace halvex
