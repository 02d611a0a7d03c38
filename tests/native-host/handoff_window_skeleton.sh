#!/usr/bin/env bash
# SKELETON for the end-to-end hand-off through the real program's window, to
# be finished once main.cpp offers the automation object and the main window
# takes handed-over pictures; then move it to tests/gui/handoff_window.sh
# (every tests/gui/*.sh runs under CTest with the staged binaries folder as
# its argument). It is not run as it stands.
#
# What it covers, on a private session bus with a temporary home folder and a
# picture server on 127.0.0.1:
#   1. program running: AddImageURL answers at once; the window comes up; the
#      download dialog fetches the picture; it becomes a logo named after the
#      address's last segment (made unique), and is selected;
#   2. program not running: the bus starts it from the installed .service
#      file and it takes the address at its first activation;
#   3. two addresses quickly while the first download runs: the first
#      completes, the second is taken after the dialog closed;
#   4. an unsupported extension: "Unsupported picture file type : .WEBP",
#      and the address is gone from the hand-off file;
#   5. a missing hand-off folder: AddImageURL fails with
#      io.github.quillet.QuilletPI.Error.Failed;
#   6. QueryStatus with three entries changes only the first one's flags.
# Usage: handoff_window.sh STAGE_DIR
set -euo pipefail

stage="${1:?usage: handoff_window.sh STAGE_DIR}"
quillet="$stage/quillet"
[ -x "$quillet" ] || { echo "no quillet in $stage" >&2; exit 1; }
fail() { echo "hand-off window: $*" >&2; exit 1; }

if [ -z "${QUILLET_IN_BUS:-}" ]; then
  root="$(mktemp -d)"
  trap 'rm -rf "$root"' EXIT
  # Never the user's own registration or configuration.
  export HOME="$root/home" XDG_CONFIG_HOME="$root/config" XDG_DATA_HOME="$root/data"
  unset QUILLET_HOME
  mkdir -p "$HOME" "$root/program"
  printf '%s' '<phoneslist><make name="Acme"><model name="One" screenwidth="128" screenheight="128"/></make></phoneslist>' \
    > "$root/program/phoneslist.xml"
  "$quillet" --regserver --data-dir "$root/program" || fail "--regserver failed"
  QUILLET_IN_BUS=1 dbus-run-session -- bash "$0" "$stage" "$root"
  exit $?
fi

root="$2"
program="$root/program"
handoff="$XDG_CONFIG_HOME/Quillet/handoff"
export QT_QPA_PLATFORM=offscreen
pids=()
cleanup() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap cleanup EXIT

# Pictures on 127.0.0.1: /pics/cat.png at once, /slow/big.png slowly (to keep
# a download running), /pics/pic.webp of a type the program refuses.
mkdir -p "$root/www/pics" "$root/www/slow"
convert -size 64x48 xc:orange "$root/www/pics/cat.png"
convert -size 64x48 xc:teal "$root/www/slow/big.png"
cp "$root/www/pics/cat.png" "$root/www/pics/pic.webp"
port_file="$root/port"
/usr/bin/python3 - "$root/www" "$port_file" <<'PY' &
import http.server, os, sys, time
root, port_file = sys.argv[1], sys.argv[2]
class Handler(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *a, **k): super().__init__(*a, directory=root, **k)
    def do_GET(self):
        if self.path.startswith("/slow/"): time.sleep(3)
        super().do_GET()
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
open(port_file, "w").write(str(server.server_address[1]))
server.timeout = 1
deadline = time.time() + 120   # ends by itself
while time.time() < deadline: server.handle_request()
PY
pids+=($!)
for _ in $(seq 1 50); do [ -s "$port_file" ] && break; sleep 0.1; done
base="http://127.0.0.1:$(cat "$port_file")"

call() {  # call METHOD ARGS... on the running program's object
  dbus-send --session --print-reply --dest=io.github.quillet.Quillet /QuilletPI \
    "io.github.quillet.QuilletPI.$@"
}
wait_for_file() {
  for _ in $(seq 1 200); do [ -e "$1" ] && return 0; sleep 0.1; done
  fail "$1 never appeared"
}

# 2. Not running: the bus starts the program, which takes the address at its
#    first activation.
"$quillet" --add-image-url "$base/pics/cat.png" || fail "first hand-off failed"
wait_for_file "$program/Logo Directory/cat.png"
grep -q '^ImageURL=' "$handoff" && fail "the address is still waiting"
# TODO(lead): check the new logo is selected (e.g. through appstate.xml after
# a normal close), and that "Temp" holds no copy any more:
[ -z "$(ls -A "$program/Temp" 2>/dev/null)" ] || fail "Temp keeps: $(ls "$program/Temp")"

# 1. Running: the same picture again becomes "cat" made unique.
call AddImageURL string:"$base/pics/cat.png" >/dev/null || fail "AddImageURL failed"
wait_for_file "$program/Logo Directory/cat1.png"   # TODO(lead): the unique name UniqueLogoName gives

# 3. Two addresses quickly while the first download runs.
call AddImageURL string:"$base/slow/big.png" >/dev/null
sleep 0.5
call AddImageURL string:"$base/pics/cat.png" >/dev/null
wait_for_file "$program/Logo Directory/big.png"
# TODO(lead): the second is taken when the window is next activated after the
# dialog closed; under offscreen, activate the window (or let the dialog's
# closing reactivate it) and wait for the next unique "cat" logo.

# 4. An unsupported extension: the dialog reports it; the address is gone.
call AddImageURL string:"$base/pics/pic.webp" >/dev/null
# TODO(lead): observe "Unsupported picture file type : .WEBP" (the window
# tests' scripted prompts, or a log the window can be asked to keep).
sleep 1
grep -q '^ImageURL=' "$handoff" && fail "the unsupported address is still waiting"

# 6. QueryStatus changes only the first entry (dbus-send cannot send a(uu);
#    gdbus can, if installed, else a small python3-dbus client).
# TODO(lead): gdbus call --session --dest io.github.quillet.Quillet \
#   --object-path /QuilletPI --method io.github.quillet.QuilletPI.QueryStatus \
#   '{00000000-0000-0000-0000-000000000000}' '[(1,0),(2,0),(3,0)]'
#   -> ([(1, 2), (2, 0), (3, 0)],)

# 5. A missing hand-off folder: E_FAIL, and nothing taken.
mv "$XDG_CONFIG_HOME/Quillet" "$XDG_CONFIG_HOME/Quillet.away"
if out="$(call AddImageURL string:"$base/pics/cat.png" 2>&1)"; then fail "AddImageURL succeeded"; fi
case "$out" in *io.github.quillet.QuilletPI.Error.Failed*) ;; *) fail "unexpected: $out" ;; esac
mv "$XDG_CONFIG_HOME/Quillet.away" "$XDG_CONFIG_HOME/Quillet"

# TODO(lead): close the window (the program ends with it, also when the bus
# started it) and check logodirectory.xml lists the new logos.
echo "hand-off window: ok"
