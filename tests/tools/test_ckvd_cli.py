#!/usr/bin/env python3
"""ckvd's text and --json forms, usage and exit codes on the demo discs; get against isoinfo and xorriso; info on
the analyzer fixtures against their peers; report numbers. usage: test_ckvd_cli.py CKVD WORKDIR (CKVD_DEMO_DIR,
CKVD_FIXTURE_DIR)"""
import datetime
import json
import os
import re
import subprocess
import unittest

from ckvdtest import (CKVD, WORK, CkvdCase, cd_info_starts, entries, fresh, local_tree, main, mediainfo, ok, patch,
                      peer, read, run, tool, write, xorriso_extract)

DEMO, FIXTURES = os.environ["CKVD_DEMO_DIR"], os.environ["CKVD_FIXTURE_DIR"]
BIN, SOURCE = os.path.dirname(CKVD), os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
MP3, WMA, WAV = "/音楽/アルバム 一/01 さくら.mp3", "/音楽/アルバム 二/ボーナス/Evening.wma", "/音楽/アルバム 二/波の音.wav"


def both(*args):
    """The text form's lines and the parsed --json document of one command."""
    return ok(*args).splitlines(), json.loads(ok(*args, "--json"))


class Text(CkvdCase):
    def test_drives(self):
        text, doc = both("drives", "--demo")
        self.assertTrue(text[0].startswith("#"))
        # Vendor and product keep their blanks: 8 and 16 characters between the quotes; revision, generic node
        # and medium state follow.
        row = re.compile(r'(\d+)  (\d+):(\d+)  "(.{8})"  "(.{16})"  (\S+)  (ready|not-ready)  "(.*)"  (\S+)  (\S+)')
        self.assertEqual([(row.fullmatch(line) or self.fail(line)).groups() for line in text[1:]],
                         [(str(d["index"]), str(d["host_adapter"]), str(d["target"]), d["vendor"], d["product"],
                           d["path"], "ready" if d["ready"] else "not-ready", d["revision"],
                           d["generic_path"] or "-", d["state"]) for d in doc["drives"]])
        self.assertEqual([(d["host_adapter"], d["target"], os.path.basename(d["path"]), d["ready"])
                          for d in doc["drives"]], [(1, 0, "demo-data.cue", True), (1, 1, "demo-audio.cue", True)])

    def test_toc(self):
        docs = {}
        for drive in ("demo", "demo-audio"):
            text, doc = docs[drive] = both("toc", drive)
            rows = []
            for s in doc["sessions"]:
                rows.append(["session", s["session"], s["type"]] + [s[k] for k in (
                    "last_block", "block_length", "lead_in", "lead_out", "next_program_area")])
                rows += [[t["session"], t["track"], t["type"], t["address"], t["size"], t["pvd_lbn"]]
                         for t in s["tracks"]]
            self.assertEqual([line.split() for line in text], [list(map(str, r)) for r in rows])
        # The values are the image readers' and the report's tests'; the lead-in (C0, 97:xx:xx) is printed signed.
        sessions = [s for d in ("demo", "demo-audio") for s in docs[d][1]["sessions"]]
        self.assertEqual(([(s["type"], len(s["tracks"])) for s in sessions], sessions[0]["lead_in"] < 0),
                         ([("CD-ROM", 1), ("CD-ROM", 1), ("Audio", 4)], True))

    def test_toc_without_iso9660(self):
        # Twenty blocks of zeros: a data track whose block 16 is no volume descriptor (as on a UDF-only disc).
        write(os.path.join(WORK, "noiso.iso"), bytes(20 * 2048))
        r = self.assertFails(["toc", os.path.join(WORK, "noiso.iso")], 1, out=None)
        self.assertEqual(r.stderr, "ckvd: ISO9660 FileSystem Analyze Error Code 1002\nckvd: %s: its ISO 9660 file system "
                         "(volume descriptors, path table or directories) is missing or damaged\n"
                         % os.path.join(WORK, "noiso.iso"))
        self.assertEqual([l.split()[:2] for l in r.stdout.splitlines()], [["session", "1"], ["1", "1"]])

    def test_ls(self):
        text, doc = both("ls", "demo")
        lines = iter(text)
        for s in doc["sessions"]:
            self.assertEqual(next(lines).rstrip(), f"(Session{s['session']}) {s['volume']}".rstrip())
            seen = {""}  # directories before their contents
            for e in s["entries"]:
                m = re.fullmatch(r"([DF])  (\d+)  (\d+)  (\S{10} \S{8})  (.*)", next(lines))
                self.assertEqual((m[1], int(m[2]), int(m[3]), m[5]), (e["type"], e["lbn"], e["size"], e["path"]))
                self.assertEqual(e["path"], e["directory"].rstrip("/") + "/" + e["name"])
                self.assertIn(e["directory"].rstrip("/"), seen)
                seen |= {e["path"]} if e["type"] == "D" else set()
                # The text shows the recorded time (a directory's its own "." record's); the JSON adds the
                # recorded GMT offset.
                self.assertEqual(e["date"][:19], m[4].replace(" ", "T"))
                self.assertRegex(e["date"], r"[+-]\d\d:\d\d$")
        self.assertEqual((next(lines, None), [s["volume"].rstrip() for s in doc["sessions"]]),
                         (None, ["CKVD_DEMO_S1", "CKVD_DEMO_S2"]))
        kinds = {e["path"]: e["kind"] for s in doc["sessions"] for e in s["entries"]}
        self.assertEqual([kinds[p] for p in (MP3, "/CONTENTS.LMX", "/README.TXT")], [4, 128, 2048])
        self.assertIn("/音楽/アルバム 二/ボーナス/Evening.wma", kinds)
        s2 = ok("ls", "--session", "2", "demo")
        self.assertEqual((s2.startswith("(Session2) CKVD_DEMO_S2"), "(Session1)" in s2), (True, False))
        self.assertLines(s2, ["  /追加/夜.mp3", "  /README.TXT"])  # README.TXT merged from session 1 by -M
        audio = ok("ls", "demo-audio")
        self.assertLines(audio, ["(Session1) Audio CD", "1995-01-01", "/Track01.cda", "/Track04.cda"])
        self.assertNotIn("/Track05.cda", audio)

    def test_info(self):
        cases = [  # the demo's MP3 as id3v2 tagged it (its frames: the Analyzers' fixtures below)
            (["demo", MP3], ["Identifier: 01 さくら.mp3", "ID3 TagVersion: v1.1", "ID3 TagVersion: v2.3",
                             "Title: Sakura", "Artist: CKVD Demo Artist", "Genre: (12)"]),
            # The MP3 and WMA fixtures' texts as eyeD3, mid3v2 and ffmpeg were given them (mutagen and ffprobe
            # read them back alike), and the ID3v1 title, Latin-1 as ID3 defines it.
            ([f"{FIXTURES}/mp3/mp3.iso", "/intl23.mp3"], ["ID3 TagVersion: v2.3", "Title: Dvořák: Rusalka",
                                                          "Artist: Ελληνικά 🎵", "Album: 한국어 앨범"]),
            ([f"{FIXTURES}/mp3/mp3.iso", "/intl24.mp3"], ["ID3 TagVersion: v1.0", "Title: Große",
                                                          "ID3 TagVersion: v2.4", "Title: 한국어 🎵", "Artist: Dvořák"]),
            ([f"{FIXTURES}/asf/asf.iso", "/intl.wma"], ["Title: Große Übung", "Auther: Artist 🎵 Dvořák",
                                                   "WM/AlbumTitle: 한국어 앨범"])]
        for args, needles in cases:
            self.assertLines(ok("info", *args), needles)
        self.assertRegex(ok("info", "demo-audio", "Track02.cda"), r"(^|\n)Disc Serial Number: [0-9A-F]{8}\n")
        for path in (MP3, WMA, WAV):
            text, doc = both("info", "demo", path)
            (f,) = doc["files"]
            self.assertEqual([l["label"] + (": " + l["value"] if l["value"] else ":") for l in f["fields"]], text)
            # The last session holding the path: the second, whose tree took in the first one's files.
            self.assertEqual((f["path"], f["session"], f["directory"]), (path, 2, path.rsplit("/", 1)[0]))
        wav = {l["label"]: l for l in f["fields"]}
        self.assertEqual((f["analyzer"], wav["Sampling Freq."]["number"], wav["Format"]["number"]), ("WAV", 44100, 1))
        # Several files in one run, each block after its path; one that no analyzer takes fails the run.
        r = self.assertFails(["info", "demo", WMA, "/README.TXT"], 1, "Title: Evening", "Path: /README.TXT",
                             "This format isn't being supported.", out=None)
        self.assertTrue(r.stdout.startswith(f"Path: {WMA}\n"), r.stdout)
        r = self.assertFails(["info", "--json", "demo", MP3, "/README.TXT"], 1, out=None)
        self.assertEqual(json.loads(r.stdout)["files"][1],
                         {"path": "/README.TXT", "error": "This format isn't being supported."})

    def test_info_gives_each_value_its_line(self):
        # An ID3v1 title of 8-bit Chinese (GBK) whose last byte is a Shift-JIS lead byte (歌 is B8 E8), after
        # lame's frames: each value is converted on its own, so the title keeps to its line; a control
        # character shows as \xNN.
        d = fresh("gbk")
        tag = (b"TAG" + b"GBK title \xD6\xD0\xCE\xC4\xB8\xE8\xC7\xFA\xC3\xFB\xB3\xC6\xBA\xDC\xB3\xA4\xB5\xC4\xB8\xE8"
               + b"Someone").ljust(63, b"\0") + b"Tab\there"
        tool("sox", "-q", "-n", "-r", "44100", "-c", "1", f"{d}/t.wav", "synth", "0.3", "sine", "440")
        os.makedirs(f"{d}/disc")
        tool("lame", "--silent", f"{d}/t.wav", f"{d}/disc/gbk.mp3")
        with open(f"{d}/disc/gbk.mp3", "ab") as f:
            f.write(tag.ljust(127, b"\0") + b"\xFF")
        tool("genisoimage", "-quiet", "-J", "-o", f"{d}/gbk.iso", f"{d}/disc")
        self.assertRegex(ok("info", f"{d}/gbk.iso", "/gbk.mp3"),
                         r"\nTitle: GBK title [^\n]+\nArtist: Someone\nAlbum: Tab\\x09here\n")
        self.assertIn('{"label":"Artist","value":"Someone"}', ok("info", "--json", f"{d}/gbk.iso", "/gbk.mp3"))

    def test_nav(self):
        for name in ("CONTENTS", "MENU", "TEXT", "PLAY0001", "LSN"):
            text, doc = both("nav", "demo", f"/{name}.LMX")
            out = [doc["viewer"]]
            for i, s in enumerate(doc["sections"]):
                out += [""] * bool(i) + [s["title"]] * bool(s["title"])
                if s["type"] == "fields":
                    out += [f["label"] + ": " + f["value"] for f in s["fields"]]
                elif s["type"] == "lines":
                    out += s["lines"]
                elif s["type"] == "list":
                    out.append("\t".join(s["columns"]))
                    out += ["\t".join("" if c is None else c if isinstance(c, str) else "\0" for c in row)
                            for row in s["rows"]]
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
        # The values are the navigation models' (tests/navigation); here what ckvd shows of them, and in which order.
        contents = ok("nav", "demo", "/CONTENTS.LMX")
        self.assertEqual((contents.startswith("CONTENTS.LMX\n"), "\nIdentifier: CNTLMX01\n" in contents), (True, True))
        photos = ok("nav", "demo", "/PLAY0002.LMX")  # a playlist: its group's part after the tree, the name last
        self.assertLines(photos, ["< Playlist Group Viewer >", "Group 1", "Number of Image Files: 2(0x00000002)"])
        self.assertTrue(photos.endswith("\nPlaylist File Name: PLAY0002.LMX\n"))
        self.assertFails(["nav", "demo", "/README.TXT"], 1, "/README.TXT is not a navigation file (.LMX)", out=None)


