#!/bin/bash
# Builds a 50,000-file two-session Joliet disc whose second session holds one directory of 10,000 entries,
# and times the desktop program (offscreen) loading it and filling the list with that directory.
# usage: bench_disc_load.sh BUILD_DIR [WORK_DIR]
set -euo pipefail
build=${1:-build}
work=${2:-$(mktemp -d "${TMPDIR:-/tmp}/ckvd-bench-load.XXXXXX")}
bench="$build/bin/bench_disc_load"
mkdisc="$build/bin/ckvd-mkdisc"
for tool in genisoimage "$bench" "$mkdisc"; do
    command -v "$tool" >/dev/null || { echo "bench_disc_load.sh: $tool is missing (a GUI build has it)" >&2; exit 1; }
done
mkdir -p "$work"
if [ ! -f "$work/load.cue" ]; then
    # Session 1: 40,000 files in 200 directories; session 2 adds BIG with 10,000 files.
    rm -rf "$work/t1" "$work/t2"
    mkdir -p "$work/t1" "$work/t2/BIG"
    (
        cd "$work/t1"
        for d in $(seq 1 200); do
            dir="dir_$(printf %04d "$d")"
            mkdir "$dir"
            (cd "$dir" && touch $(seq -f "file_%05g_with_a_longer_joliet_name.txt" 1 200))
        done
    )
    (cd "$work/t2/BIG" && touch $(seq -f "track_%05g.mp3" 1 10000))
    genisoimage -quiet -J -V LOAD_S1 -o "$work/s1.iso" "$work/t1"
    "$mkdisc" create "$work/load.cue" "$work/s1.iso"
    genisoimage -quiet -J -V LOAD_S2 -C "$("$mkdisc" msinfo "$work/load.cue")" -M "$work/s1.iso" \
        -o "$work/s2.iso" "$work/t2"
    "$mkdisc" append "$work/load.cue" "$work/s2.iso"
fi
"$bench" "$work/load.cue" BIG 3
