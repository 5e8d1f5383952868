# Runs inside xvfb-run (from scripts/test.d/40-windows-wine.sh): the Win32 panel tests, then one run
# of the real program against the test automation server at each screen density asked for: answer
# the address prompt, check the client area, click bus A's "X5" at its scaled place, check on a
# screenshot that exactly that button turned green, close the window with Alt+F4.
# Arguments: the build directory, a work directory for the screenshots, the DPIs ("96 120").
set -uo pipefail
bin=$1
work=$2
dpis=${3:-96}  # the screen densities to start the program at
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/test.d/checks.bash"

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

source "$(dirname "${BASH_SOURCE[0]}")/window-wait.sh"

# waitForWindow NAME SECONDS: prints the id of the first visible window of that exact name.
waitForWindow() { waitForWindowMatching "^$1\$" "$2"; }

# endedCleanly LABEL WHEN: waits for the panel program to end; a program still running 15 s
# after WHEN (killed then) or a non-zero exit code fails LABEL. True when it ended with code 0.
endedCleanly() {
  local expected="${3:-0}"
  waitForExit "$panel"
  if [ -z "$rc" ]; then
    fail "$1: the program did not end within 15 s$2"
    kill "$panel" 2> /dev/null
    return 1
  elif [ "$rc" -ne "$expected" ]; then
    fail "$1: the program ended with exit code $rc, not $expected"
    return 1
  fi
}

# answerPrompt: accepts the address prompt (address 0) and prints the main window's id. The
# start-up window, titled like the prompt, may come first while the host starts; Return does
# nothing there, so Return goes to each window of that title until the main window is up.
answerPrompt() {
  local main="" candidate i
  for ((i = 0; i < 60; i++)); do
    main=$(xdotool search --onlyvisible --name "^Orvane I/O Switcher 0\$" 2> /dev/null | head -1)
    [ -n "$main" ] && break
    if candidate=$(waitForWindow "Orvane I/O Switcher" 1); then
      xdotool windowfocus --sync "$candidate" 2> /dev/null || true
      xdotool key --clearmodifiers Return
      sleep 0.5
    fi
  done
  [ -n "$main" ] && echo "$main"
}

# clickX5 MAIN: clicks bus A's X5 in the main window, at 96 dpi.
clickX5() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  local border=$(((WIDTH - 585) / 2))
  xdotool mousemove $((X + border + 144 + 12)) $((Y + HEIGHT - 51 - border + 8)) click 1
}

# pixel X Y FILE: the colour of one pixel of a screenshot, as srgb(r,g,b).
pixel() { /usr/bin/convert "$3" -format "%[pixel:p{$1,$2}]" info:; }

# px TWIPS DPI: a position in twips as client pixels at that DPI, rounded as the panel rounds
# (MulDiv: halves away from zero).
px() { echo $((($1 * $2 + 720) / 1440)); }

# setDpi N: the DPI of the prefix's one screen, for every program started afterwards. The
# wineserver is let end first (a cold start of some seconds per density): without it, a run at
# 144 dpi once came up at the 120 dpi of the run before.
setDpi() {
  timeout 60 wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
    > /dev/null 2>&1
  timeout 60 wineserver -w > /dev/null 2>&1 || true
}

# The real program at one DPI: answer the address prompt, check the client area, click bus A's
# "X5" at its scaled place and check on a screenshot that exactly that button turned green, close
# the window with Alt+F4. Buttons are sampled just inside their frame, halfway down, clear of the
# caption and the focus rectangle.
border=""  # Wine's frame beside the client area, measured at 96 dpi; it does not scale
checkAtDpi() {
  local dpi=$1 start=$SECONDS
  local clientW clientH frame
  clientW=$(px 8775 "$dpi")
  clientH=$(px 765 "$dpi")
  frame=$((2 * ((dpi + 48) / 96)))  # the painting buttons' two frame lines, scaled
  wine "$bin/app/windows/orvane-panel.exe" &
  panel=$!
  if ! main=$(answerPrompt); then
    fail "$dpi dpi: the main window did not appear after the prompt"
  else
    echo "$dpi dpi: main window shown $((SECONDS - start)) s after the start"
    checkWindow "$dpi" "$clientW" "$clientH" "$frame"
    xdotool windowfocus --sync "$main" 2> /dev/null || true
    xdotool key --clearmodifiers alt+F4
  fi
  if endedCleanly "$dpi dpi" " of Alt+F4"; then
    pass "$dpi dpi: the program closed with exit code 0"
  fi
}

