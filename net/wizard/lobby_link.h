// The game's side of a lobby launch. A lobby (halvex_lobby) either starts
// the game with the connection on its command line, or hands the settings
// to a game that already waits for it in "Lobby Connection Status": the
// game listens on a Unix-domain socket of the user's own, the lobby
// connects and writes one short message, the game answers "OK" or
// "ERROR <why>".
//
// The message is text, one "key value" per line, at most kLobbyMessageMax
// bytes in all:
//   HALVEX-LOBBY 1
//   host 1                  (1: create the game, 0: join one)
//   address 192.0.2.4       (join: the host's address; host: unused)
//   port 28960              (0 or absent: the default port)
//   name Player 1           (absent: "Unknown player name")
//   session Player 1's Game (host: the game's name)
//   end
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halvex::net {

struct LobbySettings {
  bool host = false;
  std::string address;  // the host to join; empty when hosting
  std::uint16_t port = 0;  // 0: peer::kDefaultPort
  std::string playerName = "Unknown player name";
  std::string sessionName;
};

inline constexpr char kLobbyMagic[] = "HALVEX-LOBBY 1";
inline constexpr std::size_t kLobbyMessageMax = 2048;
inline constexpr std::size_t kLobbyTextMax = 259;     // player and session names
inline constexpr std::size_t kLobbyAddressMax = 255;  // a host name at most

// $XDG_RUNTIME_DIR/halvex-lobby-<uid>.sock, or /tmp/halvex-lobby-<uid>.sock
// when the desktop gives no runtime folder.
std::string LobbySocketPath();

std::string FormatLobbyMessage(const LobbySettings& settings);
// False with the reason for anything but one complete, well-formed message.
bool ParseLobbyMessage(std::string_view text, LobbySettings* settings, std::string* error);

// "ADDRESS[:PORT]" (a bracketed IPv6 address may carry a port too). False
// for an empty address, a bad port or characters no address has.
bool SplitHostPort(std::string_view text, std::string* address, std::uint16_t* port);

// The lobby's side: hands the settings to the game waiting at `path` and
// waits up to timeoutMs for its answer. False with the reason when no game
// waits there or it refused them.
bool DeliverLobbySettings(const std::string& path, const LobbySettings& settings, int timeoutMs,
                          std::string* error);

// The game's side. Listen makes the game available to lobbies; Poll takes
// what they sent. Both on one thread.
class LobbyLink {
 public:
  explicit LobbyLink(std::string path = LobbySocketPath());
  ~LobbyLink();
  LobbyLink(const LobbyLink&) = delete;
  LobbyLink& operator=(const LobbyLink&) = delete;

  // Creates the socket (only this user may connect). Fails when another
  // game already waits on the same path.
  bool Listen(std::string* error);
  bool listening() const { return listenFd_ >= 0; }
  // Accepts lobby connections and reads what they wrote, waiting up to
  // waitMs for something to happen; the settings once a lobby delivered a
  // valid message. Bad messages are answered with an error and dropped,
  // and the wait goes on.
  std::optional<LobbySettings> Poll(int waitMs);
  // Stops listening and removes the socket. Idempotent.
  void Close();
  const std::string& path() const { return path_; }
  // How many deliveries were refused (tests).
  int refused() const { return refused_; }

 private:
  struct Client {
    int fd;
    std::string received;
    std::int64_t acceptedMs;
  };
  void Accept();
  // True when the client is done with (answered or gone).
  bool Read(Client& client, std::optional<LobbySettings>* settings);
  void Answer(Client& client, const std::string& line);

  std::string path_;
  int listenFd_ = -1;
  std::vector<Client> clients_;
  int refused_ = 0;
};

}  // namespace halvex::net
