#!/bin/bash
# ckvd-mknav over a tree of media made by sox, lame and ffmpeg: a second run writes the same bytes; after
# mastering with genisoimage and --lsn, every LSN.LMX entry is the sector and size xorriso reports for the
# file of that CID, and mastering again moves no file; the playlists name those CIDs; the technical data
# agree with ffprobe; ckvd nav shows the disc name as it was given; a tree changed since the first run is
# refused and LSN.LMX left as it was.
# usage: test_mknav.sh PATH/TO/ckvd-mknav WORKDIR PATH/TO/ckvd
set -euo pipefail
mknav=$1
work=$2
ckvd=$3
for tool in genisoimage xorriso sox lame ffmpeg ffprobe python3; do
    command -v "$tool" >/dev/null || { echo "test_mknav.sh: $tool is missing (apt-get install it)" >&2; exit 1; }
done
rm -rf "$work"
t=$work/tree
mkdir -p "$t/MENU" "$t/追加/写真" "$t/追加/動画"
sox -q -n -r 22050 -c 1 -b 16 "$t/a.wav" synth 0.5 sine 440 vol 0.3
lame --quiet -b 96 "$t/a.wav" "$t/追加/夜.mp3"
ff() { ffmpeg -nostdin -loglevel error -y "$@"; }
ff -f lavfi -i color=c=blue:s=160x120 -frames:v 1 "$t/追加/写真/空.jpg"
ff -f lavfi -i color=c=red:s=64x48 -frames:v 1 "$t/追加/写真/海.png"
ff -f lavfi -i color=c=black:s=320x240 -frames:v 1 "$t/MENU/BACK.JPG"
ff -f lavfi -i testsrc=size=64x48:rate=10 -t 1 -c:v mpeg4 "$t/追加/動画/clip.avi"
printf 'not media\n' >"$t/README.TXT"

master() { genisoimage -quiet -input-charset utf-8 -J -r -o "$1" "$t"; }
extents() { xorriso -indev "$1" -find / -type f -exec report_lba -- 2>/dev/null | grep '^File data lba:'; }

