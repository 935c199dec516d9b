#!/usr/bin/env python3
"""ckvd catalog on a PostgreSQL server of the test's own (pg_server.py): every command's output the same as on
an SQLite catalogue of the same discs, searches of one and two characters and without diacritics, two programs
adding 50 discs each at once, a kill -9 in the middle of an add, a newer schema refused untouched, another
program's database, a role that may not make pg_trgm, a password never shown, CATALOGUE= in the profile, copy --to from a file; check, vacuum and
copy on SQLite files (one with a damaged block). Exits 77 (skipped) when the server's programs are not there.
usage: test_ckvd_catalog_pg.py CKVD WORKDIR"""
import json
import os
import re
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(__file__))
import pg_server  # noqa: E402
from ckvdtest import CKVD, CkvdCase, fresh, main, run, tool, write  # noqa: E402

if pg_server.bindir() is None:
    print("skipped: the PostgreSQL server's programs (initdb, pg_ctl) are not installed (apt-get install postgresql)")
    sys.exit(77)

HOME = fresh("catalog-pg")
os.environ.update(XDG_DATA_HOME=os.path.join(HOME, "data"), XDG_CONFIG_HOME=os.path.join(HOME, "config"))
SERVER = tempfile.mkdtemp(prefix="ckvd-pg-")  # short: a socket's path has at most 107 bytes
# Discs of Japanese and Czech names; SHARED.TXT of the same size on the first two (a duplicate).
DISCS = {1: ("HUDBA", {"Žluťoučký kůň.mp3": "a", "Příliš/Úpěl ďábelské ódy.txt": "bb", "SHARED.TXT": "same"}),
         2: ("ONGAKU", {"東京の夜.txt": "c", "さくら/桜の歌.mp3": "dd", "SHARED.TXT": "same"}),
         3: ("MIXED", {"Čaj a お茶.txt": "e", "Die Große Übung.txt": "ff"})}


def image(name, volume, files):
    src = fresh("catalog-pg", "src", name)
    for path, text in files.items():
        write(os.path.join(src, path), text)
    out = os.path.join(HOME, name + ".iso")
    tool("genisoimage", "-quiet", "-J", "-input-charset", "utf-8", "-V", volume, "-o", out, src)
    return out


def database(name):
    pg_server.psql(SERVER, f"CREATE DATABASE {name}")
    return pg_server.uri(SERVER, name)


def catalog(*args, env=None):
    r = run("catalog", *args, env=env)
    return r.returncode, r.stdout, r.stderr


def setUpModule():
    global URI, DB
    URI = pg_server.start(SERVER)
    DB = os.path.join(HOME, "same.sqlite")
    try:
        for n, (volume, files) in DISCS.items():
            iso = image(f"d{n}", volume, files)
            for where in (DB, URI):
                assert catalog("add", iso, "--number", str(n), "--catalogue", where)[0] == 0
    except BaseException:
        pg_server.stop(SERVER)  # tearDownModule is not run after a failed setUpModule
        raise


def tearDownModule():
    pg_server.stop(SERVER)


