#!/usr/bin/env python3
"""`ckvd report` over the discs of make_fixtures.sh, read with Python's csv module and compared with isoinfo,
mediainfo, id3v2 and cd-info. usage: test_report_csv.py CKVD WORKDIR (CKVD_REPORT_FIXTURES names the fixtures)
"""
import csv
import io
import os
import re
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
from ckvdtest import WORK, cd_info_starts, main, mediainfo, read, run, tool  # noqa: E402

FIX = os.environ["CKVD_REPORT_FIXTURES"]
COMMENT = 'a, "quoted"\r\nコメント'
# The fixed lines as the report's definition gives them.
TOC_COLUMNS = ("DiscType,MaxSector,SectorSize,Session,Mode,Track,Address,Size,PvdLBN,LeadIn,LeadOut,Mode5,"
               "NextProgramArea,RecordingAreaLeadOut,,,,,,")
TREE_COLUMNS = ("PathTable Order,ParentDirectory No.,Play Order,Category,Identifier,LBN,Size,Album,Title,Artist,"
                "Header Position,Header(Data),MPEG Version,Layer,CRC,CRC(Data),Bitrate(kbps),"
                "SamplingFrequency(Hz),Channel,")


def texts(name):
    """mediainfo's album, title and artist of a fixture file."""
    return list(mediainfo(f"{FIX}/files/{name}", "General", "Album", "Title", "Performer").values())


def expected_tree(listing):
    """The first seven fields of a session tree's lines from isoinfo's listing of that session: directories
    numbered in the order isoinfo lists them (the path table's), each followed by its files in record order,
    then its subdirectories; files numbered from 1 in that order, a directory showing the next file's number."""
    dirs, names, number = [], {}, {}
    for line in listing.splitlines():
        if line.startswith("Directory listing of "):
            dirs.append({"files": [], "subdirs": []})
        m = re.match(r"^([d-])-{9} +\d+ +\d+ +\d+ +(\d+) \w+ +\d+ \d+ \[ *(\d+) \d+\]  (.*) $", line)
        if dirs and m:
            kind, size, lbn, name = m.groups()
            if name == ".":
                dirs[-1].update(lbn=lbn, size=size)
                number[lbn] = len(dirs)
            elif name == "..":
                dirs[-1]["parent"] = lbn
            elif kind == "d":
                dirs[-1]["subdirs"].append(lbn)
                names[lbn] = name
            else:
                dirs[-1]["files"].append([name, lbn, size])
    rows, order = [], 1

    def walk(n):
        nonlocal order
        d = dirs[n - 1]
        head = [str(n), str(number[d["parent"]])]
        rows.append(head + [str(order), "<Volume>" if n == 1 else "<Directory>", names.get(d["lbn"], ""), d["lbn"],
                            d["size"]])
        for f in d["files"]:
            rows.append(head + [str(order), "File"] + f)
            order += 1
        for sub in d["subdirs"]:
            walk(number[sub])
    walk(1)
    return rows


