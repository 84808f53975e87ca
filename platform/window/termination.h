// SIGTERM, SIGINT and SIGHUP as requests to end, taken by the window thread's
// loops (the game's message loop, the launcher) rather than ending the
// process in the middle of whatever it was doing.
#pragma once

namespace halvex::platform {

// Installs the handlers (once; later calls do nothing). SDL is told to
// leave these signals alone. The first signal asks for the way a close
// ends the game, a second for the quick way out; a third ends the process
// at once (exit code 128 + the signal), for when nothing takes the requests.
void CatchTerminationSignals();

// How many termination signals arrived since the last call (0 when none).
int TakeTerminationRequests();

// True once any termination signal arrived (not consumed by the call).
bool TerminationRequested();

}  // namespace halvex::platform
