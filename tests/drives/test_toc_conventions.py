#!/usr/bin/env python3
"""ckvd over drives that answer READ TOC as older drives do (the image drive's CKVD_IMAGE_DRIVE_TOC switch):
"sff8020i" reads the format from byte 9 alone, as QEMU's IDE and AHCI drives do; "no-full-toc" answers the
formatted TOC where the full TOC is asked. Every command must say of a disc what it says over an MMC drive;
without a full TOC the disc type, B0 and C0 are not known and one note says so.
usage: test_toc_conventions.py CKVD WORKDIR"""
import json
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
from ckvdtest import WORK, CkvdCase, fresh, local_tree, main, read, run, write  # noqa: E402

FIXTURES = os.environ["CKVD_IMAGE_FIXTURES"]
# A data session, two and three sessions, audio and data sessions (CD-Extra), an audio CD, data and audio
# tracks in one session of two.
IMAGES = ["plain.iso", "two.cue", "grown.iso", "extra.cue", "audio.cue", "mixed.mds"]
NOTE = ("ckvd: (Session1) the drive gave no full TOC: the sessions come from its formatted TOC and session "
        "information (disc type, B0 and C0 unknown)\n")
UNKNOWN_WITHOUT_FULL_TOC = ("type", "lead_in", "next_program_area")


def ckvd(convention, *args):
    return run(*args, env=dict(os.environ, CKVD_IMAGE_DRIVE_TOC=convention))


def toc_known(toc):
    """A TOC without what a drive without a full TOC cannot tell (a lead-out before the last is estimated)."""
    for s in toc["sessions"]:
        for key in UNKNOWN_WITHOUT_FULL_TOC + (("lead_out",) if s != toc["sessions"][-1] else ()):
            s.pop(key)
        for t in s["tracks"]:
            t.pop("type")
    return toc


class TocConventions(CkvdCase):
    def test_every_command_reads_the_disc_an_mmc_drive_gives(self):
        for image in IMAGES:
            path = os.path.join(FIXTURES, image)
            for command in (["toc", "--json"], ["ls"], ["verify", "--json"], ["check", "--json"]):
                want = ckvd("mmc", *command, path)
                for convention in ("sff8020i", "no-full-toc"):
                    with self.subTest(image=image, command=command[0], convention=convention):
                        got = ckvd(convention, *command, path)
                        self.assertEqual(got.returncode, want.returncode, got.stderr)
                        if convention == "sff8020i":
                            self.assertEqual((got.stdout, got.stderr), (want.stdout, want.stderr))
                        elif command[0] == "toc":
                            self.assertEqual(toc_known(json.loads(got.stdout)), toc_known(json.loads(want.stdout)))
                        else:
                            self.assertEqual(got.stdout, want.stdout)
                            self.assertEqual(got.stderr, (NOTE if command[0] == "ls" else "") + want.stderr)

    def test_copies_and_catalogue_entries_are_the_same(self):
        path = os.path.join(FIXTURES, "two.cue")
        trees, added = [], []
        for convention in ("mmc", "sff8020i", "no-full-toc"):
            dest = fresh("get-" + convention)
            r = ckvd(convention, "get", "-r", path, "/", dest)
            self.assertEqual(r.returncode, 0, r.stderr)
            trees.append(local_tree(dest))
            catalogue = os.path.join(WORK, convention + ".sqlite")
            if os.path.exists(catalogue):
                os.remove(catalogue)
            r = ckvd(convention, "catalog", "add", "--catalogue", catalogue, path)
            self.assertEqual(r.returncode, 0, r.stderr)
            added.append(re.search(r"\(.*\)", r.stdout).group(0))  # the volume and its entries
        self.assertTrue(trees[0])
        self.assertEqual(trees[1:], trees[:1] * 2)
        self.assertEqual(added[1:], added[:1] * 2)

    def test_sectors_made_up_without_error_codes_have_their_headers_checked(self):
        # As QEMU's IDE drive answers READ CD: sync, a header of binary address, the user data, EDC and ECC zero.
        data, work = read(os.path.join(FIXTURES, "plain.iso")), fresh("made-up")
        blocks = [data[i:i + 2048] for i in range(0, len(data), 2048)]
        sectors = (b"\0" + b"\xff" * 10 + b"\0" + bytes([t // 4500, t // 75 % 60, t % 75, 1]) + block + bytes(288)
                   for t, block in enumerate(blocks, 150))
        write(os.path.join(work, "made-up.bin"), b"".join(sectors))
        cue = 'FILE "made-up.bin" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n'
        write(os.path.join(work, "made-up.cue"), cue)
        r = run("verify", "--json", os.path.join(work, "made-up.cue"))
        self.assertEqual(r.returncode, 0, r.stdout)
        self.assertEqual([t["check"] for t in json.loads(r.stdout)["tracks"]], ["no EDC/ECC"])


if __name__ == "__main__":
    main()
