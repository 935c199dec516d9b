#!/bin/bash
# The program on a real X server with a window manager (Xvfb, openbox, xdotool): the first start's size, the
# report's offer over the window, an image handed over by a second copy, a cut image that keeps the disc
# shown. Screenshots of the screen are left in WORKDIR for a person to look at.
# usage: xvfb_desktop.sh CKVD_EXPLORER WORKDIR
set -euo pipefail
exe=$1
work=$2
rm -rf "$work"
mkdir -p "$work/config" "$work/runtime" "$work/tree"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
# A folder of 2,000 names that differ only at their end.
(cd "$work/tree" && for i in $(seq -w 1 2000); do echo "$i" >"file_with_a_longer_name_$i.dat"; done)
genisoimage -quiet -J -V FIRST_VOL -o "$work/first.iso" "$work/tree"
genisoimage -quiet -J -V SECOND_VOL -o "$work/second.iso" "$work/tree"
head -c $((19 * 2048)) "$work/first.iso" >"$work/cut.iso"

display=:$((90 + RANDOM % 100))
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true' EXIT
Xvfb "$display" -screen 0 1366x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
sleep 1

fail() { echo "$*"; import -window root "$work/failure.png" 2>/dev/null || true; cat "$work"/*.err 2>/dev/null; exit 1; }
# Waits for a visible window of that exact name and prints its id.
window() {
    local id
    for _ in $(seq 150); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1) && [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}
# "X Y W H" of a window.
geometry() { (eval "$(xdotool getwindowgeometry --shell "$1")" && echo "$X $Y $WIDTH $HEIGHT"); }
# The centre of window $1 lies inside window $2.
# Closes window $1 with key $2 (the window manager may take a moment to give it the focus). The offer takes
# neither Enter nor Escape: it is closed as the window manager closes it (Alt+F4).
# A program slowed down (a sanitizer build beside other tests) may take seconds to unmap it: the key is sent
# again every 3 s, for 30 s in all.
close_with() {
    for i in $(seq 100); do
        ((i % 10 == 1)) && { xdotool windowactivate --sync "$1" key --clearmodifiers "$2" 2>/dev/null || true; }
        sleep 0.3
        xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$1" || return 0
    done
    fail "window $1 did not close"
}
centred_over() {
    read -r x y w h <<<"$(geometry "$1")"
    read -r px py pw ph <<<"$(geometry "$2")"
    local cx=$((x + w / 2)) cy=$((y + h / 2))
    [ "$cx" -gt "$px" ] && [ "$cx" -lt $((px + pw)) ] && [ "$cy" -gt "$py" ] && [ "$cy" -lt $((py + ph)) ]
}

"$exe" "$work/first.iso" >"$work/first.out" 2>"$work/first.err" &
pids+=($!)
main=$(window "FIRST_VOL - CKVD Explorer") || fail "the main window did not appear"
offer=$(window "Are You Save DiscInformation\\?") || fail "no report offer after the load"
read -r _ _ w h <<<"$(geometry "$main")"
# Three quarters of 1366 x 768 (openbox keeps no panel): 1024 x 576 inside the frame.
[ "$w" -ge 1000 ] && [ "$w" -le 1030 ] && [ "$h" -ge 540 ] && [ "$h" -le 580 ] || fail "first start size $w x $h"
centred_over "$offer" "$main" || fail "the offer is not over the window: $(geometry "$offer") / $(geometry "$main")"
import -window root "$work/first-start.png"
close_with "$offer" alt+F4

# A second copy hands its image over and ends; the first shows it.
timeout 30 "$exe" "$work/second.iso" || fail "the second copy did not end with 0"
window "SECOND_VOL - CKVD Explorer" >/dev/null || fail "the handed image was not shown"
offer=$(window "Are You Save DiscInformation\\?") || fail "no report offer after the handed image"
close_with "$offer" alt+F4
import -window root "$work/handed-over.png"

# A cut image: a message over the window, the disc of before still shown.
timeout 30 "$exe" "$work/cut.iso" || fail "the copy with the cut image did not end with 0"
box=$(window "CKVD Explorer") || fail "no message for the cut image"
centred_over "$box" "$main" || fail "the message is not over the window"
[ "$(xdotool getwindowname "$main")" = "SECOND_VOL - CKVD Explorer" ] || fail "the disc shown before is gone"
import -window root "$work/cut-image.png"
close_with "$box" Return
[ "$(xdotool getwindowname "$main")" = "SECOND_VOL - CKVD Explorer" ] || fail "the disc shown before is gone"

# The View menu with the number base checked.
xdotool windowactivate --sync "$main" key --clearmodifiers alt+v
sleep 0.5
import -window root "$work/view-menu.png"
xdotool key --clearmodifiers Escape
# One window per user session: a copy on another display, or with another profile, is a first copy of its
# own and hands nothing to the window on this display.
other=:$(( ${display#:} + 1 ))
Xvfb "$other" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb2.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do DISPLAY=$other xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
DISPLAY=$other "$exe" --verbose "$work/first.iso" >"$work/other-display.out" 2>"$work/other-display.err" &
pids+=($!)
mkdir -p "$work/home2/.config/ckvd-explorer"
printf '[CkvdExplorer Settings]\nOFFERREPORT=0\n' >"$work/home2/.config/ckvd-explorer/profile.ini"
env -i HOME="$work/home2" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen "$exe" --verbose "$work/first.iso" \
    >"$work/other-profile.out" 2>"$work/other-profile.err" &
pids+=($!)
for _ in $(seq 150); do
    grep -q "^title: FIRST_VOL" "$work/other-profile.out" && break
    sleep 0.1
done
grep -q "^title: FIRST_VOL" "$work/other-profile.out" || fail "the copy of another profile did not open its own image"
kill -0 "${pids[-1]}" 2>/dev/null || fail "the copy of another profile ended: it handed its image over"
for _ in $(seq 150); do
    DISPLAY=$other xdotool search --onlyvisible --name "^FIRST_VOL - CKVD Explorer\$" >/dev/null 2>&1 && break
    sleep 0.1
done
DISPLAY=$other xdotool search --onlyvisible --name "^FIRST_VOL - CKVD Explorer\$" >/dev/null 2>&1 ||
    fail "no window of its own on the other display"
[ "$(xdotool getwindowname "$main")" = "SECOND_VOL - CKVD Explorer" ] || fail "an image went to the window on $display"
# Within the session the hand-over still works while the others run.
timeout 30 "$exe" "$work/first.iso" || fail "the hand-over within the session failed"
window "FIRST_VOL - CKVD Explorer" >/dev/null || fail "the handed image was not shown"
DISPLAY=$other import -window root "$work/other-display.png"
echo "screenshots: $work/first-start.png $work/handed-over.png $work/cut-image.png $work/view-menu.png $work/other-display.png"