class Report(unittest.TestCase):
    def report(self, image):
        """The report as the csv module reads it from Shift-JIS, in the groups of lines empty lines set off."""
        out = os.path.join(WORK, "report.csv")
        r = run("report", f"{FIX}/{image}", "--number", "7", "--comment", COMMENT, "-o", out,
                env=dict(os.environ, XDG_CONFIG_HOME=os.path.join(WORK, "cfg")))
        self.assertEqual(r.returncode, 0, r.stderr)
        data = read(out)
        self.assertIsNone(re.search(rb"(^|[^\r])\n", data), "a line not ended by CR LF")
        groups = [[]]
        for row in csv.reader(io.StringIO(data.decode("cp932"), newline="")):
            groups[-1].append(row) if row else groups.append([])
        self.assertEqual([",".join(r) for g in groups[:3] for r in g[:2]],
                         ["<DCF>,,,,,,,,,,,,,,,,,,,", "[HEADER],,,,,,,,,,,,,,,,,,,",
                          "No.,Comment,Date,Time,,,,,,,,,,,,,,,,",
                          "[TOC Information],,,,,,,,,,,,,,,,,,,", TOC_COLUMNS])
        self.assertEqual(groups[1][2][:2] + groups[1][2][4:], ["MA000007", COMMENT] + [""] * 16)  # the comment whole
        self.assertRegex(",".join(groups[1][2][2:4]),  # no zero padding
                         r"^\d{4}\.[1-9]\d?\.[1-9]\d?,(0|[1-9]\d?):(0|[1-9]\d?):(0|[1-9]\d?)$")
        for row in (r for g in groups for r in g):
            self.assertTrue(len(row) == 20 or (len(row) > 7 and row[3] == "File"), row)  # files: by kind
        return groups

    def test_two_session_data_disc_agrees_with_isoinfo_mediainfo_and_id3v2(self):
        groups = self.report("report.cue")
        self.assertEqual(len(groups), 5)
        # The TOC: the second session where genisoimage -C was told it starts, its volume descriptors 16
        # blocks on; each session's lead-out after its image's blocks; B0 150 blocks before the next session.
        start2 = int(read(f"{FIX}/msinfo").split(b",")[1])
        end1, end2 = os.path.getsize(f"{FIX}/s1.iso") // 2048, start2 + os.path.getsize(f"{FIX}/s2.iso") // 2048
        toc = groups[2]
        self.assertEqual(len(toc), 4)
        self.assertEqual(toc[2][:9] + [toc[2][10], toc[2][12]],
                         ["CD-ROM", str(end2 - 1), "2048", "1", "", "1", "0", "0", "16", str(end1),
                          str(start2 - 150)])
        self.assertLess(int(toc[2][9]), 0)  # the lead-in start lies before 00:00:00
        self.assertEqual(toc[3][:11], ["CD-ROM", str(end2 - 1), "2048", "2", "", "2", str(start2), "0",
                                       str(start2 + 16), "0", str(end2)])
        # id3v2 put different texts into this file's two tags: the ID3v2 ones are to be shown.
        self.assertIn("Title  : V1 Title", tool("id3v2", "-l", f"{FIX}/files/01 両方.mp3"))
        names = []
        for session, listing in ((1, tool("isoinfo", "-l", "-J", "-i", f"{FIX}/s1.iso")),
                                 (2, tool("isoinfo", "-l", "-J", "-N", str(start2), "-i", f"{FIX}/s2.iso"))):
            expected, tree = expected_tree(listing), groups[2 + session]
            files = sum(r[3] == "File" for r in expected)
            self.assertEqual(len(tree), len(expected) + 2)
            self.assertEqual([",".join(tree[0]), ",".join(tree[1])],
                             [f"[DISC Contents],Session[{session}],Dir[{len(expected) - files}],File[{files}]"
                              + "," * 16,
                              TREE_COLUMNS])
            self.assertEqual(tree[2][4], f"REPORT_S{session}       ")
            for i, e in enumerate(tree[2:]):
                name, rest = e[4], e[7:]
                names.append(name)
                # isoinfo prints a Joliet name without a character set as "_" for each character past ASCII.
                self.assertEqual(e[:4] + ["" if i == 0 else re.sub(r"[^\x00-\x7f]", "_", name)] + e[5:7], expected[i])
                if name.endswith(".mp3"):
                    a = list(mediainfo(f"{FIX}/files/{name}", "Audio", "Format_Version", "Format_Profile", "BitRate",
                                       "SamplingRate", "Format_Settings_Mode", "Channel(s)").values())
                    h = read(f"{FIX}/files/{name}")[int(rest[3]):][:6]  # the header and the two bytes after it
                    self.assertEqual(rest, texts(name) + [
                        "0" if name in ("03 素.mp3", "04 layer2.mp3") else rest[3],  # no ID3v2 before the frame
                        "%02X %02X %02X %02X" % tuple(h[:4]),
                        {"Version 1": "MPEG-1", "Version 2.5": "MPEG-2.5"}.get(a[0], "MPEG-2 or 2.5"), a[1],
                        "Exist" if name == "03 素.mp3" else "None",  # lame -p
                        "%02X %02X" % tuple(h[4:]), str(int(a[2]) // 1000), a[3],
                        "Monaural" if a[5] == "1" else {"Joint stereo": "Joint Stereo", "Dual mono": "Dual Channel"}
                        .get(a[4], "Stereo"), "", ""], name)
                elif name.endswith(".wma"):  # ffmpeg writes a codec name without a description
                    codec = mediainfo(f"{FIX}/files/{name}", "Audio", "CodecID_Description")["CodecID_Description"]
                    self.assertEqual(rest, texts(name) + ["", "", codec] + [""] * 6, name)
                    self.assertTrue(name != "untagged.wma" or rest[:3] == ["", "", ""])
                else:
                    self.assertEqual(rest, [""] * 13, name)
        for name in ("音楽", "アルバム 一", "ディスク 2", "波.wav", "01 両方.mp3", "03 素.mp3", "メモ.txt", 'a, "b".txt', "追加",
                     "夜.mp3", "低.mp3"):
            self.assertIn(name, names)

    def test_audio_disc_toc_and_track_files_agree_with_cd_info(self):
        groups = self.report("audio.cue")
        starts = cd_info_starts(f"{FIX}/audio.cue")
        self.assertEqual(len(starts), 4, starts)  # the lead-out last
        self.assertEqual([len(g) for g in groups], [1, 3, 5, 6])
        self.assertEqual(",".join(groups[3][0]), "[DISC Contents],Session[1],Dir[1],File[3]" + "," * 16)
        self.assertEqual(",".join(groups[3][2]), "0,0,1,<Volume>,Audio CD,0,0" + "," * 13)
        end = starts[3]
        for i in range(3):
            n, at, size = i + 1, starts[i], starts[i + 1] - starts[i]
            self.assertEqual(",".join(groups[2][i + 2]),
                             f"Audio,{end - 1},2048,1,,{n},{at},{size},0,0,{end},0x00,0,0,,,,,,")
            self.assertEqual(",".join(groups[3][i + 3]), f"0,0,{n},File,Track0{n}.cda,{at},{size}" + "," * 13)


if __name__ == "__main__":
    main()
