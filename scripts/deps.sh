#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running need, and
# nothing when they are all present already. Called by every make target.
set -euo pipefail

packages=(cmake ninja-build g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          libcli11-dev qt6-base-dev xvfb xauth)
case "${1:-}" in
  --sanitize) packages+=(clang libclang-rt-dev) ;;
  --fuzz) packages+=(clang libclang-rt-dev) ;;
  --bench) packages+=(assimp-utils hyperfine) ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
