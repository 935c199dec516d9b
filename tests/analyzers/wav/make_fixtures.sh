#!/bin/bash
# Makes the WAV analyzer's fixtures: WAVE files from sox and ffmpeg in the forms each tool writes (LIST and
# fact chunks before the data, sizes left unknown when written to a pipe), and one with a LIST chunk before
# "fmt " built from a sox file, kept in OUTDIR for the peer tools and written onto
# OUTDIR/wav.iso with genisoimage -J.
# usage: make_fixtures.sh OUTDIR
. "$(dirname "$0")/../fixture_lib.sh" "$1" sox soxi ffmpeg ffprobe mediainfo genisoimage od
rm -rf "$out/disc" "$out/wav.iso"
mkdir -p "$out/disc"
d=$out/disc

tone() { sox -q -n "${@:2}" synth "$1" sine 440; }
ff() { ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "sine=frequency=440:duration=$1" "${@:2}"; }
# The bytes at OFFSET of FILE in hex, to make sure a tool wrote the layout a fixture is for.
expect() {
    local got
    got=$(od -An -tx1 -j "$2" -N $((${#3} / 2)) "$1" | tr -d ' \n')
    [ "$got" = "$3" ] || { echo "make_fixtures.sh: $1 has $got at $2, not $3" >&2; exit 1; }
}
le32() { printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24)))"; }

# sox: plain PCM for 8 and 16 bits, WAVE_FORMAT_EXTENSIBLE (tag FE FF) for more bits or channels; float,
# A-law and u-law with a fact chunk; IMA and MS ADPCM with extra format bytes. 2.5 s, so that the chunk
# bytes the length counts as audio cannot reach the next second; one file of 75 s.
tone 75 -r 8000 -c 1 -b 8 -e unsigned "$d/u8_8k_mono.wav"
tone 2.5 -r 44100 -c 2 -b 16 "$d/s16_44k_stereo.wav"
tone 2.5 -r 96000 -c 2 -b 24 "$d/s24_96k_stereo_ext.wav"
tone 2.5 -r 48000 -c 1 -b 32 "$d/s32_48k_mono_ext.wav"
tone 2.5 -r 22050 -c 4 -b 16 "$d/s16_22k_quad_ext.wav"
tone 2.5 -r 32000 -c 1 -b 32 -e floating-point "$d/f32_32k_mono.wav"
tone 2.5 -r 8000 -c 1 -e a-law "$d/alaw_8k.wav"
tone 2.5 -r 8000 -c 2 -e u-law "$d/ulaw_8k_stereo.wav"
tone 2.5 -r 11025 -c 1 -e ima-adpcm "$d/ima_11k.wav"
tone 2.5 -r 44100 -c 2 -e ms-adpcm "$d/msadpcm_44k.wav"
expect "$d/s24_96k_stereo_ext.wav" 20 feff
expect "$d/s16_22k_quad_ext.wav" 20 feff

# ffmpeg: its LIST INFO chunk (title, artist and its own name) right after "fmt "; extensible 24-bit and
# float without the encoder's LIST.
ff 2.5 -ac 1 -ar 16000 -c:a pcm_s16le -metadata title="A Title" -metadata artist="Someone" "$d/ff_s16_list.wav"
ff 2.5 -ac 2 -ar 96000 -c:a pcm_s24le -fflags +bitexact "$d/ff_s24_96k_ext.wav"
ff 2.5 -ac 1 -ar 48000 -c:a pcm_f32le -fflags +bitexact "$d/ff_f32_48k_ext.wav"
expect "$d/ff_s16_list.wav" 36 4c495354 # "LIST"
expect "$d/ff_s24_96k_ext.wav" 20 feff

# Just under 2 s at 8000 bytes/s: the LIST, fact and data chunk headers would make a second more of it.
ff 1.995 -ac 1 -ar 8000 -c:a pcm_u8 -metadata title=T "$d/ff_u8_list.wav"
ff 1.995 -ac 1 -ar 8000 -c:a pcm_alaw "$d/ff_alaw_fact.wav"
expect "$d/ff_u8_list.wav" 36 4c495354         # "LIST"
expect "$d/ff_alaw_fact.wav" 38 66616374       # "fact"
# Written to a pipe, so the sizes cannot be filled in afterwards: ffmpeg leaves 0xFFFFFFFF, sox 0x7FFFF000.
ff 1.5 -ac 1 -ar 16000 -c:a pcm_s16le -f wav - | cat >"$d/ff_piped.wav"
sox -q -n -r 16000 -c 1 -b 16 -t wav - synth 1.5 sine 440 2>/dev/null | cat >"$d/sox_piped.wav"
expect "$d/ff_piped.wav" 4 ffffffff
expect "$d/sox_piped.wav" 40 00f0ff7f

# Neither tool writes a chunk before "fmt ": put a LIST INFO chunk of 26 bytes there by hand.
riff=$(od -An -tu4 -j 4 -N 4 --endian=little "$d/s16_44k_stereo.wav" | tr -d ' ')
{
    printf 'RIFF'
    le32 $((riff + 26))
    printf 'WAVELIST\x12\0\0\0INFOISFT\x06\0\0\0tests\0'
    tail -c +13 "$d/s16_44k_stereo.wav"
} >"$d/list_first.wav"
expect "$d/list_first.wav" 38 666d7420 # "fmt "

genisoimage -quiet -J -V "WAV_TESTS" -o "$out/wav.iso" "$d"
