#!/usr/bin/env python3
"""ckvd over image drives as users meet real ones: `ckvd drives` against its golden lines; a drive reset
(UNIT ATTENTION 06/29) or a medium change notice (06/28) while a disc is read, and a disc swapped meanwhile
(CKVD_IMAGE_DRIVE_ATTENTION, CKVD_IMAGE_DRIVE_SWAP); whole sectors without EDC/ECC, as QEMU's drives give
them (CKVD_IMAGE_DRIVE_NO_EDC). usage: test_drive_events.py CKVD WORKDIR"""
import json
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
from ckvdtest import CkvdCase, fresh, main, read, run, write  # noqa: E402

FIXTURES = os.environ["CKVD_IMAGE_FIXTURES"]
GOLDEN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "drives")
PLAIN, TWO, RAW = (os.path.join(FIXTURES, name) for name in ("plain.iso", "two.cue", "raw.cue"))


def ckvd(*args, **env):
    return run(*args, env=dict(os.environ, **env))


class DriveEvents(CkvdCase):
    def test_drives_lines_and_keys_are_the_golden_ones(self):
        for args, golden in ((), "ckvd_drives.txt"), (("--json",), "ckvd_drives.json"):
            r = ckvd("drives", "--image", PLAIN, "--image", TWO, *args)
            self.assertEqual(r.returncode, 0, r.stderr)
            with open(os.path.join(GOLDEN, golden), encoding="utf-8") as f:
                self.assertEqual(r.stdout.replace(FIXTURES, "FIXTURES"), f.read())
        # The drives' own states come from their sense: the C++ tests of the facade hold them one by one.
        self.assertEqual({d["state"] for d in json.loads(r.stdout)["drives"]}, {"ready"})

    def test_a_reset_or_a_change_notice_leaves_the_output_as_it_was(self):
        # The Nth command after the start's two: the analysis of ls, or the reads of verify.
        for command, path in (["ls"], PLAIN), (["verify"], RAW), (["toc", "--json"], TWO):
            want = ckvd(*command, path)
            for attention in ("28", "29"):
                for nth in range(3, 30, 3):
                    with self.subTest(command=command[0], attention=attention, nth=nth):
                        got = ckvd(*command, path, CKVD_IMAGE_DRIVE_ATTENTION=f"{attention}@{nth}")
                        self.assertEqual((got.returncode, got.stdout, got.stderr),
                                         (want.returncode, want.stdout, want.stderr))

    def test_a_disc_swapped_while_it_is_read_is_refused_whole(self):
        # From the analysis's first read to the command's last; before it, the start met the change and the other
        # disc is read.
        for command, path, last in (["ls"], PLAIN, 15), (["verify"], RAW, 20):
            for nth in range(5, last + 1, 2):
                with self.subTest(command=command[0], nth=nth):
                    r = ckvd(*command, path, CKVD_IMAGE_DRIVE_SWAP=f"{nth}@{TWO}")
                    self.assertEqual((r.returncode, r.stdout, r.stderr),
                                     (1, "", f"ckvd: the disc in {path} was changed while it was read\n"))

    def test_sectors_without_edc_and_ecc_are_read_not_damaged(self):
        r = ckvd("verify", RAW, CKVD_IMAGE_DRIVE_NO_EDC="1")
        self.assertEqual((r.returncode, r.stderr), (0, ""))
        self.assertEqual(r.stdout.splitlines(), [
            "(Session1) track 1, data, blocks 0-174: the drive gives no EDC/ECC: user data read, headers checked "
            "(sync, address, mode)",
            "175 blocks in 1 track: 0 sound, 0 corrupt, 0 unreadable, 175 with no EDC/ECC from the drive (user "
            "data read, sync, header and mode checked)"])
        doc = json.loads(ckvd("verify", "--json", RAW, CKVD_IMAGE_DRIVE_NO_EDC="1").stdout)
        self.assertEqual(([t["check"] for t in doc["tracks"]], doc["summary"]["no_edc_ecc"], doc["ranges"]),
                         (["no EDC/ECC"], 175, []))
        # A made-up sector whose header names another block is corrupt all the same.
        data, work = read(PLAIN), fresh("made-up")
        sectors = [b"\0" + b"\xff" * 10 + b"\0" + bytes([t // 4500, t // 75 % 60, t % 75, 1]) + data[i:i + 2048] +
                   bytes(288) for i, t in zip(range(0, len(data), 2048), range(150, 10 ** 6))]
        sectors[20] = sectors[20][:14] + b"\x30" + sectors[20][15:]
        write(os.path.join(work, "made-up.bin"), b"".join(sectors))
        write(os.path.join(work, "made-up.cue"),
              'FILE "made-up.bin" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n')
        r = ckvd("verify", os.path.join(work, "made-up.cue"))
        self.assertEqual((r.returncode, r.stdout.splitlines()[1:2]), (1, ["block 20: corrupt: header wrong"]))
        # The same image whose sectors come whole keeps its text.
        self.assertEqual(ckvd("verify", RAW).stdout.splitlines()[1],
                         "175 blocks in 1 track: 175 sound, 0 corrupt, 0 unreadable")


if __name__ == "__main__":
    main()