# faceOf FILE TWIPS_LEFT TWIPS_TOP: a button's face colour, for checkWindow's window and DPI.
faceOf() {
  pixel $((left + $(px "$2" "$dpi") + frame + 1)) \
    $((top + ($(px "$3" "$dpi") + $(px $(($3 + 255)) "$dpi")) / 2)) "$1"
}

# checkWindow DPI CLIENT_W CLIENT_H FRAME: the main window's client area and the click on X5.
checkWindow() {
  local dpi=$1 clientW=$2 clientH=$3 frame=$4
  # The X window is the whole window (Wine's own frame: equal borders, the caption on top) as
  # windows are unmanaged. Its border is measured at 96 dpi, where the client area is known.
  eval "$(xdotool getwindowgeometry --shell "$main")"
  if [ "$dpi" = 96 ]; then
    border=$(((WIDTH - clientW) / 2))
  elif [ -z "$border" ]; then
    fail "$dpi dpi: no border measured: the first density has to be 96"
    return
  fi
  local width=$((WIDTH - 2 * border))
  local left=$((X + border)) bottom=$((Y + HEIGHT - border))
  sleep 1
  /usr/bin/import -window root "$work/before-$dpi.png"
  # The client area's top: the first row of X5's frame below the caption, found by walking down
  # its middle column to its grey face; the face starts one frame below the client area's top.
  local x5Left x5Right x5Mid top height
  x5Left=$((left + $(px 2160 "$dpi")))
  x5Right=$((left + $(px 2535 "$dpi")))
  x5Mid=$(((x5Left + x5Right) / 2))
  local row
  row=$(/usr/bin/convert "$work/before-$dpi.png" -crop "1x$((bottom - Y))+$((x5Left + frame + 1))+$Y" \
    +repage txt:- | awk -F'[,:]' '/#808080/ { print $2; exit }')
  top=$((Y + ${row:-$((bottom - Y + frame))} - frame))
  height=$((bottom - ${top:-$bottom}))
  echo "$dpi dpi: window $WIDTH x $HEIGHT, client area $width x $height (want $clientW x $clientH)"
  if [ $((width - clientW)) -ge -1 ] && [ $((width - clientW)) -le 1 ] &&
    [ $((height - clientH)) -ge -1 ] && [ $((height - clientH)) -le 1 ]; then
    pass "$dpi dpi: client area $width x $height"
  else
    fail "$dpi dpi: client area $width x $height, not $clientW x $clientH"
    return
  fi
  local allOff x5
  allOff=$(faceOf "$work/before-$dpi.png" 0 0)
  x5=$(faceOf "$work/before-$dpi.png" 2160 0)
  [ "$allOff" = "srgb(255,255,255)" ] || fail "$dpi dpi: All Off is not white: $allOff"
  [ "$x5" = "srgb(128,128,128)" ] || fail "$dpi dpi: X5 is not grey before the click: $x5"
  xdotool mousemove "$x5Mid" $((top + $(px 255 "$dpi") / 2)) click 1
  local after=""
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    sleep 0.5
    /usr/bin/import -window root "$work/after-$dpi.png"
    after=$(faceOf "$work/after-$dpi.png" 2160 0)
    [ "$after" = "srgb(0,255,0)" ] && break
  done
  # Exactly that button: its neighbours, bus B's X5 and All Off are as they were.
  local x4 x6 busBX5 allOffAfter
  x4=$(faceOf "$work/after-$dpi.png" 1800 0)
  x6=$(faceOf "$work/after-$dpi.png" 2520 0)
  busBX5=$(faceOf "$work/after-$dpi.png" 2160 240)
  allOffAfter=$(faceOf "$work/after-$dpi.png" 0 0)
  if [ "$after" = "srgb(0,255,0)" ] && [ "$x4" = "srgb(128,128,128)" ] &&
    [ "$x6" = "srgb(128,128,128)" ] && [ "$busBX5" = "srgb(128,128,128)" ] &&
    [ "$allOffAfter" = "srgb(255,255,255)" ]; then
    pass "$dpi dpi: a click at the scaled place turns exactly bus A's X5 green"
  else
    fail "$dpi dpi: after the click X5 $after, X4 $x4, X6 $x6, bus B's X5 $busBX5, All Off $allOffAfter"
  fi
  case $dpi in 96 | 144) checkHistory ;; esac
}

