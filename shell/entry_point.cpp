#include "shell/entry_point.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <strings.h>
#include <thread>

#include "content/data_files.h"
#include "device/device_setup.h"
#include "platform/gfx/resources.h"
#include "game/demo.h"
#include "launcher/launcher_window.h"
#include "launcher/settings_store.h"
#include "platform/input/sdl_feed.h"
#include "platform/paths/paths.h"
#include "platform/registry/registry.h"
#include "platform/thread/game_thread.h"
#include "platform/window/message_box.h"
#include "platform/window/termination.h"
#include "platform/window/window.h"
#include "shell/game_services.h"
#include "shell/game_thread_main.h"
#include "shell/halvex_app.h"
#include "shell/window_icon.h"

namespace halvex {

namespace fs = std::filesystem;

namespace {

constexpr const char* kMainWindowTitle = "Varnholt - Halvex : Standard";
constexpr const char* kLoadingStatus = "Loading Game...Please Wait...";
constexpr const char* kConnectingStatus = "Setting up Internet Connection...Please Wait...";
// How long a second close waits for the game thread before leaving anyway.
constexpr int kQuickExitWaitMs = 10000;

std::string ExecutableDirectory(const std::string& argv0) {
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) self = fs::absolute(argv0, ec);
  return self.parent_path().string();
}

// Runs the launcher: Started when the player pressed Start Game, Left when
// the player left it, nothing when its window could not be opened.
std::optional<DialogResult> RunLauncher(Settings& settings, platform::Registry& registry,
                                        const std::vector<std::string>& areas,
                                        const std::string& content) {
  DesktopLauncherServices services((fs::path(content) / "Halvex2.html").string());
  OptionsDialog options(settings, registry, services, areas);
  AdvancedDialog advanced(settings, registry, services);
  platform::ImGuiHost host;
  IconPixels icon = LoadIconPixels(kWindowIconPath);
  host.SetIcon(icon.width, icon.height, std::move(icon.rgba));
  LauncherWindow launcher(options, advanced, host);
  return launcher.Run();
}

void ReadStoredSettings(Settings& settings, platform::Registry& registry,
                        const std::vector<std::string>& areas) {
  platform::RegistryKey main(registry, kMainKey);
  ReadMainSettings(main, settings);
  platform::RegistryKey advanced(registry, kAdvancedKey);
  ReadAdvancedSettings(advanced, settings, /*dialogDefaults=*/false);
  platform::RegistryKey comfort(registry, kComfortKey);
  ReadComfortSettings(comfort, settings.comfort);
  settings.botCount = std::clamp(settings.botCount, 0, kMaxBots);
  DeriveAtStart(settings, areas);
}

int RunGame(Settings& settings, const CommandLine& cl) {
  ShellFlags flags;
  platform::Window window;
  platform::WindowOptions options;
  options.title = kMainWindowTitle;
  options.fullscreen = settings.fullscreen;
  options.width = settings.screenWidth;
  options.height = settings.screenHeight;
  options.headless = cl.headless;
  options.rawMouse = settings.comfort.rawMouse;
  options.resizable = settings.comfort.resizableWindow;
  const gfx::DepthStencilBits depth = gfx::DepthStencilBitsOf(device::AutoDepthFormat(settings.debugMode));
  options.depthBits = depth.depth;
  options.stencilBits = depth.stencil;
  if (!window.Create(options)) {
    platform::ShowMessageBox(kInitFailedCaption, "The game window could not be opened.",
                             platform::MessageBoxButtons::Ok, platform::MessageBoxAnswer::Ok);
    return 1;
  }
  window.SetEventObserver([](const SDL_Event& e) { input::HandleEvent(e); });
  window.SetPumpHook([] { input::ApplyInputRequests(); });
  window.SetStatusText(settings.multiplayer ? kConnectingStatus : kLoadingStatus);

  platform::GameThread gameThread;
  GameServices services(settings, cl, window, flags);
  HalvexApp app(settings, flags, services, gameThread);
  app.window = &window;
  app.creationWidth = settings.screenWidth;
  app.creationHeight = settings.screenHeight;
  app.playerName = settings.playerName;
  app.debugMode = settings.debugMode;
  app.combatantCount = settings.botCount;

  services.Attach(app);
  gameThread.Start([&] { return GameThreadMain(app, window, services); });
  gameThread.SetPriority(settings.gameThreadPriority);
  platform::SetProcessPriority(settings.processPriority);

  int code = window.RunMessageLoop(
      [&app](platform::Window& w, const platform::Message& m) { return app.WindowProc(w, m); });
  // The game thread ends by itself once exitRequested is set: it posted the
  // quit as its last act, or a second close asked for a quick exit, and it
  // is now releasing the devices at its next check, while the window still
  // exists. A game thread stuck in the driver must not keep a player who
  // closed twice waiting: settings are on disk already, so leave without it.
  flags.exitRequested = 1;
  if (flags.quickExit && !gameThread.WaitForEnd(kQuickExitWaitMs)) {
    std::fprintf(stderr, "halvex: the game did not stop in time; leaving without it\n");
    std::fflush(nullptr);
    std::_Exit(0);
  }
  gameThread.Join();
  return flags.runFailed ? 3 : code;
}

}  // namespace

