#!/usr/bin/env bash
# Installs the Debian packages, builds the Manager and starts build/bin/kestrelview, whose
# directory is its data directory. Arguments go to kestrelview (e.g. --data-dir DIR).
# KV_BUILD_DIR chooses another build directory than build.
#
#   bash scripts/run.sh          the Manager alone
#   bash scripts/run.sh --demo   also a stand-in Agent on 127.0.0.1:4009 serving this source
#                                tree, with a few days of logs, listed in a demo data
#                                directory (build/demo); it stops when the Manager ends
set -euo pipefail
cd "$(dirname "$0")/.."
build=${KV_BUILD_DIR:-build}

demo=0
args=()
for arg in "$@"; do
  if [[ $arg == --demo ]]; then demo=1; else args+=("$arg"); fi
done

if [[ $(id -u) -eq 0 ]]; then
  bash scripts/install-deps.sh
else
  sudo bash scripts/install-deps.sh
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
targets=(kestrelview)
((demo)) && targets+=(kestrelview-agent)
cmake --build "$build" --target "${targets[@]}" -j "$(nproc)"

if ((demo)); then
  demoDir=$(realpath -m "$build/demo")
  mkdir -p "$demoDir"
  if [[ ! -e $demoDir/Server.csv ]]; then
    printf 'ServerName,IPAddress\r\n,DefaultSetting\r\ndemo,127.0.0.1\r\n' >"$demoDir/Server.csv"
  fi
  # The Agent serves this source tree as its "/".
  "$build/bin/kestrelview-agent" --listen 127.0.0.1 --port 4009 --demo --name demo \
    --root "$PWD" --state-dir "$demoDir/agent-state" &
  agent=$!
  trap 'kill "$agent" 2>/dev/null; wait "$agent" 2>/dev/null || true' EXIT
  "$build/bin/kestrelview" --data-dir "$demoDir" "${args[@]}"
else
  exec "$build/bin/kestrelview" "${args[@]}"
fi
