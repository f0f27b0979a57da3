#!/usr/bin/env bash
# CI's Windows part: cross-builds the package and the test programs, runs
# every test program as an .exe under Wine, each on an Xvfb of its own, two
# at a time. tools/windows-e2e.sh runs the whole program afterwards.
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
  Xvfb -displayfd $fd -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
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

status=0
printf '%s\n' $tests | xargs -P 2 -I{} bash -c 'run_one {}' || status=1
"$WINESERVER" -w
[ $status -eq 0 ] || { echo "windows: test programs failed under Wine"; exit 1; }
echo "windows: every test program passed under Wine"