# checkHistory: (inside checkWindow) X5 off and X3 alone on bus A (+9 V on its +ve terminal), DC
# on, off and on again, then the DC history from Shift+F10's menu. Its screenshot must show the
# guard lines and the trace at the rows the chart's axis gives, and a gap.
checkHistory() {
  local row=$((top + $(px 255 "$dpi") / 2)) history
  xdotool mousemove "$x5Mid" "$row" click 1
  sleep 0.5
  xdotool mousemove $((left + ($(px 1440 "$dpi") + $(px 1815 "$dpi")) / 2)) "$row" click 1
  sleep 0.5
  local dc="$((left + ($(px 5040 "$dpi") + $(px 5655 "$dpi")) / 2)) $((top + ($(px 480 "$dpi") + $(px 735 "$dpi")) / 2))"
  xdotool mousemove $dc click 1 && sleep 3 && xdotool click 1 && sleep 2 && xdotool click 1 && sleep 3
  xdotool mousemove 1000 700
  xdotool windowfocus --sync "$main" 2> /dev/null || true
  xdotool key --clearmodifiers shift+F10 && sleep 0.5 && xdotool key Up && sleep 0.3 && xdotool key Return
  if ! history=$(waitForWindow "DC history - Orvane I/O Switcher 0" 10); then
    fail "$dpi dpi: no DC history window from the context menu"
    return
  fi
  sleep 1
  /usr/bin/import -window "$history" "$work/history-$dpi.png" &&
    /usr/bin/convert "$work/history-$dpi.png" "$work/history-$dpi.ppm"
  local found
  if found=$(python3 "$(dirname "${BASH_SOURCE[0]}")/../support/chart_rows.py" "$work/history-$dpi.ppm"); then
    pass "$dpi dpi: DC history from the menu: $found"
  else
    fail "$dpi dpi: DC history: $found"
  fi
  xdotool windowfocus --sync "$history" 2> /dev/null || true
  xdotool key --clearmodifiers Escape
  sleep 0.5
  if xdotool search --onlyvisible --name "^DC history - " > /dev/null 2>&1; then
    fail "$dpi dpi: Escape left the DC history window open"
  fi
}

# The program at each DPI asked for (the stage passes 96, 120, 144 and 192), then 96 again.
for dpi in ${dpis:-96}; do
  setDpi "$dpi"
  checkAtDpi "$dpi"
done
setDpi 96

# The simulated host (--simulate), traced: the caption says so after the controller's title, and
# the trace file tells the session. The run above, on the test server, kept the plain title.
trace="$work/simulated.trace"
wine "$bin/app/windows/orvane-panel.exe" --simulate --trace "$(winepath -w "$trace")" &
panel=$!
if ! prompt=$(waitForWindow "Orvane I/O Switcher" 30); then
  fail "--simulate: the address prompt did not appear"
else
  xdotool windowfocus --sync "$prompt" 2> /dev/null || true
  xdotool key --clearmodifiers Return
  if ! main=$(waitForWindow "Orvane I/O Switcher 0 \\(simulated\\)" 30); then
    fail "--simulate: no window captioned 'Orvane I/O Switcher 0 (simulated)'"
  else
    pass "--simulate: the caption reads '$(xdotool getwindowname "$main")'"
    xdotool windowfocus --sync "$main" 2> /dev/null || true
    xdotool key --clearmodifiers alt+F4
  fi
fi
if endedCleanly "--simulate" " of Alt+F4"; then
  if grep -qE '^[0-9]+ms event handled Form_Load' "$trace" &&
    grep -qE '^[0-9]+ms host [0-9]+us IOSwitcher.ORVANE_Reset\(&0, True, &.*\) -> True' "$trace" &&
    grep -qE '^[0-9]+ms box InputBox\(' "$trace"; then
    pass "--simulate --trace: $(wc -l < "$trace") trace lines, start-up and reset in them"
  else
    fail "--simulate --trace: the trace lacks start-up lines: $(head -c 300 "$trace" 2> /dev/null)"
  fi
fi

# A host that stops answering: the test server answers the three status reads of start-up, and the
# one after a click on X5 never returns. With a limit of 1 s the not-answering box comes (the
# same title as the window); Escape is Cancel, which gives up the call, so the lost-connection box
# follows; OK, and the program ends (exit code 3, as for any lost connection) without waiting for
# the hung call.
hangKey='HKCU\Software\Orvane\TestServer'
timeout 60 wine reg add "$hangKey" /v HangMember /d IOSWITCHER_GetFullStatus /f > /dev/null 2>&1
timeout 60 wine reg add "$hangKey" /v HangAfterCalls /t REG_DWORD /d 3 /f > /dev/null 2>&1
wine "$bin/app/windows/orvane-panel.exe" --host-timeout-ms 1000 &
panel=$!
if ! main=$(answerPrompt); then
  fail "hung host: the main window did not appear"
