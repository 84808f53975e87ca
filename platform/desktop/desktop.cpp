#include "platform/desktop/desktop.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

extern char** environ;

namespace halvex::platform {

namespace {

// Runs argv with stdout captured; returns the exit status, or -1 when the
// program could not be started.
int RunCaptured(std::vector<std::string> args, std::string& output) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (rc != 0) {
    ::close(pipeFds[0]);
    return -1;
  }
  char buf[1024];
  ssize_t n;
  while ((n = ::read(pipeFds[0], buf, sizeof buf)) > 0) output.append(buf, static_cast<std::size_t>(n));
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

bool OpenDocument(const std::string& path) {
  // Fork twice so the viewer is not our child: nothing to reap, nothing that
  // dies with us.
  pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    ::setsid();
    pid_t grandchild = ::fork();
    if (grandchild == 0) {
      // Only async-signal-safe calls between fork and exec.
      int devnull = ::open("/dev/null", O_RDWR);
      if (devnull >= 0) {
        ::dup2(devnull, STDIN_FILENO);
        ::dup2(devnull, STDOUT_FILENO);
        ::dup2(devnull, STDERR_FILENO);
      }
      ::execlp("xdg-open", "xdg-open", path.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::_exit(grandchild < 0 ? 1 : 0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

PickerResult PickExistingFile(const std::string& title, const std::vector<FileFilter>& filters) {
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) return {};
  std::vector<std::string> args = {"zenity", "--file-selection", "--title=" + title};
  for (const FileFilter& f : filters) {
    std::string filter = "--file-filter=" + f.name + " |";
    for (const auto& p : f.patterns) filter += " " + p;
    args.push_back(filter);
  }
  std::string out;
  int status = RunCaptured(args, out);
  if (status < 0 || status == 127) return {};
  if (status != 0) return {PickerStatus::Cancelled, ""};
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  if (out.empty() || ::access(out.c_str(), R_OK) != 0) return {PickerStatus::Cancelled, ""};
  return {PickerStatus::Chosen, out};
}

std::string PicturesFolder() {
  const char* homeVar = std::getenv("HOME");
  const std::string home = homeVar && homeVar[0] == '/' ? homeVar : "";
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string configDir =
      config && config[0] == '/' ? config : (home.empty() ? "" : home + "/.config");
  std::ifstream dirs(configDir + "/user-dirs.dirs");
  std::string line;
  // Lines read XDG_PICTURES_DIR="$HOME/Pictures" or an absolute path.
  const std::string key = "XDG_PICTURES_DIR=\"";
  while (!configDir.empty() && std::getline(dirs, line)) {
    if (line.rfind(key, 0) != 0 || line.size() < key.size() + 1 || line.back() != '"') continue;
    std::string value = line.substr(key.size(), line.size() - key.size() - 1);
    if (value.rfind("$HOME", 0) == 0) {
      if (home.empty()) break;
      value = home + value.substr(5);
    }
    // "$HOME/" alone is the home folder itself: the desktop's way of saying none.
    if (value.empty() || value[0] != '/' || value == home || value == home + "/") break;
    return value;
  }
  return home.empty() ? "" : home + "/Pictures";
}

std::string LocalIPv4Address() {
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return {};
  std::string loopback, found;
  for (ifaddrs* it = list; it; it = it->ifa_next) {
    if (!it->ifa_addr || it->ifa_addr->sa_family != AF_INET || !(it->ifa_flags & IFF_UP)) continue;
    char text[INET_ADDRSTRLEN] = {};
    auto* in = reinterpret_cast<sockaddr_in*>(it->ifa_addr);
    if (!::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) continue;
    if (it->ifa_flags & IFF_LOOPBACK) {
      if (loopback.empty()) loopback = text;
    } else if (found.empty()) {
      found = text;
    }
  }
  ::freeifaddrs(list);
  return found.empty() ? loopback : found;
}

}  // namespace halvex::platform
