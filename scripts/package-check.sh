#!/usr/bin/env bash
# Builds the Debian packages, lints them, installs them on this machine, checks what an
# installed system needs, then purges them and checks that nothing is left. Run as root
# on a Debian 12 machine where the packages may be installed for a moment (the CI).
#
# systemd is not PID 1 in the CI's container: the service is not started here. Its unit is
# checked with systemd-analyze and the Agent is run directly under the installed
# configuration instead.
set -euo pipefail
cd "$(dirname "$0")/.."
dist=build-deb
packages=(kestrelview kestrelviewctl kestrelview-agent)
step() { echo "== $*"; }
fail() { echo "package check: $*" >&2; exit 1; }

bash scripts/package.sh "$dist"

step lintian
# Each warning is fixed or explained in an override beside the package's files in debian/.
lintian --fail-on error,warning --display-info "$dist"/*.deb

step install
export DEBIAN_FRONTEND=noninteractive
apt-get install -y --no-install-recommends "$PWD/$dist"/*.deb

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

step version and man pages
version=$(sed -n '1s/^kestrelview (\([0-9]*:\)\{0,1\}\([^-)]*\).*/\2/p' debian/changelog)
for program in "${packages[@]}"; do
  [[ $("$program" --version) == "$program $version" ]] || fail "$program --version"
  man -w "$program" >/dev/null || fail "no man page for $program"
done

step desktop entry and metainfo
desktop-file-validate /usr/share/applications/com.brindlecove.kestrelview.desktop
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --explain \
    /usr/share/metainfo/com.brindlecove.kestrelview.metainfo.xml
fi
for size in 16 32 48 256; do
  [[ -f /usr/share/icons/hicolor/${size}x${size}/apps/kestrelview.png ]] || fail "icon $size"
done

step the Manager starts in an empty home and keeps its files in the XDG data directory
mkdir "$work/home"
HOME=$work/home XDG_DATA_HOME= XDG_CONFIG_HOME= KESTRELVIEW_DATA_DIR= QT_QPA_PLATFORM=offscreen \
  kestrelview >"$work/manager.log" 2>&1 &
pids+=($!)
data=$work/home/.local/share/kestrelview
for _ in $(seq 100); do
  [[ -s $data/Server.csv && -s $data/Kestrelview.cnf && -s $data/env.csv ]] && break
  kill -0 "${pids[-1]}" 2>/dev/null || { cat "$work/manager.log"; fail "the Manager ended"; }
  sleep 0.2
done
[[ -s $data/env.csv ]] || { cat "$work/manager.log"; fail "no first-run files in $data"; }
[[ $(stat -c %a "$data") == 700 ]] || fail "$data is not private"
kill "${pids[-1]}"
wait "${pids[-1]}" 2>/dev/null || true

step "the Agent's unit and the Agent under its installed configuration"
systemd-analyze verify /lib/systemd/system/kestrelview-agent.service
getent passwd kestrelview-agent >/dev/null || fail "no kestrelview-agent user"
[[ -d /var/lib/kestrelview-agent && -d /var/log/kestrelview-agent ]] || fail "no Agent directories"
conf=/etc/kestrelview-agent/agent.conf
[[ $(stat -c '%a %G' "$conf") == "640 kestrelview-agent" ]] || fail "$conf is readable by others"
# Without a password the Agent refuses to start.
if runuser -u kestrelview-agent -- timeout 10 kestrelview-agent --config "$conf" \
  --listen 127.0.0.1 --port 0 >"$work/agent.log" 2>&1; then
  fail "the Agent started without a password"
fi
# With one, as the service would run it (on loopback and a free port here).
chmod 0755 "$work"
cp "$conf" "$work/agent.conf"
echo "password = package-check" >>"$work/agent.conf"
chmod 0644 "$work/agent.conf"
runuser -u kestrelview-agent -- kestrelview-agent --config "$work/agent.conf" \
  --listen 127.0.0.1 --port 0 >"$work/agent.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  grep -q '^listening on 127.0.0.1:' "$work/agent.log" && break
  kill -0 "${pids[-1]}" 2>/dev/null || { cat "$work/agent.log"; fail "the Agent ended"; }
  sleep 0.2
done
grep -q '^listening on 127.0.0.1:' "$work/agent.log" || fail "the Agent did not listen"
port=$(sed -n 's/^listening on 127.0.0.1:\([0-9]*\)$/\1/p' "$work/agent.log")
HOME=$work/home kestrelviewctl --password package-check --port "$port" get-setting 127.0.0.1 \
  >/dev/null || fail "the Agent does not answer"
kill "${pids[-1]}"
wait "${pids[-1]}" 2>/dev/null || true

step purge
apt-get purge -y "${packages[@]}"
left=$(find /usr /etc /var/lib /var/log -path /proc -prune -o -name '*kestrelview*' -print)
[[ -z $left ]] || fail "left after purge: $left"
echo "package check passed"
