#!/usr/bin/env bash
# A member uploads a logo by keyboard from the real program, under a
# virtual X server, to the real quillet-service on 127.0.0.1: the hint
# dialog and the upload panel show QR codes that decode to the account's
# page and to the logo's address, which the logo directory keeps and which
# opens. Usage: upload_e2e.sh STAGE_DIR
set -euo pipefail
stage="$(cd "${1:?usage: upload_e2e.sh STAGE_DIR}" && pwd)"
source "$(dirname "$0")/e2e_common.bash"
# Each start of the program registers itself for the user: a home of its own.
export HOME="$e2e_work/home" XDG_CONFIG_HOME="$e2e_work/config" XDG_DATA_HOME="$e2e_work/data"

start_display
port="$(free_port)"
start_service "$stage" "$port"
printf 'Secret 7\n' | "$stage/quillet-service" add-user anna --data-dir "$e2e_work/service" \
  >/dev/null || fail "add-user"

folder="$e2e_work/program"
mkdir -p "$folder"
cp "$stage/phoneslist.xml" "$stage/qhelp.html" "$folder/"
printf '<parameters><uploadhost value="127.0.0.1:%s"/><sendmailhost value="127.0.0.1:%s"/></parameters>' \
  "$port" "$port" >"$folder/parameters.xml"
printf '<options><login value="anna"/><password value="Secret 7"/><checknewversion value="no"/></options>' \
  >"$folder/options.xml"
"$(dirname "$0")/../../scripts/sample-logos" "$folder"

QUILLET_SCANNER=none ASAN_OPTIONS=detect_leaks=0 "$stage/quillet" --data-dir "$folder" \
  >"$e2e_work/program.log" 2>&1 &
e2e_pids+=($!)
main="$(wait_window Quillet)"

# Into the samples, down to target.png, and Upload (Ctrl+U).
keys_to "$main" Down Down Right Down Down ctrl+u
codes="$(wait_code '/\?login=anna')"
grep -qx "http://127.0.0.1:$port/?login=anna&password=Secret%207" <<<"$codes" ||
  fail "hint code: $codes"
address="$(grep -E "^http://127.0.0.1:$port/\?id=" <<<"$codes" | head -1 || true)"
[[ -n "$address" ]] || fail "the upload panel shows no code of the address: $codes"

# The hint closes with Enter; Ctrl+Q ends the program, which keeps the
# address in its logo directory.
keys_to "$(wait_window 'Access URL Hint')" Return
keys_to "$main" ctrl+q
for _ in $(seq 100); do
  [[ "$(stored_address "$folder/logodirectory.xml" || true)" == "$address" ]] && break
  sleep 0.1
done
[[ "$(stored_address "$folder/logodirectory.xml")" == "$address" ]] ||
  fail "stored: $(stored_address "$folder/logodirectory.xml"), shown: $address"

page="$(curl -sf --noproxy '*' "$address")" || fail "the address does not open"
grep -q '<img' <<<"$page" || fail "the page shows no picture"
echo "ok: $address"
