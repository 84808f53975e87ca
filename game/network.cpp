// The match's side of a network game: what arrives from the session (joins,
// leaves, checked messages) is applied on the game thread at the start of a
// frame, in arrival order; what the frame produces (movement, shots, status,
// chat) is sent from here.
#include "game/game.h"
#include "net/protocol/handle_message.h"
#include "sim/roster.h"

namespace halvex::game {

namespace {
// Far more than the peers of one match send between two frames (31 peers at
// a few hundred frames a second); beyond it messages are dropped, so a flood
// cannot grow memory while a frame takes long.
constexpr std::size_t kNetInboxLimit = 8192;
}  // namespace

void Game::QueueRosterChange(bool joined, std::uint32_t id, const std::string& name) {
  NetInboxEntry entry;
  entry.roster = true;
  entry.joined = joined;
  entry.id = id;
  entry.name = name;
  std::lock_guard lock(netMutex_);
  netInbox_.push_back(std::move(entry));  // never dropped: there are at most 31 others
}

void Game::QueueNetMessage(const std::string& sender, const net::GameMessage& message) {
  std::lock_guard lock(netMutex_);
  if (netMessagesWaiting_ >= kNetInboxLimit) {
    ++netMessagesDropped_;
    return;
  }
  NetInboxEntry entry;
  entry.name = sender;
  entry.message = message;
  netInbox_.push_back(std::move(entry));
  ++netMessagesWaiting_;
}

void Game::ApplyNetwork() {
  // Swapped with a kept, emptied queue: a frame with no messages allocates
  // nothing.
  std::deque<NetInboxEntry>& entries = netApplying_;
  {
    std::lock_guard lock(netMutex_);
    entries.swap(netInbox_);
    netMessagesWaiting_ = 0;
  }
  for (const NetInboxEntry& e : entries) {
    if (e.roster) {
      // Applied at once (this is the frame's first step), so a newcomer's
      // first messages already find its record.
      halvex::QueueRosterChange(*state_, e.joined, e.id, e.name);
      ApplyRosterChanges(*state_);
      Trace("%s %s", e.joined ? "joined" : "left", e.name.c_str());
      continue;
    }
    if (net::HandleMessage(*state_, e.name, e.message, *this, matchClock_->frameRate()) == net::Handled::kShot)
      Trace("shot from %s", e.name.c_str());
  }
  entries.clear();
  if (statusSendRequested_.exchange(false) && network_) {
    const auto matchMs = static_cast<std::uint32_t>(clock_->NowMs() - matchStartMs_);
    network_->Send(net::MakeStatus(*state_, matchMs));
  }
}

void Game::SendMovement() {
  if (network_) network_->Send(net::MakeMovement(*state_, static_cast<std::uint32_t>(clock_->NowMs())));
}

void Game::ShotFired(const ShotEvent& shot) {
  if (network_ && state_->flags.multiplayer) network_->Send(net::MakeShot(shot));
}

void Game::SendChatLine() {
  if (network_ && state_->flags.multiplayer) network_->Send(net::MakeChat(*state_));
}

}  // namespace halvex::game
