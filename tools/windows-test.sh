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

run_one() { # index name
  local dir=build-win/testrun/$2
  rm -rf "$dir"
  mkdir -p "$dir"
  if (cd "$dir" && timeout 600 xvfb-run -n $((300 + $1)) -s "-screen 0 1024x768x24" \
        "$WINE" "$root/build-win/$2.exe" >output.txt 2>&1); then
    echo "passed: $2 ($(grep -o '\[  PASSED  \] [0-9]* test' "$dir/output.txt" | grep -o '[0-9]*'))"
  else
    echo "FAILED: $2"
    cat "$dir/output.txt"
    return 1
  fi
}
export -f run_one
export root WINE

status=0
printf '%s\n' $tests | awk '{print NR, $0}' | xargs -P 2 -L 1 bash -c 'run_one "$0" "$1"' || status=1
"$WINESERVER" -w
[ $status -eq 0 ] || { echo "windows: test programs failed under Wine"; exit 1; }
echo "windows: every test program passed under Wine"
