#!/usr/bin/env bash
# Builds every fuzz target with clang and replays its committed corpus once:
# an input that once crashed a parser must never crash it again.
set -euo pipefail
cmake -S . -B build-fuzz -G Ninja -DHALCYON_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang >/dev/null
cmake --build build-fuzz -j "$(nproc)"
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
# An exit report must never wait on a dialog here.
unset DISPLAY
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p build-fuzz/run
for target in build-fuzz/fuzz_*; do
  name=$(basename "$target")
  corpus=fuzz/corpus/$name
  [ -d "$corpus" ] || { echo "no corpus for $name"; exit 1; }
  # Run in a scratch folder: parsers write their logs to the working folder.
  (cd build-fuzz/run && "../$name" -runs=0 "../../$corpus" 2>&1 | tail -1)
done
echo "fuzz corpora replayed"
