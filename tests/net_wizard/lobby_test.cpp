// The lobby hand-over: the message, the game's waiting socket and the
// halvex_lobby tool.
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include "net/wizard/lobby_link.h"
#include "tools/lobby/lobby_command.h"

extern char** environ;

namespace halvex::net {
namespace {

using Clock = std::chrono::steady_clock;

TEST(LobbyMessageTest, SettingsSurviveTheMessage) {
  LobbySettings host;
  host.host = true;
  host.port = 40123;
  host.playerName = "Ragnhild Ås";
  host.sessionName = "Evening: 8 maps, no bots";
  LobbySettings parsed;
  std::string error;
  ASSERT_TRUE(ParseLobbyMessage(FormatLobbyMessage(host), &parsed, &error)) << error;
  EXPECT_TRUE(parsed.host);
  EXPECT_EQ(parsed.port, 40123);
  EXPECT_EQ(parsed.playerName, "Ragnhild Ås");
  EXPECT_EQ(parsed.sessionName, "Evening: 8 maps, no bots");

  LobbySettings join;
  join.address = "fe80::1%eth0";
  ASSERT_TRUE(ParseLobbyMessage(FormatLobbyMessage(join), &parsed, &error)) << error;
  EXPECT_FALSE(parsed.host);
  EXPECT_EQ(parsed.address, "fe80::1%eth0");
  EXPECT_EQ(parsed.port, 0);
}

TEST(LobbyMessageTest, MissingNamesGetTheirDefaults) {
  LobbySettings parsed;
  std::string error;
  ASSERT_TRUE(ParseLobbyMessage("HALVEX-LOBBY 1\nhost 0\naddress 127.0.0.1\nend\n", &parsed, &error)) << error;
  EXPECT_EQ(parsed.playerName, "Unknown player name");
  ASSERT_TRUE(ParseLobbyMessage("HALVEX-LOBBY 1\r\nhost 1\r\nname Eirik\r\nend\r\n", &parsed, &error)) << error;
  EXPECT_EQ(parsed.sessionName, "Eirik's Game");
}

TEST(LobbyMessageTest, MalformedMessagesAreRefused) {
  const std::string good = "HALVEX-LOBBY 1\nhost 0\naddress 127.0.0.1\nport 40000\nname N\nend\n";
  LobbySettings parsed;
  std::string error;
  ASSERT_TRUE(ParseLobbyMessage(good, &parsed, &error)) << error;
  const std::string bad[] = {
      "",
      "HALVEX-LOBBY 2\nhost 0\naddress 127.0.0.1\nend\n",
      "host 0\naddress 127.0.0.1\nend\n",
      "HALVEX-LOBBY 1\nhost 0\naddress 127.0.0.1\n",               // no end
      "HALVEX-LOBBY 1\nhost 0\naddress 127.0.0.1\nend",            // end line cut
      "HALVEX-LOBBY 1\nhost 0\nend\n",                             // nowhere to join
      "HALVEX-LOBBY 1\naddress 127.0.0.1\nend\n",                  // no host flag
      "HALVEX-LOBBY 1\nhost yes\naddress 127.0.0.1\nend\n",
      "HALVEX-LOBBY 1\nhost 0\nhost 1\naddress 127.0.0.1\nend\n",
      "HALVEX-LOBBY 1\nhost 0\naddress 127.0.0.1\nport 65536\nend\n",
      "HALVEX-LOBBY 1\nhost 0\naddress 127.0.0.1\nport -1\nend\n",
      "HALVEX-LOBBY 1\nhost 0\naddress 127.0.0.1\nport \nend\n",
      "HALVEX-LOBBY 1\nhost 0\naddress 127.0.0.1; rm\nend\n",
      "HALVEX-LOBBY 1\nhost 0\naddress 127.0.0.1\nname a\x01" "b\nend\n",
      "HALVEX-LOBBY 1\nhost 0\naddress 127.0.0.1\ncolour red\nend\n",
      "HALVEX-LOBBY 1\nhost 0\naddress 127.0.0.1\nend\nhost 1\n",  // more after the end
      "HALVEX-LOBBY 1\nhost 0\naddress 127.0.0.1\nname " + std::string(kLobbyTextMax + 1, 'n') + "\nend\n",
      "HALVEX-LOBBY 1\nhost 1\nsession " + std::string(kLobbyTextMax + 1, 's') + "\nend\n",
      good.substr(0, good.size() - 4) + "name " + std::string(kLobbyMessageMax, 'x') + "\nend\n",
  };
  for (const std::string& text : bad) {
    error.clear();
    EXPECT_FALSE(ParseLobbyMessage(text, &parsed, &error)) << text;
    EXPECT_FALSE(error.empty());
  }
}

TEST(LobbyMessageTest, AddressesWithAndWithoutPort) {
  std::string address;
  std::uint16_t port = 1;
  ASSERT_TRUE(SplitHostPort("127.0.0.1", &address, &port));
  EXPECT_EQ(address, "127.0.0.1");
  EXPECT_EQ(port, 0);
  ASSERT_TRUE(SplitHostPort("localhost:40001", &address, &port));
  EXPECT_EQ(address, "localhost");
  EXPECT_EQ(port, 40001);
  ASSERT_TRUE(SplitHostPort("[::1]:40002", &address, &port));
  EXPECT_EQ(address, "::1");
  EXPECT_EQ(port, 40002);
  ASSERT_TRUE(SplitHostPort("::1", &address, &port));
  EXPECT_EQ(address, "::1");
  EXPECT_EQ(port, 0);
  for (const char* bad : {"", ":40000", "127.0.0.1:", "127.0.0.1:70000", "[::1", "[::1]40000", "a b", "x:1a"}) {
    EXPECT_FALSE(SplitHostPort(bad, &address, &port)) << bad;
  }
}

class LobbyLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("halvex-lobby-test-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / "lobby.sock").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  int Connect() const {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path_.c_str(), sizeof addr.sun_path - 1);
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0) << std::strerror(errno);
    return fd;
  }
  // Sends raw bytes as a lobby would, then hangs up its sending side, and
  // returns the game's answer, polling the link meanwhile; whatever the
  // link took is left in `taken`.
  std::string Exchange(LobbyLink& link, const std::string& bytes, std::optional<LobbySettings>* taken) {
    const int fd = Connect();
    std::size_t sent = 0;
    std::string answer;
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < deadline) {
      if (sent < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) sent += static_cast<std::size_t>(n);
        if (n < 0 && errno != EAGAIN) sent = bytes.size();  // the game hung up
        if (sent == bytes.size()) shutdown(fd, SHUT_WR);
      }
      if (auto s = link.Poll(5)) *taken = s;
      char buffer[256];
      const ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
      if (n > 0) answer.append(buffer, static_cast<std::size_t>(n));
      if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) break;
    }
    close(fd);
    return answer;
  }

  std::filesystem::path dir_;
  std::string path_;
};