class CatalogPostgres(CkvdCase):
    def same(self, *args, db=None, uri=None):
        """The command's status and output on the SQLite file and on the server, the catalogue's name and the
        times discs were added (seconds apart) left out; the output."""
        outs = []
        for where in (db or DB, uri or URI):
            code, out, err = catalog(*args, "--catalogue", where)
            outs.append(re.sub(r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d", "TIME", f"{code}\n{out}{err}".replace(where, "DB")))
        self.assertEqual(outs[0], outs[1], args)
        return outs[1]

    def test_every_command_as_on_a_file(self):
        for args in (["list"], ["list", "--json"], ["show", "1"], ["show", "2", "--json"], ["export", "--csv"],
                     ["dupes"], ["dupes", "--json"], ["search", "zlutoucky"], ["search", "--json", "桜"],
                     ["search", "ř"], ["search", "ky"], ["search", "GROSSE ubung"], ["search", "nothing here"],
                     ["show", "9"], ["remove", "9"]):
            self.same(*args)
        # Expected hits from the names the discs were made of.
        self.assertIn("/Příliš/Úpěl ďábelské ódy.txt", self.same("search", "ř"))
        self.assertEqual(re.findall(r"\) (.*)", self.same("search", "ky")), ["/Žluťoučký kůň.mp3"])
        self.assertIn("/Žluťoučký kůň.mp3", self.same("search", "zlutoucky"))
        self.assertIn("/さくら/桜の歌.mp3", self.same("search", "桜"))

    def test_remove_then_list(self):
        db, uri = os.path.join(HOME, "remove.sqlite"), database("remove")
        for where in (db, uri):
            self.assertEqual(catalog("copy", "--to", where, "--catalogue", DB)[0], 0)
        self.same("remove", "2", db=db, uri=uri)
        self.assertNotIn("ONGAKU", self.same("list", db=db, uri=uri))

    def test_two_programs_adding_at_once(self):
        uri, isos = database("busy"), []
        for i in range(100):
            isos.append(image(f"many{i}", f"MANY_{i:03}", {f"F{i}.TXT": "x" * i}))
        # Each program with a profile of its own, which hands out the same numbers as the other's.
        procs = [subprocess.Popen(["sh", "-c", 'for f; do "$0" catalog add "$f" --catalogue "$U" >/dev/null || exit 1; done',
                                   CKVD, *isos[k::2]], stderr=subprocess.PIPE, text=True,
                                  env=dict(os.environ, U=uri, XDG_CONFIG_HOME=os.path.join(HOME, f"cfg{k}")))
                 for k in (0, 1)]
        for p in procs:
            self.assertEqual((p.wait(), p.communicate()[1]), (0, ""))
        discs = json.loads(run("catalog", "list", "--json", "--catalogue", uri).stdout)
        self.assertEqual(sorted(d["volume"] for d in discs), [f"MANY_{i:03}" for i in range(100)])
        self.assertEqual(len({d["number"] for d in discs}), 100)

    def test_killed_add_leaves_nothing(self):
        uri = database("killed")
        self.assertEqual(catalog("add", os.path.join(HOME, "d1.iso"), "--catalogue", uri)[0], 0)
        reports = fresh("catalog-pg", "big")
        tool("python3", os.path.join(os.path.dirname(__file__), "..", "..", "bench", "make_reports.py"), reports,
             "1", "150000")
        before = pg_server.psql(SERVER, "SELECT count(*), (SELECT count(*) FROM blocks) FROM discs", "killed")
        p = subprocess.Popen([CKVD, "catalog", "import", os.path.join(reports, "MA000000.csv"), "--catalogue", uri],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # Killed once its blocks are going to the server.
        for _ in range(400):
            if pg_server.psql(SERVER, "SELECT count(*) FROM pg_stat_activity WHERE query LIKE 'COPY%' "
                              "AND state = 'active'", "killed").strip() == "1":
                break
            self.assertIsNone(p.poll(), "the add ended before it could be killed")
            time.sleep(0.02)
        else:
            self.fail("the add sent no blocks")
        p.send_signal(signal.SIGKILL)
        p.wait()
        self.assertEqual(pg_server.psql(SERVER, "SELECT count(*), (SELECT count(*) FROM blocks) FROM discs",
                                        "killed"), before)
        # The writers' lock went with it: the next add goes in.
        self.assertEqual(catalog("add", os.path.join(HOME, "d2.iso"), "--catalogue", uri)[0], 0)
        self.assertEqual(catalog("check", "--catalogue", uri)[:2], (0, "ok\n"))

    def test_newer_foreign_and_unreachable_databases(self):
        uri = database("newer")
        self.assertEqual(catalog("add", os.path.join(HOME, "d1.iso"), "--catalogue", uri)[0], 0)
        pg_server.psql(SERVER, "UPDATE catalogue_info SET value = '99' WHERE key = 'schema'", "newer")
        for args in (["list"], ["add", os.path.join(HOME, "d2.iso")]):
            self.assertFails(["catalog", *args, "--catalogue", uri], 1,
                             "written by a newer version of the catalogue (schema 99)")
        self.assertEqual(pg_server.psql(SERVER, "SELECT (SELECT value FROM catalogue_info WHERE key = 'schema'), "
                                        "count(*) FROM discs", "newer"), "99\t1\n")
        foreign = database("others")
        pg_server.psql(SERVER, "CREATE TABLE invoices(id int)", "others")
        self.assertFails(["catalog", "add", os.path.join(HOME, "d1.iso"), "--catalogue", foreign], 1,
                         "a database of another program, no catalogue")
        self.assertFails(["catalog", "list", "--catalogue", database("empty")], 1, "no catalogue at postgresql://")
        # A role that may make tables but not the extension.
        database("noext")
        pg_server.psql(SERVER, "CREATE ROLE plain LOGIN")
        pg_server.psql(SERVER, "GRANT CREATE ON SCHEMA public TO plain", "noext")
        self.assertFails(["catalog", "add", os.path.join(HOME, "d1.iso"), "--catalogue",
                          f"postgresql:///noext?host={SERVER}&user=plain"], 1,
                         "the extension pg_trgm is missing: a superuser runs CREATE EXTENSION pg_trgm in noext")
        r = self.assertFails(["catalog", "list", "--catalogue", f"postgresql://postgres:s3cret@/nosuch?host={SERVER}"],
                             1, 'database "nosuch" does not exist')
        self.assertNotIn("s3cret", r.stderr)

    def test_profile_names_the_server(self):
        write(os.path.join(HOME, "config", "ckvd-explorer", "profile.ini"),
              f"[CkvdExplorer Settings]\nCATALOGUE={URI}\n")
        cwd = os.getcwd()
        os.chdir(fresh("catalog-pg", "cwd"))
        try:
            self.assertEqual(catalog("list")[1], catalog("list", "--catalogue", URI)[1])
            self.assertEqual(os.listdir("."), [])  # no folders made of the URI
        finally:
            os.chdir(cwd)
            os.remove(os.path.join(HOME, "config", "ckvd-explorer", "profile.ini"))

    def test_copy_check_and_vacuum(self):
        uri = database("copied")
        code, out, _ = catalog("copy", "--to", uri, "--catalogue", DB)
        self.assertEqual((code, out.splitlines()), (0, ["copied disc 1 (HUDBA, 4 entries)",
                                                        "copied disc 2 (ONGAKU, 4 entries)",
                                                        "copied disc 3 (MIXED, 2 entries)"]))
        self.assertEqual(catalog("list", "--catalogue", uri)[1], catalog("list", "--catalogue", DB)[1])
        for where in (uri, DB):
            self.assertEqual(catalog("check", "--catalogue", where)[:2], (0, "ok\n"))
            self.assertEqual(catalog("vacuum", "--catalogue", where)[0], 0)
        self.assertFails(["catalog", "backup", os.path.join(HOME, "b"), "--catalogue", uri], 1,
                         "a PostgreSQL catalogue is backed up with pg_dump")
        # A file whose block of disc 2 no longer decodes is named damaged; the copy says which disc stayed.
        bad = os.path.join(HOME, "bad.sqlite")
        self.assertEqual(catalog("copy", "--to", bad, "--catalogue", DB)[0], 0)
        with sqlite3.connect(bad) as c:
            c.execute("UPDATE blocks SET data = zeroblob(length(data)) WHERE disc = (SELECT id FROM discs "
                      "WHERE number = 2)")
        code, out, _ = catalog("check", "--catalogue", bad)
        self.assertEqual(code, 1)
        self.assertIn("damaged (a block of disc 2 cannot be read)", out)
        code, out, err = catalog("copy", "--to", database("partly"), "--catalogue", bad)
        self.assertEqual((code, len(out.splitlines())), (1, 2))
        self.assertIn("disc 2: ", err)


if __name__ == "__main__":
    main()
