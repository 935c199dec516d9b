#!/bin/bash
# Times `ckvd report` and measures its peak memory on one Joliet image of 50,000 files (250 directories of
# 200 files, 8 of them tagged MP3 files made by lame from a sox tone: 2,000 in all), with `ckvd ls` on the
# same image for comparison: what the report adds is the MP3 analysis and the CSV. Also prints the report's
# size and line count.
# usage: bench_report.sh BUILD_DIR [WORK_DIR]   (the image is made once and kept in WORK_DIR)
set -euo pipefail
build=${1:-build}
work=${2:-${TMPDIR:-/tmp}/ckvd-bench-report}
ckvd="$build/bin/ckvd"
for tool in genisoimage lame sox id3v2 hyperfine /usr/bin/time "$ckvd"; do
    command -v "$tool" >/dev/null || { echo "bench_report.sh: $tool is missing" >&2; exit 1; }
done
mkdir -p "$work"
image="$work/report.iso"
if [ ! -f "$image" ]; then
    rm -rf "$work/tree" "$work/mp3"
    mkdir -p "$work/tree" "$work/mp3"
    # A few distinct tagged files, copied: tagging 2,000 files one by one would dominate the set-up. One
    # title holds a comma and quotes so the report's quoting is on the measured path.
    sox -q -n -r 44100 -c 2 -b 16 "$work/mp3/tone.wav" synth 1 sine 440 vol 0.3
    lame --quiet -b 128 "$work/mp3/tone.wav" "$work/mp3/tone.mp3"
    for v in 1 2 3 4 5 6 7 8; do
        cp "$work/mp3/tone.mp3" "$work/mp3/v$v.mp3"
        title="Title $v"
        [ "$v" = 8 ] && title='Title 8, "quoted"'
        id3v2 -a "Artist $v" -A "Album $v" -t "$title" -T "$v" -y 2002 -g 12 "$work/mp3/v$v.mp3"
    done
    for d in $(seq 1 250); do
        dir="$work/tree/dir_$(printf %03d "$d")"
        mkdir "$dir"
        first=$(((d - 1) * 200))
        (cd "$dir" && touch $(seq -f "file_%05g_with_a_longer_joliet_name.txt" $((first + 1)) $((first + 192))))
        for v in 1 2 3 4 5 6 7 8; do
            cp "$work/mp3/v$v.mp3" "$dir/track_$(printf %05d $((first + 192 + v))).mp3"
        done
    done
    genisoimage -quiet -J -V BENCH_REPORT -o "$image.part" "$work/tree"
    mv "$image.part" "$image"
    rm -rf "$work/tree"
fi

out="$work/report.csv"
"$ckvd" report "$image" --number 1 -o "$out" 2>/dev/null
files=$(grep -c '^[0-9]*,[0-9]*,[0-9]*,File,' "$out" || true)
mp3s=$(grep -c ',MPEG-1,Layer 3,' "$out" || true)
if [ "$files" != 50000 ] || [ "$mp3s" != 2000 ]; then
    echo "bench_report.sh: the report has $files file lines and $mp3s MP3 findings, not 50000 and 2000" >&2
    exit 1
fi

csv="$work/hyperfine.csv"
hyperfine -N -w 1 -r 5 --style none --export-csv "$csv" \
    -n "ckvd report" "'$ckvd' report '$image' --number 1 -o '$out'" \
    -n "ckvd ls" "'$ckvd' ls '$image'" >/dev/null

# Peak resident memory in MB of one run.
peak_mb() {
    /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F: '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }'
}
report_mb=$(peak_mb "$ckvd" report "$image" --number 1 -o "$out")
ls_mb=$(peak_mb "$ckvd" ls "$image")

echo "# $(nproc) cores, $(date +%F), $(du -m "$image" | cut -f1) MB image, 50,000 files of which 2,000 MP3;" \
    "hyperfine -N -w 1 -r 5"
awk -F, -v report_mb="$report_mb" -v ls_mb="$ls_mb" '
    NR == 1 { next }
    { mean[$1] = $2 * 1000; sd[$1] = $3 * 1000 }
    END {
        printf "%-12s %10s %8s %10s\n", "command", "mean ms", "+- ms", "peak MB"
        printf "%-12s %10.1f %8.1f %10s\n", "ckvd report", mean["ckvd report"], sd["ckvd report"], report_mb
        printf "%-12s %10.1f %8.1f %10s\n", "ckvd ls", mean["ckvd ls"], sd["ckvd ls"], ls_mb
    }' "$csv"
echo "report $(stat -c %s "$out") bytes, $(wc -l <"$out") lines"
