#!/usr/bin/env python3
"""Every track of every disc: a mixed-mode disc (genisoimage's data track 1, sox's audio after it) as a cue sheet
and as a cdrdao sheet, its TOC against `cdrdao show-toc`, its audio tracks in "Audio Tracks" saved as the source
samples; sheets starting at track 04; a CD-Extra's data session; what the Player Check makes of audio beside data.

usage: test_ckvd_tracks.py CKVD WORKDIR
"""
import json
import os
import re
import unittest

from ckvdtest import WORK, fresh, main, mixed_cue, ok, read, run, tool, wav_samples, write

SECTOR = 2352


def show_toc(sheet):
    """cdrdao show-toc: (track, mode, start, end) of each track."""
    text = tool("sh", "-c", f"cd '{os.path.dirname(sheet)}' && cdrdao show-toc '{os.path.basename(sheet)}' 2>&1")
    return [(int(n), mode, int(start), int(end)) for n, mode, start, end in
            re.findall(r"TRACK\s+(\d+)\s+Mode (\w+):.*?START\s+\S+\(\s*(\d+)\).*?END\*?\s+\S+\(\s*(\d+)\)", text, re.S)]


class MixedMode(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        d = cls.d = fresh("mixed")
        write(f"{d}/data/DOCS/README.TXT", "hello\n")
        tool("genisoimage", "-quiet", "-J", "-V", "MIXED", "-o", f"{d}/data.iso", f"{d}/data")
        mixed_cue(d)
        write(f"{d}/mixed.toc", 'CD_ROM\nTRACK MODE1\nDATAFILE "data.iso"\nTRACK AUDIO\nPREGAP 0:2:0\n'
              'FILE "t2.wav" 0\nTRACK AUDIO\nFILE "t3.wav" 0\n')

    def test_toc_and_entries_are_cdrdaos_tracks(self):
        peer = show_toc(f"{self.d}/mixed.toc")
        self.assertEqual([p[1] for p in peer], ["MODE1", "AUDIO", "AUDIO"])
        for sheet in ("mixed.toc", "mixed.cue"):
            with self.subTest(sheet):
                (session,) = json.loads(ok("toc", "--json", f"{self.d}/{sheet}"))["sessions"]
                self.assertEqual([(t["track"], t["track_type"], t["type"], t["address"], t["size"]) for t in session["tracks"]],
                                 [(n, "data" if mode == "MODE1" else "audio", "CD-ROM" if mode == "MODE1" else "Audio", start,
                                   0 if mode == "MODE1" else end - start) for n, mode, start, end in peer])
                self.assertRegex(ok("toc", f"{self.d}/{sheet}"), rf"\n1 2 Audio {peer[1][2]} {peer[1][3] - peer[1][2]} 16\n")
                (ls,) = json.loads(ok("ls", "--json", f"{self.d}/{sheet}"))["sessions"]
                entries = {e["path"]: (e["type"], e["lbn"], e["size"]) for e in ls["entries"]}
                self.assertEqual({p: v for p, v in entries.items() if p.startswith("/Audio Tracks/")},
                                 {f"/Audio Tracks/Track0{n}.cda": ("F", start, end - start) for n, _, start, end in peer[1:]})
                self.assertEqual(entries["/DOCS/README.TXT"][0], "F")
        self.assertRegex(ok("info", f"{self.d}/mixed.cue", "/Audio Tracks/Track03.cda"),
                         rf"Number of Track: 03\n(.*\n)*Track Start Address: {peer[2][2]}\n")

    def test_audio_tracks_save_as_their_wav_samples(self):
        out = fresh("mixed-out")
        ok("get", f"{self.d}/mixed.cue", "/Audio Tracks/Track02.cda", f"{out}/two.wav")
        ok("get", "-r", f"{self.d}/mixed.toc", "/", f"{out}/all")
        source = {n: wav_samples(f"{self.d}/t{n}.wav") for n in (2, 3)}
        self.assertEqual(wav_samples(f"{out}/two.wav"), source[2] + bytes(-len(source[2]) % SECTOR))
        for n in (2, 3):
            self.assertEqual(wav_samples(f"{out}/all/Audio Tracks/Track0{n}.wav"), source[n] + bytes(-len(source[n]) % SECTOR))
        self.assertEqual(read(f"{out}/all/DOCS/README.TXT"), b"hello\n")

    def test_cd_text_of_the_audio_after_data(self):
        sheet = read(f"{self.d}/mixed.cue").decode().replace(
            "  TRACK 03 AUDIO\n", '  TRACK 03 AUDIO\n    TITLE "夜明けのドライブ"\n    ISRC GBAYE0000351\n')
        write(f"{self.d}/text.cue", ('TITLE "Game Music"\n' + sheet).encode())
        (s,) = json.loads(ok("ls", "--json", f"{self.d}/text.cue"))["sessions"]
        three = [e for e in s["entries"] if e["path"] == "/Audio Tracks/Track03.cda"][0]
        # A title beyond Latin-1 reaches the model whole: the image drive writes the block in MS-JIS.
        self.assertEqual((three.get("title"), three.get("isrc")), ("夜明けのドライブ", "GBAYE0000351"))
        self.assertEqual(json.loads(ok("ls", "--json", f"{self.d}/text.cue"))["cd_text"]["title"], "Game Music")

    def test_report_names_each_tracks_kind_where_they_differ(self):
        csv = f"{WORK}/mixed.csv"
        ok("report", f"{self.d}/mixed.cue", "-o", csv)
        toc = read(csv).decode("ascii").split("\r\n")
        rows = [line.split(",")[3:6] for line in toc if line.startswith("CD-ROM,")]
        self.assertEqual(rows, [["1", "Data", "1"], ["1", "Audio", "2"], ["1", "Audio", "3"]])

    def test_player_check_by_audio_beside_data(self):
        sheet, profiles = f"{self.d}/mixed.cue", fresh("profiles")
        r = run("check", "--json", "--order", sheet)
        c = json.loads(r.stdout)
        self.assertEqual(r.returncode, 0, r.stderr)
        notes = [(f["rule"], f["path"]) for f in c["findings"] if f["rule"] == "audio_beside_data"]
        self.assertEqual(notes, [("audio_beside_data", ""), ("audio_beside_data", "/Audio Tracks/Track02.cda"),
                                 ("audio_beside_data", "/Audio Tracks/Track03.cda")])
        self.assertEqual(c["order"], [])  # README.TXT is no track; the audio is passed over
        expected = {"plays-both": (0, [(0, 2), (0, 3)]), "plays-audio": (1, [(0, 2), (0, 3)]), "plays-data": (0, [])}
        for value, (status, order) in expected.items():
            with self.subTest(value):
                write(f"{profiles}/{value}.ini", f"audio_beside_data = {value}\n")
                r = run("check", "--json", "--order", "--profile", f"{profiles}/{value}.ini", sheet)
                self.assertEqual(r.returncode, status, r.stderr)
                self.assertEqual([(t["folder"], t["track"]) for t in json.loads(r.stdout)["order"]], order)
        write(f"{profiles}/bad.ini", "audio_beside_data = sometimes\n")
        r = run("check", "--profile", f"{profiles}/bad.ini", sheet)
        self.assertEqual(r.returncode, 2)
        self.assertIn("audio_beside_data", r.stderr)


class OtherLayouts(unittest.TestCase):
    def test_sheet_from_track_04_and_cd_extra_data_session(self):
        fx = os.environ["CKVD_IMAGE_FIXTURES"]
        (late,) = json.loads(ok("ls", "--json", f"{fx}/late.cue"))["sessions"]
        self.assertEqual([e["path"] for e in late["entries"]], ["/Track04.cda", "/Track05.cda"])
        out = fresh("late")
        ok("get", "-r", f"{fx}/late.cue", "/", out)
        self.assertEqual(sorted(os.listdir(out)), ["Track04.wav", "Track05.wav"])
        sessions = json.loads(ok("ls", "--json", f"{fx}/extra.cue"))["sessions"]
        self.assertEqual([s["volume"] for s in sessions], ["Audio CD", "EXTRA"])  # the data session is read too
        self.assertEqual([e["path"] for e in sessions[1]["entries"]], ["/ONE.TXT;1"])

    def test_audio_before_track_one_is_track_00(self):
        # Two seconds of sox's tone before track 1's INDEX 01 (the pregap a hidden first track hides in).
        d = fresh("htoa")
        tool("sox", "-q", "-n", "-r", "44100", "-c", "2", "-b", "16", "-e", "signed-integer", "-L", "-t", "raw",
             f"{d}/disc.bin", "synth", "6", "sine", "440")
        write(f"{d}/htoa.cue", 'FILE "disc.bin" BINARY\n  TRACK 01 AUDIO\n    INDEX 00 00:00:00\n    INDEX 01 00:02:00\n'
              '  TRACK 02 AUDIO\n    INDEX 01 00:04:00\n')
        (s,) = json.loads(ok("ls", "--json", f"{d}/htoa.cue"))["sessions"]
        self.assertEqual([(e["path"], e["lbn"], e["size"]) for e in s["entries"]],
                         [("/Track00.cda", 0, 150), ("/Track01.cda", 150, 150), ("/Track02.cda", 300, 150)])
        ok("get", f"{d}/htoa.cue", "/Track00.cda", f"{d}/hidden.wav")
        self.assertEqual(wav_samples(f"{d}/hidden.wav"), read(f"{d}/disc.bin")[:150 * SECTOR])
        self.assertRegex(ok("info", f"{d}/htoa.cue", "/Track00.cda"), r"Number of Track: 00\n(.*\n)*Track Size: 150\n")
        # ckvd dump copies the hidden audio as track 1's INDEX 00: the image is sox's samples, read as the sheet.
        ok("dump", f"{d}/htoa.cue", f"{d}/dump.cue")
        self.assertEqual(read(f"{d}/dump.bin"), read(f"{d}/disc.bin"))
        self.assertEqual(ok("ls", f"{d}/dump.cue"), ok("ls", f"{d}/htoa.cue"))

    def test_cd_text_of_a_sheet_tags_a_flac_rip(self):
        d = fresh("text")
        tool("sox", "-q", "-n", "-r", "44100", "-c", "2", "-b", "16", "-e", "signed-integer", "-L", "-t", "raw",
             f"{d}/disc.bin", "synth", "4", "sine", "440")
        write(f"{d}/text.cue", 'TITLE "Road Mix"\nPERFORMER "Various"\nFILE "disc.bin" BINARY\n  TRACK 01 AUDIO\n'
              '    TITLE "Opening"\n    PERFORMER "The Band"\n    ISRC GBAYE0000351\n    INDEX 01 00:00:00\n'
              '  TRACK 02 AUDIO\n    INDEX 01 00:02:00\n')
        ok("get", f"{d}/text.cue", "/Track01.cda", f"{d}/one.flac")
        ok("get", f"{d}/text.cue", "/Track02.cda", f"{d}/two.flac")
        tags = lambda name: sorted(tool("metaflac", "--export-tags-to=-", f"{d}/{name}").splitlines())
        self.assertEqual(tags("one.flac"), ["ALBUM=Road Mix", "ARTIST=The Band", "ISRC=GBAYE0000351", "TITLE=Opening",
                                            "TRACKNUMBER=1"])
        self.assertEqual(tags("two.flac"), ["ALBUM=Road Mix", "ARTIST=Various", "TRACKNUMBER=2"])


if __name__ == "__main__":
    main()
