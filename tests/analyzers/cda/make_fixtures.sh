#!/bin/bash
# The CDA analyzer's fixtures: OUTDIR/one.cue (3 tracks) and two.cue (2), audio CD images by ckvd-mkdisc from
# sox tones whose lengths are no whole number of sectors. usage: make_fixtures.sh OUTDIR PATH/TO/ckvd-mkdisc
mkdisc=$2
. "$(dirname "$0")/../fixture_lib.sh" "$1" sox cd-info
for t in a1:2.3:440 a2:4.31:550 a3:6.2:660 b1:4:330 b2:1.7:220; do
    IFS=: read -r name seconds hz <<<"$t"
    sox -q -n -r 44100 -c 2 -b 16 "$work/$name.wav" synth "$seconds" sine "$hz" vol 0.3
done
"$mkdisc" audio "$out/one.cue" "$work/a1.wav" "$work/a2.wav" "$work/a3.wav"
"$mkdisc" audio "$out/two.cue" "$work/b1.wav" "$work/b2.wav"
