"""Makes the initramfs the drive tests boot: busybox, the programs named with the libraries they load, the
kernel modules of the CD drives' buses (IDE, AHCI, virtio-scsi, USB) and of the 9p share, and /init.

usage: make_initramfs.py KERNEL_RELEASE OUT.cpio PROGRAM... [--files PATH...]
PATHs (files or folders, such as a Qt platform plugin and fonts) go in at their own paths, with the libraries
the shared objects among them load.
The archive is newc cpio, uncompressed: under software emulation the kernel unpacks it faster than it inflates it.
"""
import os
import stat
import subprocess
import sys

MODULES = ["sr_mod", "sg", "ata_piix", "ahci", "virtio_scsi", "virtio_pci", "xhci_pci", "usb_storage", "uas",
           "9pnet_virtio", "9p"]
HERE = os.path.dirname(os.path.abspath(__file__))


def module_order(release):
    """The modules' files, each after the ones it needs (modules.dep's order, deepest first)."""
    root = f"/lib/modules/{release}"
    deps = {}
    with open(f"{root}/modules.dep") as f:
        for line in f:
            path, _, needs = line.partition(":")
            deps[os.path.basename(path).split(".ko")[0].replace("-", "_")] = (path, needs.split())
    by_path = {path: name for name, (path, _) in deps.items()}
    order = []

    def add(name):
        path, needs = deps[name]
        for need in reversed(needs):
            add(by_path[need])
        if path not in order:
            order.append(path)

    for name in MODULES:
        add(name)
    return [f"{root}/{p}" for p in order]


def libraries(program):
    """The shared libraries `program` loads, the dynamic loader among them."""
    out = subprocess.run(["ldd", program], capture_output=True, text=True, check=True).stdout
    libs = []
    for line in out.splitlines():
        parts = line.split()
        if "=>" in parts and len(parts) > 2 and parts[2].startswith("/"):
            libs.append(parts[2])
        elif parts and parts[0].startswith("/"):
            libs.append(parts[0])
    return libs


class Cpio:
    def __init__(self, out):
        self.out, self.ino, self.dirs = out, 1, set()

    def _entry(self, name, mode, data=b""):
        self.ino += 1
        fields = [self.ino, mode, 0, 0, 1, 0, len(data), 0, 0, 0, 0, len(name) + 1, 0]
        head = b"070701" + b"".join(b"%08X" % v for v in fields) + name.encode() + b"\0"
        self.out.write(head + b"\0" * (-len(head) % 4) + data + b"\0" * (-len(data) % 4))

    def dir(self, path):
        path = path.strip("/")
        if path and path not in self.dirs:
            self.dir(os.path.dirname(path))
            self.dirs.add(path)
            self._entry(path, stat.S_IFDIR | 0o755)

    def file(self, path, data, mode=0o755):
        path = path.strip("/")
        self.dir(os.path.dirname(path))
        self._entry(path, stat.S_IFREG | mode, data)

    def link(self, path, target):
        path = path.strip("/")
        self.dir(os.path.dirname(path))
        self._entry(path, stat.S_IFLNK | 0o777, target.encode())

    def end(self):
        self._entry("TRAILER!!!", 0)


def stripped(program):
    """The program without its debug sections (a tenth of its size), as bytes."""
    out = program + ".initramfs"
    subprocess.run(["objcopy", "--strip-debug", program, out], check=True)
    with open(out, "rb") as f:
        data = f.read()
    os.remove(out)
    return data


def walk(path):
    if os.path.isdir(path):
        for d, _, files in os.walk(path):
            yield from (os.path.join(d, f) for f in sorted(files))
    else:
        yield path


def main():
    release, target, rest = sys.argv[1], sys.argv[2], sys.argv[3:]
    programs, files = (rest[:rest.index("--files")], rest[rest.index("--files") + 1:]) if "--files" in rest \
        else (rest, [])
    with open(target + ".part", "wb") as f:
        c = Cpio(f)
        for d in ("dev", "proc", "sys", "tmp", "out", "bin", "lib64"):
            c.dir(d)
        with open("/bin/busybox", "rb") as b:
            c.file("bin/busybox", b.read())
        c.link("bin/sh", "busybox")
        with open(os.path.join(HERE, "guest_init.sh"), "rb") as s:
            c.file("init", s.read())
        modules = module_order(release)
        for m in modules:
            with open(m, "rb") as k:
                c.file("modules/" + os.path.basename(m), k.read(), 0o644)
        c.file("modules/order", "".join(os.path.basename(m) + "\n" for m in modules).encode(), 0o644)
        seen = set()

        def add(path, data, needs):
            c.file(path, data)
            for lib in needs:
                if lib not in seen:
                    seen.add(lib)
                    with open(lib, "rb") as f:
                        c.file(lib, f.read())

        for program in programs:
            add("bin/" + os.path.basename(program), stripped(program), libraries(program))
        for path in (p for top in files for p in walk(top)):
            if os.path.realpath(path) not in seen:
                seen.add(os.path.realpath(path))
                with open(path, "rb") as f:
                    add(path, f.read(), libraries(path) if ".so" in path else [])
        c.end()
    os.replace(target + ".part", target)


if __name__ == "__main__":
    main()