else
  clickX5 "$main"
  if ! box=$(waitForWindowMatching "^Orvane I/O Switcher 0\$" 30 "$main"); then
    fail "hung host: no box after the limit"
  else
    pass "hung host: the not-answering box appeared"
    /usr/bin/import -window root "$work/hung-box.png"
    xdotool windowfocus --sync "$box" 2> /dev/null || true
    xdotool key --clearmodifiers Escape
    if ! lost=$(waitForWindowMatching "^Orvane I/O Switcher 0\$" 15 "$main|$box"); then
      fail "hung host: no lost-connection box after Cancel"
    else
      pass "hung host: Cancel gave the lost-connection box"
      xdotool windowfocus --sync "$lost" 2> /dev/null || true
      okAt=$(date +%s%N)
      xdotool key --clearmodifiers Return
    fi
  fi
fi
if endedCleanly "hung host" "" 3; then
  pass "hung host: the program ended with exit code 3 (within $((($(date +%s%N) - ${okAt:-0}) / 1000000)) ms of OK, polled every 250 ms)"
fi
timeout 60 wine reg delete "$hangKey" /f > /dev/null 2>&1

# A cold start of 13 s: the test server takes 3 s to create the application and says it is ready
# 10 s later. With a limit of 1 s the not-answering box would come again and again; instead the
# start-up window comes, and nothing else of the program's until it has gone and the prompt follows.
timeout 60 wine reg add "$hangKey" /v StartDelayMs /t REG_DWORD /d 3000 /f > /dev/null 2>&1
timeout 60 wine reg add "$hangKey" /v ReadyAfterMs /t REG_DWORD /d 10000 /f > /dev/null 2>&1
startedAt=$(date +%s%N)
wine "$bin/app/windows/orvane-panel.exe" --host-timeout-ms 1000 &
panel=$!
if ! starting=$(waitForWindow "Orvane I/O Switcher" 10); then
  fail "cold start: no start-up window"
else
  shownAt=$((($(date +%s%N) - startedAt) / 1000000))
  /usr/bin/import -window root "$work/cold-start.png"
  other=""
  for ((i = 0; i < 160; i++)); do  # one look at all the program's windows at a time
    windows=$(xdotool search --onlyvisible --name "^Orvane I/O Switcher" 2> /dev/null)
    grep -qx "$starting" <<< "$windows" || break
    other=$(grep -vx "$starting" <<< "$windows" | head -1)
    [ -n "$other" ] && break
    sleep 0.25
  done
  goneAt=$((($(date +%s%N) - startedAt) / 1000000))
  if [ -n "$other" ]; then
    fail "cold start: '$(xdotool getwindowname "$other")' came while the start-up window was up"
  elif [ "$goneAt" -lt 12000 ]; then
    fail "cold start: the start-up window went after $goneAt ms, before the host was ready"
  else
    pass "cold start of 13 s (slow creation, slow IsInitialised): the start-up window from $shownAt ms to $goneAt ms, and no box"
  fi
  if main=$(answerPrompt); then
    pass "cold start: the prompt came, then the panel"
    xdotool windowfocus --sync "$main" 2> /dev/null || true
    xdotool key --clearmodifiers alt+F4
  else
    fail "cold start: no panel after the start-up window"
  fi
fi
endedCleanly "cold start" " of Alt+F4" || true
timeout 60 wine reg delete "$hangKey" /f > /dev/null 2>&1

# A cold start of 60 s by a host whose Sleep takes 1 ms: start-up is a tight loop of quick calls,
# and still the start-up window comes after half a second; its Cancel (Escape) ends the program at
# once, with exit code 0.
timeout 60 wine reg add "$hangKey" /v ReadyAfterMs /t REG_DWORD /d 60000 /f > /dev/null 2>&1
timeout 60 wine reg add "$hangKey" /v SleepMs /t REG_DWORD /d 1 /f > /dev/null 2>&1
startedAt=$(date +%s%N)
wine "$bin/app/windows/orvane-panel.exe" --host-timeout-ms 1000 &
panel=$!
if ! starting=$(waitForWindow "Orvane I/O Switcher" 10); then
  fail "quick Sleep: no start-up window within 10 s"
