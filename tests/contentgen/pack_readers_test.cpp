// The game's own readers accept the pack: the content checker finds no
// problem, and the two light-map effect files compile with the effect
// compiler and offer a technique that binds both textures.
#include <gtest/gtest.h>

#include "d3dutil/effect/effect.h"
#include "tools/contentcheck/content_check.h"
#include "tests/contentgen/pack_util.h"

namespace halvex::contentgen::test {
namespace {

TEST(ContentReaders, CheckerFindsNoProblem) {
  contentcheck::CheckOptions options;
  options.contentDirectory = ContentDir().string();
  const DataFileProblems problems = contentcheck::CheckContent(options);
  for (const auto& p : problems) ADD_FAILURE() << p.file << ":" << p.line << ": " << p.message;
}

TEST(ContentReaders, BothLightMapEffectsCompile) {
  for (const char* name : {"system/multitex.fxz", "system/multitexa.fxz"}) {
    d3dutil::EffectBuffer* buffer = nullptr;
    std::string errors;
    ASSERT_EQ(d3dutil::CompileEffectFromFile((ContentDir() / name).string(), &buffer, &errors), 0) << name << ": "
                                                                                                   << errors;
    ASSERT_NE(buffer, nullptr);
    EXPECT_GT(buffer->GetBufferSize(), 0u);
    buffer->Release();
    const auto lines = ReadLines(ContentDir() / name);
    int techniques = 0;
    bool tex0 = false, tex1 = false;
    for (const auto& l : lines) {
      techniques += l.rfind("technique ", 0) == 0;
      tex0 |= l.find("texture tex0") != std::string::npos;
      tex1 |= l.find("texture tex1") != std::string::npos;
    }
    EXPECT_GE(techniques, 2) << name << ": a one-pass technique and a fallback";
    EXPECT_TRUE(tex0 && tex1) << name;
  }
}

}  // namespace
}  // namespace halvex::contentgen::test
