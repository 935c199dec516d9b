#!/usr/bin/env python3
"""ckvd catalog: discs added and updated, searched for Japanese substrings and Latin text in any case, removed;
searches without case and diacritics in any script; a damaged or foreign file refused, a busy catalogue said to
be busy, a missing one not made by a search, two programs making a new one at once, a kill -9 in the middle of
an add leaving the catalogue as it was (SQLite's integrity check and the disc count), reports of the report test
discs and a stored report imported and found again, catalogues of earlier versions brought over, a damaged
block.
usage: test_ckvd_catalog.py CKVD WORKDIR"""
import hashlib
import json
import os
import re
import signal
import sqlite3
import subprocess
import time

from ckvdtest import CKVD, CkvdCase, fresh, main, ok, read, run, tool, write, xorriso_paths

HOME = fresh("catalog")
os.environ.update(XDG_DATA_HOME=os.path.join(HOME, "data"), XDG_CONFIG_HOME=os.path.join(HOME, "config"))
DB = os.path.join(HOME, "data", "ckvd-explorer", "catalogue.sqlite")
ASIDE = os.path.join(HOME, "aside.sqlite")  # where the discs of reports go that a test only reads


def catalog(*args):
    r = run("catalog", *args)
    return r.returncode, r.stdout, r.stderr


def found(text, db=None):
    where = ["--catalogue", db] if db else []
    return [(h["number"], h["session"], h["path"])
            for h in json.loads(run("catalog", "search", "--json", text, *where).stdout)]


def fold_disc():
    """A Joliet image (made once) of names with diacritics, Greek, a letter with a stroke and halfwidth kana."""
    image = os.path.join(HOME, "fold.iso")
    if not os.path.exists(image):
        src = fresh("catalog", "fold")
        for name in ("Žluťoučký.mp3", "Ελληνικά.txt", "Σοφός.txt", "Kün.txt", "Große Übung.txt", "Łódź.txt",
                     "ガメラ.txt", "ｶﾞﾒﾗ2.txt"):
            write(os.path.join(src, name), name)
        write(os.path.join(src, "Cafe\u0301", "Menu.txt"), "")  # a folder named in decomposed form
        tool("genisoimage", "-quiet", "-J", "-input-charset", "utf-8", "-V", "FOLD", "-o", image, src)
    return image


# Version 1 of the catalogue's tables as that version made them.
V1_SCHEMA = """
CREATE TABLE discs(
  id INTEGER PRIMARY KEY, number INTEGER NOT NULL UNIQUE, volume TEXT NOT NULL, sessions INTEGER NOT NULL,
  toc TEXT NOT NULL, disc_key TEXT NOT NULL, comment TEXT NOT NULL, source TEXT NOT NULL, added TEXT NOT NULL);
CREATE INDEX discs_key ON discs(disc_key);
CREATE TABLE entries(
  id INTEGER PRIMARY KEY, disc INTEGER NOT NULL REFERENCES discs(id) ON DELETE CASCADE, session INTEGER NOT NULL,
  path TEXT NOT NULL, name TEXT NOT NULL, type TEXT NOT NULL, lbn INTEGER NOT NULL, size INTEGER NOT NULL,
  date TEXT NOT NULL, title TEXT NOT NULL, artist TEXT NOT NULL, album TEXT NOT NULL, codec TEXT NOT NULL,
  bitrate INTEGER NOT NULL, sampling INTEGER NOT NULL, seconds INTEGER NOT NULL);
CREATE INDEX entries_disc ON entries(disc);
CREATE VIRTUAL TABLE entries_text USING fts5(
  path, title, artist, album, content='entries', content_rowid='id', tokenize='trigram', detail='none');
CREATE TABLE catalogue_info(key TEXT PRIMARY KEY, value TEXT NOT NULL);
INSERT INTO catalogue_info VALUES('application', 'ckvd-explorer disc catalogue');
"""


TITLES = {1: "ÉTÉ À ŁÓDŹ Ÿ", 2: "ΑΘΗΝΑ", 3: "МОСКВА ЁЖ", 4: "ＡＢＣ"}


