#!/bin/bash
# Makes the disc fixtures of the ISO9660 tests with Debian's tools and our ckvd-mkdisc.
# usage: make_fixtures.sh OUTDIR PATH/TO/ckvd-mkdisc
set -euo pipefail
out=$1
mkdisc=$2
for tool in genisoimage xorriso isoinfo sox; do
    command -v "$tool" >/dev/null || { echo "make_fixtures.sh: $tool is missing (apt-get install it)" >&2; exit 1; }
done
[ -x "$mkdisc" ] || { echo "make_fixtures.sh: $mkdisc is missing" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/ckvd-isofix.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
gen() { genisoimage -quiet -input-charset utf-8 "$@"; }

# Plain ISO9660 level 1: 8.3 names, two levels.
t="$work/level1"
mkdir -p "$t/DOCS/OLD" "$t/MUSIC"
printf 'hello\n' > "$t/README.TXT"
printf 'a%.0s' $(seq 1 3000) > "$t/DOCS/BIG.DAT"
printf 'old\n' > "$t/DOCS/OLD/NOTE.TXT"
head -c 70000 /dev/zero > "$t/MUSIC/SONG.MP3"
gen -iso-level 1 -V "LEVEL1_VOLUME" -o "$out/level1.iso" "$t"

# Level 3 with Rock Ridge.
t="$work/level3"
mkdir -p "$t/Mixed Case Dir"
printf 'rr\n' > "$t/Mixed Case Dir/a long file name.txt"
printf 'x\n' > "$t/short.txt"
gen -iso-level 3 -R -V "LEVEL3_RR" -o "$out/level3_rr.iso" "$t"

# Joliet with Japanese names.
t="$work/joliet"
mkdir -p "$t/音楽/アルバム" "$t/文書"
printf 'x\n' > "$t/音楽/アルバム/さくら.mp3"
printf 'y\n' > "$t/文書/メモ.txt"
printf 'z\n' > "$t/Readme.txt"
gen -J -R -V "JOLIET_JP" -o "$out/joliet_jp.iso" "$t"

# Long and deeply nested names (Joliet long names, no deep relocation).
t="$work/deep"
d="$t"
for i in 1 2 3 4 5 6 7 8 9 10 11 12; do
    d="$d/level_${i}_directory_with_a_rather_long_name"
done
mkdir -p "$d"
printf 'deep\n' > "$d/the_deepest_file_of_all_with_a_long_name.txt"
printf 'top\n' > "$t/$(printf 'n%.0s' $(seq 1 100)).txt"
xorriso -as mkisofs -quiet -R -J -joliet-long -D -V "DEEP_LONG" -o "$out/deep_long.iso" "$t" 2>/dev/null

# Thousands of files in one directory, and a path table over one block (300 directories).
t="$work/many"
mkdir -p "$t/BIGDIR"
for i in $(seq 1 3000); do : > "$t/BIGDIR/F$(printf %05d "$i").TXT"; done
for i in $(seq 1 300); do mkdir -p "$t/DIRS/D$(printf %05d "$i")"; done
gen -V "MANY_FILES" -o "$out/many.iso" "$t"

# Three sessions made with -C/-M and composed by ckvd-mkdisc.
t="$work/ms"
mkdir -p "$t/s1/ONE" "$t/s2/TWO" "$t/s3/THREE"
printf 'first\n' > "$t/s1/ONE/FIRST.TXT"
printf 'second\n' > "$t/s2/TWO/SECOND.TXT"
printf 'third\n' > "$t/s3/THREE/THIRD.TXT"
gen -J -R -V "SESSION_1" -o "$work/s1.iso" "$t/s1"
"$mkdisc" create "$out/three.cue" "$work/s1.iso"
cp "$work/s1.iso" "$work/prev.img"
for n in 2 3; do
    msinfo=$("$mkdisc" msinfo "$out/three.cue")
    next=${msinfo#*,}
    gen -J -R -V "SESSION_$n" -C "$msinfo" -M "$work/prev.img" -o "$work/s$n.iso" "$t/s$n"
    "$mkdisc" append "$out/three.cue" "$work/s$n.iso"
    # The previous session for -M, at its absolute address.
    dd if="$work/s$n.iso" of="$work/prev.img" bs=2048 seek="$next" conv=notrunc status=none
done

# Bootable discs (an El Torito boot record in the descriptor set) and an ISO 9660:1999 disc (an enhanced
# volume descriptor, type 2 version 2).
t="$work/boot"
mkdir -p "$t/BOOT" "$t/DATA"
head -c 2048 /dev/zero > "$t/BOOT/BOOT.IMG"
printf 'data\n' > "$t/DATA/FILE.TXT"
gen -J -R -V "BOOT_GENISO" -b BOOT/BOOT.IMG -no-emul-boot -boot-load-size 4 -o "$out/boot_genisoimage.iso" "$t"
xorriso -as mkisofs -quiet -J -R -V "BOOT_XORRISO" -b BOOT/BOOT.IMG -no-emul-boot -boot-load-size 4 \
    -o "$out/boot_xorriso.iso" "$t" 2>/dev/null
t="$work/level4"
mkdir -p "$t/a directory of ISO 9660-1999"
printf 'v2\n' > "$t/a directory of ISO 9660-1999/a long name; with.punctuation.txt"
genisoimage -quiet -iso-level 4 -V "LEVEL4_1999" -o "$out/iso_level4.iso" "$t"

# A rescue disc as grub-mkrescue (xorriso) makes it, from Debian's grub-rescue-pc.
rescue=/usr/lib/grub-rescue/grub-rescue-cdrom.iso
[ -f "$rescue" ] || { echo "make_fixtures.sh: $rescue is missing (apt-get install grub-rescue-pc)" >&2; exit 1; }
cp "$rescue" "$out/grub-rescue-cdrom.iso"

# Joliet names with characters that have no JIS X 0208 code among others that have one.
t="$work/names"
mkdir -p "$t"
for n in "€uro.txt" "①circled.txt" "한국어.txt" "～wave.txt" "Ελληνικά.txt" "简体中文.txt" "音楽.txt"; do
    printf 'n\n' > "$t/$n"
done
gen -J -R -V "NAMES" -o "$out/names.iso" "$t"

# An audio disc of three tracks.
tracks=()
for n in 1 2 3; do
    sox -q -n -r 44100 -c 2 -b 16 "$work/a$n.wav" synth "$n" sine "$((300 * n))" vol 0.3
    tracks+=("$work/a$n.wav")
done
"$mkdisc" audio "$out/audio.cue" "${tracks[@]}"

# CD-Extra: the audio session, then a data session at the address a recorder gives it (after the first
# lead-out of 6750 sectors, a lead-in of 4500 and a pregap of 150). ckvd-mkdisc closes an audio disc, so
# this sheet is written here in the multi-session form the cue reader takes.
cp "$out/audio.bin" "$out/extra.bin"
audio_sectors=$(( $(stat -c %s "$out/extra.bin") / 2352 ))
next=$(( audio_sectors + 6750 + 4500 + 150 ))
mkdir -p "$t/extra/CDPLUS"
printf 'extra\n' > "$t/extra/CDPLUS/INFO.TXT"
gen -J -V "CD_EXTRA" -C "0,$next" -o "$out/extra-data.bin" "$t/extra" 2>/dev/null
{
    echo "REM SESSION 01"
    sed 's/audio.bin/extra.bin/' "$out/audio.cue"
    echo "REM LEAD-OUT 01:30:00"
    echo "REM SESSION 02"
    echo 'FILE "extra-data.bin" BINARY'
    echo "  TRACK 04 MODE1/2048"
    echo "    INDEX 01 00:00:00"
} > "$out/extra.cue"
echo "$next" > "$out/extra.next"
touch "$out/.done"