std::string LocateContent(const CommandLine& cl, const std::string& executablePath) {
  if (cl.contentDir) {
    std::string one = *cl.contentDir;
    return paths::FindContentDirectory(&one, 1);
  }
  const std::string exeDir = ExecutableDirectory(executablePath);
  const std::string candidates[] = {
      fs::current_path().string(),
      (fs::path(exeDir) / ".." / "content").lexically_normal().string(),
      (fs::path(exeDir) / "content").string(),
      // An installed game: <prefix>/bin/halvex reads <prefix>/share/halvex.
      (fs::path(exeDir) / HALVEX_CONTENT_FROM_BIN).lexically_normal().string(),
  };
  return paths::FindContentDirectory(candidates, 4);
}

bool ApplyOverrides(const CommandLine& cl, const std::vector<std::string>& areas,
                    Settings& settings, std::string& error) {
  if (cl.name) settings.playerName = ClampText(*cl.name, kPlayerNameMax);
  if (cl.multiplayer()) {
    settings.multiplayer = true;
    settings.botCount = 0;
  }
  if (cl.fullscreen) settings.fullscreen = *cl.fullscreen;
  if (cl.headless) settings.fullscreen = false;
  if (cl.bots) settings.botCount = settings.multiplayer ? 0 : *cl.bots;
  if (cl.difficulty) settings.difficultyIndex = *cl.difficulty;
  if (cl.blood) settings.bloodAmount = ClampBloodAmount(*cl.blood);
  if (cl.area) {
    int found = -1;
    for (std::size_t i = 0; i < areas.size(); ++i) {
      if (strcasecmp(areas[i].c_str(), cl.area->c_str()) == 0) found = static_cast<int>(i);
    }
    if (found < 0 && !cl.area->empty() &&
        cl.area->find_first_not_of("0123456789") == std::string::npos &&
        std::stoul(cl.area->substr(0, 6)) < areas.size()) {
      found = std::stoi(cl.area->substr(0, 6));
    }
    if (found < 0) {
      error = "no battle area \"" + *cl.area + "\" in system/worlds.txt";
      return false;
    }
    settings.areaIndex = found;
  }
  DeriveAtStart(settings, areas);
  if (cl.width) {
    settings.screenWidth = *cl.width;
    settings.screenHeight = *cl.height;
    settings.screenWidthF = static_cast<float>(*cl.width);
    settings.screenHeightF = static_cast<float>(*cl.height);
  }
  return true;
}

// A timedemo given nothing to play (no demo, script, match settings or
// limits) plays the pack's recorded match, the same for everyone.
bool PlayPackTimedemo(CommandLine& cl, const std::string& content, game::RunOptions& options,
                      std::string& error) {
  if (!cl.timedemo || cl.play || cl.script || cl.bots || cl.seed || cl.area || cl.difficulty ||
      cl.frames || cl.seconds || cl.fixedStepMs)
    return true;
  const std::string demo = content + "/demos/timedemo.dem";
  if (!std::filesystem::exists(demo)) return true;
  cl.play = demo;
  return MakeRunOptions(cl, options, error);
}

