#!/usr/bin/env python3
"""Writes COUNT disc reports of ENTRIES files each, as ckvd report writes them (Shift-JIS, CRLF): ten album
folders of MP3 files with titles, artists and albums of Latin and Japanese words, every disc its own volume name,
TOC and extents, for the catalogue's benchmark. Words are drawn as song titles use them: a few common ones
(WORDS) three times in ten, else one of a few thousand made of syllables. usage: make_reports.py DIR COUNT ENTRIES"""
import os
import random
import sys

WORDS = ["love", "night", "sakura", "morning", "river", "blue", "さくら", "夜", "海", "空", "風", "song", "dance",
         "rain", "東京", "star", "moon", "光", "garden", "夢"]
COLUMNS = ("PathTable Order,ParentDirectory No.,Play Order,Category,Identifier,LBN,Size,Album,Title,Artist,"
           "Header Position,Header(Data),MPEG Version,Layer,CRC,CRC(Data),Bitrate(kbps),SamplingFrequency(Hz),Channel,")


LATIN = ["ka", "mi", "ra", "to", "ne", "su", "lo", "ve", "an", "el", "or", "is", "da", "ri", "mo", "ta"]
KANA = "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわん"


def vocabulary(rng):
    words = set()
    while len(words) < 2000:
        words.add("".join(rng.choice(LATIN) for _ in range(rng.randint(2, 4))))
    while len(words) < 3000:
        words.add("".join(rng.choice(KANA) for _ in range(rng.randint(2, 3))))
    return sorted(words)


def word(rng, tail):
    return rng.choice(WORDS) if rng.random() < 0.3 else rng.choice(tail)


def report(number, entries, rng, tail):
    per = max(1, entries // 10)
    lines = ["<DCF>,,,,,,,,,,,,,,,,,,,", "", "[HEADER],,,,,,,,,,,,,,,,,,,", "No.,Comment,Date,Time,,,,,,,,,,,,,,,,",
             f"MA{number:06},,2026.12.8,12:0:0,,,,,,,,,,,,,,,,", "", "[TOC Information],,,,,,,,,,,,,,,,,,,",
             "DiscType,MaxSector,SectorSize,Session,Mode,Track,Address,Size,PvdLBN,LeadIn,LeadOut,Mode5,"
             "NextProgramArea,RecordingAreaLeadOut,,,,,,",
             f"CD-ROM,{200000 + number},2048,1,,1,0,0,16,-11634,{200001 + number},0x02,0,359849,,,,,,", "",
             f"[DISC Contents],Session[1],Dir[11],File[{per * 10}],,,,,,,,,,,,,,,,", COLUMNS,
             f"1,1,1,<Volume>,DISC_{number:06},20,2048,,,,,,,,,,,,,"]
    lbn = 40
    for d in range(10):
        album = " ".join(word(rng, tail) for _ in range(2))
        lines.append(f"{d + 2},1,{d * per + 1},<Directory>,ALBUM{d:02},{21 + d},2048,,,,,,,,,,,,,")
        for f in range(per):
            title = " ".join(word(rng, tail) for _ in range(3))
            lines.append(f"{d + 2},1,{d * per + f + 1},File,{f:03} {title}.mp3,{lbn},{3000000 + f},{album},{title},"
                         f"Artist {rng.randint(1, 500)},0,FF FB 90 64,MPEG-1,Layer 3,None,00 00,128,44100,"
                         "Joint Stereo,,")
            lbn += 1500
    return ("\r\n".join(lines) + "\r\n").encode("shift_jis")


def main():
    out, count, entries = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    os.makedirs(out, exist_ok=True)
    rng = random.Random(26)
    tail = vocabulary(rng)
    for n in range(count):
        with open(os.path.join(out, f"MA{n:06}.csv"), "wb") as f:
            f.write(report(n, entries, rng, tail))


if __name__ == "__main__":
    main()