TEST_F(LobbyLinkTest, NothingDeliveredKeepsWaiting) {
  LobbyLink link(path_);
  std::string error;
  ASSERT_TRUE(link.Listen(&error)) << error;
  EXPECT_FALSE(link.Poll(0));
  // A lobby that has said only half of it yet.
  const int fd = Connect();
  const std::string half = "HALVEX-LOBBY 1\nhost 0\n";
  ASSERT_EQ(send(fd, half.data(), half.size(), MSG_NOSIGNAL), static_cast<ssize_t>(half.size()));
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(link.Poll(10));
  const std::string rest = "address 127.0.0.1\nend\n";
  ASSERT_EQ(send(fd, rest.data(), rest.size(), MSG_NOSIGNAL), static_cast<ssize_t>(rest.size()));
  std::optional<LobbySettings> settings;
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  while (!settings && Clock::now() < deadline) settings = link.Poll(10);
  close(fd);
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings->address, "127.0.0.1");
  EXPECT_EQ(link.refused(), 0);
}

TEST_F(LobbyLinkTest, GarbageAndOversizeAreRefusedAndTheWaitGoesOn) {
  LobbyLink link(path_);
  std::string error;
  ASSERT_TRUE(link.Listen(&error)) << error;
  std::optional<LobbySettings> taken;
  std::string answer = Exchange(link, "GET / HTTP/1.0\n\nend\n", &taken);
  EXPECT_EQ(answer.rfind("ERROR ", 0), 0u) << answer;
  answer = Exchange(link, "HALVEX-LOBBY 1\nname " + std::string(64 * 1024, 'x'), &taken);
  EXPECT_EQ(answer, "ERROR message too long\n");
  answer = Exchange(link, "HALVEX-LOBBY 1\nhost 0\n", &taken);  // and no more
  EXPECT_EQ(answer.rfind("ERROR ", 0), 0u) << answer;
  EXPECT_FALSE(taken);
  EXPECT_EQ(link.refused(), 3);
  EXPECT_TRUE(link.listening());

  LobbySettings good;
  good.host = true;
  good.sessionName = "After All That";
  answer = Exchange(link, FormatLobbyMessage(good), &taken);
  EXPECT_EQ(answer, "OK\n");
  ASSERT_TRUE(taken);
  EXPECT_EQ(taken->sessionName, "After All That");
}

