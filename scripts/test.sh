#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test three times: in
# the normal build, in the AddressSanitizer + UndefinedBehaviorSanitizer build
# and in the ThreadSanitizer build; then the Windows cross-builds and their
# tests under Wine, and the Windows panel with its proof under Wine.
# Warnings are errors. The normal build is also packaged,
# and the packages installed, tried and removed again. Usage: scripts/test.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

# Each build is a preset of CMakePresets.json, in build/<preset>.
configure_and_build() {
  local preset=$1
  cmake --preset "$preset" > "build/$preset.configure.log" 2>&1 \
    || { cat "build/$preset.configure.log"; exit 1; }
  cmake --build "build/$preset" -j"$jobs"
}

# Most tests wait on the serial line rather than compute, so a build's tests
# run while the next build compiles, at the lowest priority so that the
# tests get the cores whenever they want them. `in_background NAME CMD...`
# starts one such run, its output kept in build/NAME.log; `finish NAME`
# waits for it, shows its output and fails when it failed.
declare -A background=()
in_background() {
  local name=$1
  shift
  "$@" > "build/$name.log" 2>&1 &
  background[$name]=$!
}
finish() {
  local name=$1 status=0
  wait "${background[$name]}" || status=$?
  # The passes are many; what failed, and the summary, is what matters.
  grep -vE '^ +Start +[0-9]+: |Test +#[0-9]+: .* Passed ' "build/$name.log" || true
  [ "$status" -eq 0 ] || { echo "$name failed (exit status $status); build/$name.log has all of it"; exit 1; }
}
quietly() { (renice -n 19 "$BASHPID" > /dev/null && "$@"); }
# Each stage's header says when it began, so that a slow run shows where.
stage() { printf '== %s (at %dm%02ds)\n' "$1" $((SECONDS / 60)) $((SECONDS % 60)); }

stage "Panel layers and formatting"
scripts/check-layers.sh
scripts/check-format.sh

mkdir -p build
stage "Normal build"
configure_and_build release
# The soak runs in the sanitizer build below, where it also judges the heap.
# Most of these tests wait on the serial line rather than compute, so one
# more runs than there are cores.
stage "Normal tests, while the sanitizer build (ASan + UBSan) compiles"
in_background release-tests ctest --test-dir build/release --output-on-failure -j"$((jobs + 1))" --timeout 300 -LE soak
quietly configure_and_build asan
finish release-tests

stage "Packages (cpack, lintian, apt-get install, run, compile against, purge)"
scripts/test-packages.sh build/release

stage "Alert rules (promtool)"
promtool check rules monitoring/talvex-alerts.yml
(cd monitoring && promtool test rules talvex-alerts-test.yml)

stage "Sanitizer tests (ASan + UBSan), while the thread sanitizer build compiles"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
in_background asan-tests ctest --test-dir build/asan --output-on-failure -j"$((jobs + 1))" --timeout 300 -LE 'soak|browser'
quietly configure_and_build tsan
finish asan-tests
# The 60-second soak runs on its own after the rest, so that nothing else
# takes the cores its two-second UI-ping limit is measured against.
ctest --test-dir build/asan --output-on-failure --timeout 300 -L soak
unset ASAN_OPTIONS UBSAN_OPTIONS

stage "Thread sanitizer tests (TSan), while the fuzz targets compile"
# Any report fails its test: data races, and lock-order inversions (the
# deadlock detector is on), e.g. between the device lock and the schedule
# lock. tests/tsan.supp holds only entries for code outside this project.
# Left out here: the 60-second soak (label "soak"), the longest test by far,
# the soak's UI-ping self-test, whose ping is handed between threads
# through Qt alone, which the checker cannot see, and the second and third
# runs of the end-to-end tests over ser2net (label "ser2net"): the network
# port is single-threaded like the serial one, and the normal and ASan
# builds run them. The web page's browser tests (label "browser") run in the
# normal build only: what they prove is the page's, and the service's part
# of them is served by code the other tests cover under both checkers.
# The fuzz targets compile meanwhile; their runs come after.
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:detect_deadlocks=1:suppressions=$PWD/tests/tsan.supp"
in_background tsan-tests ctest --test-dir build/tsan --output-on-failure -j"$jobs" --timeout 300 \
  -LE 'soak|ser2net|browser' -E '^UiPingTest\.'
quietly scripts/fuzz.sh --build
finish tsan-tests
unset TSAN_OPTIONS

stage "Fuzz targets (short runs, clang + libFuzzer)"
scripts/fuzz.sh --short

stage "Windows (cross-build + Wine)"
scripts/test-windows.sh

stage "Windows panel (Wine)"
scripts/test-windows-panel.sh
stage "Done"
