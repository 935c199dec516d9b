#!/bin/bash
# `ckvd info` over 1,000 tagged MP3 files on a disc image against mediainfo over the same files on the local
# disk, in one hyperfine run; prints our time as a fraction of mediainfo's.
# usage: bench_info.sh BUILD_DIR [WORK_DIR]
set -euo pipefail
build=${1:-build}
work=${2:-${TMPDIR:-/tmp}/ckvd-bench-info}
ckvd="$build/bin/ckvd"
for tool in genisoimage lame id3v2 mediainfo hyperfine sox "$ckvd"; do
    command -v "$tool" >/dev/null || { echo "bench_info.sh: $tool is missing" >&2; exit 1; }
done
mkdir -p "$work"
if [ ! -f "$work/info.iso" ]; then
    rm -rf "$work/t"
    mkdir -p "$work/t/MUSIC"
    sox -q -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 2 sine 440 vol 0.3
    lame --quiet -b 128 "$work/tone.wav" "$work/tone.mp3"
    for i in $(seq -f %04g 1 1000); do
        f="$work/t/MUSIC/T$i.MP3"
        cp "$work/tone.mp3" "$f"
        id3v2 -a "Artist $i" -A "Album $((10#$i / 100))" -t "Title $i" -T "$((10#$i % 99 + 1))" -y 2002 -g 12 "$f"
    done
    genisoimage -quiet -J -V INFO_BENCH -o "$work/info.iso" "$work/t"
fi
(cd "$work/t/MUSIC" && ls) | sed 's|^|/MUSIC/|' >"$work/paths"
mapfile -t paths <"$work/paths"
hyperfine -N -w 2 -r 10 --export-json "$work/info.json" \
    -n ckvd "$ckvd info $work/info.iso ${paths[*]}" \
    -n mediainfo "mediainfo $work/t/MUSIC" >"$work/hyperfine.txt"
python3 - "$work/info.json" <<'PY'
import json, sys
r = {x['command']: x['median'] for x in json.load(open(sys.argv[1]))['results']}
print(f"ckvd info  {r['ckvd']*1000:8.1f} ms (median, 1,000 MP3 files on a disc image)")
print(f"mediainfo  {r['mediainfo']*1000:8.1f} ms (median, the same files on the local disk)")
print(f"ratio      {r['ckvd']/r['mediainfo']:8.3f} (our time as a fraction of mediainfo's)")
PY
