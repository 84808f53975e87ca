// GL tests check for leaks at the end of the run rather than at exit: by
// then the GL driver may have been unloaded, and leaks in its caches could
// no longer be told apart from ours by the suppressions.
#include <gtest/gtest.h>

extern "C" void __lsan_do_leak_check() __attribute__((weak));

namespace {

class LeakCheckWhileDriverLoaded : public ::testing::Environment {
 public:
  void TearDown() override {
    if (&__lsan_do_leak_check != nullptr) __lsan_do_leak_check();
  }
};

[[maybe_unused]] ::testing::Environment* const gLeakCheck =
    ::testing::AddGlobalTestEnvironment(new LeakCheckWhileDriverLoaded);

}  // namespace
