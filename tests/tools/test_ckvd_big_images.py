#!/usr/bin/env python3
"""ckvd on plain images larger than a CD (a DVD's), kept sparse: a genisoimage volume at the start of a 4.7 GB
file, and a file of two extents over 4 GiB, copied to a pipe. usage: SCRIPT CKVD WORKDIR
"""
import json
import os
import struct
import subprocess

from ckvdtest import BLOCK, CKVD, CkvdCase, entries, fresh, main, ok, read, tool, write, xorriso_paths

FIRST, SECOND = 0xFFFFF800, 5000  # the extents of BIG.BIN: 4 GiB less a block, then the rest


def two_extents_over_4_gib(image):
    """BIG.BIN's record made two, the first of FIRST bytes, both in the sparse blocks appended to the image;
    marks at the ends of each extent. Returns the first extent's block."""
    data = bytearray(read(image))
    root = struct.unpack_from("<I", data, 16 * BLOCK + 158)[0] * BLOCK
    off = root
    while data[off + 33:off + 33 + data[off + 32]] != b"BIG.BIN;1":
        off += data[off]
    rec, start = bytes(data[off:off + data[off]]), len(data) // BLOCK
    records = b""
    for lbn, size, more in ((start, FIRST, 0x80), (start + FIRST // BLOCK, SECOND, 0)):
        r = bytearray(rec)
        r[2:18] = b"".join(struct.pack(o + "I", v) for v in (lbn, size) for o in "<>")
        r[25] = (r[25] & 0x7F) | more
        records += bytes(r)
    data[off:root + BLOCK] = (records + data[off + len(rec):root + BLOCK])[:root + BLOCK - off]
    with open(image, "r+b") as f:
        f.write(data)
        for at, mark in ((0, b"FIRST"), (FIRST - 5, b"LAST1"), (FIRST, b"SECND"), (FIRST + SECOND - 3, b"END")):
            f.seek(start * BLOCK + at)
            f.write(mark)
        f.truncate(start * BLOCK + FIRST + -(-SECOND // BLOCK) * BLOCK)
    return start


class BigImages(CkvdCase):
    def setUp(self):
        self.dir, self.src = fresh("big"), fresh("big", "src")
        write(os.path.join(self.src, "A.TXT"), "small\n")
        write(os.path.join(self.src, "D", "B.TXT"), "in a folder\n")
        write(os.path.join(self.src, "BIG.BIN"), "x")

    def tearDown(self):
        fresh("big")  # the sparse images go

    def test_a_dvd_image_is_one_data_session(self):
        image = os.path.join(self.dir, "dvd.iso")
        tool("genisoimage", "-quiet", "-R", "-o", image, self.src)
        os.truncate(image, 4700000000)
        self.assertEqual({e["path"] for e in entries(image)}, xorriso_paths(image))
        (session,) = json.loads(ok("toc", "--json", image))["sessions"]
        self.assertEqual(session["last_block"], 4700000000 // BLOCK - 1)
        ok("get", image, "/D/B.TXT", os.path.join(self.dir, "b"))
        self.assertEqual(read(os.path.join(self.dir, "b")), b"in a folder\n")

    def test_a_file_over_4_gib_lists_two_extents_and_copies_whole(self):
        image = os.path.join(self.dir, "level3.iso")
        tool("genisoimage", "-quiet", "-iso-level", "3", "-o", image, self.src)
        start = two_extents_over_4_gib(image)
        rows = [(e["lbn"], e["size"], e.get("continuation", False)) for e in entries(image) if e["name"] == "BIG.BIN;1"]
        self.assertEqual(rows, [(start, FIRST, False), (start + FIRST // BLOCK, SECOND, True)])
        get = subprocess.Popen([CKVD, "get", image, "/BIG.BIN", "/dev/stdout"], stdout=subprocess.PIPE)
        buffer, got, marks = bytearray(1 << 22), 0, {m: b"" for m in (b"FIRST", b"LAST1", b"SECND", b"END")}
        while n := get.stdout.readinto(buffer):  # each mark's bytes, wherever the pipe's pieces cut it
            for at, mark in ((0, b"FIRST"), (FIRST - 5, b"LAST1"), (FIRST, b"SECND"), (FIRST + SECOND - 3, b"END")):
                marks[mark] += buffer[max(at, got) - got:max(min(at + len(mark), got + n) - got, 0)]
            got += n
        get.stdout.close()
        self.assertEqual((get.wait(), got), (0, FIRST + SECOND))
        self.assertEqual(marks, {m: m for m in (b"FIRST", b"LAST1", b"SECND", b"END")})


if __name__ == "__main__":
    main()
