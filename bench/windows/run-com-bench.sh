#!/usr/bin/env bash
# Runs com_roundtrip_bench under Wine against the test automation server, out of process, in a
# fresh Wine prefix that is thrown away afterwards:
#   bench/windows/run-com-bench.sh BUILD_DIR [ROUNDS]
# BUILD_DIR is a MinGW build with the benchmarks and the Windows tests
# (bench/com_roundtrip_bench.exe, tests/windows/orvane_test_server.exe). Prints the figures and
# the controller's own cost of a click as a share of the click's host time.
set -euo pipefail
bin=$(cd "$1" && pwd)
rounds=${2:-200}
exe="$bin/bench/com_roundtrip_bench.exe"
server_exe="$bin/tests/windows/orvane_test_server.exe"
for f in "$exe" "$server_exe"; do
  [ -f "$f" ] || { echo "com: $f is missing"; exit 1; }
done

source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/test.d/checks.bash"
work=$(mktemp -d /tmp/orvane-com-bench.XXXXXX)
useWinePrefix "$work"
cleanup() {
  stopWine
  rm -rf "$work"
}
trap cleanup EXIT

startWinePrefix || { echo "com: wineboot failed"; exit 1; }
clsid='{B637BFB7-4791-43E6-A23E-BFF030477A0B}'  # tests/windows/TestServerIds.h
server=$(winepath -w "$server_exe" 2>/dev/null)
reg() { timeout 60 wine reg add "$@" /f >/dev/null 2>&1; }
reg 'HKCR\Qelvix.Application\CLSID' /ve /d "$clsid"
reg "HKCR\\CLSID\\$clsid\\ProgID" /ve /d 'Qelvix.Application'
reg "HKCR\\CLSID\\$clsid\\LocalServer32" /ve /d "$server"

timeout 300 wine "$exe" "$rounds" | tr -d '\r' >"$work/com.txt" || { cat "$work/com.txt"; exit 1; }
cat "$work/com.txt"
# The host thread's extra time per call as a share of one out-of-process call: the median of the
# per-pair differences with its interquartile range, and from the fastest call of each side.
awk '{v[$1] = $2}
     END {for (m in v) if (m ~ /^com_round_trip_[a-z0-9_]*[a-z0-9]$/ && !(m ~ /host_thread|fastest|control/)) {
            printf "%s_host_thread_share %.2f %% (IQR %.2f .. %.2f %%)\n", m,
                   100 * v[m "_host_thread_extra"] / v[m], 100 * v[m "_host_thread_extra_q1"] / v[m],
                   100 * v[m "_host_thread_extra_q3"] / v[m]
            printf "%s_host_thread_share_fastest %.2f %%\n", m,
                   100 * (v[m "_host_thread_fastest"] - v[m "_fastest"]) / v[m "_fastest"] }}' \
  "$work/com.txt"
awk '$1 == "controller_click_own_cost" {own = $2}
     $1 == "com_click_mode0_two_calls" {click = $2}
     END {if (own && click) printf "controller_share_of_click_over_com %.4f %%\n", 100 * own / click}' \
  "$work/com.txt"
