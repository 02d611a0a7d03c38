#!/usr/bin/env bash
# The screen grab of the real program on a real X server (Xvfb), driven as a
# user drives it with xdotool: File > Grab from screen, a drag over the
# frozen screen, the new logo selected; the stored logos' pixels are the
# screen's, and logodirectory.xml lists them at exit. Then the grab window
# test itself on X11, at 1 and at 2 pixels a logical pixel.
# Usage: grab_screen.sh STAGE_DIR
set -euo pipefail

stage="${1:?usage: grab_screen.sh STAGE_DIR}"
quillet="$stage/quillet"
[ -x "$quillet" ] || { echo "no quillet in $stage" >&2; exit 1; }

# A display and a session bus of our own, both gone when the test ends.
if [ -z "${QUILLET_IN_XVFB:-}" ]; then
  exec env QUILLET_IN_XVFB=1 timeout 300 xvfb-run -a -s "-screen 0 1024x768x24" \
    dbus-run-session -- bash "$0" "$@"
fi

export QT_QPA_PLATFORM=xcb QUILLET_SCANNER=none
unset QUILLET_HOME QUILLET_SCREEN_CAPTURE WAYLAND_DISPLAY QT_SCALE_FACTOR
export XDG_SESSION_TYPE=x11
python=/usr/bin/python3
work="$(mktemp -d)"
data="$work/data"
pid=""
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "grab_screen: $*" >&2
  [ -n "${QUILLET_GRAB_SHOT:-}" ] && import -window root "$QUILLET_GRAB_SHOT"
  exit 1
}

# The screen: the root window's background, a pattern in which every pixel
# tells its place. The X server paints it itself wherever a window goes.
"$python" - "$work/pattern.png" <<'EOF'
import sys
from PIL import Image
w, h = 1024, 768
image = Image.new("RGB", (w, h))
image.putdata([((x * 7 + y) & 255, (y * 5 + 1) & 255, (x ^ y) & 255 | 16)
               for y in range(h) for x in range(w)])
image.save(sys.argv[1])
EOF
display -window root "$work/pattern.png" || true  # ImageMagick ends with 1 here

mkdir -p "$data"
printf '%s' '<phoneslist><make name="Acme"><model name="One" screenwidth="128" screenheight="128"/></make></phoneslist>' >"$data/phoneslist.xml"
printf '%s' '<parameters><uploadhost value="127.0.0.1:9"/><uploadscript value="/upload.php"/></parameters>' >"$data/parameters.xml"
# PNG keeps the pixels as they are; no version check leaves the machine.
printf '%s' '<options><grabbedfileformat value="3"/><checknewversion value="no"/></options>' >"$data/options.xml"

"$quillet" --data-dir "$data" >"$work/quillet.log" 2>&1 &
pid=$!
main="$(timeout 30 xdotool search --sync --onlyvisible --name '^Quillet$' | head -1)" ||
  fail "the main window never showed"

visible() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
wait_until() {  # wait_until WHAT COMMAND...
  local what="$1"
  shift
  for _ in $(seq 1 200); do
    if "$@"; then return 0; fi
    kill -0 "$pid" 2>/dev/null || fail "quillet ended while waiting for $what"
    sleep 0.05
  done
  fail "timed out waiting for $what"
}
not() { ! "$@"; }

# File > Grab from screen, from the keyboard (Ctrl+Shift+G). Returns once
# the overlay covers the screen and the main window is gone.
start_grab() {
  xdotool windowfocus --sync "$main"
  xdotool key ctrl+shift+g
  wait_until "the overlay" visible '^Grab from screen$'
  not visible '^Quillet$' || fail "the main window stayed on the screen during the grab"
}
end_grab() {
  wait_until "the overlay to close" not visible '^Grab from screen$'
  wait_until "the main window to come back" visible '^Quillet$'
}
# same_pixels FILE LEFT TOP RIGHT BOTTOM: FILE holds the pattern's columns
# LEFT to RIGHT - 1 and rows TOP to BOTTOM - 1.
same_pixels() {
  "$python" - "$work/pattern.png" "$@" <<'EOF'
import sys
from PIL import Image
pattern = Image.open(sys.argv[1]).convert("RGB")
logo = Image.open(sys.argv[2]).convert("RGB")
left, top, right, bottom = map(int, sys.argv[3:7])
expected = pattern.crop((left, top, right, bottom))
if logo.size != expected.size:
    sys.exit("size %s, expected %s" % (logo.size, expected.size))
if list(logo.getdata()) != list(expected.getdata()):
    sys.exit("the pixels differ from the screen's")
EOF
}
logos="$data/Logo Directory"

