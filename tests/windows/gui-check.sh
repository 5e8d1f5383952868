# Runs inside xvfb-run (from scripts/test.d/40-windows-wine.sh): the Win32 panel tests, then one run
# of the real program against the test automation server: answer the address prompt, click bus A's
# "X5", check on a screenshot that it turned green, close the window with Alt+F4.
# Arguments: the build directory and a work directory for the screenshots.
set -uo pipefail
bin=$1
work=$2
failed=0
pass() { echo "PASS: $1"; }
fail() {
  echo "FAIL: $1"
  failed=1
}

if timeout 120 wine "$bin/tests/windows/orvane_win32_panel_tests.exe"; then
  pass "Win32 panel tests"
else
  fail "Win32 panel tests"
fi
if timeout 120 wine "$bin/tests/windows/orvane_win32_waiter_tests.exe"; then
  pass "waiting for the host thread: busy cursor and Retry/Cancel box"
else
  fail "waiting for the host thread"
fi

# waitForWindow NAME SECONDS: prints the id of the first visible window of that exact name.
waitForWindow() {
  local id="" i
  for ((i = 0; i < $2 * 4; i++)); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2> /dev/null | head -1)
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

# pixel X Y FILE: the colour of one pixel of a screenshot, as srgb(r,g,b).
pixel() { /usr/bin/convert "$3" -format "%[pixel:p{$1,$2}]" info:; }

# One pixel of a control, in client pixels: 3 to the right of its left edge, halfway down, so
# clear of the frame, the focus rectangle and the caption. Twips at 96 dots per inch: 15 a pixel.
start=$SECONDS
wine "$bin/app/windows/orvane-panel.exe" &
panel=$!
if ! prompt=$(waitForWindow "Orvane I/O Switcher" 30); then
  fail "the address prompt did not appear"
else
  xdotool windowfocus --sync "$prompt" 2> /dev/null || true
  xdotool key --clearmodifiers Return  # accepts the default address, 0
  if ! main=$(waitForWindow "Orvane I/O Switcher 0" 30); then
    fail "the main window did not appear after the prompt"
  else
    echo "main window shown $((SECONDS - start)) s after the start"
    # The X window is the client area when a window manager draws the frame, the whole window
    # (Wine's own frame: equal borders, the caption on top) when windows are unmanaged.
    eval "$(xdotool getwindowgeometry --shell "$main")"
    border=$(((WIDTH - 585) / 2))
    X=$((X + border))
    Y=$((Y + HEIGHT - 51 - border))
    echo "window $WIDTH x $HEIGHT, client area 585 x 51 at $X,$Y"
    [ "$border" -ge 0 ] && [ $((HEIGHT - 51 - 2 * border)) -ge 0 ] || fail "window $WIDTH x $HEIGHT"
    sleep 1
    /usr/bin/import -window root "$work/before.png"
    allOff=$(pixel $((X + 3)) $((Y + 8)) "$work/before.png")
    x5=$(pixel $((X + 144 + 3)) $((Y + 8)) "$work/before.png")
    echo "before the click: All Off $allOff, X5 $x5"
    [ "$allOff" = "srgb(255,255,255)" ] || fail "All Off is not white before the click: $allOff"
    [ "$x5" = "srgb(128,128,128)" ] || fail "X5 is not grey before the click: $x5"
    # X5 is channel 5: left 720 + 4 x 360 = 2160 twips = 144 px, 25 px wide, 17 px high.
    xdotool mousemove $((X + 144 + 12)) $((Y + 8)) click 1
    after=""
    for _ in 1 2 3 4 5 6 7 8 9 10; do
      sleep 0.5
      /usr/bin/import -window root "$work/after.png"
      after=$(pixel $((X + 144 + 3)) $((Y + 8)) "$work/after.png")
      [ "$after" = "srgb(0,255,0)" ] && break
    done
    if [ "$after" = "srgb(0,255,0)" ]; then
      pass "bus A's X5 is green after the click"
    else
      fail "bus A's X5 is $after after the click, not green"
    fi
    xdotool windowfocus --sync "$main" 2> /dev/null || true
    xdotool key --clearmodifiers alt+F4
  fi
fi
waitForExit "$panel"
if [ -z "$rc" ]; then
  fail "the program did not end within 15 s of Alt+F4"
  kill "$panel" 2> /dev/null
