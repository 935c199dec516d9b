#!/usr/bin/env python3
"""ckvd check on discs genisoimage makes from lame, sox, ffmpeg, id3v2 and eyeD3 files: every finding and the
playback order typed from the rules players follow (a folder's own files first, then its subfolders, each
in the disc's order; empty folders skipped unless the profile counts them), profile files with bad keys.
usage: test_ckvd_check.py CKVD WORKDIR"""
import json
import os
import re
import shutil

from ckvdtest import CkvdCase, fresh, main, read, run, tool, write

MEDIA = fresh("check-media")


def media(name, *make):
    """A media file made once by the command `make` (OUT stands for its path)."""
    path = os.path.join(MEDIA, name)
    if not os.path.exists(path):
        tool(*[path if a == "OUT" else a for a in make])
    return path


def disc(name, files, *options):
    """An image of `files` ({path: source file or text}) made by genisoimage -J."""
    src = fresh("check", name)
    for path, source in files.items():
        if source is None:
            os.makedirs(os.path.join(src, path), exist_ok=True)
        elif os.path.exists(source):
            os.makedirs(os.path.dirname(os.path.join(src, path)), exist_ok=True)
            shutil.copy(source, os.path.join(src, path))
        else:
            write(os.path.join(src, path), source)
    image = os.path.join(os.path.dirname(src), name + ".iso")
    tool("genisoimage", "-quiet", "-J", *options, "-input-charset", "utf-8", "-o", image, src)
    return image


WAV = media("tone.wav", "sox", "-n", "-r", "44100", "-c", "2", "-b", "16", "OUT", "synth", "1", "sine", "440")
WAV8K = media("tone8k.wav", "sox", "-n", "-r", "8000", "-c", "1", "-b", "16", "OUT", "synth", "1", "sine", "440")
MP3 = media("tone.mp3", "lame", "--quiet", "-b", "128", WAV, "OUT")
MP3_8K = media("low.mp3", "lame", "--quiet", "-b", "8", WAV8K, "OUT")  # MPEG-2.5 at 8 kHz
WMA = media("tone.wma", "ffmpeg", "-loglevel", "error", "-i", WAV, "-c:a", "wmav2", "-f", "asf", "OUT")


def tagged(name, *command):
    path = os.path.join(MEDIA, name)
    shutil.copy(MP3, path)
    tool(*command, path)
    return path


# The ASF header's Header Extension object (5FBF03B5-A92E-11CF-8EE3-00C00C205365) turned into a Content
# Encryption object (2211B3FB-BD23-11D2-B4B7-00A0C955FC6E): a protected file, as far as a player can tell.
DRM = os.path.join(MEDIA, "drm.wma")
write(DRM, open(WMA, "rb").read().replace(bytes.fromhex("B503BF5F2EA9CF118EE300C00C205365"),
                                          bytes.fromhex("FBB3112223BDD211B4B700A0C955FC6E")))

V23 = tagged("v23.mp3", "id3v2", "--id3v2-only", "-t", "Title", "-a", "Artist")
V24 = tagged("v24.mp3", "eyeD3", "--quiet", "--to-v2.4", "-t", "Title", "-a", "Artist")
KANA = tagged("kana.mp3", "id3v2", "--id3v2-only", "-t", "さくら", "-a", "Artist")


def check(*args):
    r = run("check", "--json", "--order", *args)
    return r.returncode, json.loads(r.stdout) if r.stdout else None


