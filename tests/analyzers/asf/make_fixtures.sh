#!/bin/bash
# The ASF analyzer's fixtures: ffmpeg's WMA files, patched where ffmpeg cannot write a form, on a genisoimage -J
# disc. usage: make_fixtures.sh OUTDIR
. "$(dirname "$0")/../fixture_lib.sh" "$1" ffmpeg ffprobe mediainfo genisoimage python3

# WMA 2 (ffmpeg's codec list names it "Windows Media Audio V8"), stereo, every text tag, the track a string.
ffsine 7.5 440 -ac 2 -ar 44100 -c:a wmav2 -b:a 64k \
    -metadata title="Song Title 日本語の曲" -metadata artist="The Author" -metadata copyright="(C) 2024 Someone" \
    -metadata album="Album Name アルバム" -metadata track=12 -metadata genre="Rock" -metadata WM/Year=2021 \
    "$work/disc/wmav2_tags.wma"

# WMA 1, mono, 75 s (minutes in the duration), the track patched to a DWORD.
ffsine 75 330 -ac 1 -ar 22050 -c:a wmav1 -b:a 32k \
    -metadata title="First Version" -metadata artist="Another Author" -metadata copyright="Public Domain" \
    -metadata album="Second Album" -metadata track=7 -metadata genre="Jazz" -metadata WM/Year=1999 \
    "$work/disc/wmav1_dword.wma"

# Forms ffmpeg does not write: a Content Description description and a codec description (each object's
# size, the header's and the file size of File Properties grow with them), and WM/TrackNumber as a DWORD
# (ffmpeg's one-digit string and its terminator are 4 bytes: the value becomes the DWORD in place).
python3 - "$work/disc" <<'EOF'
import struct, sys
FP, CD, CL = (bytes.fromhex(g) for g in ("a1dcab8c47a9cf118ee400c00c205365", "3326b2758e66cf11a6d900aa0062ce6c",
                                         "4052d1861d31d011a3a400a0c90348f6"))
def u16(s): return (s + "\0").encode("utf-16-le")
def word(b, at): return struct.unpack_from("<H", b, at)[0]
def insert(b, at, add, *sizes):  # the 64-bit sizes at `sizes` lie before `at`
    b[at:at] = add
    for s in sizes: struct.pack_into("<Q", b, s, struct.unpack_from("<Q", b, s)[0] + len(add))
def description(b, text):
    fp, cd = b.find(FP), b.find(CD)
    assert min(fp, cd) >= 0 and word(b, cd + 30) == 0, "no Content Description, or one with a description"
    insert(b, cd + 34 + word(b, cd + 24) + word(b, cd + 26) + word(b, cd + 28), u16(text), 16, cd + 16, fp + 40)
    struct.pack_into("<H", b, cd + 30, len(u16(text)))
def codec_description(b, text):
    fp, cl = b.find(FP), b.find(CL)
    at = cl + 48 + 2 * word(b, cl + 46)
    assert min(fp, cl) >= 0 and word(b, at) == 0, "no codec entry, or one with a description"
    insert(b, at + 2, u16(text), 16, cl + 16, fp + 40)
    struct.pack_into("<H", b, at, len(u16(text)) // 2)
def track_dword(b, n):
    at = b.find(u16("WM/TrackNumber")) + 30
    assert at >= 30 and struct.unpack_from("<2H", b, at) == (0, 4), "WM/TrackNumber is no one-digit string"
    struct.pack_into("<HHI", b, at, 3, 4, n)
def edit(name, *steps):
    b = bytearray(open(sys.argv[1] + "/" + name, "rb").read())
    for step, arg in steps: step(b, arg)
    open(sys.argv[1] + "/" + name, "wb").write(b)
edit("wmav2_tags.wma", (description, "A description of the song"), (codec_description, "64 kbps, 44 kHz, stereo"))
edit("wmav1_dword.wma", (description, "説明文 with Japanese"), (track_dword, 7))
EOF

# Texts beyond Shift-JIS: Latin-1 letters the report folds, a character outside the BMP, Korean.
ffsine 2 440 -ac 1 -c:a wmav2 -b:a 32k -metadata title="Große Übung" -metadata artist="Artist 🎵 Dvořák" \
    -metadata album="한국어 앨범" "$work/disc/intl.wma"

# A WMA without any tag, and a file that is no ASF at all.
ffsine 2 550 -ac 2 -c:a wmav2 -b:a 48k -map_metadata -1 -fflags +bitexact "$work/disc/plain.wma"
ffsine 1 550 -c:a pcm_s16le -f wav "$work/disc/not_asf.wma"

genisoimage -quiet -input-charset utf-8 -J -V "ASF_TESTS" -o "$out/asf.iso" "$work/disc"
cp "$work"/disc/*.wma "$out/"
