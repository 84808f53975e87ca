#!/usr/bin/env bash
# The game's timedemo at 800x600 and 1024x768 with 8 and 32 bots (seed 5,
# 1000 frames): frames a second, frame-time percentiles, start-up time and
# peak memory of each run. Where the openarena package is installed, its bot
# match is timed at the same sizes and bot counts, with the ratio of the two
# frame rates.
#
#   bench/run.sh [BUILD_DIR]        (default: build/release)
#
# Each figure is the run with the median frame rate of RUNS runs (default
# 3), as both games' rates move between runs on a loaded machine; the peak
# memory is the highest of the runs, and "runs" lists every run's rate.
#
# HALVEX=path runs another binary, FRAMES=N another length, OA_SECONDS=S
# another length of the OpenArena matches (default 30). Without a display
# every run goes to its own Xvfb server, as the game needs one for a window.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}
halvex=${HALVEX:-$build/bin/halvex}
frames=${FRAMES:-1000}
oa_seconds=${OA_SECONDS:-30}
runs=${RUNS:-3}
[[ $runs =~ ^[1-9][0-9]*$ ]] || { echo "bench: RUNS must be a positive whole number" >&2; exit 2; }
sizes=(800x600 1024x768)
bot_counts=(8 32)

die() {
  echo "bench: $*" >&2
  exit 2
}

[[ -x $halvex ]] || die "no game at $halvex (build it, or name the build folder)"
[[ -x /usr/bin/time ]] || die "/usr/bin/time is missing (apt-get install time)"

# A display for the windows: the caller's, or a private Xvfb per run.
on_display=()
if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
  command -v xvfb-run > /dev/null || die "no display and no xvfb-run (apt-get install xvfb xauth)"
  on_display=(xvfb-run -a -s "-screen 0 1280x1024x24 +extension GLX")
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Fields of the game's report lines, or "-" where a line is missing.
field() {  # field FILE PATTERN (an extended regex with one group)
  sed -nE "s/$2/\1/p" "$1" | head -n 1 | grep . || echo -
}

# The middle of the "fps name" lines on stdin: the name of the median run.
median_run() {
  sort -n | awk '{ line[NR] = $2 } END { if (NR) print line[int((NR + 1) / 2)] }'
}

declare -A halvex_fps
failed=0

