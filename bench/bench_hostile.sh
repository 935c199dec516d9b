#!/bin/bash
# Times `ckvd ls` and measures its peak memory on two hostile images made from a genisoimage disc:
#  - a path table claimed at block 0x7FFFFF00 with a size of 0xFFFFFFF0;
#  - every directory claiming 4 GiB, followed by 20 MB of file data shaped like directory records.
# Both must end at once with bounded memory (goal: under 2 s and 300 MB each).
# usage: bench_hostile.sh BUILD_DIR [WORK_DIR]
set -euo pipefail
build=${1:-build}
work=${2:-$(mktemp -d "${TMPDIR:-/tmp}/ckvd-hostile.XXXXXX")}
ckvd="$build/bin/ckvd"
for tool in genisoimage python3 /usr/bin/time "$ckvd"; do
    command -v "$tool" >/dev/null || { echo "bench_hostile.sh: $tool is missing" >&2; exit 1; }
done
mkdir -p "$work/t"
for d in $(seq 1 40); do mkdir -p "$work/t/D$d/S"; : > "$work/t/D$d/S/F.TXT"; done
# 20 MB of minimal directory records (34 bytes, name "X"), packed 60 to a block.
python3 - "$work/t/ZDATA.BIN" <<'PY'
import struct, sys
rec = bytes([34, 0]) + struct.pack('<I', 20) + struct.pack('>I', 20) + struct.pack('<I', 1) + struct.pack('>I', 1) \
    + bytes(7) + bytes([0, 0, 0]) + struct.pack('<H', 1) + struct.pack('>H', 1) + bytes([1]) + b'X'
block = rec * 60 + bytes(2048 - 34 * 60)
open(sys.argv[1], 'wb').write(block * (20 * 1024 * 1024 // 2048))
PY
genisoimage -quiet -o "$work/base.iso" "$work/t"
python3 - "$work/base.iso" "$work/pathtable.iso" "$work/dirs.iso" <<'PY'
import shutil, struct, sys
base, pt, dirs = sys.argv[1:4]
shutil.copy(base, pt)
with open(pt, 'r+b') as f:
    f.seek(16 * 2048 + 132); f.write(struct.pack('<I', 0xFFFFFFF0) + struct.pack('>I', 0xFFFFFFF0))
    f.seek(16 * 2048 + 140); f.write(struct.pack('<I', 0x7FFFFF00))
shutil.copy(base, dirs)
with open(dirs, 'r+b') as f:
    data = bytearray(f.read())
    size, loc = struct.unpack_from('<I', data, 16 * 2048 + 132)[0], struct.unpack_from('<I', data, 16 * 2048 + 140)[0]
    table = data[loc * 2048: loc * 2048 + size]
    off = 0
    while off < len(table) and table[off]:
        n = table[off]
        extent = struct.unpack_from('<I', table, off + 2)[0]
        # The directory's own first record: its data length becomes 4 GiB - 2048.
        struct.pack_into('<I', data, extent * 2048 + 10, 0xFFFFF800)
        struct.pack_into('>I', data, extent * 2048 + 14, 0xFFFFF800)
        off += 8 + n + (n & 1)
    f.seek(0); f.write(data)
PY
printf '%-14s %8s %10s %8s %s\n' image seconds peak_MB status lines
for img in pathtable dirs; do
    /usr/bin/time -f '%e %M' -o "$work/$img.time" "$ckvd" ls "$work/$img.iso" >"$work/$img.out" 2>"$work/$img.err" \
        && status=0 || status=$?
    read -r secs kb < <(tail -n 1 "$work/$img.time")
    printf '%-14s %8s %10d %8s %s\n' "$img" "$secs" $((kb / 1024)) "$status" "$(wc -l <"$work/$img.out")"
done
