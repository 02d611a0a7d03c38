#!/usr/bin/env bash
# A picture handed over from a browser through the session bus reaches the
# real program's window, on a private bus with a home of its own, under a
# virtual X server, with a picture server on 127.0.0.1:
#   - not running: the bus starts the program from its registered .service
#     file and it takes the address at its first activation;
#   - running: the window comes up and the picture becomes a logo named
#     after the address's last segment, made unique, and is selected;
#   - two addresses quickly while the first download runs: both arrive;
#   - an unsupported extension: the program says so, the address is gone;
#   - QueryStatus changes only the first entry's flags;
#   - a missing hand-off folder: AddImageURL fails with E_FAIL.
# Usage: handoff_window.sh STAGE_DIR
set -euo pipefail
stage="$(cd "${1:?usage: handoff_window.sh STAGE_DIR}" && pwd)"

if [[ -z "${QUILLET_IN_BUS:-}" ]]; then
  root="$(mktemp -d "${TMPDIR:-/tmp}/quillet-handoff-XXXXXX")"
  trap 'rm -rf "$root"' EXIT
  # The bus reads its activation files from XDG_DATA_HOME when it starts:
  # the test's home is in place before it.
  export HOME="$root/home" XDG_CONFIG_HOME="$root/config" XDG_DATA_HOME="$root/data"
  mkdir -p "$HOME" "$XDG_DATA_HOME/dbus-1/services"
  unset QUILLET_HOME
  QUILLET_IN_BUS=1 QUILLET_TEST_ROOT="$root" dbus-run-session -- bash "$0" "$stage"
  exit $?
fi

source "$(dirname "$0")/e2e_common.bash"
root="$QUILLET_TEST_ROOT"
quillet="$stage/quillet"
handoff="$XDG_CONFIG_HOME/Quillet/handoff"
program="$root/program"

start_display
export QUILLET_SCANNER=none ASAN_OPTIONS=detect_leaks=0
# What the bus gives a program it starts.
dbus-update-activation-environment DISPLAY QT_QPA_PLATFORM QUILLET_SCANNER ASAN_OPTIONS HOME \
  XDG_CONFIG_HOME XDG_DATA_HOME

mkdir -p "$program"
cp "$stage/phoneslist.xml" "$program/"
printf '<parameters/>' >"$program/parameters.xml"
printf '<options><checknewversion value="no"/></options>' >"$program/options.xml"
"$quillet" --regserver --data-dir "$program" || fail "--regserver"

# Pictures on 127.0.0.1: at once, slowly (a download that keeps running),
# and of a type the program refuses. The server ends by itself.
mkdir -p "$root/www/pics" "$root/www/slow"
convert -size 64x48 xc:orange "$root/www/pics/cat.png"
convert -size 64x48 xc:teal "$root/www/slow/big.png"
cp "$root/www/pics/cat.png" "$root/www/pics/pic.webp"
/usr/bin/python3 - "$root/www" "$root/port" <<'PY' &
import http.server, sys, time
root, port_file = sys.argv[1], sys.argv[2]
class Handler(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *a, **k): super().__init__(*a, directory=root, **k)
    def log_message(self, *a): pass
    def do_GET(self):
        if self.path.startswith("/slow/"): time.sleep(2)
        super().do_GET()
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
open(port_file, "w").write(str(server.server_address[1]))
server.timeout = 1
deadline = time.time() + 180
while time.time() < deadline: server.handle_request()
PY
e2e_pids+=($!)
for _ in $(seq 50); do [[ -s "$root/port" ]] && break; sleep 0.1; done
base="http://127.0.0.1:$(cat "$root/port")"

call() {
  dbus-send --session --print-reply --dest=io.github.quillet.Quillet /QuilletPI \
    "io.github.quillet.QuilletPI.$1" "${@:2}"
}
wait_file() {
  for _ in $(seq 300); do [[ -e "$1" ]] && return 0; sleep 0.1; done
  fail "$1 never appeared"
}
taken() { ! grep -q '^ImageURL=.' "$handoff" 2>/dev/null; }
logos="$program/Logo Directory"

# Not running: the bus starts the program, which takes the address.
"$quillet" --add-image-url "$base/pics/cat.png" || fail "the first hand-off"
wait_file "$logos/cat.png"
main="$(wait_window Quillet)"
taken || fail "the address is still waiting"

# Running: the same name again is made unique.
call AddImageURL string:"$base/pics/cat.png" >/dev/null || fail "AddImageURL"
wait_file "$logos/cat2.png"

# Two quickly, the first still downloading: both come.
call AddImageURL string:"$base/slow/big.png" >/dev/null
sleep 0.5
call AddImageURL string:"$base/pics/cat.png" >/dev/null
wait_file "$logos/big.png"
wait_file "$logos/cat3.png"

# A type the program refuses: it says so, and the address is gone.
call AddImageURL string:"$base/pics/pic.webp" >/dev/null
error="$(wait_window Error)"
taken || fail "the refused address is still waiting"
keys_to "$error" Return

# QueryStatus: only the first entry's flags change.
status="$(gdbus call --session --dest io.github.quillet.Quillet --object-path /QuilletPI \
  --method io.github.quillet.QuilletPI.QueryStatus '' '[(1, 0), (2, 0), (3, 0)]')"
[[ "$status" == "([(uint32 1, uint32 2), (2, 0), (3, 0)],)" ]] || fail "QueryStatus: $status"

# No hand-off folder: E_FAIL, nothing handed over.
mv "$XDG_CONFIG_HOME/Quillet" "$XDG_CONFIG_HOME/Quillet.away"
if out="$(call AddImageURL string:"$base/pics/cat.png" 2>&1)"; then fail "AddImageURL succeeded"; fi
[[ "$out" == *io.github.quillet.QuilletPI.Error.Failed* ]] || fail "unexpected: $out"
mv "$XDG_CONFIG_HOME/Quillet.away" "$XDG_CONFIG_HOME/Quillet"

# Closing the window ends the program, which the bus started; the logos and
# the last one selected are kept.
keys_to "$(wait_window Quillet)" ctrl+q
for _ in $(seq 100); do [[ -e "$program/appstate.xml" ]] && break; sleep 0.1; done
for name in cat.png cat2.png big.png cat3.png; do
  grep -q "nodename=\"$name\"" "$program/logodirectory.xml" || fail "$name is not in the tree"
done
grep -q 'cat3.png' "$program/appstate.xml" || fail "selected: $(cat "$program/appstate.xml")"
[[ -z "$(ls -A "$program/Temp" 2>/dev/null)" ]] || fail "Temp keeps: $(ls "$program/Temp")"
echo "ok"
