#!/usr/bin/env python3
"""ckvd on a real kernel's CD driver: the Debian kernel under QEMU with genisoimage discs in IDE, AHCI,
virtio-scsi and USB (bulk-only and UAS) drives. Every command's output on the drive equals its output on the
image file (the drive's name aside); a second drive; /dev/sgN and /dev/cdrom; a tray ejected and a disc
changed through QEMU's monitor.
The desktop program, where it is given, loads the drive and shows the Select Drive dialog on the offscreen
platform there (pictures in WORKDIR/ide/out/r).
usage: test_qemu_drives.py CKVD WORKDIR [CKVD_EXPLORER]   (exits 77, skipped, where QEMU, the kernel or busybox is missing)"""
import os
import re
import zlib
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import vm  # noqa: E402
from ckvdtest import CKVD, WORK, CkvdCase, fresh, main, read, run, tool  # noqa: E402

EXPLORER = sys.argv[3] if len(sys.argv) > 3 else None

if vm.missing():
    print(f"skipped: {vm.missing()}; tools/install-deps.sh installs it")
    sys.exit(77)

MEDIA = fresh("media")


def disc(name, volume, files):
    """A genisoimage disc (Rock Ridge and Joliet) of `files` ({path: bytes or a command making OUT})."""
    src = fresh("src", name)
    for path, content in files.items():
        target = os.path.join(src, path)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        if isinstance(content, bytes):
            with open(target, "wb") as f:
                f.write(content)
        else:
            tool(*[target if a == "OUT" else a for a in content])
    image = os.path.join(WORK, name + ".iso")
    tool("genisoimage", "-quiet", "-R", "-J", "-joliet-long", "-input-charset", "utf-8", "-V", volume,
         "-o", image, src)
    return image, src


WAV = os.path.join(MEDIA, "tone.wav")
tool("sox", "-n", "-r", "44100", "-c", "2", "-b", "16", WAV, "synth", "2", "sine", "440")


def mp3(title, artist):
    return ["lame", "--quiet", "-b", "128", "--tt", title, "--ta", artist, "--id3v2-only", WAV, "OUT"]


DISC_A, SRC_A = disc("a", "CKVDQEMUA", {
    "Music/01 さくら.mp3": mp3("さくら", "歌手"),
    "Music/02 Příliš žluťoučký.mp3": mp3("Příliš žluťoučký kůň", "Čeština"),
    "Music/Deep/Deeper/03 Track 10.mp3": mp3("Track 10", "Artist"),
    "notes.txt": b"a few words\n" * 100,
    "data/random.bin": os.urandom(700_000),
})
DISC_B, _ = disc("b", "CKVDQEMUB", {"only.txt": b"the second disc\n"})

# Commands run on the drive in the guest and on the image on the host; {D} is the drive or the image.
SONG = "/Music/01 さくら.mp3"
COMMANDS = {
    "toc": ["toc", "{D}"], "toc.json": ["toc", "--json", "{D}"],
    "ls": ["ls", "{D}"], "ls.json": ["ls", "--json", "{D}"],
    "info": ["info", "{D}", SONG, "/Music/Deep/Deeper/03 Track 10.mp3"], "info.json": ["info", "--json", "{D}", SONG],
    "check": ["check", "--order", "{D}"], "check.json": ["check", "--json", "--order", "{D}"],
    "verify": ["verify", "{D}"],
    "get": ["get", "{D}", SONG, "{R}/song.mp3"],
    "get-r": ["get", "-r", "{D}", "/", "{R}/tree"],
    "report": ["report", "{D}", "--number", "7", "-o", "{R}/report.csv"],
    # SQLite's locks do not hold on the 9p share: the catalogue is made in the guest's /tmp.
    "catalog": ["catalog", "add", "{D}", "--number", "5", "--catalogue", "{T}/cat.sqlite"],
    "catalog-export": ["catalog", "export", "--csv", "--catalogue", "{T}/cat.sqlite"],
    "dump": ["dump", "{D}", "{R}/disc.iso"],
}
# Run in the guest and compared by the files they make: a drive's sectors are counted apart from the image's.
GUEST_ONLY = {"dump-cue": ["dump", "{D}", "{R}/disc.cue"]}


def quoted(args):
    return " ".join("'" + a.replace("'", "'\\''") + "'" for a in args)


