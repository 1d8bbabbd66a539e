#!/usr/bin/env bash
# Installs the Debian packages Kavro builds and runs with. Idempotent: it only
# touches apt when a package is missing, and runs `apt-get update` at most once.
# Extra package names given as arguments are installed as well (`make fuzz` adds clang).
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  libjpeg62-turbo-dev
  qt6-base-dev libx11-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libcli11-dev
  fonts-noto-cjk fonts-dejavu-extra
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
