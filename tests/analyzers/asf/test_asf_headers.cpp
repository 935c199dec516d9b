// ASF headers built byte by byte, served by a test drive through the real ASPI manager and ISO9660 session.
#include <algorithm>
#include <optional>

#include "../analyzer_tests.h"
#include "analyzers/asf/wmf_module.h"
#include "iso_builder.h"

namespace {

using namespace antest;

// GUIDs as stored: Header, File Properties, Content Description, Extended Content Description, Codec List,
// and Stream Properties (an object the analyzer passes over).
const Bytes kHeader = Hex("3026B2758E66CF11A6D900AA0062CE6C"),
            kFileProps = Hex("A1DCAB8C47A9CF118EE400C00C205365"),
            kContent = Hex("3326B2758E66CF11A6D900AA0062CE6C"),
            kExtended = Hex("40A4D0D207E3D21197F000A0C95EA850"),
            kCodecs = Hex("4052D1861D31D011A3A400A0C90348F6"),
            kStreamProps = Hex("9107DCB7B7A9CF118EE600C00C205365");

// UCS-2 little-endian with the terminating character.
Bytes Ucs(const std::u16string& s) {
    Bytes b;
    for (char16_t c : s)
        b = b + Le(c, 2);
    return s.empty() ? b : b + Le(0, 2);
}
// An object; `size` overrides the size field.
Bytes Object(const Bytes& guid, const Bytes& body, std::optional<uint64_t> size = {}) {
    return guid + Le(size.value_or(24 + body.size()), 8) + body;
}
Bytes Header(const std::vector<Bytes>& objects, std::optional<uint64_t> size = {}) {
    Bytes body = Le(objects.size(), 4) + Bytes{1, 2};
    for (const Bytes& o : objects)
        body = body + o;
    return Object(kHeader, body, size);
}
// File id, file size, creation date and packet count; play and send duration, preroll; flags, packet sizes,
// bitrate.
Bytes FileProperties(uint64_t play = 1) {
    return Object(kFileProps, Bytes(40, 0xEE) + Le(play, 8) + Le(play / 2, 8) + Le(0, 8) + Le(1, 4) +
                                  Le(3200, 4) + Le(3200, 4) + Le(8000, 4));
}
Bytes ContentDescription(const std::vector<Bytes>& texts) {
    Bytes lengths, strings;
    for (const Bytes& t : texts) {
        lengths = lengths + Le(t.size(), 2);
        strings = strings + t;
    }
    return Object(kContent, lengths + strings);
}
Bytes Title(const std::u16string& s) {
    return ContentDescription({Ucs(s), {}, {}, {}, {}});
}
struct Descriptor {
    std::u16string name;
    uint16_t type;
    Bytes value;
    bool terminated = true; // the name ends with a zero character
};
Bytes ExtendedContent(const std::vector<Descriptor>& ds, std::optional<uint16_t> count = {}) {
    Bytes b = Le(count.value_or(uint16_t(ds.size())), 2);
    for (const Descriptor& d : ds) {
        Bytes name = Ucs(d.name);
        name.resize(name.size() - (d.terminated ? 0 : 2));
        b = b + Le(name.size(), 2) + name + Le(d.type, 2) + Le(d.value.size(), 2) + d.value;
    }
    return Object(kExtended, b);
}
struct Codec {
    uint16_t type;
    std::u16string name, description;
    Bytes info;
};
Bytes CodecList(const std::vector<Codec>& cs, std::optional<uint32_t> count = {}, size_t padding = 0) {
    Bytes b = Bytes(16, 0) + Le(count.value_or(uint32_t(cs.size())), 4);
    for (const Codec& c : cs)
        b = b + Le(c.type, 2) + Le(c.name.empty() ? 0 : c.name.size() + 1, 2) + Ucs(c.name) +
            Le(c.description.empty() ? 0 : c.description.size() + 1, 2) + Ucs(c.description) +
            Le(c.info.size(), 2) + c.info;
    return Object(kCodecs, b + Bytes(padding, 0));
}
// Any object the analyzer passes over, `size` bytes long.
Bytes Filler(size_t size) {
    return Object(kStreamProps, Bytes(size - 24, 0x5A));
}

std::string Text(const AsfDescriptor* d) {
    char text[64];
    Wmf_AttributeText(d, text, sizeof text);
    return text;
}
std::string S(const char* s) {
    return s ? s : "-";
}
// What the analysis kept: File Properties (P), the five Content Description texts (C), Extended Content (X)
// with each descriptor as name=shown text/value length ("!" without a value), Codec List (L) with each entry
// as name(name length)|description|information up to its first zero byte(information length). "-" is absent.
std::string Kept() {
    std::string out = g_AsfFileProperties ? "P;" : "";
    if (const AsfContentDescription* c = g_AsfContentDescription)
        out += "C " + S(c->title) + "|" + S(c->author) + "|" + S(c->copyright) + "|" + S(c->description) +
               "|" + S(c->rating) + ";";
    out += g_AsfExtendedContent ? "X;" : "";
    for (const AsfDescriptor* d = g_AsfDescriptors; d; d = d->next)
        out += "D " + S(d->name) + "=" + Text(d) + "/" + std::to_string(d->valueLength) +
               (d->value ? ";" : "!;");
    out += g_AsfCodecList ? "L;" : "";
    for (const AsfCodecEntry* e = g_AsfCodecEntries; e; e = e->next)
        out += "E " + S(e->name) + "(" + std::to_string(e->nameLength) + ")|" + S(e->description) + "|" +
               (e->info ? reinterpret_cast<const char*>(e->info) : "-") + "(" +
               std::to_string(e->infoLength) + ");";
    return out;
}

class AsfHeaders : public FileOnDrive<Wmf_Initialize, Wmf_Analyze, Wmf_Terminate> {
  protected:
    // Places the file at `lbn` with a zero block after it (the walk reads two sectors at a time) and analyses
    // it; `size` overrides the file's size.
    int Analyze(const Bytes& bytes, size_t size = SIZE_MAX, uint32_t lbn = 100) {
        isotest::PlaceBytes(*drive, lbn, bytes, bytes.size() / 2048 + 2);
        file.lbn = lbn;
        file.size = uint32_t(std::min(size, bytes.size()));
        drive->reads.clear();
        return Wmf_Analyze(&file);
    }
};

TEST_F(AsfHeaders, WhatEachHeaderKeeps) {
    Bytes riff = Header({FileProperties()}), shortProps = FileProperties();
    riff[0] = 'R';
    shortProps.resize(60);
    shortProps[16] = 60;
    const Bytes props = FileProperties(), content = Title(u"T"),
                huge = Header({props, content}, ~uint64_t(0));
    const Codec a = {2, u"A", u"", {}};
    // Fields crossing their object: an author of 40 bytes in a 10-byte remainder; a descriptor value and a
    // codec name running past the object.
    Bytes crossingAuthor = ContentDescription({Ucs(u"T"), Ucs(u"Author"), {}, {}, {}});
    crossingAuthor[26] = 40;
    const std::vector<Descriptor> ab = {{u"A", 0, Ucs(u"1")}, {u"B", 0, Ucs(u"2")}};
    Bytes crossingValue = ExtendedContent(ab), crossingName = CodecList({{2, u"Name", u"", {}}});
    crossingValue[crossingValue.size() - 6] = 200;
    crossingName[46] = 100;
    const struct {
        Bytes file;
        std::string kept;
        int rc = 1;
        size_t size = SIZE_MAX;
    } cases[] = {
        // No Header Object GUID, or too short for the header's 30 bytes: the previous records are gone.
        {Header({FileProperties()}), "P;"},
        {riff, "", 0x5001},
        {Header({FileProperties()}), "P;"},
        {Header({FileProperties()}), "", 0x5001, 29},
        // The strings follow one another past an empty copyright. U+3042 is 0x82 0xA0 in Shift-JIS; U+FF5E
        // has no JIS X 0208 code. A later occurrence of the object replaces the earlier record.
        {Header(
             {ContentDescription({Ucs(u"Title \u3042"), Ucs(u"Author"), {}, Ucs(u"A\uFF5EB"), Ucs(u"R")})}),
         "C Title \x82\xA0|Author|-|A?B|R;"},
        {Header({Title(u"One"), Title(u"Two")}), "C Two|-|-|-|-;"},
        // Values by type, each descriptor found after the value's own length; numbers only when the value
        // holds the type's whole width, bytes are not text.
        {Header({ExtendedContent({{u"WM/Track", 3, Le(5, 4)},
                                  {u"Album", 0, Ucs(u"Album")},
                                  {u"Bytes", 1, {1, 0, 2}},
                                  {u"Flag", 2, Le(1, 4)},
                                  {u"Big", 4, Le(1ull << 40, 8)},
                                  {u"Small", 5, Le(300, 2)},
                                  {u"Odd", 9, {1, 2, 3}},
                                  {u"Empty", 0, {}},
                                  {u"Long", 3, {9, 0, 0, 0, 0xFF, 0xFF}},
                                  {u"Short", 3, {9, 0}},
                                  {u"Word", 5, {2, 1, 0xFF, 0xFF}},
                                  {u"Quad", 4, {1, 0, 0, 0}},
                                  {u"Next", 0, Ucs(u"found")}})}),
         "X;D WM/Track=5/4;D Album=Album/12;D Bytes=/3;D Flag=1/4;D Big=1099511627776/8;D Small=300/2;"
         "D Odd=/3!;D Empty=/0!;D Long=9/6;D Short=/2;D Word=258/4;D Quad=/4;D Next=found/12;"},
        {Header({CodecList({{1, u"", u"Video only", {7, 8}},
                            {2, u"Windows Media Audio V8", u"64 kbps", {'a', 'b', 0, 'c'}}})}),
         "L;E -(0)|Video only|\x07\x08(2);E Windows Media Audio V8(23)|64 kbps|ab(4);"},
        // Objects over 32 sectors are passed over: from byte 30 of the first sector, 32 sectors hold an
        // object of 32 x 2048 - 30 bytes, not one byte more.
        {Header({CodecList({a}, {}, 40 * 2048 - 70), FileProperties()}), "P;"},
        {Header({CodecList({a}, {}, 32 * 2048 - 30 - 56)}), "L;E A(2)|-|-(0);"},
        {Header({CodecList({a}, {}, 32 * 2048 - 30 - 55)}), ""},
        // The walk ends at an object under 24 bytes, at a size near 2^64 (neither the position nor the
        // sector count may wrap), at the header's own size though its count announces more objects, and at
        // the file's size under the header's.
        {Header({props, Object(kStreamProps, {}, 10), content}), "P;"},
        {Header({props, Object(kContent, Bytes(20, 0), ~uint64_t(0) - 15), content}), "P;"},
        {Header({props, content}, 30 + props.size()), "P;"},
        {huge, "P;", 1, huge.size() - 1},
        // Objects shorter than their fixed part are skipped.
        {Header({shortProps, Object(kExtended, {0}), Object(kCodecs, Bytes(19, 0)), Title(u"T")}),
         "C T|-|-|-|-;"},
        // Parsing stops at the first field crossing the object; counts of 65535 descriptors and 2^32 - 1
        // codec entries where two and one fit.
        {Header({crossingAuthor, ExtendedContent(ab, 65535), CodecList({a}, 0xFFFFFFFF)}),
         "C T|-|-|-|-;X;D A=1/4;D B=2/4;L;E A(2)|-|-(0);"},
        {Header({crossingValue}), "X;D A=1/4;D B=/200!;"},
        {Header({crossingName}), "L;E -(100)|-|-(0);"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kept);
        ASSERT_EQ(Analyze(c.file, c.size), c.rc);
        EXPECT_EQ(Kept(), c.kept);
    }
}

TEST_F(AsfHeaders, BytesAreKeptAsTheyStand) {
    ASSERT_EQ(Analyze(Header({ExtendedContent({{u"WM/Track", 3, Le(5, 4)}, {u"Bytes", 1, {1, 0, 2}}})})), 1);
    EXPECT_EQ(g_AsfDescriptors->nameLength, 18);
    EXPECT_EQ(std::string(static_cast<const char*>(g_AsfDescriptors->next->value), 3),
              std::string("\1\0\2", 3));
}

TEST_F(AsfHeaders, ObjectInTheLastBytesOfASectorIsReadFromItsFirstSector) {
    // The Content Description starts 8 bytes before the end of the file's first sector and ends in its third.
    const Bytes content = ContentDescription({Ucs(std::u16string(1200, u'x')), Ucs(u"Author"), {}, {}, {}});
    ASSERT_EQ(Analyze(Header({Filler(2048 - 8 - 30), content})), 1);
    EXPECT_EQ(Kept(), "C " + std::string(1200, 'x') + "|Author|-|-|-;");
    const auto& reads = drive->reads;
    EXPECT_TRUE(std::any_of(reads.begin(), reads.end(), [](auto r) { return r.lba == 100 && r.count == 3; }));
}

TEST_F(AsfHeaders, FailedReadsExhaustedHeapAndNoModelGiveTheirCodes) {
    const Bytes bytes = Header({FileProperties(), Filler(5000), Title(u"T")});
    isotest::PlaceBytes(*drive, 100, bytes, 4);
    drive->sectors.erase(102); // the Content Description's sector
    uint8_t buffer[2 * 2048];
    const int readCode = Aspi_ReadSectors(0, 102, 2048, 2, buffer);
    ASSERT_NE(readCode, 1);
    ASSERT_NE(readCode, 0);
    file.lbn = 100;
    file.size = uint32_t(bytes.size());
    EXPECT_EQ(Wmf_Analyze(&file), readCode);
    Analyzer_SetHeapExhausted(true);
    EXPECT_EQ(Analyze(bytes), 0x50FF);
    EXPECT_EQ(Kept(), "");
    // Without a disc model there is no block length to read with; the code is never 0.
    Iso_Terminate();
    EXPECT_EQ(Wmf_Analyze(&file), ISO_ERR_NO_MODEL);
}

TEST_F(AsfHeaders, AttributesAreFoundByWholeName) {
    // A longer name, and a stored prefix without its terminating character.
    ASSERT_EQ(Analyze(Header({ExtendedContent({{u"WM/GenreX", 0, Ucs(u"No")},
                                               {u"WM/Gen", 0, Ucs(u"Prefix"), false},
                                               {u"WM/Genre", 0, Ucs(u"Yes")},
                                               {u"WM/Genre", 0, Ucs(u"Later")}})})),
              1);
    EXPECT_EQ(Text(Wmf_FindAttribute("WM/Genre")), "Yes");
    EXPECT_EQ(Wmf_FindAttribute("WM/Genr"), nullptr);
    EXPECT_EQ(Wmf_FindAttribute("WM/GenreXY"), nullptr);
}

TEST_F(AsfHeaders, ReadsStayWithinTheAddressableBlocksAndTheHeadersSectors) {
    // A header at the last 32-bit block address, past the session: refused before any read.
    EXPECT_EQ(Analyze(Header({FileProperties()}), SIZE_MAX, 0xFFFFFFFF), ISO_ERR_EXTENT);
    EXPECT_TRUE(drive->reads.empty());
    // 3000 objects of 24 bytes over 36 sectors cost reads by the sector, not by the object.
    std::vector<Bytes> objects(3000, Object(kStreamProps, {}));
    objects.push_back(FileProperties(77));
    ASSERT_EQ(Analyze(Header(objects)), 1);
    EXPECT_EQ(Wmf_PlayDuration(g_AsfFileProperties), 77u);
    EXPECT_LE(drive->reads.size(), 2 * 36u);
}

} // namespace
