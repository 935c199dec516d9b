// ASF headers built byte by byte, served by a test drive through the real ASPI manager and ISO9660 session.
#include <algorithm>
#include <optional>

#include "../analyzer_drive.h"
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
template <class T> std::vector<const T*> List(const T* head) {
    std::vector<const T*> out;
    for (; head; head = head->next)
        out.push_back(head);
    return out;
}
bool NoRecords() {
    return !g_AsfFileProperties && !g_AsfContentDescription && !g_AsfExtendedContent && !g_AsfDescriptors &&
           !g_AsfCodecList && !g_AsfCodecEntries;
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

TEST_F(AsfHeaders, FilesWithoutAHeaderObjectGive5001AndNoRecord) {
    Bytes riff = Header({FileProperties()});
    riff[0] = 'R';
    // Too short to hold the header's 30 bytes, GUID or not; a previous analysis's records are gone after it.
    for (auto [bytes, size] : {std::pair{riff, SIZE_MAX}, {Header({FileProperties()}), 29}}) {
        ASSERT_EQ(Analyze(Header({FileProperties()})), 1);
        EXPECT_EQ(Analyze(bytes, size), 0x5001);
        EXPECT_TRUE(NoRecords());
    }
    // Without a disc model there is no block length to read with; the code is never 0.
    Iso_Terminate();
    EXPECT_EQ(Wmf_Analyze(&file), ISO_ERR_NO_MODEL);
}

TEST_F(AsfHeaders, ContentDescriptionStringsFollowOneAnother) {
    // An empty copyright: description and rating still follow the author. U+3042 is 0x82 0xA0 in Shift-JIS;
    // U+FF5E has no JIS X 0208 code.
    ASSERT_EQ(Analyze(Header({ContentDescription(
                  {Ucs(u"Title \u3042"), Ucs(u"Author"), {}, Ucs(u"A\uFF5EB"), Ucs(u"R")})})),
              1);
    const AsfContentDescription* c = g_AsfContentDescription;
    ASSERT_NE(c, nullptr);
    EXPECT_STREQ(c->title, "Title \x82\xA0");
    EXPECT_STREQ(c->author, "Author");
    EXPECT_EQ(c->copyright, nullptr);
    EXPECT_STREQ(c->description, "A?B");
    EXPECT_STREQ(c->rating, "R");
    // A later occurrence of the same object replaces the earlier record.
    ASSERT_EQ(Analyze(Header({Title(u"One"), Title(u"Two")})), 1);
    EXPECT_STREQ(g_AsfContentDescription->title, "Two");
}

TEST_F(AsfHeaders, DescriptorValuesAreKeptByTypeAndFollowEachOther) {
    ASSERT_EQ(Analyze(Header({ExtendedContent({{u"WM/Track", 3, Le(5, 4)},
                                               {u"Album", 0, Ucs(u"Album")},
                                               {u"Bytes", 1, {1, 0, 2}},
                                               {u"Flag", 2, Le(1, 4)},
                                               {u"Big", 4, Le(1ull << 40, 8)},
                                               {u"Small", 5, Le(300, 2)},
                                               {u"Odd", 9, {1, 2, 3}},
                                               {u"Empty", 0, {}},
                                               // Values longer or shorter than their type's width.
                                               {u"Long", 3, {9, 0, 0, 0, 0xFF, 0xFF}},
                                               {u"Short", 3, {9, 0}},
                                               {u"Word", 5, {2, 1, 0xFF, 0xFF}},
                                               {u"Quad", 4, {1, 0, 0, 0}},
                                               {u"Next", 0, Ucs(u"found")}})})),
              1);
    const auto d = List(g_AsfDescriptors);
    ASSERT_EQ(d.size(), 13u);
    // The DWORD keeps 4 bytes and the next descriptor is found 8 bytes after its value type field.
    EXPECT_EQ(d[0]->nameLength, 18);
    EXPECT_EQ(*static_cast<const uint32_t*>(d[0]->value), 5u);
    EXPECT_STREQ(d[1]->name, "Album");
    EXPECT_EQ(std::string(static_cast<const char*>(d[2]->value), 3), std::string("\1\0\2", 3));
    EXPECT_EQ(d[6]->value, nullptr);
    EXPECT_EQ(d[7]->value, nullptr);
    EXPECT_EQ(*static_cast<const uint32_t*>(d[9]->value), 9u);
    EXPECT_STREQ(d[12]->name, "Next");
    // Numbers only when the value holds the type's whole width; bytes are not text.
    const char* shown[] = {"5", "Album", "",    "1", "1099511627776", "300", "", "",
                           "9", "",      "258", "",  "found"};
    for (size_t i = 0; i < d.size(); ++i)
        EXPECT_EQ(Text(d[i]), shown[i]) << i;
}

TEST_F(AsfHeaders, CodecEntriesKeepNamesDescriptionsAndInformation) {
    ASSERT_EQ(Analyze(Header({CodecList({{1, u"", u"Video only", {7, 8}},
                                         {2, u"Windows Media Audio V8", u"64 kbps", {'a', 'b', 0, 'c'}}})})),
              1);
    const auto e = List(g_AsfCodecEntries);
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0]->name, nullptr);
    EXPECT_STREQ(e[0]->description, "Video only");
    EXPECT_EQ(e[1]->nameLength, 23);
    EXPECT_STREQ(e[1]->name, "Windows Media Audio V8");
    EXPECT_STREQ(e[1]->description, "64 kbps");
    EXPECT_EQ(e[1]->infoLength, 4);
    EXPECT_STREQ(reinterpret_cast<const char*>(e[1]->info), "ab"); // up to the first zero byte
}

