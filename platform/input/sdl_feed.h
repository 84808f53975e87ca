// The window thread's side of the input layer: the only entry points that
// take SDL types. Game code includes platform/input/input.h instead.
#pragma once

union SDL_Event;

namespace halvex::input {

// Call for every SDL event the window thread pumps (thread-safe). Keyboard,
// mouse and window focus events update the shared input state; all others
// are ignored.
void HandleEvent(const SDL_Event& event);

// Call on the window thread once per pump: applies the relative (exclusive)
// mouse mode that the game thread asked for by acquiring or unacquiring an
// exclusive mouse. SDL wants that switch on the thread that owns the window.
void ApplyInputRequests();

// Maps an SDL scan code to a DirectInput scan code; 0 for keys DirectInput
// has no code for.
unsigned char DikFromScancode(int sdlScancode);

}  // namespace halvex::input
