#!/usr/bin/env bash
# CI's Windows part: cross-builds the package and the test programs, runs
# every test program as an .exe under Wine, each on an Xvfb of its own, two
# at a time (those that send real input alone). tools/windows-e2e.sh runs the
# whole program afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source tools/wine-env.sh

bash tools/windows-build.sh --tests
tests=$(sed -n 's/^build \(test_[a-z0-9_]*\)\.exe:.*/\1/p' build-win/build.ninja)
wine_prefix

run_one() { # name
  local dir=build-win/testrun/$1 xvfb display fd
  rm -rf "$dir"
  mkdir -p "$dir"
  # An X server of its own, on a display it picks itself.
  exec {fd}>"$dir/display"
  Xvfb -displayfd $fd -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  xvfb=$!
  exec {fd}>&-
  for _ in $(seq 100); do [ -s "$dir/display" ] && break; sleep 0.1; done
  display=:$(head -1 "$dir/display")
  if (cd "$dir" && DISPLAY=$display timeout 600 "$WINE" "$root/build-win/$1.exe" >output.txt 2>&1); then
    kill "$xvfb"
    echo "passed: $1 ($(grep -o '\[  PASSED  \] [0-9]* test' "$dir/output.txt" | grep -o '[0-9]*'))"
  else
    kill "$xvfb"
    echo "FAILED: $1"
    cat "$dir/output.txt"
    return 1
  fi
}
export -f run_one
export root WINE

# All Wine programs share one desktop, and with it one foreground window: the
# programs that send real input run alone, after the others.
input_tests=$(grep -lE 'xdotool|HostShell|ShellInputTest' $(printf 'tests/%s.cpp ' $tests) | xargs -n1 basename | sed 's/\.cpp$//')
other_tests=$(printf '%s\n' $tests | grep -vxF "$input_tests")
status=0
printf '%s\n' $other_tests | xargs -P 2 -I{} bash -c 'run_one {}' || status=1
for t in $input_tests; do run_one "$t" || status=1; done
"$WINESERVER" -w
[ $status -eq 0 ] || { echo "windows: test programs failed under Wine"; exit 1; }
echo "windows: every test program passed under Wine"
