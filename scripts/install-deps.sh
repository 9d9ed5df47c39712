#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the Manager need.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev
  clang libclang-rt-14-dev
  qt6-base-dev qt6-qpa-plugins qt6-translations-l10n libjpeg62-turbo-dev
  fonts-ipafont-gothic
  iproute2 curl
  libcurl4-openssl-dev python3-aiosmtpd
  logrotate
  dpkg-dev debhelper lintian desktop-file-utils appstream man-db
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
