"""A Debian kernel booted under QEMU (software emulation) with disc images in emulated CD drives: the drive
tests' real kernel. The guest runs /out/job.sh from a folder the host shares over 9p, writes what the
commands printed there, and asks the host for a tray's eject or a disc's change by writing /out/request,
which the host carries out through QEMU's monitor and then removes."""
import glob
import os
import socket
import subprocess
import time

HERE = os.path.dirname(os.path.abspath(__file__))
QEMU = "qemu-system-x86_64"


def kernel():
    """The newest installed Debian kernel's (vmlinuz, release), or None."""
    images = sorted(glob.glob("/boot/vmlinuz-*"))
    for image in reversed(images):
        release = os.path.basename(image)[len("vmlinuz-"):]
        if os.path.exists(f"/lib/modules/{release}/modules.dep"):
            return image, release
    return None


def missing():
    """Why the VM cannot run here, or None."""
    from shutil import which
    if not which(QEMU):
        return f"{QEMU} is not installed (qemu-system-x86)"
    if not kernel():
        return "no kernel in /boot with its modules (linux-image-amd64)"
    if not os.path.exists("/bin/busybox"):
        return "/bin/busybox is not installed (busybox-static)"
    return None


# What the desktop program needs besides its libraries on the offscreen platform: the plugin and fonts.
DESKTOP_FILES = ["/usr/lib/x86_64-linux-gnu/qt6/plugins/platforms/libqoffscreen.so", "/etc/fonts",
                 "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                 "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
                 "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf"]


def initramfs(work, programs, desktop=False):
    """The initramfs holding `programs` (and with `desktop` what the desktop program needs), made again when
    one of them or the scripts changed."""
    out = os.path.join(work, "initramfs.cpio")
    sources = list(programs) + [os.path.join(HERE, n) for n in ("make_initramfs.py", "guest_init.sh")]
    if not os.path.exists(out) or os.path.getmtime(out) < max(map(os.path.getmtime, sources)):
        files = ["--files", *(f for f in DESKTOP_FILES if os.path.exists(f))] if desktop else []
        subprocess.run(["python3", os.path.join(HERE, "make_initramfs.py"), kernel()[1], out, *programs,
                        *files], check=True)
    return out


# Each attachment: the controller's devices and the device of drive N on it.
ATTACHMENTS = {
    "ide": ([], lambda n: f"ide-cd,drive=cd{n},bus=ide.1,unit={n}"),
    "ahci": (["-device", "ahci,id=ahci"], lambda n: f"ide-cd,drive=cd{n},bus=ahci.{n}"),
    "virtio-scsi": (["-device", "virtio-scsi-pci,id=scsi"], lambda n: f"scsi-cd,drive=cd{n},bus=scsi.0,scsi-id={n}"),
    # USB mass storage (bulk-only) for the first drive, USB attached SCSI for the second.
    "usb": (["-device", "qemu-xhci,id=xhci", "-device", "usb-bot,id=bot0", "-device", "usb-uas,id=uas1"],
            lambda n: f"scsi-cd,drive=cd{n},bus={'bot0' if n == 0 else 'uas1'}.0"),
}


class VM:
    def __init__(self, work, initrd, attachment, discs):
        """A VM of `attachment` whose drive N holds discs[N] (None: no disc)."""
        self.work, self.out = work, os.path.join(work, "out")
        os.makedirs(self.out, exist_ok=True)
        self.monitor_path = os.path.join(work, "monitor.sock")
        controllers, device = ATTACHMENTS[attachment]
        args = [QEMU, "-m", "1024", "-smp", "1", "-nographic", "-no-reboot", "-nic", "none",
                "-kernel", kernel()[0], "-initrd", initrd,
                "-append", "console=ttyS0 quiet panic=-1",
                "-monitor", f"unix:{self.monitor_path},server=on,wait=off",
                "-virtfs", f"local,path={self.out},mount_tag=out,security_model=none,id=out", *controllers]
        for n, disc in enumerate(discs):
            medium = f",file={disc},format=raw" if disc else ""
            args += ["-drive", f"if=none,id=cd{n},media=cdrom,readonly=on{medium}", "-device", device(n)]
        self.args = args

    def run(self, job, timeout=600):
        """Runs `job` (a shell script) in the guest; its output folder. The guest's requests are served."""
        with open(os.path.join(self.out, "job.sh"), "w") as f:
            f.write(job)
        for name in ("job.rc", "job.log", "request"):
            if os.path.exists(os.path.join(self.out, name)):
                os.remove(os.path.join(self.out, name))
        with open(os.path.join(self.work, "console.txt"), "wb") as console:
            vm = subprocess.Popen(self.args, stdin=subprocess.DEVNULL, stdout=console, stderr=subprocess.STDOUT)
            end = time.monotonic() + timeout
            try:
                while vm.poll() is None:
                    if time.monotonic() > end:
                        raise AssertionError(f"the VM did not end within {timeout} s")
                    self._serve()
                    time.sleep(0.1)
            finally:
                if vm.poll() is None:
                    vm.kill()
                    vm.wait()
        if not os.path.exists(os.path.join(self.out, "job.rc")):
            with open(os.path.join(self.work, "console.txt"), errors="replace") as f:
                raise AssertionError("the guest's job did not end:\n" + f.read()[-3000:])
        return self.out

    def _serve(self):
        request = os.path.join(self.out, "request")
        try:
            with open(request) as f:
                command = f.read().strip()
        except FileNotFoundError:
            return
        if not command:
            return  # still being written
        answer = self.monitor(command)
        if "rror" in answer or "ould not" in answer:
            raise AssertionError(f"QEMU's monitor refused {command}: {answer}")
        os.remove(request)

    def monitor(self, command):
        """One command of QEMU's monitor; what it answered."""
        with socket.socket(socket.AF_UNIX) as s:
            s.connect(self.monitor_path)
            answer = self._until_prompt(s)
            s.sendall(command.encode() + b"\n")
            answer = self._until_prompt(s)
        return answer

    @staticmethod
    def _until_prompt(s):
        data = b""
        while not data.endswith(b"(qemu) "):
            chunk = s.recv(4096)
            if not chunk:
                break
            data += chunk
        return data.decode(errors="replace")
