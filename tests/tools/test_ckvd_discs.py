#!/usr/bin/env python3
"""ckvd on disc structures other tools record and on what broken discs carry: a file of several extents
(ECMA-119 9.1.6, read back by xorriso), path tables that are empty, zeroed or name another extent, names in
every script (Joliet, Rock Ridge, ISO 9660:1999) as xorriso and isoinfo read them. usage: test_ckvd_discs.py CKVD WORKDIR
"""
import json
import os
import re
import shutil
import struct
import subprocess
import zlib

from ckvdtest import (BLOCK, CkvdCase, ckvd_paths, entries, fresh, local_tree, main, ok, patch, read, run, tool,
                      write, xorriso_extract, xorriso_paths)


def split_into_extents(image, name, pieces):
    """Rewrites the root directory record of `name` as one record per extent, each but the last with the
    multi-extent flag: the extents are consecutive pieces of the file's data, so the file stays whole."""
    data = read(image)
    root = struct.unpack_from("<I", data, 16 * BLOCK + 158)[0]  # the primary descriptor's root record
    block, off = data[root * BLOCK:(root + 1) * BLOCK], 0
    while block[off] and block[off + 33:off + 33 + block[off + 32]] != name:
        off += block[off]
    rec, end = block[off:off + block[off]], off
    while block[end]:
        end += block[end]
    lbn, size = struct.unpack_from("<I", rec, 2)[0], struct.unpack_from("<I", rec, 10)[0]
    records, start, sizes = [], 0, pieces + [size - sum(pieces)]
    for i, piece in enumerate(sizes):
        r = bytearray(rec)
        r[2:18] = b"".join(struct.pack(o + "I", v) for v in (lbn + start // BLOCK, piece) for o in "<>")
        r[25] = r[25] | 0x80 if i + 1 < len(sizes) else r[25] & 0x7F
        records.append(bytes(r))
        start += piece
    new = block[:off] + b"".join(records) + block[off + len(rec):end]
    assert len(new) <= BLOCK
    with open(image, "r+b") as f:
        f.seek(root * BLOCK)
        f.write(new.ljust(BLOCK, b"\0"))


class MultiExtent(CkvdCase):
    @classmethod
    def setUpClass(cls):
        cls.dir, src = fresh("multi"), fresh("multi", "src")
        cls.data = os.urandom(54305)
        for name, data in (("MULTI.BIN", cls.data), ("A.TXT", "A.TXT"), ("Z.TXT", "Z.TXT")):
            write(os.path.join(src, name), data)
        cls.image = os.path.join(cls.dir, "multi.iso")
        tool("xorriso", "-as", "mkisofs", "-quiet", "-iso-level", "3", "-V", "MULTI_EXTENT", "-o", cls.image, src)
        split_into_extents(cls.image, b"MULTI.BIN;1", [16384, 16384])

    def test_get_copies_every_extent_as_xorriso_does(self):
        peer, out, tree = (os.path.join(self.dir, n) for n in ("xorriso", "got.bin", "tree"))
        xorriso_extract(self.image, peer)  # the structure is sound for a peer
        self.assertEqual(read(os.path.join(peer, "MULTI.BIN")), self.data)
        ok("get", self.image, "/MULTI.BIN", out)
        self.assertEqual(read(out), self.data)
        self.assertQuiet("get", "-r", self.image, "/", tree)
        self.assertEqual(sorted(os.listdir(tree)), ["A.TXT", "MULTI.BIN", "Z.TXT"])  # Rock Ridge names
        self.assertEqual(read(os.path.join(tree, "MULTI.BIN")), self.data)

    def test_listing_keeps_a_row_per_extent_and_a_cut_one_keeps_the_blocks_before_the_unreadable_one(self):
        rows = [(e["lbn"], e["size"], e.get("continuation", False))
                for e in entries(self.image) if e["name"] == "MULTI.BIN"]
        first = rows[0][0]
        self.assertEqual(rows, [(first, 16384, False), (first + 8, 16384, True), (first + 16, 21537, True)])
        cut, out = os.path.join(self.dir, "cut.iso"), os.path.join(self.dir, "cut.bin")
        shutil.copy(self.image, cut)
        os.truncate(cut, (first + 18) * BLOCK)  # the last extent's third block is gone
        for args in (["get", cut, "/MULTI.BIN", out], ["get", "-r", cut, "/", os.path.join(self.dir, "cut-tree")]):
            self.assertFails(args, 1, f"at block {first + 18} ", out=None)
        self.assertEqual(read(out), self.data[:32768 + 2 * BLOCK])


class Form2(CkvdCase):
    def test_a_file_in_form_2_sectors_is_their_2324_bytes_a_sector_and_verifies(self):
        """xa.cue: an ISO in 2,336-byte Mode 2 sectors whose FORM2.DAT (10 blocks as isoinfo lists it) lies in
        Form 2 sectors of sox's samples, 2,324 bytes each."""
        fx, out = os.environ["CKVD_IMAGE_FIXTURES"], fresh("form2")
        cue = os.path.join(fx, "xa.cue")
        ok("get", cue, "/FORM2.DAT", os.path.join(out, "f"))
        self.assertEqual(read(os.path.join(out, "f")), read(os.path.join(fx, "toc-le.raw"))[:10 * 2324])
        ok("verify", cue)


class PathTable(CkvdCase):
    """A path table that names no root: the tree is read from the root directory record, as isoinfo does."""

    @classmethod
    def setUpClass(cls):
        cls.dir, src = fresh("pathtable"), fresh("pathtable", "src")
        os.makedirs(os.path.join(src, "EMPTY"))
        for f in ("README.TXT", "DOCS/A.TXT", "DOCS/OLD/B.TXT", "DOCS/OLD/OLDER/C.TXT", "MUSIC/S.MP3"):
            write(os.path.join(src, f), f)
        cls.joliet, cls.plain = os.path.join(cls.dir, "joliet.iso"), os.path.join(cls.dir, "plain.iso")
        for image, extra in ((cls.joliet, ["-J"]), (cls.plain, [])):
            tool("genisoimage", "-quiet", *extra, "-V", "PT", "-o", image, src)

    def patched(self, image, how):
        """A copy with every path table of the descriptor set broken `how`."""
        out, data = os.path.join(self.dir, f"{how}-{os.path.basename(image)}"), bytearray(read(image))
        for at in range(16 * BLOCK, 32 * BLOCK, BLOCK):
            if data[at] == 255:
                break
            if data[at] not in (1, 2):
                continue
            size = struct.unpack_from("<I", data, at + 132)[0]
            for field, order in ((140, "<I"), (148, ">I")):  # type L, then type M
                table = struct.unpack_from(order, data, at + field)[0] * BLOCK
                if how == "zeroed":
                    data[table:table + size] = bytes(size)
                elif how == "other":  # the first record names a block past the root's
                    struct.pack_into(order, data, table + 2, struct.unpack_from(order, data, table + 2)[0] + 1)
            if how == "empty":
                data[at + 132:at + 140] = bytes(8)
        write(out, bytes(data))
        return out

    def test_tree_read_from_the_root_record(self):
        for image in (self.joliet, self.plain):
            sound = self.assertQuiet("ls", image)
            for how in ("zeroed", "empty", "other"):
                with self.subTest(image=os.path.basename(image), how=how):
                    broken = self.patched(image, how)
                    self.assertFails(["ls", broken], 0, "(Session1) the path table was passed over", out=sound)
                    self.assertTrue(json.loads(ok("ls", "--json", broken))["sessions"][0]["path_table_passed_over"])
        # isoinfo walks the directory records too: the same names in the same directories.
        broken = self.patched(self.plain, "zeroed")
        ours = [l.split("  ")[-1] for l in ok("ls", broken).splitlines()[1:]]
        self.assertEqual(sorted(ours), sorted(tool("isoinfo", "-f", "-i", broken).splitlines()))
        with open(broken, "r+b") as f:  # neither table nor root record
            f.seek(16 * BLOCK + 156 + 25)
            f.write(b"\0")  # the root record's directory flag
        self.assertFails(["ls", broken], 1, "Code 1002", out=None)

    def test_unreadable_directories_and_files_are_marked_and_the_rest_listed(self):
        # A zeroed directory block and a file cut off by the image's end: isoinfo's tree of the sound image
        # without what the damage took, the damaged entries marked with the reason, exit 1.
        src = fresh("pathtable", "damsrc")
        for f, n in (("A/F1.DAT", 30000), ("A/F2.DAT", 30000), ("B/C/G.DAT", 5000), ("README.TXT", 3)):
            write(os.path.join(src, f), bytes(n))
        image = os.path.join(self.dir, "damaged.iso")
        tool("genisoimage", "-quiet", "-o", image, src)
        peer, sound = isoinfo_listing("-i", image), read(image)
        a, f2 = peer["/A"][1], peer["/A/F2.DAT;1"][1]
        for name, data, bad in (
                ("zeroed.iso", sound[:a * BLOCK] + bytes(BLOCK) + sound[(a + 1) * BLOCK:],
                 {"/A": f"block {a} holds no directory record"}),
                ("cut.iso", sound[:(f2 + 1) * BLOCK],
                 {"/A/F2.DAT;1": f"its extent runs past the end of the session at block {f2 + 1}"})):
            with self.subTest(name):
                write(os.path.join(self.dir, name), data)
                r = run("ls", "--json", os.path.join(self.dir, name))
                self.assertEqual(r.returncode, 1)
                self.assertIn("could not be read; the rest is listed", r.stderr)
                # A cut file is said to be incomplete once, with the volume's size as isoinfo reads it.
                volume = re.search(r"Volume size is: (\d+)", tool("isoinfo", "-d", "-i", image))[1]
                self.assertEqual([l for l in r.stderr.splitlines() if "incomplete" in l], [
                    f"ckvd: {self.dir}/cut.iso: the image file ends at block {f2 + 1}; the volume records {volume} "
                    "blocks: the file is incomplete"] if name == "cut.iso" else [])
                (s,) = json.loads(r.stdout)["sessions"]
                gone = {p for p in peer if p.startswith("/A/")} if name == "zeroed.iso" else set()
                self.assertEqual({e["path"]: (e["type"], e["lbn"]) for e in s["entries"]},
                                 {p: e[:2] for p, e in peer.items() if p not in gone})
                self.assertEqual({e["path"]: e["unreadable"] for e in s["entries"] if "unreadable" in e}, bad)
                # Every block reads; verify names what the analysis could not read all the same.
                r = run("verify", os.path.join(self.dir, name))
                self.assertEqual(r.returncode, 1)
                self.assertLines(r.stdout, [f"(Session1) {p}{'/' if p == '/A' else ''} (unreadable: {why})"
                                            for p, why in bad.items()])

    def test_damaged_descriptors_are_passed_over(self):
        # genisoimage -J -b: primary at 16, boot record 17, Joliet 18, terminator 19. A descriptor that fails
        # its checks leaves the volume of the sound primary descriptor, as isoinfo reads it, and is named.
        src = fresh("pathtable", "bootsrc")
        write(os.path.join(src, "BOOT.IMG"), bytes(2048))
        write(os.path.join(src, "Readme File.txt"), "x")
        image = os.path.join(self.dir, "boot.iso")
        tool("genisoimage", "-quiet", "-J", "-b", "BOOT.IMG", "-no-emul-boot", "-o", image, src)
        joliet = self.assertQuiet("ls", image)
        primary = sorted(tool("isoinfo", "-f", "-i", image).splitlines())
        sound = read(image)

        def damaged(name, at, value, data=sound):
            data = bytearray(data)
            data[at:at + len(value)] = value
            write(os.path.join(self.dir, name), bytes(data))
            return os.path.join(self.dir, name)

        front = sound[:16 * BLOCK] + sound[17 * BLOCK:18 * BLOCK] + sound[16 * BLOCK:17 * BLOCK] + sound[18 * BLOCK:]
        cases = [  # image, ckvd's tree (None: the primary one), what stderr names
            (damaged("boot-v2.iso", 17 * BLOCK + 6, b"\x02"), joliet, "the boot record at block 17 (version 2)"),
            (damaged("joliet-v3.iso", 18 * BLOCK + 6, b"\x03"), None,
             "the supplementary volume descriptor at block 18 (version 3)"),
            (damaged("no-end.iso", 19 * BLOCK, bytes(7)), joliet, "has no terminator: it ends at block 19"),
            (damaged("front.iso", 16 * BLOCK + 6, b"\x02", front), joliet, "the boot record at block 16 (version 2)"),
        ]
        for path, tree, note in cases:
            with self.subTest(os.path.basename(path)):
                r = self.assertFails(["ls", path], 0, note, out=None)
                if tree is None:
                    self.assertEqual(sorted(l.split("  ")[-1] for l in r.stdout.splitlines()[1:]), primary)
                else:
                    self.assertEqual(r.stdout, tree)


class RockRidge(CkvdCase):
    """A disc with POSIX names only in Rock Ridge (genisoimage -R, no Joliet): names, the relocated deep tree,
    symbolic links, modes and times as xorriso reads them."""

    @classmethod
    def setUpClass(cls):
        cls.dir, src = fresh("rockridge"), fresh("rockridge", "src")
        write(os.path.join(src, *[f"level_{i}" for i in range(1, 13)], "deep file.txt"), "deep")
        write(os.path.join(src, "Mixed Case Name.txt"), "mixed")
        os.chmod(os.path.join(src, "Mixed Case Name.txt"), 0o640)
        os.symlink("Mixed Case Name.txt", os.path.join(src, "to the file"))
        os.symlink("level_1/level_2", os.path.join(src, "to a directory"))
        cls.victim = os.path.join(cls.dir, "victim.txt")
        os.symlink(cls.victim, os.path.join(src, "outside"))  # a link out of any tree it is copied into
        cls.dir_time = int(os.stat(src).st_mtime) - 365 * 86400
        os.utime(os.path.join(src, "level_1"), (cls.dir_time, cls.dir_time))
        cls.image = os.path.join(cls.dir, "rr.iso")
        tool("genisoimage", "-quiet", "-R", "-V", "RR_ONLY", "-o", cls.image, src)

    def test_listing_equals_xorriso(self):
        # type, path, size of files, target of links, from xorriso's listing (the relocation folder aside)
        peer = set()
        for line in tool("xorriso", "-indev", self.image, "-find", "/", "-exec", "lsdl", "--").splitlines():
            m = re.match(r"^([dl-])\S+\s+\d+\s+\S+\s+\S+\s+(\d+)\s+\w+\s+\d+\s+\S+\s+'([^']*)'(?: -> '(.*)')?$", line)
            if m and m[3] not in ("/", "/rr_moved"):
                kind = {"d": "D", "l": "L", "-": "F"}[m[1]]
                peer.add((kind, m[3], int(m[2]) if kind == "F" else 0, m[4]))
        ours = {(e["type"], e["path"], e["size"] if e["type"] == "F" else 0, e.get("target"))
                for e in entries(self.image)}
        self.assertEqual(ours, peer)
        self.assertIn(("L", "/outside", 0, self.victim), ours)
        text = ok("ls", self.image)
        self.assertIn("  /to the file -> Mixed Case Name.txt\n", text)
        self.assertNotIn("rr_moved", text)
        self.assertFails(["get", self.image, "/to the file", os.path.join(self.dir, "single")], 1,
                         "is a symbolic link to Mixed Case Name.txt", out=None)
        self.assertFalse(os.path.exists(os.path.join(self.dir, "single")))

    def test_copy_equals_xorriso_and_links_are_not_followed(self):
        write(self.victim, "precious")
        theirs, ours = os.path.join(self.dir, "xorriso"), os.path.join(self.dir, "ours")
        for d in (theirs, ours):
            shutil.rmtree(d, ignore_errors=True)
        xorriso_extract(self.image, theirs)
        for _ in range(2):  # the second copy meets the first one's links, "outside" among them
            self.assertQuiet("get", "-r", self.image, "/", ours)
        self.assertEqual(read(self.victim), b"precious")
        tree = local_tree(ours)
        self.assertEqual(tree, local_tree(theirs))
        self.assertEqual(tree["Mixed Case Name.txt"][1], 0o640)
        # Directory times are the recorded ones (the source's, a year back), not the time of the copy.
        self.assertEqual(tree["level_1"][2], self.dir_time)

    def test_link_named_like_a_later_directory(self):
        # A link "aaa" to a folder outside, and a directory whose Rock Ridge name is patched from "bbb" to
        # "aaa": its file must not land in the outside folder.
        top = fresh("rockridge", "twin")
        outside, src, image = fresh("rockridge", "twin", "outside"), f"{top}/src", f"{top}/twin.iso"
        write(os.path.join(src, "bbb", "f.txt"), "f")
        os.symlink(outside, os.path.join(src, "aaa"))
        tool("genisoimage", "-quiet", "-R", "-o", image, src)
        patch(image, b"NM\x08\x01\x00bbb", b"NM\x08\x01\x00aaa")
        self.assertFails(["get", "-r", image, "/", os.path.join(top, "dest")], 1, 'a second entry named "aaa"', out=None)
        self.assertEqual(os.listdir(outside), [])
        self.assertEqual(os.readlink(os.path.join(top, "dest", "aaa")), outside)


MONTHS = "JanFebMarAprMayJunJulAugSepOctNovDec"


def isoinfo_listing(*args):
    """isoinfo -l: path -> (type, extent, size, date)."""
    out, folder = {}, ""
    for line in tool("isoinfo", "-l", *args).splitlines():
        m = re.match(r"([d-])\S*\s+\d+\s+\d+\s+\d+\s+(\d+)\s+(\w{3})\s+(\d+)\s+(\d{4})\s+\[\s*(\d+)\s+\d+\]\s\s(.*) $",
                     line)
        if line.startswith("Directory listing of "):
            folder = line[21:-1]
        elif m and m[7] not in (".", ".."):
            date = f"{m[5]}-{MONTHS.find(m[3]) // 3 + 1:02}-{int(m[4]):02}"
            out[f"{folder}/{m[7]}"] = ("D" if m[1] == "d" else "F", int(m[6]), int(m[2]), date)
    return out


def xorriso_files(image):
    """xorriso's start block and size of every file, named as xorriso names them (Rock Ridge, else Joliet)."""
    out = subprocess.run(["xorriso", "-abort_on", "NEVER", "-joliet", "on", "-indev", image,
                          "-find", "/", "-type", "f", "-exec", "report_lba", "--"], capture_output=True,
                         env={**os.environ, "LC_ALL": "C.UTF-8"}).stdout.decode()
    return {m[3]: ("F", int(m[1]), int(m[2])) for m in
            re.finditer(r"(?m)^File data lba:\s+\d+\s*,\s*(\d+)\s*,\s*\d+\s*,\s*(\d+)\s*,\s*'(.*)'$", out)}


def listing(*args):
    """ckvd ls --json: path -> (type, lbn, size, date), and the volume name."""
    (s,) = json.loads(ok("ls", "--json", *args))["sessions"]
    return {e["path"]: (e["type"], e["lbn"], e["size"], e["date"] and e["date"][:10]) for e in s["entries"]}, s["volume"]


def mkdisc(*args):
    return tool(os.environ["CKVD_MKDISC"], *args)


class Listings(CkvdCase):
    """Discs genisoimage and xorriso make, each session listed as isoinfo and xorriso list it: type, extent,
    size and date of every entry; the report's directory and file counts as isoinfo's listing has them."""

    def test_discs_equal_isoinfo_and_xorriso(self):
        d = fresh("listings")
        src = lambda name, files: [write(os.path.join(d, name, f), c) for f, c in files.items()] and d + "/" + name
        gen = lambda *a: tool("genisoimage", "-quiet", "-input-charset", "utf-8", *a)
        xor = lambda *a: tool("xorriso", "-as", "mkisofs", "-quiet", *a)
        deep = "/".join(f"level_{i}_directory_with_a_rather_long_name" for i in range(1, 13))
        boot = src("boot", {"BOOT/BOOT.IMG": bytes(2048), "DATA/FILE.TXT": "data\n"})
        many = src("many", {f"BIGDIR/F{i:05}.TXT": "" for i in range(1, 3001)})
        for i in range(1, 301):
            os.makedirs(f"{many}/DIRS/D{i:05}")  # a path table over one block
        cases = [  # image, how it is made, isoinfo's names option (None: xorriso only), xorriso, volume
            ("level1", lambda o: gen("-iso-level", "1", "-V", "LEVEL1_VOLUME", "-o", o, src("l1", {
                "README.TXT": "hello\n", "DOCS/BIG.DAT": "a" * 3000, "DOCS/OLD/NOTE.TXT": "old\n",
                "MUSIC/SONG.MP3": bytes(70000)})), "", False, "LEVEL1_VOLUME"),
            ("level3_rr", lambda o: gen("-iso-level", "3", "-R", "-V", "LEVEL3_RR", "-o", o, src("l3", {
                "Mixed Case Dir/a long file name.txt": "rr\n", "short.txt": "x\n"})), "-R", False, "LEVEL3_RR"),
            ("joliet_jp", lambda o: gen("-J", "-R", "-V", "JOLIET_JP", "-o", o, src("jp", {
                "音楽/アルバム/さくら.mp3": "x\n", "文書/メモ.txt": "y\n", "Readme.txt": "z\n"})), None, True, "JOLIET_JP"),
            ("deep_long", lambda o: xor("-R", "-J", "-joliet-long", "-D", "-V", "DEEP_LONG", "-o", o, src("deep", {
                f"{deep}/the_deepest_file_of_all_with_a_long_name.txt": "deep\n", "n" * 100 + ".txt": "top\n"})),
             "-R", True, "DEEP_LONG"),
            ("many", lambda o: gen("-V", "MANY_FILES", "-o", o, many), "", False, "MANY_FILES"),
            ("boot_genisoimage", lambda o: gen("-J", "-R", "-V", "BOOT_GENISO", "-b", "BOOT/BOOT.IMG", "-no-emul-boot",
                                               "-boot-load-size", "4", "-o", o, boot), "-R", False, "BOOT_GENISO"),
            ("boot_xorriso", lambda o: xor("-J", "-R", "-V", "BOOT_XORRISO", "-b", "BOOT/BOOT.IMG", "-no-emul-boot",
                                           "-boot-load-size", "4", "-o", o, boot), "-R", False, "BOOT_XORRISO"),
            ("grub", lambda o: shutil.copy("/usr/lib/grub-rescue/grub-rescue-cdrom.iso", o), "-R", False, ""),
        ]
        for name, make, names, xorriso, volume in cases:
            with self.subTest(name):
                image = f"{d}/{name}.iso"
                make(image)
                ours, label = listing(image)
                self.assertEqual(label.rstrip()[:len(volume)], volume)
                if xorriso:
                    self.assertEqual({p: e[:3] for p, e in ours.items() if e[0] == "F"}, xorriso_files(image))
                if names is None:
                    continue
                peer = isoinfo_listing(*names.split(), "-i", image)
                self.assertEqual(ours, peer)
                report = f"{d}/{name}.csv"
                ok("report", image, "-o", report)
                kinds = [e[0] for e in peer.values()]
                self.assertIn(b",Session[1],Dir[%d],File[%d]," % (1 + kinds.count("D"), kinds.count("F")), read(report))
        self.assertGreater(listing(f"{d}/many.iso")[0]["/BIGDIR"][2], 32 * BLOCK)  # more than one piece of 32

    def test_each_of_three_sessions_equals_isoinfo(self):
        d = fresh("sessions")
        disc = f"{d}/three.cue"
        for n, folder in ((1, "ONE/FIRST.TXT"), (2, "TWO/SECOND.TXT"), (3, "THREE/THIRD.TXT")):
            write(f"{d}/s{n}/{folder}", folder)
            options = ["-C", mkdisc("msinfo", disc).strip(), "-M", f"{d}/prev.img"] if n > 1 else []
            tool("genisoimage", "-quiet", "-J", "-R", "-V", f"SESSION_{n}", *options, "-o", f"{d}/s{n}.iso", f"{d}/s{n}")
            mkdisc("append" if n > 1 else "create", disc, f"{d}/s{n}.iso")
            with open(f"{d}/prev.img", "r+b" if n > 1 else "wb") as f:  # the previous session for -M, in place
                f.seek(int(options[1].split(",")[1]) * BLOCK if n > 1 else 0)
                f.write(read(f"{d}/s{n}.iso"))
        sessions = json.loads(ok("toc", "--json", disc))["sessions"]
        self.assertEqual(len(sessions), 3)
        for n, s in enumerate(sessions, 1):
            start = s["tracks"][0]["address"]
            self.assertEqual(s["pvd_lbn"], start + 16)
            ours, volume = listing("--session", str(n), disc)
            self.assertEqual(volume.rstrip(), f"SESSION_{n}")
            self.assertEqual(ours, isoinfo_listing("-R", "-i", f"{d}/s{n}.iso", *(["-N", str(start)] if n > 1 else [])))
        self.assertLessEqual({"/ONE/FIRST.TXT", "/TWO/SECOND.TXT", "/THREE/THIRD.TXT"}, set(ours))

    def test_cd_extra_is_audio_tracks_then_a_data_session(self):
        # sox tracks of 1, 2 and 3 seconds: 75, 150 and 225 sectors; the data session after the first lead-out,
        # a lead-in and a pregap, in the multi-session sheet form the cue reader takes. The audio session makes
        # it an audio disc: its session type is the first one's.
        d = fresh("extra")
        for n in (1, 2, 3):
            tool("sox", "-q", "-n", "-r", "44100", "-c", "2", "-b", "16", f"{d}/a{n}.wav", "synth", str(n), "sine", "440")
        mkdisc("audio", f"{d}/audio.cue", *(f"{d}/a{n}.wav" for n in (1, 2, 3)))
        write(f"{d}/data/CDPLUS/INFO.TXT", "extra\n")
        tool("genisoimage", "-quiet", "-J", "-V", "CD_EXTRA", "-C", f"0,{450 + 6750 + 4500 + 150}", "-o", f"{d}/data.bin", f"{d}/data")
        write(f"{d}/extra.cue", "REM SESSION 01\n" + read(f"{d}/audio.cue").decode() +
              "REM LEAD-OUT 01:30:00\nREM SESSION 02\nFILE \"data.bin\" BINARY\n  TRACK 04 MODE1/2048\n"
              "    INDEX 01 00:00:00\n")
        for sheet, sessions in (("audio.cue", 1), ("extra.cue", 2)):
            with self.subTest(sheet):
                toc = json.loads(ok("toc", "--json", f"{d}/{sheet}"))["sessions"]
                self.assertEqual(len(toc), sessions)
                self.assertEqual([(t["address"], t["size"]) for t in toc[0]["tracks"]], [(0, 75), (75, 150), (225, 225)])
                self.assertEqual(toc[0]["pvd_lbn"], 0 if sessions == 1 else 16)  # track 1 + 16 beside a data session
                ours, volume = listing("--session", "1", f"{d}/{sheet}")
                self.assertEqual((volume, {p: e[1:3] for p, e in ours.items()}), ("Audio CD", {
                    "/Track01.cda": (0, 75), "/Track02.cda": (75, 150), "/Track03.cda": (225, 225)}))
        self.assertEqual([(t["track"], t["address"], toc[1]["pvd_lbn"]) for t in toc[1]["tracks"]],
                         [(4, 450 + 6750 + 4500 + 150, 450 + 6750 + 4500 + 150 + 16)])  # its own first track + 16

    def test_sheets_equal_cd_info(self):
        # The image readers' sheets (sox tracks, a MODE1/2352 track, CRLF sheets, tracks 04-05 of a longer disc)
        # as cd-info lists them: each track and the lead-out (number 170) with its first block.
        d = os.environ["CKVD_IMAGE_FIXTURES"]
        for base in ("audio", "raw", "cdda", "late"):
            with self.subTest(base):
                peer = [(int(m[1]), int(m[2])) for m in
                        re.finditer(r"(?m)^\s*(\d+): \d\d:\d\d:\d\d\s+(\d+)\s", read(f"{d}/{base}.cd-info.txt").decode())]
                sessions = json.loads(ok("toc", "--json", f"{d}/{base}.cue"))["sessions"]
                tracks = [t for s in sessions for t in s["tracks"]]
                self.assertEqual(peer, [(t["track"], t["address"]) for t in tracks] + [(170, sessions[-1]["lead_out"])])
                if base in ("audio", "cdda"):  # sizes come from the track files Track01.cda on (data: none)
                    self.assertEqual([t["size"] for t in tracks], [b[1] - a[1] for a, b in zip(peer, peer[1:])])

    def test_raw_and_grown_images_equal_isoinfo_and_xorriso(self):
        # Raw sectors without a sheet list as the genisoimage disc they were made from (a session dumped from
        # block 11,400 at its own addresses); each session of a file grown by xorriso as xorriso reads it.
        d = os.environ["CKVD_IMAGE_FIXTURES"]
        for raw in ("raw-m1.iso", "raw-m1.bin", "raw-m2.img"):
            with self.subTest(raw):
                self.assertEqual(listing(f"{d}/{raw}")[0], isoinfo_listing("-J", "-i", f"{d}/raw-plain.iso"))
        self.assertEqual(listing(f"{d}/raw-late.bin")[0], isoinfo_listing("-J", "-N", "11400", "-i", f"{d}/raw-late.iso"))
        peer = [tuple(map(int, m)) for m in re.findall(r"ISO session\s*:\s*(\d+)\s*,\s*(\d+)\s*,\s*(\d+)s",
                                                      read(f"{d}/grown.xorriso-toc.txt").decode())]
        sessions = json.loads(ok("toc", "--json", f"{d}/grown.iso"))["sessions"]
        self.assertEqual(peer, [(s["session"], s["tracks"][0]["address"], s["lead_out"] - s["tracks"][0]["address"])
                                for s in sessions])
        for n, start, _ in peer:
            out = tool("xorriso", "-abort_on", "NEVER", "-load", "sbsector", str(start), "-indev", f"{d}/grown.iso",
                       "-find", "/", "-type", "f", "-exec", "report_lba", "--")
            theirs = {m[3]: ("F", int(m[1]), int(m[2])) for m in
                      re.finditer(r"(?m)^File data lba:\s+\d+\s*,\s*(\d+)\s*,\s*\d+\s*,\s*(\d+)\s*,\s*'(.*)'$", out)}
            ours = {p: e[:3] for p, e in listing("--session", str(n), f"{d}/grown.iso")[0].items() if e[0] == "F"}
            self.assertEqual(ours, theirs)

    def test_verify_names_damaged_sectors_and_the_files_isoinfo_places_there(self):
        # Raw images of a genisoimage disc with ECMA-130 sync, header, EDC and P/Q parity (make_raw.py), one
        # by ckvd-mkdisc, an NRG with a pregap, a cooked image and an audio sheet verify clean; a flipped data
        # byte, a broken sync, a wrong header address and a cut are named at their blocks with their files.
        d, work = os.environ["CKVD_IMAGE_FIXTURES"], fresh("verify")
        for image, check in (("raw-m1.bin", "sectors"), ("raw-m2.img", "sectors"), ("raw.ccd", "sectors"),
                             ("nrg-raw.nrg", "sectors"), ("raw-plain.iso", "user data"), ("cdda.cue", "audio")):
            with self.subTest(image):
                v = json.loads(ok("verify", "--json", f"{d}/{image}"))
                self.assertEqual((v["ranges"], v["summary"]["sound"], {t["check"] for t in v["tracks"]}),
                                 ([], True, {check}))
        peer = isoinfo_listing("-J", "-i", f"{d}/raw-plain.iso")
        f2, f3 = peer["/SUB/F2.DAT"][1], peer["/SUB/F3.DAT"][1]
        end = int(re.search(r"Volume size is: (\d+)", tool("isoinfo", "-d", "-i", f"{d}/raw-plain.iso"))[1])
        m1, m2, raw = read(f"{d}/raw-m1.bin"), read(f"{d}/raw-m2.img"), 2352
        changed = lambda data, at, byte: data[:at] + bytes([byte]) + data[at + 1:]
        for name, data, first, last, reason, hits in (
                ("flip.bin", changed(m1, f2 * raw + 16 + 100, m1[f2 * raw + 116] ^ 1), f2, f2,
                 "corrupt: EDC and ECC do not match", ["/SUB/F2.DAT"]),
                ("flip2.img", changed(m2, f3 * raw + 24 + 7, m2[f3 * raw + 31] ^ 0x80), f3, f3,
                 "corrupt: EDC and ECC do not match", ["/SUB/F3.DAT"]),
                ("sync.bin", changed(m1, f3 * raw + 5, 0), f3, f3, "corrupt: sync pattern broken, EDC does not match",
                 ["/SUB/F3.DAT"]),
                ("header.bin", changed(m1, (f2 + 1) * raw + 14, 0x74), f2 + 1, f2 + 1,
                 "corrupt: header wrong, EDC and ECC do not match", ["/SUB/F2.DAT"]),
                ("cut.bin", m1[:(f2 + 1) * raw + 1000], f2 + 1, end - 1,
                 "unreadable: past the end of the recorded area", ["/SUB/F2.DAT", "/SUB/F3.DAT"])):
            with self.subTest(name):
                write(os.path.join(work, name), data)
                r = run("verify", os.path.join(work, name))
                self.assertEqual(r.returncode, 1)
                blocks = f"block {first}" if first == last else f"blocks {first}-{last}"
                self.assertIn("\n".join([f"{blocks}: {reason}"] + [f"  (Session1) {h}" for h in hits]), r.stdout)
                v = json.loads(run("verify", "--json", os.path.join(work, name)).stdout)
                self.assertEqual([(x["first"], x["last"], [h["path"] for h in x["hits"]]) for x in v["ranges"]],
                                 [(first, last, hits)])
        # The map of the cut image: 64 cells of 9 pixels a row with a pixel between, green up to the cut, red on.
        png = os.path.join(work, "cut.png")
        run("verify", "--map", png, os.path.join(work, "cut.bin"))
        data = read(png)
        width, height = struct.unpack(">II", data[16:24])
        rows = (end + 63) // 64
        self.assertEqual((data[:8], width, height), (b"\x89PNG\r\n\x1a\n", 641, rows * 10 + 1))
        pixels = zlib.decompress(data[41:41 + struct.unpack(">I", data[33:37])[0]])
        colour = lambda cell: pixels[(cell // 64 * 10 + 5) * (width * 3 + 1) + 1 + (cell % 64 * 10 + 5) * 3:][:3]
        self.assertEqual((colour(0), colour(f2), colour(f2 + 1), colour(end - 1)),
                         (b"\x43\xa0\x47", b"\x43\xa0\x47", b"\xd3\x2f\x2f", b"\xd3\x2f\x2f"))


class Names(CkvdCase):
    """Names in many scripts on discs genisoimage and xorriso make: as the disc records them, on the command
    line and in the files get -r writes; the report keeps its Shift-JIS forms."""

    NAMES = ["Dvořák – Symphonie Nr. 9 „Aus der Neuen Welt“.wma", "Große Übung.mp3", "café.txt", "cafe.txt",
             "¥100.txt", "한국어 노래.mp3", "日本語の歌.mp3", "emoji 🎵.txt", "Ünïcödé Façade – œuvre très longue/x.txt",
             "Ελληνικά/τραγούδι.mp3", "a¥b/x.txt", "€uro.txt", "①circled.txt", "～wave.txt", "简体中文.txt", "音楽.txt",
             "a directory of ISO 9660-1999/a long name; with.punctuation.txt"]
    NOROCK = ("-read_fs", "norock", "-joliet_map", "stripped")  # xorriso reading the Joliet tree

    @classmethod
    def setUpClass(cls):
        cls.dir, src = fresh("names"), fresh("names", "src")
        for i, name in enumerate(cls.NAMES):
            write(os.path.join(src, name), f"file {i}\n")
        cls.joliet, cls.level4, cls.rr, cls.xorriso = (os.path.join(cls.dir, n) for n in
                                                       ("joliet.iso", "level4.iso", "rr.iso", "xorriso.iso"))
        for image, options in ((cls.joliet, ["-J", "-R", "-joliet-long"]), (cls.level4, ["-iso-level", "4"]),
                               (cls.rr, ["-R"])):
            tool("genisoimage", "-quiet", *options, "-o", image, src)
        tool("xorriso", "-as", "mkisofs", "-quiet", "-J", "-R", "-joliet-long", "-o", cls.xorriso, src)

    def test_names_as_the_disc_records_them(self):
        # A disc with Rock Ridge is shown in its Rock Ridge names, as Linux mounts it and xorriso reads it,
        # whether or not it has Joliet too (whose names genisoimage cuts at 103 characters and where a
        # character beyond the BMP cuts the name: "emoji "). The Joliet name and the primary identifier stand
        # beside each name that differs, as isoinfo -J and isoinfo list them.
        for image in (self.joliet, self.rr, self.xorriso):
            self.assertEqual(ckvd_paths(image), xorriso_paths(image))
        self.assertIn("/emoji 🎵.txt", ckvd_paths(self.joliet))
        forms = {e["path"]: (e.get("joliet", e["name"]), e.get("identifier", e["name"])) for e in entries(self.joliet)}
        self.assertEqual({p: f[0] for p, f in forms.items()}.get("/emoji 🎵.txt"), "emoji ")
        joliet = {p.rsplit("/", 1)[1] for p in xorriso_paths(self.joliet, *self.NOROCK)}
        primary = {p.rsplit("/", 1)[1] for p in tool("isoinfo", "-f", "-i", self.joliet).splitlines()}
        self.assertEqual(({f[0] for f in forms.values()}, {f[1] for f in forms.values()}), (joliet, primary))
        # Typed paths reach an entry in any of the three forms.
        dest = os.path.join(self.dir, "typed")
        for typed in ("/emoji 🎵.txt", "/emoji ", "/" + next(f[1] for p, f in forms.items() if p == "/emoji 🎵.txt")):
            ok("get", self.joliet, typed, dest)
            self.assertEqual(read(dest), b"file 7\n", typed)
        # ISO 9660:1999 records UTF-8 bytes as names: isoinfo prints them as they stand (xorriso maps them).
        self.assertEqual(listing(self.level4)[0], isoinfo_listing("-i", self.level4))

    def test_a_pair_of_utf16_surrogates_is_one_character(self):
        # xorriso writes "_" for a character its Joliet cannot hold; patched into a surrogate pair it is the
        # emoji again (the identifier keeps its length).
        # A lone surrogate is a character that cannot be read, not the end of the name.
        recorded, patched = "emoji _.txt".encode("utf-16-be"), os.path.join(self.dir, "surrogates.iso")
        for name, listed in (("emoji🎵.txt", "emoji🎵.txt"), ("emoji\ud83c_.txt", "emoji\ufffd_.txt")):
            patch(self.xorriso, recorded, name.encode("utf-16-be", "surrogatepass"), patched)
            self.assertIn(listed, {e.get("joliet") for e in entries(patched)})

    def test_extraction_equals_xorriso_name_for_name(self):
        for image in (self.joliet, self.rr):
            theirs, ours = os.path.join(fresh("names", "copies"), "xorriso"), os.path.join(self.dir, "copies", "ours")
            xorriso_extract(image, theirs)
            self.assertQuiet("get", "-r", image, "/", ours)
            mine = {k: v[0::2] if v[0] == "F" else v[0] for k, v in local_tree(ours).items()}
            self.assertEqual(mine, {k: v[0::2] if v[0] == "F" else v[0] for k, v in local_tree(theirs).items()})
            self.assertEqual(len([k for k in mine if mine[k][0] == "F"]), len(self.NAMES))

    def test_typed_names_and_the_report(self):
        dest = os.path.join(self.dir, "one")
        for typed, content in (("/café.txt", b"file 2\n"),  # as listed
                               ("/cafe\u0301.txt", b"file 2\n"),  # decomposed, as some keyboards give it
                               ("/cafe.txt", b"file 3\n"),  # the other file, not the folded form of the first
                               # the folded form earlier versions printed
                               ("/Unicode Facade ? ?uvre tres longue/x.txt", b"file 8\n")):
            ok("get", self.joliet, typed, dest)
            self.assertEqual(read(dest), content, typed)
        forms = {e["name"]: e.get("report_name") for e in entries(self.joliet)}
        self.assertEqual(forms["Dvořák – Symphonie Nr. 9 „Aus der Neuen Welt“.wma"],
                         "Dvo?ak ? Symphonie Nr. 9 ?Aus der Neuen Welt“.wma")
        self.assertEqual((forms["cafe.txt"], forms["日本語の歌.mp3"]), (None, None))
        # A character with no JIS X 0208 code (or ASCII) is a "?" and the name goes on.
        jis = lambda c: c if len(c.encode("shift_jis", "replace")) == 2 or ord(c) < 128 else "?"
        for name in ("€uro.txt", "①circled.txt", "～wave.txt", "简体中文.txt", "한국어 노래.mp3", "Ελληνικά"):
            self.assertEqual(forms[name], "".join(map(jis, name)))
        self.assertIsNone(forms["音楽.txt"])
        rr = {e["name"]: e.get("identifier") for e in entries(self.rr)}
        self.assertEqual(rr["Große Übung.mp3"], "GRO__E__.MP3;1")  # as isoinfo -f lists it
        # The report writes the Shift-JIS forms; the closing quote is JIS X 0208 row 1 cell 40.
        report = os.path.join(self.dir, "report.csv")
        ok("report", self.joliet, "-o", report)
        self.assertIn(b",Dvo?ak ? Symphonie Nr. 9 ?Aus der Neuen Welt\x81g.wma,", read(report))
        self.assertIn(b",GroBe Ubung.mp3,", read(report))


if __name__ == "__main__":
    main()
