#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan, in build/fuzz) and
# runs them from their seed corpora in fuzz/corpus/<target>/.
#
#   scripts/fuzz.sh --short            every target for 5 seconds (seed 1);
#                                      fails when any target crashes or
#                                      breaks one of its properties
#   scripts/fuzz.sh TARGET SECONDS     one target for SECONDS, one job per
#                                      core; new inputs collect in
#                                      build/fuzz/long/TARGET/corpus
#   scripts/fuzz.sh --build            only builds every target
#   scripts/fuzz.sh --list             the target names
#
# Targets: reply_judging_fuzz, telnet_stream_fuzz, config_xml_fuzz,
# entry_conversion_fuzz, segment_text_fuzz, curve_fit_fuzz, api_request_fuzz. The seed
# corpora are only read: each
# run writes into a scratch directory, so the repository never grows. An
# input that breaks a target is saved as crash-<hash> (or timeout-, leak-)
# in the run's directory; rerun it with build/fuzz/fuzz/TARGET FILE. To keep
# an interesting input as a seed, copy it into fuzz/corpus/TARGET/ by hand.
set -euo pipefail
cd "$(dirname "$0")/.."

targets=(reply_judging_fuzz telnet_stream_fuzz config_xml_fuzz entry_conversion_fuzz segment_text_fuzz curve_fit_fuzz
         api_request_fuzz)
build=build/fuzz
export QT_QPA_PLATFORM=offscreen

usage() {
  sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'
  exit 2
}

build_targets() {
  cmake --preset fuzz > "$build.configure.log" 2>&1 || { cat "$build.configure.log"; exit 1; }
  cmake --build "$build" -j"$(nproc)" --target "$@"
}

is_target() {
  local t
  for t in "${targets[@]}"; do
    [[ $t == "$1" ]] && return 0
  done
  return 1
}

mkdir -p build
case "${1:-}" in
  --short)
    [[ $# -eq 1 ]] || usage
    build_targets "${targets[@]}"
    start=$SECONDS
    ctest --test-dir "$build" -L fuzz --output-on-failure
    echo "Short fuzzing runs took $((SECONDS - start)) s."
    ;;
  --build)
    [[ $# -eq 1 ]] || usage
    build_targets "${targets[@]}"
    ;;
  --list)
    printf '%s\n' "${targets[@]}"
    ;;
  ""|-h|--help)
    usage
    ;;
  *)
    [[ $# -eq 2 && $2 =~ ^[0-9]+$ ]] || usage
    is_target "$1" || { echo "Unknown target '$1'; one of: ${targets[*]}" >&2; exit 2; }
    target=$1
    seconds=$2
    build_targets "$target"
    work=$build/long/$target
    mkdir -p "$work/corpus"
    jobs=$(nproc)
    # -fork runs the jobs as child processes and keeps going after a crash
    # only with -ignore_crashes, which a long run does not want: the first
    # broken property stops it.
    "$build/fuzz/$target" -fork="$jobs" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$work/" "$work/corpus" "fuzz/corpus/$target"
    echo "Corpus of this run: $work/corpus ($(find "$work/corpus" -type f | wc -l) inputs)"
    ;;
esac
