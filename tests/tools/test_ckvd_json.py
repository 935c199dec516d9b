#!/usr/bin/env python3
"""ckvd's --json against its text form, field by field, on the demo discs; --help and usage exit codes;
get -r of the demo's second session against xorriso's extraction of the same session; a damaged image.

usage: test_ckvd_json.py CKVD WORKDIR   (CKVD_DEMO_DIR names the demo discs)
"""
import datetime
import json
import os
import re
import shutil
import subprocess
import sys
import unittest

CKVD, WORK = sys.argv[1], sys.argv[2]
DEMO = os.environ["CKVD_DEMO_DIR"]
os.makedirs(WORK, exist_ok=True)


def run(*args, check=True):
    r = subprocess.run([CKVD, *args], capture_output=True, text=True)
    if check and r.returncode != 0:
        raise AssertionError(f"ckvd {' '.join(args)} exited {r.returncode}: {r.stderr}")
    return r


def both(*args):
    """The text form's lines and the parsed --json document of one command."""
    text = run(*args).stdout.splitlines()
    doc = json.loads(run(*args, "--json").stdout)
    return text, doc


class Json(unittest.TestCase):
    def test_drives(self):
        text, doc = both("drives", "--demo")
        rows = [l for l in text if not l.startswith("#")]
        self.assertEqual(len(rows), len(doc["drives"]))
        for line, d in zip(rows, doc["drives"]):
            m = re.fullmatch(r'(\d+)  (\d+):(\d+)  "(.*)"  "(.*)"  (\S+)  (ready|not-ready)', line)
            self.assertIsNotNone(m, line)
            self.assertEqual((int(m[1]), int(m[2]), int(m[3]), m[4], m[5], m[6], m[7] == "ready"),
                             (d["index"], d["host_adapter"], d["target"], d["vendor"], d["product"], d["path"],
                              d["ready"]))
        self.assertTrue(doc["drives"][0]["path"].endswith("demo-data.cue"))

    def test_toc(self):
        for drive in ("demo", "demo-audio"):
            text, doc = both("toc", drive)
            lines = iter(text)
            for s in doc["sessions"]:
                self.assertEqual(next(lines).split(), ["session", str(s["session"]), s["type"]] + [
                    str(s[k]) for k in ("last_block", "block_length", "lead_in", "lead_out", "next_program_area")])
                for t in s["tracks"]:
                    self.assertEqual(next(lines).split(), [str(t["session"]), str(t["track"]), t["type"]] + [
                        str(t[k]) for k in ("address", "size", "pvd_lbn")])
            self.assertIsNone(next(lines, None))
        self.assertEqual([s["type"] for s in doc["sessions"]], ["Audio"])

    def test_ls(self):
        text, doc = both("ls", "demo")
        lines = iter(text)
        entries = 0
        for s in doc["sessions"]:
            self.assertEqual(next(lines).rstrip(), f"(Session{s['session']}) {s['volume']}".rstrip())
            for e in s["entries"]:
                m = re.fullmatch(r"([DF])  (\d+)  (\d+)  (\S+ \S+)  (.*)", next(lines))
                self.assertEqual((m[1], int(m[2]), int(m[3]), m[5]), (e["type"], e["lbn"], e["size"], e["path"]))
                self.assertEqual(e["path"], e["directory"].rstrip("/") + "/" + e["name"])
                if e["type"] == "F":
                    # The text shows the recorded time; the JSON adds the recorded GMT offset.
                    self.assertEqual(e["date"][:19], m[4].replace(" ", "T"))
                    self.assertRegex(e["date"], r"[+-]\d\d:\d\d$")
                else:
                    self.assertIsNone(e["date"])
                entries += 1
        self.assertIsNone(next(lines, None))
        kinds = {e["path"]: e["kind"] for s in doc["sessions"] for e in s["entries"]}
        self.assertEqual(kinds["/音楽/アルバム 一/01 さくら.mp3"], 4)
        self.assertEqual(kinds["/CONTENTS.LMX"], 128)
        self.assertEqual(kinds["/README.TXT"], 2048)

    def test_info(self):
        files = ["/音楽/アルバム 一/01 さくら.mp3", "/音楽/アルバム 二/ボーナス/Evening.wma", "/音楽/アルバム 二/波の音.wav"]
        for path in files:
            text, doc = both("info", "demo", path)
            (f,) = doc["files"]
            self.assertEqual([l["label"] + (": " + l["value"] if l["value"] else ":") for l in f["fields"]], text)
            # The last session holding the path: the second, whose tree took in the first one's files.
            self.assertEqual((f["path"], f["session"]), (path, 2))
            self.assertEqual(f["directory"], path.rsplit("/", 1)[0])
        wav = {l["label"]: l for l in f["fields"]}
        self.assertEqual((f["analyzer"], wav["Sampling Freq."]["number"], wav["Format"]["number"]), ("WAV", 44100, 1))
        # A file no analyzer takes: its error in the document, status 1.
        r = run("info", "--json", "demo", files[0], "/README.TXT", check=False)
        self.assertEqual(r.returncode, 1)
        doc = json.loads(r.stdout)
        self.assertEqual(doc["files"][1], {"path": "/README.TXT", "error": "This format isn't being supported."})

    def test_nav(self):
        for name in ("CONTENTS", "MENU", "TEXT", "PLAY0001", "LSN"):
            text, doc = both("nav", "demo", f"/{name}.LMX")
            out = [doc["viewer"]]
            for i, s in enumerate(doc["sections"]):
                if i:
                    out.append("")
                if s["title"]:
                    out.append(s["title"])
                if s["type"] == "fields":
                    out += [f["label"] + ": " + f["value"] for f in s["fields"]]
                elif s["type"] == "lines":
                    out += s["lines"]
                elif s["type"] == "list":
                    out.append("\t".join(s["columns"]))
                    for row in s["rows"]:
                        out.append("\t".join("" if c is None else c if isinstance(c, str) else "\0" for c in row))
                else:
                    def walk(items, depth):
                        for it in items:
                            out.append("  " * depth + it["text"])
                            walk(it["children"], depth + 1)
                    walk(s["items"], 0)
            # Numbers stand for their cells: the text shows them as D(0xH).
            self.assertEqual(len(out), len(text))
            for mine, theirs in zip(out, text):
                self.assertRegex(theirs, "^" + re.escape(mine).replace("\0", r"-?\d+\(0x[0-9A-F]+\)") + "$")
        lsn = doc["sections"][1]
        self.assertEqual(lsn["columns"], ["LSN for CID", "File Size for CID"])
        ls = json.loads(run("ls", "--json", "--session", "2", "demo").stdout)
        sectors = {e["path"]: (e["lbn"], e["size"]) for e in ls["sessions"][0]["entries"]}
        self.assertEqual(tuple(lsn["rows"][0]), sectors["/PLAY0001.LMX"])


