// GL tests check for leaks at the end of the run rather than at exit: by
// then the GL driver may have been unloaded, and leaks in its caches could
// no longer be told apart from ours by the suppressions.
//
// The driver can also be unloaded between tests (when the last window and
// context go, the GL loader may close the driver). So before the first test
// a throw-away context loads it and its modules are pinned, and modules that
// appear later are pinned after each test: every leak report still names
// them and the suppressions hold.
#include <SDL.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>

#include <cstdlib>
#include <cstring>

extern "C" void __lsan_do_leak_check() __attribute__((weak));

namespace {

bool IsGraphicsModule(const char* path) {
  for (const char* part : {"dri", "libGL", "libEGL", "libLLVM", "libgallium", "libglapi"})
    if (std::strstr(path, part)) return true;
  return false;
}

int PinIfGraphics(dl_phdr_info* info, size_t, void*) {
  if (info->dlpi_name && info->dlpi_name[0] && IsGraphicsModule(info->dlpi_name)) {
    // NOLOAD only takes another reference; NODELETE keeps the module mapped
    // for the rest of the run, whoever closes it.
    if (void* handle = dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE)) dlclose(handle);
  }
  return 0;
}

void LoadAndPinDriver() {
  if (!std::getenv("DISPLAY") || SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return;
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  if (SDL_Window* window = SDL_CreateWindow("", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN)) {
    if (SDL_GLContext context = SDL_GL_CreateContext(window)) {
      dl_iterate_phdr(PinIfGraphics, nullptr);
      SDL_GL_DeleteContext(context);
    }
    SDL_DestroyWindow(window);
  }
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

class PinGraphicsModules : public ::testing::EmptyTestEventListener {
  void OnTestEnd(const ::testing::TestInfo&) override { dl_iterate_phdr(PinIfGraphics, nullptr); }
};

class LeakCheckWhileDriverLoaded : public ::testing::Environment {
 public:
  void SetUp() override {
    LoadAndPinDriver();
    ::testing::UnitTest::GetInstance()->listeners().Append(new PinGraphicsModules);
  }
  void TearDown() override {
    if (&__lsan_do_leak_check != nullptr) __lsan_do_leak_check();
  }
};

[[maybe_unused]] ::testing::Environment* const gLeakCheck =
    ::testing::AddGlobalTestEnvironment(new LeakCheckWhileDriverLoaded);

}  // namespace
