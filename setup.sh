#!/usr/bin/env bash
# Installs what Halvex needs from Debian 12, builds it, and then
#   ./setup.sh play   starts the game (the launcher first) on the default content
#   ./setup.sh test   runs every test, in the normal and the sanitizer build
#   ./setup.sh build  only builds (the default)
# Safe to run again: it installs only missing packages and rebuilds incrementally.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$PWD
MODE=${1:-build}
shift || true
JOBS=${JOBS:-$(nproc)}

PACKAGES=(
  build-essential cmake pkg-config clang-14 libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libsdl2-dev libepoxy-dev libgl-dev libopengl-dev libegl-dev libgl1-mesa-dri libegl-mesa0
  libx11-dev libxtst-dev
  xvfb xauth x11-utils imagemagick
  libimgui-dev libstb-dev
  libsdl2-mixer-dev freepats fluid-soundfont-gm
  libassimp-dev libmeshoptimizer-dev assimp-testmodels assimp-utils libglm-dev
  libenet-dev
  libfreetype-dev libfontconfig-dev fonts-dejavu-core fonts-dejavu-extra fonts-liberation2 fonts-urw-base35
  zenity xdg-utils
)

install_missing_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# build <dir> [cmake options...]
build() {
  local dir=$1
  shift
  cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
}

# Every test gets one try: a test that fails once is a fault to find.
# Tests that draw need an X display; give them a private Xvfb when there is none.
with_display() {
  if [ -n "${DISPLAY:-}" ]; then
    "$@"
  else
    xvfb-run -a -s "-screen 0 1280x1024x24 +extension GLX" "$@"
  fi
}

run_tests() {
  local dir=$1
  (cd "$dir" && with_display ctest --output-on-failure -j "$JOBS" "$@")
}

install_missing_packages
case "$MODE" in
  build)
    build build/release
    ;;
  play)
    build build/release
    exec build/release/bin/halvex "$@"
    ;;
  test)
    build build/release
    build build/sanitize -DHALVEX_SANITIZE=ON \
      -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14
    echo "== tests: release build (GCC) =="
    run_tests build/release "$@"
    echo "== tests: sanitizer build (clang, ASan + UBSan, fuzz targets) =="
    run_tests build/sanitize "$@"
    ;;
  *)
    echo "usage: $0 [build|play|test] [options]" >&2
    exit 2
    ;;
esac
