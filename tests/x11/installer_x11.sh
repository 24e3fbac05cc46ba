#!/usr/bin/env bash
# The installer on a real X server: Xvfb with nothing on it, no window manager.
# A person's input comes from xdotool: a click on the licence page's Cancel
# button, then Enter twice (Yes in the confirmation, OK in the cancel message).
# The program must take the keyboard focus itself, show its windows, and end
# with exit code 0.
set -u
exe="$1"
display=":$(( 90 + RANDOM % 9 ))"
work=$(mktemp -d)
trap 'kill $app $xvfb 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
export DISPLAY="$display"
for i in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
xdpyinfo >/dev/null 2>&1 || { echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }

export SETUP_MACHINE="$work/machine"
unset SETUP_SCREEN SETUP_SCREEN_SIZE SETUP_SCREEN_BPP SETUP_TEST_FAIL
"$exe" >"$work/out.log" 2>&1 &
app=$!

# Wait for the full-screen window to be mapped.
for i in $(seq 100); do
    xdotool search --onlyvisible --name . >/dev/null 2>&1 && break
    sleep 0.1
done
sleep 1
# The page is centred: 555x384 pixels at (122,108) on 800x600; Cancel sits at
# dialog units 193,217 (50x14), which is 290,353 (75x23) in the page.
xdotool mousemove 449 475 click 1
sleep 0.5
xdotool key Return
sleep 0.5
xdotool key Return

for i in $(seq 100); do
    kill -0 $app 2>/dev/null || break
    sleep 0.1
done
if kill -0 $app 2>/dev/null; then
    echo "the installer did not end after Cancel, Yes, OK"
    cat "$work/out.log"
    exit 1
fi
wait $app
code=$?
cat "$work/out.log"
if [ $code -ne 0 ]; then
    echo "exit code $code, expected 0"
    exit 1
fi
echo "1 passed, 0 failed"
