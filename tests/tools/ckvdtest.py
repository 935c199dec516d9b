"""What the ckvd tests share: ckvd and a work folder from the command line (usage: TEST.py CKVD WORKDIR),
ckvd and the peer tools run, and their listings read."""
import json
import os
import re
import shutil
import subprocess
import sys
import unittest

CKVD, WORK = sys.argv[1], sys.argv[2]
os.makedirs(WORK, exist_ok=True)
# A written report adds its disc to the catalogue under XDG_DATA_HOME: the tests keep one of their own.
os.environ["XDG_DATA_HOME"] = os.path.join(WORK, "data-home")
BLOCK = 2048


def run(*args, env=None, stdout=subprocess.PIPE):
    """ckvd's status, stdout and stderr (texts)."""
    return subprocess.run([CKVD, *args], stdout=stdout, stderr=subprocess.PIPE, text=True, env=env)


def ok(*args):
    """ckvd's stdout; any other status than 0 fails the test."""
    r = run(*args)
    if r.returncode:
        raise AssertionError(f"ckvd {' '.join(args)} exited {r.returncode}: {r.stderr}")
    return r.stdout


def tool(*args):
    """A peer tool's stdout (text); a failure of the tool fails the test, with what the tool said."""
    r = subprocess.run(args, capture_output=True)
    if r.returncode:
        raise AssertionError(f"{' '.join(map(str, args))} exited {r.returncode}: "
                             f"{r.stderr.decode(errors='replace')[-2000:]}")
    return r.stdout.decode()


def peer(command):
    """A peer tool's "key=value" lines as a dict."""
    return dict(line.split("=", 1) for line in tool(*command).splitlines() if "=" in line)


def mediainfo(path, section, *fields):
    """mediainfo's values of `fields` of one section of a file, by name."""
    return peer(["mediainfo", "--Inform=" + section + ";" + "".join(f"{f}=%{f}%\\n" for f in fields), path])


def cd_info_starts(cue):
    """cd-info's first block of each track of a sheet, the lead-out's last."""
    info = tool("sh", "-c", f"cd-info --no-device-info --no-cddb -q -i '{cue}' 2>/dev/null")
    return [int(s) for s in re.findall(r"\n *\d+: \d\d:\d\d:\d\d +(\d+) (?:audio|leadout)", info)]


def wav_samples(path):
    """The bytes of a WAV file's data chunk."""
    b = read(path)
    at = b.index(b"data")
    return b[at + 8:at + 8 + int.from_bytes(b[at + 4:at + 8], "little")]


def mixed_cue(d):
    """d/mixed.cue: d/data.iso (the caller's) as data track 1, sox's tones t2.wav and t3.wav as audio tracks 2 and 3
    in d/audio.bin, two seconds of pregap before track 2 that the files leave out."""
    raw = b""
    for n in (2, 3):
        tool("sox", "-q", "-n", "-r", "44100", "-c", "2", "-b", "16", f"{d}/t{n}.wav", "synth", f"{n}.3", "sine", str(300 * n))
        data = wav_samples(f"{d}/t{n}.wav")
        raw += data + bytes(-len(data) % 2352)
    write(f"{d}/audio.bin", raw)
    three = len(wav_samples(f"{d}/t2.wav")) // 2352 + 1
    write(f"{d}/mixed.cue", 'FILE "data.iso" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n'
          'FILE "audio.bin" BINARY\n  TRACK 02 AUDIO\n    PREGAP 00:02:00\n    INDEX 01 00:00:00\n'
          f'  TRACK 03 AUDIO\n    INDEX 01 {three // 4500:02d}:{three // 75 % 60:02d}:{three % 75:02d}\n')


def fresh(*parts):
    """An empty folder under WORK."""
    path = os.path.join(WORK, *parts)
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb" if isinstance(data, bytes) else "w") as f:
        f.write(data)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def patch(image, old, new, out=None):
    """`image` (or a copy at `out`) with its only occurrence of the bytes `old` replaced by `new`."""
    data = read(image)
    assert data.count(old) == 1, (image, old)
    write(out or image, data.replace(old, new))
    return out or image


def entries(*args):
    """The first session's entries of `ckvd ls --json ARGS`."""
    return json.loads(ok("ls", "--json", *args))["sessions"][0]["entries"]


def ckvd_paths(image):
    return {e["path"] for e in entries(image)}


def xorriso_paths(image, *options):
    out = tool("xorriso", *options, "-indev", image, "-find", "/")
    return {line[1:-1] for line in out.splitlines() if line.startswith("'")} - {"/"}


def xorriso_extract(image, dest, *options, load=()):
    tool("xorriso", *options, "-osirrox", "on", "-indev", image, *load, "-extract", "/", dest)


def local_tree(top, skip=("rr_moved",)):
    """Every entry below `top`: links with their targets, directories with mode and time, files with mode,
    time and bytes."""
    rows = {}
    for d, dirs, files in os.walk(top):
        for name in dirs + files:
            p = os.path.join(d, name)
            rel, st = os.path.relpath(p, top), os.lstat(p)
            if rel in skip:
                continue
            if os.path.islink(p):
                rows[rel] = ("L", os.readlink(p))
            elif os.path.isdir(p):
                rows[rel] = ("D", st.st_mode & 0o777, st.st_mtime)
            else:
                rows[rel] = ("F", st.st_mode & 0o777, st.st_mtime, read(p))
    return rows


class CkvdCase(unittest.TestCase):
    def assertLines(self, out, needles):
        for needle in needles:
            self.assertTrue(any(needle in line for line in out.splitlines()), f"{needle}\n{out}")

    def assertFails(self, args, code, *needles, out=""):
        """ckvd ARGS exits `code`, saying each needle on stdout or stderr; stdout is `out` unless that is None."""
        r = run(*args)
        self.assertEqual((r.returncode, r.stdout if out is not None else None), (code, out), args)
        self.assertLines(r.stdout + r.stderr, needles)
        return r

    def assertQuiet(self, *args):
        """ckvd ARGS succeeds saying nothing on stderr; its stdout."""
        r = run(*args)
        self.assertEqual((r.returncode, r.stderr), (0, ""), args)
        return r.stdout


def main():
    unittest.main(argv=sys.argv[:1], verbosity=2)
