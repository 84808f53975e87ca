#include "net/wizard/lobby_link.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace halvex::net {

namespace {

// A lobby that connects and then says nothing must not hold a place for good.
constexpr std::int64_t kClientPatienceMs = 5000;
constexpr std::size_t kMaxClients = 4;

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool PrintableText(std::string_view s) {
  for (unsigned char c : s) {
    if (c < 0x20 || c == 0x7f) return false;
  }
  return true;
}

bool AddressCharacters(std::string_view s) {
  for (char c : s) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '.' || c == '-' || c == ':' || c == '_' || c == '%';
    if (!ok) return false;
  }
  return true;
}

bool ParsePort(std::string_view s, std::uint16_t* port) {
  if (s.empty() || s.size() > 5) return false;
  unsigned value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > 65535) return false;
  *port = static_cast<std::uint16_t>(value);
  return true;
}

bool MakeAddress(const std::string& path, sockaddr_un* addr, std::string* error) {
  std::memset(addr, 0, sizeof *addr);
  addr->sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof addr->sun_path) {
    if (error) *error = "socket path too long: " + path;
    return false;
  }
  std::memcpy(addr->sun_path, path.c_str(), path.size() + 1);
  return true;
}

bool Fail(std::string* error, std::string text) {
  if (error) *error = std::move(text);
  return false;
}

}  // namespace

std::string LobbySocketPath() {
  const std::string file = "halvex-lobby-" + std::to_string(static_cast<unsigned long>(getuid())) + ".sock";
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && runtime[0] == '/') return std::string(runtime) + "/" + file;
  return "/tmp/" + file;
}

bool SplitHostPort(std::string_view text, std::string* address, std::uint16_t* port) {
  std::string_view host = text;
  std::uint16_t p = 0;
  if (!text.empty() && text.front() == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) return false;
    host = text.substr(1, close - 1);
    std::string_view rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':' || !ParsePort(rest.substr(1), &p)) return false;
    }
  } else if (std::count(text.begin(), text.end(), ':') == 1) {
    const std::size_t colon = text.find(':');
    host = text.substr(0, colon);
    if (!ParsePort(text.substr(colon + 1), &p)) return false;
  }
  if (host.empty() || host.size() > kLobbyAddressMax || !AddressCharacters(host)) return false;
  *address = std::string(host);
  *port = p;
  return true;
}

std::string FormatLobbyMessage(const LobbySettings& s) {
  std::string m = kLobbyMagic;
  m += "\nhost ";
  m += s.host ? "1" : "0";
  if (!s.address.empty()) m += "\naddress " + s.address;
  m += "\nport " + std::to_string(s.port);
  if (!s.playerName.empty()) m += "\nname " + s.playerName;
  if (!s.sessionName.empty()) m += "\nsession " + s.sessionName;
  m += "\nend\n";
  return m;
}

bool ParseLobbyMessage(std::string_view text, LobbySettings* out, std::string* error) {
  if (text.size() > kLobbyMessageMax) return Fail(error, "message too long");
  LobbySettings s;
  bool seenHost = false, seenAddress = false, seenPort = false, seenName = false, seenSession = false;
  bool first = true, ended = false;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t newline = text.find('\n', at);
    if (newline == std::string_view::npos) return Fail(error, "incomplete message");
    std::string_view line = text.substr(at, newline - at);
    at = newline + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (ended) return Fail(error, "data after the end of the message");
    if (!PrintableText(line)) return Fail(error, "control characters in the message");
    if (first) {
      if (line != kLobbyMagic) return Fail(error, "not a lobby message");
      first = false;
      continue;
    }
    if (line == "end") {
      ended = true;
      continue;
    }
    const std::size_t space = line.find(' ');
    const std::string_view key = line.substr(0, space);
    const std::string_view value = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
    auto once = [&](bool& seen) {
      if (seen) return false;
      seen = true;
      return true;
    };
    if (key == "host") {
      if (!once(seenHost)) return Fail(error, "host given twice");
      if (value != "0" && value != "1") return Fail(error, "bad host flag");
      s.host = value == "1";
    } else if (key == "address") {
      if (!once(seenAddress)) return Fail(error, "address given twice");
      if (value.empty() || value.size() > kLobbyAddressMax || !AddressCharacters(value)) {
        return Fail(error, "bad address");
      }
      s.address = std::string(value);
    } else if (key == "port") {
      if (!once(seenPort)) return Fail(error, "port given twice");
      if (!ParsePort(value, &s.port)) return Fail(error, "bad port");
    } else if (key == "name") {
      if (!once(seenName)) return Fail(error, "name given twice");
      if (value.size() > kLobbyTextMax) return Fail(error, "player name too long");
      if (!value.empty()) s.playerName = std::string(value);
    } else if (key == "session") {
      if (!once(seenSession)) return Fail(error, "session given twice");
      if (value.size() > kLobbyTextMax) return Fail(error, "session name too long");
      s.sessionName = std::string(value);
    } else {
      return Fail(error, "unknown setting");
    }
  }
  if (first) return Fail(error, "empty message");
  if (!ended) return Fail(error, "incomplete message");
  if (!seenHost) return Fail(error, "no host flag");
  if (!s.host && s.address.empty()) return Fail(error, "no address to join");
  if (s.host && s.sessionName.empty()) s.sessionName = s.playerName + "'s Game";
  *out = std::move(s);
  return true;
}

