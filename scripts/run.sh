#!/usr/bin/env bash
# Installs the Debian packages, builds the Manager and starts build/bin/kestrelview, with a
# stand-in Agent on 127.0.0.1:4009 (serving this source tree as its "/", with a few days of
# logs) that stops when the Manager ends. Arguments go to kestrelview.
#
#   bash scripts/run.sh              the Manager and the local Agent
#   bash scripts/run.sh --no-agent   the Manager alone
#
# The data directory is the Manager's own (build/bin), or KESTRELVIEW_DATA_DIR. A missing
# Server.csv is created listing the default setting and the local Agent; Kestrelview.cnf
# and env.csv are created by the Manager when missing. Existing files are never touched.
# KV_BUILD_DIR chooses another build directory than build.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${KV_BUILD_DIR:-build}

agent=1
args=()
for arg in "$@"; do
  if [[ $arg == --no-agent ]]; then agent=0; else args+=("$arg"); fi
done

if [[ $(id -u) -eq 0 ]]; then
  bash scripts/install-deps.sh
else
  sudo bash scripts/install-deps.sh
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --target kestrelview kestrelview-agent kestrelviewctl -j "$(nproc)"

dataDir=${KESTRELVIEW_DATA_DIR:-$build/bin}
mkdir -p "$dataDir"
if [[ ! -e $dataDir/Server.csv ]]; then
  printf '"ServerName","IPAddress"\r\n"DefaultSetting","DefaultSetting"\r\n"kestrelview-agent","127.0.0.1"\r\n' \
    >"$dataDir/Server.csv"
fi

if ((agent)); then
  "$build/bin/kestrelview-agent" --listen 127.0.0.1 --port 4009 --demo --name kestrelview-agent \
    --root "$PWD" --state-dir "$build/agent-state" &
  agentPid=$!
  trap 'kill "$agentPid" 2>/dev/null; wait "$agentPid" 2>/dev/null || true' EXIT
fi
KESTRELVIEW_DATA_DIR=$dataDir "$build/bin/kestrelview" "${args[@]}"
