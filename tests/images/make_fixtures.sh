#!/bin/bash
# Image reader fixtures, made by genisoimage and sox and composed by ckvd-mkdisc.
# usage: make_fixtures.sh OUTDIR PATH/TO/ckvd-mkdisc
set -euo pipefail
out=$1
mkdisc=$2
here=$(cd "$(dirname "$0")" && pwd)
for tool in genisoimage sox cd-info cdrdao isoinfo xorriso python3; do
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

# Raw 2352-byte images without a sheet, from genisoimage discs: Mode 1 named .iso and .bin, Mode 2 Form 1
# named .img; a session dumped from block 11,400 on keeps its addresses.
mkdir -p "$out/src4/SUB"
for n in 1 2 3; do head -c $((n * 5000)) /dev/urandom > "$out/src4/SUB/F$n.DAT"; done
genisoimage -quiet -J -V RAWSRC -o raw-plain.iso src4
genisoimage -quiet -J -V RAWLATE -C 0,11400 -o raw-late.iso src1 2>/dev/null
python3 "$here/make_raw.py" mode1 raw-plain.iso raw-m1.iso
ln -f raw-m1.iso raw-m1.bin
python3 "$here/make_raw.py" mode2 raw-plain.iso raw-m2.img
python3 "$here/make_raw.py" mode1 raw-late.iso raw-late.bin 11400
isoinfo -R -J -l -i raw-plain.iso > raw-plain.isoinfo.txt
# A file grown by xorriso over three sessions, and its TOC as xorriso reads it.
mkdir -p g1 g2 g3
printf 'first\n' > g1/A.TXT; printf 'second\n' > g2/B.TXT; printf 'third\n' > g3/C.TXT
for n in 1 2 3; do xorriso -dev grown.iso -map "g$n" "/g$n" -commit >/dev/null 2>&1; done
xorriso -indev grown.iso -toc 2>/dev/null | grep '^ISO session' > grown.xorriso-toc.txt

# The peer's view of the 2352-byte sheets (cd-info reads the .bin named like the sheet).
for base in audio raw cdda late; do
    cd-info --no-header --no-device-info --no-cddb --no-analyze --cue-file "$base.cue" > "$base.cd-info.txt" 2>&1 || true
done

# Nero images.
# No Debian tool writes them: make_nrg.py composes them from genisoimage's images and sox's samples, in both
# footers, disc-at-once and track-at-once, 2048/2336/2352/2448-byte sectors and two sessions.
nrg="python3 $here/make_nrg.py"
genisoimage -quiet -V NRGA -o nrg-a.iso src1
genisoimage -quiet -V NRGB -o nrg-b.iso src2
cdda nrg-2s.pcm 2
cdda nrg-3s.pcm 3
$nrg nrg-mixed.nrg m1:nrg-a.iso audio:nrg-2s.pcm audio:nrg-3s.pcm
$nrg nrg-raw.nrg m1raw:nrg-a.iso m2raw:nrg-b.iso
$nrg nrg-old.nrg --old m2raw:nrg-a.iso audio:nrg-2s.pcm
$nrg nrg-sub.nrg audiosub:nrg-3s.pcm audio:nrg-2s.pcm
$nrg nrg-tao-old.nrg --old --tao m2:nrg-a.iso m2:nrg-b.iso
$nrg nrg-tao-audio.nrg --tao audio:nrg-2s.pcm audio:nrg-3s.pcm
$nrg nrg-tao-m2f1.nrg --tao m2f1:nrg-a.iso
genisoimage -quiet -V NRG1 -o nrg-s1.iso src1
genisoimage -quiet -V NRG2 -C "0,$(( $(stat -c %s nrg-s1.iso) / 2048 + 11400 ))" -M nrg-s1.iso -o nrg-s2.iso src2 2>/dev/null
$nrg nrg-tao-two.nrg --tao m1:nrg-s1.iso --session m1:nrg-s2.iso
$nrg nrg-dao-two.nrg m1:nrg-s1.iso --session m1:nrg-s2.iso
for f in nrg-*.nrg; do
    cd-info --no-header --no-device-info --no-cddb --no-analyze -i "$f" > "${f%.nrg}.cd-info.txt" 2>&1 || true