// A replay plays with the settings it was recorded with, whatever is stored.
bool ApplyDemoSettings(const game::DemoHeader& h, const std::vector<std::string>& areas,
                       Settings& settings, std::string& error) {
  int found = -1;
  for (std::size_t i = 0; i < areas.size(); ++i) {
    if (strcasecmp(areas[i].c_str(), h.areaName.c_str()) == 0) found = static_cast<int>(i);
  }
  if (found < 0) {
    error = "the demo's battle area \"" + h.areaName + "\" is not in system/worlds.txt";
    return false;
  }
  settings.areaIndex = found;
  settings.playerName = ClampText(h.playerName, kPlayerNameMax);
  settings.botCount = h.bots;
  settings.difficultyIndex = h.difficulty;
  settings.bloodAmount = h.blood;
  for (std::size_t i = 0; i < h.advanced.size(); ++i) SetAdvancedValue(settings, static_cast<int>(i), h.advanced[i]);
  DeriveAtStart(settings, areas);
  return true;
}

int RunHalvex(const std::vector<std::string>& args, const std::string& executablePath) {
  std::string error;
  auto cl = ParseCommandLine(args, error);
  if (!cl) {
    std::fprintf(stderr, "halvex: %s\n", error.c_str());
    return 2;
  }
  if (cl->help) {
    std::fputs(CommandLineHelp(), stdout);
    return 0;
  }
  // A bad script is a usage error: say so before any window opens.
  game::RunOptions runOptions;
  if (!MakeRunOptions(*cl, runOptions, error)) {
    std::fprintf(stderr, "halvex: %s\n", error.c_str());
    return 2;
  }
  platform::SetMessageBoxesInteractive(!cl->nonInteractive());
  platform::CatchTerminationSignals();

  const std::string content = LocateContent(*cl, executablePath);
  if (content.empty()) {
    platform::ShowMessageBox("Varnholt - Halvex",
                             "The game's content (system/worlds.txt) was not found. Build it with "
                             "./setup.sh, or name its folder with --content DIR.",
                             platform::MessageBoxButtons::Ok, platform::MessageBoxAnswer::Ok);
    return 1;
  }
  paths::SetContentDirectory(content);
  if (!PlayPackTimedemo(*cl, content, runOptions, error)) {
    std::fprintf(stderr, "halvex: %s\n", error.c_str());
    return 2;
  }

  platform::Registry registry(cl->configDir ? platform::Registry::FileIn(*cl->configDir)
                                            : platform::Registry::DefaultFile());
  registry.Load();
  Settings settings;
  const std::vector<std::string> areas =
      ReadWorldList("system\\worlds.txt").areaNames;
  // Without a battle area there is no match to play; the list is at fault.
  if (areas.empty()) {
    platform::ShowMessageBox("Varnholt - Halvex",
                             "The game's content lists no battle area: system/worlds.txt in " + content +
                                 " is empty or damaged. Build the content again with ./setup.sh.",
                             platform::MessageBoxButtons::Ok, platform::MessageBoxAnswer::Ok);
    return 1;
  }

  if (!cl->skipLauncher && !cl->nonInteractive()) {
    const std::optional<DialogResult> launched = RunLauncher(settings, registry, areas, content);
    if (!launched) {
      // Not a cancel: the player never saw the dialog, so say why we stop.
      platform::ShowMessageBox(kInitFailedCaption, "The launcher window could not be opened.",
                               platform::MessageBoxButtons::Ok, platform::MessageBoxAnswer::Ok);
      return 1;
    }
    if (*launched != DialogResult::Started) return 0;
  } else {
    ReadStoredSettings(settings, registry, areas);
  }
  if (!ApplyOverrides(*cl, areas, settings, error) ||
      (runOptions.demo && !ApplyDemoSettings(runOptions.demo->header, areas, settings, error))) {
    std::fprintf(stderr, "halvex: %s\n", error.c_str());
    return 2;
  }
  std::error_code ec;
  if (!std::filesystem::is_directory(paths::Resolve(settings.areaPath), ec)) {
    platform::ShowMessageBox("Varnholt - Halvex",
                             "The battle area \"" + settings.areaName + "\" named in system/worlds.txt has no folder " +
                                 paths::Resolve(settings.areaPath) +
                                 ". The list or the content is damaged; build the content again with ./setup.sh.",
                             platform::MessageBoxButtons::Ok, platform::MessageBoxAnswer::Ok);
    return 1;
  }
  return RunGame(settings, *cl);
}

}  // namespace halvex
