// Checks in fuzz entries: a failed one names itself on stderr and aborts,
// which libFuzzer reports as a crash and the replay tests as a failure.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                              \
  ((condition) ? (void)0                                                                   \
               : (std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, \
                               #condition),                                                \
                  std::abort()))
