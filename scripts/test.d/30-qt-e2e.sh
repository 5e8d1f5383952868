# End to end: the real program from the optimised build (preset deb) under Xvfb at 96 dpi, driven with xdotool as
# an operator would: answer the address prompt, check the window size and its caption (marked as
# simulated), switch X5 onto bus A and look at its colour, try balance on a bus carrying DC, and
# close the window. The run is traced (--trace), and the trace must tell what happened. A second
# run has the simulated host stop answering during a click: the operator gives up on it, is told
# the connection is lost, and the program ends (status 3). Then a slow start, a start of quick
# calls, --address without a prompt, and following another client's switching.
# ORVANE_E2E_BUILD picks another build folder; ORVANE_E2E_SCREENSHOT saves the panel's picture.
set -uo pipefail
cd "$(dirname "$0")/../.."

build="${ORVANE_E2E_BUILD:-build/deb}"
program="$build/app/linux/orvane-panel"
closer="$build/tests/panel/qt/orvane-x11-close"
title_prompt='^Orvane I/O Switcher$'
title_main='^Orvane I/O Switcher 0 \(simulated\)$'
title_box='^Orvane I/O Switcher 0$'  # boxes keep the controller's title

work=$(mktemp -d)
xvfb_pid=""
program_pid=""
cleanup() {
  if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then kill "$program_pid"; fi
  if [ -n "$xvfb_pid" ] && kill -0 "$xvfb_pid" 2>/dev/null; then kill "$xvfb_pid"; fi
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "30-qt-e2e: FAIL: $*"
  if [ -s "$work/program.log" ]; then
    echo "--- program output"
    cat "$work/program.log"
  fi
  exit 1
}
step() { echo "30-qt-e2e: $*"; }

for tool in Xvfb xdotool xwininfo xdpyinfo import convert; do
  command -v "$tool" > /dev/null || fail "$tool is missing (bash scripts/setup installs it)"
done
if [ -z "${ORVANE_E2E_BUILD:-}" ]; then  # the optimised build the package is made from: just this
  cmake --preset deb > /dev/null
  cmake --build --preset deb -j "${ORVANE_JOBS:-2}" --target orvane-panel orvane-x11-close \
    > /dev/null || fail "the program did not build"
fi
[ -x "$program" ] || fail "$program is not built"
[ -x "$closer" ] || fail "$closer is not built"

# The command line, read whole before Qt starts: no display is needed to be told of a mistake,
# and a trace file named before the mistake is left as it was.
(
  unset DISPLAY WAYLAND_DISPLAY
  export QT_QPA_PLATFORM=xcb
  "$program" --help > "$work/help.txt" || fail "--help did not exit 0"
  grep -q "Exit status: 0" "$work/help.txt" || fail "--help does not list the exit statuses"
  "$program" --sim-seed x > /dev/null 2>&1
  [ $? -eq 2 ] || fail "a bad option did not exit 2"
  "$program" --bogus > /dev/null 2> "$work/bogus.log"
  [ $? -eq 2 ] || fail "--bogus without a display did not exit 2: $(cat "$work/bogus.log")"
  grep -q -- "--bogus" "$work/bogus.log" || fail "--bogus was not named: $(cat "$work/bogus.log")"
  [ "$(wc -l < "$work/bogus.log")" -le 2 ] || fail "a mistake printed more than two lines"
  echo "keep me" > "$work/keep.log"
  "$program" --trace "$work/keep.log" --bogus > /dev/null 2>&1
  [ "$(cat "$work/keep.log")" = "keep me" ] || fail "--trace FILE --bogus touched FILE"
  "$program" --trace /nonexistent-orvane-folder/x.trace > /dev/null 2> "$work/trace-error.log"
  [ $? -eq 2 ] || fail "a trace file that cannot be created did not exit 2"
  grep -q -- "--trace: cannot write the trace to /nonexistent-orvane-folder/x.trace" \
    "$work/trace-error.log" || fail "no clear message for the trace file: $(cat "$work/trace-error.log")"
  # A presets path that cannot be a presets file is a mistake, told before anything starts; a FIFO
  # must not hang the program.
  mkfifo "$work/presets.fifo"
  for presets in "$work" "$work/presets.fifo" /dev/zero "$work/unmounted/presets.toml"; do
    timeout 10 "$program" --presets "$presets" --preset "Bench 1" > /dev/null 2> "$work/presets.log"
    [ $? -eq 2 ] || fail "--presets $presets did not exit 2: $(cat "$work/presets.log")"
    grep -q -- "--presets: $presets" "$work/presets.log" ||
      fail "--presets $presets was not named: $(cat "$work/presets.log")"
  done
  "$program" --preset "" > /dev/null 2> "$work/presets.log"
  [ $? -eq 2 ] || fail "--preset \"\" did not exit 2"
  # No display, or one that cannot be opened: told, status 1, the reason in the trace.
  for where in "" ":79"; do
    DISPLAY="$where" "$program" --trace "$work/nodisplay.trace" > /dev/null 2> "$work/nodisplay.log"
    [ $? -eq 1 ] || fail "no display ($where): did not exit 1: $(cat "$work/nodisplay.log")"
    grep -q "no display could be opened" "$work/nodisplay.log" ||
      fail "no display ($where): not told: $(cat "$work/nodisplay.log")"
    grep -q "the program could not start: no display could be opened" "$work/nodisplay.trace" ||
      fail "no display ($where): the trace does not say why"
  done
) || exit 1
step "command line: --bogus named with no display (exit 2), --trace FILE --bogus left FILE alone; no display told (exit 1)"

