// Message boxes. In a non-interactive run nobody can answer, and with no
// display nobody can see one, so a box prints its text on stderr and takes
// its default answer at once.
#pragma once

#include <cstddef>
#include <string>

struct SDL_Window;

namespace halvex::platform {

enum class MessageBoxButtons { Ok, YesNo };
enum class MessageBoxAnswer { Ok, Yes, No };

void SetMessageBoxesInteractive(bool interactive);
bool MessageBoxesInteractive();

// The text with line breaks at blanks so that no line is longer than
// `columns` (a word longer than that gets a line of its own): the desktop's
// box does not wrap, and a long paragraph would run off the screen.
std::string WrapMessageText(const std::string& text, std::size_t columns = 72);

// Blocks until answered; the text is wrapped for display. defaultAnswer is what a non-interactive run (or a
// desktop that cannot show the box) takes.
MessageBoxAnswer ShowMessageBox(const std::string& title, const std::string& text,
                                MessageBoxButtons buttons, MessageBoxAnswer defaultAnswer,
                                SDL_Window* owner = nullptr);

}  // namespace halvex::platform