else
  shownAt=$((($(date +%s%N) - startedAt) / 1000000))
  xdotool windowfocus --sync "$starting" 2> /dev/null || true
  xdotool key --clearmodifiers Return space  # typed ahead for the prompt: nothing happens
  sleep 0.5
  if ! xdotool search --onlyvisible --name "^Orvane I/O Switcher\$" 2> /dev/null | grep -qx "$starting"; then
    fail "quick Sleep: Return or Space typed ahead closed the start-up window"
  fi
  cancelAt=$(date +%s%N)
  xdotool windowfocus --sync "$starting" 2> /dev/null || true
  xdotool key --clearmodifiers Escape
  if endedCleanly "quick Sleep" " of Cancel" 0; then
    pass "quick Sleep (1 ms) and a 60 s cold start: the start-up window $shownAt ms after the start (Wine's own start included), Cancel ended the program $((($(date +%s%N) - cancelAt) / 1000000)) ms later"
  fi
fi
timeout 60 wine reg delete "$hangKey" /f > /dev/null 2>&1

# Two panels for one switcher: the first (--address 0) controls it; a second with --address 0 and a
# third that is given 0 at the prompt each end at once with exit code 0, and the server's log shows
# no reset (nor array call) from them; the first panel keeps working. The second, launched with the
# first's --trace (a copied shortcut), adds its line to that trace and leaves the rest as it was;
# the third writes the same line into its own.
calls="$work/two-panels.log"
timeout 60 wine reg add "$hangKey" /v LogFile /d "$(winepath -w "$calls")" /f > /dev/null 2>&1
switchingCalls() { tr -d '\r' < "$calls" 2> /dev/null | grep -cE '^call (ORVANE_Reset|SWITCHER_|IOSWITCHER_AddToArray)'; }
firstTrace="$work/first.trace"
wine "$bin/app/windows/orvane-panel.exe" --address 0 --trace "$(winepath -w "$firstTrace")" &
first=$!
if ! firstMain=$(waitForWindowMatching "^Orvane I/O Switcher 0\$" 30); then
  fail "two panels: the first panel (--address 0) did not come up without a prompt"
else
  sleep 1
  before=$(switchingCalls)
  wine "$bin/app/windows/orvane-panel.exe" --address 0 --trace "$(winepath -w "$firstTrace")" &
  panel=$!
  if endedCleanly "two panels: the second (--address 0)" "" 0; then
    if ! grep -q 'address 0 from the command line' "$firstTrace" ||
      ! grep -q 'another panel controls switcher 0' "$firstTrace"; then
      fail "two panels: the second panel harmed the first's trace, or wrote no line: $(tr -d '\r' < "$firstTrace" | head -3)"
    fi
    wine "$bin/app/windows/orvane-panel.exe" --trace "$(winepath -w "$work/third.trace")" &
    panel=$!
    # Return to the prompt (the start-up window, of the same title, may come first and ignores it)
    # until the panel has ended.
    for ((i = 0; i < 40; i++)); do
      kill -0 "$panel" 2> /dev/null || break
      if prompt=$(waitForWindowMatching "^Orvane I/O Switcher\$" 1); then
        xdotool windowfocus --sync "$prompt" 2> /dev/null || true
        xdotool key --clearmodifiers Return
      fi
      sleep 0.5
    done
    if endedCleanly "two panels: the third (0 at the prompt)" "" 0; then
      after=$(switchingCalls)
      if [ "$after" -ne "$before" ]; then
        fail "two panels: the server saw $((after - before)) switching calls from the later panels"
      elif ! grep -q 'another panel controls switcher 0' "$work/third.trace"; then
        fail "two panels: the third panel's trace does not say another panel controls switcher 0"
      else
        clickX5 "$firstMain"
        for ((i = 0; i < 40; i++)); do
          tr -d '\r' < "$calls" | grep -q '^call SWITCHER_AddChannel' && break
          sleep 0.25
        done
        if tr -d '\r' < "$calls" | grep -q '^call SWITCHER_AddChannel'; then
          pass "two panels: the later two ended with 0, sent nothing to the switcher and traced why, the first's trace intact; the first still switches X5"
        else
          fail "two panels: the first panel's click on X5 did not reach the server"
        fi
      fi
    fi
  fi
  panel=$first
  xdotool windowfocus --sync "$firstMain" 2> /dev/null || true
  xdotool key --clearmodifiers alt+F4
  endedCleanly "two panels: the first" " of Alt+F4" || true
