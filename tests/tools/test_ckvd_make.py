#!/usr/bin/env python3
"""ckvd make: a folder of lame, sox and ffmpeg files (a 300-file album, twelve levels, names of 80 characters in
Japanese (a Linux name holds 255 bytes) and 120 in Czech, an ID3v2.4 tag, a WAV named .mp3, a Windows Media file, "Track 2" and "Track 10") made into images for car-cd,
iso9660-level1 and a user's profile; xorriso and isoinfo read them, the playback order ckvd check prints is
the plan's, the data lies in that order, every copy's audio is its source's.
usage: test_ckvd_make.py CKVD WORKDIR"""
import json
import os
import re
import subprocess

from ckvdtest import CkvdCase, fresh, main, read, run, tool, write, xorriso_extract, xorriso_paths

HOME = fresh("make")
MUSIC = os.path.join(HOME, "My Music")
JAPANESE = "桜の花びら" * 16  # 80 characters: 240 bytes of UTF-8, near the 255 a Linux file name holds
CZECH = ("Žluťoučký kůň úpěl ďábelské ódy " * 4)[:120]


def make_music():
    tones = []
    for n, hz in enumerate((440, 550, 660)):
        wav = os.path.join(HOME, f"tone{n}.wav")
        tool("sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "0.2", "sine", str(hz))
        tool("lame", "--quiet", "-b", "64", wav, wav[:-4] + ".mp3")
        tones.append(wav[:-4] + ".mp3")
    files = {f"Album/Track {n}.mp3": tones[n % 3] for n in range(1, 301)}
    deep = "/".join(f"D{k}" for k in range(1, 12))  # D11 is the twelfth level, the root the first
    files.update({f"{deep}/deep.mp3": tones[0], f"名前/{JAPANESE}.mp3": tones[1], f"Czech/{CZECH}.mp3": tones[2],
                  "v24.mp3": tones[0], "noise.mp3": os.path.join(HOME, "tone0.wav"), "Track 10.mp3": tones[1],
                  "Track 2.mp3": tones[2]})
    for path, source in files.items():
        write(os.path.join(MUSIC, path), read(source))
    write(os.path.join(MUSIC, "cover.jpg"), "not music")
    tool("ffmpeg", "-hide_banner", "-loglevel", "error", "-f", "lavfi", "-i", "sine=frequency=330:duration=0.3",
         "-ac", "2", "-c:a", "wmav2", "-b:a", "64k", os.path.join(MUSIC, "wma.wma"))
    tool("eyeD3", "--quiet", "--to-v2.4", "-t", "Píseň", os.path.join(MUSIC, "v24.mp3"))


def audio(data):
    """The MPEG frames: the bytes between an ID3v2 tag and an ID3v1 tag."""
    if data[:3] == b"ID3":
        data = data[10 + sum(b << (7 * (3 - i)) for i, b in enumerate(data[6:10])):]
    return data[:-128] if data[-128:-125] == b"TAG" else data


def lbas(image):
    out = subprocess.run(["xorriso", "-abort_on", "NEVER", "-indev", image, "-find", "/", "-type", "f", "-exec",
                          "report_lba", "--"], capture_output=True, env={**os.environ, "LC_ALL": "C.UTF-8"}).stdout
    return {m[2]: int(m[1]) for m in re.finditer(r"(?m)^File data lba:\s+\d+\s*,\s*(\d+)\s*,.*'(.*)'$",
                                                  out.decode())}


class Make(CkvdCase):
    @classmethod
    def setUpClass(cls):
        make_music()

    def made(self, profile, name, left_too=frozenset()):
        """The image made for `profile`, its plan and its tracks (folder, track, path, source) in order; what
        it leaves out besides the WAV named .mp3 and the picture is `left_too`."""
        image = os.path.join(HOME, name + ".iso")
        r = run("make", "--json", "--profile", profile, MUSIC, image)
        self.assertEqual(r.returncode, 0, r.stderr)
        plan = json.loads(r.stdout)
        tracks = [(f["folder"], f["track"], f["path"], f["source"]) for d in plan["folders"] for f in d["files"]]
        self.assertEqual(plan["check"]["will_not_play"], 0)
        # The check of the image plays what the plan said, in its order.
        c = run("check", "--json", "--order", "--profile", profile, image)
        self.assertEqual(c.returncode, 0, c.stderr)
        self.assertEqual([(t["folder"], t["track"], t["path"].removesuffix(";1"))
                          for t in json.loads(c.stdout)["order"]], [t[:3] for t in tracks])
        # The data lies in that order; Rock Ridge names the plan's paths; each copy's audio is its source's.
        at = lbas(image)
        self.assertEqual([at[p] for _, _, p, _ in tracks], sorted(at[p] for _, _, p, _ in tracks))
        dirs = {d["path"] for d in plan["folders"]} - {"/"}
        self.assertEqual(xorriso_paths(image), dirs | {p for _, _, p, _ in tracks} | set(plan["navigation"]))
        out = fresh("make", name + "-files")
        xorriso_extract(image, out)
        for _, _, path, source in tracks:
            self.assertEqual(audio(read(out + path)), audio(read(source)), path)
        left = {(os.path.basename(x["source"]), x["rule"]) for x in plan["left_out"]}
        self.assertEqual(left, {("noise.mp3", "extensions"), ("cover.jpg", "content")} | left_too)
        return image, plan, tracks, out

    def test_car_cd(self):
        image, plan, tracks, out = self.made("car-cd", "car")
        names = [t[2] for t in tracks]
        # Natural order and numbers: "Track 2" before "Track 10"; the album split at 255 into two of 150.
        self.assertEqual(names[:4], ["/01 Track 2.mp3", "/02 Track 10.mp3", "/03 v24.mp3", "/04 wma.wma"])
        album = [p for p in names if "Album" in p]
        self.assertEqual(album[:2] + album[149:151] + album[-1:],
                         ["/01 Album (1)/001 Track 1.mp3", "/01 Album (1)/002 Track 2.mp3",
                          "/01 Album (1)/150 Track 150.mp3", "/02 Album (2)/001 Track 151.mp3",
                          "/02 Album (2)/150 Track 300.mp3"])
        # Eight levels: the deeper folders come up to the eighth, named by their path from there.
        self.assertIn("/04 D1/01 D2/01 D3/01 D4/01 D5/01 D6/01 D7 - D8 - D9 - D10 - D11/01 deep.mp3", names)
        for p in names:
            self.assertLessEqual(max(len(part) for part in p.split("/")), 64, p)
        self.assertIn(f"/05 名前/01 {JAPANESE[:57]}.mp3", names)
        self.assertIn(f"/03 Czech/01 {CZECH[:57].rstrip()}.mp3", names)
        # The ID3v2.4 tag is ID3v2.3 on the disc; the user's file keeps its own.
        self.assertEqual((read(out + "/03 v24.mp3")[:4], read(os.path.join(MUSIC, "v24.mp3"))[:4]),
                         (b"ID3\x03", b"ID3\x04"))
        # isoinfo's Joliet listing (in its own 8-bit character set) holds the numbered folders.
        joliet = subprocess.run(["isoinfo", "-J", "-l", "-i", image], capture_output=True).stdout
        self.assertIn(b"Directory listing of /01 Album (1)/", joliet)
        self.assertIn(b"Directory listing of /02 Album (2)/", joliet)

    def test_iso9660_level1_and_a_users_profile(self):
        image, _, tracks, _ = self.made("iso9660-level1", "level1", {("wma.wma", "extensions")})
        for _, _, path, _ in tracks:  # 8.3 d-characters on every level
            *folders, name = path[1:].split("/")
            self.assertTrue(all(re.fullmatch(r"[A-Z0-9_]{1,8}", f) for f in folders), path)
            self.assertRegex(name, r"^[A-Z0-9_]{1,8}\.MP3$")
        self.assertIn("001_TRAC.MP3;1", tool("isoinfo", "-l", "-i", image))
        mine = os.path.join(HOME, "mine.ini")
        write(mine, "name = mine\norder = name\nnumber_prefix = no\nsplit_folders = 0\nmax_name_length = 40\n"
                    "name_charset = ascii\nmax_depth = 4\nmax_files = 0\n")
        _, plan, tracks, _ = self.made(mine, "mine")
        names = [t[2] for t in tracks]
        self.assertEqual(len([p for p in names if p.startswith("/Album/")]), 300)
        # Without numbers a player of name order plays the directory's order, and the plan says so.
        self.assertEqual(names[:2], ["/Track 10.mp3", "/Track 2.mp3"])
        # Czech letters without their accents, 40 characters with the extension, the folders cut at four levels.
        self.assertIn("/Czech/" + ("Zlutoucky kun upel dabelske ody " * 2)[:36].rstrip() + ".mp3", names)
        self.assertTrue(all(ord(c) < 128 for p in names for c in p))
        self.assertIn("/D1/D2/" + "D3 - D4 - D5 - D6 - D7 - D8 - D9 - D10 - D11"[:40].rstrip(" .") + "/deep.mp3", names)

    def test_navigation_files_for_a_player_that_reads_them(self):
        nav = os.path.join(HOME, "nav.ini")
        write(nav, "navigation = yes\n")
        image, plan, tracks, out = self.made(nav, "nav")
        playlists = [p for p in plan["navigation"] if p.startswith("/PLAY")]
        self.assertEqual(len(playlists), len([d for d in plan["folders"] if d["files"]]))
        # LSN.LMX as its layout gives it (the count at 0x16, then a sector and a size per CID from 0x1A):
        # the playlists, then the tracks in playback order, where xorriso finds their data.
        lsn = read(out + "/LSN.LMX")
        count = int.from_bytes(lsn[0x16:0x1A], "little")
        entries = [(int.from_bytes(lsn[o:o + 4], "little"), int.from_bytes(lsn[o + 4:o + 8], "little"))
                   for o in range(0x1A, 0x1A + 8 * count, 8)]
        at = lbas(image)
        paths = playlists + [p for _, _, p, _ in tracks]
        self.assertEqual(entries, [(at[p], os.path.getsize(out + p)) for p in paths])
        # A player of 20 files counts the navigation files in the root too: what the plan keeps still plays.
        write(nav, "navigation = yes\nmax_files = 20\nmax_folders = 3\nsplit_folders = 0\n")
        r = run("make", "--json", "--profile", nav, MUSIC, os.path.join(HOME, "nav20.iso"))
        self.assertEqual(r.returncode, 0, r.stderr)
        plan = json.loads(r.stdout)
        kept = sum(len(d["files"]) for d in plan["folders"])
        self.assertLessEqual(kept + len(plan["navigation"]), 20)
        self.assertGreaterEqual(kept, 12)
        self.assertEqual([f["rule"] for f in plan["check"]["findings"]], ["tag_charset"])  # v24.mp3's "ň"

    def test_burned_to_libburns_stdio_drive_and_read_back(self):
        image = self.made("car-cd", "burn")[0]
        target = os.path.join(HOME, "burned.iso")
        write(target, b"an earlier, longer file" * 100000)  # written over, and what lay past the image cut off
        r = run("burn", "--json", image, "stdio:" + target)
        self.assertEqual(r.returncode, 0, r.stderr)
        blocks = os.path.getsize(image) // 2048
        self.assertEqual(json.loads(r.stdout), {"image": image, "drive": "stdio:" + target, "blocks": blocks,
                                                "start": 0, "damaged": [], "verified": True})
        self.assertEqual(read(target), read(image))
        # genisoimage's image of a second session (addresses from block 11416) would point a first one at
        # blocks it does not hold.
        late = os.path.join(HOME, "late.iso")
        tool("genisoimage", "-quiet", "-C", "0,11416", "-o", late, os.path.join(MUSIC, "Czech"))
        for args, said in ((["--blank", image, "stdio:" + target], "cannot be blanked (it is not rewritable)"),
                           ([late, "stdio:" + target], "outside the blocks 0-"),
                           ([image, "stdio:" + os.path.join(HOME, "none", "x.iso")], "Neither stdio-path nor"),
                           ([image + ".none", "stdio:" + target], ".none: cannot be read")):
            r = run("burn", *args)
            self.assertEqual(r.returncode, 1, args)
            self.assertIn(said, r.stderr)
        self.assertEqual(read(target), read(image))

    def test_what_is_past_the_players_counts_is_listed_never_dropped(self):
        few = os.path.join(HOME, "few.ini")
        write(few, "max_folders = 3\nmax_files = 5\nsplit_folders = 0\n")
        plan = json.loads(run("make", "--plan", "--json", "--profile", few, MUSIC).stdout)
        kept = [f["source"] for d in plan["folders"] for f in d["files"]]
        left = {x["source"]: x["rule"] for x in plan["left_out"]}
        self.assertEqual(len(kept), 5)
        # Every music file is either on the disc or listed with the count that kept it off.
        music = [os.path.join(root, n) for root, _, names in os.walk(MUSIC) for n in names]
        self.assertEqual(sorted(kept + list(left)), sorted(music))
        self.assertEqual({r for src, r in left.items() if src.endswith(".mp3") and "noise" not in src},
                         {"max_files", "max_folders"})
        self.assertLessEqual(len(plan["folders"]), 3)

    def test_refusals(self):
        self.assertEqual(run("make", "--plan", os.path.join(HOME, "none")).returncode, 1)
        empty = fresh("make", "empty")
        write(os.path.join(empty, "notes.txt"), "no music")
        r = run("make", empty, os.path.join(HOME, "empty.iso"))
        self.assertEqual((r.returncode, r.stderr.strip()), (1, f"ckvd: {empty}: nothing the player plays"))
        r = run("make", MUSIC, os.path.join(HOME, "no-such-folder", "out.iso"))
        self.assertEqual(r.returncode, 1)
        self.assertIn("No such file or directory", r.stderr)
        self.assertFalse(os.path.exists(os.path.join(HOME, "no-such-folder")))
        self.assertEqual(run("make", MUSIC).returncode, 2)
        self.assertFalse(os.path.exists(os.path.join(HOME, "plan-only.iso")))
        r = run("make", "--plan", MUSIC)
        self.assertEqual(r.returncode, 0)
        self.assertIn("left out: " + os.path.join(MUSIC, "noise.mp3") + ": a WAV file", r.stdout)


if __name__ == "__main__":
    main()
