#!/bin/bash
# The X11 screen on a real X server: starts Xvfb on a free display, runs the
# X11 test program against it (it paints the root window itself before the
# layer's screen starts, then checks the capture, Present, keys and mouse
# sent with xdotool, and the clipboard), and stops Xvfb however it ends.
#
# usage: x11_screen.sh <path of nobra-setup>; the test program is
# tests/platform_x11_tests in the same build folder.
set -u

setup=${1:?usage: x11_screen.sh <path of nobra-setup>}
tests="$(dirname "$setup")/tests/platform_x11_tests"
if [ ! -x "$tests" ]; then
    echo "x11_screen: $tests is not built" >&2
    exit 1
fi
for tool in Xvfb xdotool; do
    if ! command -v "$tool" >/dev/null; then
        echo "x11_screen: $tool is not installed (apt-get install xvfb xdotool)" >&2
        exit 1
    fi
done

display=""
for n in $(seq 97 140); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
        display=$n
        break
    fi
done
if [ -z "$display" ]; then
    echo "x11_screen: no free display number" >&2
    exit 1
fi

log=$(mktemp /tmp/nobra-xvfb-XXXXXX.log)
Xvfb ":$display" -screen 0 800x600x24 -nolisten tcp >"$log" 2>&1 &
xvfb=$!
cleanup() {
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
    rm -f "$log"
}
trap cleanup EXIT INT TERM

for _ in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X$display" ] && break
    if ! kill -0 "$xvfb" 2>/dev/null; then
        echo "x11_screen: Xvfb did not start:" >&2
        cat "$log" >&2
        exit 1
    fi
    sleep 0.1
done
if [ ! -e "/tmp/.X11-unix/X$display" ]; then
    echo "x11_screen: Xvfb :$display did not come up" >&2
    exit 1
fi

export DISPLAY=":$display"
export NOBRA_X11_TESTS=1
"$tests"
