#!/usr/bin/env python3
"""CD-TEXT packs as a recorder writes them into the lead-in, for the discs no Debian tool writes CD-TEXT for.

usage: make_packs.py ccd|cdt OUT FIRST LAST [--bad N] TEXT...
  TEXT is KIND:TRACK=VALUE (KIND title, performer, songwriter, code; TRACK 0 for the disc). The packs are one
  block of ISO 8859-1 in English; the CRC is binascii's CRC-CCITT of the pack's first 16 bytes, inverted.
  ccd appends a [CDText] section to the CloneCD control file OUT; cdt writes the packs to OUT as a CDTEXTFILE.
  --bad N flips a text byte of pack N, so its CRC no longer matches.
"""
import binascii
import sys

KINDS = {"title": 0x80, "performer": 0x81, "songwriter": 0x82, "code": 0x8E}


def packs(first, last, texts):
    out, seq, counts = [], 0, [0] * 16
    for kind, ptype in KINDS.items():
        strings = [(t, texts.get((kind, t), "").encode("latin-1")) for t in [0] + list(range(first, last + 1))]
        if not any(s for _, s in strings):
            continue
        owner, joined = [], b""
        for track, s in strings:
            owner += [(track, min(i, 15)) for i in range(len(s) + 1)]
            joined += s + b"\0"
        for at in range(0, len(joined), 12):
            body = bytes([ptype, owner[at][0], seq, owner[at][1]]) + joined[at:at + 12].ljust(12, b"\0")
            out.append(body)
            seq += 1
            counts[ptype & 15] += 1
    counts[15] = 3
    size = bytes([0, first, last, 0] + counts + [seq + 2] + [0] * 7 + [9] + [0] * 7)
    for part in range(3):
        out.append(bytes([0x8F, part, seq, 0]) + size[part * 12:part * 12 + 12])
        seq += 1
    return [p + (binascii.crc_hqx(p, 0) ^ 0xFFFF).to_bytes(2, "big") for p in out]


def main():
    form, path, first, last = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
    args = sys.argv[5:]
    bad = None
    if args[:1] == ["--bad"]:
        bad, args = int(args[1]), args[2:]
    texts = {}
    for a in args:
        key, value = a.split("=", 1)
        kind, track = key.split(":")
        texts[(kind, int(track))] = value
    result = packs(first, last, texts)
    if bad is not None:
        p = bytearray(result[bad])
        p[5] ^= 0x20
        result[bad] = bytes(p)
    if form == "cdt":
        with open(path, "wb") as f:
            f.write(b"".join(result))
    else:
        with open(path, "a", newline="") as f:
            f.write("[CDText]\r\nEntries=%d\r\n" % len(result))
            for i, p in enumerate(result):
                f.write("Entry %d=%s\r\n" % (i, " ".join("%02x" % b for b in p)))


main()
