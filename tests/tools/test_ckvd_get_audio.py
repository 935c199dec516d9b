#!/usr/bin/env python3
"""ckvd get of audio tracks: a track saved as the WAV bchunk writes from the same .cue/.bin, and as the samples
sox made for a disc of ckvd-mkdisc, padded to whole sectors; get -r over an audio disc's root and over the
audio session of a CD-Extra.

usage: test_ckvd_get_audio.py CKVD WORKDIR
"""
import os
import subprocess
import unittest

from ckvdtest import CKVD, fresh, main, ok, read, tool, write

SECTOR = 2352


def sox(out, samples, freq, *fmt):
    """A 44,100 Hz 16-bit stereo sine of `samples` frames; `fmt` picks raw output."""
    tool("sox", "-q", "-n", "-r", "44100", "-c", "2", "-b", "16", *fmt, out, "synth", f"{samples}s", "sine",
         str(freq), "vol", "0.3")


def wav_data(path):
    """The samples of a WAV file: what its "data" chunk holds."""
    b = read(path)
    at = b.index(b"data")
    return b[at + 8:at + 8 + int.from_bytes(b[at + 4:at + 8], "little")]


class AudioTracks(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = fresh("audio")
        # A .cue/.bin of two tracks from raw samples, the second one not a whole number of sectors long.
        raws = []
        for n, (samples, freq) in enumerate(((588 * 75, 440), (588 * 40 + 100, 660))):
            raw = os.path.join(cls.dir, f"t{n}.raw")
            sox(raw, samples, freq, "-e", "signed", "-t", "raw")
            data = read(raw)
            raws.append(data + bytes(-len(data) % SECTOR))
        write(os.path.join(cls.dir, "cd.bin"), b"".join(raws))
        cls.cue = os.path.join(cls.dir, "cd.cue")
        write(cls.cue, 'FILE "cd.bin" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n'
                       '  TRACK 02 AUDIO\n    INDEX 01 00:01:00\n')
        subprocess.run(["bchunk", "-w", "cd.bin", "cd.cue", "bchunk"], cwd=cls.dir, check=True,
                       capture_output=True)

    def test_get_and_get_r_write_what_bchunk_writes(self):
        out = fresh("audio", "get")
        ok("get", self.cue, "/Track02.cda", os.path.join(out, "two.wav"))
        self.assertEqual(read(os.path.join(out, "two.wav")), read(os.path.join(self.dir, "bchunk02.wav")))
        # Without DEST, into the current folder under the track's name with .wav; -r names every track so.
        subprocess.run([CKVD, "get", self.cue, "/Track01.cda"], cwd=out, check=True)
        ok("get", "-r", self.cue, "/", os.path.join(out, "all"))
        for n in (1, 2):
            expected = read(os.path.join(self.dir, f"bchunk{n:02d}.wav"))
            self.assertEqual(read(os.path.join(out, "all", f"Track{n:02d}.wav")), expected)
        self.assertEqual(read(os.path.join(out, "Track01.wav")), read(os.path.join(self.dir, "bchunk01.wav")))

    def test_mkdisc_track_is_the_source_samples_padded_to_sectors(self):
        wavs = []
        for n, samples in enumerate((44100, 44100 + 300)):
            wavs.append(os.path.join(self.dir, f"s{n}.wav"))
            sox(wavs[-1], samples, 330 * (n + 1))
        disc = os.path.join(self.dir, "mk.cue")
        tool(os.environ["CKVD_MKDISC"], "audio", disc, *wavs)
        out = os.path.join(fresh("audio", "mk"), "t.wav")
        ok("get", disc, "/Track02.cda", out)
        source = wav_data(wavs[1])
        self.assertEqual(wav_data(out), source + bytes(-len(source) % SECTOR))
        info = [tool("soxi", opt, out).strip() for opt in ("-r", "-c", "-b", "-s")]
        self.assertEqual(info, ["44100", "2", "16", str((len(source) + 2351) // SECTOR * SECTOR // 4)])

    def test_cd_extra_tracks_end_at_the_audio_sessions_lead_out(self):
        # The image fixtures' CD-Extra holds audio.cue's tracks, then a data session: the lead-out, lead-in and
        # pregap before it are no part of the last track.
        fx = os.environ["CKVD_IMAGE_FIXTURES"]
        out = fresh("audio", "extra")
        subprocess.run(["bchunk", "-w", os.path.join(fx, "audio.bin"), os.path.join(fx, "audio.cue"), "b"],
                       cwd=out, check=True, capture_output=True)
        ok("get", "-r", os.path.join(fx, "extra.cue"), "/", os.path.join(out, "all"))
        for n in (1, 2, 3):
            self.assertEqual(read(os.path.join(out, "all", f"Track{n:02d}.wav")),
                             read(os.path.join(out, f"b{n:02d}.wav")))


if __name__ == "__main__":
    main()