# 1. The overlay shows the screen as it was, 1:1 at the origin, without the
# main window (the magnifier aside, which comes with the pointer). From 300
# to 350 over where the main window was: 51 by 51 pixels of the screen.
start_grab
xdotool mousemove 1000 740
sleep 0.2
import -window root "$work/overlay.png"
"$python" - "$work/pattern.png" "$work/overlay.png" <<'EOF' || fail "the overlay is not the screen"
import sys
from PIL import Image
pattern = Image.open(sys.argv[1]).convert("RGB")
shown = Image.open(sys.argv[2]).convert("RGB")
# The magnifier sits above and to the left of a pointer in the corner.
part = (0, 0, 1024, 540)
if list(pattern.crop(part).getdata()) != list(shown.crop(part).getdata()):
    sys.exit("the overlay differs from the screen")
if list(pattern.getdata()) == list(shown.getdata()):
    sys.exit("no magnifier beside the pointer")
EOF
xdotool mousemove 300 200 mousedown 1 mousemove 320 230 mousemove 350 250 mouseup 1
end_grab
wait_until "grabbedimage.png" test -f "$logos/grabbedimage.png"
same_pixels "$logos/grabbedimage.png" 300 200 351 251 || fail "first grab"

# 2. Backwards from 400 to 350: the columns and rows 351 to 399, 49 pixels,
# next to the selected first logo.
start_grab
xdotool mousemove 400 300 mousedown 1 mousemove 380 280 mousemove 350 250 mouseup 1
end_grab
wait_until "grabbedimage2.png" test -f "$logos/grabbedimage2.png"
same_pixels "$logos/grabbedimage2.png" 351 251 400 300 || fail "second grab"

# 3. The arrow keys while dragging move the pointer one pixel at a time.
start_grab
xdotool mousemove 500 400 mousedown 1 mousemove 520 430
xdotool key Right Right Down
sleep 0.2
xdotool mouseup 1
end_grab
wait_until "grabbedimage3.png" test -f "$logos/grabbedimage3.png"
same_pixels "$logos/grabbedimage3.png" 500 400 523 432 || fail "grab with the arrow keys"

# 4. A click is one pixel: the width warning, nothing stored.
start_grab
xdotool mousemove 600 500 click 1
end_grab
wait_until "the width warning" visible '^Warning$'
xdotool key Return
wait_until "the warning to close" not visible '^Warning$'

# 5. Escape: nothing, not a word.
start_grab
xdotool mousemove 100 100 mousedown 1 mousemove 200 200 key Escape
xdotool mouseup 1
end_grab
sleep 0.3
visible '^(Warning|Error|Information)$' && fail "a message after Escape"

stored="$(cd "$logos" && ls | sort | tr '\n' ' ')"
[ "$stored" = "grabbedimage.png grabbedimage2.png grabbedimage3.png " ] ||
  fail "stored: $stored"

# Exit writes the logo directory with the three new logos.
xdotool windowfocus --sync "$main"
xdotool key ctrl+q
for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "quillet did not end on Ctrl+Q"
status=0
wait "$pid" || status=$?
pid=""
[ "$status" -eq 0 ] || { cat "$work/quillet.log" >&2; fail "quillet ended with $status"; }
"$python" - "$data/logodirectory.xml" <<'EOF' || fail "logodirectory.xml"
import sys
import xml.etree.ElementTree as tree
root = tree.parse(sys.argv[1]).getroot()
names = [node.get("nodename") for node in root.iter("logodirnode") if node.get("nodekind") == "logo"]
if names != ["grabbedimage.png", "grabbedimage2.png", "grabbedimage3.png"]:
    sys.exit("logos %s" % names)
EOF

# The window test of the grab on this X server, at 1 and 2 pixels a
# logical pixel.
for scale in 1 2; do
  QT_SCALE_FACTOR=$scale "$stage/gui_GrabScreenFormTest" -silent ||
    fail "the grab window test on X11 at scale $scale"
done
QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=2 "$stage/gui_GrabScreenFormTest" -silent ||
  fail "the grab window test offscreen at scale 2"
echo "grab screen: ok"
