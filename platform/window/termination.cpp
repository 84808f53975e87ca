#include "platform/window/termination.h"

#include <SDL.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>

namespace halvex::platform {

namespace {

// Touched by the signal handler: lock-free integers only.
std::atomic<int> gPending{0};
std::atomic<int> gEver{0};
static_assert(std::atomic<int>::is_always_lock_free);

// A third signal means nothing is listening (a modal box, a hang): go.
constexpr int kForcedAfter = 3;
std::atomic<int> gTotal{0};

extern "C" void OnTerminationSignal(int sig) {
  gPending.fetch_add(1);
  gEver.store(1);
  if (gTotal.fetch_add(1) + 1 >= kForcedAfter) ::_exit(128 + sig);
}

}  // namespace

void CatchTerminationSignals() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  // SDL would turn these into a quit event of its own; the game has its own way out.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &action, nullptr);
}

int TakeTerminationRequests() { return gPending.exchange(0); }

bool TerminationRequested() { return gEver.load() != 0; }

}  // namespace halvex::platform
