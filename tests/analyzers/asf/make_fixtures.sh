#!/bin/bash
# Makes the Windows Media fixtures of the ASF analyzer tests: WMA files from ffmpeg, patched where ffmpeg
# cannot write a form, on a Joliet disc image made by genisoimage.
# usage: make_fixtures.sh OUTDIR
set -euo pipefail
out=$1
for tool in ffmpeg ffprobe mediainfo genisoimage iconv od; do
    command -v "$tool" >/dev/null || { echo "make_fixtures.sh: $tool is missing (apt-get install it)" >&2; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/ckvd-asffix.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$out" "$work/disc"

# Unsigned little-endian numbers of WIDTH bytes at OFFSET of FILE.
le() { od -An -tu"$3" -j "$2" -N "$3" --endian=little "$1" | tr -d ' '; }
put_le() {
    local bytes="" i
    for ((i = 0; i < $3; i++)); do bytes+=$(printf '\\x%02x' $((($4 >> (8 * i)) & 0xFF))); done
    printf "$bytes" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
# Offset of the first occurrence of PATTERN (bytes as \xNN) in FILE.
find_bytes() {
    local at
    at=$(LC_ALL=C grep -obUaP -m1 "$2" "$1" | cut -d: -f1 | head -n1)
    [ -n "$at" ] || { echo "make_fixtures.sh: pattern not found in $1" >&2; exit 1; }
    echo "$at"
}
# Inserts the bytes of file ADD at OFFSET of FILE and grows the 64-bit sizes at the further offsets by their
# count (objects before the insertion point, so their offsets stay).
insert() {
    local f=$1 off=$2 add=$3 n at
    shift 3
    n=$(stat -c %s "$add")
    { head -c "$off" "$f"; cat "$add"; tail -c +"$((off + 1))" "$f"; } >"$f.new"
    mv "$f.new" "$f"
    for at in "$@"; do put_le "$f" "$at" 8 $(($(le "$f" "$at" 8) + n)); done
}
utf16() { printf '%s\0' "$1" | iconv -f UTF-8 -t UTF-16LE; }

guid_file_properties='\xa1\xdc\xab\x8c\x47\xa9\xcf\x11\x8e\xe4\x00\xc0\x0c\x20\x53\x65'
guid_content='\x33\x26\xb2\x75\x8e\x66\xcf\x11\xa6\xd9\x00\xaa\x00\x62\xce\x6c'
guid_codec_list='\x40\x52\xd1\x86\x1d\x31\xd0\x11\xa3\xa4\x00\xa0\xc9\x03\x48\xf6'

# ffmpeg writes no Content Description description (its "comment" goes to the extended descriptors only):
# put one in after the copyright, growing the object, the header and the file size of File Properties.
add_description() {
    local f=$1 fp cd title author copyright
    fp=$(find_bytes "$f" "$guid_file_properties")
    cd=$(find_bytes "$f" "$guid_content")
    title=$(le "$f" $((cd + 24)) 2)
    author=$(le "$f" $((cd + 26)) 2)
    copyright=$(le "$f" $((cd + 28)) 2)
    [ "$(le "$f" $((cd + 30)) 2)" = 0 ] || { echo "make_fixtures.sh: $f already has a description" >&2; exit 1; }
    utf16 "$2" >"$work/text.bin"
    insert "$f" $((cd + 34 + title + author + copyright)) "$work/text.bin" 16 $((cd + 16)) $((fp + 40))
    put_le "$f" $((cd + 30)) 2 "$(stat -c %s "$work/text.bin")"
}
# ffmpeg writes codec entries without a description: give the first one a description.
add_codec_description() {
    local f=$1 fp cl name
    fp=$(find_bytes "$f" "$guid_file_properties")
    cl=$(find_bytes "$f" "$guid_codec_list")
    name=$(le "$f" $((cl + 46)) 2)
    local at=$((cl + 48 + 2 * name))
    [ "$(le "$f" "$at" 2)" = 0 ] || { echo "make_fixtures.sh: $f already has a codec description" >&2; exit 1; }
    utf16 "$2" >"$work/text.bin"
    insert "$f" $((at + 2)) "$work/text.bin" 16 $((cl + 16)) $((fp + 40))
    put_le "$f" "$at" 2 $(($(stat -c %s "$work/text.bin") / 2))
}
# ffmpeg writes WM/TrackNumber as a string; a one-digit track is "N" and a terminator, 4 bytes, so the value
# becomes the DWORD form in place.
track_as_dword() {
    local f=$1 at
    at=$(find_bytes "$f" "$(utf16 "WM/TrackNumber" | od -An -v -tx1 | tr -d ' \n' | sed 's/../\\x&/g')")
    at=$((at + 30))
    [ "$(le "$f" "$at" 2)" = 0 ] && [ "$(le "$f" $((at + 2)) 2)" = 4 ] ||
        { echo "make_fixtures.sh: WM/TrackNumber of $f is not a one-digit string" >&2; exit 1; }
    put_le "$f" "$at" 2 3
    put_le "$f" $((at + 4)) 4 "$2"
}

tone() { ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "sine=frequency=$1:duration=$2" "${@:3}"; }

# WMA 2 (ffmpeg's codec list names it "Windows Media Audio V8"), stereo, every text tag, the track a string.
tone 440 7.5 -ac 2 -ar 44100 -c:a wmav2 -b:a 64k \
    -metadata title="Song Title 日本語の曲" -metadata artist="The Author" -metadata copyright="(C) 2024 Someone" \
    -metadata album="Album Name アルバム" -metadata track=12 -metadata genre="Rock" -metadata WM/Year=2021 \
    "$work/disc/wmav2_tags.wma"
add_description "$work/disc/wmav2_tags.wma" "A description of the song"
add_codec_description "$work/disc/wmav2_tags.wma" "64 kbps, 44 kHz, stereo"

# WMA 1, mono, 75 s (minutes in the duration), the track patched to a DWORD.
tone 330 75 -ac 1 -ar 22050 -c:a wmav1 -b:a 32k \
    -metadata title="First Version" -metadata artist="Another Author" -metadata copyright="Public Domain" \
    -metadata album="Second Album" -metadata track=7 -metadata genre="Jazz" -metadata WM/Year=1999 \
    "$work/disc/wmav1_dword.wma"
add_description "$work/disc/wmav1_dword.wma" "説明文 with Japanese"
track_as_dword "$work/disc/wmav1_dword.wma" 7

# Texts beyond Shift-JIS: Latin-1 letters the report folds, a character outside the BMP, Korean.
tone 440 2 -ac 1 -c:a wmav2 -b:a 32k -metadata title="Große Übung" -metadata artist="Artist 🎵 Dvořák" \
    -metadata album="한국어 앨범" "$work/disc/intl.wma"

# A WMA without any tag, and a file that is no ASF at all.
tone 550 2 -ac 2 -c:a wmav2 -b:a 48k -map_metadata -1 -fflags +bitexact "$work/disc/plain.wma"
tone 550 1 -c:a pcm_s16le -f wav "$work/disc/not_asf.wma"

genisoimage -quiet -input-charset utf-8 -J -V "ASF_TESTS" -o "$out/asf.iso" "$work/disc"
for f in "$work"/disc/*.wma; do cp "$f" "$out/"; done
touch "$out/.done"
