#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the peer-tool checks need.
# Idempotent: when everything is present it only asks dpkg and returns.
# --peers adds the other archivers that benchmarks and interoperability checks
# run beside ours.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    zlib1g-dev libdeflate-dev
    clang libclang-rt-14-dev
)
if [[ "${1:-}" == "--peers" ]]; then
    packages+=(time zip unzip libarchive-tools ncompress lhasa jlha-utils arj nomarch arc)
fi

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" ||
    { "${sudo_cmd[@]}" apt-get update -q && "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"; }
