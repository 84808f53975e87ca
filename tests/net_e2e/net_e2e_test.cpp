// Real game processes, headless, meeting in one session on 127.0.0.1: they
// join through the command line, play from scripts and report what they
// know of each other through --trace.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/window_e2e/game_process.h"

namespace halvex::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kStartMs = 120000;  // loading on a loaded machine, sanitizer build
constexpr int kNewsMs = 30000;    // a message crossing the session

fs::path BinaryDir() {
  const char* dir = std::getenv("HALVEX_BINARY_DIR");
  return dir ? fs::path(dir) : fs::current_path();
}

// A port for this test's host: distinct per process so that parallel runs
// of the suite do not meet each other's sessions, and below the range the
// system hands out to sockets that ask for any port.
std::uint16_t TestPort(int offset) {
  return static_cast<std::uint16_t>(20000 + (::getpid() * 7 + offset * 131) % 12000);
}

// Resident memory of a process, in KiB.
long ResidentKiB(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

class Peer {
 public:
  Peer(const fs::path& root, const std::string& name) : name_(name), work_(root / name) {
    fs::create_directories(work_ / "cfg");
  }
  bool Start(std::vector<std::string> how, const std::string& script, double seconds, int fps) {
    std::ofstream(work_ / "script.txt") << script;
    std::vector<std::string> args = {"--headless", "--trace", "--seed", "5", "--max-fps", std::to_string(fps),
                                     "--seconds", std::to_string(seconds), "--name", name_,
                                     "--config-dir", (work_ / "cfg").string(),
                                     "--content", (BinaryDir() / "bin" / "content").string(),
                                     "--script", (work_ / "script.txt").string()};
    args.insert(args.end(), how.begin(), how.end());
    return process_.Start(BinaryDir() / "bin" / "halvex", args, "", work_);
  }
  // Waits for a line holding text; returns whether it came.
  bool Saw(const std::string& text, int timeoutMs = kNewsMs, std::size_t from = 0) {
    return process_.WaitForLine(text, timeoutMs, from).has_value();
  }
  // The port this peer's session listens on, from its start-up line.
  int Port() {
    if (!process_.WaitForLine(" on port ", kStartMs)) return 0;
    std::smatch m;
    const std::string out = process_.Output();
    return std::regex_search(out, m, std::regex(" on port (\\d+)")) ? std::stoi(m[1]) : 0;
  }
  // The last thing this peer printed about another player: "frags F time T spectator S pos X Y Z".
  std::string LastAbout(const std::string& other) {
    const std::string out = process_.Output();
    const std::string key = "trace: peer " + other + " frags ";
    const std::size_t at = out.rfind(key);
    if (at == std::string::npos) return {};
    return out.substr(at + key.size() - 6, out.find('\n', at) - at - key.size() + 6);
  }
  std::string Report() const { return "--- " + name_ + " stdout ---\n" + Tail(process_.Output()) +
                                      "--- stderr ---\n" + Tail(process_.Errors()); }
  GameProcess& process() { return process_; }
  const std::string& name() const { return name_; }

 private:
  static std::string Tail(const std::string& t) { return t.size() > 2500 ? t.substr(t.size() - 2500) : t; }
  std::string name_;
  fs::path work_;
  GameProcess process_;
};

class NetE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    // In a sanitizer build freed memory is held back for a while; keep that
    // small so that the games' resident memory says what they really keep.
    if (const char* asan = std::getenv("ASAN_OPTIONS"))
      ::setenv("ASAN_OPTIONS", (std::string(asan) + ":quarantine_size_mb=4").c_str(), 1);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = fs::temp_directory_path() / ("halvex-net-e2e-" + std::to_string(::getpid()) + "-" + info->name());
    fs::remove_all(root_);
    ASSERT_TRUE(fs::exists(BinaryDir() / "bin" / "content" / "system" / "worlds.txt")) << "content pack not built";
  }
  void TearDown() override {
    if (HasFailure())
      for (auto& p : peers_) std::cerr << p->Report();
    peers_.clear();
    fs::remove_all(root_);
  }
  Peer& Add(const std::string& name) {
    peers_.push_back(std::make_unique<Peer>(root_, name));
    return *peers_.back();
  }
  void ExpectCleanEnd(Peer& p, int timeoutMs) {
    const auto code = p.process().WaitExit(timeoutMs);
    ASSERT_TRUE(code) << p.name() << " did not end";
    EXPECT_EQ(*code, 0) << p.name();
    EXPECT_EQ(p.process().Errors().find("ERROR: AddressSanitizer"), std::string::npos) << p.Report();
    EXPECT_EQ(p.process().Errors().find("runtime error"), std::string::npos) << p.Report();
  }

  fs::path root_;
  std::vector<std::unique_ptr<Peer>> peers_;
};

