#!/usr/bin/env python3
"""ckvd on what Linux discs carry in Rock Ridge: links with empty components, and files compressed by mkzftree
and xorriso -zisofs (live discs), against the source files, isoinfo and xorriso. usage: SCRIPT CKVD WORKDIR
"""
import os
import re
import shutil
import struct

from ckvdtest import BLOCK, WORK, CkvdCase, entries, fresh, main, ok, read, run, tool, write, xorriso_extract

TARGETS = {"dot": ".///file", "up": "/tmp//..", "root": "/", "deep": "../a//b/./c", "plain": "sub/file",
           "long": "x" * 300 + "/y"}


class Links(CkvdCase):
    def test_targets_read_as_the_links_were_made(self):
        d, src = fresh("links"), fresh("links", "src")
        write(os.path.join(src, "file"), "f")
        for name, target in TARGETS.items():
            os.symlink(target, os.path.join(src, name))
        image, dest = os.path.join(d, "links.iso"), os.path.join(d, "copy")
        tool("genisoimage", "-quiet", "-R", "-o", image, src)
        self.assertEqual({e["name"]: e["target"] for e in entries(image) if e["type"] == "L"}, TARGETS)
        # isoinfo -R prints each whole but the root link (as nothing)
        peer = dict(re.findall(r"(?m)\]  (\S+) -> (.*)$", tool("isoinfo", "-R", "-l", "-i", image)))
        self.assertEqual({n: peer[n] for n in ("dot", "up", "deep", "plain")},
                         {n: TARGETS[n] for n in ("dot", "up", "deep", "plain")})
        self.assertQuiet("get", "-r", image, "/", dest)
        self.assertEqual({n: os.readlink(os.path.join(dest, n)) for n in TARGETS}, TARGETS)


class Zisofs(CkvdCase):
    @classmethod
    def setUpClass(cls):
        cls.dir, src, tree = fresh("zisofs"), fresh("zisofs", "src"), os.path.join(WORK, "zisofs", "tree")
        cls.files = {"empty": b"", "small.txt": b"hello\n" * 3, "noise.bin": os.urandom(100000),
                     "text.txt": "".join(f"line {i} of a text\n" for i in range(40000)).encode(),
                     "zeros.bin": bytes(200000) + b"end", "sub/exact.bin": bytes(range(256)) * 256}
        for name, data in cls.files.items():
            write(os.path.join(src, name), data)
        tool("mkzftree", src, tree)
        cls.images = {"mkzftree": os.path.join(cls.dir, "mkzftree.iso")}
        tool("genisoimage", "-quiet", "-R", "-z", "-o", cls.images["mkzftree"], tree)
        for size in (32, 64, 128):
            cls.images[size] = os.path.join(cls.dir, f"x{size}.iso")
            tool("xorriso", "-no_rc", "-outdev", cls.images[size], "-zisofs", f"level=6:block_size={size}k",
                 "-map", src, "/", "-set_filter_r", "--zisofs", "/", "--", "-commit")

    def test_listing_gives_the_real_size_and_says_zisofs(self):
        for key, image in self.images.items():
            rows = {e["path"][1:]: e for e in entries(image) if e["type"] == "F"}
            self.assertEqual({p: e["size"] for p, e in rows.items()}, {p: len(d) for p, d in self.files.items()})
            packed = {p: e["zisofs"] for p, e in rows.items() if "zisofs" in e}
            self.assertEqual(set(packed), {"text.txt", "zeros.bin", "sub/exact.bin"}, key)
            for p, z in packed.items():
                self.assertLess(z["stored_size"], len(self.files[p]))
                self.assertEqual(z["block_size"], 1024 * (32 if key == "mkzftree" else key))

    def test_copies_equal_the_files_and_xorriso(self):
        for key, image in self.images.items():
            ours, theirs = fresh("zisofs", f"ours{key}"), fresh("zisofs", f"theirs{key}")
            self.assertQuiet("get", "-r", image, "/", ours)
            xorriso_extract(image, theirs)
            for p, data in self.files.items():
                self.assertEqual((read(os.path.join(ours, p)), read(os.path.join(theirs, p))), (data, data), p)
            ok("get", image, "/text.txt", os.path.join(ours, "one"))
            self.assertEqual(read(os.path.join(ours, "one")), self.files["text.txt"])

    def test_damaged_data_is_an_error_naming_the_file(self):
        image = os.path.join(self.dir, "damaged.iso")
        shutil.copy(self.images["mkzftree"], image)
        (text,) = [e for e in entries(image) if e["name"] == "text.txt"]
        with open(image, "r+b") as f:  # the second block pointer far past the extent
            f.seek(text["lbn"] * BLOCK + 20)
            f.write(struct.pack("<I", 0x7FFFFFFF))
        out, tree = os.path.join(self.dir, "damaged.txt"), os.path.join(self.dir, "damaged-tree")
        self.assertFails(["get", image, "/text.txt", out], 1, f"at block {text['lbn']} Code 1006: /text.txt: block 0 "
                         "lies at bytes", out=None)
        self.assertEqual(read(out), b"")
        r = run("get", "-r", image, "/", tree)
        self.assertEqual(r.returncode, 1)
        self.assertIn(f"{tree}/text.txt: Sorry, Disc Read Error... at block {text['lbn']} Code 1006: block 0", r.stderr)
        self.assertEqual(read(os.path.join(tree, "zeros.bin")), self.files["zeros.bin"])


if __name__ == "__main__":
    main()
