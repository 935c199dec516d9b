// ASF headers built byte by byte, served by a test drive through the real ASPI manager and ISO9660 session.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "analyzers/analyzer_heap.h"
#include "analyzers/analyzers.h"
#include "analyzers/asf/wmf_module.h"
#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"
#include "iso_builder.h"

namespace {

using Bytes = std::vector<uint8_t>;
using isotest::FakeDrive;

const Bytes kHeader = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                       0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const Bytes kFileProps = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                          0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const Bytes kContent = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                        0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const Bytes kExtended = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                         0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};
const Bytes kCodecs = {0x40, 0x52, 0xD1, 0x86, 0x1D, 0x31, 0xD0, 0x11,
                       0xA3, 0xA4, 0x00, 0xA0, 0xC9, 0x03, 0x48, 0xF6};
// Stream Properties, an object the analyzer passes over.
const Bytes kStreamProps = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                            0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};

void Put(Bytes& b, uint64_t v, int width) {
    for (int i = 0; i < width; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}
Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}
// UCS-2 little-endian with the terminating character.
Bytes Ucs(const std::u16string& s) {
    Bytes b;
    for (char16_t c : s)
        Put(b, c, 2);
    if (!s.empty())
        Put(b, 0, 2);
    return b;
}
// An object; `size` overrides the size field.
Bytes Object(const Bytes& guid, const Bytes& body, std::optional<uint64_t> size = {}) {
    Bytes b = guid;
    Put(b, size.value_or(24 + body.size()), 8);
    return Cat({b, body});
}
Bytes Header(const std::vector<Bytes>& objects, std::optional<uint64_t> size = {}) {
    Bytes body;
    Put(body, objects.size(), 4);
    body.insert(body.end(), {1, 2});
    for (const Bytes& o : objects)
        body.insert(body.end(), o.begin(), o.end());
    return Object(kHeader, body, size);
}
Bytes FileProperties(uint64_t play, uint64_t preroll, uint32_t flags, uint32_t bitrate) {
    Bytes b(40, 0xEE); // file id, file size, creation date, packet count
    for (uint64_t v : {play, play / 2, preroll})
        Put(b, v, 8);
    for (uint32_t v : {flags, 3200u, 3200u, bitrate})
        Put(b, v, 4);
    return Object(kFileProps, b);
}
Bytes ContentDescription(const std::vector<Bytes>& texts) {
    Bytes b;
    for (const Bytes& t : texts)
        Put(b, t.size(), 2);
    for (const Bytes& t : texts)
        b.insert(b.end(), t.begin(), t.end());
    return Object(kContent, b);
}
struct Descriptor {
    std::u16string name;
    uint16_t type;
    Bytes value;
    bool terminated = true; // the name ends with a zero character
};
Bytes DescriptorBytes(const Descriptor& d) {
    Bytes b;
    Bytes name = Ucs(d.name);
    name.resize(name.size() - (d.terminated ? 0 : 2));
    Put(b, name.size(), 2);
    b.insert(b.end(), name.begin(), name.end());
    Put(b, d.type, 2);
    Put(b, d.value.size(), 2);
    return Cat({b, d.value});
}
Bytes ExtendedContent(const std::vector<Descriptor>& ds, std::optional<uint16_t> count = {}) {
    Bytes b;
    Put(b, count.value_or(uint16_t(ds.size())), 2);
    for (const Descriptor& d : ds)
        b = Cat({b, DescriptorBytes(d)});
    return Object(kExtended, b);
}
struct Codec {
    uint16_t type;
    std::u16string name, description;
    Bytes info;
};
Bytes CodecList(const std::vector<Codec>& cs, std::optional<uint32_t> count = {}, size_t padding = 0) {
    Bytes b(16, 0);
    Put(b, count.value_or(uint32_t(cs.size())), 4);
    for (const Codec& c : cs) {
        Put(b, c.type, 2);
        Put(b, c.name.empty() ? 0 : c.name.size() + 1, 2);
        b = Cat({b, Ucs(c.name)});
        Put(b, c.description.empty() ? 0 : c.description.size() + 1, 2);
        b = Cat({b, Ucs(c.description)});
        Put(b, c.info.size(), 2);
        b = Cat({b, c.info});
    }
    b.resize(b.size() + padding);
    return Object(kCodecs, b);
}
Bytes Num(uint64_t v, int width) {
    Bytes b;
    Put(b, v, width);
    return b;
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
std::vector<const AsfDescriptor*> Descriptors() {
    std::vector<const AsfDescriptor*> out;
    for (const AsfDescriptor* d = g_AsfDescriptors; d; d = d->next)
        out.push_back(d);
    return out;
}
std::vector<const AsfCodecEntry*> CodecEntries() {
    std::vector<const AsfCodecEntry*> out;
    for (const AsfCodecEntry* e = g_AsfCodecEntries; e; e = e->next)
        out.push_back(e);
    return out;
}
bool NoRecords() {
    return !g_AsfFileProperties && !g_AsfContentDescription && !g_AsfExtendedContent && !g_AsfDescriptors &&
           !g_AsfCodecList && !g_AsfCodecEntries;
}

class AsfHeaders : public ::testing::Test {
  protected:
    void SetUp() override {
        drive = std::make_shared<FakeDrive>();
        isotest::SingleDataSessionToc(*drive, 0, 5000);
        isotest::InstallDrive(drive);
        Iso_Initialize();
        Iso_AnalyzeDisc(0); // no file system: only the session and its block length are wanted
        g_CurrentSession = 0;
        g_CurrentDevice = 0;
        Wmf_Initialize();
    }
    void TearDown() override {
        Analyzer_SetHeapExhausted(false);
        Wmf_Terminate();
        Iso_Terminate();
        isotest::RemoveDrives();
    }
    // Places the file at `lbn` (a zero block after it) and analyses it; `size` overrides the file's size.
    int Analyze(const Bytes& file, uint32_t lbn = 100, std::optional<uint32_t> size = {}) {
        isotest::PlaceBytes(*drive, lbn, file, file.size() / 2048 + 2);
        entry.lbn = lbn;
        entry.size = size.value_or(uint32_t(file.size()));
        drive->reads.clear();
        return Wmf_Analyze(&entry);
    }
    std::shared_ptr<FakeDrive> drive;
    FileEntry entry{};
};

TEST_F(AsfHeaders, FilesWithoutAHeaderObjectGive5001AndNoRecord) {
    Bytes riff = Header({FileProperties(1, 2, 3, 4)});
    riff[0] = 'R';
    EXPECT_EQ(Analyze(riff), 0x5001);
    EXPECT_TRUE(NoRecords());
    // Too short to hold the header's 30 bytes, GUID or not.
    EXPECT_EQ(Analyze(Header({FileProperties(1, 2, 3, 4)}), 100, 29), 0x5001);
    EXPECT_TRUE(NoRecords());
    // A previous analysis's records are gone after a failing one.
    ASSERT_EQ(Analyze(Header({FileProperties(1, 2, 3, 4)})), 1);
    EXPECT_EQ(Analyze(riff), 0x5001);
    EXPECT_TRUE(NoRecords());
    // Without a disc model there is no block length to read with; the code is never 0.
    Iso_Terminate();
    EXPECT_EQ(Wmf_Analyze(&entry), ISO_ERR_NO_MODEL);
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
    ASSERT_EQ(Analyze(Header({ContentDescription({Ucs(u"One"), {}, {}, {}, {}}),
                              ContentDescription({Ucs(u"Two"), {}, {}, {}, {}})})),
              1);
    EXPECT_STREQ(g_AsfContentDescription->title, "Two");
}

TEST_F(AsfHeaders, DescriptorValuesAreKeptByTypeAndFollowEachOther) {
    ASSERT_EQ(Analyze(Header({ExtendedContent({{u"WM/Track", 3, Num(5, 4)},
                                               {u"Album", 0, Ucs(u"Album")},
                                               {u"Bytes", 1, {1, 0, 2}},
                                               {u"Flag", 2, Num(1, 4)},
                                               {u"Big", 4, Num(1ull << 40, 8)},
                                               {u"Small", 5, Num(300, 2)},
                                               {u"Odd", 9, {1, 2, 3}},
                                               {u"Empty", 0, {}},
                                               // Values longer or shorter than their type's width.
                                               {u"Long", 3, {9, 0, 0, 0, 0xFF, 0xFF}},
                                               {u"Short", 3, {9, 0}},
                                               {u"Word", 5, {2, 1, 0xFF, 0xFF}},
                                               {u"Quad", 4, {1, 0, 0, 0}},
                                               {u"Next", 0, Ucs(u"found")}})})),
              1);
    const auto d = Descriptors();
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
    const auto e = CodecEntries();
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
    const Bytes props = FileProperties(10, 0, 1, 8000);
    // A Codec List of 40 sectors: no record, the walk goes on.
    ASSERT_EQ(Analyze(Header({CodecList({{2, u"A", u"", {}}}, {}, 40 * 2048 - 70), props})), 1);
    EXPECT_EQ(g_AsfCodecList, nullptr);
    EXPECT_EQ(g_AsfCodecEntries, nullptr);
    EXPECT_NE(g_AsfFileProperties, nullptr);
    // From byte 30 of the first sector, 32 sectors hold an object of 32 x 2048 - 30 bytes, not one byte more.
    ASSERT_EQ(Analyze(Header({CodecList({{2, u"A", u"", {}}}, {}, 32 * 2048 - 30 - 56)})), 1);
    EXPECT_EQ(CodecEntries().size(), 1u);
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
    const Bytes file =
        Header({FileProperties(1, 0, 0, 0), Filler(5000), ContentDescription({Ucs(u"T"), {}, {}, {}, {}})});
    isotest::PlaceBytes(*drive, 100, file, 4);
    drive->sectors.erase(102); // the Content Description's sector
    uint8_t buffer[2 * 2048];
    const int readCode = Aspi_ReadSectors(0, 102, 2048, 2, buffer);
    ASSERT_NE(readCode, 1);
    ASSERT_NE(readCode, 0);
    entry.lbn = 100;
    entry.size = uint32_t(file.size());
    EXPECT_EQ(Wmf_Analyze(&entry), readCode);
    Analyzer_SetHeapExhausted(true);
    EXPECT_EQ(Analyze(file), 0x50FF);
    EXPECT_TRUE(NoRecords());
}

// Headers that announce more than they hold.

TEST_F(AsfHeaders, WalkEndsAtObjectsTooSmallOrRunningPastTheHeader) {
    const Bytes props = FileProperties(1, 0, 0, 0);
    const Bytes content = ContentDescription({Ucs(u"T"), {}, {}, {}, {}});
    ASSERT_EQ(Analyze(Header({props, Object(kStreamProps, {}, 10), content})), 1);
    EXPECT_NE(g_AsfFileProperties, nullptr);
    EXPECT_EQ(g_AsfContentDescription, nullptr);
    // A size near 2^64 neither wraps the position nor the sector count.
    ASSERT_EQ(Analyze(Header({props, Object(kContent, Bytes(20, 0), ~uint64_t(0) - 15), content})), 1);
    EXPECT_NE(g_AsfFileProperties, nullptr);
    EXPECT_EQ(g_AsfContentDescription, nullptr);
    // The header's own size ends the walk though its count announces more objects ...
    ASSERT_EQ(Analyze(Header({props, content}, 30 + props.size())), 1);
    EXPECT_NE(g_AsfFileProperties, nullptr);
    EXPECT_EQ(g_AsfContentDescription, nullptr);
    // ... and so does the file's size when the header claims more than the file holds.
    const Bytes huge = Header({props, content}, ~uint64_t(0));
    ASSERT_EQ(Analyze(huge, 100, uint32_t(huge.size() - 1)), 1);
    EXPECT_NE(g_AsfFileProperties, nullptr);
    EXPECT_EQ(g_AsfContentDescription, nullptr);
}

TEST_F(AsfHeaders, ObjectsShorterThanTheirFixedPartAreSkipped) {
    Bytes shortProps = FileProperties(1, 0, 0, 0);
    shortProps.resize(60);
    shortProps[16] = 60;
    ASSERT_EQ(Analyze(Header({shortProps, Object(kExtended, {0}), Object(kCodecs, Bytes(19, 0)),
                              ContentDescription({Ucs(u"T"), {}, {}, {}, {}})})),
              1);
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
    const Bytes two = ExtendedContent({{u"A", 0, Ucs(u"1")}, {u"B", 0, Ucs(u"2")}}, 65535);
    Bytes crossing = ExtendedContent({{u"A", 0, Ucs(u"1")}, {u"B", 0, Ucs(u"2")}});
    crossing[crossing.size() - 6] = 200; // B's value length
    // Codec list: the count says 2^32 - 1, one entry fits.
    const Bytes codecs = CodecList({{2, u"A", u"", {}}}, 0xFFFFFFFF);
    ASSERT_EQ(Analyze(Header({content, two, codecs})), 1);
    EXPECT_STREQ(g_AsfContentDescription->title, "T");
    EXPECT_EQ(g_AsfContentDescription->author, nullptr);
    EXPECT_EQ(Descriptors().size(), 2u);
    EXPECT_EQ(CodecEntries().size(), 1u);
    ASSERT_EQ(Analyze(Header({crossing})), 1);
    const auto d = Descriptors();
    ASSERT_EQ(d.size(), 2u);
    EXPECT_STREQ(d[1]->name, "B");
    EXPECT_EQ(d[1]->valueLength, 200);
    EXPECT_EQ(d[1]->value, nullptr);
    // A codec name running past the object: the entry keeps its length, not the name.
    Bytes name = CodecList({{2, u"Name", u"", {}}});
    name[46] = 100;
    ASSERT_EQ(Analyze(Header({name})), 1);
    ASSERT_EQ(CodecEntries().size(), 1u);
    EXPECT_EQ(CodecEntries()[0]->nameLength, 100);
    EXPECT_EQ(CodecEntries()[0]->name, nullptr);
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
    ASSERT_EQ(Analyze(Header({FileProperties(1, 0, 0, 0)}), 0xFFFFFFFF), 1);
    EXPECT_EQ(g_AsfFileProperties, nullptr);
    for (const auto& r : drive->reads)
        EXPECT_EQ(r.lba, 0xFFFFFFFFu);
    // 3000 objects of 24 bytes over 36 sectors cost reads by the sector, not by the object.
    std::vector<Bytes> objects(3000, Object(kStreamProps, {}));
    objects.push_back(FileProperties(77, 0, 0, 0));
    ASSERT_EQ(Analyze(Header(objects)), 1);
    EXPECT_EQ(Wmf_PlayDuration(g_AsfFileProperties), 77u);
    EXPECT_LE(drive->reads.size(), 2 * 36u);
}

} // namespace
