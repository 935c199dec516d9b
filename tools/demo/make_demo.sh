#!/bin/bash
# Generates the built-in demo discs with Debian's tools and our ckvd-mkdisc and ckvd-mknav:
#   demo-data.cue  two-session Joliet data disc (Japanese names, nested directories, MP3/WAV/WMA with tags);
#                  the second session carries Lumaset navigation files for its own media in its root
#   demo-audio.cue audio CD of four short tracks
# usage: make_demo.sh OUTDIR PATH/TO/ckvd-mkdisc PATH/TO/ckvd-mknav
set -euo pipefail
out=$1
mkdisc=$2
mknav=$3
for tool in genisoimage lame id3v2 sox ffmpeg; do
    command -v "$tool" >/dev/null || { echo "make_demo.sh: $tool is missing (apt-get install it)" >&2; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/ckvd-demo.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

# Session 1: music and documents.
s1="$work/s1"
mkdir -p "$s1/音楽/アルバム 一" "$s1/音楽/アルバム 二/ボーナス" "$s1/DOCS/NOTES/2002"
sox -q -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 2 sine 440 vol 0.3
lame --quiet -b 128 "$work/tone.wav" "$s1/音楽/アルバム 一/01 さくら.mp3"
id3v2 -a "CKVD Demo Artist" -A "Demo Album One" -t "Sakura" -T 1 -y 2002 -g 12 "$s1/音楽/アルバム 一/01 さくら.mp3"
lame --quiet -b 192 "$work/tone.wav" "$s1/音楽/アルバム 一/02 Morning.mp3"
id3v2 -1 -a "CKVD Demo Artist" -A "Demo Album One" -t "Morning" -T 2 "$s1/音楽/アルバム 一/02 Morning.mp3"
sox -q -n -r 44100 -c 2 -b 16 "$s1/音楽/アルバム 二/波の音.wav" synth 1 pinknoise vol 0.2
ffmpeg -loglevel error -y -i "$work/tone.wav" -c:a wmav2 -b:a 64k -metadata title="Evening" \
    -metadata artist="CKVD Demo Artist" "$s1/音楽/アルバム 二/ボーナス/Evening.wma"
printf 'CKVD Explorer demo disc\r\nSession 1\r\n' > "$s1/README.TXT"
printf 'notes of 2002\n' > "$s1/DOCS/NOTES/2002/メモ.txt"
genisoimage -quiet -J -r -V "CKVD_DEMO_S1" -o "$work/s1.iso" "$s1"

# Session 2: more files, merged with the first session's tree as a recorder does, and the navigation files
# of its own media in its root: playlists for 追加 (audio with a cover), 追加/写真 (images) and 追加/動画
# (a video), the image in MENU as the menus' background.
s2="$work/s2"
mkdir -p "$s2/追加/写真" "$s2/追加/動画" "$s2/MENU" "$s2/DOCS"
lame --quiet -b 96 "$work/tone.wav" "$s2/追加/夜.mp3"
id3v2 -a "CKVD Demo Artist" -t "Yoru" -A "Second Session" "$s2/追加/夜.mp3"
sox -q -n -r 22050 -c 1 -b 16 "$s2/追加/波.wav" synth 0.5 sine 330 vol 0.3
ff() { ffmpeg -nostdin -loglevel error -y "$@"; }
ff -f lavfi -i color=c=navy:s=160x120 -frames:v 1 "$s2/追加/夜.jpg"
ff -f lavfi -i color=c=skyblue:s=160x120 -frames:v 1 "$s2/追加/写真/空.jpg"
ff -f lavfi -i color=c=teal:s=120x90 -frames:v 1 "$s2/追加/写真/海.png"
ff -f lavfi -i testsrc=size=96x72:rate=10 -t 1 -c:v mpeg4 "$s2/追加/動画/テスト.avi"
ff -f lavfi -i color=c=black:s=320x240 -frames:v 1 "$s2/MENU/BACK.JPG"
printf 'Session 2\n' > "$s2/DOCS/SESSION2.TXT"
"$mknav" --name "CKVD デモ" "$s2"
# Sector numbers exist only once the session is mastered: master it on a scratch disc, take the sectors
# into LSN.LMX (its size stays), and master again, which puts every file where it was.
"$mkdisc" create "$work/pass1.cue" "$work/s1.iso"
msinfo=$("$mkdisc" msinfo "$work/pass1.cue")
genisoimage -quiet -J -r -V "CKVD_DEMO_S2" -C "$msinfo" -M "$work/s1.iso" -o "$work/s2.iso" "$s2"
"$mkdisc" append "$work/pass1.cue" "$work/s2.iso"
"$mknav" --lsn "$work/pass1.cue" "$s2"
"$mkdisc" create "$out/demo-data.cue" "$work/s1.iso"
genisoimage -quiet -J -r -V "CKVD_DEMO_S2" -C "$msinfo" -M "$work/s1.iso" -o "$work/s2.iso" "$s2"
"$mkdisc" append "$out/demo-data.cue" "$work/s2.iso"
cp "$s2/LSN.LMX" "$work/LSN.pass1"
"$mknav" --lsn "$out/demo-data.cue" "$s2"
cmp -s "$work/LSN.pass1" "$s2/LSN.LMX" || { echo "make_demo.sh: the second mastering moved files" >&2; exit 1; }

# The audio CD.
tracks=()
for n in 1 2 3 4; do
    f="$work/track$n.wav"
    sox -q -n -r 44100 -c 2 -b 16 "$f" synth "$((n + 1))" sine "$((220 * n))" vol 0.3
    tracks+=("$f")
done
"$mkdisc" audio "$out/demo-audio.cue" "${tracks[@]}"
