#!/usr/bin/env python3
"""Composes a Nero image from ISO images and raw CD-DA samples, for the reader's tests.

usage: make_nrg.py OUT.nrg [--old] [--tao] [--gap=SECTORS] KIND:FILE... [--session KIND:FILE...]...
--old: "NERO" footer with 32-bit offsets, CUES (MSF) / DAOI / ETNF chunks; else "NER5", CUEX / DAOX / ETN2.
--tao: each session an ETNF/ETN2 track list, tracks back to back in the file; else disc-at-once: CUE and
DAO chunks, an INDEX 00 pregap of 150 sectors (or --gap) stored before each track.
KIND: m1 (2048), m2f1 (2048), m2 (2336), m1raw (2352), m2raw (2352), audio (2352), audiosub (2448).
A later session's tracks start after the recorder's lead-out, lead-in and pregap (11,400 sectors after
the first session, 6,900 after later ones)."""
import struct
import sys

from make_raw import bcd, sector as raw_sector

KINDS = {  # mode code, stored sector size
    'm1': (0x00, 2048), 'm2f1': (0x02, 2048), 'm2': (0x03, 2336), 'm1raw': (0x05, 2352),
    'm2raw': (0x06, 2352), 'audio': (0x07, 2352), 'audiosub': (0x10, 2448)}


def sector(kind, data, lba):
    """One stored sector of `kind` holding `data` (2048 user bytes, or samples), at `lba`."""
    if kind in ('m1', 'm2f1', 'audio'):
        return data
    if kind == 'audiosub':
        return data + bytes(96)
    if kind == 'm1raw':
        return raw_sector('mode1', lba, data)
    whole = raw_sector('mode2', lba, data)
    return whole if kind == 'm2raw' else whole[16:]  # m2: without sync and header


def track_sectors(kind, path):
    raw = open(path, 'rb').read()
    unit = 2352 if kind.startswith('audio') else 2048
    raw += bytes(-len(raw) % unit)
    return [raw[i:i + unit] for i in range(0, len(raw), unit)]


def main(argv):
    out, old, tao, gap, sessions = argv[0], False, False, 150, [[]]
    for a in argv[1:]:
        if a.startswith('--gap='):
            gap = int(a[6:])
        elif a == '--old':
            old = True
        elif a == '--tao':
            tao = True
        elif a == '--session':
            sessions.append([])
        else:
            kind, path = a.split(':', 1)
            sessions[-1].append((kind, track_sectors(kind, path)))
    q = '>I' if old else '>Q'
    body, chunks = bytearray(), []
    lba, number = 0, 1
    for si, tracks in enumerate(sessions):
        if si > 0:
            lba += (6750 if si == 1 else 2250) + 4500 + 150
        if tao:
            entries = b''
            for ti, (kind, secs) in enumerate(tracks):
                code, size = KINDS[kind]
                if ti > 0:
                    lba += 150
                data = b''.join(sector(kind, s, lba + i) for i, s in enumerate(secs))
                start = len(body) // size if len(body) % size == 0 else 0
                if old:
                    entries += struct.pack('>IIIII', len(body), len(data), code, start, 0)
                else:
                    entries += struct.pack('>QQIIQ', len(body), len(data), code, start, 0)
                body += data
                lba += len(secs)
            chunks.append((b'ETNF' if old else b'ETN2', entries))
        else:
            cues, daos = [], b''
            cues.append((0x01 | (tracks[0][0][:5] != 'audio') << 6, 0, 0, lba - 150))
            for ti, (kind, secs) in enumerate(tracks):
                code, size = KINDS[kind]
                ctrl = 0x41 if not kind.startswith('audio') else 0x01
                pre = b''.join(sector(kind, bytes(len(secs[0])), lba - gap + i) for i in range(gap))
                cues.append((ctrl, bcd(number), 0, lba - gap))
                cues.append((ctrl, bcd(number), 1, lba))
                data = b''.join(sector(kind, s, lba + i) for i, s in enumerate(secs))
                o0 = len(body)
                body += pre
                o1 = len(body)
                body += data
                daos += b'\0' * 12 + struct.pack('>HB3B', size, code, 0, 0, 1)
                daos += struct.pack('>' + q[1] * 3, o0, o1, len(body))
                lba += len(secs) + (gap if ti + 1 < len(tracks) else 0)
                number += 1
            cues.append((cues[-1][0], 0xAA, 1, lba))
            if old:
                packed = b''.join(struct.pack('>BBBB', c, t, i, 0) + bytes([0]) +
                                  bytes(divmod_msf(a)) for c, t, i, a in cues)
            else:
                packed = b''.join(struct.pack('>BBBBi', c, t, i, 0, a) for c, t, i, a in cues)
            first = number - len(tracks)
            head = struct.pack('>I', 22 + len(daos)) + bytes(13) + bytes([0, 0, 1, first, number - 1])
            chunks.append((b'CUES' if old else b'CUEX', packed))
            chunks.append((b'DAOI' if old else b'DAOX', head + daos))
        # Later sessions' tracks are numbered on from the earlier ones (TAO counts too).
        if tao:
            number += len(tracks)
    for tracks in sessions:
        chunks.append((b'SINF', struct.pack('>I', len(tracks))))
    chunks.append((b'MTYP', struct.pack('>I', 1)))
    chunks.append((b'END!', b''))
    first_chunk = len(body)
    for cid, payload in chunks:
        body += cid + struct.pack('>I', len(payload)) + payload
    body += (b'NERO' + struct.pack('>I', first_chunk)) if old else (b'NER5' + struct.pack('>Q', first_chunk))
    open(out, 'wb').write(body)


def divmod_msf(lba):
    t = lba + 150
    return (t // 4500, t // 75 % 60, t % 75)


if __name__ == '__main__':
    main(sys.argv[1:])
