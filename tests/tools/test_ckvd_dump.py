#!/usr/bin/env python3
"""ckvd dump: a genisoimage disc into an .iso equal to it byte for byte, with the hashes md5sum, sha1sum and zlib
give; a mixed disc of genisoimage and sox into a .cue that ckvd, bchunk and cd-info read as the source; blocks the
image drive fails listed and filled on a later run; a dump killed and resumed; the refusals.

usage: test_ckvd_dump.py CKVD WORKDIR
"""
import json
import os
import random
import re
import signal
import subprocess
import time
import zlib

from ckvdtest import CKVD, CkvdCase, cd_info_starts, fresh, main, mixed_cue, ok, read, run, tool, write

SECTOR = 2352


def log_field(out, key):
    return re.findall(rf"^{key}: (.*)$", read(out + ".log").decode(), re.M)


class Dump(CkvdCase):
    @classmethod
    def setUpClass(cls):
        d = cls.d = fresh("dump")
        rnd = random.Random(7)
        write(f"{d}/data/BIG.DAT", rnd.randbytes(6_000_000))
        write(f"{d}/data/DOCS/README.TXT", "hello\n")
        tool("genisoimage", "-quiet", "-J", "-V", "DUMP", "-o", f"{d}/data.iso", f"{d}/data")
        cls.source = read(f"{d}/data.iso")
        mixed_cue(d)

    def test_iso_is_the_image_with_its_hashes(self):
        out = f"{fresh('dump-iso')}/out.iso"
        said = ok("dump", f"{self.d}/data.iso", out)
        self.assertEqual(read(out), self.source)
        self.assertIn(f"{out}: {len(self.source) // 2048} blocks", said)
        (whole,) = log_field(out, "file")
        self.assertEqual(whole, f"{out}, size={len(self.source)} crc32={zlib.crc32(self.source):08x} "
                                f"md5={tool('md5sum', out).split()[0]} sha1={tool('sha1sum', out).split()[0]}")
        self.assertEqual(read(out + ".map").decode().splitlines()[1:], [f"0-{len(self.source) // 2048 - 1} read"])
        # Run again with its map: nothing is read, the summary says so with the same hashes.
        again = json.loads(ok("dump", "--json", f"{self.d}/data.iso", out))
        self.assertEqual((again["read"], again["unreadable"], again["complete"], again["map"]), (0, 0, True, out + ".map"))
        self.assertEqual(again["files"][0]["sha1"], tool("sha1sum", out).split()[0])

    def test_mixed_disc_as_cue_reads_as_the_source(self):
        out = f"{fresh('dump-cue')}/out.cue"
        ok("dump", f"{self.d}/mixed.cue", out)
        for command in ("toc", "ls"):
            self.assertEqual(ok(command, out), ok(command, f"{self.d}/mixed.cue"))
        # cd-info places a track at its INDEX 01 in the file (no PREGAP): its audio tracks' lengths are the source's.
        starts = cd_info_starts(out)
        sizes = [t["size"] for t in json.loads(ok("toc", "--json", f"{self.d}/mixed.cue"))["sessions"][0]["tracks"][1:]]
        self.assertEqual([b - a for a, b in zip(starts, starts[1:])], sizes)
        image, blocks = read(out[:-4] + ".bin"), len(self.source) // 2048
        self.assertEqual(image[blocks * SECTOR:], read(f"{self.d}/audio.bin"))
        self.assertIn("track 01: sectors made from user data: the drive gives no raw sectors", read(out + ".log").decode())
        self.assertEqual(log_field(out, "verified"), ["0"])
        # bchunk takes the sheet: its track 1 is the source's user data, its audio tracks sox's samples.
        tool("sh", "-c", f"cd '{os.path.dirname(out)}' && bchunk out.bin out.cue bc")
        self.assertEqual(read(f"{os.path.dirname(out)}/bc01.iso"), self.source)
        self.assertEqual(read(f"{os.path.dirname(out)}/bc02.cdr"), read(f"{self.d}/audio.bin")[:len(read(f"{os.path.dirname(out)}/bc02.cdr"))])

    def test_whole_sectors_checked(self):
        d = fresh("dump-raw")
        ok("dump", f"{self.d}/mixed.cue", f"{d}/one.cue")
        ok("dump", f"{d}/one.cue", f"{d}/two.cue")  # now from whole sectors, which the drive gives
        self.assertEqual(read(f"{d}/two.bin"), read(f"{d}/one.bin"))
        self.assertEqual(log_field(f"{d}/two.cue", "verified"), [str(len(self.source) // 2048)])
        sound = read(f"{d}/one.bin")
        image = bytearray(sound)
        image[2 * SECTOR + 2064:3 * SECTOR] = bytes(288)  # block 2 as a drive that makes sectors up gives it
        # Block 10 (00:02:10) as QEMU's ATAPI drives make it up: EDC and ECC zero, its header's frame in binary.
        image[10 * SECTOR + 14], image[10 * SECTOR + 2064:11 * SECTOR] = 10, bytes(288)
        image[5 * SECTOR + 100] ^= 1  # block 5 damaged
        write(f"{d}/one.bin", bytes(image))
        self.assertFails(["dump", f"{d}/one.cue", f"{d}/three.cue"], 1, "1 sectors read fail their checks", out=None)
        self.assertEqual([log_field(f"{d}/three.cue", k) for k in ("synthesised", "corrupt")], [["2"], ["1"]])
        made = read(f"{d}/three.bin")  # made again from their user data, as the disc holds them
        self.assertEqual([made[b * SECTOR:(b + 1) * SECTOR] == sound[b * SECTOR:(b + 1) * SECTOR] for b in (2, 10)],
                         [True, True])
        self.assertEqual(log_field(f"{d}/three.cue", "corrupt block"), ["5"])
        self.assertIn("the drive gives no EDC/ECC", read(f"{d}/three.cue.log").decode())

    def test_sessions_of_a_multi_session_disc(self):
        d, mkdisc = fresh("dump-sessions"), os.environ["CKVD_MKDISC"]
        for n in (1, 2):
            write(f"{d}/d{n}/F{n}.TXT", f"{n}\n")
        tool("genisoimage", "-quiet", "-J", "-V", "ONE", "-o", f"{d}/s1.iso", f"{d}/d1")
        tool(mkdisc, "create", f"{d}/disc.cue", f"{d}/s1.iso")
        ms = tool(mkdisc, "msinfo", f"{d}/disc.cue").strip()
        tool("genisoimage", "-quiet", "-J", "-V", "TWO", "-C", ms, "-M", f"{d}/s1.iso", "-o", f"{d}/s2.iso", f"{d}/d2")
        tool(mkdisc, "append", f"{d}/disc.cue", f"{d}/s2.iso")
        ok("dump", f"{d}/disc.cue", f"{d}/out.cue")
        for command in ("toc", "ls"):
            self.assertEqual(ok(command, f"{d}/out.cue"), ok(command, f"{d}/disc.cue"))
        self.assertEqual(re.findall(r"REM SESSION (\d+)", read(f"{d}/out.cue").decode()), ["01", "02"])

    def test_unreadable_blocks_listed_then_filled(self):
        out = f"{fresh('dump-bad')}/out.iso"
        env = dict(os.environ, CKVD_IMAGE_DRIVE_UNREADABLE="100-104,700")
        r = subprocess.run([CKVD, "dump", f"{self.d}/data.iso", out], capture_output=True, text=True, env=env)
        self.assertEqual(r.returncode, 1, r.stderr)
        self.assertIn(f"dump incomplete: 6 unreadable blocks (100-104, 700), listed in {out}.map", r.stderr)
        lines = read(out + ".map").decode().splitlines()
        self.assertEqual([line for line in lines if "unreadable" in line], ["100-104 unreadable", "700-700 unreadable"])
        self.assertEqual(read(out)[100 * 2048:105 * 2048], bytes(5 * 2048))
        self.assertEqual(len(read(out)), len(self.source))
        r = run("dump", "--retry", "1", f"{self.d}/data.iso", out)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn("100-104 retried", read(out + ".map").decode())
        self.assertEqual((log_field(out, "read"), log_field(out, "retried")), (["6"], ["6"]))
        self.assertEqual(read(out), self.source)

    def test_killed_dump_resumes(self):
        out = f"{fresh('dump-kill')}/out.iso"
        env = dict(os.environ, CKVD_IMAGE_DRIVE_DELAY_MS="150")
        p = subprocess.Popen([CKVD, "dump", f"{self.d}/data.iso", out], env=env, stderr=subprocess.DEVNULL)
        try:
            while p.poll() is None and not (os.path.exists(out + ".map") and " read" in read(out + ".map").decode()):
                time.sleep(0.02)
            p.send_signal(signal.SIGKILL)
        finally:
            p.wait()
        self.assertEqual(p.returncode, -signal.SIGKILL)
        ok("dump", f"{self.d}/data.iso", out)
        (again,) = map(int, log_field(out, "read"))
        self.assertTrue(0 < again < len(self.source) // 2048, again)
        self.assertEqual(read(out), self.source)

    def test_refusals(self):
        d = fresh("dump-refused")
        self.assertFails(["dump", f"{self.d}/mixed.cue", f"{d}/a.iso"], 1, "track 2 is audio",
                         "dump the disc to a .cue")
        self.assertFalse(os.path.exists(f"{d}/a.iso"))
        write(f"{d}/old.iso", b"mine")
        self.assertFails(["dump", f"{self.d}/data.iso", f"{d}/old.iso"], 1, f"{d}/old.iso exists without the map")
        self.assertEqual(read(f"{d}/old.iso"), b"mine")
        ok("dump", f"{self.d}/data.iso", f"{d}/one.iso")
        write(f"{d}/two.cue.map", read(f"{d}/one.iso.map"))
        self.assertFails(["dump", f"{self.d}/mixed.cue", f"{d}/two.cue"], 1, "the map of another disc")
        self.assertFalse(os.path.exists(f"{d}/two.bin"))
        self.assertFails(["dump", f"{self.d}/data.iso", f"{d}/x.img"], 2, "OUT ends in .iso", ".cue")


if __name__ == "__main__":
    main()
