#!/bin/bash
# One window for every image: a second copy hands its image to the running one and exits 0; a copy killed
# without clean-up leaves nothing that stops the next one.
# usage: handover_test.sh CKVD_EXPLORER WORKDIR
set -euo pipefail
exe=$1
work=$2
rm -rf "$work"
mkdir -p "$work/config/ckvd-explorer" "$work/runtime" "$work/tree/Ünïcode"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen
# No report offer after a load: nobody is there to answer it.
printf '[CkvdExplorer Settings]\nOFFERREPORT=0\n' >"$work/config/ckvd-explorer/profile.ini"
echo data >"$work/tree/Ünïcode/a.txt"
genisoimage -quiet -J -V FIRST_VOL -o "$work/first.iso" "$work/tree"
genisoimage -quiet -J -V SECOND_VOL -o "$work/second disc
name.iso" "$work/tree"

pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true' EXIT
# Starts a first copy with its output in $work/$1.out and waits until it listens.
start() {
    "$exe" --verbose "${@:2}" >"$work/$1.out" 2>"$work/$1.err" &
    pids+=($!)
    for _ in $(seq 100); do
        compgen -G "$work/runtime/CKVDExpInstance-*.socket" >/dev/null && return 0
        sleep 0.1
    done
    echo "the first copy does not listen"; cat "$work/$1.err"; exit 1
}
# Waits until $work/$1.out names the volume $2.
expect_title() {
    for _ in $(seq 100); do
        grep -q "^title: $2\$" "$work/$1.out" && return 0
        sleep 0.1
    done
    echo "$1 did not show $2:"; cat "$work/$1.out" "$work/$1.err"; exit 1
}

start first
# A relative path and a name with a line break in it reach the first copy as they are.
(cd "$work" && timeout 30 "$exe" first.iso) || { echo "the second copy failed"; exit 1; }
expect_title first FIRST_VOL
timeout 30 "$exe" "$work/second disc
name.iso" || { echo "the third copy failed"; exit 1; }
expect_title first SECOND_VOL
# Without an image it only brings the window forward.
timeout 30 "$exe" || { echo "a copy without an image failed"; exit 1; }
[ "$(grep -c '^title:' "$work/first.out")" = 2 ] || { echo "a copy without an image loaded something"; exit 1; }

# Killed without clean-up: the lock and the socket file stay behind, and the next copy takes over.
kill -9 "${pids[0]}"
wait "${pids[0]}" 2>/dev/null || true
compgen -G "$work/runtime/CKVDExpInstance-*.socket" >/dev/null
start next "$work/first.iso"
expect_title next FIRST_VOL
timeout 30 "$exe" "$work/second disc
name.iso"
expect_title next SECOND_VOL
echo "hand-over: ok"
