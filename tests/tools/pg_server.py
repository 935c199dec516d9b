#!/usr/bin/env python3
"""A PostgreSQL server of its own for a test or the benchmark: initdb and pg_ctl in a folder, listening only on a
Unix socket there, trust authentication, stopped again. Run as root (initdb refuses root), the server's programs
run as the postgres user, who owns the folder.
usage: pg_server.py start DIR DBNAME | pg_server.py createdb DIR DBNAME (each prints the database's URI) |
       pg_server.py stop DIR"""
import glob
import os
import pwd
import shutil
import subprocess
import sys


def bindir():
    """The folder of initdb and pg_ctl (on PATH or Debian's /usr/lib/postgresql/N/bin), None without them."""
    found = shutil.which("initdb")
    if found and shutil.which("pg_ctl"):
        return os.path.dirname(os.path.realpath(found))
    dirs = sorted(glob.glob("/usr/lib/postgresql/*/bin/pg_ctl"), key=lambda p: int(p.split("/")[4]))
    return os.path.dirname(dirs[-1]) if dirs else None


def _as_server(args, **kw):
    """A server program run as the postgres user when we are root; a failure raises with what it said."""
    prefix = []
    if os.getuid() == 0:
        prefix = ["setpriv", "--reuid=postgres", "--regid=postgres", "--clear-groups"]
    r = subprocess.run(prefix + args, capture_output=True, text=True, **kw)
    if r.returncode:
        raise RuntimeError(f"{' '.join(args)} exited {r.returncode}: {r.stderr[-2000:]}")
    return r.stdout


def psql(folder, sql, db="postgres"):
    """psql's rows (unaligned, tab-separated) of `sql` on database `db`, as the superuser."""
    return _as_server([os.path.join(bindir(), "psql"), "-X", "-q", "-A", "-t", "-F", "\t", "-v", "ON_ERROR_STOP=1",
                       "-h", folder, "-U", "postgres", "-d", db, "-c", sql])


def uri(folder, db):
    return f"postgresql:///{db}?host={folder}&user=postgres"


def start(folder, db="ckvd"):
    """A server in `folder` (made; owned by postgres) with an empty database `db`; its catalogue URI."""
    os.makedirs(folder, exist_ok=True)
    if os.getuid() == 0:
        pw = pwd.getpwnam("postgres")
        os.chown(folder, pw.pw_uid, pw.pw_gid)
    os.chmod(folder, 0o700)
    data, b = os.path.join(folder, "data"), bindir()
    _as_server([os.path.join(b, "initdb"), "-D", data, "-A", "trust", "-U", "postgres", "-E", "UTF8",
                "--locale=C.UTF-8", "-N"])
    _as_server([os.path.join(b, "pg_ctl"), "-D", data, "-l", os.path.join(folder, "log"), "-w", "-o",
                f"-c listen_addresses='' -c unix_socket_directories={folder} -c fsync=off", "start"])
    psql(folder, f"CREATE DATABASE {db}")
    return uri(folder, db)


def stop(folder):
    """The server of `folder` stopped at once, the folder removed."""
    try:
        _as_server([os.path.join(bindir(), "pg_ctl"), "-D", os.path.join(folder, "data"), "-m", "immediate", "-w",
                    "stop"])
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "start":
        print(start(sys.argv[2], sys.argv[3]))
    elif len(sys.argv) == 4 and sys.argv[1] == "createdb":
        psql(sys.argv[2], f"CREATE DATABASE {sys.argv[3]}")
        print(uri(sys.argv[2], sys.argv[3]))
    elif len(sys.argv) == 3 and sys.argv[1] == "stop":
        stop(sys.argv[2])
    else:
        sys.exit(__doc__)
