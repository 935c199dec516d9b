#!/usr/bin/env python3
"""ckvd get of the image fixtures' audio tracks (sox tones on a disc by ckvd-mkdisc): the WAV bchunk writes from the
same .cue/.bin (get, get into ., get -r over the disc and over a CD-Extra's audio session); sox's samples padded to
whole sectors, as soxi reads them.

usage: test_ckvd_get_audio.py CKVD WORKDIR
"""
import os
import subprocess
import unittest

from ckvdtest import CKVD, fresh, main, ok, read, tool, wav_samples

SECTOR = 2352


class AudioTracks(unittest.TestCase):
    def test_tracks_are_what_bchunk_writes_and_the_source_samples(self):
        fx, out = os.environ["CKVD_IMAGE_FIXTURES"], fresh("audio")
        cue, two = os.path.join(fx, "audio.cue"), os.path.join(out, "two.wav")
        subprocess.run(["bchunk", "-w", os.path.join(fx, "audio.bin"), cue, "b"], cwd=out, check=True,
                       capture_output=True)
        ok("get", cue, "/Track02.cda", two)
        subprocess.run([CKVD, "get", cue, "/Track01.cda"], cwd=out, check=True)  # no DEST: ./Track01.wav
        pairs = [("two.wav", 2), ("Track01.wav", 1)]
        # extra.cue: these tracks, then a data session; its lead-out, lead-in and pregap are no part of track 3.
        for sheet in ("audio", "extra"):
            ok("get", "-r", "--session", "1", os.path.join(fx, sheet + ".cue"), "/", os.path.join(out, sheet))
            pairs += [(f"{sheet}/Track{n:02d}.wav", n) for n in (1, 2, 3)]
        for ours, n in pairs:
            self.assertEqual(read(os.path.join(out, ours)), read(os.path.join(out, f"b{n:02d}.wav")), ours)
        source = wav_samples(os.path.join(fx, "t2.wav"))
        self.assertEqual(wav_samples(two), source + bytes(-len(source) % SECTOR))
        info = [tool("soxi", opt, two).strip() for opt in ("-r", "-c", "-b", "-s")]
        self.assertEqual(info, ["44100", "2", "16", str((len(source) + SECTOR - 1) // SECTOR * SECTOR // 4)])


if __name__ == "__main__":
    main()
