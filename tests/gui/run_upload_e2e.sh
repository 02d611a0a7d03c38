#!/usr/bin/env bash
# A newcomer's first upload: scripts/run with a new program folder starts
# the local service and the program; selecting a sample and pressing Upload
# (Ctrl+U), with no other step, gives a guest address that opens in a
# browser (headless Chromium). Under a virtual X server, on 127.0.0.1 only.
# Usage: run_upload_e2e.sh STAGE_DIR
set -euo pipefail
stage="$(cd "${1:?usage: run_upload_e2e.sh STAGE_DIR}" && pwd)"
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$(dirname "$0")/e2e_common.bash"

start_display
port="$(free_port)"
build="$e2e_work/build"
mkdir -p "$build/bin"
ln -s "$stage/quillet" "$build/bin/quillet"
ln -s "$stage/quillet-service" "$build/bin/quillet-service"
export QUILLET_RUN_NO_BUILD=1 QUILLET_BUILD="$build" QUILLET_SERVICE_PORT="$port" \
  QUILLET_SERVICE_ADDRESS=127.0.0.1 QUILLET_SERVICE_PUBLIC_HOST="127.0.0.1:$port" \
  HOME="$e2e_work/home" XDG_DATA_HOME="$e2e_work/data" XDG_CONFIG_HOME="$e2e_work/config" \
  QUILLET_SCANNER=none ASAN_OPTIONS=detect_leaks=0
unset QUILLET_HOME WAYLAND_DISPLAY http_proxy HTTP_PROXY
pidfile="$e2e_work/data/quillet-service/quillet-service.pid"
stop_service() { [[ -f "$pidfile" ]] && kill "$(cat "$pidfile")" 2>/dev/null || true; }
trap 'stop_service; e2e_cleanup' EXIT

folder="$e2e_work/first start"
"$root/scripts/run" --data-dir "$folder" >"$e2e_work/run.log" 2>&1 &
e2e_pids+=($!)
main="$(wait_window Quillet)"

keys_to "$main" Down Down Right Down Down ctrl+u
codes="$(wait_code "^http://127.0.0.1:$port/guest/\$")"
keys_to "$(wait_window 'Access URL Hint')" Return
keys_to "$(wait_window Quillet)" ctrl+q
for _ in $(seq 100); do
  address="$(stored_address "$folder/logodirectory.xml" || true)"
  [[ -n "$address" ]] && break
  sleep 0.1
done
[[ "$address" == "http://127.0.0.1:$port/guest/?id="* ]] || fail "stored address: $address ($(cat "$e2e_work/run.log"))"

# The address opens in a browser, which shows the logo.
profile="$e2e_work/chromium"
dom="$(timeout 60 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$profile" --dump-dom "$address" 2>/dev/null)" || fail "chromium"
picture="$(grep -o '<img[^>]*src="[^"]*"' <<<"$dom" | head -1 | sed 's/.*src="//; s/"$//')"
[[ -n "$picture" ]] || fail "the page shows no picture: $dom"
[[ "$picture" == http* ]] || picture="http://127.0.0.1:$port$picture"
type="$(curl -sf --noproxy '*' -o /dev/null -w '%{content_type}' "$picture")" || fail "picture $picture"
[[ "$type" == image/png* ]] || fail "picture type $type"
echo "ok: $address"
