#!/usr/bin/env bash
# The shipped systemd user unit, installed under a prefix: systemd reads it
# without a complaint, and it starts the installed service with its data in
# the user's data folder.
#
#   systemd_unit_test.sh BUILD_DIR
set -euo pipefail
build="$1"
work="$(mktemp -d "${TMPDIR:-/tmp}/quillet-unit-test-XXXXXX")"
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
unit="$work/prefix/share/systemd/user/quillet-service.service"
[[ -f "$unit" ]] || { echo "FAIL: no unit installed" >&2; exit 1; }
grep -qx "ExecStart=$work/prefix/bin/quillet-service --data-dir %h/.local/share/quillet-service" "$unit" ||
  { echo "FAIL: ExecStart: $(grep ExecStart "$unit")" >&2; exit 1; }
[[ -x "$work/prefix/bin/quillet-service" ]] || { echo "FAIL: service not installed" >&2; exit 1; }

if command -v systemd-analyze >/dev/null; then
  mkdir -m 700 "$work/runtime"
  out="$(XDG_RUNTIME_DIR="$work/runtime" HOME="$work/home" systemd-analyze --user verify "$unit" 2>&1)" || true
  # Only complaints about this unit count (a container may lack the rest).
  if grep -i "quillet-service.service" <<<"$out"; then
    echo "FAIL: systemd-analyze: $out" >&2
    exit 1
  fi
fi
echo "systemd unit: all checks passed"