TEST_F(LobbyLinkTest, OneGameWaitsPerPathAndAStaleSocketIsTakenOver) {
  std::string error;
  {
    LobbyLink first(path_);
    ASSERT_TRUE(first.Listen(&error)) << error;
    LobbyLink second(path_);
    EXPECT_FALSE(second.Listen(&error));
    EXPECT_NE(error.find("already waiting"), std::string::npos) << error;
    EXPECT_TRUE(std::filesystem::exists(path_));  // the second left the first alone
  }
  EXPECT_FALSE(std::filesystem::exists(path_));
  // A game that died while waiting leaves its socket file behind.
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path_.c_str(), sizeof addr.sun_path - 1);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  close(fd);
  ASSERT_TRUE(std::filesystem::exists(path_));
  LobbyLink third(path_);
  EXPECT_TRUE(third.Listen(&error)) << error;
  EXPECT_EQ(std::filesystem::status(path_).permissions() & std::filesystem::perms::others_all,
            std::filesystem::perms::none);

  // A file that is no socket is never removed.
  third.Close();
  { std::ofstream(path_) << "keep"; }
  LobbyLink fourth(path_);
  EXPECT_FALSE(fourth.Listen(&error));
  EXPECT_TRUE(std::filesystem::exists(path_));
}

TEST(LobbyPathTest, PerUserUnderTheRuntimeFolder) {
  const std::string uid = std::to_string(getuid());
  const char* old = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved = old ? old : "";
  setenv("XDG_RUNTIME_DIR", "/run/user/4242", 1);
  EXPECT_EQ(LobbySocketPath(), "/run/user/4242/halvex-lobby-" + uid + ".sock");
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(LobbySocketPath(), "/tmp/halvex-lobby-" + uid + ".sock");
  if (old) setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
}

// ------------------------------------------------------------ the tool

std::string LobbyTool() {
  const char* dir = std::getenv("HALVEX_BINARY_DIR");
  return std::string(dir ? dir : ".") + "/bin/halvex_lobby";
}

