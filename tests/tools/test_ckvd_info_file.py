"""ckvd info --file on local media files (lame with eyeD3 tags, one title in Japanese, ffmpeg's wmav2, sox, an
ffmpeg JPEG) against ckvd info of the same files on a genisoimage disc and on an xorriso disc that stores them
compressed (zisofs), and the JPEG's frame against ffprobe.
usage: test_ckvd_info_file.py CKVD WORKDIR"""
import json
import os

from ckvdtest import CkvdCase, fresh, main, ok, tool

FILES = ("tagged.mp3", "japanese.mp3", "tone.wma", "tone.wav", "red.jpg")


class InfoFile(CkvdCase):
    @classmethod
    def setUpClass(cls):
        cls.src, work = fresh("info-file", "src"), fresh("info-file", "work")
        src = cls.src
        tone = os.path.join(work, "tone.wav")
        tool("sox", "-n", "-r", "44100", "-c", "2", "-b", "16", tone, "synth", "3", "sine", "440", "vol", "0.3")
        tool("sox", tone, os.path.join(src, "tone.wav"), "trim", "0", "2")
        for name, title in (("tagged.mp3", "Evening Song"), ("japanese.mp3", "夜の歌")):
            tool("lame", "--quiet", "-b", "160", tone, os.path.join(src, name))
            tool("eyeD3", "--quiet", "--v2", "--to-v2.3", "--encoding", "utf16", "-t", title, "-a", "Someone",
                 "-A", "Album", "-n", "4", os.path.join(src, name))
        tool("eyeD3", "--quiet", "--v1", "-t", "Old", os.path.join(src, "tagged.mp3"))
        tool("ffmpeg", "-v", "error", "-i", tone, "-c:a", "wmav2", "-b:a", "96k", "-metadata", "title=Evening",
             "-metadata", "artist=Someone", os.path.join(src, "tone.wma"))
        tool("ffmpeg", "-v", "error", "-f", "lavfi", "-i", "color=red:s=96x64", "-frames:v", "1",
             os.path.join(src, "red.jpg"))
        with open(os.path.join(src, "notes.txt"), "w") as f:
            f.write("Not a recording at all.\n")
        cls.image = os.path.join(work, "media.iso")
        tool("genisoimage", "-quiet", "-input-charset", "utf-8", "-J", "-R", "-o", cls.image, src)
        cls.zisofs = os.path.join(work, "zisofs.iso")
        tool("xorriso", "-no_rc", "-outdev", cls.zisofs, "-zisofs", "level=6:block_size=32k", "-map", src, "/",
             "-set_filter_r", "--zisofs", "/", "--", "-commit")

    def test_a_local_file_shows_what_its_copy_on_a_disc_shows_but_the_lbn(self):
        packed = json.loads(ok("ls", "--json", self.zisofs))["sessions"][0]["entries"]
        self.assertEqual({e["path"] for e in packed if "zisofs" in e},
                         {"/tagged.mp3", "/japanese.mp3", "/tone.wma", "/tone.wav"})
        for name, image in [(name, image) for name in FILES for image in (self.image, self.zisofs)]:
            with self.subTest(name=name, image=image):
                path = os.path.join(self.src, name)
                disc = [line for line in ok("info", image, "/" + name).splitlines() if not line.startswith("LBN:")]
                self.assertEqual(self.assertQuiet("info", "--file", path).splitlines(), disc)
                disc_doc = json.loads(ok("info", "--json", image, "/" + name))["files"][0]
                local_doc = json.loads(ok("info", "--file", "--json", path))["files"][0]
                disc_doc["fields"] = [f for f in disc_doc["fields"] if f["label"] != "LBN"]
                for key in ("session", "directory"):
                    del disc_doc[key]
                disc_doc["path"] = path
                self.assertEqual(local_doc, disc_doc)
        self.assertIn("Title: 夜の歌", ok("info", "--file", os.path.join(self.src, "japanese.mp3")))

    def test_jpeg_frame_agrees_with_ffprobe(self):
        path = os.path.join(self.src, "red.jpg")
        probe = json.loads(tool("ffprobe", "-v", "error", "-show_entries",
                                "stream=width,height,pix_fmt,profile,bits_per_raw_sample", "-of", "json",
                                path))["streams"][0]
        fields = {f["label"]: f["value"] for f in json.loads(ok("info", "--file", "--json", path))["files"][0]
                  ["fields"]}
        self.assertEqual(fields["Width"], f"{probe['width']} pixels")
        self.assertEqual(fields["Height"], f"{probe['height']} pixels")
        self.assertEqual(fields["Precision"], f"{probe['bits_per_raw_sample']} bits/sample")
        self.assertEqual(fields["Components"], "1" if probe["pix_fmt"].startswith("gray") else "3")
        self.assertEqual(fields["Coding"], probe["profile"] + " DCT")
        self.assertEqual(fields["Format"], "JFIF")

    def test_refusals_name_the_file(self):
        missing, text = os.path.join(self.src, "missing.mp3"), os.path.join(self.src, "notes.txt")
        self.assertFails(["info", "--file", missing], 1, f"ckvd: {missing}: No such file or directory")
        fifo = os.path.join(self.src, "fifo.mp3")
        if not os.path.exists(fifo):
            os.mkfifo(fifo)
        for path in (self.src, fifo):  # a FIFO is refused, not waited on
            self.assertFails(["info", "--file", path], 1, f"ckvd: {path}: not a regular file")
        self.assertFails(["info", "--file", text], 1, "This format isn't being supported.")
        r = self.assertFails(["info", "--file", "--json", text], 1, out=None)
        self.assertEqual(json.loads(r.stdout)["files"][0]["error"], "This format isn't being supported.")
        self.assertFails(["info", "--file", "--session", "1", text], 2, "--session")


if __name__ == "__main__":
    main()