def keys(doc):
    """Every key of a JSON document, at any depth."""
    if isinstance(doc, dict):
        return set(doc).union(*map(keys, doc.values()))
    return set().union(*map(keys, doc)) if isinstance(doc, list) else set()


class JsonKeys(CkvdCase):
    def test_every_key_is_in_snake_case_and_listed_in_the_readme(self):
        text = read(f"{SOURCE}/README.md").decode()
        table = text[text.index("## JSON keys of ckvd"):].split("\n## ")[0]
        listed = {}
        for command, cell in re.findall(r"^\| `(\w+)` \|[^|\n]*\|([^\n]*)\|$", table, re.M):
            listed.setdefault(command, set()).update(re.findall(r"`([^`]+)`", cell))
        catalogue = os.path.join(fresh("keys"), "catalogue.sqlite")
        ok("catalog", "add", "demo", "--number", "5", "--catalogue", catalogue)
        runs = {"drives": [["--demo"]], "toc": [["demo"]], "ls": [["demo"]], "verify": [["demo"]],
                "info": [["demo", MP3, WMA, WAV, "/README.TXT"]], "check": [["--order", "demo"]],
                "nav": [["demo", f"/{name}.LMX"] for name in ("CONTENTS", "MENU", "TEXT", "PLAY0001", "LSN")],
                "catalog": [[what, *args, "--catalogue", catalogue] for what, args in
                            (("list", []), ("show", ["5"]), ("search", ["mp3"]))]}
        found = {}
        for command, argss in runs.items():
            found[command] = set().union(*(keys(json.loads(run(command, "--json", *args).stdout)) for args in argss))
            self.assertEqual([k for k in found[command] if not re.fullmatch("[a-z][a-z0-9]*(_[a-z0-9]+)*", k)], [])
            self.assertEqual(found[command] - listed[command], set(), command)
        # The keys that were in camelCase.
        self.assertEqual((found["verify"] & {"unreadable_entries"}, found["check"] & {"will_not_play", "shows_wrong"}),
                         ({"unreadable_entries"}, {"will_not_play", "shows_wrong"}))


