#!/usr/bin/env python3
"""Writes an Alcohol descriptor (.mds, version 1.5) and its data file (.mdf) from ISO images and raw PCM.

usage: make_mds.py OUT.mds [--sector 2048|2352|2448] [--mode2] [--name NAME] [--wide] ITEM...
ITEM: data:FILE.iso (its 2048-byte blocks as a data track), audio:FILE.raw (16-bit stereo PCM, whole
2352-byte sectors), or "session" to close a session and open the next.

Layout as the format's public descriptions give it: 88-byte header, 24-byte session blocks, 80-byte track
blocks (A0, A1, A2, then the tracks), 8-byte extra blocks (pregap, length), 16-byte file blocks, the name.
The first session starts at -150 and each session's first track has a 150-sector pregap, as has an audio
track after a data track; pregaps are not stored. A later session starts after the previous one's
lead-out (6750 sectors after the first, 2250 after later ones) and a 4500-sector lead-in.
--sector sets the stored sector of data tracks (2448: 2352 raw plus 96 subchannel bytes, audio too);
--mode2 writes data tracks as mode 2 form 1; --name is the data file name recorded (default "*.mdf");
--wide records it in UTF-16.
"""
import os
import struct
import sys

from make_raw import sector as ecma130_sector


def msf(lba):
    t = lba + 150
    return t // 4500, (t // 75) % 60, t % 75


def raw_sector(lba, data, mode2):
    return ecma130_sector("mode2" if mode2 else "mode1", lba, data)


def main(argv):
    out = argv[0]
    sector, mode2, name, wide, items = 2048, False, "*.mdf", False, []
    args = iter(argv[1:])
    for a in args:
        if a == "--sector":
            sector = int(next(args))
        elif a == "--mode2":
            mode2 = True
        elif a == "--name":
            name = next(args)
        elif a == "--wide":
            wide = True
        else:
            items.append(a)
    sub = sector == 2448
    sessions = [[]]
    for it in items:
        if it == "session":
            sessions.append([])
        else:
            kind, path = it.split(":", 1)
            sessions[-1].append((kind, path))

    mdf = open(os.path.splitext(out)[0] + ".mdf", "wb")
    # Tracks: number, kind, start, length, pregap, offset, stored sector size.
    laid, number, start = [], 1, -150
    for si, tracks in enumerate(sessions):
        if si > 0:
            start = laid[-1]["end"] + (6750 if si == 1 else 2250) + 4500
        s = {"start": start, "tracks": []}
        lba, prev = start, None
        for i, (kind, path) in enumerate(tracks):
            blob = open(path, "rb").read()
            pregap = 150 if i == 0 or (kind == "audio" and prev == "data") else 0
            lba += pregap
            offset = mdf.tell()
            if kind == "data":
                n = len(blob) // 2048
                size = sector
                for k in range(n):
                    d = blob[k * 2048:(k + 1) * 2048]
                    mdf.write(d if sector == 2048 else raw_sector(lba + k, d, mode2) + bytes(96 if sub else 0))
            else:
                n = len(blob) // 2352
                size = 2448 if sub else 2352
                for k in range(n):
                    mdf.write(blob[k * 2352:(k + 1) * 2352] + bytes(96 if sub else 0))
            s["tracks"].append(dict(number=number, kind=kind, start=lba, length=n, pregap=pregap,
                                    offset=offset, size=size))
            lba += n
            number += 1
            prev = kind
        s["end"] = lba
        laid.append(s)
    mdf.close()

    header_len, nsess = 88, len(laid)
    blocks_at = header_len + 24 * nsess
    ntrack_blocks = sum(3 + len(s["tracks"]) for s in laid)
    extras_at = blocks_at + 80 * ntrack_blocks
    ntracks = sum(len(s["tracks"]) for s in laid)
    files_at = extras_at + 8 * ntracks
    name_at = files_at + 16 * ntracks
    name_bytes = name.encode("utf-16-le") + b"\0\0" if wide else name.encode() + b"\0"

    hdr = bytearray(header_len)
    hdr[0:16] = b"MEDIA DESCRIPTOR"
    hdr[16:18] = bytes([1, 5])
    struct.pack_into("<HH", hdr, 18, 1, nsess)  # CD-R
    struct.pack_into("<I", hdr, 80, header_len)
    sess_blocks, track_blocks, extras, files = b"", b"", b"", b""
    at, ti = blocks_at, 0
    for si, s in enumerate(laid):
        ts = s["tracks"]
        sess_blocks += struct.pack("<iiHBBHHII", s["start"], s["end"], si + 1, 3 + len(ts), 3,
                                   ts[0]["number"], ts[-1]["number"], 0, at)
        at += 80 * (3 + len(ts))
        ctl = lambda t: 0x14 if t["kind"] == "data" else 0x10
        disc_type = 0x20 if mode2 and any(t["kind"] == "data" for t in ts) else 0
        for point, t, pm, ps, pf in ((0xA0, ts[0], ts[0]["number"], disc_type, 0),
                                     (0xA1, ts[-1], ts[-1]["number"], 0, 0),
                                     (0xA2, ts[-1]) + msf(s["end"])):
            b = bytearray(80)
            b[0:12] = bytes([0, 0, ctl(t), 0, point, 0, 0, 0, 0, pm, ps, pf])
            track_blocks += bytes(b)
        for t in ts:
            b = bytearray(80)
            mode = 0xA9 if t["kind"] == "audio" else (0xAC if mode2 else 0xAA)
            b[0:12] = bytes([mode, 8 if sub else 0, ctl(t), 0, t["number"], 0, 0, 0, 0]) + bytes(msf(t["start"]))
            struct.pack_into("<IH", b, 12, extras_at + 8 * ti, t["size"])
            struct.pack_into("<IQII", b, 36, t["start"], t["offset"], 1, files_at + 16 * ti)
            track_blocks += bytes(b)
            extras += struct.pack("<II", t["pregap"], t["length"])
            files += struct.pack("<IIII", name_at, 1 if wide else 0, 0, 0)
            ti += 1
    with open(out, "wb") as f:
        f.write(bytes(hdr) + sess_blocks + track_blocks + extras + files + name_bytes)


if __name__ == "__main__":
    main(sys.argv[1:])
