#!/bin/bash
# The disc report's fixtures: report.cue, a two-session Joliet disc of MP3, WMA and WAV files with and without tags
# under nested, Japanese and quoted names (its session images, msinfo and the tagged files/ beside it for the
# peers), and audio.cue, an audio CD of three sox tones. usage: make_fixtures.sh OUTDIR PATH/TO/ckvd-mkdisc
mkdisc=$2
. "$(dirname "$0")/../analyzers/fixture_lib.sh" "$1" genisoimage isoinfo lame id3v2 ffmpeg sox mediainfo cd-info
rm -rf "$out"
mkdir -p "$out/files"

sox -q -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 2 sine 440 vol 0.3
s1=$work/s1
album="$s1/音楽/アルバム 一"
mkdir -p "$album/ディスク 2" "$s1/WMA" "$s1/DOCS/NOTES"
# ID3v1.1 and ID3v2.3 with different texts: the report takes the ID3v2 ones.
lame --quiet -b 128 -m j "$work/tone.wav" "$album/01 両方.mp3"
id3v2 -1 -t "V1 Title" -a "V1 Artist" -A "V1 Album" -T 1 "$album/01 両方.mp3"
id3v2 -2 -t "Title, with comma" -a "V2 Artist" -A "V2 Album" "$album/01 両方.mp3"
# ID3v2 without an album; MPEG-2 stereo.
lame --quiet -b 64 -m s --resample 22.05 "$work/tone.wav" "$album/02 no album.mp3"
id3v2 -2 -t "Only Title" -a "Somebody" "$album/02 no album.mp3"
# No tag at all, only frames: mono with CRC.
lame --quiet -b 64 -m m -p --resample 44.1 "$work/tone.wav" "$album/ディスク 2/03 素.mp3"
# MPEG-1 Layer 2 from ffmpeg under an MP3 name, with an ID3v1 tag only.
ff -i "$work/tone.wav" -c:a mp2 -b:a 192k -f mp2 "$album/04 layer2.mp3"
id3v2 -1 -t "Layer Two" -a "V1 Only" -A "Old Tag" "$album/04 layer2.mp3"
ff -i "$work/tone.wav" -c:a wmav2 -b:a 64k -map_metadata -1 -fflags +bitexact "$s1/WMA/untagged.wma"
ff -i "$work/tone.wav" -c:a wmav2 -b:a 64k -metadata title="夕方" -metadata artist="Artist \"Quoted\"" \
    -metadata album="Album, One" "$s1/WMA/tagged.wma"
sox -q -n -r 44100 -c 2 -b 16 "$s1/音楽/波.wav" synth 1 sine 330 vol 0.2
printf 'comma\r\n' >"$s1/DOCS/a, \"b\".txt"
printf 'notes\n' >"$s1/DOCS/NOTES/メモ.txt"
genisoimage -quiet -input-charset utf-8 -J -r -V "REPORT_S1" -o "$out/s1.iso" "$s1"
"$mkdisc" create "$out/report.cue" "$out/s1.iso"

s2=$work/s2
mkdir -p "$s2/追加"
lame --quiet -b 96 -m d "$work/tone.wav" "$s2/追加/夜.mp3"
id3v2 -2 -t "Yoru" -a "Second" -A "Session Two" "$s2/追加/夜.mp3"
# MPEG-2.5 (8 kHz mono), whose version the report names apart from MPEG-2.
lame --quiet -b 16 -m m --resample 8 "$work/tone.wav" "$s2/追加/低.mp3"
id3v2 -2 -t "Hikui" -a "Second" -A "Session Two" "$s2/追加/低.mp3"
printf 'session 2\n' >"$s2/追加/S2.TXT"
"$mkdisc" msinfo "$out/report.cue" >"$out/msinfo"
genisoimage -quiet -input-charset utf-8 -J -r -V "REPORT_S2" -C "$(cat "$out/msinfo")" -M "$out/s1.iso" \
    -o "$out/s2.iso" "$s2"
"$mkdisc" append "$out/report.cue" "$out/s2.iso"
cp "$album"/*.mp3 "$album/ディスク 2/03 素.mp3" "$s1"/WMA/*.wma "$s2/追加/夜.mp3" "$s2/追加/低.mp3" "$out/files/"

for n in 1 2 3; do sox -q -n -r 44100 -c 2 -b 16 "$work/t$n.wav" synth "$n.3" sine "$((200 * n))" vol 0.3; done
"$mkdisc" audio "$out/audio.cue" "$work"/t1.wav "$work"/t2.wav "$work"/t3.wav
