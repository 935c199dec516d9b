// Rock Ridge (IEEE P1282) over the System Use Sharing Protocol (IEEE P1281): what the System Use area of a
// directory record says of the entry's POSIX name, symbolic link, modification time, mode and relocation.
// Every entry length is checked against its area, and a continuation area (CE) is read only inside the
// session, within one block, and at most kMaxContinuations times per record.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "iso9660/ecma119.h"
#include "iso9660/iso_internal.h"

namespace iso_internal {

namespace {

constexpr int kMaxContinuations = 32;

bool Is(std::span<const uint8_t> entry, const char* signature) {
    return entry[0] == uint8_t(signature[0]) && entry[1] == uint8_t(signature[1]);
}

// Two decimal digits of a long-form date.
int Digits(const uint8_t* p, int n) {
    int v = 0;
    for (int i = 0; i < n; ++i)
        v = v * 10 + (p[i] >= '0' && p[i] <= '9' ? p[i] - '0' : 0);
    return v;
}

// TF: the modification time, in the directory record's 7-byte form (a long-form time is converted).
void TakeTime(std::span<const uint8_t> e, RockRidgeEntry& out) {
    if (e.size() < 5)
        return;
    const uint8_t flags = e[4];
    if (!(flags & 0x02))
        return;
    const size_t stamp = (flags & 0x80) ? 17 : 7;
    const size_t at = 5 + ((flags & 0x01) ? stamp : 0); // the creation time comes first when recorded
    if (at + stamp > e.size())
        return;
    const uint8_t* t = e.data() + at;
    if (stamp == 7) {
        std::memcpy(out.date, t, 7);
    } else {
        const int year = Digits(t, 4);
        out.date[0] = uint8_t(std::clamp(year - 1900, 0, 255));
        for (int i = 0; i < 5; ++i)
            out.date[1 + i] = uint8_t(Digits(t + 4 + 2 * i, 2));
        out.date[6] = t[16];
    }
    out.hasDate = true;
}

// SL: the components of a symbolic link's target (RRIP 4.1.3.1). Each is followed by "/" when another
// comes, except a continued one (its text goes on in the next) and ROOT, which is "/" itself: ROOT first
// makes the link absolute, ROOT later is an empty component (mkisofs writes ".///file" as CURRENT, ROOT,
// ROOT, "file"), so the target reads as the link was made. The separator due carries over to the
// record's next SL entry.
void TakeLink(std::span<const uint8_t> e, RockRidgeEntry& out) {
    out.symlink = true;
    for (size_t off = 5; off + 2 <= e.size();) {
        const uint8_t flags = e[off], length = e[off + 1];
        if (off + 2 + length > e.size())
            return;
        if (out.separatorDue)
            out.target += '/';
        if (flags & 0x08)
            out.target += '/';
        else if (flags & 0x04)
            out.target += "..";
        else if (flags & 0x02)
            out.target += ".";
        else
            out.target.append(reinterpret_cast<const char*>(e.data() + off + 2), length);
        out.separatorDue = !(flags & 0x08) && !(flags & 0x01);
        off += 2 + length;
    }
}

// ZF: the file is stored compressed; what its header should say (zisofs: "pz", version 1, the header's size
// in words, the block size's binary logarithm, the size uncompressed in both byte orders).
void TakeCompression(std::span<const uint8_t> e, RockRidgeEntry& out) {
    out.compressed = true;
    out.zfVersion = e[3];
    out.zfAlgorithm[0] = char(e[4]);
    out.zfAlgorithm[1] = char(e[5]);
    out.zfHeaderWords = e[6];
    out.zfBlockLog2 = e[7];
    out.zfSize = Le32(e, 8);
}

// The two letters of an entry's signature as one number.
constexpr uint16_t Signature(const char* s) {
    return uint16_t(uint8_t(s[0]) << 8 | uint8_t(s[1]));
}

void TakeEntry(std::span<const uint8_t> e, RockRidgeEntry& out, Continuation& next) {
    const uint8_t length = e[2];
    switch (Signature(reinterpret_cast<const char*>(e.data()))) {
    case Signature("NM"):
        if (length < 5)
            return;
        out.rockRidge = true;
        if (e[4] & 0x06)
            return; // the current or the parent directory: no name of its own
        out.name.append(reinterpret_cast<const char*>(e.data() + 5), length - 5);
        out.hasName = true;
        return;
    case Signature("PX"):
        if (length < 36)
            return;
        out.rockRidge = true;
        out.mode = Le32(e, 4);
        out.hasMode = true;
        return;
    case Signature("TF"):
        out.rockRidge = true;
        TakeTime(e.first(length), out);
        return;
    case Signature("SL"):
        if (length < 5)
            return;
        out.rockRidge = true;
        TakeLink(e.first(length), out);
        return;
    case Signature("SP"):
        if (length >= 7 && e[4] == 0xBE && e[5] == 0xEF) {
            out.sharingProtocol = true;
            out.skip = e[6];
        }
        return;
    case Signature("CE"):
        if (length >= 28)
            next = {Le32(e, 4), Le32(e, 12), Le32(e, 20), true};
        return;
    case Signature("ER"):
        if (length >= 8 && 8 + size_t(e[4]) <= length) {
            const size_t idLength = e[4];
            const std::string_view id(reinterpret_cast<const char*>(e.data() + 8), idLength);
            out.extension = out.extension || id == "RRIP_1991A" || id == "IEEE_P1282" || id == "IEEE_1282";
        }
        return;
    case Signature("CL"):
        if (length < 12)
            return;
        out.rockRidge = true;
        out.childLocation = Le32(e, 4);
        out.child = true;
        return;
    case Signature("ZF"):
    case Signature("Z2"):
        if (length < 16)
            return;
        out.rockRidge = true;
        TakeCompression(e.first(length), out);
        return;
    case Signature("RE"):
        out.rockRidge = true;
        out.relocated = true;
        return;
    case Signature("RR"):
    case Signature("PL"):
    case Signature("PN"):
    case Signature("SF"):
        out.rockRidge = true;
        return;
    default:
        return;
    }
}

// Walks the entries of one area; false at a terminator (ST).
bool WalkArea(std::span<const uint8_t> area, RockRidgeEntry& out, Continuation& next) {
    for (size_t off = 0; off + 4 <= area.size();) {
        const uint8_t length = area[off + 2];
        if (length < 4 || off + length > area.size())
            return true; // a length that does not fit ends the area, as padding does
        const std::span<const uint8_t> e = area.subspan(off, length);
        if (Is(e, "ST"))
            return false;
        TakeEntry(e, out, next);
        off += length;
    }
    return true;
}

} // namespace

std::span<const uint8_t> SystemUseArea(std::span<const uint8_t> record, uint8_t skip) {
    if (record.size() < 34)
        return {};
    const size_t idLength = record[ecma119::kRecordIdentifierLength];
    // ECMA-119 9.1.12: a padding byte follows an identifier of even length.
    const size_t start = ecma119::kRecordIdentifier + idLength + ((idLength & 1) ? 0 : 1) + skip;
    return start < record.size() ? record.subspan(start) : std::span<const uint8_t>{};
}

void RockRidge_Parse(std::span<const uint8_t> record, uint8_t skip, uint32_t blockLength,
                     const SessionBlocks* blocks, RockRidgeEntry& out) {
    Continuation next;
    if (!WalkArea(SystemUseArea(record, skip), out, next))
        return;
    std::vector<uint8_t> block;
    for (int hops = 0; next.present && hops < kMaxContinuations; ++hops) {
        const Continuation ce = next;
        next = {};
        // The continuation area lies inside one block of the session.
        if (blockLength == 0 || ce.offset >= blockLength || ce.length > blockLength - ce.offset)
            return;
        block.assign(blockLength, 0);
        if (!blocks || !ReadSessionBlock(*blocks, ce.lbn, block))
            return;
        if (!WalkArea(std::span<const uint8_t>(block).subspan(ce.offset, ce.length), out, next))
            return;
    }
}

} // namespace iso_internal