TEST_F(AsfHeaders, ObjectsOverThirtyTwoSectorsAreSkipped) {
    // A Codec List of 40 sectors: no record, the walk goes on.
    ASSERT_EQ(Analyze(Header({CodecList({{2, u"A", u"", {}}}, {}, 40 * 2048 - 70), FileProperties()})), 1);
    EXPECT_EQ(g_AsfCodecList, nullptr);
    EXPECT_EQ(g_AsfCodecEntries, nullptr);
    EXPECT_NE(g_AsfFileProperties, nullptr);
    // From byte 30 of the first sector, 32 sectors hold an object of 32 x 2048 - 30 bytes, not one byte more.
    ASSERT_EQ(Analyze(Header({CodecList({{2, u"A", u"", {}}}, {}, 32 * 2048 - 30 - 56)})), 1);
    EXPECT_EQ(List(g_AsfCodecEntries).size(), 1u);
    ASSERT_EQ(Analyze(Header({CodecList({{2, u"A", u"", {}}}, {}, 32 * 2048 - 30 - 55)})), 1);
    EXPECT_EQ(g_AsfCodecList, nullptr);
}

TEST_F(AsfHeaders, ObjectInTheLastBytesOfASectorIsReadFromItsFirstSector) {
    // The Content Description starts 8 bytes before the end of the file's first sector and ends in its third.
    const Bytes content = ContentDescription({Ucs(std::u16string(1200, u'x')), Ucs(u"Author"), {}, {}, {}});
    ASSERT_EQ(Analyze(Header({Filler(2048 - 8 - 30), content})), 1);
    ASSERT_NE(g_AsfContentDescription, nullptr);
    EXPECT_EQ(std::string(g_AsfContentDescription->title), std::string(1200, 'x'));
    EXPECT_STREQ(g_AsfContentDescription->author, "Author");
    const auto& reads = drive->reads;
    EXPECT_TRUE(std::any_of(reads.begin(), reads.end(), [](auto r) { return r.lba == 100 && r.count == 3; }));
}

TEST_F(AsfHeaders, FailedReadsAndExhaustedHeapGiveTheirCodes) {
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
    EXPECT_TRUE(NoRecords());
}

