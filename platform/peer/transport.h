// The transport library's host and addresses, set up the way every session
// uses them. Internal: game code never sees these types.
#pragma once

#include <enet/enet.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace halvex::peer::transport {

inline constexpr std::size_t kChannels = 2;
inline constexpr std::uint8_t kReliableChannel = 0;    // control messages and guaranteed sends, in order
inline constexpr std::uint8_t kUnreliableChannel = 1;  // pings and unguaranteed sends
// Every player's connection plus room for joiners still introducing themselves.
inline constexpr std::size_t kPeerSlots = 48;
// Small limits: no peer can make us reassemble or buffer much.
inline constexpr std::size_t kMaxPacketBytes = 4096;
inline constexpr std::size_t kMaxWaitingBytes = 256 * 1024;
// Messages a second taken from one peer: far above any honest rate, low
// enough that a flooding peer cannot starve the others.
inline constexpr double kFloodPerSecond = 4000;
inline constexpr double kFloodBurst = 2000;

// A host bound to every interface at `port` (0: any free port).
ENetHost* OpenHost(std::uint16_t port, std::string* error);
std::uint16_t BoundPort(ENetHost* host);

// A numeric IPv4 address or a host name (its first IPv4 address); an empty
// address is the local network's broadcast.
bool ParseAddress(const std::string& text, std::uint16_t port, ENetAddress* out);
std::string FormatIp(std::uint32_t ip);
// 127.x.x.x or 0.0.0.0: an address that only means something on the machine that saw it.
bool IsLocalOnly(std::uint32_t ip);

}  // namespace halvex::peer::transport
