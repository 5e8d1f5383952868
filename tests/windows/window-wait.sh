# Waiting for the programs under test, shared by the Windows GUI checks (sourced, not run).

# waitForWindowMatching PATTERN SECONDS [EXCEPT]: prints the id of the first visible window whose
# name matches PATTERN, other than those in EXCEPT (ids joined by |).
waitForWindowMatching() {
  local id="" i
  for ((i = 0; i < $2 * 4; i++)); do
    id=$(xdotool search --onlyvisible --name "$1" 2> /dev/null | grep -Evx "${3:-^\$}" | head -1)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.25
  done
  return 1
}

# waitForExit PID: waits up to 15 s for the program to end; sets rc to its exit code, or to empty
# text when it is still running. (Not in a subshell: only this shell can wait for its child.)
waitForExit() {
  local i
  rc=""
  for ((i = 0; i < 60; i++)); do
    if ! kill -0 "$1" 2> /dev/null; then
      rc=0
      wait "$1" || rc=$?
      return
    fi
    sleep 0.25
  done
}