TEST_F(AsfHeaders, WalkEndsAtObjectsTooSmallOrRunningPastTheHeader) {
    const Bytes props = FileProperties(), content = Title(u"T"),
                huge = Header({props, content}, ~uint64_t(0));
    // An object under 24 bytes; a size near 2^64 (neither the position nor the sector count may wrap); the
    // header's own size though its count announces more objects; the file's size under the header's.
    const std::pair<Bytes, size_t> files[] = {
        {Header({props, Object(kStreamProps, {}, 10), content}), SIZE_MAX},
        {Header({props, Object(kContent, Bytes(20, 0), ~uint64_t(0) - 15), content}), SIZE_MAX},
        {Header({props, content}, 30 + props.size()), SIZE_MAX},
        {huge, huge.size() - 1}};
    for (const auto& [bytes, size] : files) {
        ASSERT_EQ(Analyze(bytes, size), 1);
        EXPECT_NE(g_AsfFileProperties, nullptr);
        EXPECT_EQ(g_AsfContentDescription, nullptr);
    }
}

TEST_F(AsfHeaders, ObjectsShorterThanTheirFixedPartAreSkipped) {
    Bytes shortProps = FileProperties();
    shortProps.resize(60);
    shortProps[16] = 60;
    ASSERT_EQ(
        Analyze(Header({shortProps, Object(kExtended, {0}), Object(kCodecs, Bytes(19, 0)), Title(u"T")})), 1);
    EXPECT_EQ(g_AsfFileProperties, nullptr);
    EXPECT_EQ(g_AsfExtendedContent, nullptr);
    EXPECT_EQ(g_AsfCodecList, nullptr);
    ASSERT_NE(g_AsfContentDescription, nullptr);
    EXPECT_STREQ(g_AsfContentDescription->title, "T");
}

TEST_F(AsfHeaders, ParsingStopsAtTheFirstFieldCrossingTheObject) {
    // Content Description: an author of 40 bytes in a 10-byte remainder.
    Bytes content = ContentDescription({Ucs(u"T"), Ucs(u"Author"), {}, {}, {}});
    content[26] = 40;
    // Extended content: the count says 65535, two descriptors fit; then a value runs past the object.
    const std::vector<Descriptor> ab = {{u"A", 0, Ucs(u"1")}, {u"B", 0, Ucs(u"2")}};
    Bytes crossing = ExtendedContent(ab);
    crossing[crossing.size() - 6] = 200; // B's value length
    // Codec list: the count says 2^32 - 1, one entry fits.
    ASSERT_EQ(
        Analyze(Header({content, ExtendedContent(ab, 65535), CodecList({{2, u"A", u"", {}}}, 0xFFFFFFFF)})),
        1);
    EXPECT_STREQ(g_AsfContentDescription->title, "T");
    EXPECT_EQ(g_AsfContentDescription->author, nullptr);
    EXPECT_EQ(List(g_AsfDescriptors).size(), 2u);
    EXPECT_EQ(List(g_AsfCodecEntries).size(), 1u);
    ASSERT_EQ(Analyze(Header({crossing})), 1);
    const auto d = List(g_AsfDescriptors);
    ASSERT_EQ(d.size(), 2u);
    EXPECT_STREQ(d[1]->name, "B");
    EXPECT_EQ(d[1]->valueLength, 200);
    EXPECT_EQ(d[1]->value, nullptr);
    // A codec name running past the object: the entry keeps its length, not the name.
    Bytes name = CodecList({{2, u"Name", u"", {}}});
    name[46] = 100;
    ASSERT_EQ(Analyze(Header({name})), 1);
    const auto e = List(g_AsfCodecEntries);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0]->nameLength, 100);
    EXPECT_EQ(e[0]->name, nullptr);
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
    // A header at the last 32-bit block address: no read wraps to block 0.
    ASSERT_EQ(Analyze(Header({FileProperties()}), SIZE_MAX, 0xFFFFFFFF), 1);
    EXPECT_EQ(g_AsfFileProperties, nullptr);
    for (const auto& r : drive->reads)
        EXPECT_EQ(r.lba, 0xFFFFFFFFu);
    // 3000 objects of 24 bytes over 36 sectors cost reads by the sector, not by the object.
    std::vector<Bytes> objects(3000, Object(kStreamProps, {}));
    objects.push_back(FileProperties(77));
    ASSERT_EQ(Analyze(Header(objects)), 1);
    EXPECT_EQ(Wmf_PlayDuration(g_AsfFileProperties), 77u);
    EXPECT_LE(drive->reads.size(), 2 * 36u);
}

} // namespace
