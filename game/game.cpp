#include "game/game.h"

#include <chrono>
#include <thread>

#include "audio/match_sounds.h"
#include "content/line_reader.h"
#include "content/loading_files.h"
#include "platform/desktop/desktop.h"
#include "screens/closing/closing.h"
#include "screens/screenshot.h"
#include "sim/messages.h"

namespace halvex::game {

using namespace gfx;

namespace {

// The files a full load of the chosen area reads, in the order it reads
// them (the textures the models name are found by reading the models).
std::vector<AheadFile> FilesOfTheLoad(const Settings& settings) {
  std::vector<AheadFile> files;
  const char* const list = "system\\textures.txt";
  std::string text;
  DataFileProblems ignored;  // the load itself reports them
  LoadContentText(list, text, &ignored);
  for (const std::string& name : ParseTextureNameList(text, list, &ignored).fileNames)
    files.push_back({TexturePath(name), false});
  for (std::string& file : FixedTextureFiles()) files.push_back({std::move(file), false});
  for (const ModelEntry& model : ModelTable()) files.push_back({model.file, true});
  const std::string area = settings.areaPath;
  for (int t = 0; t < kTileCount; ++t) files.push_back({area + "\\Check\\" + TileFileName(t), true});
  const char* const folder = settings.renderDetail ? "\\Render\\" : "\\Check\\";
  for (int t = 0; t < kTileCount; ++t) files.push_back({area + folder + TileFileName(t), true});
  return files;
}

}  // namespace

Game::Game(Settings& settings, ShellFlags& flags, GameAudio& audio, RunOptions options)
    : settings_(settings),
      flags_(flags),
      audio_(audio),
      options_(std::move(options)),
      state_(std::make_unique<MatchState>()),
      mouseShaping_(settings.comfort.mouseSensitivity, settings.comfort.invertMouse) {
  if (settings_.comfort.keys != DefaultKeyBindings()) {
    keyboardHelp_ = KeyboardHelpText(settings_.comfort.keys);
    mouseHelp_ = MouseHelpText(settings_.comfort.keys);
  }
  if (options_.SteppedMs() > 0.0 || options_.demo) clock_ = &steppedClock_;
  if (!options_.recordPath.empty()) {
    latchedClock_ = LatchedClock(*clock_);
    clock_ = &latchedClock_;
  }
  timer_ = std::make_unique<FrameTimer>(*clock_);
  matchClock_ = std::make_unique<MatchClock>(*clock_);
  seed_ = options_.seed ? *options_.seed : static_cast<std::uint32_t>(systemClock_.NowMs());
  random_.Seed(seed_);
}

Game::~Game() = default;

std::unique_ptr<GamePort> MakeGame(Settings& settings, ShellFlags& flags, GameAudio& audio,
                                   const RunOptions& options) {
  return std::make_unique<Game>(settings, flags, audio, options);
}

HRESULT Game::CreateDevices(SDL_Window* window) {
  MarkStartup("window ready, creating the device");
  // The full load that follows the device's creation finds its files read
  // and decoded by then, or being so: a worker starts on them now.
  LoadingFiles files;
  files.ReadAhead(FilesOfTheLoad(settings_));
  dev_.window = window;
  dev_.debugMode = settings_.debugMode;
  dev_.windowedVsync = settings_.comfort.vsync;
  dev_.lightMapping = settings_.lightMapping;
  return device::CreateDevices(dev_, *this, settings_.screenWidth, settings_.screenHeight, settings_.fullscreen,
                               settings_.hardwareTnL, settings_.softwareRasterizer, true, false);
}

void Game::ReleaseDevices(bool releaseDeviceObjects) {
  device::ReleaseDevices(dev_, *this, releaseDeviceObjects);
  Trace("devices released");
}

HRESULT Game::InitSound() {
  SoundSetup setup;
  setup.openDevice = !options_.headless;
  setup.postSoundtrackEvent = links.postSoundtrackEvent;
  audio_.InitSound(setup);
  soundReady_ = true;
  return S_OK;
}

void Game::ShutdownSound() {
  if (soundReady_) audio_.ShutdownSound();
  soundReady_ = false;
}

void Game::QueueChatLine(const std::string& typed) {
  std::lock_guard lock(linesMutex_);
  queuedLines_.emplace_back(true, typed);
}

void Game::QueueMessageLine(const std::string& line) {
  std::lock_guard lock(linesMutex_);
  queuedLines_.emplace_back(false, line);
}

void Game::ApplyQueuedLines() {
  std::vector<std::pair<bool, std::string>> lines;
  {
    std::lock_guard lock(linesMutex_);
    lines.swap(queuedLines_);
  }
  // A replay's lines are the recorded ones; anything typed meanwhile is not part of it.
  if (const DemoFrame* f = ReplayFrame()) lines = f->lines;
  for (auto& [typed, text] : lines) {
    if (recording()) demoWriter_->Line(typed, text);
    const std::string shown = typed ? FormatChatLine(*state_, text) : text;
    PushLine(state_->messages, shown, *this);
    Trace("message %s", shown.c_str());
    // The player's own line goes to every peer; received lines stay here.
    if (typed) SendChatLine();
  }
}

void Game::PlaySound(SoundEffect effect) {
  if (soundReady_) audio_.bank.Play(SoundFor(effect));
}

void Game::Bleed(const BloodEmission& b) {
  render::ParticleSystem* system = nullptr;
  switch (b.source) {
    case BloodEmission::Source::kCombatant:
      if (b.index >= 0 && b.index < kMaxCombatants) system = blood_.combatants[b.index];
      break;
    case BloodEmission::Source::kCorpse:
      if (b.index >= 0 && b.index < kMaxCombatants) system = blood_.corpses[b.index];
      break;
    case BloodEmission::Source::kPlayer:
      system = blood_.global;
      break;
  }
  if (!system) return;
  render::EmitParams e;
  e.count = b.count;
  e.position = b.origin;
  e.spread = 30.0f;
  e.type = b.mode == 1 ? render::kEmitFountain : render::kEmitSpray;
  const Vec3 dir = Vec3Normalize(Vec3(b.direction.x, 0.0f, b.direction.z));
  e.directionX = dir.x;
  e.directionZ = dir.z;
  system->Update(b.frameDelta, e, random_);
}

void Game::Command(KeyCommand command) {
  switch (command) {
    case KeyCommand::kChatOpened:
      // The keyboard now belongs to the chat line: the rest of this frame
      // (movement, weapons) must not act on the keys read at its start.
      input_.keys.fill(0);
      if (links.openChatEntry) links.openChatEntry();
      break;
    case KeyCommand::kToggleLightSetup:
      sceneFrame_.lightSetup = !sceneFrame_.lightSetup;
      break;
    case KeyCommand::kToggleWireframe:
      wireframe_ = !wireframe_;
      if (dev_.device) dev_.device->SetRenderState(D3DRS_FILLMODE, wireframe_ ? D3DFILL_WIREFRAME : D3DFILL_SOLID);
      break;
    case KeyCommand::kToggleFirstCombatantCamera:
      sceneFrame_.firstCombatantCamera = !sceneFrame_.firstCombatantCamera;
      break;
    case KeyCommand::kToggleMeshScanReadout:
      meshScanReadout_ = !meshScanReadout_;
      break;
    case KeyCommand::kToggleMeshScan:
      // The count needs the stencil that only debug mode's depth format has.
      meshScan_ = !meshScan_ && settings_.debugMode;
      break;
    case KeyCommand::kToggleLightMapTiles:
      lightMapEnvironment_ = !lightMapEnvironment_;
      break;
  }
}

bool Game::ScreenshotDue() const {
  // This frame is framesRun_ + 1 until it ends; a frame drawn twice (paused)
  // is captured once.
  const long frame = framesRun_ + 1;
  return screenshotPending_ || (options_.ShotDue(frame) && lastShotFrame_ != frame);
}

void Game::TakeScreenshot() {
  screenshotPending_ = false;
  lastShotFrame_ = framesRun_ + 1;
  if (!dev_.device) return;
  screens::ScreenshotOptions options;
  if (settings_.comfort.pngScreenshots) options.format = screens::PictureFormat::kPng;
  if (settings_.comfort.mirrorScreenshots) {
    const std::string pictures = platform::PicturesFolder();
    if (!pictures.empty()) options.mirrorFolder = pictures + "/Halvex";
  }
  if (!screens::Screenshot(dev_.device, ".", options).empty()) ++screenshotsTaken_;
}

void Game::Sleep(int ms) const {
  if (!options_.nonInteractive) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace halvex::game

namespace halvex::game {

// What the intro and the closing screen both draw with.
screens::IntroInputs Game::PresentationInputs() {
  screens::IntroInputs in;
  in.device = dev_.device;
  in.quad = dev_.quadVertexBuffer;
  in.logo = content_.logo;
  in.font = fonts_.titleFont;
  in.particles = particles_.empty() ? nullptr : particles_.back().get();
  in.bloodTexture = content_.fixed.blood;
  in.width = settings_.screenWidth;
  in.height = settings_.screenHeight;
  in.nonInteractive = options_.nonInteractive;
  in.exitRequested = &flags_.exitRequested;
  in.keyboard = dev_.keyboardDevice;
  in.setupLights = [this] { PresentationLights(); };
  in.sceneAmbient = &ambient_;
  in.waitWhileInactive = [this] { WaitWhileInactive(); };
  in.resetDevice = [this] { device::ResetDevice(dev_, *this, false); };
  return in;
}

void Game::RunClosingScreen() {
  if (endedByLimit_ || !dev_.device) return;
  Trace("closing screen");
  flags_.gameState = kGameStatePlaying;
  screens::RunClosing(PresentationInputs(), random_, &flags_.gameRunning);
}

void Game::PresentationLights() {
  render::LightInputs l = Lights();
  l.presentationScreen = true;
  // Leaves the ambient level and its stored values alone: the credits are
  // lit from the match's last ambient colour.
  render::SetupLights(dev_.device, l);
}

}  // namespace halvex::game
