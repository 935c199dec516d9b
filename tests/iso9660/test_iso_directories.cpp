// Directory analysis of crafted sessions: descriptor set, path table and directory records, and hostile
// bytes in each, which end in a clear code or a bounded walk.
#include "iso_builder.h"

namespace isotest {
namespace {

using Names = std::vector<std::string>;

class Directories : public SingleSessionTest {
  protected:
    // Root (20) with A.TXT, B.TXT and subdirectories X (30) and Y (31); X holds C.TXT.
    void TwoLevelTree() {
        Directory root;
        root.self(20, 2048, 20).add("A.TXT;1", 100, 10).add("B.TXT;1", 101, 20).add("X", 30, 2048, 2);
        PlainSession(0, PathTable().root(20).add("X", 30, 1).add("Y", 31, 1), root.add("Y", 31, 2048, 2));
        Directory().self(30, 2048, 20).add("C.TXT;1", 102, 30).place(*drive, 30);
        Directory().self(31, 2048, 20).place(*drive, 31);
    }
};

TEST_F(Directories, FilesBeforeSubdirectoriesInPathTableOrder) {
    TwoLevelTree();
    ASSERT_EQ(Analyze(), 1);
    const FileEntry* v = Tree()->root;
    EXPECT_EQ(RootNames(), (Names{"A.TXT;1", "B.TXT;1", "X", "Y"}));
    // Extent, data length, directory number and parent number.
    auto place = [](const FileEntry* e) {
        return std::vector<uint32_t>{e->lbn, e->size, uint32_t(e->directoryNumber),
                                     uint32_t(e->parentNumber)};
    };
    EXPECT_EQ(place(v), (std::vector<uint32_t>{20, 2048, 1, 1}));
    const FileEntry* x = v->firstChild->nextSibling->nextSibling;
    EXPECT_EQ(x->type, 'D');
    EXPECT_EQ(place(x), (std::vector<uint32_t>{30, 2048, 2, 1}));
    ASSERT_NE(x->firstChild, nullptr);
    EXPECT_STREQ(x->firstChild->name, "C.TXT;1");
    EXPECT_EQ(place(x->firstChild), (std::vector<uint32_t>{102, 30, 2, 1}));
    EXPECT_EQ(std::vector<int>(x->firstChild->date, x->firstChild->date + 7),
              (std::vector<int>{100, 1, 2, 3, 4, 5, 36}));
    EXPECT_EQ(Tree()->directoryCount, 3u);
    EXPECT_EQ(Tree()->fileCount, 3u);
    EXPECT_EQ(std::string(v->name), "VOLUME" + std::string(26, ' '));
}

TEST_F(Directories, DescriptorSet) {
    Directory proot, jroot;
    proot.self(50, 2048, 50).add("PRIMARY.TXT;1", 100, 5);
    jroot.self(60, 2048, 60).add(Ucs2Be(u"\u65e5\u672c.txt"), 100, 5);
    const Sector primary = VolumeDescriptor(1, "VOLUME", 10, 40, 50, 2048);
    auto joliet = [](uint8_t flags) {
        return VolumeDescriptor(2, Ucs2Be(u"J\u65e5"), 10, 42, 60, 2048, 0x45, flags);
    };
    PlaceBytes(*drive, 40, PathTable().root(50).bytes, 2);
    PlaceBytes(*drive, 42, PathTable().root(60).bytes, 2);
    proot.place(*drive, 50);
    jroot.place(*drive, 60);
    struct Case {
        std::vector<Sector> set;
        Names names; // or the result code
        const char* volume;
    };
    const Case cases[] = {
        // An El Torito boot record (0), a volume partition (3) and the enhanced descriptor of ISO 9660:1999
        // (2, version 2) describe no file tree: the primary one serves.
        {{primary, Descriptor(0), Descriptor(3), Descriptor(2, 2), Descriptor(255)},
         {"PRIMARY.TXT;1"},
         "VOLUME"},
        // A Joliet descriptor is kept whatever comes after it, unless its flags byte is set.
        {{joliet(0), Descriptor(0), primary, Descriptor(255)}, {"\x93\xfa\x96\x7b.txt"}, "J\x93\xfa"},
        {{primary, joliet(1), Descriptor(255)}, {"PRIMARY.TXT;1"}, "VOLUME"},
        // A set without a primary descriptor describes no volume.
        {{Descriptor(0), Descriptor(255)}, {"4098"}, ""},
        // Reserved types and other versions.
        {{primary, Descriptor(4), Descriptor(255)}, {"4098"}, ""},
        {{primary, Descriptor(254), Descriptor(255)}, {"4098"}, ""},
        {{primary, Descriptor(255, 2)}, {"4098"}, ""},
        {{primary, Descriptor(1, 2), Descriptor(255)}, {"4098"}, ""},
        {{primary, Descriptor(0, 2), Descriptor(255)}, {"4098"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        for (size_t i = 0; i < c.set.size(); ++i)
            drive->at(16 + uint32_t(i)) = c.set[i];
        const int rc = Analyze();
        EXPECT_EQ(rc == 1 ? RootNames() : Names{std::to_string(rc)}, c.names);
        if (rc == 1) {
            EXPECT_EQ(std::string(Tree()->root->name).substr(0, strlen(c.volume)), c.volume);
        }
    }
}

TEST_F(Directories, ThreeBlockDirectoryListsEveryBlockOnceInOrder) {
    Directory root;
    root.self(20, 6144, 20);
    for (int i = 0; i < 120; ++i)
        root.add("F" + std::to_string(1000 + i) + ".DAT;1", 200 + i, 1);
    ASSERT_EQ(root.blocks.size(), 3u);
    RootSession(0, root);
    ASSERT_EQ(Analyze(), 1);
    Names names = RootNames();
    ASSERT_EQ(names.size(), 120u);
    EXPECT_EQ(names.front(), "F1000.DAT;1");
    EXPECT_EQ(names.back(), "F1119.DAT;1");
    EXPECT_EQ(Tree()->root->size, 6144u);
    // The descriptors, its first block (for the directory's own length, read before the path table to look
    // for Rock Ridge), then, after the path table, only the two after it.
    std::vector<uint32_t> reads;
    for (const auto& r : drive->reads)
        reads.insert(reads.end(), {r.lba, uint32_t(r.count)});
    EXPECT_EQ(reads, (std::vector<uint32_t>{16, 1, 17, 1, 20, 1, 18, 1, 21, 2}));
}

TEST_F(Directories, PathTableOfExactly2048BytesIsTwoBlocks) {
    // The root (10 bytes), 202 records of 10 bytes and one of 18: exactly 2048 bytes.
    PathTable table;
    table.root(20);
    for (int i = 0; i < 202; ++i)
        table.add(std::string{char('A' + i % 26), char('A' + i / 26)}, 21, 1);
    table.add("ABCDEFGHIJ", 21, 1);
    ASSERT_EQ(table.bytes.size(), 2048u);
    // A record at the start of the second block lies past the table: it must not be walked.
    std::vector<uint8_t> blocks = table.bytes;
    const PathTable extra = PathTable().add("Z", 21, 1);
    blocks.insert(blocks.end(), extra.bytes.begin(), extra.bytes.end());
    PlainSession(0, table, Directory().self(20, 2048, 20));
    PlaceBytes(*drive, 18, blocks, 2);
    Directory().self(21, 2048, 20).add("IN.TXT;1", 50, 1).place(*drive, 21);
    ASSERT_EQ(Analyze(), 1);
    EXPECT_EQ(drive->reads[3].lba, 18u); // after the descriptors and the root's first block
    EXPECT_EQ(drive->reads[3].count, 2);
    EXPECT_EQ(Tree()->directoryCount, 204u);
    EXPECT_EQ(RootNames().size(), 203u);
    // The same directory extent named 203 times is listed once.
    EXPECT_EQ(Tree()->fileCount, 1u);
}

TEST_F(Directories, ExtentReadsArePiecesOf32) {
    SingleDataSessionToc(*drive, 0, 2000);
    RecordBlocks(100, 300);
    ASSERT_NE(Analyze(), 1); // no descriptors: the session is only a cursor here
    g_DiscModel->currentSessionEntry = g_DiscModel->firstSession;
    std::vector<uint8_t> buffer(70 * 2048);
    for (auto [count, expected] : std::vector<std::pair<uint32_t, std::vector<uint16_t>>>{
             {32, {32}}, {64, {32, 32}}, {70, {32, 32, 6}}, {5, {5}}}) {
        drive->reads.clear();
        ASSERT_EQ(Iso_ReadExtent(0, 100, count, buffer.data()), 1);
        std::vector<uint16_t> counts;
        for (size_t i = 0; i < drive->reads.size(); ++i) {
            counts.push_back(drive->reads[i].count);
            EXPECT_EQ(drive->reads[i].lba, 100 + 32 * i);
        }
        EXPECT_EQ(counts, expected) << count;
    }
    EXPECT_NE(Iso_ReadExtent(0, 290, 20, buffer.data()), 1); // runs into unrecorded blocks
}

TEST_F(Directories, MissingSecondDescriptorSetFails) {
    TwoDataSessionToc();
    RootSession(0, Directory().self(20, 2048, 20));
    drive->at(12416); // zeros: no CD001
    EXPECT_EQ(Analyze(), ISO_ERR_DESCRIPTOR);

    drive->sectors.clear();
    drive->at(16); // first session without descriptors
    RootSession(12400, Directory().self(12420, 2048, 12420).add("A;1", 5, 1));
    EXPECT_EQ(Analyze(), 1);
    EXPECT_EQ(Tree()->root->type, 'V');
    EXPECT_STREQ(Tree()->root->name, "");
    EXPECT_EQ(Tree()->root->firstChild, nullptr);
    EXPECT_EQ(ChildNames(Tree()->next->root), (Names{"A;1"}));
}

TEST_F(Directories, VolumeNamesOf16And32Characters) {
    const std::string iso = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";
    RootSession(0, Directory().self(20, 2048, 20), iso);
    ASSERT_EQ(Analyze(), 1);
    EXPECT_EQ(std::string(Tree()->root->name), iso);

    drive->at(17) = VolumeDescriptor(2, Ucs2Be(u"\u3042BCDEFGHIJKLMNO\u3044"), 10, 19, 20, 2048, 0x45);
    drive->at(18) = Descriptor(255);
    PlaceBytes(*drive, 19, PathTable().root(20).bytes);
    ASSERT_EQ(Analyze(), 1);
    // Sixteen characters; the seventeenth is not part of the identifier.
    EXPECT_EQ(std::string(Tree()->root->name), "\x82\xa0"
                                               "BCDEFGHIJKLMNO\x82\xa2");
}

TEST_F(Directories, BlockLengthZeroOrAbove2048RefusesTheSession) {
    RootSession(0, Directory().self(20, 2048, 20).add("A;1", 5, 1));
    for (uint32_t bl : {0u, 4096u}) {
        drive->blockLength = bl;
        EXPECT_EQ(Analyze(), ISO_ERR_DESCRIPTOR) << bl;
        EXPECT_TRUE(drive->reads.empty());
        EXPECT_EQ(Tree()->root->firstChild, nullptr);
    }
}

// Path tables whose walk must end early: a parent number not smaller than the record's own, a parent 0, a
// record running past the table's size; a table size far beyond the disc, or at a block past the session.
TEST_F(Directories, MalformedPathTables) {
    struct Case {
        PathTable table;
        uint32_t size, lbn; // 0: as built
        int rc;
        uint32_t directories;
        Names names;
    };
    const Case cases[] = {
        // X (2) under 1, Y (3) claiming parent 3 (itself), Z (4) never reached.
        {PathTable().root(20).add("X", 30, 1).add("Y", 31, 3).add("Z", 32, 1),
         0,
         0,
         ISO_ERR_DESCRIPTOR,
         2,
         {"A;1", "X"}},
        {PathTable().root(20).add("X", 30, 0), 0, 0, ISO_ERR_DESCRIPTOR, 1, {"A;1"}},
        {PathTable().root(20).add("LONGNAME", 30, 1), 14, 0, ISO_ERR_DESCRIPTOR, 1, {"A;1"}},
        {PathTable().root(20), 0xFFFFFFF0u, 0, 1, 1, {"A;1"}},
        {PathTable().root(20), 0xFFFFFFF0u, 0x7FFFFF00u, 1, 1, {"A;1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        drive->sectors.clear();
        PlainSession(0, c.table, Directory().self(20, 2048, 20).add("A;1", 5, 1));
        RecordBlocks(21, 1000); // recorded zeros up to the last block
        Directory().self(30, 2048, 20).place(*drive, 30);
        if (c.size)
            PutBoth32(&drive->at(16)[132], c.size);
        if (c.lbn)
            PutLe32(&drive->at(16)[140], c.lbn); // the type L table's block
        EXPECT_EQ(Analyze(), c.rc);
        EXPECT_EQ(RootNames(), c.names);
        EXPECT_EQ(Tree()->directoryCount, c.directories);
        for (const auto& r : drive->reads)
            EXPECT_LT(r.lba, 1000u);
        EXPECT_EQ(Tree()->notes, c.lbn ? ISO_TREE_PATH_TABLE_PASSED : 0);
    }
    // Neither the table nor the root directory record: nothing describes the volume.
    drive->at(16)[156 + 25] = 0; // the root record's directory flag
    EXPECT_EQ(Analyze(), ISO_ERR_DESCRIPTOR);
}

TEST_F(Directories, EveryBlockIsWalkedAsDirectoryRecordsOnce) {
    // Directories that claim 4 GiB over blocks of records: X (read first) walks from 30 to the end of the
    // session, Y from 25 up to where X began.
    Directory root;
    root.self(20, 2048, 20).add("R;1", 5, 1).add("X", 30, 0xFFFFF800u, 2).add("Y", 25, 0xFFFFF800u, 2);
    PlainSession(0, PathTable().root(20).add("X", 30, 1).add("Y", 25, 1), root);
    for (uint32_t b = 21; b < 1000; ++b) // file data shaped like directory records
        Directory().self(b, 0xFFFFF800u, 20).add("F" + std::to_string(b) + ";1", 5, 1).place(*drive, b);
    ASSERT_EQ(Analyze(), 1);
    EXPECT_EQ(RootNames(), (Names{"R;1", "X", "Y"}));
    EXPECT_EQ(Tree()->fileCount, 1u + 970u + 5u);
    const FileEntry* y = Tree()->root->firstChild->nextSibling->nextSibling;
    EXPECT_EQ(ChildNames(y), (Names{"F25;1", "F26;1", "F27;1", "F28;1", "F29;1"}));
    EXPECT_LT(SectorsRead(), 1100u);

    // The root alone claiming 4 GiB stays inside the session too.
    drive->sectors.clear();
    RootSession(0, Directory().self(20, 0xFFFFF800u, 20).add("A;1", 5, 1));
    RecordBlocks(21, 1000);
    EXPECT_EQ(Analyze(), 1);
    EXPECT_EQ(RootNames(), (Names{"A;1"}));
    EXPECT_LT(SectorsRead(), 1100u);
}

TEST_F(Directories, MalformedDirectoryRecords) {
    struct Case {
        uint32_t rootSize;
        bool inSecond; // `at` counts from the record after "ONE;1", else from the block's start
        size_t at;
        uint8_t value;
        Names names;
    };
    const Case cases[] = {
        {2048, false, 2000, 250, {"ONE;1", "TWO;1", "THREE;1"}}, // 250 bytes from 2000: past the block
        {2048, true, 0, 20, {"ONE;1"}},                          // shorter than 34 bytes
        {2048, true, 32, 200, {"ONE;1"}},                        // its identifier runs past the record
        {2048, false, 0, 3, {}},                                 // the first record (".") is broken
        {2000, false, 2047, 0, {}},                              // a data length below the block length
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        Directory root;
        root.self(20, c.rootSize, 20).add("ONE;1", 5, 1);
        const size_t second = root.offset;
        root.add("TWO;1", 6, 1).add("THREE;1", 7, 1);
        root.blocks[0][(c.inSecond ? second : 0) + c.at] = c.value;
        RootSession(0, root);
        ASSERT_EQ(Analyze(), 1);
        EXPECT_EQ(RootNames(), c.names);
    }
    EXPECT_EQ(Tree()->root->size, 2000u);
}

TEST_F(Directories, DirectoryListedTwiceOrPointingAtItself) {
    Directory root;
    // A subdirectory whose extent is the root itself, and a second one naming the same extent as X.
    root.self(20, 2048, 20).add("A;1", 5, 1).add("SELF", 20, 2048, 2);
    PlainSession(0, PathTable().root(20).add("SELF", 20, 1).add("X", 30, 1).add("X2", 30, 1), root);
    Directory().self(30, 2048, 20).add("B;1", 6, 1).place(*drive, 30);
    ASSERT_EQ(Analyze(), 1);
    EXPECT_EQ(RootNames(), (Names{"A;1", "SELF", "X", "X2"}));
    EXPECT_EQ(Tree()->fileCount, 2u);
    EXPECT_EQ(Tree()->directoryCount, 4u);
}

TEST_F(Directories, NeverMoreThan65535Directories) {
    // Root at 18, one subdirectory extent at 19, then a path table of 65536 records from block 20.
    PathTable table;
    table.root(18);
    for (int i = 0; i < 65535; ++i)
        table.add("D", 19, 1);
    drive->at(16) = VolumeDescriptor(1, "V", uint32_t(table.bytes.size()), 20, 18, 2048);
    drive->at(17) = Descriptor(255);
    Directory().self(18, 2048, 18).place(*drive, 18);
    Directory().self(19, 2048, 18).place(*drive, 19);
    PlaceBytes(*drive, 20, table.bytes, 1);
    drive->at(20 + uint32_t(table.bytes.size() / 2048));
    EXPECT_EQ(Analyze(), ISO_ERR_DESCRIPTOR);
    EXPECT_EQ(Tree()->directoryCount, 65535u);
}

TEST_F(Directories, LongestNamesAreTerminatedAndFilesPastTheSessionAreNotRead) {
    Directory root;
    root.self(20, 2048, 20).add(std::string(221, 'N'), 990, 100000);
    PlainSession(0, PathTable().root(20).add(std::string(255, 'P'), 20, 1), root);
    ASSERT_EQ(Analyze(), 1);
    EXPECT_EQ(RootNames(), (Names{std::string(221, 'N'), std::string(255, 'P')}));
    const FileEntry* f = Tree()->root->firstChild;
    EXPECT_EQ(f->size, 100000u);
    drive->reads.clear();
    g_CurrentSession = 0;
    EXPECT_EQ(Iso_ReadFile(f->lbn, f->size), ISO_ERR_EXTENT);
    EXPECT_TRUE(drive->reads.empty());
    Iso_FreeFile();
}

// Rock Ridge entries as hostile discs carry them: a continuation area that names itself, one past the
// session, an entry longer than its area. Names come from what lies inside the areas, and no read leaves the
// session or repeats without end.
TEST_F(Directories, RockRidgeEntriesStayInsideTheirAreas) {
    using Bytes = std::vector<uint8_t>;
    auto join = [](std::initializer_list<Bytes> parts) {
        Bytes out;
        for (const Bytes& p : parts)
            out.insert(out.end(), p.begin(), p.end());
        return out;
    };
    auto ce = [](uint32_t lbn, uint32_t offset, uint32_t length) {
        Bytes e = {'C', 'E', 28, 1};
        e.resize(28);
        PutBoth32(&e[4], lbn);
        PutBoth32(&e[12], offset);
        PutBoth32(&e[20], length);
        return e;
    };
    auto nm = [](const std::string& name, uint8_t flags = 0) {
        Bytes e = {'N', 'M', uint8_t(5 + name.size()), 1, flags};
        e.insert(e.end(), name.begin(), name.end());
        return e;
    };
    Directory root;
    root.add(std::string(1, '\0'), 20, 2048, 2, {'S', 'P', 7, 1, 0xBE, 0xEF, 0, 'R', 'R', 5, 1, 0x81});
    root.add(std::string(1, '\1'), 20, 2048, 2);
    root.add("A;1", 50, 1, 0, join({nm("alpha"), {'T', 'F', 200, 1, 0x02}})); // TF longer than its area
    root.add("B;1", 51, 1, 0, join({nm("beta"), ce(5000, 0, 28)}));
    root.add("C;1", 52, 1, 0, join({nm("gamma-", 1), ce(30, 100, 40)}));
    root.add("D;1", 53, 1, 0, ce(31, 0, 28));
    RootSession(0, root);
    const Bytes rest = join({nm("delta"), {'S', 'T', 4, 1}, nm("never")});
    std::copy(rest.begin(), rest.end(), drive->at(30).begin() + 100);
    const Bytes self = ce(31, 0, 28);
    std::copy(self.begin(), self.end(), drive->at(31).begin()); // a continuation that continues in itself
    RecordBlocks(32, 1000);
    ASSERT_EQ(Analyze(), 1);
    EXPECT_EQ(RootNames(), (Names{"alpha", "beta", "gamma-delta", "D;1"}));
    size_t loops = 0;
    for (const auto& r : drive->reads) {
        EXPECT_LT(r.lba, 1000u);
        loops += r.lba == 31;
    }
    EXPECT_LE(loops, 32u);
}

} // namespace
} // namespace isotest