# A display of our own.
display=""
for n in $(seq 91 140); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
    display=":$n"
    break
  fi
done
[ -n "$display" ] || fail "no free X display number"
Xvfb "$display" -screen 0 1024x768x24 -dpi 96 -nolisten tcp -noreset > "$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY="$display"
for _ in $(seq 100); do
  xdpyinfo > /dev/null 2>&1 && break
  kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  sleep 0.1
done
xdpyinfo > /dev/null 2>&1 || fail "Xvfb did not come up"

export QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=1 XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR

# wait_window TITLE-REGEX [EXCEPT-ID...]: prints the id of a visible window with that title.
wait_window() {
  local id title="$1"
  shift
  for _ in $(seq 100); do
    for id in $(xdotool search --onlyvisible --name "$title" 2>/dev/null); do
      if [[ " $* " != *" $id "* ]]; then
        echo "$id"
        return 0
      fi
    done
    sleep 0.1
  done
  return 1
}
# ended TENTHS: waits up to TENTHS tenths of a second for the program to end; false if it has not,
# else its exit status is in $status.
ended() {
  for _ in $(seq "$1"); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$program_pid" 2>/dev/null && return 1
  wait "$program_pid"
  status=$?
  program_pid=""
}
# pixel WINDOW X Y: the colour there as "r,g,b".
pixel() {
  import -window "$1" "$work/shot.png" 2>/dev/null || return 1
  convert "$work/shot.png" -format \
    "%[fx:round(255*p{$2,$3}.r)],%[fx:round(255*p{$2,$3}.g)],%[fx:round(255*p{$2,$3}.b)]" info:
}
# wait_pixel WINDOW X Y COLOUR
wait_pixel() {
  local seen=""
  for _ in $(seq 50); do
    seen=$(pixel "$1" "$2" "$3")
    [ "$seen" = "$4" ] && return 0
    sleep 0.1
  done
  echo "$seen"
  return 1
}
press() {  # press WINDOW KEY: focus the window (there is no window manager) and type a key
  timeout 5 xdotool windowfocus --sync "$1" && xdotool key --clearmodifiers "$2"
}
# has_lines WHAT TRACE PATTERN...: each pattern matches a line of the trace, after its time stamp.
has_lines() {
  local what=$1 trace=$2 expected
  shift 2
  for expected in "$@"; do
    grep -qE "^[0-9]+ms $expected" "$trace" || fail "${what}the trace has no line like: $expected"
  done
}
# click WINDOW X Y, then the pointer goes away so that no button is drawn as hovered.
click() {
  xdotool mousemove --window "$1" "$2" "$3" click 1 && xdotool mousemove 1000 750
}