fi
timeout 60 wine reg delete "$hangKey" /f > /dev/null 2>&1

# --preset against the test server, whose log records each call with its arguments: from the
# recall's first call (its status read) to its closing status poll, the server sees exactly what
# the preset changes, in order: X5 onto bus A, then bus A's Load (with the bus constant its call
# reads, as a click's does), and nothing else.
presets="$work/server-presets.toml"
printf '[preset."Bench 1"]\na_channels = ["X5"]\na_load = true\n' > "$presets"
calls="$work/recall-calls.log"
recallTrace="$work/server-recall.trace"
timeout 60 wine reg add "$hangKey" /v LogFile /d "$(winepath -w "$calls")" /f > /dev/null 2>&1
wine "$bin/app/windows/orvane-panel.exe" --address 0 --presets "$(winepath -w "$presets")" \
  --preset "Bench 1" --trace "$(winepath -w "$recallTrace")" &
panel=$!
if main=$(waitForWindowMatching "^Orvane I/O Switcher 0\$" 30); then
  for ((i = 0; i < 40; i++)); do
    sed -n '/preset "Bench 1" recalled from/,$p' "$recallTrace" 2> /dev/null |
      grep -q 'IOSWITCHER_BusLoad' && sleep 0.5 && break
    sleep 0.25
  done
  recalled=$(tr -d '\r' < "$calls" | grep '^call ' | tail -6 | sed 's/^call //' |
    sed -E 's/^IOSWITCHER_GetFullStatus\(0, .*\)$/IOSWITCHER_GetFullStatus(0, ...)/' | tr '\n' ';')
  expected='IOSWITCHER_GetFullStatus(0, ...);IOSWITCHER_GetFullStatus(0, ...);SWITCHER_AddChannel("BusA0", 5);IOSWITCHER_BUS_A();IOSWITCHER_BusLoad(0, 65, True);IOSWITCHER_GetFullStatus(0, ...);'
  if [ "$recalled" = "$expected" ]; then
    pass "presets: --preset against the test server made exactly the preset's calls, in order"
  else
    fail "presets: --preset against the test server: the server saw ${recalled:-nothing}"
  fi
  xdotool windowfocus --sync "$main" 2> /dev/null || true
  xdotool key --clearmodifiers alt+F4
  endedCleanly "presets: the panel recalling from the test server" " of Alt+F4" || true
else
  fail "presets: --preset against the test server: the panel did not come up"
fi
timeout 60 wine reg delete "$hangKey" /f > /dev/null 2>&1

# Presets on the simulated host: X5 on, stored through the context menu (Shift+F10, then the
# keyboard) under a name typed into the input box; a new start with --preset recalls it with no
# click at all; an unknown --preset is a command-line mistake (exit code 2).
presets="$work/presets.toml"
wine "$bin/app/windows/orvane-panel.exe" --simulate --address 0 --presets "$(winepath -w "$presets")" &
panel=$!
if ! main=$(waitForWindowMatching "^Orvane I/O Switcher 0 \(simulated\)\$" 30); then
  fail "presets: the panel did not come up"
else
  sleep 1
  clickX5 "$main"
  sleep 0.5
  xdotool windowfocus --sync "$main" 2> /dev/null || true
  xdotool key --clearmodifiers shift+F10
  sleep 0.7
  xdotool key Down Return
  if ! dialog=$(waitForWindow "Orvane I/O Switcher 0" 10); then
    fail "presets: Store preset... asked for no name"
  else
    xdotool windowfocus --sync "$dialog" 2> /dev/null || true
    xdotool type --delay 30 "Bench 1"
    xdotool key --clearmodifiers Return
    for ((i = 0; i < 40; i++)); do
      tr -d '\r' < "$presets" 2> /dev/null | grep -q '^a_channels = \["X5"\]$' && break
      sleep 0.25
    done
    if tr -d '\r' < "$presets" 2> /dev/null | grep -q '^\[preset."Bench 1"\]$'; then
      pass "presets: stored through the context menu"
    else
      fail "presets: the menu's store left no 'Bench 1' with X5: $(cat "$presets" 2>&1 | head -5)"
    fi
  fi
  xdotool windowfocus --sync "$main" 2> /dev/null || true
  xdotool key --clearmodifiers alt+F4
  endedCleanly "presets: the storing panel" " of Alt+F4" || true
