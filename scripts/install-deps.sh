#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the Manager need.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  qt6-base-dev qt6-translations-l10n libgl-dev libjpeg62-turbo-dev
  fonts-ipafont-gothic
  iproute2 curl
  xvfb xauth imagemagick xdotool
  libcurl4-openssl-dev python3-aiosmtpd
  logrotate
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