class Check(CkvdCase):
    def test_findings_of_a_disc_for_the_car(self):
        long_name = "L" * 66 + ".mp3"  # 70 characters, which Joliet holds with -joliet-long
        files = {"README.TXT": "x", "MUSIC/A.mp3": V23, "MUSIC/NOISE.MP3": WAV, "MUSIC/TEXT.MP3": "not audio\n",
                 "MUSIC/LOW.MP3": MP3_8K, "MUSIC/V24.MP3": V24, "MUSIC/SONG.WMA": WMA, "MUSIC/FAKE.WMA": MP3, "MUSIC/DRM.WMA": DRM,
                 "MUSIC/KANA.MP3": KANA, "MUSIC/" + long_name: MP3,
                 "/".join(f"L{i}" for i in range(1, 9)) + "/DEEP.MP3": MP3}  # L8 is the ninth level
        image = disc("car", files, "-R", "-joliet-long")  # -R: the Joliet tree keeps level 9
        code, c = check(image)
        self.assertEqual(code, 1)
        found = {(f["severity"], f["rule"], f["path"], f["folder"], f["track"]) for f in c["findings"]}
        deep = "/" + "/".join(f"L{i}" for i in range(1, 9))
        self.assertEqual(found, {
            ("will not play", "wma_drm", "/MUSIC/DRM.WMA", 1, 2),
            ("will not play", "extensions", "/MUSIC/FAKE.WMA", 1, 3),
            ("plays but shows wrong", "tag_charset", "/MUSIC/KANA.MP3", 1, 4),
            ("plays but shows wrong", "max_name_length", "/MUSIC/" + long_name, 1, 5),
            ("will not play", "sampling", "/MUSIC/LOW.MP3", 1, 6),
            ("will not play", "extensions", "/MUSIC/NOISE.MP3", 1, 7),
            ("will not play", "extensions", "/MUSIC/TEXT.MP3", 1, 9),
            ("plays but shows wrong", "id3_versions", "/MUSIC/V24.MP3", 1, 10),
            ("will not play", "max_depth", deep, 0, 0)})
        texts = {f["path"]: f["text"] for f in c["findings"]}
        self.assertIn("a WAV file, named .mp3: the player plays it as noise", texts["/MUSIC/NOISE.MP3"])
        self.assertEqual(texts["/MUSIC/FAKE.WMA"], "an MPEG audio file, named .wma")
        self.assertEqual(texts["/MUSIC/KANA.MP3"], 'a tag text holds "さ" (U+3055), which the player cannot show (latin1)')
        self.assertEqual(texts["/MUSIC/LOW.MP3"], "8000 Hz, outside 16000-48000")
        self.assertEqual(texts["/MUSIC/V24.MP3"], "ID3v2.4 tag, which the player does not show")
        # Every track the player numbers in the folder in the disc's record order, the ones that do not play
        # marked: a player counts them before it fails on them.
        fails = {path for severity, _, path, _, _ in found if severity == "will not play"}
        names = ["A.mp3", "DRM.WMA", "FAKE.WMA", "KANA.MP3", long_name, "LOW.MP3", "NOISE.MP3", "SONG.WMA",
                 "TEXT.MP3", "V24.MP3"]
        self.assertEqual([(t["folder"], t["track"], t["path"], t["plays"]) for t in c["order"]],
                         [(1, n + 1, "/MUSIC/" + name, "/MUSIC/" + name not in fails) for n, name in enumerate(names)])
        self.assertIn("  /MUSIC/NOISE.MP3  (will not play)\n", run("check", "--order", image).stdout)
        self.assertEqual((c["folders"], c["files"]), (10, 12))

        # A profile that relaxes every limit the disc breaks leaves only the files that are not what they say.
        loose = os.path.join(MEDIA, "relaxed.ini")
        write(loose, "max_depth = 0\nmax_name_length = 0\ntag_charset = unicode\nsampling = 8000-48000\n"
                     "id3_versions = 1, 2.2, 2.3, 2.4\nwma_drm = yes\n")
        code, c = check("--profile", loose, os.path.join(os.path.dirname(MEDIA), "check", "car.iso"))
        self.assertEqual((code, sorted(f["path"] for f in c["findings"])),
                         (1, ["/MUSIC/FAKE.WMA", "/MUSIC/NOISE.MP3", "/MUSIC/TEXT.MP3"]))
        self.assertEqual([t["path"] for t in c["order"] if t["plays"]],  # the seven other MUSIC files and DEEP.MP3
                         [deep + "/DEEP.MP3"] + ["/MUSIC/" + n for n in names if n not in ("FAKE.WMA", "NOISE.MP3", "TEXT.MP3")])

    def test_playback_order_of_a_forty_file_tree(self):
        tree = {"01.mp3": MP3, "02.mp3": MP3, "B": None, "C/CA": None}
        for folder, count in (("A", 6), ("A/AA", 6), ("A/AB", 6), ("B/BA", 6), ("C", 6), ("C/CA/CAA", 8)):
            tree.update({f"{folder}/{folder[-2:]}{n}.mp3": MP3 for n in range(1, count + 1)})
        image = disc("forty", tree)
        # Folder by folder as a player numbers them: root 1, A 2, AA 3, AB 4, (B empty) BA 5, C 6, (CA empty) CAA 7.
        numbers = {"": 1, "A": 2, "A/AA": 3, "A/AB": 4, "B/BA": 5, "C": 6, "C/CA/CAA": 7}
        expected = [(1, 1, "/01.mp3"), (1, 2, "/02.mp3")] + [
            (numbers[f], n, f"/{f}/{f[-2:]}{n}.mp3") for f, count in
            (("A", 6), ("A/AA", 6), ("A/AB", 6), ("B/BA", 6), ("C", 6), ("C/CA/CAA", 8)) for n in range(1, count + 1)]
        code, c = check(image)
        self.assertEqual((code, [(t["folder"], t["track"], t["path"]) for t in c["order"]]), (0, expected))
        # Counting empty folders (B 5, BA 6, C 7, CA 8, CAA 9) and tracks over the disc.
        profile = os.path.join(MEDIA, "count.ini")
        write(profile, "empty_folders = count\ntrack_numbers = disc\n")
        numbers.update({"B/BA": 6, "C": 7, "C/CA/CAA": 9})
        code, c = check("--profile", profile, image)
        self.assertEqual([(t["folder"], t["track"]) for t in c["order"]],
                         [(numbers[os.path.dirname(p)[1:]], i + 1) for i, (_, _, p) in enumerate(expected)])

    def test_recording_order_against_name_order(self):
        """genisoimage -sort lays the files' data out against their names: a player of recording order
        (order = recording, the default) plays them as they lie, one of name order by name."""
        sort = os.path.join(MEDIA, "weights.txt")
        src = os.path.join(os.path.dirname(MEDIA), "check", "sorted")
        write(sort, "".join(f"{src}/ALBUM/{name} {w}\n" for name, w in (("C.mp3", 30), ("A.mp3", 20), ("B.mp3", 10))))
        image = disc("sorted", {"ALBUM/A.mp3": MP3, "ALBUM/B.mp3": MP3, "ALBUM/C.mp3": MP3}, "-sort", sort)
        by_name = os.path.join(MEDIA, "by-name.ini")
        write(by_name, "order = name\n")
        for args, names in (([], "CAB"), (["--profile", by_name], "ABC")):
            code, c = check(*args, image)
            self.assertEqual((code, [t["path"] for t in c["order"]]), (0, [f"/ALBUM/{n}.mp3" for n in names]))

    def test_folder_and_file_limits_and_a_profile_that_relaxes_them(self):
        many = disc("many", {f"D{k:03}/T{n}.mp3": MP3 for k in range(1, 301) for n in (1, 2)})
        code, c = check(many)
        # The root and D001..D254 are the 255 folders read; D255..D300 (folders 256 to 301) are not.
        past = [f for f in c["findings"] if f["rule"] == "max_folders"]
        self.assertEqual((code, c["folders"], c["files"], len(c["order"])), (1, 301, 600, 508))
        self.assertEqual([f["path"] for f in past], [f"/D{k:03}" for k in range(255, 301)])
        wide = disc("wide", {f"ALL/T{n:03}.mp3": MP3 for n in range(1, 601)})
        code, c = check(wide)
        self.assertEqual([f["path"] for f in c["findings"]], [f"/ALL/T{n:03}.mp3" for n in range(513, 601)])
        loose = os.path.join(MEDIA, "loose.ini")
        write(loose, "[player]\n# no limits\nmax_folders = 0\nmax_files = 0\n")
        for image in (many, wide):
            code, c = check("--profile", loose, image)
            self.assertEqual((code, c["findings"], len(c["order"])), (0, [], 600))

    def test_each_player_reads_the_names_it_reads(self):
        # genisoimage -J at level 1: the primary names are 8.3 d-characters, the Joliet names as given.
        image = disc("names", {"二つ目のフォルダ/02 second song.mp3": MP3, "B二三四五六七八/a.mp3": MP3})
        primary = [p for p in tool("isoinfo", "-f", "-i", image).splitlines() if p.endswith(".MP3;1")]
        code, c = check("--profile", "iso9660-level1", image)
        self.assertEqual((code, c["findings"], sorted(t["path"] for t in c["order"])), (0, [], sorted(primary)))
        code, c = check(image)
        self.assertEqual(sorted(t["path"] for t in c["order"]),
                         ["/B二三四五六七八/a.mp3", "/二つ目のフォルダ/02 second song.mp3"])

    def test_profile_files_with_bad_keys_and_values_are_refused_by_file_line_and_key(self):
        image = disc("one", {"A.MP3": MP3})
        for text, message in (
                ("max_files = 512\ncolour = red\n", ":2: colour: no such key"),
                ("max_files = many\n", ':1: max_files: "many" is not a number from 0 (no limit) to 1000000'),
                ("bitrate = 320-8\n", ':1: bitrate: "320-8" is not MIN-MAX with 8 <= MIN <= MAX <= 448'),
                ("extensions = mp3, m p3\n", ':1: extensions: "m p3" is no extension'),
                ("wma_drm = maybe\n", ':1: wma_drm: "maybe" is not yes or no'),
                ("name = x\nbase = car-cd\n", ":2: base: must come before the other keys"),
                ("[other]\n", ":1: [other]: the only section is [player]"),
                ("max_depth = 8\nmax_depth = 9\n", ":2: max_depth: given twice")):
            with self.subTest(text):
                path = os.path.join(MEDIA, "bad.ini")
                write(path, text)
                self.assertFails(["check", "--profile", path, image], 2, path + message)
        self.assertFails(["check", "--profile", "no-such-player", image], 2, "no profile no-such-player")


    def test_navigation_pointing_at_the_wrong_sector(self):
        # ckvd-mknav's files for a tree, LSN.LMX filled from a first mastering, then CID 2 (the first audio file
        # after the one playlist) moved one sector on: the check names the file with isoinfo's extent.
        mknav = os.environ["CKVD_MKNAV"]
        src = fresh("check", "nav")
        os.makedirs(os.path.join(src, "MUSIC"))
        for name in ("A.mp3", "B.mp3"):
            shutil.copy(MP3, os.path.join(src, "MUSIC", name))
        image = os.path.join(os.path.dirname(src), "nav.iso")
        tool(mknav, "--name", "Nav", src)
        tool("genisoimage", "-quiet", "-J", "-r", "-o", image, src)
        tool(mknav, "--lsn", image, src)
        tool("genisoimage", "-quiet", "-J", "-r", "-o", image, src)
        self.assertEqual(check(image)[1]["findings"], [])
        listing = tool("isoinfo", "-l", "-J", "-i", image)
        extent = lambda name: int(re.search(r"\[\s*(\d+) \d+\]\s+" + re.escape(name) + r"\s*$", listing, re.M)[1])
        data = bytearray(read(image))
        at = extent("LSN.LMX") * 2048 + 0x1A + 8  # CID 2's sector
        data[at:at + 4] = (extent("A.mp3") + 1).to_bytes(4, "little")
        write(image, bytes(data))
        code, c = check(image)
        size = os.path.getsize(MP3)
        self.assertEqual((code, [(f["severity"], f["rule"], f["path"], f["text"]) for f in c["findings"]]),
                         (1, [("will not play", "navigation", "/MUSIC/A.mp3",
                               f"CID 2 points at sector {extent('A.mp3') + 1}, {size} bytes; the disc has the file "
                               f"at sector {extent('A.mp3')}, {size} bytes")]))


if __name__ == "__main__":
    main()
