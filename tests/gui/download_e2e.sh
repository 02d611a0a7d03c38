#!/usr/bin/env bash
# A picture by its https address, by keyboard in the real program under a
# virtual X server: File > Add picture from address (Ctrl+Shift+O), the
# address typed, the download from openssl's own https server on 127.0.0.1
# with a certificate authority made here and trusted through SSL_CERT_FILE;
# the picture becomes a selected logo. Usage: download_e2e.sh STAGE_DIR
set -euo pipefail
stage="$(cd "${1:?usage: download_e2e.sh STAGE_DIR}" && pwd)"
source "$(dirname "$0")/e2e_common.bash"
export HOME="$e2e_work/home" XDG_CONFIG_HOME="$e2e_work/config" XDG_DATA_HOME="$e2e_work/data"

start_display
tls="$e2e_work/tls"
mkdir -p "$tls/www"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$tls/ca.key" -out "$tls/ca.pem" -days 2 \
  -subj "/CN=Quillet Test Authority" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout "$tls/server.key" -out "$tls/server.csr" \
  -subj "/CN=127.0.0.1" 2>/dev/null
printf 'subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\n' >"$tls/server.ext"
openssl x509 -req -in "$tls/server.csr" -CA "$tls/ca.pem" -CAkey "$tls/ca.key" -CAcreateserial \
  -out "$tls/server.pem" -days 2 -extfile "$tls/server.ext" 2>/dev/null
convert -size 120x90 gradient:'#ff8800'-'#0044aa' "$tls/www/harbour.png"
port="$(free_port)"
(cd "$tls/www" && exec openssl s_server -accept "127.0.0.1:$port" -cert "$tls/server.pem" \
  -key "$tls/server.key" -WWW -quiet </dev/null >/dev/null 2>&1) &
e2e_pids+=($!)
for _ in $(seq 100); do
  curl -sf --cacert "$tls/ca.pem" -o /dev/null "https://127.0.0.1:$port/harbour.png" && break
  sleep 0.1
done

folder="$e2e_work/program"
mkdir -p "$folder"
cp "$stage/phoneslist.xml" "$folder/"
printf '<parameters/>' >"$folder/parameters.xml"
printf '<options><checknewversion value="no"/></options>' >"$folder/options.xml"
SSL_CERT_FILE="$tls/ca.pem" QUILLET_SCANNER=none ASAN_OPTIONS=detect_leaks=0 \
  "$stage/quillet" --data-dir "$folder" >"$e2e_work/program.log" 2>&1 &
e2e_pids+=($!)
main="$(wait_window Quillet)"

keys_to "$main" ctrl+shift+o
box="$(wait_window 'Add picture from address')"
xdotool windowfocus --sync "$box"
xdotool key ctrl+a
xdotool type --delay 5 "https://127.0.0.1:$port/harbour.png"
xdotool key Return
for _ in $(seq 150); do [[ -f "$folder/Logo Directory/harbour.png" ]] && break; sleep 0.1; done
[[ -f "$folder/Logo Directory/harbour.png" ]] || fail "no logo harbour.png ($(cat "$e2e_work/program.log"))"
cmp -s "$folder/Logo Directory/harbour.png" "$tls/www/harbour.png" || fail "the logo is not the picture"

keys_to "$(wait_window Quillet)" ctrl+q
for _ in $(seq 100); do [[ -e "$folder/appstate.xml" ]] && break; sleep 0.1; done
grep -q 'harbour.png' "$folder/appstate.xml" || fail "not selected: $(cat "$folder/appstate.xml")"
[[ -z "$(ls -A "$folder/Temp" 2>/dev/null)" ]] || fail "Temp keeps: $(ls "$folder/Temp")"
echo ok
