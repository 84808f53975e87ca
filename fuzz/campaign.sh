#!/bin/bash
# A fuzzing campaign over every target (or the ones named), each for a given
# number of minutes with its seed corpus and dictionary, at most a given
# number at a time, under the resource limits every input must keep: 1 s per
# input, 1024 MB of memory in all and in any one allocation. Needs a clang
# build with the fuzz targets (HALVEX_CAN_FUZZ), e.g. build/fuzz.
#
#   fuzz/campaign.sh [-m MINUTES] [-j PARALLEL] [-b BUILD_DIR] [-s] [TARGET...]
#
# Defaults: 10 minutes, 2 at a time, build/fuzz. Each target's run goes to
# BUILD_DIR/fuzz-work/campaign/<target>.log, what it finds to
# BUILD_DIR/fuzz-work/corpus/<target>/ and crashing inputs to
# BUILD_DIR/fuzz-work/artifacts/<target>/. At the end one line per target:
# executions, executions per second (over the whole time), coverage
# (libFuzzer's edge count `cov` and feature count `ft`), corpus size
# (inputs), findings (artifacts) and time-outs that did not happen again.
# -s prints that table again from the last run's logs without fuzzing.
# Keep each finding's input under fuzz/regressions/<target>/ once it is
# fixed: the <target>_replay tests run them in every build.
set -u
here=$(cd "$(dirname "$0")" && pwd)
minutes=10
parallel=2
build=$here/../build/fuzz
summary_only=0
while getopts "m:j:b:s" opt; do
  case $opt in
    m) minutes=$OPTARG ;;
    j) parallel=$OPTARG ;;
    b) build=$OPTARG ;;
    s) summary_only=1 ;;
    *) sed -n '2,18p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))

# target: max_len dictionary
declare -A maxlen=([fuzz_content_files]=4096 [fuzz_dds]=70000 [fuzz_image]=70000
  [fuzz_xfile]=16384 [fuzz_settings]=4096 [fuzz_script]=4096 [fuzz_chat]=4096 [fuzz_midi]=4096
  [fuzz_net_messages]=256 [fuzz_peer]=4096 [fuzz_demo]=8192)
# Assimp leaks its half-built scene on a malformed file; a leak check after
# every such input would take most of the model target's time.
declare -A extra=([fuzz_xfile]=-detect_leaks=0)
declare -A dict=([fuzz_content_files]=data_files [fuzz_dds]=image [fuzz_image]=image
  [fuzz_xfile]=xfile [fuzz_settings]=settings [fuzz_script]=script [fuzz_chat]=chat
  [fuzz_midi]=midi [fuzz_demo]=demo)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_content_files fuzz_dds fuzz_image fuzz_xfile
  fuzz_settings fuzz_script fuzz_chat fuzz_midi fuzz_net_messages fuzz_peer fuzz_demo)

work=$build/fuzz-work
[ "$summary_only" = 1 ] || "$here/seed_corpus.sh" "$build/bin/content" "$work" > /dev/null || exit 1
mkdir -p "$work/campaign"
export LSAN_OPTIONS="suppressions=$here/../tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

# One target for its minutes. A time-out that does not happen again when its
# input is run alone (the machine was busy) is set aside under
# artifacts/<target>/unconfirmed/ and the run goes on for the time left; the
# log keeps every segment.
run() {
  local t=$1 left=$((minutes * 60)) start
  local args=(-timeout=1 -rss_limit_mb=1024 -malloc_limit_mb=1024 -max_len=${maxlen[$t]}
    -print_final_stats=1 -close_fd_mask=3 -artifact_prefix="$work/artifacts/$t/")
  [ -n "${dict[$t]:-}" ] && args+=(-dict="$here/dict/${dict[$t]}.dict")
  [ -n "${extra[$t]:-}" ] && args+=("${extra[$t]}")
  rm -rf "$work/artifacts/$t"
  mkdir -p "$work/artifacts/$t/unconfirmed"
  : > "$work/campaign/$t.log"
  while [ "$left" -gt 0 ]; do
    start=$(date +%s)
    nice -n 5 "$build/bin/$t" "${args[@]}" -max_total_time="$left" "$work/corpus/$t" \
      "$work/seeds/$t" >> "$work/campaign/$t.log" 2>&1
    left=$((left - ($(date +%s) - start)))
    local again=0
    for a in "$work/artifacts/$t"/timeout-*; do
      [ -f "$a" ] || continue
      if "$build/bin/$t" -timeout=1 -rss_limit_mb=1024 -malloc_limit_mb=1024 "$a" > /dev/null 2>&1; then
        mv "$a" "$work/artifacts/$t/unconfirmed/"
        again=1
      fi
    done
    [ "$again" = 1 ] || break
  done
}

for t in "${targets[@]}"; do
  [ "$summary_only" = 1 ] && break
  [ -x "$build/bin/$t" ] || { echo "$t: not built in $build" >&2; exit 1; }
  while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do wait -n; done
  echo "$(date +%T) $t: ${minutes} min" >&2
  run "$t" &
done
wait

printf '%-20s %12s %8s %7s %7s %7s %9s %11s\n' target executions exec/s cov ft corpus findings unconfirmed
for t in "${targets[@]}"; do
  log=$work/campaign/$t.log
  execs=$(sed -n 's/^stat::number_of_executed_units: //p' "$log" | awk '{s += $1} END {print s}')
  execs=${execs:-0}
  rate=$((execs / (minutes * 60)))
  last=$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -1)
  cov=$(echo "$last" | sed -n 's/.* cov: \([0-9]*\).*/\1/p')
  ft=$(echo "$last" | sed -n 's/.* ft: \([0-9]*\).*/\1/p')
  corpus=$(echo "$last" | sed -n 's/.* corp: \([0-9]*\).*/\1/p')
  findings=$(find "$work/artifacts/$t" -maxdepth 1 -type f | wc -l)
  unconfirmed=$(find "$work/artifacts/$t/unconfirmed" -type f 2>/dev/null | wc -l)
  printf '%-20s %12s %8s %7s %7s %7s %9s %11s\n' "$t" "${execs:-?}" "$rate" "${cov:-?}" \
    "${ft:-?}" "${corpus:-?}" "$findings" "$unconfirmed"
  find "$work/artifacts/$t" -maxdepth 1 -type f -printf '    %p\n'
done
