#!/bin/bash
# The WAV analyzer's fixtures: sox's and ffmpeg's WAVE files in the forms each writes (LIST and fact chunks before
# the data, sizes left unknown on a pipe) and one with a LIST chunk before "fmt " made by hand, kept in
# OUTDIR/disc for the peer tools and written onto OUTDIR/wav.iso by genisoimage -J. usage: make_fixtures.sh OUTDIR
. "$(dirname "$0")/../fixture_lib.sh" "$1" sox soxi ffmpeg ffprobe mediainfo genisoimage od
rm -rf "$out/disc" "$out/wav.iso"
mkdir -p "$out/disc"
d=$out/disc
# expect FILE OFFSET HEX...: the bytes a tool wrote where a fixture needs them.
expect() {
    while (($#)); do
        local got
        got=$(od -An -tx1 -j "$2" -N $((${#3} / 2)) "$d/$1" | tr -d ' \n')
        [ "$got" = "$3" ] || { echo "make_fixtures.sh: $1 has $got at $2, not $3" >&2; exit 1; }
        shift 3
    done
}

# sox: plain PCM for 8 and 16 bits, WAVE_FORMAT_EXTENSIBLE (tag FE FF) for more bits or channels; float,
# A-law and u-law with a fact chunk; IMA and MS ADPCM with extra format bytes. 2.5 s, so that the chunk
# bytes the length counts as audio cannot reach the next second; one file of 75 s.
while read -r seconds name args; do
    sox -q -n $args "$d/$name.wav" synth "$seconds" sine 440
done <<'ROWS'
75 u8_8k_mono -r 8000 -c 1 -b 8 -e unsigned
2.5 s16_44k_stereo -r 44100 -c 2 -b 16
2.5 s24_96k_stereo_ext -r 96000 -c 2 -b 24
2.5 s32_48k_mono_ext -r 48000 -c 1 -b 32
2.5 s16_22k_quad_ext -r 22050 -c 4 -b 16
2.5 f32_32k_mono -r 32000 -c 1 -b 32 -e floating-point
2.5 alaw_8k -r 8000 -c 1 -e a-law
2.5 ulaw_8k_stereo -r 8000 -c 2 -e u-law
2.5 ima_11k -r 11025 -c 1 -e ima-adpcm
2.5 msadpcm_44k -r 44100 -c 2 -e ms-adpcm
ROWS

# ffmpeg: its LIST INFO chunk (title, artist and its own name) right after "fmt "; extensible 24-bit and
# float without the encoder's LIST. Just under 2 s at 8000 bytes/s: the LIST, fact and data chunk headers
# would make a second more of it.
ffsine 2.5 440 -ac 1 -ar 16000 -c:a pcm_s16le -metadata title="A Title" -metadata artist="Someone" \
    "$d/ff_s16_list.wav"
ffsine 2.5 440 -ac 2 -ar 96000 -c:a pcm_s24le -fflags +bitexact "$d/ff_s24_96k_ext.wav"
ffsine 2.5 440 -ac 1 -ar 48000 -c:a pcm_f32le -fflags +bitexact "$d/ff_f32_48k_ext.wav"
ffsine 1.995 440 -ac 1 -ar 8000 -c:a pcm_u8 -metadata title=T "$d/ff_u8_list.wav"
ffsine 1.995 440 -ac 1 -ar 8000 -c:a pcm_alaw "$d/ff_alaw_fact.wav"
# Written to a pipe, so the sizes cannot be filled in afterwards: ffmpeg leaves 0xFFFFFFFF, sox 0x7FFFF000.
ffsine 1.5 440 -ac 1 -ar 16000 -c:a pcm_s16le -f wav - | cat >"$d/ff_piped.wav"
sox -q -n -r 16000 -c 1 -b 16 -t wav - synth 1.5 sine 440 2>/dev/null | cat >"$d/sox_piped.wav"

# Neither tool writes a chunk before "fmt ": put a LIST INFO chunk of 26 bytes there by hand.
riff=$(($(od -An -tu4 -j 4 -N 4 --endian=little "$d/s16_44k_stereo.wav") + 26))
{
    printf "RIFF$(printf '\\x%02x' $((riff & 255)) $((riff >> 8 & 255)) $((riff >> 16 & 255)) $((riff >> 24)))"
    printf 'WAVELIST\x12\0\0\0INFOISFT\x06\0\0\0tests\0'
    tail -c +13 "$d/s16_44k_stereo.wav"
} >"$d/list_first.wav"
# "LIST", "fact", "fmt " where the fixtures need them, FE FF for extensible.
expect s24_96k_stereo_ext.wav 20 feff s16_22k_quad_ext.wav 20 feff ff_s24_96k_ext.wav 20 feff \
    ff_s16_list.wav 36 4c495354 ff_u8_list.wav 36 4c495354 ff_alaw_fact.wav 38 66616374 \
    ff_piped.wav 4 ffffffff sox_piped.wav 40 00f0ff7f list_first.wav 38 666d7420

genisoimage -quiet -J -V "WAV_TESTS" -o "$out/wav.iso" "$d"
