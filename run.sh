#!/usr/bin/env bash
# Sets up what is missing, builds Release into build/ and lists ARCHIVE.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build
if [[ $# -gt 0 ]]; then
    exec build/bin/brindle-cli list "$@"
fi
echo "Built build/bin/brindle-cli. Usage: ./run.sh ARCHIVE"