GUEST_START = r"""
R=/out/r; rm -rf $R; mkdir -p $R
export HOME=/tmp XDG_DATA_HOME=/tmp/data
run() { name=$1; shift; ckvd "$@" >$R/$name.out 2>$R/$name.err; echo $? >$R/$name.rc; }
ask() { echo "$1" >/out/request.part; mv /out/request.part /out/request
        while [ -e /out/request ]; do sleep 0.2; done; }
i=0; while [ ! -e /dev/sr1 ] && [ $i -lt 600 ]; do sleep 0.1; i=$((i+1)); done
for d in /dev/sr0 /dev/sr1; do
    case "$(dd if=$d bs=2048 skip=16 count=1 2>/dev/null | dd bs=1 skip=40 count=9 2>/dev/null)" in
        CKVDQEMUA) A=$d ;; CKVDQEMUB) B=$d ;;
    esac
done
SG=/dev/$(ls /sys/block/${A#/dev/}/device/scsi_generic)
ln -s ${A#/dev/} /dev/cdrom
echo "$A $B $SG" >$R/drives.map
"""

GUEST_END = r"""
run drives drives
run drives.json drives --json
run second ls $B
run sg ls $SG
run cdrom ls /dev/cdrom
ask 'eject -f cd0'
run eject-drives drives
run eject-ls ls $A
ask "change cd0 /DISC_B raw read-only"
run change-ls ls $A
"""

GUEST_DESKTOP = r"""
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=/tmp/run; mkdir -m 700 /tmp/run
cd /out/r
ckvd-explorer --screenshot /out/r/window.png --verbose >window.out 2>window.err; echo $? >window.rc
ckvd-explorer --screenshot /out/r/drive.png --dialog drive >drive.out 2>drive.err; echo $? >drive.rc
"""


def guest_job(desktop=False):
    lines = [GUEST_START, GUEST_DESKTOP if desktop else ""]
    for name, args in list(COMMANDS.items()) + list(GUEST_ONLY.items()):
        guest_args = [a.replace("{R}", "/out/r").replace("{T}", "/tmp") for a in args]
        lines.append(f"run {name} " + quoted(guest_args).replace("'{D}'", '"$A"'))
    lines.append(GUEST_END.replace("/DISC_B", DISC_B))
    return "\n".join(lines) + "\n"


def host_run(name, args, image, rdir):
    r = run(*[a.replace("{D}", image).replace("{R}", rdir).replace("{T}", rdir + "/tmp") for a in args])
    return r.returncode, r.stdout, r.stderr


INITRD = vm.initramfs(WORK, [CKVD, EXPLORER] if EXPLORER else [CKVD], desktop=bool(EXPLORER))