// Runs the tool and returns its exit status (-1 when it did not exit).
int RunTool(std::vector<std::string> args) {
  args.insert(args.begin(), LobbyTool());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(LobbyLinkTest, TheToolDeliversToTheWaitingGame) {
  ASSERT_TRUE(std::filesystem::exists(LobbyTool())) << LobbyTool();
  LobbyLink link(path_);
  std::string error;
  ASSERT_TRUE(link.Listen(&error)) << error;
  int status = -2;
  std::thread tool([&] {
    status = RunTool({"--join", "127.0.0.1:40777", "--name", "Eirik Blood", "--deliver", "--socket", path_});
  });
  std::optional<LobbySettings> settings;
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  while (!settings && Clock::now() < deadline) settings = link.Poll(10);
  tool.join();
  EXPECT_EQ(status, 0);
  ASSERT_TRUE(settings);
  EXPECT_FALSE(settings->host);
  EXPECT_EQ(settings->address, "127.0.0.1");
  EXPECT_EQ(settings->port, 40777);
  EXPECT_EQ(settings->playerName, "Eirik Blood");

  // With no game waiting the tool says so by its status.
  link.Close();
  EXPECT_EQ(RunTool({"--host", "Nobody Home", "--deliver", "--socket", path_}), 1);
  EXPECT_EQ(RunTool({"--host", "x", "--join", "127.0.0.1", "--deliver"}), 2);
}

// --launch starts the game with the connection first and the game's own
// arguments after it, each one intact.
TEST_F(LobbyLinkTest, TheToolLaunchesTheGameWithTheConnection) {
  const std::filesystem::path game = dir_ / "game";
  const std::filesystem::path out = dir_ / "arguments";
  {
    std::ofstream script(game);
    script << "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" << out.string() << "'\n";
  }
  std::filesystem::permissions(game, std::filesystem::perms::owner_all);
  ASSERT_EQ(RunTool({"--host", "Evening Match", "--name", "Ragnhild Ås", "--launch", game.string(), "--trace",
                     "two words"}),
            0);
  std::ifstream in(out);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{"--host", "Evening Match", "--name", "Ragnhild Ås", "--trace",
                                             "two words"}));
  EXPECT_EQ(RunTool({"--join", "127.0.0.1", "--launch", (dir_ / "missing").string()}), 1);
}

}  // namespace
}  // namespace halvex::net

namespace halvex::lobby {
namespace {

LobbyCommand Parse(std::vector<std::string> args) {
  LobbyCommand c;
  std::string error;
  EXPECT_TRUE(ParseLobbyCommand(args, &c, &error)) << error;
  return c;
}

TEST(LobbyCommandTest, GameCommandLines) {
  LobbyCommand host = Parse({"--host", "Evening Match", "--port", "40123", "--name", "Ragnhild", "--launch",
                             "/opt/halvex/halvex", "--port", "9", "--trace"});
  EXPECT_EQ(host.action, LobbyCommand::Action::kLaunch);
  EXPECT_EQ(GameArguments(host),
            (std::vector<std::string>{"--host", "Evening Match", "--port", "40123", "--name", "Ragnhild"}));
  // What follows the game belongs to the game.
  EXPECT_EQ(host.game, (std::vector<std::string>{"/opt/halvex/halvex", "--port", "9", "--trace"}));

  EXPECT_EQ(GameArguments(Parse({"--join", "192.0.2.4", "--port", "40001", "--print"})),
            (std::vector<std::string>{"--join", "192.0.2.4:40001"}));
  EXPECT_EQ(GameArguments(Parse({"--join", "[::1]:40002", "--name", "E", "--deliver"})),
            (std::vector<std::string>{"--join", "[::1]:40002", "--name", "E"}));
  EXPECT_EQ(GameArguments(Parse({"--deliver", "--join", "192.0.2.4"})),
            (std::vector<std::string>{"--join", "192.0.2.4"}));
}

TEST(LobbyCommandTest, ContradictionsAreRefused) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"--host", "A", "--join", "127.0.0.1", "--print"},
      {"--host", "A"},                                       // what to do with it?
      {"--host", "A", "--print", "--deliver"},
      {"--join", "127.0.0.1:40000", "--port", "40001", "--print"},
      {"--join", "127.0.0.1", "--port", "0", "--print"},
      {"--join", "127.0.0.1", "--port", "70000", "--print"},
      {"--join", "bad host", "--print"},
      {"--host", "", "--print"},
      {"--host", std::string(300, 's'), "--print"},
      {"--host", "A", "--name", "tab\there", "--print"},
      {"--host", "A", "--launch"},
      {"--host", "A", "--socket", "/tmp/x", "--print"},
      {"--host", "A", "--print", "--colour"},
  };
  for (const auto& args : bad) {
    LobbyCommand c;
    std::string error;
    EXPECT_FALSE(ParseLobbyCommand(args, &c, &error)) << ::testing::PrintToString(args);
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
}  // namespace halvex::lobby