elif [ "$rc" -ne 0 ]; then
  fail "the program ended with exit code $rc"
else
  pass "the program closed with exit code 0"
fi

# A host that stops answering: the test server answers the three status reads of start-up, and the
# one after a click on X5 never returns. With a limit of 1 s the not-answering box comes (the
# same title as the window); Escape is Cancel, which gives up the call, so the lost-connection box
# follows; OK, and the program ends (exit code 0, as for any lost connection) without waiting for
# the hung call. Starting the server can take longer than the limit: a box during start-up is
# answered with Return (Retry), as the address prompt is (OK).
hangKey='HKCU\Software\Orvane\TestServer'
timeout 60 wine reg add "$hangKey" /v HangMember /d IOSWITCHER_GetFullStatus /f > /dev/null 2>&1
timeout 60 wine reg add "$hangKey" /v HangAfterCalls /t REG_DWORD /d 3 /f > /dev/null 2>&1
# waitForOtherWindow NAME EXCEPT SECONDS: like waitForWindow, for a window other than those in
# EXCEPT (ids joined by |).
waitForOtherWindow() {
  local id="" i
  for ((i = 0; i < $3 * 4; i++)); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2> /dev/null | grep -Evx "$2" | head -1)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.25
  done
  return 1
}
wine "$bin/app/windows/orvane-panel.exe" --host-timeout-ms 1000 &
panel=$!
main=""
for ((i = 0; i < 60; i++)); do
  main=$(xdotool search --onlyvisible --name "^Orvane I/O Switcher 0\$" 2> /dev/null | head -1)
  [ -n "$main" ] && break
  if startup=$(waitForWindow "Orvane I/O Switcher" 1); then
    xdotool windowfocus --sync "$startup" 2> /dev/null || true
    xdotool key --clearmodifiers Return
    sleep 0.5
  fi
done
if [ -z "$main" ]; then
  fail "hung host: the main window did not appear"
else
  eval "$(xdotool getwindowgeometry --shell "$main")"
  border=$(((WIDTH - 585) / 2))
  xdotool mousemove $((X + border + 144 + 12)) $((Y + HEIGHT - 51 - border + 8)) click 1
  if ! box=$(waitForOtherWindow "Orvane I/O Switcher 0" "$main" 30); then
    fail "hung host: no box after the limit"
  else
    pass "hung host: the not-answering box appeared"
    /usr/bin/import -window root "$work/hung-box.png"
    xdotool windowfocus --sync "$box" 2> /dev/null || true
    xdotool key --clearmodifiers Escape
    if ! lost=$(waitForOtherWindow "Orvane I/O Switcher 0" "$main|$box" 15); then
      fail "hung host: no lost-connection box after Cancel"
    else
      pass "hung host: Cancel gave the lost-connection box"
      xdotool windowfocus --sync "$lost" 2> /dev/null || true
      okAt=$(date +%s%N)
      xdotool key --clearmodifiers Return
    fi
  fi
fi
waitForExit "$panel"
if [ -z "$rc" ]; then
  fail "hung host: the program did not end within 15 s"
  kill "$panel" 2> /dev/null
elif [ "$rc" -ne 0 ]; then
  fail "hung host: the program ended with exit code $rc"
else
  pass "hung host: the program ended with exit code 0 (within $((($(date +%s%N) - ${okAt:-0}) / 1000000)) ms of OK, polled every 250 ms)"
fi
timeout 60 wine reg delete "$hangKey" /f > /dev/null 2>&1

# A host that cannot be created: the start-up box, OK, and a failing exit code. The ProgID is
# unregistered for this run only.
timeout 60 wine reg delete 'HKCR\Qelvix.Application' /f > /dev/null 2>&1
wine "$bin/app/windows/orvane-panel.exe" &
panel=$!
if box=$(waitForWindow "Orvane I/O Switcher" 30); then
  xdotool windowfocus --sync "$box" 2> /dev/null || true
  xdotool key --clearmodifiers Return
else
  fail "no start-up box when the host cannot be created"
fi
waitForExit "$panel"
if [ -z "$rc" ]; then
  fail "the program did not end after the start-up box"
  kill "$panel" 2> /dev/null
elif [ "$rc" -eq 0 ]; then
  fail "a failed start-up ended with exit code 0"
else
  pass "a host that cannot be created: the start-up box, then exit code $rc"
fi
exit $failed
