#!/bin/bash
# Makes the CDA analyzer's fixtures: two audio CD images from sox tones of different lengths (none a whole
# number of sectors), written by ckvd-mkdisc as OUTDIR/one.cue (3 tracks) and OUTDIR/two.cue (2 tracks).
# usage: make_fixtures.sh OUTDIR PATH/TO/ckvd-mkdisc
mkdisc=$2
. "$(dirname "$0")/../fixture_lib.sh" "$1" sox cd-info
tone() { sox -q -n -r 44100 -c 2 -b 16 "$work/$1.wav" synth "$2" sine "$3" vol 0.3; }
tone a1 2.3 440
tone a2 4.31 550
tone a3 6.2 660
tone b1 4 330
tone b2 1.7 220
"$mkdisc" audio "$out/one.cue" "$work/a1.wav" "$work/a2.wav" "$work/a3.wav"
"$mkdisc" audio "$out/two.cue" "$work/b1.wav" "$work/b2.wav"
