// What a network match needs of the session: sending a game message to every
// peer, and the figures the scoreboard shows. The game holds this interface
// only, so a match can run against a fake in tests.
#pragma once

#include <cstdint>
#include <string>

#include "net/protocol/wire.h"

namespace halvex::net {

class MatchNetwork {
 public:
  virtual ~MatchNetwork() = default;
  // Numbers the message and sends it to every other peer with its kind's
  // send parameters. False (and nothing sent) without a session.
  virtual bool Send(MessageBody body) = 0;
  // Half the measured round trip to a player, in milliseconds; 0 while unknown.
  virtual int PingMs(std::uint32_t playerId) const = 0;
  virtual std::string SessionName() const = 0;
  virtual int PlayerCount() const = 0;  // the local player included
  // What the receiving side did last ("Waiting...", "Receive: <name>").
  virtual std::string StatusText() const = 0;
};

}  // namespace halvex::net
