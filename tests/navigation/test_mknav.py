#!/usr/bin/env python3
"""ckvd-mknav over media made by sox, lame and ffmpeg, mastered by genisoimage: LSN.LMX against xorriso, the
technical data against ffprobe, repeatable output, a changed tree refused. usage: test_mknav.py CKVD WORKDIR MKNAV
"""
import os
import re
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
from ckvdtest import WORK, fresh, main, ok, read, tool  # noqa: E402

MKNAV = sys.argv[3]
FFMPEG = ("ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i")
NAME = "Dvořák – 한국어 Test Disc"  # characters without Shift-JIS codes


def u(b, at, n=4):
    return int.from_bytes(b[at:at + n], "little")


class Mknav(unittest.TestCase):
    def test_files_against_xorriso_and_ffprobe(self):
        t, work = fresh("mknav", "tree"), os.path.join(WORK, "mknav")
        for d in ("MENU", "追加/写真", "追加/動画"):
            os.makedirs(os.path.join(t, d))
        tool("sox", "-q", "-n", "-r", "22050", "-c", "1", "-b", "16", f"{t}/a.wav", "synth", "0.5", "sine", "440",
             "vol", "0.3")
        tool("lame", "--quiet", "-b", "96", f"{t}/a.wav", f"{t}/追加/夜.mp3")
        for source, out in (("color=c=blue:s=160x120", "追加/写真/空.jpg"), ("color=c=red:s=64x48", "追加/写真/海.png"),
                            ("color=c=black:s=320x240", "MENU/BACK.JPG")):
            tool(*FFMPEG, source, "-frames:v", "1", f"{t}/{out}")
        tool(*FFMPEG, "testsrc=size=64x48:rate=10", "-t", "1", "-c:v", "mpeg4", f"{t}/追加/動画/clip.avi")
        with open(f"{t}/README.TXT", "w") as f:
            f.write("not media\n")

        tool(MKNAV, "--name", NAME, t)
        first = {n: read(f"{t}/{n}") for n in os.listdir(t) if n.endswith(".LMX")}
        tool(MKNAV, "--name", NAME, t)
        self.assertEqual({n: read(f"{t}/{n}") for n in first}, first)

        def master(image):
            tool("genisoimage", "-quiet", "-input-charset", "utf-8", "-J", "-r", "-o", image, t)
            out = tool("xorriso", "-indev", image, "-find", "/", "-type", "f", "-exec", "report_lba", "--")
            return {m[3]: (int(m[1]), int(m[2])) for m in
                    re.finditer(r"File data lba:\s*\d+\s*,\s*(\d+)\s*,\s*\d+\s*,\s*(\d+)\s*,\s*'(.*)'", out)}
        pass1 = master(f"{work}/pass1.iso")
        tool(MKNAV, "--lsn", f"{work}/pass1.iso", t)
        peer = master(f"{work}/pass2.iso")
        self.assertEqual(peer, pass1)

        # CIDs: playlists of the directories with media in walk order (the root, 追加, 追加/写真, 追加/動画),
        # then audio, menu images, images, videos, each in walk order.
        cids = ["/PLAY0001.LMX", "/PLAY0002.LMX", "/PLAY0003.LMX", "/PLAY0004.LMX", "/a.wav", "/追加/夜.mp3",
                "/MENU/BACK.JPG", "/追加/写真/海.png", "/追加/写真/空.jpg", "/追加/動画/clip.avi"]
        lsn = read(f"{t}/LSN.LMX")
        self.assertEqual((u(lsn, 0x16), u(lsn, 0x12)), (len(cids), len(lsn)))
        self.assertEqual([(u(lsn, 0x1A + 8 * n), u(lsn, 0x1E + 8 * n)) for n in range(len(cids))],
                         [peer[p] for p in cids])
        contents = read(f"{t}/CONTENTS.LMX")
        # counts of playlists, audio, menu images, images, videos
        self.assertEqual([u(contents, at) for at in (0x1E, 0x28, 0x32, 0x3C, 0x46)], [4, 2, 1, 2, 1])

        # Each playlist's first group: type and the file IDs of its audio/video part or its image part.
        def first_group(name):
            p, part = read(f"{t}/{name}"), 0x1A + 0x0E
            step, at = (10, 8) if p[0x1A + 0x0C] == 2 else (28, 4)
            return p[0x1A + 0x0C], [u(p, part + at + step * i) for i in range(p[part])]
        self.assertEqual([first_group(f"PLAY000{n}.LMX") for n in range(1, 5)],
                         [(0, [5]), (0, [6]), (2, [8, 9]), (1, [10])])

        # Technical data against ffprobe: audio rate and channels, image width and height.
        def probe(entries, name):
            out = tool("ffprobe", "-v", "error", "-select_streams", "0", "-show_entries", f"stream={entries}", "-of",
                       "csv=p=0", f"{t}/{name}")
            return out.splitlines()[0].rstrip(",")
        audio, image = u(contents, 0x2E), u(contents, 0x42)
        self.assertEqual([f"{u(contents, audio + 32 * i + 0x16)},{contents[audio + 32 * i + 8]}" for i in range(2)],
                         [probe("sample_rate,channels", n) for n in ("a.wav", "追加/夜.mp3")])
        self.assertEqual([f"{u(contents, e + 0x0E, 2)},{u(contents, e + 0x0C, 2)}" for e in (image, image + 16)],
                         [probe("width,height", n) for n in ("追加/写真/海.png", "追加/写真/空.jpg")])

        self.assertIn(f"\nDisc Name: {NAME}\n", ok("nav", f"{work}/pass2.iso", "/TEXT.LMX"))

        # A file added after the first run: --lsn refuses, and LSN.LMX keeps the sectors it had.
        shutil.copy(f"{t}/a.wav", f"{t}/追加/b.wav")
        r = subprocess.run([MKNAV, "--lsn", f"{work}/pass2.iso", t], capture_output=True, text=True)
        self.assertNotEqual(r.returncode, 0)
        self.assertIn("CONTENTS.LMX does not describe", r.stderr)
        self.assertEqual(read(f"{t}/LSN.LMX"), lsn)
        self.assertEqual([n for n in os.listdir(t) if "tmp" in n], [])  # no temporary file left behind


if __name__ == "__main__":
    main()
