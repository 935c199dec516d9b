#!/bin/bash
# Generates the built-in demo discs with Debian's tools and our ckvd-mkdisc:
#   demo-data.cue  two-session Joliet data disc (Japanese names, nested directories, MP3/WAV/WMA with tags)
#   demo-audio.cue audio CD of four short tracks
# usage: make_demo.sh OUTDIR PATH/TO/ckvd-mkdisc
set -euo pipefail
out=$1
mkdisc=$2
for tool in genisoimage lame id3v2 sox ffmpeg; do
    command -v "$tool" >/dev/null || { echo "make_demo.sh: $tool is missing (apt-get install it)" >&2; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/ckvd-demo.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

# Session 1: music and documents.
s1="$work/s1"
mkdir -p "$s1/音楽/アルバム 一" "$s1/音楽/アルバム 二/ボーナス" "$s1/DOCS/NOTES/2002"
sox -q -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 2 sine 440 vol 0.3
lame --quiet -b 128 "$work/tone.wav" "$s1/音楽/アルバム 一/01 さくら.mp3"
id3v2 -a "CKVD Demo Artist" -A "Demo Album One" -t "Sakura" -T 1 -y 2002 -g 12 "$s1/音楽/アルバム 一/01 さくら.mp3"
lame --quiet -b 192 "$work/tone.wav" "$s1/音楽/アルバム 一/02 Morning.mp3"
id3v2 -1 -a "CKVD Demo Artist" -A "Demo Album One" -t "Morning" -T 2 "$s1/音楽/アルバム 一/02 Morning.mp3"
sox -q -n -r 44100 -c 2 -b 16 "$s1/音楽/アルバム 二/波の音.wav" synth 1 pinknoise vol 0.2
ffmpeg -loglevel error -y -i "$work/tone.wav" -c:a wmav2 -b:a 64k -metadata title="Evening" \
    -metadata artist="CKVD Demo Artist" "$s1/音楽/アルバム 二/ボーナス/Evening.wma"
printf 'CKVD Explorer demo disc\r\nSession 1\r\n' > "$s1/README.TXT"
printf 'notes of 2002\n' > "$s1/DOCS/NOTES/2002/メモ.txt"
genisoimage -quiet -J -r -V "CKVD_DEMO_S1" -o "$work/s1.iso" "$s1"
"$mkdisc" create "$out/demo-data.cue" "$work/s1.iso"

# Session 2: more files, merged with the first session's tree as a recorder does.
s2="$work/s2"
mkdir -p "$s2/追加" "$s2/DOCS"
lame --quiet -b 96 "$work/tone.wav" "$s2/追加/夜.mp3"
id3v2 -a "CKVD Demo Artist" -t "Yoru" -A "Second Session" "$s2/追加/夜.mp3"
printf 'Session 2\n' > "$s2/DOCS/SESSION2.TXT"
msinfo=$("$mkdisc" msinfo "$out/demo-data.cue")
genisoimage -quiet -J -r -V "CKVD_DEMO_S2" -C "$msinfo" -M "$work/s1.iso" -o "$work/s2.iso" "$s2"
"$mkdisc" append "$out/demo-data.cue" "$work/s2.iso"

# The audio CD.
tracks=()
for n in 1 2 3 4; do
    f="$work/track$n.wav"
    sox -q -n -r 44100 -c 2 -b 16 "$f" synth "$((n + 1))" sine "$((220 * n))" vol 0.3
    tracks+=("$f")
done
"$mkdisc" audio "$out/demo-audio.cue" "${tracks[@]}"
