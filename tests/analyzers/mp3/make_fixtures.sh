#!/bin/bash
# Makes the MP3 analyzer's fixtures: MPEG audio files from lame and ffmpeg, tagged by id3v2 and eyeD3, kept
# under OUTDIR/files for the peer tools and written onto OUTDIR/mp3.iso with genisoimage -J.
# usage: make_fixtures.sh OUTDIR
set -euo pipefail
out=$1
for tool in sox lame id3v2 eyeD3 ffmpeg ffprobe mediainfo genisoimage; do
    command -v "$tool" >/dev/null || { echo "make_fixtures.sh: $tool is missing (apt-get install it)" >&2; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/ckvd-mp3fix.XXXXXX")
trap 'rm -rf "$work"' EXIT
rm -rf "$out/files"
mkdir -p "$out/files"
f="$out/files"
sox -n -r 44100 -c 2 "$work/tone.wav" synth 3 sine 440 sine 660
sox -n -r 44100 -c 1 "$work/mono.wav" synth 2 sine 330

# MPEG-1 Layer III, CBR joint stereo with lame's Info frame; ID3v2.3 and ID3v1.1 by id3v2.
lame --quiet -b 128 "$work/tone.wav" "$f/m1cbr.mp3"
id3v2 -2 -t "Title One" -a "The Artist" -A "An Album" -y 2004 -c "a comment" -T 5 -g 13 \
    --TCOM "A Composer" --TOPE "Old Artist" --TENC "Some Encoder" "$f/m1cbr.mp3"
id3v2 -1 -t "Title One" -a "The Artist" -A "An Album" -y 2004 -c "a comment" -T 5 -g 13 "$f/m1cbr.mp3"

# MPEG-1 Layer III, VBR stereo with CRC; ID3v2.3 in UTF-16 with Japanese texts by eyeD3.
lame --quiet -V 2 -m s -p "$work/tone.wav" "$f/m1vbr.mp3"
eyeD3 -Q --to-v2.3 --encoding utf16 -t "日本語のタイトル" -a "アーティスト" -A "アルバム Album" \
    -n 7 -G "Rock" --recording-date 2001 "$f/m1vbr.mp3" >/dev/null

# MPEG-1 Layer III, CBR mono without the Info frame and without tags: the header at byte 0.
lame --quiet -b 96 -m m -t "$work/mono.wav" "$f/m1mono.mp3"

# MPEG-2 Layer III, CBR mono with CRC; ID3v2.3 and ID3v1.1 by id3v2.
lame --quiet --resample 22.05 -b 32 -m m -p "$work/mono.wav" "$f/m2cbr.mp3"
id3v2 -2 -t "Mono Two" -a "Low Rate" -T 12 "$f/m2cbr.mp3"
id3v2 -1 -t "Mono Two" -a "Low Rate" -T 12 "$f/m2cbr.mp3"

# MPEG-2 Layer III, VBR joint stereo without the Info frame; ID3v1.0 only, by eyeD3 (no track; no year
# either, since eyeD3 writes track 1 whenever a year is given).
lame --quiet --resample 24 -V 6 -t "$work/tone.wav" "$f/m2vbr.mp3"
eyeD3 -Q -1 -t "V1 Title" -a "V1 Artist" -A "V1 Album" -c "v1 comment" -G "Jazz" -n 0 "$f/m2vbr.mp3" >/dev/null

# MPEG-1 Layer III at 48 kHz, CBR stereo; ID3v2.3 in Latin-1 by eyeD3 (a COMM frame with its language).
lame --quiet --resample 48 -b 160 -m s "$work/tone.wav" "$f/m1latin.mp3"
eyeD3 -Q --to-v2.3 --encoding latin1 -t "Latin Title" -a "Latin Artist" -c "latin comment" \
    "$f/m1latin.mp3" >/dev/null

# MPEG-1 Layer II from ffmpeg, 48 kHz stereo.
ffmpeg -v error -y -i "$work/tone.wav" -ar 48000 -c:a mp2 -b:a 192k "$f/layer2.mp2"

genisoimage -quiet -input-charset utf-8 -J -V MP3_FIXTURES -o "$out/mp3.iso" "$f"