echo "Halvex timedemo: $frames frames, seed 5, windowed, median of $runs runs"
printf '%-9s %4s %8s %8s %8s %8s %8s %10s %8s %8s  %s\n' size bots fps 'p50 ms' 'p95 ms' 'p99 ms' 'max ms' 'start-up s' 'intro s' 'peak MiB' runs
for size in "${sizes[@]}"; do
  for bots in "${bot_counts[@]}"; do
    rates=() peaks=()
    for ((run = 1; run <= runs; ++run)); do
      log=$work/halvex-$size-$bots-$run.log
      # A run that hangs is ended after ten minutes (with its display).
      timeout -k 10 600 "${on_display[@]}" /usr/bin/time -f '%M' -o "$work/peak" \
        "$halvex" --timedemo --frames "$frames" --resolution "$size" --bots "$bots" --seed 5 --windowed \
        --config-dir "$work/config" > "$log" 2>&1
      code=$?
      if ((code != 0)) || ! grep -q '^timedemo:' "$log"; then
        printf '%-9s %4s run %d failed (exit %d); the end of its output:\n' "$size" "$bots" "$run" "$code"
        tail -n 5 "$log" | sed 's/^/    /'
        failed=1
        continue
      fi
      # "timedemo: N frames in S s, F fps average, frame ms p50 A p95 B p99 C max D, ..."
      rates+=("$(field "$log" '^timedemo: .* ([0-9.]+) fps average.*') $log")
      peaks+=("$(awk '/^[0-9]+$/ { printf "%.1f", $1 / 1024 }' "$work/peak")")
    done
    ((${#rates[@]} > 0)) || continue
    log=$(printf '%s\n' "${rates[@]}" | median_run)
    fps=$(field "$log" '^timedemo: .* ([0-9.]+) fps average.*')
    halvex_fps[$size-$bots]=$fps
    printf '%-9s %4s %8s %8s %8s %8s %8s %10s %8s %8s  %s\n' "$size" "$bots" "$fps" \
      "$(field "$log" '^timedemo: .* p50 ([0-9.]+) .*')" \
      "$(field "$log" '^timedemo: .* p95 ([0-9.]+) .*')" \
      "$(field "$log" '^timedemo: .* p99 ([0-9.]+) .*')" \
      "$(field "$log" '^timedemo: .* max ([0-9.]+),.*')" \
      "$(field "$log" '^start-up: ([0-9.]+) s to the first match frame.*')" \
      "$(field "$log" '^start-up: .*\+ ([0-9.]+) s of intro.*')" \
      "$(printf '%s\n' "${peaks[@]}" | sort -n | tail -n 1)" \
      "$(printf '%s\n' "${rates[@]}" | cut -d' ' -f1 | paste -sd/)"
  done
done

# OpenArena: ioquake3's own frame timing (com_speeds prints a line a frame
# with the frame's milliseconds as "all:"), over a bot match on oa_dm1 that
# runs for OA_SECONDS and is then ended; the first 300 frames (loading, the
# map's first sight) are left out.
echo
openarena=$(command -v openarena || { [[ -x /usr/games/openarena ]] && echo /usr/games/openarena; })
if ! dpkg-query -W -f '${Status}' openarena 2> /dev/null | grep -q 'ok installed' || [[ -z $openarena ]]; then
  echo "OpenArena: the peer was not found (the openarena package is not installed); no comparison"
  exit $failed
fi
# "count fps p50 p95 p99" of an OpenArena log's frames after the first 300;
# its "frame:N all:  T sv: ..." lines give T in whole milliseconds.
openarena_figures() {
  sed -nE 's/^frame: *[0-9]+ +all: *([0-9]+) .*/\1/p' "$1" | tail -n +301 | sort -n |
    awk '{ t[NR] = $1; sum += $1 }
         function at(p) { i = int(p / 100 * NR + 0.999999); if (i < 1) i = 1; return t[i] }
         END { if (NR == 0 || sum == 0) { print 0, "-", "-", "-", "-"; exit }
               printf "%d %.1f %d %d %d\n", NR, 1000 * NR / sum, at(50), at(95), at(99) }'
}

echo "OpenArena bot match: oa_dm1, ${oa_seconds} s each, windowed, median of $runs runs"
printf '%-9s %4s %8s %8s %8s %8s %16s  %s\n' size bots fps 'p50 ms' 'p95 ms' 'p99 ms' 'Halvex/OpenArena' runs
for size in "${sizes[@]}"; do
  for bots in "${bot_counts[@]}"; do
    rates=()
    for ((run = 1; run <= runs; ++run)); do
      log=$work/openarena-$size-$bots-$run.log
      "${on_display[@]}" timeout -s TERM -k 10 "$oa_seconds" "$openarena" \
        +set fs_homepath "$work/openarena" +set r_fullscreen 0 +set r_mode -1 \
        +set r_customwidth "${size%x*}" +set r_customheight "${size#*x}" +set r_swapInterval 0 \
        +set com_maxfps 0 +set com_speeds 1 +set sv_maxclients 64 +set bot_minplayers "$((bots + 1))" \
        +set g_doWarmup 0 +set timelimit 0 +set fraglimit 0 +map oa_dm1 > "$log" 2>&1
      read -r count fps _ < <(openarena_figures "$log")
      if [[ $count == 0 ]]; then
        printf '%-9s %4s run %d: no frame times (is com_speeds printed?); the end of its output:\n' "$size" "$bots" "$run"
        tail -n 5 "$log" | sed 's/^/    /'
        continue
      fi
      rates+=("$fps $log")
    done
    ((${#rates[@]} > 0)) || continue
    read -r count fps p50 p95 p99 < <(openarena_figures "$(printf '%s\n' "${rates[@]}" | median_run)")
    ratio=-
    ours=${halvex_fps[$size-$bots]:-}
    [[ -n $ours ]] && ratio=$(awk -v a="$ours" -v b="$fps" 'BEGIN { printf "%.2f", a / b }')
    printf '%-9s %4s %8s %8s %8s %8s %16s  %s\n' "$size" "$bots" "$fps" "$p50" "$p95" "$p99" "$ratio" \
      "$(printf '%s\n' "${rates[@]}" | cut -d' ' -f1 | paste -sd/)"
  done
done
exit $failed
