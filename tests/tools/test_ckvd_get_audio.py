#!/usr/bin/env python3
"""ckvd get of the image fixtures' audio tracks (sox tones on a disc by ckvd-mkdisc): the WAV bchunk writes from the
same .cue/.bin (get, get into ., get -r over the disc and over a CD-Extra's audio session); sox's samples padded to
whole sectors, as soxi reads them; FLAC files as flac -d decodes them and metaflac reads their tags; a track the
image cannot give whole is named with its unreadable sectors (cd-info's track starts) and not kept.

usage: test_ckvd_get_audio.py CKVD WORKDIR
"""
import os
import subprocess
import unittest

from ckvdtest import CKVD, cd_info_starts, fresh, main, ok, read, run, tool, wav_samples

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

    def test_flac_files_decode_to_the_wav_samples_with_their_track_number(self):
        fx, out = os.environ["CKVD_IMAGE_FIXTURES"], fresh("flac")
        cue = os.path.join(fx, "audio.cue")
        ok("get", cue, "/Track02.cda", os.path.join(out, "two.wav"))
        ok("get", cue, "/Track02.cda", os.path.join(out, "two.FLAC"))  # the extension in any case
        ok("get", "-r", "--audio", "flac", cue, "/", os.path.join(out, "all"))
        self.assertEqual(sorted(os.listdir(os.path.join(out, "all"))), [f"Track0{n}.flac" for n in (1, 2, 3)])
        decode = ["flac", "-d", "-s", "-c", "--force-raw-format", "--endian=little", "--sign=signed"]
        for name, n in (("two.FLAC", 2), ("all/Track03.flac", 3)):
            path = os.path.join(out, name)
            samples = subprocess.run(decode + [path], capture_output=True, check=True).stdout
            wav = os.path.join(out, f"w{n}.wav")
            ok("get", cue, f"/Track0{n}.cda", wav)
            self.assertEqual(samples, wav_samples(wav), name)
            sox = subprocess.run(["sox", path, "-t", "raw", "-e", "signed", "-b", "16", "-L", "-"], capture_output=True,
                                 check=True).stdout
            source = wav_samples(os.path.join(fx, f"t{n}.wav"))  # sox's tone, then zeros to the sector's end
            self.assertEqual(sox, source + bytes(-len(source) % SECTOR), name)
            self.assertEqual(tool("metaflac", "--export-tags-to=-", path), f"TRACKNUMBER={n}\n")
            self.assertEqual(tool("metaflac", "--show-total-samples", path).strip(), str(len(samples) // 4))
        # --audio takes flac or wav, and may not contradict DEST's extension.
        for args in (["--audio", "ogg", cue, "/Track02.cda"], ["--audio", "flac", cue, "/Track02.cda", "x.wav"]):
            self.assertEqual(run("get", *args).returncode, 2, args)

    def test_unreadable_sectors_are_named_with_their_track_and_nothing_is_kept(self):
        fx, out = os.environ["CKVD_IMAGE_FIXTURES"], fresh("cut")
        cue = os.path.join(fx, "audio.cue")
        starts = cd_info_starts(cue)  # tracks 1-3, then the lead-out
        bad = [(starts[2] + 40, starts[2] + 44), (starts[2] + 100, starts[2] + 100)]  # readable sectors between
        env = dict(os.environ, CKVD_IMAGE_DRIVE_UNREADABLE=",".join(f"{a}-{b}" for a, b in bad))
        what = (f"Track03.cda (track 3, sectors {starts[2]:,}-{starts[3] - 1:,}): sectors {bad[0][0]:,}-{bad[0][1]:,}, "
                f"{bad[1][0]:,} could not be read (Code ")
        for name in ("t3.flac", "t3.wav"):
            r = run("get", cue, "/Track03.cda", os.path.join(out, name), env=env)
            self.assertEqual(r.returncode, 1)
            self.assertIn(what, r.stderr)
            self.assertFalse(os.path.exists(os.path.join(out, name)))
        r = run("get", "-r", "--audio", "flac", cue, "/", os.path.join(out, "all"), env=env)
        self.assertEqual(r.returncode, 1)
        self.assertIn(what, r.stderr)
        self.assertEqual(sorted(os.listdir(os.path.join(out, "all"))), ["Track01.flac", "Track02.flac"])

if __name__ == "__main__":
    main()