started=$(date +%s%N)
"$program" --trace "$work/session.trace" > "$work/program.log" 2>&1 &
program_pid=$!

prompt=$(wait_window "$title_prompt") || fail "the address prompt did not appear"
step "address prompt up after $(( ($(date +%s%N) - started) / 1000000 )) ms; accepting 0"
answered=$(date +%s%N)
press "$prompt" Return || fail "could not answer the address prompt"

main=$(wait_window "$title_main") || fail "the panel did not appear after the prompt"
size=$(xwininfo -id "$main" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
[ "$size" = "585x51" ] || fail "client area is $size, not 585x51"
step "panel up $(( ($(date +%s%N) - answered) / 1000000 )) ms after the answer; client area $size"
caption=$(xdotool getwindowname "$main")
[ "$caption" = "Orvane I/O Switcher 0 (simulated)" ] || fail "the window caption is '$caption'"
step "caption: $caption"

# Bus A's X5: left 2160, width 375 twips, so pixels 144..168 of row 0..16.
click "$main" 156 8 || fail "could not click X5"
seen=$(wait_pixel "$main" 145 1 "0,255,0") || fail "X5 shows $seen after the click, not 0,255,0"
step "X5 on bus A shows 0,255,0"
[ -n "${ORVANE_E2E_SCREENSHOT:-}" ] && cp "$work/shot.png" "$ORVANE_E2E_SCREENSHOT"

click "$main" 156 8 || fail "could not click X5 again"
seen=$(wait_pixel "$main" 145 1 "128,128,128") || fail "X5 shows $seen after the second click, not grey"

# X3 (pixels 96..120) carries about +9 V: with it alone on bus A, balance there (pixels 520..552)
# must be refused. (The simulator averages the connected channels' DC.)
click "$main" 108 8 || fail "could not click X3"
wait_pixel "$main" 97 1 "0,255,0" > /dev/null || fail "X3 did not turn green"
click "$main" 536 8 || fail "could not click Bal A"
warning=$(wait_window "$title_box" "$main") || fail "no excessive-DC box after Bal A"
box_size=$(xwininfo -id "$warning" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
step "excessive-DC box up ($box_size)"
press "$warning" Return || fail "could not answer the excessive-DC box"
seen=$(wait_pixel "$main" 521 1 "128,128,128") || fail "Bal A shows $seen, not grey"

# The close box, as a window manager would send it.
"$closer" "$main" || fail "could not ask the window to close"
ended 100 || fail "the program did not end after the close"
[ "$status" -eq 0 ] || fail "the program exited with status $status"
step "closed; exit status 0"

# The trace: every line stamped, and the session's steps in it.
trace="$work/session.trace"
bad=$(grep -cvE '^[0-9]+ms (host [0-9]+us |event |box |end at once$|session ending)' "$trace")
[ "$bad" -eq 0 ] || fail "$bad trace lines of no known form: $(grep -vE '^[0-9]+ms (host|event|box|end)' "$trace" | head -3)"
has_lines "" "$trace" \
  'event handled Form_Load$' \
  'host [0-9]+us CreateObject\("Qelvix.Application"\) -> <object>$' \
  'box InputBox\("Please enter the address.*"Orvane I/O Switcher", "0"\) -> "0"$' \
  'event handled BusA_Click\(5\)$' \
  'host [0-9]+us IOSwitcher.SWITCHER_AddChannel\("BusA0", &5\) -> True$' \
  'host [0-9]+us IOSwitcher.IOSWITCHER_GetFullStatus\(&0, &0 => 16, &0\) -> True$' \
  'event handled BalA_Button_Click$' \
  'box MsgBox\(".*", 48, "Orvane I/O Switcher 0"\) -> 1$' \
  'event handled Form_Unload$' \
  'host [0-9]+us IOSwitcher.ORVANE_Reset\(&0, True, &.*\) -> True$' \
  'host [0-9]+us release HostApp$'
step "trace: $(wc -l < "$trace") lines, each session step in it"

# The host stops answering: start-up reads the status three times, so the fourth read (the poll
# after the first click) never returns. The operator closes the window meanwhile: the close is kept
# (the trace says so) instead of being lost. With a 1.5 s limit the Retry/Cancel box comes up;
# Escape closes it, which is Cancel; the lost-connection box follows; OK ends the program.
"$program" --sim-block IOSWITCHER_GetFullStatus:4 --host-timeout-ms 1500 \
  --trace "$work/hung.trace" > "$work/program.log" 2>&1 &
program_pid=$!
prompt=$(wait_window "$title_prompt") || fail "hung host: the address prompt did not appear"
press "$prompt" Return || fail "hung host: could not answer the address prompt"
main=$(wait_window "$title_main") || fail "hung host: the panel did not appear"
click "$main" 156 8 || fail "hung host: could not click X5"
"$closer" "$main" || fail "hung host: could not close the window"
asking=$(wait_window "$title_box" "$main") || fail "hung host: no box while the host is silent"
step "hung host: the not-answering box is up"
press "$asking" Escape || fail "hung host: could not close the not-answering box"
lost=$(wait_window "$title_box" "$main" "$asking") || fail "hung host: no lost-connection box"
step "hung host: the lost-connection box is up"
gave_up=$(date +%s%N)
press "$lost" Return || fail "hung host: could not answer the lost-connection box"
ended 50 || fail "hung host: the program did not end"
[ "$status" -eq 3 ] || fail "hung host: the program exited with status $status, not 3"
step "hung host: ended $(( ($(date +%s%N) - gave_up) / 1000000 )) ms after OK; exit status 3"
has_lines "hung host: " "$work/hung.trace" \
  'event kept Form_Unload: runs once the operation in progress ends$'
step "hung host: the close during the hung call was kept"

# A host slow to start: after half a second the start-up window (titled like the prompt) counts
# the seconds; the prompt replaces it once the host is ready, and no not-answering box comes
# although the start takes longer than the limit. Then SIGTERM, as Ctrl+C or a log-out sends it:
# the unload runs, as the trace shows, and the program ends.
"$program" --sim-create-ms 400 --sim-ready-ms 1600 --host-timeout-ms 500 \
  --trace "$work/slow.trace" > "$work/program.log" 2>&1 &
program_pid=$!
starting=$(wait_window "$title_prompt") || fail "slow start: no start-up window"
step "slow start: the start-up window is up"
prompt=$(wait_window "$title_prompt" "$starting") || fail "slow start: the prompt did not follow"
xdotool search --onlyvisible --name "$title_prompt" 2>/dev/null | grep -qx "$starting" &&
  fail "slow start: the start-up window stayed up with the prompt"
press "$prompt" Return || fail "slow start: could not answer the address prompt"
main=$(wait_window "$title_main") || fail "slow start: the panel did not appear"
step "slow start: the prompt replaced the start-up window, and the panel came"
click "$main" 156 8 || fail "slow start: could not click X5"
wait_pixel "$main" 145 1 "0,255,0" > /dev/null || fail "slow start: X5 did not turn green"
kill -TERM "$program_pid"
ended 50 || fail "SIGTERM: the program did not end"
[ "$status" -eq 143 ] || fail "SIGTERM: the program exited with status $status, not 143"
has_lines "SIGTERM: " "$work/slow.trace" 'session ending: SIGTERM$' 'event handled Form_Unload$' \
  'host [0-9]+us IOSwitcher.ORVANE_Reset\(&0, True, &.*\) -> True$' 'host [0-9]+us release HostApp$' \
  'session ending: releases done$'
grep -q 'box MsgBox' "$work/slow.trace" && fail "slow start: a box came during start-up"
step "SIGTERM: the unload ran (reset and releases in the trace); ended as SIGTERM ends (143)"

# A host whose Sleep returns at once: start-up is a tight loop of quick calls, and still the
# start-up window comes; Return and Space typed ahead for the prompt leave it, Escape ends the
# program with status 0. The trace writes the loop as a few lines, and the window with its Cancel.
"$program" --sim-sleep-ms 0 --sim-ready-ms 600000 --trace "$work/quick.trace" \
  > "$work/program.log" 2>&1 &
program_pid=$!
starting=$(wait_window "$title_prompt") || fail "quick Sleep: no start-up window"
press "$starting" Return || fail "quick Sleep: could not type Return"
press "$starting" space || fail "quick Sleep: could not type Space"
sleep 0.3
xdotool search --onlyvisible --name "$title_prompt" 2>/dev/null | grep -qx "$starting" ||
  fail "quick Sleep: a key typed ahead closed the start-up window"
ended 1 && fail "quick Sleep: a key typed ahead ended the program"
press "$starting" Escape || fail "quick Sleep: could not press Escape"
ended 50 || fail "quick Sleep: Escape did not end the program"
[ "$status" -eq 0 ] || fail "quick Sleep: Cancel ended with status $status, not 0"
has_lines "quick Sleep: " "$work/quick.trace" \
  'box StartupWindow\("Orvane I/O Switcher", ".*"\) shown$' 'box StartupWindow -> Cancel$' \
  'host [0-9]+us HostApp.(IsInitialised|Sleep\(10\)) -> cancelled by the operator$' 'end at once$'
[ "$(wc -l < "$work/quick.trace")" -lt 20 ] ||
  fail "quick Sleep: the start-up loop took $(wc -l < "$work/quick.trace") trace lines"
step "quick Sleep: the start-up window came, typed-ahead keys left it, Escape ended with 0; trace of $(wc -l < "$work/quick.trace") lines"
# --address 5 among switchers 0 and 5: no prompt, the panel of switcher 5 straight away. With
# --follow-ms and another client of the simulated host that toggles bus B's channels by itself
# every 100 ms (so X1 once every 1.6 s), X1 of bus B turns green with no click, then grey again.
"$program" --address 5 --sim-addresses 0,5 --follow-ms 200 --sim-other-client 100 \
  --trace "$work/follow.trace" > "$work/program.log" 2>&1 &
program_pid=$!
main=$(wait_window '^Orvane I/O Switcher 5 \(simulated\)$') ||
  fail "--address 5: no panel captioned 'Orvane I/O Switcher 5 (simulated)'"
xdotool search --onlyvisible --name "$title_prompt" > /dev/null 2>&1 &&
  fail "--address 5: the address prompt came all the same"
# Bus B's X1: left 720 twips, row top 240, so pixel 49,17.
seen=$(wait_pixel "$main" 49 17 "0,255,0") || fail "following: bus B's X1 shows $seen, never green"
seen=$(wait_pixel "$main" 49 17 "128,128,128") || fail "following: bus B's X1 stayed $seen"
"$closer" "$main" || fail "following: could not ask the window to close"
ended 100 || fail "following: the program did not end after the close"
[ "$status" -eq 0 ] || fail "following: the program exited with status $status"
has_lines "--address 5, following: " "$work/follow.trace" \
  'address 5 from the command line' 'event handled FollowTimer_Timer$'
step "--address 5: panel of switcher 5 with no prompt; following showed the other client's X1 on bus B"

# SIGTERM during an ordinary short call (a follow read of a host that takes 150 ms a call) is no
# hung call: the call answers, the reset is sent behind it, and the host objects are let go.
"$program" --address 0 --sim-latency-ms 150 --follow-ms 200 --trace "$work/short.trace" \
  > "$work/program.log" 2>&1 &
program_pid=$!
wait_window "$title_main" > /dev/null || fail "short call: the panel did not appear"
for _ in $(seq 50); do
  tail -n 1 "$work/short.trace" | grep -q 'event handled FollowTimer_Timer$' && break
  sleep 0.02
done
kill -TERM "$program_pid"
ended 50 || fail "short call: SIGTERM did not end the program"
has_lines "short call: " "$work/short.trace" 'session ending: SIGTERM$' \
  'host [0-9]+us IOSwitcher.ORVANE_Reset\(&0, True, &.*\) -> True$' 'session ending: releases done$'
step "short call: SIGTERM during a follow read sent the reset and let go of the host"

# A signal ignored when the program started (nohup, a background job) stays ignored: SIGHUP leaves
# it running; SIGTERM still ends it.
(trap '' HUP; exec "$program" --address 0 > "$work/program.log" 2>&1) &
program_pid=$!
wait_window "$title_main" > /dev/null || fail "nohup: the panel did not appear"
kill -HUP "$program_pid"
ended 10 && fail "nohup: an ignored SIGHUP ended the program"
kill -TERM "$program_pid"
ended 50 || fail "nohup: SIGTERM did not end the program"
step "nohup: SIGHUP ignored at start stayed ignored; SIGTERM ended the program"
# Presets: X5 on, stored through the context menu (the menu key, then the keyboard); a new start
# shows a reset switcher, and recalling the preset through the menu, then through --preset with no
# click at all, turns X5 green again.
presets="$work/presets.toml"
"$program" --address 0 --presets "$presets" --trace "$work/presets.trace" > "$work/program.log" 2>&1 &
program_pid=$!
main=$(wait_window "$title_main") || fail "presets: the panel did not appear"
click "$main" 156 8 || fail "presets: could not click X5"
wait_pixel "$main" 145 1 "0,255,0" > /dev/null || fail "presets: X5 did not turn green"
press "$main" Menu || fail "presets: could not open the context menu"
sleep 0.3
xdotool key Down Return
dialog=$(wait_window "^Orvane I/O Switcher 0$") || fail "presets: Store preset... asked for no name"
press "$dialog" Escape  # first Cancel: nothing is stored
sleep 0.3
[ -e "$presets" ] && fail "presets: Cancel at the name stored a preset"
press "$main" Menu && sleep 0.3 && xdotool key Down Return
dialog=$(wait_window "^Orvane I/O Switcher 0$") || fail "presets: Store preset... asked for no name"
timeout 5 xdotool windowfocus --sync "$dialog" && xdotool type --delay 20 "Bench 1" && xdotool key Return
for _ in $(seq 30); do grep -q '^\[preset."Bench 1"\]$' "$presets" 2>/dev/null && break; sleep 0.1; done
grep -q '^a_channels = \["X5"\]$' "$presets" || fail "presets: the file holds no X5: $(cat "$presets" 2>&1)"
"$closer" "$main" || fail "presets: could not close the panel"
ended 100 || fail "presets: the program did not end after the close"
has_lines "presets: " "$work/presets.trace" 'box InputBox\(.*\) -> Cancel$' \
  'preset "Bench 1" stored to .*presets.toml$'

"$program" --address 0 --presets "$presets" --trace "$work/recall.trace" > "$work/program.log" 2>&1 &
program_pid=$!
main=$(wait_window "$title_main") || fail "recall: the panel did not appear"
[ "$(pixel "$main" 145 1)" = "128,128,128" ] || fail "recall: X5 was not off at the start"
press "$main" Menu && sleep 0.3 && xdotool key Down Down Right && sleep 0.3 && xdotool key Return
seen=$(wait_pixel "$main" 145 1 "0,255,0") || fail "recall: X5 shows $seen after the menu's recall"
"$closer" "$main" && ended 100 || fail "recall: the program did not end after the close"
has_lines "recall: " "$work/recall.trace" 'preset "Bench 1" recalled from .*presets.toml$' \
  'host [0-9]+us IOSwitcher.SWITCHER_AddChannel\("BusA0", &5\) -> True$'

"$program" --address 0 --presets "$presets" --preset "Bench 1" > "$work/program.log" 2>&1 &
program_pid=$!
main=$(wait_window "$title_main") || fail "--preset: the panel did not appear"
seen=$(wait_pixel "$main" 145 1 "0,255,0") || fail "--preset: X5 shows $seen, not green"
"$closer" "$main" && ended 100 || fail "--preset: the program did not end after the close"
"$program" --presets "$presets" --preset "Bench 9" > /dev/null 2> "$work/preset-mistake.log"
[ $? -eq 2 ] || fail "--preset with an unknown name did not exit 2"
grep -q 'no preset "Bench 9" in' "$work/preset-mistake.log" || fail "--preset: the mistake was not named"
step "presets: stored through the context menu, recalled through it and through --preset; X5 green each time"

# Rename and delete through the context menu: the name box holds the old name, selected; the
# delete question's default is No, so Alt+Y answers it. --list-presets needs no display.
"$program" --address 0 --presets "$presets" --trace "$work/manage.trace" > "$work/program.log" 2>&1 &
program_pid=$!
main=$(wait_window "$title_main") || fail "rename: the panel did not appear"
press "$main" Menu && sleep 0.3 && xdotool key Down Down Down Right && sleep 0.3 && xdotool key Return
dialog=$(wait_window "^Orvane I/O Switcher 0$") || fail "rename: no name box"
timeout 5 xdotool windowfocus --sync "$dialog" && xdotool type --delay 20 "Bench 2" && xdotool key Return
for _ in $(seq 30); do grep -q '^\[preset."Bench 2"\]$' "$presets" 2>/dev/null && break; sleep 0.1; done
grep -q '^\[preset."Bench 1"\]$' "$presets" && fail "rename: Bench 1 is still there"
grep -q '^\[preset."Bench 2"\]$' "$presets" || fail "rename: no Bench 2: $(cat "$presets" 2>&1)"
listed=$(env -u DISPLAY "$program" --presets "$presets" --list-presets) || fail "--list-presets failed"
[ "$listed" = "Bench 2" ] || fail "--list-presets printed: $listed"
press "$main" Menu && sleep 0.3 && xdotool key Down Down Down Down Right && sleep 0.3 && xdotool key Return
question=$(wait_window "^Orvane I/O Switcher 0$") || fail "delete: no question"
press "$question" alt+y
for _ in $(seq 30); do grep -q '^\[preset\.' "$presets" 2>/dev/null || break; sleep 0.1; done
grep -q '^\[preset\.' "$presets" && fail "delete: the preset is still there: $(cat "$presets")"
"$closer" "$main" && ended 100 || fail "delete: the program did not end after the close"
has_lines "manage: " "$work/manage.trace" \
  'preset "Bench 1" renamed to "Bench 2" in .*presets.toml$' \
  'preset "Bench 2" deleted from .*presets.toml$'
step "presets: renamed and deleted through the context menu; --list-presets with no display"

# The DC history: X3's +9 V on bus A's +ve terminal for a few seconds, DC off and on again, then
# the history window from the context menu. Its screenshot must show the guard lines and the trace
# where its own axis puts them, with a gap. Every tick went into the log, one whole row each.
"$program" --address 0 --dc-log "$work/dc.csv" > "$work/program.log" 2>&1 &
program_pid=$!
main=$(wait_window "$title_main") || fail "history: the panel did not appear"
click "$main" 108 8 || fail "history: could not click X3"
wait_pixel "$main" 97 1 "0,255,0" > /dev/null || fail "history: X3 did not turn green"
click "$main" 356 40 && sleep 3 && click "$main" 356 40 && sleep 2 && click "$main" 356 40 && sleep 3
press "$main" Menu && sleep 0.3 && xdotool key Up && sleep 0.3 && xdotool key Return
history=$(wait_window "^DC history - Orvane I/O Switcher 0 \(simulated\)$") ||
  fail "history: no history window from the context menu"
sleep 0.5
import -window "$history" "$work/history.png" && convert "$work/history.png" "$work/history.ppm" ||
  fail "history: no screenshot"
[ -n "${ORVANE_E2E_HISTORY_SHOT:-}" ] && cp "$work/history.png" "$ORVANE_E2E_HISTORY_SHOT"
found=$(python3 tests/support/chart_rows.py "$work/history.ppm") || fail "history: $found"
step "history: $found"
"$closer" "$main" && ended 100 || fail "history: the program did not end after the close"
head -1 "$work/dc.csv" | grep -q $'^time,address,a_plus,a_minus,b_plus,b_minus\r$' ||
  fail "history: the log's header is $(head -1 "$work/dc.csv")"
rows=$(tail -n +2 "$work/dc.csv" | grep -cE $'^20[0-9-]{8}T[0-9:]{8}\.[0-9]{3}Z,0,(8\.9[0-9]*|9|9\.0[0-9]*),[^,]*,[^,]*,[^,]*\r$')
all=$(tail -n +2 "$work/dc.csv" | wc -l)
[ "$rows" -ge 20 ] && [ "$rows" -eq "$all" ] || fail "history: $rows of $all log rows are whole +9 V rows"
step "history: $rows log rows, each whole"
echo "30-qt-e2e: PASS"
