#!/usr/bin/env bash
# One running copy per session: a second start hands over to the first and
# ends at once without writing any file. Usage: single_instance.sh STAGE_DIR
set -euo pipefail

stage="${1:?usage: single_instance.sh STAGE_DIR}"
quillet="$stage/quillet"
[ -x "$quillet" ] || { echo "no quillet in $stage" >&2; exit 1; }

if [ -z "${QUILLET_IN_BUS:-}" ]; then
  exec env QUILLET_IN_BUS=1 dbus-run-session -- bash "$0" "$@"
fi

export QT_QPA_PLATFORM=offscreen
unset QUILLET_HOME
first_dir="$(mktemp -d)"
second_dir="$(mktemp -d)"
first_pid=""
cleanup() {
  if [ -n "$first_pid" ]; then kill "$first_pid" 2>/dev/null || true; wait "$first_pid" 2>/dev/null || true; fi
  rm -rf "$first_dir" "$second_dir"
}
trap cleanup EXIT

catalogue='<phoneslist><make name="Acme"><model name="One" screenwidth="128" screenheight="128"/></make></phoneslist>'
printf '%s' "$catalogue" > "$first_dir/phoneslist.xml"
printf '%s' "$catalogue" > "$second_dir/phoneslist.xml"

"$quillet" --data-dir "$first_dir" &
first_pid=$!

# The first copy owns the bus name once it is up.
for _ in $(seq 1 100); do
  if dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
       org.freedesktop.DBus.NameHasOwner string:io.github.quillet.Quillet 2>/dev/null |
       grep -q 'boolean true'; then
    break
  fi
  kill -0 "$first_pid" 2>/dev/null || { echo "first copy ended early" >&2; exit 1; }
  sleep 0.1
done
dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
  org.freedesktop.DBus.NameHasOwner string:io.github.quillet.Quillet | grep -q 'boolean true' ||
  { echo "first copy never took the bus name" >&2; exit 1; }

# The second copy ends by itself, successfully, and writes nothing.
status=0
timeout 20 "$quillet" --data-dir "$second_dir" || status=$?
[ "$status" -eq 0 ] || { echo "second copy ended with $status" >&2; exit 1; }
written="$(find "$second_dir" -mindepth 1 ! -name phoneslist.xml)"
[ -z "$written" ] || { echo "second copy wrote: $written" >&2; exit 1; }

# The first copy still runs and can be asked to come forward.
kill -0 "$first_pid" || { echo "first copy ended" >&2; exit 1; }
dbus-send --session --print-reply --dest=io.github.quillet.Quillet /Quillet \
  io.github.quillet.Quillet.Activate >/dev/null

kill "$first_pid"
wait "$first_pid" 2>/dev/null || true
first_pid=""
echo "single instance: ok"