class Drives(CkvdCase):
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        cls.host = fresh("host")
        os.makedirs(cls.host + "/tmp")
        cls.expected = {name: host_run(name, args, DISC_A, cls.host) for name, args in COMMANDS.items()}
        host_run("dump-cue", GUEST_ONLY["dump-cue"], DISC_A, cls.host)  # the .cue the drives' dumps are held against
        # QEMU's ATAPI drives (IDE, AHCI) make whole sectors up with EDC and ECC zero, as the image drive does
        # with CKVD_IMAGE_DRIVE_NO_EDC: verify says so there.
        made_up = run(*[a.replace("{D}", DISC_A) for a in COMMANDS["verify"]],
                      env=dict(os.environ, CKVD_IMAGE_DRIVE_NO_EDC="1"))
        cls.made_up_verify = (made_up.returncode, made_up.stdout, made_up.stderr)
        failed = {name: err for name, (rc, _, err) in cls.expected.items() if rc}
        assert not failed, f"ckvd failed on the image: {failed}"

    def guest(self, attachment, desktop=False):
        """The guest's outputs of one attachment: {name: (rc, stdout, stderr)}, and its result folder."""
        work = fresh(attachment)
        out = vm.VM(work, INITRD, attachment, [DISC_A, DISC_B]).run(guest_job(desktop))
        r = os.path.join(out, "r")
        results = {}
        for f in os.listdir(r):
            if f.endswith(".rc"):
                name = f[:-3]
                # Read as the host's outputs are, in universal newlines.
                results[name] = tuple([int(read(os.path.join(r, f)))] +
                                      [read(os.path.join(r, name + x)).decode().replace("\r\n", "\n")
                                       .replace("\r", "\n") for x in (".out", ".err")])
        return results, r

    def check_attachment(self, attachment, desktop=False):
        got, r = self.guest(attachment, desktop)
        device, second, sg = read(os.path.join(r, "drives.map")).decode().split()
        for name, want in self.expected.items():
            if name == "verify" and attachment in ("ide", "ahci"):
                want = self.made_up_verify
            with self.subTest(attachment=attachment, command=name):
                rc, out, err = want
                self.assertEqual(got[name], (rc, self.as_drive(out, device), self.as_drive(err, device)))
        self.assertEqual(read(os.path.join(r, "song.mp3")), read(os.path.join(SRC_A, "Music", "01 さくら.mp3")))
        # The report's header says when it was written.
        written = re.compile(rb"^(MA\d+,,)[\d.]+,[\d:]+", re.M)
        self.assertEqual(written.sub(rb"\1", read(os.path.join(r, "report.csv"))),
                         written.sub(rb"\1", read(os.path.join(self.host, "report.csv"))))
        self.assertEqual(tool("diff", "-r", os.path.join(r, "tree"), SRC_A), "")
        self.check_dumps(got, r)
        ls_a, ls_b = self.expected["ls"], run("ls", DISC_B)
        self.assertEqual(got["second"], (0, ls_b.stdout, ""))
        self.assertEqual(got["sg"][:2], (0, ls_a[1]))
        self.assertEqual(got["cdrom"][:2], (0, ls_a[1]))
        self.assertEqual(got["change-ls"], (0, ls_b.stdout, ""))
        self.assertEqual(got["eject-ls"][0], 1)
        self.assertIn("no disc in the drive", got["eject-ls"][2])
        # Then the revision, the drive's /dev/sgN and the medium state.
        self.assertRegex(got["eject-drives"][1], rf'\d+:\d+  "QEMU *"  "QEMU (CD|DVD)-ROM *"  {device}  not-ready  '
                                                 rf'"[^"]*"  /dev/sg\d+  (no-disc|tray-open)\n')
        self.assertRegex(got["drives"][1], rf'\d+:\d+  "QEMU *"  "QEMU (CD|DVD)-ROM *"  {second}  ready  '
                                           rf'"[^"]*"  /dev/sg\d+  ready\n')
        self.assertIn(f"{device}  ready  \"", got["drives"][1])
        self.assertIn(f" {sg}  ready\n", got["drives"][1])  # the generic node of the same drive
        return got

    def check_dumps(self, got, r):
        """The .iso dumped from the drive is the image, with the hashes md5sum, sha1sum and zlib give in its
        log; the .cue's sectors, whatever the drive gives of them, are those made from the image."""
        self.assertEqual(read(os.path.join(r, "disc.iso")), read(DISC_A))
        hashes = (f"size={os.path.getsize(DISC_A)} crc32={zlib.crc32(read(DISC_A)):08x} "
                  f"md5={tool('md5sum', DISC_A).split()[0]} sha1={tool('sha1sum', DISC_A).split()[0]}")
        self.assertIn(f"file: /out/r/disc.iso, {hashes}\n", read(os.path.join(r, "disc.iso.log")).decode())
        self.assertEqual(got["dump-cue"][0], 0, got["dump-cue"])
        for made in ("disc.bin", "disc.cue"):
            self.assertEqual(read(os.path.join(r, made)), read(os.path.join(self.host, made)), made)

    def as_drive(self, text, device):
        """The host's output as the guest says it: the drive for the image, the guest's folder for the host's."""
        return text.replace(DISC_A, device).replace(self.host + "/tmp", "/tmp").replace(self.host, "/out/r")

    def test_ide(self):
        got = self.check_attachment("ide", desktop=bool(EXPLORER))
        if EXPLORER:  # the window on the drive shows what it shows on the image, and the dialog opens
            window = tool("env", "QT_QPA_PLATFORM=offscreen", EXPLORER, DISC_A, "--screenshot",
                          os.path.join(self.host, "window.png"), "--verbose")
            self.assertEqual(got["window"][:2], (0, window))
            self.assertEqual(got["drive"][0], 0)

    def test_ahci(self):
        self.check_attachment("ahci")

    def test_virtio_scsi(self):
        self.check_attachment("virtio-scsi")

    def test_usb(self):
        self.check_attachment("usb")


if __name__ == "__main__":
    main()
