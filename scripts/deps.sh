#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running need, and
# nothing when they are all present already. Called by every make target.
set -euo pipefail

packages=(cmake ninja-build g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          libcli11-dev qt6-base-dev libqt6svg6 xvfb xauth locales desktop-file-utils clang-format libstb-dev zlib1g-dev
          help2man nlohmann-json3-dev python3-jsonschema bash-completion)
case "${1:-}" in
  --sanitize) packages+=(clang libclang-rt-dev) ;;
  --fuzz) packages+=(clang libclang-rt-dev) ;;
  --bench) packages+=(assimp-utils time) ;;
  --package) packages+=(dpkg-dev lintian wixl msitools appstream) ;;
  --windows) packages+=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 fonts-wine googletest xdotool x11-apps imagemagick) ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing missing packages: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# A locale whose decimal separator is a comma, for the test that the
# project file does not depend on the user's locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "note: could not generate de_DE.UTF-8"
fi
