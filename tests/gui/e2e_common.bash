# Shared by the end-to-end scripts: a virtual X server, the real program
# driven by keyboard through xdotool, screenshots and their QR codes.
# Every server listens on 127.0.0.1 only; everything stops with the script.

e2e_work="$(mktemp -d "${TMPDIR:-/tmp}/quillet-e2e-XXXXXX")"
e2e_pids=()
e2e_cleanup() {
  for pid in "${e2e_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${e2e_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$e2e_work"
}
trap e2e_cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  for log in "$e2e_work"/*.log; do
    [[ -s "$log" ]] && { echo "--- end of $(basename "$log"):" >&2; tail -n 20 "$log" >&2; }
  done
  [[ -n "${DISPLAY:-}" ]] && import -window root "${TMPDIR:-/tmp}/quillet-e2e-failure.png" 2>/dev/null &&
    echo "screen at the failure: ${TMPDIR:-/tmp}/quillet-e2e-failure.png" >&2
  exit 1
}

free_port() {
  /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# A virtual screen of its own; DISPLAY points at it.
start_display() {
  exec 9>"$e2e_work/display"
  Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  e2e_pids+=($!)
  for _ in $(seq 100); do [[ -s "$e2e_work/display" ]] && break; sleep 0.05; done
  export DISPLAY=":$(cat "$e2e_work/display")" QT_QPA_PLATFORM=xcb
}

# Waits until a window with exactly this title is mapped; prints its id.
wait_window() {
  local title="$1" id=""
  for _ in $(seq 300); do
    id="$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -1)" && [[ -n "$id" ]] && break
    sleep 0.1
  done
  [[ -n "$id" ]] || fail "no window \"$title\""
  echo "$id"
}

# Keys to a window: without a window manager the keyboard follows the
# window given the focus.
keys_to() {
  local window="$1"
  shift
  xdotool windowfocus --sync "$window"
  for key in "$@"; do
    xdotool key "$key"
    sleep 0.25
  done
}

# The texts of every QR code on the screen, one a line.
screen_codes() {
  import -window root "$e2e_work/screen.png"
  zbarimg -q --raw "$e2e_work/screen.png" 2>/dev/null || true
}

wait_code() {
  local pattern="$1" codes=""
  for _ in $(seq 60); do
    codes="$(screen_codes)"
    grep -qE "$pattern" <<<"$codes" && { echo "$codes"; return 0; }
    sleep 0.25
  done
  fail "no QR code matching $pattern on the screen (found: $codes)"
}

# The real service on 127.0.0.1 with a fresh data folder.
start_service() {
  local stage="$1" port="$2"
  "$stage/quillet-service" --data-dir "$e2e_work/service" --listen "127.0.0.1:$port" \
    --public-host "127.0.0.1:$port" >"$e2e_work/service.log" 2>&1 &
  e2e_pids+=($!)
  for _ in $(seq 100); do
    curl -sf --noproxy '*' -o /dev/null "http://127.0.0.1:$port/curversion.php" && return 0
    sleep 0.1
  done
  fail "the service did not start: $(cat "$e2e_work/service.log")"
}

# The first upload address a logo directory file holds.
stored_address() {
  grep -o 'uploadurl="http[^"]*"' "$1" | head -1 | sed 's/uploadurl="//; s/"$//'
}
