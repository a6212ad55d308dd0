#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for SECONDS (default
# 60), starting from its seed corpus fuzz/corpus/<target>/ (every seed runs first; what the run
# finds goes to a scratch folder, not into the repository). Without clang it says so and stops.
# Names after SECONDS pick targets (e.g. sheet_part dde_protocol), one after the other.
# Usage: scripts/fuzz.sh [SECONDS [TARGET...]]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
wanted=("$@")
if ! command -v clang++ >/dev/null; then
  echo "fuzz: clang++ is not installed; skipping the fuzz targets"
  exit 0
fi
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DIMPIX_FUZZ=ON -DIMPIX_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
if [ ${#wanted[@]} -eq 0 ]; then
  cmake --build build-fuzz --target fuzz_all
  exes=(build-fuzz/fuzz/fuzz_*)
else
  cmake --build build-fuzz --target "${wanted[@]/#/fuzz_}"
  exes=("${wanted[@]/#/build-fuzz/fuzz/fuzz_}")
fi
export ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for exe in "${exes[@]}"; do
  [ -f "$exe" ] && [ -x "$exe" ] || continue
  name=$(basename "$exe")
  seeds=fuzz/corpus/${name#fuzz_}
  mkdir -p "$work/$name" "$seeds"
  if "$exe" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$work/$name-" \
      "$work/$name" "$seeds" >"$work/$name.log" 2>&1; then
    runs=$(grep -oE '^stat::number_of_executed_units: *[0-9]+' "$work/$name.log" | grep -oE '[0-9]+$')
    echo "fuzz: $name: ${runs:-?} runs in ${seconds} s, no failure"
  else
    status=1
    echo "fuzz: $name FAILED:"
    tail -n 40 "$work/$name.log"
    mkdir -p fuzz-failures && cp "$work/$name"-* fuzz-failures/ 2>/dev/null || true
  fi
done
exit $status
