#!/bin/bash
# The desktop program on the offscreen platform: starts on the demo disc, fills tree and list, saves a PNG.
# usage: gui_smoke.sh CKVD_EXPLORER WORKDIR
set -euo pipefail
exe=$1
work=$2
rm -rf "$work"
mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen
fail() { echo "$*" >&2; exit 1; }
is_png() { [ "$(head -c 8 "$1" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "no PNG $1"; }
# The exit status of a run that is expected to fail, in $rc.
status() { set +e; timeout 60 "$@"; rc=$?; set -e; }
# A screenshot with the given switches, checked to be a PNG.
shot() { timeout 120 "$exe" "${@:2}" --screenshot "$work/$1.png"; is_png "$work/$1.png"; }
out=$(shot main-window --demo --verbose)
echo "$out"
[ "$(sed -n 's/^tree items: //p' <<<"$out")" -gt 0 ] || fail "the tree was not filled"
[ "$(sed -n 's/^list rows: //p' <<<"$out")" -gt 0 ] || fail "the list was not filled"
[ ! -e "$work/config/ckvd-explorer/profile.ini" ] || fail "a screenshot wrote the profile"

# A disc image as the program's argument is opened as from the window; every dialog can be saved.
demo_data=$(dirname "$exe")/../demo/demo-data.cue
[ -e "$demo_data" ] || demo_data=${CKVD_DEMO_DIR:?}/demo-data.cue
out=$(shot argument "$demo_data" --select /DOCS/NOTES --verbose)
grep -q "^title: CKVD_DEMO_S1" <<<"$out" || fail "the argument's disc was not loaded: $out"
for dialog in drive disc-info about pcm-formats; do shot "$dialog" --demo --dialog "$dialog"; done
shot tag-info --demo --select '/音楽/アルバム 二/波の音.wav' --dialog tag-info
shot nav --demo --select /CONTENTS.LMX --dialog nav
status "$exe" --demo --screenshot "$work/not-nav.png" --select /README.TXT --dialog nav 2>/dev/null
[ $rc -ne 0 ] || fail "--dialog nav on a text file did not fail"
# An image named on the command line stays in its drive after the load: its track files can still be read.
shot cda "$(dirname "$demo_data")/demo-audio.cue" --select /Track02.cda --dialog tag-info 2>"$work/cda.err"
! grep -q "isn't being supported" "$work/cda.err" || fail "the audio image's track file was not read"
status "$exe" --demo --screenshot "$work/none.png" --dialog no-such-dialog 2>/dev/null
[ $rc -eq 2 ] || fail "an unknown dialog name was not a usage error"
status "$exe" "$work/missing.cue" --screenshot "$work/missing.png" 2>"$work/missing.err"
[ $rc -eq 1 ] || fail "a missing image argument did not fail the screenshot"
grep -q "The file does not exist" "$work/missing.err" || fail "no plain words for a missing image"

# A second copy while one holds the instance lock ends at once, without a window.
"$exe" --demo >"$work/first.log" 2>&1 &
first=$!
for _ in $(seq 1 100); do
    compgen -G "$work/runtime/CKVDExpInstance-*.lock" >/dev/null && break
    sleep 0.1
done
compgen -G "$work/runtime/CKVDExpInstance-*.lock" >/dev/null || { kill "$first"; fail "the first copy took no lock"; }
status "$exe" --demo --screenshot "$work/second.png"
kill "$first"
wait "$first" 2>/dev/null || true
[ "$rc" -eq 1 ] || fail "the second copy did not end at once (status $rc)"
[ ! -e "$work/second.png" ] || fail "the second copy opened a window"
# Without a display the program says so and prints the tree and the TOC as text.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 60 "$exe" --demo >"$work/text.out" 2>"$work/text.err"
grep -q "no display" "$work/text.err" || fail "no word about the missing display"
grep -q "^(Session1) CKVD_DEMO_S1" "$work/text.out" || { cat "$work/text.out"; fail "no tree text"; }
grep -q "^session 1 " "$work/text.out" || fail "no TOC text"
echo "smoke test passed"
