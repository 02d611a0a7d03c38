#!/usr/bin/env bash
# The browser extension in headless Chromium, its native-messaging host and
# the hand-off to the program started by the session bus; the program's window
# side is quillet-handoff-peer. Everything lives in a temporary home folder
# and a private session bus.
# Usage: extension_test.sh EXTENSION_DIR PEER NATIVE_HOST
set -euo pipefail

extension="${1:?usage: extension_test.sh EXTENSION_DIR PEER NATIVE_HOST}"
peer="${2:?usage: extension_test.sh EXTENSION_DIR PEER NATIVE_HOST}"
host="${3:?usage: extension_test.sh EXTENSION_DIR PEER NATIVE_HOST}"
[ -x /usr/bin/chromium ] || { echo "extension: /usr/bin/chromium is missing" >&2; exit 1; }
command -v node >/dev/null || { echo "extension: node is missing" >&2; exit 1; }
[ -x "$(dirname "$peer")/quillet-native-host" ] || { echo "extension: no host beside $peer" >&2; exit 1; }

root="$(mktemp -d)"
program="$root/program"
cleanup() {
  # The copy the bus started, by the id it logged.
  pid="$(sed -n 's/^start \([0-9]*\) .*/\1/p' "$program/peer.log" 2>/dev/null | head -1)"
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
  rm -rf "$root"
}
trap cleanup EXIT
export HOME="$root/home" XDG_CONFIG_HOME="$root/config" XDG_DATA_HOME="$root/data"
export XDG_CACHE_HOME="$root/cache"
unset QUILLET_HOME
mkdir -p "$HOME" "$program"

# Chromium finds the host's manifest under $XDG_CONFIG_HOME/chromium.
"$peer" --regserver --data-dir "$program"
dbus-run-session -- node "$(dirname "$0")/extension_test.mjs" "$extension" "$program" "$root"
