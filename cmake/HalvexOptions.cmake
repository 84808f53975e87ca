# Compiler flags shared by every target of the project.
option(HALVEX_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(HALVEX_WERROR "Treat warnings as errors" OFF)

add_library(halvex_flags INTERFACE)
target_compile_options(halvex_flags INTERFACE -Wall -Wextra)
if(HALVEX_WERROR)
  target_compile_options(halvex_flags INTERFACE -Werror)
endif()
target_include_directories(halvex_flags INTERFACE ${PROJECT_SOURCE_DIR})

if(HALVEX_SANITIZE)
  set(HALVEX_SANITIZER_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer
      -fno-sanitize-recover=undefined)
  add_compile_options(${HALVEX_SANITIZER_FLAGS})
  add_link_options(-fsanitize=address,undefined)
endif()

# Fuzz targets need libFuzzer, which only clang provides.
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  set(HALVEX_CAN_FUZZ ON)
else()
  set(HALVEX_CAN_FUZZ OFF)
endif()