done

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
# Tracks joined from several files and zeros from INDEX 01 on (sectors spanning two of them; a START inside
# the first), and a Mode 2 Form 2 track of 2,324-byte sectors.
head -c $((2324 * 30)) toc-le.raw > toc-form2.bin
cat > toc-join.toc <<EOF
CD_ROM_XA
TRACK MODE1
DATAFILE "toc-data.iso" 20480
ZERO 4096
DATAFILE "toc-data.iso" #20480
TRACK MODE2_FORM2
DATAFILE "toc-form2.bin"
TRACK AUDIO
START 00:00:05
FILE "toc-be.raw" 0 5000
SILENCE 777
AUDIOFILE "toc-tone.wav" 0:1:0 0:2:0
FILE "toc-be.raw" 250 1001
EOF
# An ISO in Mode 2 sectors of 2,336 bytes (subheader, user data) whose file FORM2.DAT lies in Form 2 sectors
# holding sox's samples, 2,324 bytes each; the other sectors Form 1.
mkdir -p srcxa
head -c $((2048 * 10)) toc-le.raw > srcxa/FORM2.DAT
genisoimage -quiet -V XA -o xa-src.iso srcxa
extent=$(isoinfo -i xa-src.iso -l | sed -n 's/.*\[ *\([0-9]*\) 00\] *FORM2.DAT;1.*/\1/p')
python3 - xa-src.iso toc-le.raw xa.bin "$extent" <<'PY'
import sys
iso, samples, first = open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read(), int(sys.argv[4])
with open(sys.argv[3], "wb") as out:
    for n in range(len(iso) // 2048):
        if first <= n < first + 10:
            k = n - first
            out.write(bytes([0, 0, 0x20, 0] * 2) + samples[k * 2324:(k + 1) * 2324] + bytes(4))
        else:
            out.write(bytes([0, 0, 8, 0] * 2) + iso[n * 2048:(n + 1) * 2048] + bytes(280))
PY
printf 'FILE "xa.bin" BINARY\r\n  TRACK 01 MODE2/2336\r\n    INDEX 01 00:00:00\r\n' > xa.cue
for base in toc-mixed toc-xa toc-one toc-join; do
    cdrdao show-toc --force "$base.toc" > "$base.cdrdao.txt" 2>/dev/null
done

# Alcohol images, written by make_mds.py beside this script: one cooked data track; data and audio in a
# first session and data in a second, raw 2352-byte sectors; mode 2 form 1 data and audio with 96 bytes of
# subchannel a sector, the data file named in UTF-16 and in another case.
mds=$here/make_mds.py
for tool in isoinfo python3; do
    command -v "$tool" >/dev/null || { echo "make_fixtures.sh: $tool is missing" >&2; exit 1; }
done
sox -q -n -r 44100 -c 2 -b 16 -e signed-integer -L -t raw mds-tone.raw synth 2 sine 440
genisoimage -quiet -V MDS1 -o mds-1.iso src1
python3 "$mds" one.mds data:mds-1.iso
next=$(( $(stat -c %s mds-1.iso) / 2048 + 150 + 150 + 11400 ))
genisoimage -quiet -V MDS2 -C "0,$next" -M mds-1.iso -o mds-2.iso src2 2>/dev/null
python3 "$mds" mixed.mds --sector 2352 data:mds-1.iso audio:mds-tone.raw session data:mds-2.iso
python3 "$mds" sub.mds --sector 2448 --mode2 --wide --name SUB.MDF data:mds-1.iso audio:mds-tone.raw
isoinfo -l -i mds-1.iso > mds-1.isoinfo.txt
cp mixed.mdf MIXED.mdf  # opened as the data file: its descriptor is mixed.mds
