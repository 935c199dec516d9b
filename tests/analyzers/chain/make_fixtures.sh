#!/bin/bash
# Tag Information's chain fixtures: files whose names lie about their content (lame, sox, ImageMagick) and one
# MP3 that tells the truth, on a genisoimage -J disc. usage: make_fixtures.sh OUTDIR
convert=/usr/bin/convert # ImageMagick's own, whatever else is on the PATH
. "$(dirname "$0")/../fixture_lib.sh" "$1" sox lame genisoimage $convert
d=$work/disc

# One second of 16-bit stereo silence, undithered: samples of a tone, noise or dither (-1 is FF FF) hold
# 0xFF 0xFx pairs, which the MP3 analyzer's frame search takes for a frame header.
sox -D -n -r 44100 -c 2 -b 16 "$work/silence.wav" trim 0 1
! LC_ALL=C grep -qaP '\xFF[\xF0-\xFF]' "$work/silence.wav" || { echo "make_fixtures.sh: sync in silence" >&2; exit 1; }
sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 1 sine 440 vol 0.3
lame --quiet -b 128 "$work/tone.wav" "$d/real.mp3"
cp "$d/real.mp3" "$d/mp3_named.wma"
cp "$work/silence.wav" "$d/wav_named.mp3"
# 24-bit 48 kHz stereo, a tone and (repeatable) noise: its samples hold what reads as MPEG frame headers,
# so only its RIFF header keeps the MP3 analyzer from taking it.
sox -R -n -r 48000 -c 2 -b 24 -t wav "$d/wav24_named.mp3" synth 1 sine 440 whitenoise vol 0.5
# A CD audio track file's name on a data disc, whose TOC has no audio track to open it by.
cp "$work/silence.wav" "$d/TRACK01.CDA"
printf 'Not a recording at all.\r\n' >"$d/text_named.mp3"
$convert -size 32x32 gradient:red-blue "$d/picture.jpg"

genisoimage -quiet -input-charset utf-8 -J -V CHAIN_FIXTURES -o "$out/chain.iso" "$d"
