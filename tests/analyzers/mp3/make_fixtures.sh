#!/bin/bash
# The MP3 analyzer's fixtures: lame's and ffmpeg's MPEG audio tagged by id3v2, eyeD3, mid3v2 and mutagen, kept in
# OUTDIR/files for the peer tools and written onto OUTDIR/mp3.iso by genisoimage -J. usage: make_fixtures.sh OUTDIR
python=/usr/bin/python3 # the system's, which has python3-mutagen
. "$(dirname "$0")/../fixture_lib.sh" "$1" sox lame id3v2 eyeD3 mid3v2 ffmpeg ffprobe mediainfo genisoimage $python
f=$out/files
rm -rf "$f" && mkdir "$f"
sox -n -r 44100 -c 2 "$work/tone.wav" synth 3 sine 440 sine 660
sox -n -r 44100 -c 1 "$work/mono.wav" synth 2 sine 330
sox -n -r 8000 -c 1 "$work/low.wav" synth 2.5 sine 330

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
for v in -2 -1; do id3v2 $v -t "Mono Two" -a "Low Rate" -T 12 "$f/m2cbr.mp3"; done

# MPEG-2 Layer III, VBR joint stereo without the Info frame; ID3v1.0 only, by eyeD3 (no track; no year
# either, since eyeD3 writes track 1 whenever a year is given).
lame --quiet --resample 24 -V 6 -t "$work/tone.wav" "$f/m2vbr.mp3"
eyeD3 -Q -1 -t "V1 Title" -a "V1 Artist" -A "V1 Album" -c "v1 comment" -G "Jazz" -n 0 "$f/m2vbr.mp3" >/dev/null

# MPEG-1 Layer III at 48 kHz, CBR stereo; ID3v2.3 in Latin-1 by eyeD3 (a COMM frame with its language).
lame --quiet --resample 48 -b 160 -m s "$work/tone.wav" "$f/m1latin.mp3"
eyeD3 -Q --to-v2.3 --encoding latin1 -t "Latin Title" -a "Latin Artist" -c "latin comment" \
    "$f/m1latin.mp3" >/dev/null

# MPEG-1 Layer II from ffmpeg, 48 kHz stereo.
ff -i "$work/tone.wav" -ar 48000 -c:a mp2 -b:a 192k "$f/layer2.mp2"

# MPEG-1 Layer III, ABR 96 kbit/s (lame resamples to 32 kHz) with a Xing header; ID3v2.4 in UTF-16 by eyeD3.
lame --quiet --abr 96 "$work/tone.wav" "$f/m1abr.mp3"
eyeD3 -Q --to-v2.4 --encoding utf16 -t "ユニコード Title" -a "Artist 16" -n 4 "$f/m1abr.mp3" >/dev/null

# MPEG-2.5 Layer III: 8 kHz VBR mono with a Xing header, and 11.025 kHz CBR stereo without one. The second
# has an ID3v2.4 tag in UTF-8 by mid3v2 with a 40 kB frame, which is not audio.
lame --quiet -s 8 -V 6 "$work/low.wav" "$f/m25vbr.mp3"
lame --quiet --resample 11.025 -b 32 -t "$work/tone.wav" "$f/m25cbr.mp3"
mid3v2 -t "日本語 UTF-8 タイトル" -a "Artist 8" -A "Album 8" -y 2008 -T 3 --TCOM "Composer 8" \
    --TXXX "big:$(head -c 40000 /dev/zero | tr '\0' x)" "$f/m25cbr.mp3" >/dev/null

# MPEG-2 Layer II from ffmpeg, 24 kHz: frames of 1152 samples.
ff -i "$work/tone.wav" -ar 24000 -c:a mp2 -b:a 64k "$f/layer2m2.mp2"

# An APEv2 tag by mutagen, then an ID3v1.0 tag by id3v2 after it at the end of the file.
lame --quiet -b 64 -m m "$work/mono.wav" "$f/apev1.mp3"
$python -c 'import sys; from mutagen.apev2 import APEv2
t = APEv2(); t["Title"] = "APE Title"; t["Artist"] = "APE Artist"; t.save(sys.argv[1])' "$f/apev1.mp3"
id3v2 -1 -t "Real V1" -a "V1 Artist" -A "V1 Album" -g 17 "$f/apev1.mp3"

# Texts beyond Shift-JIS (Czech, Greek, Korean, a character outside the BMP): ID3v2.3 in UTF-16 by eyeD3 and
# ID3v2.4 in UTF-8 by mid3v2. The second has an ID3v1 tag whose title is Latin-1, as ID3 defines it.
lame --quiet -b 64 -m m "$work/mono.wav" "$f/intl23.mp3"
eyeD3 -Q --to-v2.3 --encoding utf16 -t "Dvořák: Rusalka" -a "Ελληνικά 🎵" -A "한국어 앨범" "$f/intl23.mp3" >/dev/null
lame --quiet -b 64 -m m "$work/mono.wav" "$f/intl24.mp3"
mid3v2 -t "한국어 🎵" -a "Dvořák" -A "Ελληνικά" "$f/intl24.mp3" >/dev/null
$python -c 'import sys; open(sys.argv[1], "ab").write(b"TAG" + b"Gro\xdfe".ljust(30, b"\0") + b"Dvorak".ljust(30, b"\0")
    + bytes(30) + b"2020" + bytes(30) + b"\xff")' "$f/intl24.mp3"

genisoimage -quiet -input-charset utf-8 -J -V MP3_FIXTURES -o "$out/mp3.iso" "$f"