fi
recallTrace="$work/recall.trace"
wine "$bin/app/windows/orvane-panel.exe" --simulate --address 0 --presets "$(winepath -w "$presets")" \
  --preset "Bench 1" --trace "$(winepath -w "$recallTrace")" &
panel=$!
if main=$(waitForWindowMatching "^Orvane I/O Switcher 0 \(simulated\)\$" 30); then
  for ((i = 0; i < 40; i++)); do
    grep -q 'SWITCHER_AddChannel("BusA0", &5) -> True' "$recallTrace" 2> /dev/null && break
    sleep 0.25
  done
  if grep -q 'preset "Bench 1" recalled from' "$recallTrace" &&
    grep -q 'SWITCHER_AddChannel("BusA0", &5) -> True' "$recallTrace"; then
    pass "presets: --preset recalled 'Bench 1' with no click (X5 on bus A)"
  else
    fail "presets: --preset did not switch X5 on: $(tail -3 "$recallTrace" 2>&1)"
  fi
  xdotool windowfocus --sync "$main" 2> /dev/null || true
  xdotool key --clearmodifiers alt+F4
  endedCleanly "presets: the recalling panel" " of Alt+F4" || true
else
  fail "presets: the panel with --preset did not come up"
fi
timeout 30 wine "$bin/app/windows/orvane-panel.exe" --presets "$(winepath -w "$presets")" \
  --preset "Bench 9" > /dev/null 2> "$work/preset-mistake.txt"
code=$?
if [ "$code" -eq 2 ] && grep -q 'no preset "Bench 9"' "$work/preset-mistake.txt"; then
  pass "presets: an unknown --preset is a command-line mistake (exit code 2)"
else
  fail "presets: an unknown --preset ended $code: $(cat "$work/preset-mistake.txt")"
fi

# Rename through the context menu (Shift+F10, then the keyboard: Store, Recall, Rename), and
# --list-presets printed to a redirected standard output, with no window.
wine "$bin/app/windows/orvane-panel.exe" --simulate --address 0 --presets "$(winepath -w "$presets")" &
panel=$!
if main=$(waitForWindowMatching "^Orvane I/O Switcher 0 \(simulated\)\$" 30); then
  sleep 1
  xdotool windowfocus --sync "$main" 2> /dev/null || true
  xdotool key --clearmodifiers shift+F10
  sleep 0.7
  xdotool key Down Down Down Right
  sleep 0.5
  xdotool key Return
  if dialog=$(waitForWindow "Orvane I/O Switcher 0" 10); then
    xdotool windowfocus --sync "$dialog" 2> /dev/null || true
    xdotool type --delay 30 "Bench 3"
    xdotool key --clearmodifiers Return
    for ((i = 0; i < 40; i++)); do
      tr -d '\r' < "$presets" 2> /dev/null | grep -q '^\[preset."Bench 3"\]$' && break
      sleep 0.25
    done
  fi
  if tr -d '\r' < "$presets" | grep -q '^\[preset."Bench 3"\]$' &&
    ! tr -d '\r' < "$presets" | grep -q '^\[preset."Bench 1"\]$'; then
    pass "presets: renamed through the context menu (Shift+F10)"
  else
    fail "presets: the menu's rename left: $(head -3 "$presets" 2>&1)"
  fi
  xdotool windowfocus --sync "$main" 2> /dev/null || true
  xdotool key --clearmodifiers alt+F4
  endedCleanly "presets: the renaming panel" " of Alt+F4" || true
else
  fail "presets: the panel for the rename did not come up"
fi
timeout 30 wine "$bin/app/windows/orvane-panel.exe" --presets "$(winepath -w "$presets")" \
  --list-presets > "$work/listed.txt" 2> /dev/null
code=$?
if [ "$code" -eq 0 ] && [ "$(tr -d '\r' < "$work/listed.txt")" = "Bench 3" ]; then
  pass "presets: --list-presets printed the file's presets to standard output"
else
  fail "presets: --list-presets ended $code with: $(cat "$work/listed.txt")"
fi

