# Shared by the test stages, the Windows checks and the COM benchmark (sourced, not run): how a
# check reports, and a Wine prefix of the run's own.

failures=()
# pass TEXT, fail TEXT: one line each; fail also remembers the check for endChecks.
pass() { echo "PASS: $1"; }
fail() {
  echo "FAIL: $1"
  failures+=("$1")
}
# endChecks WHAT: the summary line; fails when any check failed.
endChecks() {
  if [ ${#failures[@]} -gt 0 ]; then
    echo "$1 FAILED: ${failures[*]}"
    return 1
  fi
  echo "$1: all checks passed"
}

# useWinePrefix FOLDER [OVERRIDES]: a 64-bit Wine prefix in FOLDER/prefix for what runs from here
# on, without the Mono and Gecko installers; OVERRIDES (e.g. "winemenubuilder.exe=d") adds DLL
# overrides. startWinePrefix makes it (wineboot) and waits for it to settle; stopWine ends its
# wineserver.
useWinePrefix() {
  export WINEPREFIX="$1/prefix" WINEDEBUG="-all,err+module" WINEARCH=win64
  export WINEDLLOVERRIDES="mscoree,mshtml=${2:+;$2}"
}
startWinePrefix() {
  timeout 180 wineboot > /dev/null 2>&1 || return 1
  timeout 60 wineserver -w || true
}
stopWine() { timeout 20 wineserver -k > /dev/null 2>&1 || true; }
