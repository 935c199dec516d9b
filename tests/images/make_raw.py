#!/usr/bin/env python3
"""Writes a raw image of 2352-byte sectors from an image of 2048-byte blocks, as a drive reads a data track
whole: sync, header (BCD address and mode), for Mode 2 Form 1 the subheader twice, the user data, EDC and
the P and Q parity of the Reed-Solomon product code (ECMA-130 14 and annexes A, B).

usage: make_raw.py {mode1|mode2} IN.iso OUT.bin [START_LBA]
"""
import sys

SYNC = b"\x00" + b"\xff" * 10 + b"\x00"


def _tables():
    edc, f, b = [0] * 256, [0] * 256, [0] * 256
    for i in range(256):
        e = i
        for _ in range(8):  # CRC of x^32 + x^31 + x^16 + x^15 + x^4 + x^3 + x + 1, least significant bit first
            e = (e >> 1) ^ (0xD8018001 if e & 1 else 0)
        edc[i] = e
        j = ((i << 1) ^ (0x11D if i & 0x80 else 0)) & 0xFF  # times alpha in GF(2^8), x^8 + x^4 + x^3 + x^2 + 1
        f[i] = j
        b[i ^ j] = i
    return edc, f, b


EDC, GF_MUL2, GF_DIV3 = _tables()


def edc(data):
    e = 0
    for byte in data:
        e = EDC[(e ^ byte) & 0xFF] ^ (e >> 8)
    return e.to_bytes(4, "little")


def parity(s, major_count, minor_count, major_mult, minor_inc):
    """P (86 columns of 24) or Q (52 diagonals of 43) parity over the sector from its header on."""
    size = major_count * minor_count
    out = bytearray(2 * major_count)
    for major in range(major_count):
        index = (major >> 1) * major_mult + (major & 1)
        a = b = 0
        for _ in range(minor_count):
            t = s[12 + index]
            index += minor_inc
            if index >= size:
                index -= size
            a = GF_MUL2[a ^ t]
            b ^= t
        a = GF_DIV3[GF_MUL2[a] ^ b]
        out[major] = a
        out[major + major_count] = a ^ b
    return out


def bcd(n):
    return (n // 10) << 4 | n % 10


def sector(mode, lba, user):
    t = lba + 150
    header = bytes([bcd(t // 4500), bcd(t // 75 % 60), bcd(t % 75), 1 if mode == "mode1" else 2])
    s = bytearray(2352)
    s[0:12] = SYNC
    if mode == "mode1":
        s[12:16] = header
        s[16:2064] = user
        s[2064:2068] = edc(s[0:2064])
    else:
        s[16:24] = b"\x00\x00\x08\x00" * 2  # file 0, channel 0, submode: data, Form 1; coding 0
        s[24:2072] = user
        s[2072:2076] = edc(s[16:2072])
    # Mode 2 parity is computed as if the header were zero, so that it holds across a relocation.
    s[2076:2248] = parity(s, 86, 24, 2, 86)
    s[2248:2352] = parity(s, 52, 43, 86, 88)
    s[12:16] = header
    return bytes(s)


def main():
    mode, src, dst = sys.argv[1], sys.argv[2], sys.argv[3]
    start = int(sys.argv[4]) if len(sys.argv) > 4 else 0
    data = open(src, "rb").read()
    with open(dst, "wb") as out:
        for i in range(len(data) // 2048):
            out.write(sector(mode, start + i, data[i * 2048:(i + 1) * 2048]))


if __name__ == "__main__":
    main()