name="Dvořák – 한국어 Test Disc" # characters without Shift-JIS codes
"$mknav" --name "$name" "$t"
mkdir "$work/first"
cp "$t"/*.LMX "$work/first/"
"$mknav" --name "$name" "$t"
for f in "$work"/first/*.LMX; do cmp "$f" "$t/$(basename "$f")"; done

master "$work/pass1.iso"
"$mknav" --lsn "$work/pass1.iso" "$t"
master "$work/pass2.iso"
extents "$work/pass1.iso" >"$work/pass1.lba"
extents "$work/pass2.iso" >"$work/pass2.lba"
cmp "$work/pass1.lba" "$work/pass2.lba"

# The first stream's values as "a,b" (ffprobe may add empty fields and lines after them).
probe() { ffprobe -v error -select_streams 0 -show_entries stream="$1" -of csv=p=0 "$t/$2" | head -1 | sed 's/,*$//'; }
export TREE=$t LBA=$work/pass2.lba
export WAV_PROBE=$(probe sample_rate,channels a.wav) MP3_PROBE=$(probe sample_rate,channels 追加/夜.mp3)
export PNG_PROBE=$(probe width,height 追加/写真/海.png) JPG_PROBE=$(probe width,height 追加/写真/空.jpg)
python3 - <<'EOF'
import os, re, struct, sys
tree = os.environ["TREE"]
def read(name):
    with open(os.path.join(tree, name), "rb") as f:
        return f.read()
def u(b, at, n):
    return int.from_bytes(b[at:at + n], "little")
failures = []
def check(what, got, want):
    if got != want:
        failures.append(f"{what}: {got!r}, expected {want!r}")

# CIDs: playlists of the directories with media in walk order (the root, 追加, 追加/写真, 追加/動画), then
# audio, menu images, images, videos, each in walk order.
cids = ["/PLAY0001.LMX", "/PLAY0002.LMX", "/PLAY0003.LMX", "/PLAY0004.LMX", "/a.wav", "/追加/夜.mp3",
        "/MENU/BACK.JPG", "/追加/写真/海.png", "/追加/写真/空.jpg", "/追加/動画/clip.avi"]
peer = {}
for line in open(os.environ["LBA"], encoding="utf-8"):
    m = re.match(r"File data lba:\s*\d+\s*,\s*(\d+)\s*,\s*\d+\s*,\s*(\d+)\s*,\s*'(.*)'$", line.strip())
    peer[m.group(3)] = (int(m.group(1)), int(m.group(2)))
lsn = read("LSN.LMX")
check("LSN.LMX entry count", u(lsn, 0x16, 4), len(cids))
check("LSN.LMX size field", u(lsn, 0x12, 4), len(lsn))
for n, path in enumerate(cids):
    check(f"LSN.LMX CID {n + 1} {path}", (u(lsn, 0x1A + 8 * n, 4), u(lsn, 0x1E + 8 * n, 4)), peer[path])

contents = read("CONTENTS.LMX")
check("CONTENTS.LMX counts (playlists, audio, menu images, images, videos)",
      [u(contents, at, 4) for at in (0x1E, 0x28, 0x32, 0x3C, 0x46)], [4, 2, 1, 2, 1])

# Each playlist's first group: type and the file IDs of its audio/video part or its image part.
def first_group(name):
    p = read(name)
    g = 0x1A
    kind = p[g + 0x0C]
    part = g + 0x0E
    if kind == 2:
        return kind, [u(p, part + 8 + 10 * i, 4) for i in range(p[part])]
    return kind, [u(p, part + 4 + 28 * i, 4) for i in range(p[part])]
check("PLAY0001.LMX", first_group("PLAY0001.LMX"), (0, [5]))
check("PLAY0002.LMX", first_group("PLAY0002.LMX"), (0, [6]))
check("PLAY0003.LMX", first_group("PLAY0003.LMX"), (2, [8, 9]))
check("PLAY0004.LMX", first_group("PLAY0004.LMX"), (1, [10]))

# Technical data against ffprobe: audio rate and channels, image width and height.
audio = u(contents, 0x2E, 4)
for i, probe in enumerate((os.environ["WAV_PROBE"], os.environ["MP3_PROBE"])):
    e = audio + 32 * i
    check(f"audio entry {i + 1} rate,channels", f"{u(contents, e + 0x16, 4)},{contents[e + 8]}", probe)
image = u(contents, 0x42, 4)
for i, probe in enumerate((os.environ["PNG_PROBE"], os.environ["JPG_PROBE"])):
    e = image + 16 * i
    check(f"image entry {i + 1} width,height", f"{u(contents, e + 0x0E, 2)},{u(contents, e + 0x0C, 2)}", probe)

for f in failures:
    print("test_mknav.sh:", f, file=sys.stderr)
sys.exit(1 if failures else 0)
EOF

"$ckvd" nav "$work/pass2.iso" /TEXT.LMX >"$work/text.out"
grep -qFx "Disc Name: $name" "$work/text.out" || { echo "test_mknav.sh: ckvd nav shows another disc name:" >&2
    cat "$work/text.out" >&2; exit 1; }

# A file added after the first run: --lsn refuses, and LSN.LMX keeps the sectors it had.
cp "$t/LSN.LMX" "$work/lsn.before"
cp "$t/a.wav" "$t/追加/b.wav"
if "$mknav" --lsn "$work/pass2.iso" "$t" 2>"$work/refused.err"; then
    echo "test_mknav.sh: --lsn succeeded over a changed tree" >&2
    exit 1
fi
grep -q "CONTENTS.LMX does not describe" "$work/refused.err"
cmp "$work/lsn.before" "$t/LSN.LMX"
ls "$t" | grep -q tmp && { echo "test_mknav.sh: a temporary file was left behind" >&2; exit 1; }
echo "test_mknav.sh: ok"
