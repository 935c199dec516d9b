#!/bin/bash
# Image reader fixtures, made by genisoimage and sox and composed by ckvd-mkdisc.
# usage: make_fixtures.sh OUTDIR PATH/TO/ckvd-mkdisc
set -euo pipefail
out=$1
mkdisc=$2
for tool in genisoimage sox cd-info cdrdao python3; do
    command -v "$tool" >/dev/null || { echo "make_fixtures.sh: $tool is missing" >&2; exit 1; }
done
rm -rf "$out"
mkdir -p "$out/src1" "$out/src2" "$out/src3"
printf 'one\n' > "$out/src1/ONE.TXT"
printf 'two\n' > "$out/src2/TWO.TXT"
printf 'three\n' > "$out/src3/THREE.TXT"
cd "$out"
genisoimage -quiet -V PLAIN -o plain.iso src1

# Two sessions as .cue/.bin and as CloneCD.
for ext in cue ccd; do
    genisoimage -quiet -J -V S1 -o "s1-$ext.iso" src1
    "$mkdisc" create "two.$ext" "s1-$ext.iso"
    genisoimage -quiet -J -V S2 -C "$("$mkdisc" msinfo "two.$ext")" -M "s1-$ext.iso" -o "s2-$ext.iso" src2 2>/dev/null
    "$mkdisc" append "two.$ext" "s2-$ext.iso"
done

# A session image made for the wrong address is refused.
genisoimage -quiet -V WRONG -C 0,99999 -o wrong.iso src3 2>/dev/null

# Audio CD of three tracks, and a raw MODE1/2352 data sheet over the CloneCD image of one session.
for n in 1 2 3; do sox -q -n -r 44100 -c 2 -b 16 "t$n.wav" synth "$n.5" sine 440; done
"$mkdisc" audio audio.cue t1.wav t2.wav t3.wav
genisoimage -quiet -V RAW -o raw-src.iso src1
"$mkdisc" create raw.ccd raw-src.iso
ln -f raw.img raw.bin  # cd-info looks for the .bin named like the sheet
printf 'FILE "raw.bin" BINARY\r\n  TRACK 01 MODE1/2352\r\n    INDEX 01 00:00:00\r\n' > raw.cue
sox -q -n -r 22050 -c 1 -b 16 mono.wav synth 1 sine 440
# CD-Extra: the audio session, then a data session after its lead-out, a lead-in and a pregap.
next=$(( $(stat -c %s audio.bin) / 2352 + 6750 + 4500 + 150 ))
genisoimage -quiet -V EXTRA -C "0,$next" -o extra-data.bin src1 2>/dev/null
{ echo "REM SESSION 01"; cat audio.cue; printf 'REM LEAD-OUT 01:30:00\nREM SESSION 02\nFILE "extra-data.bin" BINARY\n'
  printf '  TRACK 04 MODE1/2048\n    INDEX 01 00:00:00\n'; } > extra.cue

# Sheets as other tools write them: an upper-case FILE name for a lower-case .bin, with CRLF as on Windows,
# and tracks 04-05 of a longer disc.
cdda() { sox -q -n -r 44100 -c 2 -b 16 -e signed-integer -L -t raw "$1" synth "$2" sine 440; }
cdda cdda.bin 4
printf 'FILE "CDDA.BIN" BINARY\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n' > cdda.cue
printf '  TRACK 02 AUDIO\r\n    INDEX 01 00:01:30\r\n' >> cdda.cue
cdda late.bin 5
printf 'REM tracks 4 and 5 of the disc\nFILE "late.bin" BINARY\n  TRACK 04 AUDIO\n    INDEX 01 00:00:00\n' > late.cue
printf '  TRACK 05 AUDIO\n    INDEX 01 00:02:10\n' >> late.cue

# The peer's view of the 2352-byte sheets (cd-info reads the .bin named like the sheet).
for base in audio raw cdda late; do
    cd-info --no-header --no-device-info --no-cddb --no-analyze --cue-file "$base.cue" > "$base.cd-info.txt" 2>&1 || true
done

# Nero images.

# cdrdao sheets: data tracks cooked (2048), raw (2352) and in mode 2 form mix (2336, written here), audio
# from big-endian raw files (sample positions), a WAVE file and little-endian DATAFILEs (byte offsets); the
# peer's view of them by cdrdao (cd-info misplaces pregaps and cooked sectors in .toc sheets, and crashes on
# mode 2 ones).
genisoimage -quiet -V TOCDATA -o toc-data.iso src1
python3 - toc-data.iso toc-mix.bin <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
with open(sys.argv[2], "wb") as out:  # subheader of a form 1 data sector, user data, no EDC/ECC
    for i in range(0, len(data), 2048):
        out.write(bytes([0, 0, 8, 0, 0, 0, 8, 0]) + data[i:i + 2048] + bytes(280))
PY
sox -q -n -r 44100 -c 2 -b 16 -e signed-integer -L -t raw toc-le.raw synth 6 sine 440
sox -q -r 44100 -c 2 -b 16 -e signed-integer -L -t raw toc-le.raw -B -t raw toc-be.raw
sox -q -n -r 44100 -c 2 -b 16 toc-tone.wav synth 5.3 sine 660
sox -q toc-tone.wav -e signed-integer -L -t raw toc-tone.raw
cat toc-data.iso toc-le.raw > toc-all.bin
iso=$(stat -c %s toc-data.iso)
cat > toc-mixed.toc <<EOF
CD_ROM
CATALOG "0000012101954"
CD_TEXT { LANGUAGE_MAP { 0 : EN } LANGUAGE 0 { TITLE "braces { in a string" GENRE { 0, 1 } } }
// the data track and its post-gap
TRACK MODE1
DATAFILE "toc-data.iso"
ZERO 00:02:00
TRACK AUDIO
COPY
PRE_EMPHASIS
ISRC "DEXXX9800001"
PREGAP 0:2:0
FILE "toc-be.raw" 22050 0:4:0
TRACK AUDIO
FILE "toc-tone.wav" 0:1:0
START 0:0:30
INDEX 0:1:0
TRACK AUDIO
NO COPY
FOUR_CHANNEL_AUDIO
DATAFILE "toc-le.raw" #352800 00:01:00
ZERO 44100
EOF
cat > toc-xa.toc <<EOF
CD_ROM_XA
TRACK MODE2_FORM1
DATAFILE "toc-data.iso"
TRACK MODE2_FORM_MIX
DATAFILE "toc-mix.bin"
TRACK MODE1_RAW
DATAFILE "raw.img"
EOF
cat > toc-one.toc <<EOF
CD_ROM
TRACK MODE1
DATAFILE "toc-all.bin" $iso
TRACK AUDIO
DATAFILE "toc-all.bin" #$iso
EOF
for base in toc-mixed toc-xa toc-one; do
    cdrdao show-toc --force "$base.toc" > "$base.cdrdao.txt" 2>/dev/null
done

# Alcohol images.
