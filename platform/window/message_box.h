// Message boxes. In a non-interactive run nobody can answer, so a box prints
// its text on stderr and takes its default answer at once.
#pragma once

#include <string>

struct SDL_Window;

namespace halvex::platform {

enum class MessageBoxButtons { Ok, YesNo };
enum class MessageBoxAnswer { Ok, Yes, No };

void SetMessageBoxesInteractive(bool interactive);
bool MessageBoxesInteractive();

// Blocks until answered. defaultAnswer is what a non-interactive run (or a
// desktop that cannot show the box) takes.
MessageBoxAnswer ShowMessageBox(const std::string& title, const std::string& text,
                                MessageBoxButtons buttons, MessageBoxAnswer defaultAnswer,
                                SDL_Window* owner = nullptr);

}  // namespace halvex::platform
