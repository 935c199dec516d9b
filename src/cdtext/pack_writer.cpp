// Text into CD-TEXT packs, one block in ISO 8859-1 (MS-JIS where a text needs it), as a recorder writes the
// lead-in of a disc with text.
#include <algorithm>
#include <array>

#include "cdtext/cd_text.h"

namespace ckvd::cdtext {

namespace {

constexpr uint8_t kCodes = 0x8E, kSizeInfo = 0x8F, kEnglish = 0x09, kJapanese = 0x69, kMsJis = 0x80;
constexpr size_t kBlockPacks = 256;
constexpr size_t kMaxString = 160; // bytes a string keeps, so 99 tracks' titles fit a block

// UTF-8 as Latin-1; a character beyond it, or a broken sequence, as '?'.
std::string ToLatin1(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size() && out.size() < kMaxString;) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t len = c < 0x80 ? 1 : (c >> 5) == 0x06 ? 2 : (c >> 4) == 0x0E ? 3 : (c >> 3) == 0x1E ? 4 : 1;
        if (i + len > s.size())
            len = 1;
        unsigned cp = len == 2 ? (c & 0x1Fu) << 6 | (static_cast<unsigned char>(s[i + 1]) & 0x3Fu) : c;
        if (len == 1 && c >= 0x80)
            cp = '?';
        out += cp < 0x20 ? '?' : (len <= 2 && cp <= 0xFF ? static_cast<char>(cp) : '?');
        i += len;
    }
    return out;
}

struct Run {
    uint8_t type;
    std::vector<std::pair<uint8_t, std::string>> strings; // track, the block's bytes without the terminator
};

// Whether a UTF-8 text holds a character beyond Latin-1 (a lead byte of U+0100 or above).
bool BeyondLatin1(const std::string& s) {
    return std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) >= 0xC4; });
}

bool NeedsMsJis(const DiscText& text) {
    if (BeyondLatin1(text.title) || BeyondLatin1(text.performer) || BeyondLatin1(text.songwriter))
        return true;
    for (const auto& [n, t] : text.tracks)
        if (BeyondLatin1(t.title) || BeyondLatin1(t.performer) || BeyondLatin1(t.songwriter))
            return true;
    return false;
}

// Whether a run is written double-byte: the texts of an MS-JIS block are; its codes (UPC/EAN, ISRC) are ASCII
// whatever the block's code, single-byte with one terminator.
bool DoubleByte(const Run& run, bool dbcs) {
    return dbcs && run.type != kCodes;
}

// A run's packs: its strings joined, cut into 12-byte parts, each headed by the track of its first byte and
// how many bytes of that string came before it.
void AddRun(const Run& run, bool blockDbcs, std::vector<uint8_t>& packs, uint8_t& seq) {
    const bool dbcs = DoubleByte(run, blockDbcs);
    std::vector<std::pair<uint8_t, uint8_t>> owner; // per byte: track, position in its string
    std::string joined;
    const size_t terminator = dbcs ? 2 : 1;
    for (const auto& [track, s] : run.strings) {
        for (size_t i = 0; i < s.size() + terminator; ++i)
            owner.emplace_back(track, static_cast<uint8_t>(std::min<size_t>(dbcs ? i / 2 : i, 15)));
        joined += s;
        joined.append(terminator, '\0');
    }
    for (size_t at = 0; at < joined.size(); at += 12) {
        std::array<uint8_t, kPackSize> p{};
        p[0] = run.type;
        p[1] = owner[at].first;
        p[2] = seq++;
        p[3] = static_cast<uint8_t>((dbcs ? 0x80 : 0) | owner[at].second); // block 0
        for (size_t i = 0; i < 12 && at + i < joined.size(); ++i)
            p[4 + i] = static_cast<uint8_t>(joined[at + i]);
        const uint16_t crc = PackCrc(std::span<const uint8_t, 16>(p.data(), 16));
        p[16] = static_cast<uint8_t>(crc >> 8);
        p[17] = static_cast<uint8_t>(crc);
        packs.insert(packs.end(), p.begin(), p.end());
    }
}

size_t PacksOf(const Run& run, bool blockDbcs) {
    size_t bytes = 0;
    for (const auto& s : run.strings)
        bytes += s.second.size() + (DoubleByte(run, blockDbcs) ? 2 : 1);
    return (bytes + 11) / 12;
}

} // namespace

std::vector<uint8_t> MakePacks(const DiscText& text, uint8_t first, uint8_t last) {
    std::vector<Run> runs;
    const bool dbcs = NeedsMsJis(text);
    for (uint8_t type : {0x80, 0x81, 0x82, 0x8E}) {
        auto encode = [dbcs, type](const std::string& s) {
            return dbcs && type != kCodes ? EncodeMsJis(s, kMaxString) : ToLatin1(s);
        };
        Run run{type, {}};
        bool any = false;
        auto field = [type](const auto& t, const std::string& code) -> const std::string& {
            return type == 0x80 ? t.title : type == 0x81 ? t.performer : type == 0x82 ? t.songwriter : code;
        };
        run.strings.emplace_back(0, encode(field(text, text.catalog)));
        any = !run.strings.back().second.empty();
        for (int n = first; n <= last && n <= 99; ++n) {
            const TrackText* t = text.track(static_cast<uint8_t>(n));
            run.strings.emplace_back(static_cast<uint8_t>(n), t ? encode(field(*t, t->isrc)) : std::string());
            any = any || !run.strings.back().second.empty();
        }
        if (any)
            runs.push_back(std::move(run));
    }
    // A block holds 256 packs, three of them the size information: the later kinds give way.
    size_t total = 3;
    for (size_t i = 0; i < runs.size(); ++i) {
        total += PacksOf(runs[i], dbcs);
        if (total > kBlockPacks) {
            runs.resize(i);
            break;
        }
    }
    if (runs.empty())
        return {};
    std::vector<uint8_t> packs;
    std::array<uint8_t, 36> size{};
    size[1] = first;
    size[2] = last;
    uint8_t seq = 0;
    for (const Run& run : runs) {
        size[4 + (run.type & 0x0F)] = static_cast<uint8_t>(PacksOf(run, dbcs));
        AddRun(run, dbcs, packs, seq);
    }
    size[4 + (kSizeInfo & 0x0F)] = 3;
    size[20] = static_cast<uint8_t>(seq + 2); // the last sequence number of block 0
    size[0] = dbcs ? kMsJis : 0x00;           // the character code of block 0
    size[28] = dbcs ? kJapanese : kEnglish;
    for (uint8_t part = 0; part < 3; ++part) {
        std::array<uint8_t, kPackSize> p{kSizeInfo, part, seq++, 0};
        std::copy(size.begin() + part * 12, size.begin() + part * 12 + 12, p.begin() + 4);
        const uint16_t crc = PackCrc(std::span<const uint8_t, 16>(p.data(), 16));
        p[16] = static_cast<uint8_t>(crc >> 8);
        p[17] = static_cast<uint8_t>(crc);
        packs.insert(packs.end(), p.begin(), p.end());
    }
    return packs;
}

} // namespace ckvd::cdtext