bool DeliverLobbySettings(const std::string& path, const LobbySettings& settings, int timeoutMs,
                          std::string* error) {
  sockaddr_un addr;
  if (!MakeAddress(path, &addr, error)) return false;
  const std::string message = FormatLobbyMessage(settings);
  if (message.size() > kLobbyMessageMax) return Fail(error, "settings too long");
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return Fail(error, std::string("socket: ") + std::strerror(errno));
  struct Closer {
    int fd;
    ~Closer() { close(fd); }
  } closer{fd};
  if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    const int e = errno;
    if (e == ENOENT || e == ECONNREFUSED) return Fail(error, "no game is waiting for a lobby connection at " + path);
    return Fail(error, "connect " + path + ": " + std::strerror(e));
  }
  for (std::size_t sent = 0; sent < message.size();) {
    const ssize_t n = send(fd, message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Fail(error, std::string("send: ") + std::strerror(errno));
    }
    sent += static_cast<std::size_t>(n);
  }
  const std::int64_t deadline = NowMs() + timeoutMs;
  std::string reply;
  while (reply.find('\n') == std::string::npos && reply.size() < 256) {
    const std::int64_t left = deadline - NowMs();
    if (left <= 0) return Fail(error, "the game did not answer");
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(left));
    if (ready < 0 && errno != EINTR) return Fail(error, std::string("poll: ") + std::strerror(errno));
    if (ready <= 0) continue;
    char buffer[256];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    reply.append(buffer, static_cast<std::size_t>(n));
  }
  const std::string line = reply.substr(0, reply.find('\n'));
  if (line == "OK") return true;
  if (line.rfind("ERROR ", 0) == 0) return Fail(error, "the game refused the settings: " + line.substr(6));
  return Fail(error, "no answer from the game");
}

LobbyLink::LobbyLink(std::string path) : path_(std::move(path)) {}

LobbyLink::~LobbyLink() { Close(); }

bool LobbyLink::Listen(std::string* error) {
  if (listenFd_ >= 0) return true;
  sockaddr_un addr;
  if (!MakeAddress(path_, &addr, error)) return false;
  struct stat st;
  if (lstat(path_.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) return Fail(error, path_ + " exists and is not a socket");
    // A socket file stays behind when a game dies while waiting; one that
    // still answers belongs to a game that waits now.
    const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0) return Fail(error, std::string("socket: ") + std::strerror(errno));
    const bool alive = connect(probe, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
    close(probe);
    if (alive) return Fail(error, "another game is already waiting for a lobby connection");
    unlink(path_.c_str());
  }
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return Fail(error, std::string("socket: ") + std::strerror(errno));
  if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    const int e = errno;
    close(fd);
    return Fail(error, "bind " + path_ + ": " + std::strerror(e));
  }
  chmod(path_.c_str(), S_IRUSR | S_IWUSR);
  if (listen(fd, 4) != 0) {
    const int e = errno;
    close(fd);
    unlink(path_.c_str());
    return Fail(error, std::string("listen: ") + std::strerror(e));
  }
  listenFd_ = fd;
  return true;
}

void LobbyLink::Close() {
  for (Client& c : clients_) close(c.fd);
  clients_.clear();
  if (listenFd_ >= 0) {
    close(listenFd_);
    listenFd_ = -1;
    unlink(path_.c_str());
  }
}

void LobbyLink::Accept() {
  for (;;) {
    const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    // Only this user's lobby may tell the game where to connect.
    ucred cred{};
    socklen_t len = sizeof cred;
    const bool sameUser = getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 && cred.uid == geteuid();
    if (!sameUser || clients_.size() >= kMaxClients) {
      ++refused_;
      close(fd);
      continue;
    }
    clients_.push_back({fd, {}, NowMs()});
  }
}

void LobbyLink::Answer(Client& client, const std::string& line) {
  send(client.fd, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  close(client.fd);
  client.fd = -1;
}

bool LobbyLink::Read(Client& client, std::optional<LobbySettings>* settings) {
  bool closed = false;
  for (;;) {
    char buffer[512];
    const ssize_t n = recv(client.fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n > 0) {
      client.received.append(buffer, static_cast<std::size_t>(n));
      if (client.received.size() > kLobbyMessageMax) break;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    closed = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
    break;
  }
  std::string error;
  if (client.received.size() > kLobbyMessageMax) {
    error = "message too long";
  } else {
    const bool complete = client.received.find("\nend\n") != std::string::npos;
    if (!complete && !closed) {
      if (NowMs() - client.acceptedMs <= kClientPatienceMs) return false;
      error = "no complete message in time";
    } else {
      LobbySettings parsed;
      if (ParseLobbyMessage(client.received, &parsed, &error)) {
        Answer(client, "OK\n");
        *settings = std::move(parsed);
        return true;
      }
    }
  }
  ++refused_;
  Answer(client, "ERROR " + error + "\n");
  return true;
}

std::optional<LobbySettings> LobbyLink::Poll(int waitMs) {
  if (listenFd_ < 0) return std::nullopt;
  std::vector<pollfd> fds;
  fds.push_back({listenFd_, POLLIN, 0});
  for (const Client& c : clients_) fds.push_back({c.fd, POLLIN, 0});
  if (poll(fds.data(), fds.size(), waitMs < 0 ? 0 : waitMs) < 0 && errno != EINTR) return std::nullopt;
  Accept();
  std::optional<LobbySettings> settings;
  for (Client& c : clients_) {
    if (settings) break;
    Read(c, &settings);
  }
  std::erase_if(clients_, [](const Client& c) { return c.fd < 0; });
  return settings;
}

}  // namespace halvex::net