def sections(image, path):
    """`ckvd info --json` of one file as {section: {label: value}}: "file", each "ID3 TagVersion" value's tag,
    "frame" from HeaderPosition on."""
    part = {}
    out = {"file": part}
    for f in json.loads(ok("info", "--json", image, path))["files"][0]["fields"]:
        if f["label"] in ("ID3 TagVersion", "HeaderPosition"):
            part = out.setdefault(f["value"] if f["label"] == "ID3 TagVersion" else "frame", {})
        part[f["label"]] = f["value"]
    return out


class Analyzers(CkvdCase):
    """`ckvd info` over the analyzer fixtures against mediainfo, ffprobe, id3v2, soxi and cd-info."""

    def test_mpeg_frames_agree_with_mediainfo_and_ffprobe(self):
        image, files = f"{FIXTURES}/mp3/mp3.iso", f"{FIXTURES}/mp3/files"
        crc = {"m1vbr.mp3", "m2cbr.mp3"}  # lame -p
        for name in sorted(n for n in os.listdir(files) if n.endswith(".mp3")):  # Tag Information takes .mp3
            with self.subTest(name):
                m, path = sections(image, "/" + name)["frame"], f"{files}/{name}"
                p = mediainfo(path, "Audio", "Format_Version", "Format_Profile", "BitRate_Mode", "BitRate",
                              "SamplingRate", "Channel(s)", "Format_Settings_Mode", "FrameCount", "SamplesPerFrame")
                versions = {"MPEG-1": "Version 1", "MPEG-2 or 2.5": "Version 2", "MPEG-2.5": "Version 2.5"}
                channels = int(p["Channel(s)"])
                self.assertEqual((versions[m["Version"]], m["Layer"], m["Sampling Freq."], m["Channel"]),
                                 (p["Format_Version"], p["Format_Profile"], p["SamplingRate"] + " Hz",
                                  "Monaural" if channels == 1 else {"Joint stereo": "Joint Stereo",
                                  "Dual mono": "Dual Channel"}.get(p["Format_Settings_Mode"], "Stereo")))
                if p["SamplesPerFrame"]:  # mediainfo leaves it out for VBR without an Info frame
                    self.assertEqual(m["PCM DataSize"], f"{int(p['SamplesPerFrame']) * 2 * channels} bytes")
                if p["BitRate_Mode"] == "CBR":
                    self.assertEqual(m["Bitrate"], f"{int(p['BitRate']) // 1000} kbps")
                # The header and the two bytes after it (the CRC when the protection bit is clear) in the file.
                at = int(m["HeaderPosition"].split()[0])
                h = read(path)[at:at + 6]
                self.assertEqual((m["Header"], m["CRC"]), ("%02X %02X %02X %02X" % tuple(h[:4]),
                                 ("Exist" if name in crc else "None") + " %02X %02X" % tuple(h[4:])))
                probe = peer(["ffprobe", "-v", "error", "-show_entries", "stream=codec_name,sample_rate:format=duration",
                              "-of", "default=nw=1", path])
                self.assertEqual((probe["codec_name"], probe["sample_rate"] + " Hz"),
                                 ("mp2" if m["Layer"] == "Layer 2" else "mp3", m["Sampling Freq."]))
                # Frames and whole seconds (ffprobe's leave out the encoder's delay and padding); m2vbr.mp3 is VBR
                # without a Xing header, its figures the bitrate's estimate.
                if name != "m2vbr.mp3":
                    self.assertLessEqual(abs(int(m["Frames"]) - int(p["FrameCount"])), 1)
                    self.assertLess(abs(int(m["Length"].split()[0]) - float(probe["duration"])), 1.0)

    def test_id3_tags_agree_with_mediainfo_and_id3v2(self):
        image, files = f"{FIXTURES}/mp3/mp3.iso", f"{FIXTURES}/mp3/files"
        labels = {"Title": "Title", "Performer": "Artist", "Album": "Album", "Recorded_Date": "Year",
                  "Track/Position": "Track", "Composer": "Composer", "Original/Performer": "Original Artist",
                  "EncodedBy": "Encoder", "Genre": "Genre"}
        # Versions as the tools write them: id3v2 and eyeD3 --to-v2.3 2.3, eyeD3 --to-v2.4 and mid3v2 2.4.
        for name, version in (("m1cbr.mp3", "v2.3"), ("m1vbr.mp3", "v2.3"), ("m2cbr.mp3", "v2.3"),
                              ("m1latin.mp3", "v2.3"), ("m1abr.mp3", "v2.4"), ("m25cbr.mp3", "v2.4")):
            with self.subTest(name):
                s, path = sections(image, "/" + name), f"{files}/{name}"
                p = mediainfo(path, "General", *labels)
                # Genres as written: eyeD3 a name, id3v2 the ID3v1 number in parentheses (ID3v2.3 TCON form).
                p["Genre"] = "(13)" if name == "m1cbr.mp3" else p["Genre"]
                self.assertEqual({ours: s[version][ours] for ours in labels.values()},
                                 {ours: p[theirs] for theirs, ours in labels.items()})
        # COMM is one text to its first zero byte: id3v2 leaves the language zero, eyeD3 writes "eng".
        self.assertEqual(sections(image, "/m1cbr.mp3")["v2.3"]["Comment"], "")
        self.assertEqual(sections(image, "/m1latin.mp3")["v2.3"]["Comment"], "eng")
        line1 = re.compile(r"Title  : (.{30})  Artist: (.*)")
        line2 = re.compile(r"Album  : (.{30})  Year: (.{4}), Genre: .*\((\d+)\)")
        line3 = re.compile(r"Comment: (.{30})  Track: (\d+)")
        # apev1.mp3 has an APEv2 tag ("APETAGEX") just before its ID3v1 tag; eyeD3 left m2vbr.mp3's track 0.
        for name in ("m1cbr.mp3", "m2cbr.mp3", "m2vbr.mp3", "apev1.mp3"):
            with self.subTest(name):
                out = tool("id3v2", "-l", f"{files}/{name}")
                a, b, c = (r.search(out) or self.fail(out) for r in (line1, line2, line3))
                v1 = sections(image, "/" + name)["v1.1" if int(c[2]) else "v1.0"]
                self.assertEqual([v1[k] for k in ("Title", "Artist", "Album", "Year", "Genre", "Comment", "Track")],
                                 [a[1].rstrip(), a[2].rstrip(), b[1].rstrip(), b[2].rstrip(), b[3], c[1].rstrip(),
                                  c[2]])
        # ID3v1 alone, and no tag at all: the header at byte 0.
        self.assertEqual(list(sections(image, "/m2vbr.mp3")), ["file", "v1.0", "frame"])
        s = sections(image, "/m1mono.mp3")
        self.assertEqual((list(s), s["frame"]["HeaderPosition"]), (["file", "frame"], "0 bytes"))

    def test_windows_media_agrees_with_mediainfo(self):
        image, labels = f"{FIXTURES}/asf/asf.iso", {"Title": "Title", "Performer": "Auther", "Copyright": "Copyright",
                                                    "Comment": "Description", "Album": "WM/AlbumTitle",
                                                    "Genre": "WM/Genre"}
        for name in ("wmav2_tags.wma", "wmav1_dword.wma", "plain.wma"):
            with self.subTest(name):
                f, path = sections(image, "/" + name)["file"], f"{FIXTURES}/asf/{name}"
                p = mediainfo(path, "General", "Format", "Duration", "OverallBitRate_Maximum", *labels)
                p.update(mediainfo(path, "Audio", "CodecID_Description"))
                # mediainfo's duration is the play duration less the preroll, in ms; shown in whole seconds.
                ms = int(p["Duration"])
                self.assertEqual((p["Format"], f["Duration"], f["Bitrate"], f["Seekable"]),
                                 ("Windows Media", "%2d:%02d" % (ms // 60000, ms // 1000 % 60),
                                  p["OverallBitRate_Maximum"] + " bps", "TRUE"))  # ffmpeg's files are seekable
                self.assertEqual({ours: f[ours] for ours in labels.values()},
                                 {ours: p[theirs] for theirs, ours in labels.items()})
                # mediainfo shows a codec entry as its name, then " - " and its description when it has one.
                self.assertEqual(f["Codec Name"] + (" - " + f["Codec Description"]) * bool(f["Codec Description"]),
                                 p["CodecID_Description"])

    def test_wave_headers_agree_with_soxi_ffprobe_and_mediainfo(self):
        image, files = f"{FIXTURES}/wav/wav.iso", f"{FIXTURES}/wav/disc"
        names = sorted(os.listdir(files))
        self.assertEqual(len(names), 18)
        for name in names:
            with self.subTest(name):
                path = f"{files}/{name}"
                if name == "list_first.wav":  # soxi finds "fmt " after the LIST chunk; the analyzer wants byte 12
                    self.assertFails(["info", image, "/" + name], 1, "This format isn't being supported.", out=None)
                    continue
                soxi = [tool("soxi", flag, path).strip() for flag in ("-c", "-r", "-b")]
                seconds = int(float(tool("ffprobe", "-v", "error", "-show_entries", "format=duration", "-of",
                                         "csv=p=0", path)))
                # The format tag in hex, or the sub-format GUID of an extensible file (tag 0xFFFE).
                codec = tool("mediainfo", "--Inform=Audio;%CodecID%", path).strip()
                f = sections(image, "/" + name)["file"]
                tag = int(codec.split("-")[0], 16)
                sub = None if "-" not in codec else "0x0001 PCM <Windows Support>" if tag == 1 else "0x%04X" % tag
                self.assertEqual((f["Format"], f.get("Sub-format"), f["Channel"], f["Sampling Freq."], f["Sample"],
                                  f["Length"]),
                                 ("0xFFFE" if sub else "0x%04X" % tag, sub, soxi[0] + " channels", soxi[1] + " Hz",
                                  soxi[2] + " bits/sample", "%2d:%2d" % (seconds // 60, seconds % 60)))

    def test_cd_audio_track_files_agree_with_cd_info(self):
        serials = []
        for cue in ("one.cue", "two.cue"):
            image = f"{FIXTURES}/cda/{cue}"
            starts = cd_info_starts(image)
            self.assertEqual([e["name"] for e in entries(image)],
                             [f"Track{n:02d}.cda" for n in range(1, len(starts))])
            for n in range(1, len(starts)):
                f = sections(image, f"/Track{n:02d}.cda")["file"]
                self.assertEqual((f["Number of Track"], f["Track Start Address"], f["Track Size"]),
                                 (f"{n:02d}", str(starts[n - 1]), str(starts[n] - starts[n - 1])), cue)
                serials.append((cue, f["Disc Serial Number"]))
        # One serial on each disc, another on each.
        self.assertEqual((len(set(serials)), len({s for _, s in serials})), (2, 2), serials)


class Usage(CkvdCase):
    def test_help_and_exit_codes(self):
        r = run("--help")
        self.assertLines(r.stdout, [f"ckvd {c} " for c in ("drives", "toc", "ls", "info", "get", "nav", "report")])
        self.assertEqual(r.stderr, "")
        for args in (["ls", "--help"], ["help", "get"], ["get", "-r", "--help"]):
            self.assertTrue(ok(*args).startswith("usage: ckvd " + args[-1 if args[0] == "help" else 0]))
        self.assertIn("get -r", ok("get", "--help"))
        for args in ([], ["ls"], ["get", "-r", "demo", "/DOCS"], ["nav", "demo"], ["ls", "demo", "demo-audio"]):
            self.assertFails(args, 2, "usage: ")
        # A word ckvd does not take is named on one line with where the usage is, not lost in the whole usage.
        for args, said in ((["bogus"], "ckvd: unknown command 'bogus'"), (["help", "bogus"], "unknown command 'bogus'"),
                           (["ls", "--bogus", "x.iso"], "unknown option '--bogus'"),
                           (["report", "--json", "demo", "-o", "x"], "unknown option '--json'"),
                           (["ls", "--session", "0", "demo"], "--session takes a session number from 1 to 255, not '0'"),
                           (["report", "demo", "-o", "x.csv", "--comment"], "option '--comment' needs a value"),
                           (["drives", "demo"], "unexpected argument 'demo'"),
                           (["catalog", "bogus"], "ckvd: catalog: unknown command 'bogus'")):
            r = self.assertFails(args, 2, said)
            self.assertEqual((r.stderr.count("\n"), "--help" in r.stderr, "usage:" in r.stderr), (1, True, False), args)

    def test_every_program_says_its_version_and_names_a_word_it_does_not_take(self):
        version = re.search(r"project\(ckvd-explorer VERSION (\S+)", read(f"{SOURCE}/CMakeLists.txt").decode())[1]
        programs = [p for p in ("ckvd", "ckvd-mkdisc", "ckvd-mknav", "ckvd-explorer") if os.path.exists(f"{BIN}/{p}")]
        self.assertGreaterEqual(len(programs), 3)
        for program in programs:
            r = subprocess.run([f"{BIN}/{program}", "--version"], capture_output=True, text=True,
                               env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
            self.assertEqual((r.returncode, r.stdout, r.stderr), (0, f"{program} (CKVD Explorer) {version}\n", ""))
        for args, said in ((["ckvd-mkdisc", "bogus", "x.cue"], "ckvd-mkdisc: unknown command 'bogus'"),
                           (["ckvd-mkdisc", "create", "--bogus", "x.cue"], "ckvd-mkdisc: unknown option '--bogus'"),
                           (["ckvd-mknav", "--bogus", WORK], "ckvd-mknav: unknown option '--bogus'"),
                           (["ckvd-mknav", WORK, "--name"], "ckvd-mknav: a value is missing after '--name'")):
            r = subprocess.run([f"{BIN}/{args[0]}", *args[1:]], capture_output=True, text=True)
            self.assertEqual((r.returncode, r.stderr.count("\n"), r.stderr.startswith(said), "--help" in r.stderr),
                             (2, 1, True, True), r.stderr)

    def test_an_image_file_that_cannot_be_opened_says_why(self):
        # The file and the system's reason, without a line number; "--" ends the options.
        locked = os.path.join(WORK, "locked.iso")
        write(locked, bytes(20 * 2048))
        os.chmod(locked, 0)
        other = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] if os.geteuid() == 0 else []
        for args, file, reason in (([CKVD, "ls", "nosuch.iso"], "nosuch.iso", "No such file or directory"),
                                   ([CKVD, "ls", "--", "-nosuch.iso"], "-nosuch.iso", "No such file or directory"),
                                   ([CKVD, "toc", WORK], WORK, "Is a directory"),
                                   (other + [CKVD, "ls", locked], locked, "Permission denied")):
            r = subprocess.run(args, capture_output=True, text=True)
            self.assertEqual((r.returncode, r.stderr), (1, f"ckvd: {file}: cannot open the image file: {reason}\n"))

    def test_failures(self):
        bad = os.path.join(WORK, "bad.cue")
        write(bad, 'FILE "nothing.bin" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 xx:yy:zz\n')
        for args, named in ((["ls", os.path.join(WORK, "missing.cue")], "missing.cue"), (["toc", bad], "bad.cue"),
                            (["get", "demo", "/NO/SUCH", os.path.join(WORK, "x")], "/NO/SUCH"),
                            # the other form of get is named
                            (["get", "-r", "demo", "/README.TXT", "my dest"], "ckvd get demo /README.TXT 'my dest' copies it"),
                            (["get", "demo", "/DOCS"], "/DOCS is a directory; ckvd get -r demo /DOCS DEST copies it"),
                            (["get", "demo", "/README.TXT", "/nonexistent-dir/x"], ""),
                            (["info", "demo", "/NO/SUCH"], ""), (["ls", "--session", "9", "demo"], ""),
                            (["nav", "--session", "1", "demo", "/CONTENTS.LMX"], "")):
            self.assertFails(args, 1, named, out=None)
        with open("/dev/full", "w") as full:  # a listing that cannot be written
            self.assertEqual(run("ls", "demo", stdout=full).returncode, 1)


class Get(CkvdCase):
    def test_file_against_isoinfo(self):
        out = os.path.join(WORK, "readme")
        ok("get", "--session", "1", "demo", "/README.TXT", out)
        self.assertEqual(read(out).decode(), tool("isoinfo", "-i", f"{DEMO}/demo-data.bin", "-x", "/README.TXT;1"))

    def test_second_session_against_xorriso(self):
        ours, theirs = os.path.join(fresh("tree"), "ours"), os.path.join(WORK, "tree", "xorriso")
        ok("get", "-r", "--session", "2", "demo", "/", ours)
        # xorriso reads a session from one file with the sessions at their block addresses; the second
        # session's tree holds the first session's files too.
        start = json.loads(ok("toc", "--json", "demo"))["sessions"][1]["tracks"][0]["address"]
        disc = os.path.join(WORK, "demo-disc.img")
        write(disc, read(f"{DEMO}/demo-data.bin").ljust(start * 2048, b"\0")[:start * 2048] +
              read(f"{DEMO}/demo-data-s2.bin"))
        xorriso_extract(disc, theirs, load=("-load", "sbsector", str(start)))
        files = [{k: v[2:] for k, v in local_tree(top).items() if v[0] == "F"} for top in (ours, theirs)]
        self.assertEqual(files[0], files[1])  # time and bytes (xorriso keeps the disc's modes, ckvd gives its own)
        self.assertIn("追加/動画/テスト.avi", files[0])
        dates = {e["path"]: e["date"] for e in entries("--session", "2", "demo")}
        for rel, (mtime, _) in files[0].items():  # files keep their recorded times
            self.assertEqual(mtime, datetime.datetime.fromisoformat(dates["/" + rel]).timestamp(), rel)

    def test_names_no_local_file_may_have_are_left_out(self):
        # Joliet names patched in genisoimage's image (UCS-2, big-endian, so only the Joliet records match):
        # QQ becomes "..", ZZZ2.TXT a second ZZZ1.TXT.
        tree = fresh("names-tree")
        for name, text in (("QQ", b"up"), ("ZZZ1.TXT", b"one"), ("ZZZ2.TXT", b"two"), ("KEEP.TXT", b"kept")):
            write(os.path.join(tree, name), text)
        iso = os.path.join(WORK, "names.iso")
        tool("genisoimage", "-quiet", "-J", "-o", iso, tree)
        for old, new in (("QQ", ".."), ("ZZZ2.TXT", "ZZZ1.TXT")):
            patch(iso, old.encode("utf-16-be"), new.encode("utf-16-be"))
        dest = os.path.join(fresh("names-copy"), "inside")
        self.assertFails(["get", "-r", iso, "/", dest], 1, 'the name ".." cannot be', 'a second entry named "ZZZ1.TXT"',
                         out=None)
        self.assertEqual(os.listdir(os.path.dirname(dest)), ["inside"])  # nothing written above DEST
        self.assertEqual(sorted(os.listdir(dest)), ["KEEP.TXT", "ZZZ1.TXT"])
        self.assertEqual(read(os.path.join(dest, "ZZZ1.TXT")), b"one")

    def test_links_in_the_destination_are_replaced_not_written_through(self):
        def snapshot(top):
            paths = [os.path.join(d, f) for d, ds, fs in os.walk(top) for f in fs + ds]
            return {os.path.relpath(p, top): os.readlink(p) if os.path.islink(p) else read(p)
                    for p in paths if os.path.islink(p) or os.path.isfile(p)}

        top = fresh("links")
        outside, dest, clean = (os.path.join(top, d) for d in ("outside", "dest", "clean"))
        for name, text in (("victim.txt", b"precious"), ("chained.txt", b"also"), ("docs/keep.txt", b"keep")):
            write(os.path.join(outside, name), text)
        os.makedirs(os.path.join(dest, "音楽"))
        os.symlink(os.path.join(outside, "victim.txt"), os.path.join(dest, "README.TXT"))
        os.symlink(os.path.join(outside, "docs"), os.path.join(dest, "DOCS"))
        os.symlink(os.path.join(outside, "chained.txt"), os.path.join(top, "hop"))
        os.symlink(os.path.join(top, "hop"), os.path.join(dest, "音楽", "アルバム 一"))  # a chain to a file
        before = snapshot(outside)
        ok("get", "-r", "--session", "1", "demo", "/", dest)
        ok("get", "-r", "--session", "1", "demo", "/", clean)
        self.assertEqual(snapshot(outside), before)
        self.assertEqual(snapshot(dest), snapshot(clean))
        self.assertFalse(any(os.path.islink(os.path.join(d, x)) for d, ds, fs in os.walk(dest) for x in ds + fs))


class Report(unittest.TestCase):
    def setUp(self):
        self.dir = fresh("report")
        self.env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(self.dir, "cfg"))
        self.profile = os.path.join(self.dir, "cfg", "ckvd-explorer", "profile.ini")

    def report(self, *args, out="report.csv"):
        """ckvd report ARGS -o OUT: its status, what it said and the report (None if it wrote none)."""
        out = os.path.join(self.dir, out)
        r = run("report", *args, "-o", out, env=self.env)
        return r.returncode, r.stdout + r.stderr, read(out) if os.path.exists(out) else None

    def test_the_given_or_the_stored_number_and_the_next_one_stored_after_a_written_report(self):
        # What Shift-JIS cannot hold is folded as Joliet names are ("é" to "e", "☃" to "?"), and said (the comment's
        # quoting and Shift-JIS: test_report_csv.py). A given number is not stored.
        code, out, csv = self.report("demo", "--number", "6", "--comment", "Café ☃ é")
        self.assertEqual(code, 0, out)
        self.assertIn(b"\r\nMA000006,Cafe ? e,20", csv)
        self.assertIn('ckvd: comment: "é" written as "e", "☃" as "?"', out)
        self.assertFalse(os.path.exists(os.path.dirname(os.path.dirname(self.profile))))
        # The stored number among other values, the next one stored after a written report; a report that cannot
        # be written gives its number back. The largest number stays the next one, as after the window's report.
        profile = "[CkvdExplorer Settings]\nX=30\nDISCMNGRNO=%d\nCX=700\n"
        write(self.profile, profile % 41)
        code, out, _ = self.report("demo", out="/nonexistent-dir/x.csv")
        self.assertEqual((code, "/nonexistent-dir/x.csv" in out), (1, True))
        self.assertEqual(read(self.profile).decode(), profile % 41)
        self.assertIn(b"\r\nMA000041,,", self.report("demo")[2])
        self.assertEqual(read(self.profile).decode(), profile % 42)
        write(self.profile, profile % 2147483647)
        self.assertEqual(self.report("demo")[0], 0)
        self.assertEqual(read(self.profile).decode(), profile % 2147483647)
        for usage in ("demo", "-o x.csv", "demo --number 12x -o x.csv", "demo --number 99999999999 -o x.csv",
                      "demo demo-audio -o x.csv", "demo -o x.csv --comment"):
            self.assertEqual(run("report", *usage.split(), env=self.env).returncode, 2, usage)
        self.assertFalse(os.path.exists("x.csv"))

    def test_titles_keep_their_shift_jis_forms(self):
        # Latin-1 letters folded to their ASCII look-alikes, "?" for a character without a JIS X 0208 code; said
        # once. The texts eyeD3 and mid3v2 gave intl23.mp3 and intl24.mp3 (title, artist, album) each hold such a
        # character (ř, ά, Hangul, an emoji), as do the three ffmpeg gave intl.wma.
        for image, title, texts in (("mp3/mp3.iso", b",Dvo?ak: Rusalka,", 6), ("asf/asf.iso", b",GroBe Ubung,", 3)):
            code, out, csv = self.report(f"{FIXTURES}/{image}", "--number", "1")
            self.assertEqual(code, 0, out)
            self.assertIn(title, csv)
            said = [line for line in out.splitlines() if "Shift-JIS" in line]
            self.assertEqual(len(said), 1, out)
            self.assertTrue(said[0].startswith(f"ckvd: {texts} tag texts hold characters Shift-JIS has no code"), out)

    def test_names_shift_jis_cannot_hold_are_said_once(self):
        src = os.path.join(self.dir, "lossy")
        for name in ("Čeština.txt", "音楽.txt", "Ελληνικά/x.txt"):
            write(os.path.join(src, name), "x")
        image = os.path.join(self.dir, "lossy.iso")
        tool("genisoimage", "-quiet", "-J", "-o", image, src)
        code, out, csv = self.report(image, "--number", "1")
        self.assertEqual(code, 0, out)
        self.assertIn(b",?e?tina.txt,", csv)
        self.assertIn(",Ελληνικ?,".encode("cp932"), csv)
        self.assertEqual([line for line in out.splitlines() if "Shift-JIS" in line],
                         ['ckvd: 2 names hold characters Shift-JIS has no code for: the report writes "Čeština.txt" '
                          'as "?e?tina.txt"'])

    def test_twenty_reports_at_once_take_twenty_numbers(self):
        outs = [os.path.join(self.dir, f"r{i}.csv") for i in range(20)]
        os.makedirs(os.path.dirname(self.profile))
        procs = [subprocess.Popen([CKVD, "report", "demo", "-o", o], env=self.env, stderr=subprocess.PIPE)
                 for o in outs]
        for p in procs:
            self.assertEqual(p.wait(), 0, p.stderr.read())
            p.stderr.close()
        numbers = sorted(read(o).split(b"\r\n")[4].split(b",")[0].decode() for o in outs)
        self.assertEqual(numbers, [f"MA{n:06d}" for n in range(20)])
        self.assertIn(b"DISCMNGRNO=20\n", read(self.profile))


if __name__ == "__main__":
    main()
