#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets with Clang in build-fuzz/ and runs them one after the
# other from the kept inputs under tests/corpus/, sharing a total time (seconds,
# default 180) evenly. A crash leaves its input in build-fuzz/findings/ and fails
# the run: keep it under tests/corpus/ and give it its row in
# tests/io/CorpusReplayTest.cpp, which replays every kept input in the test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
total="${1:-180}"
targets=(load_bmp:bmp load_jpeg:jpeg load_png:png load_tiff:tiff load_tga:tga cli_args:cli)
seconds=$(( total / ${#targets[@]} ))
[ "$seconds" -ge 1 ] || seconds=1
scripts/setup-debian.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORV_FUZZ=ON \
  -DMORV_BUILD_TESTS=OFF -DMORV_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz --target $(for t in "${targets[@]}"; do echo "fuzz_${t%%:*}"; done)
mkdir -p build-fuzz/findings
for target in "${targets[@]}"; do
  name="${target%%:*}"; corpus="${target##*:}"
  work="build-fuzz/corpus-$name"
  mkdir -p "$work"
  cp -n tests/corpus/"$corpus"/* "$work"/ 2>/dev/null || true
  echo "== fuzz_$name for ${seconds}s"
  build-fuzz/fuzz/fuzz_"$name" "$work" -max_total_time="$seconds" -rss_limit_mb=2048 \
    -artifact_prefix=build-fuzz/findings/"$name"- -print_final_stats=1 2>&1 | grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|Done|==[0-9]+==|SUMMARY)' || true
  if ls build-fuzz/findings/"$name"-* >/dev/null 2>&1; then
    echo "fuzz_$name found a failing input: $(ls build-fuzz/findings/"$name"-*)"
    exit 1
  fi
done
