#!/bin/bash
# CD-TEXT discs: cue and cdrdao sheets with their text commands (read back by libcdio's cd-info and cdrdao's
# show-toc), and CloneCD and CDTEXTFILE packs written by make_packs.py, over sox's samples.
# usage: make_fixtures.sh OUTDIR
set -euo pipefail
out=$1
here=$(cd "$(dirname "$0")" && pwd)
for tool in sox cd-info cdrdao python3 genisoimage; do
    command -v "$tool" >/dev/null || { echo "make_fixtures.sh: $tool is missing" >&2; exit 1; }
done
rm -rf "$out"
mkdir -p "$out"
cd "$out"
# Three audio tracks of 5 s each, as raw little-endian samples (cue, CloneCD) and big-endian (cdrdao).
sox -q -n -r 44100 -c 2 -b 16 -e signed-integer -L -t raw disc.bin synth 15 sine 440
sox -q -n -r 44100 -c 2 -b 16 -e signed-integer -B -t raw disc.raw synth 15 sine 440

cat > text.cue <<'CUE'
CATALOG 4006381333931
PERFORMER "The Cue Band"
TITLE "Album of Cues"
SONGWRITER "Album Writer"
FILE "text.bin" BINARY
  TRACK 01 AUDIO
    TITLE "Opening Song"
    PERFORMER "Singer One"
    SONGWRITER "Writer A"
    ISRC USABC1234567
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    TITLE "Second / Song"
    INDEX 01 00:05:00
  TRACK 03 AUDIO
    INDEX 01 00:10:00
CUE
ln -f disc.bin text.bin # cd-info reads the .bin named like the sheet
cd-info --no-device-info --no-cddb --cue-file text.cue > text.cue.cd-info.txt 2>&1

# A sheet whose codes are no codes: it loads, they are passed over.
sed -e 's/ISRC USABC1234567/ISRC US-ABC-12/' -e 's/CATALOG 4006381333931/CATALOG 12AB/' text.cue > badcode.cue

cat > text.toc <<'TOC'
CD_DA
CATALOG "4006381333931"
CD_TEXT {
  LANGUAGE_MAP { 0 : EN 1 : 8 }
  LANGUAGE 1 {
    TITLE "Deutsches Album"
  }
  LANGUAGE 0 {
    TITLE "Album of Tocs"
    PERFORMER "The Toc Band"
  }
}
TRACK AUDIO
ISRC "DEXYZ9900001"
CD_TEXT {
  LANGUAGE 0 {
    TITLE "Toc Song"
    PERFORMER "Toc Singer"
    SONGWRITER "Toc Writer"
  }
}
FILE "disc.raw" 0 00:05:00
TRACK AUDIO
CD_TEXT {
  LANGUAGE 0 {
    TITLE "Second Toc Song"
  }
}
FILE "disc.raw" 00:05:00 00:10:00
TOC
cd-info --no-device-info --no-cddb --toc-file text.toc > text.toc.cd-info.txt 2>&1
cdrdao show-toc text.toc > text.toc.cdrdao.txt 2>&1

# CloneCD: the full TOC of the three tracks, then the [CDText] packs; one copy with a damaged pack.
ccd() {
    printf '[CloneCD]\r\nVersion=3\r\n[Disc]\r\nTocEntries=6\r\nSessions=1\r\nDataTracksScrambled=0\r\nCDTextLength=0\r\n'
    printf '[Session 1]\r\nPreGapMode=0\r\nPreGapSubC=0\r\n'
    local i=0 point pmin psec
    for row in "160 1 0" "161 3 0" "162 0 17" "1 0 2" "2 0 7" "3 0 12"; do
        read -r point pmin psec <<<"$row"
        printf '[Entry %d]\r\nSession=1\r\nPoint=0x%02x\r\nADR=0x01\r\nControl=0x00\r\nTrackNo=0\r\n' $i "$point"
        printf 'AMin=0\r\nASec=0\r\nAFrame=0\r\nALBA=-150\r\nZero=0\r\nPMin=%d\r\nPSec=%d\r\nPFrame=0\r\nPLBA=0\r\n' \
            "$pmin" "$psec"
        i=$((i + 1))
    done
    for t in 1 2 3; do printf '[TRACK %d]\r\nMODE=0\r\nINDEX 1=%d\r\n' $t $(((t - 1) * 375)); done
}
texts=("title:0=Album of Packs" "performer:0=The Pack Band" "code:0=4006381333931"
       "title:1=Pack Song" "performer:1=Pack Singer" "songwriter:1=Pack Writer" "code:1=GBXYZ0000001"
       "title:2=Second Pack Song" "title:3=Third Pack Song" "performer:3=Guest Singer")
for name in packs badpack; do
    ccd > "$name.ccd"
    ln -f disc.bin "$name.img"
done
python3 "$here/make_packs.py" ccd packs.ccd 1 3 "${texts[@]}"
python3 "$here/make_packs.py" ccd badpack.ccd 1 3 --bad 1 "${texts[@]}"

# A cue sheet naming a CDTEXTFILE of the same packs.
python3 "$here/make_packs.py" cdt packs.cdt 1 3 "${texts[@]}"
{ echo 'CDTEXTFILE "packs.cdt"'; sed -n '/^FILE/,$p' text.cue | grep -v -e TITLE -e PERFORMER -e SONGWRITER -e ISRC; } > cdt.cue

# A Nero image of one track (make_nrg.py of the image reader's tests) with a CDTX chunk of packs before END!.
python3 "$here/../images/make_nrg.py" plain.nrg audio:disc.bin
python3 "$here/make_packs.py" cdt nrg.cdt 1 1 "title:0=Nero Album" "title:1=Nero Song" "performer:1=Nero Singer"
python3 - plain.nrg nrg.cdt packs.nrg <<'PY'
import struct, sys
image, packs = open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read()
end = image.rfind(b"END!", 0, len(image) - 12)
open(sys.argv[3], "wb").write(image[:end] + b"CDTX" + struct.pack(">I", len(packs)) + packs + image[end:])
PY
cd-info --no-device-info --no-cddb --nrg-file packs.nrg > packs.nrg.cd-info.txt 2>&1

# A data disc has no text.
mkdir -p src && printf 'x\n' > src/X.TXT && genisoimage -quiet -V NOTEXT -o notext.iso src
