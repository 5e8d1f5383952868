# The Windows program cross-compiled with MinGW-w64, and its tests under Wine: the COM binding in
# process, the binding and the controller against our test automation server in a process of its
# own, the same on the host thread against a member that never returns, the Win32 panel, and runs
# of the real panel program under Xvfb at four screen densities (the prefix's DPI set to 96, 120,
# 144 and 192 in turn). Everything runs in a fresh Wine prefix that is thrown away afterwards.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)

missing=()
for tool in x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-windres wine wineserver winepath \
  xvfb-run xdotool /usr/bin/import /usr/bin/convert; do
  command -v "$tool" > /dev/null || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "FAIL: missing tools: ${missing[*]} (ORVANE_WINDOWS=1 scripts/setup installs them)"
  exit 1
fi

# The optimised build, which the installer stage then packages: one Windows build for both.
cmake --preset mingw-release > /dev/null
cmake --build --preset mingw-release -j "${ORVANE_JOBS:-2}"
bin="$root/build/mingw-release"

source scripts/test.d/checks.bash
work=$(mktemp -d /tmp/orvane-wine.XXXXXX)
useWinePrefix "$work"
cleanup() {
  stopWine
  rm -rf "$work"
}
trap cleanup EXIT

# run NAME SECONDS COMMAND...: runs a test program with a time limit and records the outcome.
run() {
  local name=$1 limit=$2
  shift 2
  local start=$SECONDS rc=0
  timeout --kill-after=5 "$limit" "$@" || rc=$?
  if [ "$rc" -eq 0 ]; then
    pass "$name ($((SECONDS - start)) s)"
  elif [ "$rc" -eq 124 ]; then
    fail "$name: no result within $limit s"
  else
    fail "$name: exit code $rc"
  fi
}

echo "--- fresh Wine prefix in $WINEPREFIX"
start=$SECONDS
startWinePrefix || { fail "wineboot"; exit 1; }
echo "prefix ready in $((SECONDS - start)) s"

echo "--- registering the test automation server as Qelvix.Application"
clsid='{B637BFB7-4791-43E6-A23E-BFF030477A0B}'
server=$(winepath -w "$bin/tests/windows/orvane_test_server.exe" 2> /dev/null)
reg() { timeout 60 wine reg add "$@" /f > /dev/null 2>&1; }
reg 'HKCR\Qelvix.Application\CLSID' /ve /d "$clsid"
reg "HKCR\\CLSID\\$clsid\\ProgID" /ve /d 'Qelvix.Application'
reg "HKCR\\CLSID\\$clsid\\LocalServer32" /ve /d "$server"

# No window manager under Xvfb: unmanaged windows, so that Wine does not wait (2 s each) for a
# manager to withdraw every window it hides.
timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f > /dev/null 2>&1

echo "--- the COM binding in process"
run "COM binding tests" 60 wine "$bin/tests/windows/orvane_com_tests.exe"

echo "--- the presets file shared: read with delete sharing, a busy replace, refusals"
run "presets file tests" 60 wine "$bin/tests/windows/orvane_presets_file_tests.exe"

echo "--- the COM binding and the controller against the out-of-process test server"
wine_tests="$bin/tests/windows/orvane_com_wine_tests.exe"
run "cross-process tests" 150 wine "$wine_tests"

echo "--- a host that stops answering: the binding on the host thread against a member that never returns"
run "hung-host tests" 150 wine "$bin/tests/windows/orvane_hung_host_tests.exe"

echo "--- the Win32 panel and the program under Xvfb"
# A wineserver started without a display keeps a desktop without a driver: start afresh.
stopWine
timeout 30 wineserver -w || true
# A screen wide enough for the window at 192 dpi (1170 pixels of client area).
run "Win32 panel and program under Xvfb" 300 \
  xvfb-run -a -s "-screen 0 1280x1024x24" bash "$root/tests/windows/gui-check.sh" "$bin" "$work" \
  "96 120 144 192"

stopWine
endChecks "Windows tests"
