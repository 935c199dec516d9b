// The CD-TEXT pack reader over packs typed after the published pack format (MMC Annex J and the description
// libburn and libcdio publish), and the names Save to Disc proposes.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "cdtext/cd_text.h"

using namespace ckvd::cdtext;

namespace {

using Bytes = std::vector<uint8_t>;

// A pack of `type` for `track`, sequence `seq`, byte 3 `flags` (block and character position) and up to 12
// text bytes; its CRC from PackCrc, which PacksOfThePublishedExampleCarryTheirCrc holds against published
// packs.
Bytes Pack(uint8_t type, uint8_t track, uint8_t seq, uint8_t flags, std::string text) {
    text.resize(12, '\0');
    Bytes p(16);
    p[0] = type;
    p[1] = track;
    p[2] = seq;
    p[3] = flags;
    std::copy(text.begin(), text.end(), p.begin() + 4);
    const uint16_t crc = PackCrc(std::span<const uint8_t, 16>(p.data(), 16));
    p.push_back(static_cast<uint8_t>(crc >> 8));
    p.push_back(static_cast<uint8_t>(crc));
    return p;
}

Bytes Join(std::initializer_list<Bytes> packs) {
    Bytes out;
    for (const Bytes& p : packs)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// The size information of one block: character code, tracks 1-`last`, the languages of blocks 0 and 1.
Bytes SizeInfo(uint8_t code, uint8_t last, uint8_t seq, uint8_t block, uint8_t language0 = 0x09,
               uint8_t language1 = 0) {
    std::string s(36, '\0');
    s[0] = static_cast<char>(code);
    s[1] = 1;
    s[2] = static_cast<char>(last);
    s[28] = static_cast<char>(language0);
    s[29] = static_cast<char>(language1);
    return Join({Pack(0x8F, 0, seq, block << 4, s.substr(0, 12)),
                 Pack(0x8F, 1, seq + 1, block << 4, s.substr(12, 12)),
                 Pack(0x8F, 2, seq + 2, block << 4, s.substr(24, 12))});
}

} // namespace

TEST(CdTextPacks, PacksOfThePublishedExampleCarryTheirCrc) {
    // Packs of Sony's example disc as libburn's doc/cdtext.txt lists them (TOC and size information).
    const std::array<std::array<uint8_t, 18>, 6> published{{
        {0x88, 0x00, 0x23, 0x00, 0x01, 0x0e, 0x00, 0x3f, 0x02, 0x12, 0, 0, 0, 0, 0, 0, 0x12, 0x00},
        {0x88, 0x01, 0x24, 0x00, 0x00, 0x02, 0x00, 0x04, 0x0b, 0x19, 0x08, 0x02, 0x32, 0x0b, 0x2f, 0x3e, 0x67,
         0x2d},
        {0x89, 0x01, 0x28, 0x00, 0x01, 0x04, 0, 0, 0, 0, 0x02, 0x29, 0x30, 0x02, 0x34, 0x3a, 0xf3, 0x0c},
        {0x8f, 0x00, 0x2a, 0x00, 0x01, 0x01, 0x03, 0x00, 0x06, 0x05, 0x04, 0x05, 0x07, 0x06, 0x01, 0x02, 0x48,
         0x65},
        {0x8f, 0x01, 0x2b, 0x00, 0, 0, 0, 0, 0, 0, 0x06, 0x03, 0x2c, 0, 0, 0, 0xc0, 0x20},
        {0x8f, 0x02, 0x2c, 0x00, 0, 0, 0, 0, 0x09, 0, 0, 0, 0, 0, 0, 0, 0x11, 0x45},
    }};
    for (const auto& p : published)
        EXPECT_EQ(PackCrc(std::span<const uint8_t, 16>(p.data(), 16)), p[16] << 8 | p[17]) << int(p[2]);
}

TEST(CdTextPacks, TextsOfDiscAndTracks) {
    struct Case {
        const char* what;
        Bytes packs;
        DiscText want;
    };
    const std::vector<Case> cases = {
        {"a title across packs, one string a track, and a tab for the same as the track before",
         Join({Pack(0x80, 0, 0, 0, std::string("Album\0Song O", 12)),
               Pack(0x80, 1, 1, 6, std::string("ne\0Two\0\t\0", 10)),
               Pack(0x81, 0, 2, 0, std::string("Band\0\0Guest\0", 12)), SizeInfo(0x00, 3, 3, 0)}),
         {"Album",
          "Band",
          "",
          "",
          {{1, {"Song One", "", "", ""}}, {2, {"Two", "Guest", "", ""}}, {3, {"Two", "", "", ""}}},
          {}}},
        {"ISO 8859-1 and the codes: the disc's UPC/EAN, each track's ISRC",
         Join({Pack(0x82, 0, 0, 0, std::string("Caf\xE9\0", 5)), Pack(0x8E, 0, 1, 0, "4006381333931"),
               Pack(0x8E, 0, 2, 12, std::string("1\0USABC12345", 12)),
               Pack(0x8E, 1, 3, 11, std::string("67\0", 3)), SizeInfo(0x00, 1, 4, 0)}),
         {"", "", "Caf\xC3\xA9", "4006381333931", {{1, {"", "", "", "USABC1234567"}}}, {}}},
        {"MS-JIS: double-byte text ended by two zeros",
         Join({Pack(0x80, 0, 0, 0x80, std::string("\x83\x65\x83\x58\x83\x67\0\0A\0\0", 11)),
               SizeInfo(0x80, 1, 1, 0)}),
         {"\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88", "", "", "", {{1, {"A", "", "", ""}}}, {}}},
        {"ASCII: a byte above 0x7F is no character",
         Join({Pack(0x80, 0, 0, 0, std::string("A\xE9\0", 3)), SizeInfo(0x01, 1, 1, 0)}),
         {"A\xEF\xBF\xBD", "", "", "", {}, {}}},
        {"the English block of two",
         Join({Pack(0x80, 0, 0, 0x00, std::string("Deutsch\0", 8)), SizeInfo(0x00, 1, 1, 0, 0x08, 0x09),
               Pack(0x80, 0, 0, 0x10, std::string("English\0", 8)), SizeInfo(0x00, 1, 1, 1, 0x08, 0x09)}),
         {"English", "", "", "", {}, {}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const DiscText got = ReadPacks(c.packs);
        EXPECT_EQ(got.title, c.want.title);
        EXPECT_EQ(got.performer, c.want.performer);
        EXPECT_EQ(got.songwriter, c.want.songwriter);
        EXPECT_EQ(got.catalog, c.want.catalog);
        ASSERT_EQ(got.tracks.size(), c.want.tracks.size());
        for (const auto& [n, t] : c.want.tracks) {
            ASSERT_NE(got.track(n), nullptr) << int(n);
            EXPECT_EQ(got.track(n)->title, t.title);
            EXPECT_EQ(got.track(n)->performer, t.performer);
            EXPECT_EQ(got.track(n)->isrc, t.isrc);
        }
        EXPECT_TRUE(got.notes.empty()) << got.notes.front();
    }
}

TEST(CdTextPacks, BadPacksArePassedOverAndSaid) {
    // The second pack's CRC is wrong: the title it continued is dropped, the next title, which begins in the
    // third pack, is read; a cut pack at the end and a pack of no known type are passed over.
    Bytes packs = Join({Pack(0x80, 0, 0, 0, std::string("Album\0Song O", 12)),
                        Pack(0x80, 1, 1, 6, std::string("ne\0Two\0", 7)),
                        Pack(0x80, 2, 2, 3, std::string("\0Three\0", 7)), Pack(0x20, 0, 3, 0, "noise")});
    packs[18 + 5] ^= 0x01;
    packs.insert(packs.end(), {0x80, 0x00});
    const DiscText got = ReadPacks(packs);
    EXPECT_EQ(got.title, "Album");
    EXPECT_EQ(got.track(1), nullptr);
    EXPECT_EQ(got.track(2), nullptr); // "Two" began in the lost pack
    ASSERT_NE(got.track(3), nullptr);
    EXPECT_EQ(got.track(3)->title, "Three");
    std::string notes;
    for (const std::string& n : got.notes)
        notes += n + "\n";
    EXPECT_NE(notes.find("CD-TEXT pack 1: CRC mismatch, passed over"), std::string::npos) << notes;
    EXPECT_NE(notes.find("title of track 1: cut by a pack passed over"), std::string::npos) << notes;
    EXPECT_NE(notes.find("pack 3: unknown type"), std::string::npos) << notes;
    EXPECT_NE(notes.find("2 bytes after the last whole pack"), std::string::npos) << notes;

    // More packs than a disc holds: only a disc's worth is read, and that is said.
    const Bytes many(18 * (kMaxPacks + 5), 0);
    const DiscText big = ReadPacks(many);
    EXPECT_TRUE(big.empty());
    EXPECT_NE(big.notes.front().find("more than a disc holds"), std::string::npos);
    EXPECT_LE(big.notes.size(), 17u);
}

TEST(CdTextPacks, MsJisBlockKeepsItsCodesAscii) {
    // A Japanese title makes the block MS-JIS; its UPC/EAN and ISRC packs stay ASCII, one zero after each
    // code and no double-byte flag, so they read back to the same track.
    DiscText text;
    text.title = "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88"; // テスト
    text.catalog = "4006381333931";
    text.tracks[1] = {"\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88", "", "", "USABC1234567"};
    text.tracks[2] = {"", "", "", "USABC1234568"};
    const Bytes packs = MakePacks(text, 1, 2);
    ASSERT_EQ(packs.size() % 18, 0u);
    std::string codes;
    for (size_t at = 0; at < packs.size(); at += 18)
        if (packs[at] == 0x8E) {
            EXPECT_EQ(packs[at + 3] & 0x80, 0) << "code pack at " << at;
            codes.append(packs.begin() + static_cast<long>(at) + 4,
                         packs.begin() + static_cast<long>(at) + 16);
        }
    EXPECT_EQ(codes.substr(0, 40), std::string("4006381333931\0USABC1234567\0USABC1234568\0", 40));
    const DiscText got = ReadPacks(packs);
    EXPECT_TRUE(got.notes.empty()) << got.notes.front();
    EXPECT_EQ(got.title, text.title);
    EXPECT_EQ(got.catalog, text.catalog);
    ASSERT_NE(got.track(1), nullptr);
    EXPECT_EQ(got.track(1)->title, text.tracks[1].title);
    EXPECT_EQ(got.track(1)->isrc, "USABC1234567");
    ASSERT_NE(got.track(2), nullptr);
    EXPECT_EQ(got.track(2)->isrc, "USABC1234568");
}

TEST(CdTextPacks, SaveToDiscNames) {
    DiscText d;
    d.performer = "Album Band";
    d.tracks[3] = {"Title", "Artist", "", ""};
    d.tracks[4] = {"Own/Title", "", "", ""};
    d.tracks[5] = {"", "Artist Only", "", ""};
    const struct {
        const DiscText* text;
        uint8_t track;
        const char* want;
    } cases[] = {
        {&d, 3, "03 Artist - Title.wav"}, {&d, 4, "04 Album Band - Own_Title.wav"},
        {&d, 5, "Track05.wav"},           {&d, 6, "Track06.wav"},
        {nullptr, 12, "Track12.wav"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TrackFileName(c.text, c.track), c.want);
}
