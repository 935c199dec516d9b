#!/bin/bash
# Builds a 50,000-file two-session Joliet disc and times our full analysis against isoinfo -l -J on the
# same sessions in the same run; prints the ratio and the READ(10) commands and sectors our analysis sent
# against the sectors of all directory extents.
# usage: bench_analysis.sh BUILD_DIR [WORK_DIR]
set -euo pipefail
build=${1:-build}
work=${2:-$(mktemp -d "${TMPDIR:-/tmp}/ckvd-bench.XXXXXX")}
bench="$build/bin/bench_analysis"
mkdisc="$build/bin/ckvd-mkdisc"
for tool in genisoimage isoinfo "$bench" "$mkdisc"; do
    command -v "$tool" >/dev/null || { echo "bench_analysis.sh: $tool is missing" >&2; exit 1; }
done
mkdir -p "$work"
if [ ! -f "$work/bench.cue" ]; then
    # Session 1: 40,000 files in 200 directories; session 2 adds 10,000 files in 50 more.
    for s in 1 2; do
        rm -rf "$work/t$s"
        mkdir -p "$work/t$s"
        (
            cd "$work/t$s"
            if [ "$s" = 1 ]; then first=1; last=200; else first=201; last=250; fi
            for d in $(seq "$first" "$last"); do
                dir="dir_$(printf %04d "$d")"
                mkdir "$dir"
                (cd "$dir" && touch $(seq -f "file_%05g_with_a_longer_joliet_name.txt" 1 200))
            done
        )
    done
    genisoimage -quiet -J -V BENCH_S1 -o "$work/s1.iso" "$work/t1"
    "$mkdisc" create "$work/bench.cue" "$work/s1.iso"
    msinfo=$("$mkdisc" msinfo "$work/bench.cue")
    genisoimage -quiet -J -V BENCH_S2 -C "$msinfo" -M "$work/s1.iso" -o "$work/s2.iso" "$work/t2"
    "$mkdisc" append "$work/bench.cue" "$work/s2.iso"
    echo "${msinfo#*,}" > "$work/s2.start"
fi
start2=$(cat "$work/s2.start")

ours=$("$bench" "$work/bench.cue" 3)
echo "$ours"
ours_s=$(echo "$ours" | awk '/^analysis_seconds/ {print $2}')

best=""
for run in 1 2 3; do
    t0=$(date +%s.%N)
    isoinfo -l -J -i "$work/s1.iso" > /dev/null
    isoinfo -l -J -i "$work/s2.iso" -N "$start2" > /dev/null
    t1=$(date +%s.%N)
    t=$(echo "$t1 - $t0" | bc -l)
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
done
files=$(isoinfo -l -J -i "$work/s2.iso" -N "$start2" | grep -c '^-' || true)
echo "isoinfo_seconds $best"
echo "isoinfo_files_session2 $files"
echo "ratio_ours_to_isoinfo $(echo "$ours_s / $best" | bc -l | awk '{printf "%.3f", $1}')"
