#include "platform/peer/transport.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <mutex>

namespace halvex::peer::transport {

ENetHost* OpenHost(std::uint16_t port, std::string* error) {
  static std::once_flag once;
  static int initResult = 0;
  std::call_once(once, [] { initResult = enet_initialize(); });
  if (initResult != 0) {
    if (error) *error = "the network library failed to start";
    return nullptr;
  }
  ENetAddress address{};
  address.host = ENET_HOST_ANY;
  address.port = port;
  ENetHost* host = enet_host_create(&address, kPeerSlots, kChannels, 0, 0);
  if (host == nullptr) {
    if (error) *error = "cannot open UDP port " + std::to_string(port) + " (in use?)";
    return nullptr;
  }
  host->maximumPacketSize = kMaxPacketBytes;
  host->maximumWaitingData = kMaxWaitingBytes;
  // Queries may be broadcast on the local network.
  enet_socket_set_option(host->socket, ENET_SOCKOPT_BROADCAST, 1);
  return host;
}

std::uint16_t BoundPort(ENetHost* host) {
  ENetAddress bound{};
  if (enet_socket_get_address(host->socket, &bound) == 0) return bound.port;
  return host->address.port;
}

bool ParseAddress(const std::string& text, std::uint16_t port, ENetAddress* out) {
  out->port = port;
  if (text.empty()) {
    out->host = ENET_HOST_BROADCAST;
    return true;
  }
  in_addr parsed{};
  if (inet_pton(AF_INET, text.c_str(), &parsed) == 1) {
    out->host = parsed.s_addr;
    return true;
  }
  // A host name, as players type them: its first IPv4 address.
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (text.size() > 253 || getaddrinfo(text.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
  out->host = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
  freeaddrinfo(found);
  return true;
}

std::string FormatIp(std::uint32_t ip) {
  char text[INET_ADDRSTRLEN] = {};
  in_addr a{};
  a.s_addr = ip;
  if (inet_ntop(AF_INET, &a, text, sizeof text) == nullptr) return {};
  return text;
}

bool IsLocalOnly(std::uint32_t ip) {
  std::uint32_t hostOrder = ntohl(ip);
  return hostOrder == 0 || (hostOrder >> 24) == 127;
}

}  // namespace halvex::peer::transport