class Usage(unittest.TestCase):
    def test_help_and_exit_codes(self):
        r = run("--help")
        for command in ("drives", "toc", "ls", "info", "get", "nav", "report"):
            self.assertIn(f"ckvd {command} ", r.stdout)
        self.assertEqual(r.stderr, "")
        for args in (["ls", "--help"], ["help", "get"], ["get", "-r", "--help"]):
            r = run(*args)
            self.assertTrue(r.stdout.startswith("usage: ckvd " + args[-1 if args[0] == "help" else 0]), r.stdout)
        self.assertIn("get -r", run("get", "--help").stdout)
        for args in ([], ["frobnicate"], ["ls"], ["get", "-r", "demo", "/DOCS"], ["report", "--json", "demo", "-o", "x"],
                     ["ls", "--session", "0", "demo"], ["help", "frobnicate"]):
            r = run(*args, check=False)
            self.assertEqual((r.returncode, r.stdout), (2, ""), args)
            self.assertIn("usage: ", r.stderr)

    def test_failures(self):
        bad = os.path.join(WORK, "bad.cue")
        with open(bad, "w") as f:
            f.write('FILE "nothing.bin" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 xx:yy:zz\n')
        for args, named in ((["ls", os.path.join(WORK, "missing.cue")], "missing.cue"), (["toc", bad], "bad.cue"),
                            (["get", "demo", "/NO/SUCH", os.path.join(WORK, "x")], "/NO/SUCH"),
                            (["get", "-r", "demo", "/README.TXT", os.path.join(WORK, "x")], "")):
            r = run(*args, check=False)
            self.assertEqual(r.returncode, 1, args)
            self.assertIn(named, r.stderr)