# Delete through the same menu (Store, Recall, Rename, Delete); the question's default is No, so
# the Yes button's letter answers it.
wine "$bin/app/windows/orvane-panel.exe" --simulate --address 0 --presets "$(winepath -w "$presets")" &
panel=$!
if main=$(waitForWindowMatching "^Orvane I/O Switcher 0 \(simulated\)\$" 30); then
  sleep 1
  xdotool windowfocus --sync "$main" 2> /dev/null || true
  xdotool key --clearmodifiers shift+F10
  sleep 0.7
  xdotool key Down Down Down Down Right
  sleep 0.5
  xdotool key Return
  if question=$(waitForWindow "Orvane I/O Switcher 0" 10); then
    xdotool windowfocus --sync "$question" 2> /dev/null || true
    xdotool key --clearmodifiers y
    for ((i = 0; i < 40; i++)); do
      tr -d '\r' < "$presets" 2> /dev/null | grep -q '^\[preset\.' || break
      sleep 0.25
    done
  fi
  if tr -d '\r' < "$presets" | grep -q '^\[preset\.'; then
    fail "presets: the menu's delete left: $(head -3 "$presets" 2>&1)"
  else
    pass "presets: deleted through the context menu (Shift+F10), after a question"
  fi
  xdotool windowfocus --sync "$main" 2> /dev/null || true
  xdotool key --clearmodifiers alt+F4
  endedCleanly "presets: the deleting panel" " of Alt+F4" || true
else
  fail "presets: the panel for the delete did not come up"
fi

# Following (--follow-ms 200) a switcher that the server switches by itself: its other client
# toggles the next channel of bus B every 100 ms, so bus B's X1 turns green with no click.
timeout 60 wine reg add "$hangKey" /v OtherClientMs /t REG_DWORD /d 100 /f > /dev/null 2>&1
wine "$bin/app/windows/orvane-panel.exe" --address 0 --follow-ms 200 &
panel=$!
if ! main=$(waitForWindowMatching "^Orvane I/O Switcher 0\$" 30); then
  fail "following: the panel did not come up"
else
  eval "$(xdotool getwindowgeometry --shell "$main")"
  border=$(((WIDTH - 585) / 2))
  x1B=""
  for ((i = 0; i < 40; i++)); do
    /usr/bin/import -window root "$work/follow.png"
    x1B=$(pixel $((X + border + 60)) $((Y + HEIGHT - 51 - border + 24)) "$work/follow.png")
    [ "$x1B" = "srgb(0,255,0)" ] && break
    sleep 0.2
  done
  if [ "$x1B" = "srgb(0,255,0)" ]; then
    pass "following: bus B's X1, switched by the server itself, turned green with no click"
  else
    fail "following: bus B's X1 never turned green (last $x1B)"
  fi
  xdotool windowfocus --sync "$main" 2> /dev/null || true
  xdotool key --clearmodifiers alt+F4
fi
endedCleanly "following" " of Alt+F4" || true
timeout 60 wine reg delete "$hangKey" /f > /dev/null 2>&1

# The session ends with the panel open and X5 on (wineboot --end-session, as a log-off does): the
# unload resets the switcher and releases both objects, as the server's log shows, and the program
# ends by itself. Every Wine process ends with the session, so this comes last but one.
calls="$work/server-calls.log"
timeout 60 wine reg add "$hangKey" /v LogFile /d "$(winepath -w "$calls")" /f > /dev/null 2>&1
wine "$bin/app/windows/orvane-panel.exe" &
panel=$!
if ! main=$(answerPrompt); then
  fail "session end: the panel did not appear"
else
  clickX5 "$main"
  for ((i = 0; i < 40; i++)); do
    grep -q 'call IOSWITCHER_GetFullStatus' <(sed -n '/call SWITCHER_AddChannel/,$p' "$calls") && break
    sleep 0.25
  done
  timeout 60 wine wineboot --end-session > /dev/null 2>&1
  after=$(tr -d '\r' < "$calls" | sed -n '/call SWITCHER_AddChannel/,$p' |
    grep -E '^(call ORVANE_Reset|release)' | sed 's/(.*$//' | tr '\n' ',')
  if [ "$after" = "call ORVANE_Reset,release object,release application," ]; then
    pass "session end after X5: the server saw the reset, then both releases"
  else
    fail "session end after X5: after the click the server saw: ${after:-nothing}"
  fi
fi
if endedCleanly "session end" " of wineboot --end-session"; then
  pass "session end: the program ended with exit code 0"
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
elif [ "$rc" -ne 1 ]; then
  fail "a failed start-up ended with exit code $rc, not 1"
else
  pass "a host that cannot be created: the start-up box, then exit code $rc"
fi
endChecks "Windows program under Xvfb"