TEST_F(NetE2E, TwoPlayersSeeEachOthersMovesShotsStatusAndChat) {
  const std::string port = std::to_string(TestPort(1));
  Peer& host = Add("Hosty");
  // Into the battle, a half turn, a line of chat once the other has surely
  // joined, then fire at the other, who stands behind where we started.
  ASSERT_TRUE(host.Start({"--host", "Duel", "--port", port},
                         "20 down F12\n22 up F12\n100 mouse 819 0\n400 say hello from the host\n450 button 0 1\n", 45,
                         30));
  ASSERT_TRUE(host.Saw("trace: match running", kStartMs));
  Peer& guest = Add("Guest");
  ASSERT_TRUE(guest.Start({"--join", "127.0.0.1:" + port},
                          "20 down F12\n22 up F12\n40 down S\n50 up S\n60 say hi host\n"
                          "160 button 0 1\n170 button 0 0\n",
                          35, 30));
  ASSERT_TRUE(guest.Saw("trace: match running", kStartMs));

  EXPECT_TRUE(host.Saw("trace: joined Guest"));
  EXPECT_TRUE(guest.Saw("trace: joined Hosty")) << "the joiner meets the players already there";
  EXPECT_TRUE(host.Saw("trace: message Guest: hi host")) << "chat crosses the session";
  EXPECT_TRUE(guest.Saw("trace: message Hosty: hello from the host"));
  EXPECT_TRUE(host.Saw("trace: shot from Guest")) << "shots are sent";
  // Status once a second: the guest's spectator flag and connection time.
  ASSERT_TRUE(host.Saw("trace: peer Guest frags 0 time ", kNewsMs));
  std::this_thread::sleep_for(3s);
  std::istringstream about(host.LastAbout("Guest"));
  std::string word;
  int frags = -1, time = -1, spectator = -1;
  float x = 0, y = 0, z = 0;
  about >> word >> frags >> word >> time >> word >> spectator >> word >> x >> y >> z;
  EXPECT_EQ(frags, 0);
  EXPECT_GT(time, 1000) << "status carries the guest's time in the match";
  EXPECT_EQ(spectator, 0) << "status carries the guest's spectator flag";
  EXPECT_LT(z, -20.0f) << "movement moved the guest's body back from the start: " << about.str();
  EXPECT_FLOAT_EQ(x, 0.0f) << about.str();

  // The host's shots frag the guest's body on the host's machine; the frag
  // reaches the guest with the host's status.
  EXPECT_TRUE(host.Saw("me frags 1", 60000));
  EXPECT_TRUE(guest.Saw("trace: peer Hosty frags 1 ", 60000)) << "frags are counted on every machine";

  ExpectCleanEnd(guest, 120000);
  EXPECT_TRUE(host.Saw("trace: left Guest"));
  ExpectCleanEnd(host, 120000);
}

TEST_F(NetE2E, EightPlayersMeshTheHostLeavesAnotherTakesOverAndANewcomerJoins) {
  const std::string port = std::to_string(TestPort(2));
  constexpr int kFps = 15;  // eight games share two cores
  Peer& host = Add("P0");
  ASSERT_TRUE(host.Start({"--host", "Crowd", "--port", port}, "", 35, kFps));
  ASSERT_TRUE(host.Saw("trace: match running", kStartMs));
  std::vector<Peer*> others;
  for (int i = 1; i < 7; ++i) {
    Peer& p = Add("P" + std::to_string(i));
    ASSERT_TRUE(p.Start({"--join", "127.0.0.1:" + port}, "", 90, kFps));
    ASSERT_TRUE(p.Saw("trace: match running", kStartMs)) << p.Report();
    others.push_back(&p);
  }
  for (Peer* p : others) {
    for (int j = 0; j < 7; ++j) {
      const std::string name = "P" + std::to_string(j);
      if (name != p->name()) {
        EXPECT_TRUE(p->Saw("trace: joined " + name)) << p->name() << " never met " << name;
      }
    }
  }

  // The host's match ends; the oldest of the others answers for the session.
  ExpectCleanEnd(host, 120000);
  for (Peer* p : others) EXPECT_TRUE(p->Saw("trace: left P0")) << p->name();
  const int newHostPort = others[0]->Port();
  ASSERT_GT(newHostPort, 0);
  Peer& late = Add("P7");
  ASSERT_TRUE(late.Start({"--join", "127.0.0.1:" + std::to_string(newHostPort)}, "", 20, kFps));
  ASSERT_TRUE(late.Saw("trace: match running", kStartMs)) << "the new host admits joiners";
  for (Peer* p : others) EXPECT_TRUE(p->Saw("trace: joined P7")) << p->name() << " never met the newcomer";
  for (Peer* p : others) EXPECT_TRUE(late.Saw("trace: joined " + p->name()));

  // Memory stays flat while the match goes on.
  const long rssBefore = ResidentKiB(others[0]->process().pid());
  std::this_thread::sleep_for(10s);
  const long rssAfter = ResidentKiB(others[0]->process().pid());
  ASSERT_GT(rssBefore, 0);
  std::printf("resident memory of a peer: %ld KiB, 10 s later %ld KiB\n", rssBefore, rssAfter);
  EXPECT_LT(rssAfter - rssBefore, 8 * 1024) << "resident memory grew from " << rssBefore << " to " << rssAfter
                                            << " KiB";
  ExpectCleanEnd(late, 120000);
  for (Peer* p : others) ExpectCleanEnd(*p, 180000);
}

}  // namespace
}  // namespace halvex::test
