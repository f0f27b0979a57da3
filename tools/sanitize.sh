#!/usr/bin/env bash
# The whole suite under AddressSanitizer with UndefinedBehaviorSanitizer, then the
# thread, lock and network tests under ThreadSanitizer. Any finding fails.
set -euo pipefail
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
export LSAN_OPTIONS=suppressions=$PWD/tools/lsan.supp
run() { # build-dir sanitizer ctest-regex
  cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALCYON_SANITIZE="$2" >/dev/null
  cmake --build "$1" -j "$(nproc)"
  if [ -z "${DISPLAY:-}" ]; then
    xvfb-run -a -s "-screen 0 1024x768x24" ctest --test-dir "$1" --output-on-failure -j "$(nproc)" -R "$3"
  else
    ctest --test-dir "$1" --output-on-failure -j "$(nproc)" -R "$3"
  fi
}
run build-asan address '.*'
run build-tsan thread "$(cat tools/tsan-tests.txt)"
