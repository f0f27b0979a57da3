#!/usr/bin/env bash
# The whole suite under AddressSanitizer with UndefinedBehaviorSanitizer, then the
# thread, lock and network tests under ThreadSanitizer. Any finding fails.
#
# Programs that open a window run without LeakSanitizer: Mesa's driver is unloaded at
# exit, and what it keeps cannot be attributed or suppressed by name. The
# program's own leaks are still caught there by the memory manager's report.
set -euo pipefail
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
export LSAN_OPTIONS=suppressions=$PWD/tools/lsan.supp
jobs=$(nproc)
# The programs that open a window: found by what they include or call.
gl_tests=$(grep -lE 'GLTestContext|TextTestGL|GameRun|CreateMainWindow|RunGame|GameMain|G::Init' tests/test_*.cpp |
  xargs -n1 basename | sed 's/\.cpp$//' | paste -sd'|')

configure() { # build-dir sanitizer [targets...]
  local dir=$1 sanitizer=$2
  shift 2
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALCYON_SANITIZE="$sanitizer" >/dev/null
  cmake --build "$dir" -j "$jobs" ${1:+--target "$@"}
}
ctest_x() {
  if [ -z "${DISPLAY:-}" ]; then
    xvfb-run -a -s "-screen 0 1024x768x24 -noreset" ctest "$@"
  else
    ctest "$@"
  fi
}

configure build-asan address
ctest_x --test-dir build-asan --output-on-failure -j "$jobs" -E "$gl_tests"
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 \
  ctest_x --test-dir build-asan --output-on-failure -j "$jobs" -R "$gl_tests"

# Only the programs that run under ThreadSanitizer, and the tools they start.
tsan_regex=$(cat tools/tsan-tests.txt)
tsan_targets=$(ls tests/test_*.cpp | xargs -n1 basename | sed 's/\.cpp$//' | grep -E "$tsan_regex")
configure build-tsan thread $tsan_targets
ctest_x --test-dir build-tsan --output-on-failure -j "$jobs" -R "$(cat tools/tsan-tests.txt)"
