#!/usr/bin/env bash
# scripts/run with a new program folder: only the shipped files and the
# sample pictures go into it (never the build folder's own state), its
# parameters point at the local service, the service is started in the
# background with its data in the user's data folder, and a guest upload
# through those addresses gives an address that opens.
#
#   run_script_test.sh SOURCE_DIR QUILLET_SERVICE
set -euo pipefail
root="$1" service_binary="$2"

work="$(mktemp -d "${TMPDIR:-/tmp}/quillet-run-test-XXXXXX")"
pidfile="$work/xdg/quillet-service/quillet-service.pid"
cleanup() {
  [[ -f "$pidfile" ]] && kill "$(cat "$pidfile")" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# A build folder that has been used as a program folder itself.
build="$work/build"
mkdir -p "$build/bin"
ln -s "$service_binary" "$build/bin/quillet-service"
cp "$root"/data/*.xml "$root"/data/*.html "$build/bin/"
echo '<logodirectory><logodirnode nodekind="folder" nodename="Old"/></logodirectory>' \
  >"$build/bin/logodirectory.xml"
echo '<options/>' >"$build/bin/options.xml"
echo '<appstate/>' >"$build/bin/appstate.xml"
# The program: records how it was started.
cat >"$build/bin/quillet" <<'PROGRAM'
#!/usr/bin/env bash
echo "$*" >"$QUILLET_RUN_TEST_RECORD"
PROGRAM
chmod +x "$build/bin/quillet"

port="$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
export QUILLET_RUN_NO_BUILD=1 QUILLET_BUILD="$build" QUILLET_SERVICE_PORT="$port" \
  QUILLET_SERVICE_ADDRESS=127.0.0.1 XDG_DATA_HOME="$work/xdg" DISPLAY=:test-display \
  QUILLET_RUN_TEST_RECORD="$work/record"
unset QUILLET_HOME WAYLAND_DISPLAY http_proxy HTTP_PROXY all_proxy ALL_PROXY

folder="$work/new folder"
"$root/scripts/run" --data-dir "$folder" 2>"$work/run.err" || fail "scripts/run: $(cat "$work/run.err")"

[[ "$(cat "$work/record")" == "--data-dir $folder" ]] || fail "program started with: $(cat "$work/record")"
for shipped in phoneslist.xml qhelp.html parameters.xml; do
  [[ -f "$folder/$shipped" ]] || fail "$shipped was not put into the new folder"
done
[[ ! -e "$folder/appstate.xml" ]] || fail "appstate.xml was copied from the build folder"
# The options are not the build folder's: a new folder of the local service
# starts with its shared account, readable by its owner only.
grep -q '<login value="guest"/><password value="guest"/>' "$folder/options.xml" ||
  fail "options.xml: $(cat "$folder/options.xml")"
[[ "$(stat -c %a "$folder/options.xml")" == 600 ]] || fail "options.xml is readable by others"
grep -q 'nodename="sunset.jpg"' "$folder/logodirectory.xml" || fail "no sample pictures"
grep -q 'nodename="Old"' "$folder/logodirectory.xml" && fail "the build folder's logo directory was copied"
[[ -f "$folder/Logo Directory/Samples/sunset.jpg" ]] || fail "no sample picture files"
grep -q "<uploadhost value=\"127.0.0.1:$port\"/>" "$folder/parameters.xml" || fail "uploadhost: $(cat "$folder/parameters.xml")"
grep -q "<sendmailhost value=\"127.0.0.1:$port\"/>" "$folder/parameters.xml" || fail "sendmailhost"

# The service runs, with its data in the user's data folder.
[[ -f "$work/xdg/quillet-service/quillet-service.db" ]] || fail "no service data in XDG_DATA_HOME"
version="$(curl -sf --noproxy '*' "http://127.0.0.1:$port/curversion.php")" || fail "service does not answer"
[[ "$version" == 1.1.3 ]] || fail "version $version"

# A newcomer's first upload, with the guest account, at the parameters' host.
host="$(sed -n 's/.*<uploadhost value="\([^"]*\)".*/\1/p' "$folder/parameters.xml")"
reply="$(curl -sf --noproxy '*' -F login=guest -F password=guest \
  -F "logofile=@$folder/Logo Directory/Samples/target.png" "http://$host/upload.php")"
[[ "$(head -n 1 <<<"$reply" | tr -d '\r')" == SUCCESS ]] || fail "upload: $reply"
address="$(sed -n 2p <<<"$reply" | tr -d '\r')"
[[ "$address" == "http://127.0.0.1:$port/guest/?id="* ]] || fail "address $address"
curl -sf --noproxy '*' "$address" | grep -q '<img src="/p/' || fail "the address does not open a picture page"

# A second start finds the service running and keeps a folder's own
# parameters.
first_pid="$(cat "$pidfile")"
echo '<parameters><uploadhost value="example.test:9"/></parameters>' >"$folder/parameters.xml"
"$root/scripts/run" --data-dir "$folder" 2>"$work/run2.err" || fail "second run"
grep -q "already answers" "$work/run2.err" || fail "second run: $(cat "$work/run2.err")"
[[ "$(cat "$pidfile")" == "$first_pid" ]] || fail "a second service was started"
grep -q 'example.test:9' "$folder/parameters.xml" || fail "the folder's own parameters were replaced"

# Without a display the program is not started, and the run still succeeds.
rm -f "$work/record"
DISPLAY= "$root/scripts/run" --data-dir "$work/other" 2>"$work/run3.err" || fail "no-display run"
grep -q "no display" "$work/run3.err" || fail "no-display message: $(cat "$work/run3.err")"
[[ ! -e "$work/record" ]] || fail "the program was started without a display"
echo "scripts/run: all checks passed"