class TreeCopy(unittest.TestCase):
    def test_second_session_against_xorriso(self):
        ours, theirs = os.path.join(WORK, "ours"), os.path.join(WORK, "xorriso")
        for d in (ours, theirs):
            shutil.rmtree(d, ignore_errors=True)
        run("get", "-r", "--session", "2", "demo", "/", ours)
        # xorriso reads a session from one file with the sessions at their block addresses; the second
        # session's tree holds the first session's files too.
        start = json.loads(run("toc", "--json", "demo").stdout)["sessions"][1]["tracks"][0]["address"]
        disc = os.path.join(WORK, "demo-disc.img")
        shutil.copy(os.path.join(DEMO, "demo-data.bin"), disc)
        with open(os.path.join(DEMO, "demo-data-s2.bin"), "rb") as s2, open(disc, "r+b") as f:
            f.seek(start * 2048)
            f.write(s2.read())
        subprocess.run(["xorriso", "-osirrox", "on", "-indev", disc, "-load", "sbsector", str(start),
                        "-extract", "/", theirs], check=True, capture_output=True)
        mine = sorted(os.path.relpath(os.path.join(d, f), ours) for d, _, fs in os.walk(ours) for f in fs)
        peer = sorted(os.path.relpath(os.path.join(d, f), theirs) for d, _, fs in os.walk(theirs) for f in fs)
        self.assertEqual(mine, peer)
        self.assertIn("追加/動画/テスト.avi", mine)
        ls = json.loads(run("ls", "--json", "--session", "2", "demo").stdout)["sessions"][0]["entries"]
        dates = {e["path"]: e["date"] for e in ls}
        for rel in mine:
            with open(os.path.join(ours, rel), "rb") as a, open(os.path.join(theirs, rel), "rb") as b:
                self.assertEqual(a.read(), b.read(), rel)
            recorded = datetime.datetime.fromisoformat(dates["/" + rel]).timestamp()
            self.assertEqual(os.stat(os.path.join(ours, rel)).st_mtime, recorded, rel)
            self.assertEqual(os.stat(os.path.join(ours, rel)).st_mtime, os.stat(os.path.join(theirs, rel)).st_mtime,
                             rel)

    def test_damaged_image_keeps_the_blocks_before_the_first_unreadable_one(self):
        tree = os.path.join(WORK, "damaged-tree")
        shutil.rmtree(tree, ignore_errors=True)
        os.makedirs(tree)
        data = bytes(range(256)) * 800  # 100 blocks
        with open(os.path.join(tree, "BIG.BIN"), "wb") as f:
            f.write(data)
        iso = os.path.join(WORK, "damaged.iso")
        subprocess.run(["genisoimage", "-quiet", "-J", "-o", iso, tree], check=True)
        (entry,) = [e for e in json.loads(run("ls", "--json", iso).stdout)["sessions"][0]["entries"]
                    if e["name"] == "BIG.BIN"]
        os.truncate(iso, (entry["lbn"] + 45) * 2048)  # the image ends in the file's block 45
        out = os.path.join(WORK, "big.out")
        r = run("get", iso, "/BIG.BIN", out, check=False)
        self.assertEqual(r.returncode, 1)
        self.assertIn(f"at block {entry['lbn'] + 45} ", r.stderr)
        with open(out, "rb") as f:
            self.assertEqual(f.read(), data[:45 * 2048])
        r = run("get", "-r", iso, "/", os.path.join(WORK, "damaged-copy"), check=False)
        self.assertEqual(r.returncode, 1)
        self.assertIn(f"at block {entry['lbn'] + 45} ", r.stderr)

    def test_names_no_local_file_may_have_are_left_out(self):
        # Joliet names patched in genisoimage's image (UCS-2, big-endian, so only the Joliet records match):
        # QQ becomes "..", ZZZ2.TXT a second ZZZ1.TXT.
        tree = os.path.join(WORK, "names-tree")
        shutil.rmtree(tree, ignore_errors=True)
        os.makedirs(tree)
        for name, text in (("QQ", b"up"), ("ZZZ1.TXT", b"one"), ("ZZZ2.TXT", b"two"), ("KEEP.TXT", b"kept")):
            with open(os.path.join(tree, name), "wb") as f:
                f.write(text)
        iso = os.path.join(WORK, "names.iso")
        subprocess.run(["genisoimage", "-quiet", "-J", "-o", iso, tree], check=True)
        with open(iso, "rb") as f:
            image = f.read()
        ucs2 = lambda text: text.encode("utf-16-be")
        for old, new in (("QQ", ".."), ("ZZZ2.TXT", "ZZZ1.TXT")):
            self.assertEqual(image.count(ucs2(old)), 1, old)
            image = image.replace(ucs2(old), ucs2(new))
        with open(iso, "wb") as f:
            f.write(image)
        dest = os.path.join(WORK, "names-copy", "inside")
        shutil.rmtree(os.path.dirname(dest), ignore_errors=True)
        r = run("get", "-r", iso, "/", dest, check=False)
        self.assertEqual(r.returncode, 1)
        self.assertIn('the name ".." cannot be', r.stderr)
        self.assertIn('a second entry named "ZZZ1.TXT"', r.stderr)
        self.assertEqual(sorted(os.listdir(os.path.dirname(dest))), ["inside"])  # nothing written above DEST
        self.assertEqual(sorted(os.listdir(dest)), ["KEEP.TXT", "ZZZ1.TXT"])
        with open(os.path.join(dest, "ZZZ1.TXT"), "rb") as f:
            self.assertEqual(f.read(), b"one")


