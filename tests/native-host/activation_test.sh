#!/usr/bin/env bash
# Registration and D-Bus activation on a private session bus: --regserver
# installs the .service file; a hand-off while no copy runs makes the bus
# start the program from it (with --automation and the program folder), which
# takes the address at its first activation, once, and stays; later hand-offs
# (from --add-image-url and from the native-messaging host) reach the running
# copy; --unregserver removes exactly the registration.
# The program's window side is quillet-handoff-peer (see HandOffPeer.cpp).
# Usage: activation_test.sh PEER NATIVE_HOST
set -euo pipefail

fail() { echo "activation: $*" >&2; exit 1; }

# One framed native message on the host's standard input; prints the answer.
native_message() {
  local json="$1" n
  n=${#json}
  { printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((n & 255)) $((n >> 8 & 255)) \
      $((n >> 16 & 255)) $((n >> 24 & 255)))"; printf '%s' "$json"; } |
    timeout 60 "$host" | tail -c +5
}

# Waits until the peer's log has a line matching the pattern.
wait_for_log() {
  for _ in $(seq 1 300); do
    grep -q -- "$1" "$log" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "no \"$1\" in the log: $(cat "$log" 2>/dev/null)"
}

inner() {
  peer="$1" host="$2" data="$3"
  log="$data/peer.log"

  # Not running: the bus starts the program from the .service file.
  "$peer" --add-image-url "http://127.0.0.1:9/pics/cat.png" || fail "first hand-off failed"
  wait_for_log '^start [0-9]* automation=1$'
  pid="$(sed -n 's/^start \([0-9]*\) .*/\1/p' "$log" | head -1)"
  trap 'kill "$pid" 2>/dev/null || true' EXIT
  wait_for_log '^taken http://127.0.0.1:9/pics/cat.png$'
  # Taken once: by the first activation or by the request, never both.
  sleep 0.5
  [ "$(grep -c '^taken ' "$log")" -eq 1 ] || fail "taken more than once: $(cat "$log")"
  grep -q '^ImageURL' "$XDG_CONFIG_HOME/Quillet/handoff" && fail "the address is still there"
  grep -qx "AppPath=$data" "$XDG_CONFIG_HOME/Quillet/handoff" || fail "no AppPath"

  # A copy that the bus started stays.
  sleep 1
  kill -0 "$pid" || fail "the started copy ended"

  # Running: the same copy takes the next address.
  "$peer" --add-image-url "https://example.test/dog.JPG" || fail "second hand-off failed"
  wait_for_log '^taken https://example.test/dog.JPG$'

  # The browser's host reaches the same copy.
  reply="$(native_message '{"url": "http://127.0.0.1:9/bird.gif"}')"
  [ "$reply" = '{"ok":true}' ] || fail "the host answered $reply"
  wait_for_log '^taken http://127.0.0.1:9/bird.gif$'
  png="$(printf '\x89PNG\r\n\x1a\nrest' | base64 -w0)"
  reply="$(native_message "{\"bytes\": \"$png\", \"type\": \"image/png\", \"name\": \"fish.png\"}")"
  [ "$reply" = '{"ok":true}' ] || fail "the host answered $reply"
  wait_for_log "^taken file://.*/Temp/fish.png$"
  cmp <(printf '\x89PNG\r\n\x1a\nrest') "$data/Temp/fish.png" || fail "the stored picture differs"

  # A second ordinary start hands over to the running copy and ends.
  timeout 20 "$peer" --data-dir "$data" || fail "the second start failed"
  wait_for_log '^other-running$'
  [ "$(grep -c '^start ' "$log")" -eq 1 ] || fail "two copies started"

  # An address the file cannot hold: E_FAIL, a message, status 1.
  status=0
  err="$("$peer" --add-image-url "$(printf 'http://a/b.png\rImageURL=x')" 2>&1)" || status=$?
  [ "$status" -eq 1 ] || fail "a refused address ended with $status"
  case "$err" in *"line break"*) ;; *) fail "unclear message: $err" ;; esac
  status=0
  "$peer" --add-image-url 2>/dev/null || status=$?
  [ "$status" -eq 1 ] || fail "--add-image-url without an address ended with $status"

  kill "$pid"
  echo "activation inside the bus: ok"
}

if [ "${1:-}" = "--inner" ]; then
  shift
  inner "$@"
  exit 0
fi

peer="${1:?usage: activation_test.sh PEER NATIVE_HOST}"
host="${2:?usage: activation_test.sh PEER NATIVE_HOST}"
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
export HOME="$root/home" XDG_CONFIG_HOME="$root/config" XDG_DATA_HOME="$root/data"
unset QUILLET_HOME
# A program folder whose name needs quoting in the .service file.
data="$root/my logos/it's"
mkdir -p "$data" "$HOME"

"$peer" --regserver --data-dir "$data" || fail "--regserver failed"
service="$XDG_DATA_HOME/dbus-1/services/io.github.quillet.Quillet.service"
grep -q "^Exec='$peer' --automation --data-dir " "$service" || fail "bad service file: $(cat "$service")"
for file in "$XDG_DATA_HOME/dbus-1/interfaces/io.github.quillet.QuilletPI.xml" \
            "$XDG_DATA_HOME/applications/io.github.quillet.Quillet.desktop" \
            "$XDG_CONFIG_HOME/chromium/NativeMessagingHosts/io.github.quillet.native_host.json" \
            "$XDG_CONFIG_HOME/google-chrome/NativeMessagingHosts/io.github.quillet.native_host.json" \
            "$HOME/.mozilla/native-messaging-hosts/io.github.quillet.native_host.json"; do
  [ -s "$file" ] || fail "$file is missing"
done
grep -q "\"path\": \"$(dirname "$peer")/quillet-native-host\"" \
  "$HOME/.mozilla/native-messaging-hosts/io.github.quillet.native_host.json" ||
  fail "the manifest does not name the host beside the program"

dbus-run-session -- bash "$0" --inner "$peer" "$host" "$data"

# --unregserver removes exactly what --regserver wrote.
"$peer" --unregserver || fail "--unregserver failed"
left="$(cd "$root" && find home config data -type f | sort | tr '\n' ' ')"
[ "$left" = "config/Quillet/handoff " ] || fail "left behind: $left"
echo "activation: ok"
