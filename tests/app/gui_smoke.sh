#!/bin/bash
# The desktop program on the offscreen platform: starts on the demo disc, fills tree and list, saves a PNG.
# usage: gui_smoke.sh CKVD_EXPLORER WORKDIR
set -euo pipefail
exe=$1
work=$2
rm -rf "$work"
mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen
is_png() { [ "$(head -c 8 "$1" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ]; }
# A screenshot of the demo disc with the given switches, checked to be a PNG.
shot() {
    local name=$1
    shift
    timeout 120 "$exe" --demo --screenshot "$work/$name.png" "$@"
    is_png "$work/$name.png" || { echo "no screenshot $name ($*)"; exit 1; }
}
out=$(timeout 120 "$exe" --demo --screenshot "$work/main-window.png" --verbose)
echo "$out"
trees=$(sed -n 's/^tree items: //p' <<<"$out")
rows=$(sed -n 's/^list rows: //p' <<<"$out")
[ "${trees:-0}" -gt 0 ] || { echo "the tree was not filled"; exit 1; }
[ "${rows:-0}" -gt 0 ] || { echo "the list was not filled"; exit 1; }
is_png "$work/main-window.png" || { echo "no PNG screenshot"; exit 1; }
[ ! -e "$work/config/ckvd-explorer/profile.ini" ] || { echo "a screenshot wrote the profile"; exit 1; }

# A disc image as the program's argument is opened as from the window; every dialog can be saved.
demo_data=$(dirname "$exe")/../demo/demo-data.cue
[ -e "$demo_data" ] || demo_data=${CKVD_DEMO_DIR:?}/demo-data.cue
out=$(timeout 120 "$exe" "$demo_data" --screenshot "$work/argument.png" --select /DOCS/NOTES --verbose)
grep -q "^title: CKVD_DEMO_S1" <<<"$out" || { echo "the argument's disc was not loaded: $out"; exit 1; }
is_png "$work/argument.png" || { echo "no screenshot of the argument's disc"; exit 1; }
for dialog in drive disc-info about pcm-formats; do shot "$dialog" --dialog "$dialog"; done
shot tag-info --select '/音楽/アルバム 二/波の音.wav' --dialog tag-info
shot nav --select /CONTENTS.LMX --dialog nav
set +e
timeout 60 "$exe" --demo --screenshot "$work/not-nav.png" --select /README.TXT --dialog nav 2>"$work/not-nav.err"
[ $? -ne 0 ] || { echo "--dialog nav on a text file did not fail"; exit 1; }
set -e
# An image named on the command line stays in its drive after the load: its track files can still be read.
timeout 120 "$exe" "$(dirname "$demo_data")/demo-audio.cue" --screenshot "$work/cda.png" --select /Track02.cda \
    --dialog tag-info 2>"$work/cda.err"
! grep -q "isn't being supported" "$work/cda.err" || { echo "the audio image's track file was not read"; exit 1; }
is_png "$work/cda.png" || { echo "no screenshot of the audio track's Tag Information"; exit 1; }
set +e
timeout 60 "$exe" --demo --screenshot "$work/none.png" --dialog no-such-dialog 2>/dev/null
[ $? -eq 2 ] || { echo "an unknown dialog name was not a usage error"; exit 1; }
timeout 60 "$exe" "$work/missing.cue" --screenshot "$work/missing.png" 2>"$work/missing.err"
[ $? -eq 1 ] || { echo "a missing image argument did not fail the screenshot"; exit 1; }
set -e
grep -q "The file does not exist" "$work/missing.err" || { echo "no plain words for a missing image"; exit 1; }

# A second copy while one holds the instance lock ends at once, without a window.
"$exe" --demo >"$work/first.log" 2>&1 &
first=$!
for _ in $(seq 1 100); do
    [ -e "$work/runtime/CKVDExpInstance.lock" ] && break
    sleep 0.1
done
[ -e "$work/runtime/CKVDExpInstance.lock" ] || { kill "$first"; echo "the first copy took no lock"; exit 1; }
set +e
timeout 30 "$exe" --demo --screenshot "$work/second.png"
second=$?
set -e
kill "$first"
wait "$first" 2>/dev/null || true
[ "$second" -eq 1 ] || { echo "the second copy did not end at once (status $second)"; exit 1; }
[ ! -e "$work/second.png" ] || { echo "the second copy opened a window"; exit 1; }
# Without a display the program says so and prints the tree and the TOC as text.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 60 "$exe" --demo >"$work/text.out" 2>"$work/text.err"
grep -q "no display" "$work/text.err" || { echo "no word about the missing display"; exit 1; }
grep -q "^(Session1) CKVD_DEMO_S1" "$work/text.out" || { echo "no tree text"; cat "$work/text.out"; exit 1; }
grep -q "^session 1 " "$work/text.out" || { echo "no TOC text"; exit 1; }
echo "smoke test passed"