class LinksInTheDestination(unittest.TestCase):
    """Links already in DEST (a download or shared folder) are replaced, never written through."""

    def snapshot(self, top):
        files = {}
        for d, dirs, fs in os.walk(top):
            for f in fs + [x for x in dirs if os.path.islink(os.path.join(d, x))]:
                p = os.path.join(d, f)
                files[os.path.relpath(p, top)] = os.readlink(p) if os.path.islink(p) else open(p, "rb").read()
        return files

    def test_links_to_files_and_folders_outside(self):
        top = os.path.join(WORK, "links")
        shutil.rmtree(top, ignore_errors=True)
        outside, dest, clean = (os.path.join(top, d) for d in ("outside", "dest", "clean"))
        os.makedirs(os.path.join(outside, "docs"))
        for name, text in (("victim.txt", b"precious"), ("chained.txt", b"also precious"),
                           ("docs/keep.txt", b"keep")):
            with open(os.path.join(outside, name), "wb") as f:
                f.write(text)
        os.makedirs(os.path.join(dest, "音楽"))
        os.symlink(os.path.join(outside, "victim.txt"), os.path.join(dest, "README.TXT"))
        os.symlink(os.path.join(outside, "docs"), os.path.join(dest, "DOCS"))
        os.symlink(os.path.join(outside, "chained.txt"), os.path.join(top, "hop"))
        os.symlink(os.path.join(top, "hop"), os.path.join(dest, "音楽", "アルバム 一"))  # a chain to a file
        before = self.snapshot(outside)
        run("get", "-r", "--session", "1", "demo", "/", dest)
        run("get", "-r", "--session", "1", "demo", "/", clean)
        self.assertEqual(self.snapshot(outside), before)
        self.assertEqual(self.snapshot(dest), self.snapshot(clean))
        self.assertFalse(any(os.path.islink(os.path.join(d, x)) for d, ds, fs in os.walk(dest) for x in ds + fs))


class ReportNumbers(unittest.TestCase):
    def test_twenty_reports_at_once_take_twenty_numbers(self):
        config = os.path.join(WORK, "numbers")
        shutil.rmtree(config, ignore_errors=True)
        os.makedirs(os.path.join(config, "ckvd-explorer"))
        env = dict(os.environ, XDG_CONFIG_HOME=config)
        outs = [os.path.join(config, f"r{i}.csv") for i in range(20)]
        procs = [subprocess.Popen([CKVD, "report", "demo", "-o", o], env=env, stderr=subprocess.PIPE) for o in outs]
        for p in procs:
            self.assertEqual(p.wait(), 0, p.stderr.read())
            p.stderr.close()
        numbers = []
        for o in outs:
            with open(o, "rb") as f:
                numbers.append(f.read().split(b"\r\n")[4].split(b",")[0].decode())
        self.assertEqual(sorted(numbers), [f"MA{n:06d}" for n in range(20)])
        with open(os.path.join(config, "ckvd-explorer", "profile.ini")) as f:
            self.assertIn("DISCMNGRNO=20\n", f.read())
        # A report that cannot be written gives its number back.
        r = subprocess.run([CKVD, "report", "demo", "-o", "/nonexistent-dir/x.csv"], env=env, capture_output=True)
        self.assertEqual(r.returncode, 1)
        with open(os.path.join(config, "ckvd-explorer", "profile.ini")) as f:
            self.assertIn("DISCMNGRNO=20\n", f.read())


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