class Catalog(CkvdCase):
    def assertBroughtOver(self, db, table, present):
        # The current schema version, with `table` there or gone.
        with sqlite3.connect(db) as c:
            self.assertEqual(c.execute("PRAGMA user_version").fetchone()[0], 5)
            self.assertEqual(c.execute("SELECT count(*) FROM sqlite_master WHERE name = ?", (table,)).fetchone()[0],
                             int(present), table)

    def test_add_update_search_and_remove(self):
        # New discs take the next management numbers from the profile, as reports do.
        profile = os.path.join(HOME, "config", "ckvd-explorer", "profile.ini")
        first = int(re.search(r"DISCMNGRNO=(\d+)", read(profile).decode())[1]) if os.path.exists(profile) else 0
        code, out, _ = catalog("add", "demo", "--comment", "Demo disc")
        self.assertEqual((code, out.split(" (")[0]), (0, f"added disc {first}"))
        self.assertEqual(catalog("add", "demo-audio")[0], 0)
        code, out, _ = catalog("add", "demo")  # the same disc again: updated under its number, comment kept
        self.assertEqual((code, out.split(" (")[0]), (0, f"updated disc {first}"))
        discs = json.loads(run("catalog", "list", "--json").stdout)
        self.assertEqual([(d["number"], d["volume"], d["comment"]) for d in discs],
                         [(first, "CKVD_DEMO_S2", "Demo disc"), (first + 1, "Audio CD", "")])
        mp3 = "/音楽/アルバム 一/01 さくら.mp3"
        # Two characters (below the index's three) and more, names and tag texts, Latin in any case.
        self.assertEqual(found("さく"), [(first, 1, mp3), (first, 2, mp3)])
        self.assertEqual(found("アルバム 一/01"), [(first, 1, mp3), (first, 2, mp3)])
        self.assertEqual(found("sakura"), [(first, 1, mp3), (first, 2, mp3)])  # the ID3 title "Sakura"
        self.assertEqual({p for _, _, p in found("MORNING")}, {"/音楽/アルバム 一/02 Morning.mp3"})
        self.assertEqual(found("Track03"), [(first + 1, 1, "/Track03.cda")])
        self.assertEqual(catalog("search", "no such thing")[0], 1)
        self.assertEqual(catalog("remove", str(first + 1))[0], 0)
        self.assertEqual([d["number"] for d in json.loads(run("catalog", "list", "--json").stdout)], [first])
        self.assertFails(["catalog", "remove", str(first + 1)], 1, f"no disc {first + 1} in the catalogue")

    def test_ls_without_the_disc(self):
        # A catalogued disc's tree is what ckvd ls prints of its image (whose paths xorriso reads alike): all of
        # it and below a nested folder, text and JSON. The JSON's fields the catalogue keeps are compared: not
        # the date's GMT offset, nor the other forms of a name (identifier, joliet, report_name).
        src = fresh("catalog", "browse")
        for path in ("日本語/歌/さくら.txt", "Žluťoučký kůň/a/b/c.txt", "Žluťoučký kůň/a/d.txt", "top.txt"):
            write(os.path.join(src, path), path)
        image, db = os.path.join(HOME, "browse.iso"), os.path.join(HOME, "browse.sqlite")
        tool("genisoimage", "-quiet", "-R", "-J", "-input-charset", "utf-8", "-V", "BROWSE", "-o", image, src)
        number = re.search(r"disc (\d+)", catalog("add", image, "--catalogue", db)[1])[1]
        keep = ("type", "lbn", "size", "kind", "name", "directory", "path")
        for folder in ([], ["/Žluťoučký kůň/a"], ["/日本語"]):
            listed = catalog("ls", number, *folder, "--catalogue", db)
            self.assertEqual(listed[:2], (0, ok("ls", image, *folder)), folder)
            prefix = folder[0] + "/" if folder else "/"
            self.assertEqual({line.split("  ")[-1] for line in listed[1].splitlines()[1:]},
                             {p for p in xorriso_paths(image) if p.startswith(prefix)})
            disc, cat = (json.loads(text)["sessions"] for text in (
                ok("ls", "--json", image, *folder), catalog("ls", number, *folder, "--json", "--catalogue", db)[1]))
            self.assertEqual([(s["session"], s["volume"], [({k: e[k] for k in keep}, e["date"][:19])
                                                           for e in s["entries"]]) for s in cat],
                             [(s["session"], s["volume"], [({k: e[k] for k in keep}, e["date"][:19])
                                                           for e in s["entries"]]) for s in disc])
        for args, needle in ((["/top.txt"], "/top.txt is not a directory"), (["/nothing"], "no entry /nothing"),
                             (["/日本語/歌/さくら.txt/x"], "no entry")):
            self.assertFails(["ls", image, *args], 1, needle)
            self.assertFails(["catalog", "ls", number, *args, "--catalogue", db], 1, needle)
        self.assertFails(["catalog", "ls", "99", "--catalogue", db], 1, "no disc 99 in the catalogue")

    def test_dupes_export_and_backup(self):
        db = os.path.join(HOME, "two.sqlite")
        song = os.path.join(HOME, "song.mp3")
        tool("sox", "-n", "-r", "44100", "-c", "2", "-b", "16", song + ".wav", "synth", "1", "sine", "440")
        tool("lame", "--quiet", "-b", "128", song + ".wav", song)
        tool("id3v2", "--id3v2-only", "-t", "海の歌", "-a", "Someone", song)
        for n, other in ((1, "ONE.TXT"), (2, "TWO.TXT"), (3, "ONE.TXT")):
            src = fresh("catalog", f"disc{n}")
            write(os.path.join(src, "SHARED.MP3"), read(song))
            if n < 3:
                write(os.path.join(src, "RENAMED.MP3" if n == 2 else "ORIGINAL.MP3"), read(song))
            write(os.path.join(src, other), other)
            tool("genisoimage", "-quiet", "-J", "-V", f"DISC{n}", "-o", os.path.join(HOME, f"disc{n}.iso"), src)
            self.assertEqual(catalog("add", os.path.join(HOME, f"disc{n}.iso"), "--number", str(10 + n),
                                     "--catalogue", db)[0], 0)
        size = os.path.getsize(song)
        # Every copy of the same bytes, under any name, the most wasted bytes first; then the same song.
        copies = [(11, "ORIGINAL.MP3"), (11, "SHARED.MP3"), (12, "RENAMED.MP3"), (12, "SHARED.MP3"),
                  (13, "SHARED.MP3")]
        lines = [f"  0000{n}  DISC{n - 10}  (Session1) /{name}" for n, name in copies]
        self.assertEqual(catalog("dupes", "--catalogue", db)[1].splitlines(),
                         [f"same content: ORIGINAL.MP3, {size} bytes on discs 11, 12, 13", *lines,
                          "same content: ONE.TXT, 7 bytes on discs 11, 13",
                          "  000011  DISC1  (Session1) /ONE.TXT", "  000013  DISC3  (Session1) /ONE.TXT",
                          "same title and artist: 海の歌 / Someone on discs 11, 12, 13", *lines])
        dupes = json.loads(run("catalog", "dupes", "--json", "--catalogue", db).stdout)
        self.assertEqual([(d["by"], d["sha1"], d["wasted"]) for d in dupes[:2]],
                         [("content", hashlib.sha1(read(song)).hexdigest(), 4 * size),
                          ("content", hashlib.sha1(b"ONE.TXT").hexdigest(), 7)])
        # A file past the size hashed (here none: CATALOGUE_HASH_MIB=0) is matched by its name and size.
        nohash, config = os.path.join(HOME, "nohash.sqlite"), os.environ["XDG_CONFIG_HOME"]
        os.environ["XDG_CONFIG_HOME"] = fresh("catalog", "nohash-config")
        write(os.path.join(os.environ["XDG_CONFIG_HOME"], "ckvd-explorer", "profile.ini"),
              "[CkvdExplorer Settings]\nCATALOGUE_HASH_MIB=0\n")
        try:
            for n in (1, 2):
                self.assertEqual(catalog("add", os.path.join(HOME, f"disc{n}.iso"), "--catalogue", nohash)[0], 0)
        finally:
            os.environ["XDG_CONFIG_HOME"] = config
        self.assertEqual(catalog("dupes", "--catalogue", nohash)[1].splitlines()[0],
                         f"same name and size: SHARED.MP3, {size} bytes on discs 0, 1")
        # The same file named by both sessions of a disc (the demo's README.TXT) is one copy, no duplicate.
        demo = os.path.join(HOME, "demo-dupes.sqlite")
        self.assertEqual(catalog("add", "demo", "--catalogue", demo)[0], 0)
        self.assertEqual(catalog("dupes", "--catalogue", demo)[1], "")
        rows = run("catalog", "export", "--csv", "--catalogue", db).stdout.splitlines()
        self.assertEqual(rows[0].split(",")[:4], ["Number", "Volume", "Session", "Path"])
        self.assertEqual([r.split(",")[:5] for r in rows[1:]],
                         [["11", "DISC1", "1", p, "F"] for p in ("/ONE.TXT", "/ORIGINAL.MP3", "/SHARED.MP3")] +
                         [["12", "DISC2", "1", p, "F"] for p in ("/RENAMED.MP3", "/SHARED.MP3", "/TWO.TXT")] +
                         [["13", "DISC3", "1", p, "F"] for p in ("/ONE.TXT", "/SHARED.MP3")])
        copy = os.path.join(HOME, "copy.sqlite")
        self.assertEqual(catalog("backup", copy, "--catalogue", db)[0], 0)
        self.assertEqual(catalog("list", "--catalogue", copy)[1], catalog("list", "--catalogue", db)[1])

    def test_every_hash_is_of_the_files_bytes_over_two_sessions(self):
        """A later session names an earlier one's files at their blocks (hashed once for both) beside a file
        written anew under its old name with bytes of the same length: each hash is hashlib's of the bytes."""
        d = fresh("catalog", "sessions")
        one = {"KEEP.TXT": b"kept\n", "SAME.TXT": b"one\n", "BIG.BIN": bytes(range(256)) * 5000}
        two = {"SAME.TXT": b"two\n", "NEW.TXT": b"new\n"}  # genisoimage -M keeps the rest where it was
        for name, files in (("s1", one), ("s2", two)):
            for f, data in files.items():
                write(os.path.join(d, name, f), data)
        # Another time: genisoimage -M keeps a file of the same name, size and time where it was.
        os.utime(os.path.join(d, "s2", "SAME.TXT"), (time.time() + 3600,) * 2)
        disc, mkdisc = os.path.join(d, "disc.cue"), os.environ["CKVD_MKDISC"]
        tool("genisoimage", "-quiet", "-J", "-R", "-V", "S1", "-o", os.path.join(d, "s1.iso"), os.path.join(d, "s1"))
        tool(mkdisc, "create", disc, os.path.join(d, "s1.iso"))
        tool("genisoimage", "-quiet", "-J", "-R", "-V", "S2", "-C", tool(mkdisc, "msinfo", disc).strip(), "-M",
             os.path.join(d, "s1.iso"), "-o", os.path.join(d, "s2.iso"), os.path.join(d, "s2"))
        tool(mkdisc, "append", disc, os.path.join(d, "s2.iso"))
        db = os.path.join(d, "two.sqlite")
        self.assertEqual(catalog("add", disc, "--number", "21", "--catalogue", db)[0], 0)
        entries = json.loads(run("catalog", "show", "21", "--json", "--catalogue", db).stdout)["entries"]
        got = {(e["session"], e["path"]): (e["lbn"], e.get("sha1")) for e in entries}
        sha = lambda data: hashlib.sha1(data).hexdigest()
        self.assertEqual({k: v[1] for k, v in got.items()},
                         {**{(1, "/" + f): sha(b) for f, b in one.items()},
                          **{(2, "/" + f): sha(b) for f, b in {**one, **two}.items()}})
        self.assertEqual(got[(1, "/KEEP.TXT")][0], got[(2, "/KEEP.TXT")][0])
        self.assertNotEqual(got[(1, "/SAME.TXT")][0], got[(2, "/SAME.TXT")][0])

    def test_reports_imported_and_every_entry_found_again(self):
        # Reports of ckvd report (byte for byte the desktop program's) read into a catalogue of their own: each
        # disc's entries as ckvd ls lists them, and the same disc added from its image is the one imported.
        db = os.path.join(HOME, "import.sqlite")
        for number, drive in ((21, "demo"), (22, "demo-audio")):
            report = os.path.join(HOME, f"MA{number:06}.csv")
            self.assertEqual(run("report", drive, "--number", str(number), "-o", report).returncode, 0)
            code, out, _ = catalog("import", report, "--catalogue", db)
            self.assertEqual((code, out.split(" (")[0]), (0, f"{report}: added disc {number}"))
            ls = [(s["session"], e) for s in json.loads(run("ls", "--json", drive).stdout)["sessions"]
                  for e in s["entries"] if not e.get("continuation")]
            # The report names the Joliet tree, whose directories have extents of their own; its files are
            # the ones ls lists from the Rock Ridge tree.
            place = lambda n, e: (n, e["path"]) + ((e["lbn"], e["size"]) if e["type"] == "F" else ())
            shown = json.loads(run("catalog", "show", str(number), "--json", "--catalogue", db).stdout)["entries"]
            self.assertEqual({place(e["session"], e) for e in shown}, {place(n, e) for n, e in ls})
            self.assertEqual(catalog("add", drive, "--catalogue", db)[1].split(" (")[0], f"updated disc {number}")
            # Added from the image, files carry their recorded dates ("YYYY-MM-DD HH:MM:SS"; ls prints ISO 8601
            # with the offset), which a report has not.
            shown = json.loads(run("catalog", "show", str(number), "--json", "--catalogue", db).stdout)["entries"]
            self.assertEqual({(e["session"], e["path"], e["date"]) for e in shown if e["type"] == "F"},
                             {(n, e["path"], e["date"][:10] + " " + e["date"][11:19]) for n, e in ls if e["type"] == "F"})
        self.assertFails(["catalog", "import", os.path.join(HOME, "import.sqlite"), "--catalogue", db], 1,
                         "not a disc report of CKVD Explorer")

    def test_report_test_discs_and_a_stored_report_found_again(self):
        # The report tests' discs (two sessions of tagged MP3 files with Japanese names; CD audio): every entry
        # found again by its name and every media file by its title.
        fixtures = os.environ["CKVD_REPORT_FIXTURES"]
        db = os.path.join(HOME, "reports.sqlite")
        for number, disc in ((31, "report.cue"), (32, "audio.cue")):
            drive = os.path.join(fixtures, disc)
            report = os.path.join(HOME, f"MA{number:06}.csv")
            self.assertEqual(run("report", drive, "--number", str(number), "-o", report).returncode, 0)
            self.assertEqual(catalog("import", report, "--catalogue", db)[0], 0)
            shown = json.loads(run("catalog", "show", str(number), "--json", "--catalogue", db).stdout)["entries"]
            listed = {(s["session"], e["path"]) for s in json.loads(run("ls", "--json", drive).stdout)["sessions"]
                      for e in s["entries"] if not e.get("continuation")}
            self.assertEqual({(e["session"], e["path"]) for e in shown}, listed)
            for e in shown:
                for text in {e["path"].rsplit("/", 1)[1], e.get("title", "")} - {""}:
                    hits = json.loads(run("catalog", "search", "--json", text, "--catalogue", db).stdout)
                    self.assertIn((number, e["session"], e["path"]), [(h["number"], h["session"], h["path"]) for h in hits],
                                  text)
        # A report as the desktop program wrote it years ago (a stored test file): its disc, comment and entries.
        code, out, _ = catalog("import", os.path.join(os.path.dirname(__file__), "..", "data", "report", "wide_disc.csv"),
                               "--catalogue", db)
        self.assertEqual((code, out.split(": ", 1)[1]), (0, f"added disc 7 (WIDE, 7 entries)\n"))
        self.assertEqual([h["path"] for h in json.loads(run("catalog", "search", "--json", "WIDE.TXT", "--catalogue", db).stdout)],
                         ["/B/WIDE.TXT"])

    def test_a_catalogue_of_the_first_version_brought_over(self):
        # Version 1 kept a row per entry; opening it moves the entries into blocks and keeps every disc.
        db = os.path.join(HOME, "v1.sqlite")
        with sqlite3.connect(db) as c:
            c.executescript(V1_SCHEMA)
            c.execute("INSERT INTO discs VALUES(5, 40, 'OLD', 1, 'S1 T1 0+300', 'OLD\nS1 T1 0+300\n0', 'kept', "
                      "'/old.iso', '2026-01-02 03:04:05')")
            for i in range(600):  # more than one block
                c.execute("INSERT INTO entries(disc, session, path, name, type, lbn, size, date, title, artist, album, "
                          "codec, bitrate, sampling, seconds) VALUES(5, 1, ?, ?, 'F', ?, 1000, '2026-01-02 03:04:05', "
                          "?, 'Artist', '', 'MPEG-1 Layer 3', 128, 44100, 61)",
                          (f"/ALBUM/{i:03} 歌.MP3", f"{i:03} 歌.MP3", 100 + i, TITLES.get(i, f"Title {i}")))
            c.execute("PRAGMA user_version = 1")
        discs = json.loads(run("catalog", "list", "--json", "--catalogue", db).stdout)
        self.assertEqual([(d["number"], d["volume"], d["comment"], d["entries"]) for d in discs], [(40, "OLD", "kept", 600)])
        self.assertEqual([h["path"] for h in json.loads(run("catalog", "search", "--json", "title 599", "--catalogue", db).stdout)],
                         ["/ALBUM/599 歌.MP3"])
        # Letters in any case beyond ASCII: Latin-1, Latin Extended-A, Greek, Cyrillic, fullwidth Latin.
        for i, text in ((1, "été à łódź ÿ"), (2, "αθηνα"), (3, "москва ёж"), (4, "ａｂｃ")):
            self.assertEqual([h["path"] for h in json.loads(run("catalog", "search", "--json", text, "--catalogue", db).stdout)],
                             [f"/ALBUM/{i:03} 歌.MP3"], text)
        shown = json.loads(run("catalog", "show", "40", "--json", "--catalogue", db).stdout)["entries"]
        self.assertEqual((len(shown), shown[0]["path"], shown[0]["lbn"], shown[599]["title"], shown[599]["seconds"]),
                         (600, "/ALBUM/000 歌.MP3", 100, "Title 599", 61))
        self.assertBroughtOver(db, "entries", False)

    def test_catalogues_of_the_second_to_fourth_versions_brought_over(self):
        # A catalogue the fourth version wrote (the demo disc as disc 3: blocks, their masks, a full-text
        # index). Version 2 had no index of where the blocks are; versions 2 and 3 folded only the case of a
        # few scripts. Each is brought to the lists of groups and the masks in the block rows, made anew.
        stored = os.path.join(os.path.dirname(__file__), "..", "data", "catalogue", "v4-demo.sqlite")
        for version in (2, 3, 4):
            db = os.path.join(HOME, f"v{version}.sqlite")
            write(db, read(stored))
            with sqlite3.connect(db) as c:
                if version == 2:
                    c.execute("DROP INDEX blocks_place")
                c.execute("UPDATE block_masks SET masks = zeroblob(length(masks))")
                c.execute(f"PRAGMA user_version = {version}")
            hits = json.loads(run("catalog", "search", "--json", "さくら", "--catalogue", db).stdout)
            self.assertEqual({(h["number"], h["path"]) for h in hits},
                             {(3, "/音楽/アルバム 一/01 さくら.mp3")})
            self.assertBroughtOver(db, "block_masks", False)
            self.assertBroughtOver(db, "blocks_place", True)
            self.assertEqual(catalog("add", fold_disc(), "--number", "4", "--catalogue", db)[0], 0)
            self.assertEqual(found("zlutoucky", db), [(4, 1, "/Žluťoučký.mp3")])
            # The disc added again replaces its blocks; the index names only the new ones.
            self.assertEqual(catalog("add", fold_disc(), "--catalogue", db)[1].split(" (")[0], "updated disc 4")
            self.assertEqual(found("zlutoucky", db), [(4, 1, "/Žluťoučký.mp3")])
            self.assertEqual(catalog("check", "--catalogue", db)[:2], (0, "ok\n"))

    def test_the_index_in_step_after_removals_damage_and_vacuum(self):
        db = os.path.join(HOME, "index.sqlite")
        for number, disc in ((1, "demo"), (2, fold_disc()), (3, "demo-audio")):
            self.assertEqual(catalog("add", disc, "--number", str(number), "--catalogue", db)[0], 0)
        self.assertEqual(catalog("remove", "1", "--catalogue", db)[0], 0)
        # A removed disc's groups stay in the lists until a merge; nothing of it is found or counted.
        self.assertEqual(found("さくら", db), [])
        self.assertEqual(found("zlutoucky", db), [(2, 1, "/Žluťoučký.mp3")])
        self.assertEqual(catalog("check", "--catalogue", db)[:2], (0, "ok\n"))
        with sqlite3.connect(db) as c:
            c.execute("DELETE FROM postings WHERE (seg, first) IN (SELECT seg, first FROM postings LIMIT 1)")
        code, out, _ = catalog("check", "--catalogue", db)
        self.assertEqual(code, 1)
        self.assertIn("the index is not in step with the blocks", out)
        self.assertEqual(catalog("vacuum", "--catalogue", db)[0], 0)
        self.assertEqual(catalog("check", "--catalogue", db)[:2], (0, "ok\n"))
        self.assertEqual(found("zlutoucky", db), [(2, 1, "/Žluťoučký.mp3")])
        with sqlite3.connect(db) as c:
            self.assertEqual(c.execute("SELECT count(*) FROM segments").fetchone()[0], 1)
            c.execute("UPDATE postings SET page = x'05ff'")  # a list longer than its page
        code, out, _ = catalog("check", "--catalogue", db)
        self.assertEqual(code, 1)
        self.assertIn("damaged (a list of the index cannot be read)", out)
        self.assertFails(["catalog", "search", "zlutoucky", "--catalogue", db], 1,
                         "damaged (a list of the index cannot be read)")

    def test_searches_fold_case_and_diacritics(self):
        db = os.path.join(HOME, "fold.sqlite")
        self.assertEqual(catalog("add", fold_disc(), "--number", "1", "--catalogue", db)[0], 0)
        for text, paths in (("zlutoucky", ["/Žluťoučký.mp3"]), ("ŽLUŤOUČKÝ", ["/Žluťoučký.mp3"]),
                            ("ελληνικα", ["/Ελληνικά.txt"]), ("ΕΛΛΗΝΙΚΑ", ["/Ελληνικά.txt"]),
                            ("σοφοσ", ["/Σοφός.txt"]), ("ΣΟΦΟΣ", ["/Σοφός.txt"]),
                            ("kun", ["/Kün.txt"]), ("Übung", ["/Große Übung.txt"]), ("grosse", ["/Große Übung.txt"]),
                            ("lodz", ["/Łódź.txt"]), ("ｋüｎ", ["/Kün.txt"]), ("FÉ/MENU", ["/Cafe\u0301/Menu.txt"]),
                            # Halfwidth kana as fullwidth; a kana's voicing mark is part of it.
                            ("ｶﾞﾒﾗ", ["/ガメラ.txt", "/ｶﾞﾒﾗ2.txt"]), ("ガメラ", ["/ガメラ.txt", "/ｶﾞﾒﾗ2.txt"]),
                            ("カメラ", []), ("カ", []), ("ガ", ["/ガメラ.txt", "/ｶﾞﾒﾗ2.txt"])):
            self.assertEqual(sorted(p for _, _, p in found(text, db)), paths, text)
        # A report holds names in Shift-JIS, the letters it has not folded to ASCII ("GroBe Ubung.txt"); the
        # report of the same disc (its files at the same places) takes the disc's place under its number.
        report = os.path.join(HOME, "MA000002.csv")
        self.assertEqual(run("report", fold_disc(), "--number", "2", "-o", report, "--catalogue", ASIDE).returncode, 0)
        self.assertEqual(catalog("import", report, "--catalogue", db)[1].split(" (")[0], f"{report}: updated disc 2")
        self.assertEqual(found("Übung", db), [(2, 1, "/GroBe Ubung.txt")])

    def test_only_an_add_or_an_import_makes_a_catalogue(self):
        missing = os.path.join(HOME, "nonexistent", "dir", "cat.sqlite")
        for args in (["search", "a"], ["search", "--json", "a"], ["list"], ["show", "1"], ["remove", "1"],
                     ["export", "--csv"], ["dupes"], ["backup", os.path.join(HOME, "b.sqlite")]):
            self.assertFails(["catalog", *args, "--catalogue", missing], 1, f"ckvd: no catalogue at {missing}")
        self.assertFalse(os.path.exists(os.path.join(HOME, "nonexistent")))
        self.assertFails(["catalog", "what", "--catalogue", missing], 2, "ckvd: catalog: unknown command 'what'", out=None)
        report = os.path.join(HOME, "MA000009.csv")
        self.assertEqual(run("report", "demo-audio", "--number", "9", "-o", report, "--catalogue", ASIDE).returncode, 0)
        self.assertEqual(catalog("import", report, "--catalogue", missing)[0], 0)
        # A search without a match says so, and fails as it always did.
        self.assertFails(["catalog", "search", "no such thing", "--catalogue", missing], 1, "ckvd: nothing found")
        self.assertFails(["catalog", "search", "--json", "no such thing", "--catalogue", missing], 1,
                         "ckvd: nothing found", out="[]\n")

    def test_programs_making_a_new_catalogue_at_once(self):
        # Two imports, or an import and a report (which adds its disc as the window's does), into a file that is
        # not there yet: both discs go in, every time.
        reports = []
        for number, drive in ((61, "demo"), (62, "demo-audio")):
            reports.append(os.path.join(HOME, f"MA{number:06}.csv"))
            self.assertEqual(run("report", drive, "--number", str(number), "-o", reports[-1], "--catalogue", ASIDE)
                             .returncode, 0)
        for attempt in range(6):
            db = os.path.join(fresh("catalog", f"race{attempt}"), "cat.sqlite")
            second = ["catalog", "import", reports[1]] if attempt % 2 else ["report", "demo-audio", "--number", "62",
                                                                              "-o", os.path.join(HOME, "again.csv")]
            both = [subprocess.Popen([CKVD, *args, "--catalogue", db], stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, text=True)
                    for args in (["catalog", "import", reports[0]], second)]
            said = [p.communicate() + (p.returncode,) for p in both]
            self.assertEqual([(s[1], s[2]) for s in said], [("", 0), ("", 0)])
            self.assertEqual([d["number"] for d in json.loads(run("catalog", "list", "--json", "--catalogue", db).stdout)],
                             [61, 62])

    def test_a_damaged_block_named_and_its_disc_removable(self):
        db = os.path.join(HOME, "block.sqlite")
        self.assertEqual(catalog("add", "demo", "--number", "3", "--catalogue", db)[0], 0)
        self.assertEqual(catalog("add", "demo-audio", "--number", "4", "--catalogue", db)[0], 0)
        with sqlite3.connect(db) as c:
            c.execute("UPDATE blocks SET data = substr(data, 1, 20) WHERE disc = (SELECT id FROM discs WHERE number = 3)")
        for args in (["show", "3"], ["search", "mp3"], ["export", "--csv"]):  # export has written its head
            self.assertFails(["catalog", *args, "--catalogue", db], 1, "a block of disc 3 cannot be read",
                             out="" if args[0] != "export" else None)
        self.assertEqual(catalog("remove", "3", "--catalogue", db)[0], 0)
        self.assertEqual(len(json.loads(run("catalog", "search", "--json", "Track", "--catalogue", db).stdout)), 4)

    def test_damaged_foreign_and_busy_files(self):
        bad = os.path.join(HOME, "bad.sqlite")
        write(bad, "not a database at all" * 100)
        self.assertFails(["catalog", "list", "--catalogue", bad], 1, "the file is damaged or no catalogue")
        foreign = os.path.join(HOME, "foreign.sqlite")
        with sqlite3.connect(foreign) as db:
            db.execute("CREATE TABLE notes(text)")
        self.assertFails(["catalog", "list", "--catalogue", foreign], 1, "a database of another program")
        busy = os.path.join(HOME, "busy.sqlite")
        self.assertEqual(catalog("add", "demo-audio", "--catalogue", busy)[0], 0)
        holder = sqlite3.connect(busy, isolation_level=None)
        holder.execute("BEGIN IMMEDIATE")
        self.assertFails(["catalog", "add", "demo", "--catalogue", busy], 1, "the catalogue is busy", out=None)
        holder.execute("ROLLBACK")
        holder.close()

    def test_a_killed_add_leaves_the_catalogue_as_it_was(self):
        src = fresh("catalog", "big")
        for d in range(40):
            os.makedirs(os.path.join(src, f"D{d:02}"))
            for f in range(500):
                write(os.path.join(src, f"D{d:02}", f"F{f:03}.TXT"), "")
        image = os.path.join(HOME, "big.iso")
        tool("genisoimage", "-quiet", "-J", "-o", image, src)
        db = os.path.join(HOME, "kill.sqlite")
        self.assertEqual(catalog("add", "demo", "--number", "50", "--catalogue", db)[0], 0)
        for delay in (0.01, 0.02, 0.03, 0.05, 0.15):  # the add takes about 40 ms, 10 times that under ASan
            p = subprocess.Popen([CKVD, "catalog", "add", image, "--number", "51", "--catalogue", db], stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
            time.sleep(delay)
            p.send_signal(signal.SIGKILL)
            p.wait()
            with sqlite3.connect(db) as c:
                self.assertEqual(c.execute("PRAGMA integrity_check").fetchone()[0], "ok")
                discs = c.execute("SELECT count(*) FROM discs WHERE number >= 0").fetchone()[0]
                orphans = c.execute("SELECT (SELECT count(*) FROM blocks WHERE disc NOT IN (SELECT id FROM discs)) + "
                                    "(SELECT count(*) FROM postings WHERE seg NOT IN (SELECT seg FROM segments))").fetchone()[0]
                half = c.execute("SELECT count(*) FROM discs WHERE number < 0").fetchone()[0]
                whole = c.execute("SELECT coalesce(sum(b.entries), 0) FROM blocks b JOIN discs d ON d.id = b.disc "
                                  "WHERE d.volume = 'CDROM' AND d.entries = 20040").fetchone()[0]
            self.assertIn((discs, orphans, half, whole), [(1, 0, 0, 0), (2, 0, 0, 20040)])


if __name__ == "__main__":
    main()
