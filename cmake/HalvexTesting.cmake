# halvex_add_test(NAME <name> LABEL <unit|gl|e2e|audio|net|fuzz>
#                 SOURCES <files...> LIBS <targets...>
#                 [TIMEOUT <seconds>] [RESOURCE_LOCK <name>] [PREFIX <text>])
# Builds one GoogleTest executable and registers each of its cases with CTest
# under the given label, so `ctest -L unit` runs just the pure-logic tests.
include(GoogleTest)

set(HALVEX_TEST_ENV
  "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1"
  "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
  "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
  "SDL_AUDIODRIVER=dummy"
  "HALVEX_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
  "HALVEX_BINARY_DIR=${PROJECT_BINARY_DIR}")

function(halvex_add_test)
  cmake_parse_arguments(T "" "NAME;LABEL;TIMEOUT;RESOURCE_LOCK;PREFIX" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  # A test whose sources are still being written is left out with a warning
  # instead of breaking everyone's configure.
  foreach(src IN LISTS T_SOURCES)
    if(NOT IS_ABSOLUTE ${src})
      set(src ${CMAKE_CURRENT_SOURCE_DIR}/${src})
    endif()
    if(NOT EXISTS ${src})
      message(WARNING "${T_NAME}: ${src} does not exist yet; test left out")
      return()
    endif()
  endforeach()
  # Tests that share something of the machine (the X pointer) name a lock so
  # ctest -j never runs two of them at once.
  set(lock "")
  if(T_RESOURCE_LOCK)
    set(lock RESOURCE_LOCK ${T_RESOURCE_LOCK})
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE halvex_flags ${T_LIBS} GTest::gtest_main GTest::gmock)
  # Test discovery flattens list-valued properties, so the environment is
  # given through `env` as the test's launcher instead.
  set_property(TARGET ${T_NAME} PROPERTY CROSSCOMPILING_EMULATOR env ${HALVEX_TEST_ENV})
  # A prefix keeps apart the tests of two builds of the same sources.
  gtest_discover_tests(${T_NAME} TEST_PREFIX "${T_PREFIX}"
    DISCOVERY_TIMEOUT 60 DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT} ${lock})
endfunction()
