#!/usr/bin/env bash
# Builds the Debian packages kestrelview, kestrelviewctl and kestrelview-agent with
# dpkg-buildpackage, on Debian 12, into dist/ (or the directory given).
#
#   bash scripts/package.sh && sudo apt install ./dist/*.deb
#
# The build runs on a copy of the source tree (dpkg-buildpackage writes beside the tree
# it builds), without the tests: scripts/test.sh runs those. DEB_BUILD_OPTIONS adds to
# that, e.g. DEB_BUILD_OPTIONS=parallel=2.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-dist}")

if [[ $(id -u) -eq 0 ]]; then
  bash scripts/install-deps.sh
else
  sudo bash scripts/install-deps.sh
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/kestrelview"
tar --exclude=./.git --exclude='./build*' --exclude=./dist -cf - . | tar -xf - -C "$work/kestrelview"
(
  cd "$work/kestrelview"
  DEB_BUILD_OPTIONS="nocheck noautodbgsym ${DEB_BUILD_OPTIONS:-parallel=$(nproc)}" \
    dpkg-buildpackage -b -us -uc
)
mkdir -p "$out"
rm -f "$out"/*.deb
mv "$work"/*.deb "$out"/
ls -l "$out"/*.deb
