#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs one for a while.
# usage: scripts/fuzz.sh TARGET [SECONDS]     e.g. scripts/fuzz.sh detect_fuzz 60
# New inputs go to fuzz-out/TARGET (not committed); a crash input found here belongs
# in fuzz/seeds/TARGET, where the normal test build replays it.
set -euo pipefail
cd "$(dirname "$0")/.."
target=$1
seconds=${2:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DBRINDLE_FUZZ=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz --target "$target"
mkdir -p "fuzz-out/$target"
build-fuzz/bin/"$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
    "fuzz-out/$target" "fuzz/seeds/$target"
