// Directory analysis: descriptor set, path table and directory records of crafted sessions.
#include "iso_test_fixture.h"

namespace isotest {
namespace {

class Directories : public SingleSessionTest {
  protected:
    // Root (20) with A.TXT, B.TXT and subdirectories X (30) and Y (31); X holds C.TXT.
    void TwoLevelTree() {
        Directory root;
        root.self(20, 2048, 20)
            .add("A.TXT;1", 100, 10)
            .add("B.TXT;1", 101, 20)
            .add("X", 30, 2048, 2)
            .add("Y", 31, 2048, 2);
        PlainSession(0, PathTable().root(20).add("X", 30, 1).add("Y", 31, 1), root);
        Directory().self(30, 2048, 20).add("C.TXT;1", 102, 30).place(*drive, 30);
        Directory().self(31, 2048, 20).place(*drive, 31);
    }
    uint32_t ReadCommands() const { return uint32_t(drive->reads.size()); }
};

TEST_F(Directories, FilesBeforeSubdirectoriesInPathTableOrder) {
    TwoLevelTree();
    ASSERT_EQ(Analyze(), 1);
    const SessionTree* tree = g_DiscModel->firstTree;
    const FileEntry* v = tree->root;
    EXPECT_EQ(ChildNames(v), (std::vector<std::string>{"A.TXT;1", "B.TXT;1", "X", "Y"}));
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
    EXPECT_EQ(x->firstChild->date[0], 100);
    EXPECT_EQ(x->firstChild->date[6], 36);
    EXPECT_EQ(tree->directoryCount, 3u);
    EXPECT_EQ(tree->fileCount, 3u);
    EXPECT_EQ(std::string(v->name), "VOLUME" + std::string(26, ' '));
}

TEST_F(Directories, JolietNamesUnlessItsFlagsByteIsSet) {
    for (uint8_t flags : {0, 1}) {
        drive->sectors.clear();
        const std::string jName = Ucs2Be(u"\u65e5\u672c.txt");
        Directory proot, jroot;
        proot.self(20, 2048, 20).add("NIHON.TXT;1", 100, 5);
        jroot.self(40, 2048, 40).add(jName, 100, 5);
        PlainSession(0, PathTable().root(20), proot);
        drive->at(16) = VolumeDescriptor(1, "VOLUME", 10, 30, 20, 2048);
        PlaceBytes(*drive, 30, PathTable().root(20).bytes, 2);
        drive->at(17) = VolumeDescriptor(2, Ucs2Be(u"J\u65e5"), 10, 38, 40, 2048, 0x45, flags);
        drive->at(18) = Descriptor(255);
        PlaceBytes(*drive, 38, PathTable().root(40).bytes, 2);
        jroot.place(*drive, 40);
        ASSERT_EQ(Analyze(), 1);
        const FileEntry* v = g_DiscModel->firstTree->root;
        if (flags == 0) {
            EXPECT_EQ(ChildNames(v), (std::vector<std::string>{"\x93\xfa\x96\x7b.txt"}));
            EXPECT_STREQ(v->name, "J\x93\xfa");
            EXPECT_EQ(v->lbn, 40u);
        } else {
            EXPECT_EQ(ChildNames(v), (std::vector<std::string>{"NIHON.TXT;1"}));
            EXPECT_EQ(v->lbn, 20u);
        }
    }
}

TEST_F(Directories, DescriptorSetPassesOverBootPartitionAndEnhancedDescriptorsAndPrefersJoliet) {
    Directory proot, jroot;
    proot.self(50, 2048, 50).add("PRIMARY.TXT;1", 100, 5);
    jroot.self(60, 2048, 60).add(Ucs2Be(u"joliet.txt"), 100, 5);
    const Sector primary = VolumeDescriptor(1, "VOLUME", 10, 40, 50, 2048);
    const Sector joliet = VolumeDescriptor(2, Ucs2Be(u"JV"), 10, 42, 60, 2048, 0x45);
    PlaceBytes(*drive, 40, PathTable().root(50).bytes, 2);
    PlaceBytes(*drive, 42, PathTable().root(60).bytes, 2);
    proot.place(*drive, 50);
    jroot.place(*drive, 60);
    auto analyzeSet = [&](const std::vector<Sector>& set) {
        for (size_t i = 0; i < set.size(); ++i)
            drive->at(16 + uint32_t(i)) = set[i];
        const int rc = Analyze();
        return rc == 1 ? ChildNames(g_DiscModel->firstTree->root)
                       : std::vector<std::string>{std::to_string(rc)};
    };
    // An El Torito boot record (0), a volume partition (3) and the enhanced descriptor of ISO 9660:1999
    // (2, version 2) describe no file tree: the primary one serves.
    EXPECT_EQ(analyzeSet({primary, Descriptor(0), Descriptor(3), Descriptor(2, 2), Descriptor(255)}),
              std::vector<std::string>{"PRIMARY.TXT;1"});
    // A Joliet descriptor is kept whatever comes after it.
    EXPECT_EQ(analyzeSet({joliet, Descriptor(0), primary, Descriptor(255)}),
              std::vector<std::string>{"joliet.txt"});
    // A set without a primary descriptor describes no volume.
    EXPECT_EQ(analyzeSet({Descriptor(0), Descriptor(255)}), std::vector<std::string>{"4098"});
}

TEST_F(Directories, DescriptorOfReservedTypeOrOtherVersionFails) {
    for (auto [type, version] : {std::pair<uint8_t, uint8_t>{4, 1}, {254, 1}, {255, 2}, {1, 2}, {0, 2}}) {
        TwoLevelTree();
        drive->at(17) = Descriptor(type, version);
        drive->at(18) = Descriptor(255);
        EXPECT_EQ(Analyze(), ISO_ERR_DESCRIPTOR) << int(type) << "/" << int(version);
    }
}

TEST_F(Directories, ThreeBlockDirectoryListsEveryBlockOnceInOrder) {
    Directory root;
    root.self(20, 6144, 20);
    for (int i = 0; i < 120; ++i)
        root.add("F" + std::to_string(1000 + i) + ".DAT;1", 200 + i, 1);
    ASSERT_EQ(root.blocks.size(), 3u);
    PlainSession(0, PathTable().root(20), root);
    ASSERT_EQ(Analyze(), 1);
    std::vector<std::string> names = ChildNames(g_DiscModel->firstTree->root);
    ASSERT_EQ(names.size(), 120u);
    EXPECT_EQ(names.front(), "F1000.DAT;1");
    EXPECT_EQ(names.back(), "F1119.DAT;1");
    EXPECT_EQ(g_DiscModel->firstTree->root->size, 6144u);
    // Its first block (for the directory's own length, read before the path table to look for Rock Ridge),
    // then, after the path table, only the two after it.
    ASSERT_EQ(ReadCommands(), 5u);
    std::vector<uint32_t> reads;
    for (size_t i = 2; i < 5; ++i)
        reads.insert(reads.end(), {drive->reads[i].lba, uint32_t(drive->reads[i].count)});
    EXPECT_EQ(reads, (std::vector<uint32_t>{20, 1, 18, 1, 21, 2}));
}

TEST_F(Directories, OneBlockDirectoryIsReadOnce) {
    TwoLevelTree();
    ASSERT_EQ(Analyze(), 1);
    // Descriptors 16 and 17, the root's first block (looked at for Rock Ridge, then walked without a second
    // read), the path table (one block and the extra one), then one read per other directory.
    ASSERT_EQ(ReadCommands(), 6u);
    EXPECT_EQ(drive->reads[2].lba, 20u);
    EXPECT_EQ(drive->reads[2].count, 1);
    EXPECT_EQ(drive->reads[3].lba, 18u);
    EXPECT_EQ(drive->reads[3].count, 1);
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
    PathTable extra;
    extra.add("Z", 21, 1);
    blocks.insert(blocks.end(), extra.bytes.begin(), extra.bytes.end());
    PlainSession(0, table, Directory().self(20, 2048, 20));
    PlaceBytes(*drive, 18, blocks, 2);
    Directory().self(21, 2048, 20).add("IN.TXT;1", 50, 1).place(*drive, 21);
    ASSERT_EQ(Analyze(), 1);
    EXPECT_EQ(drive->reads[3].lba, 18u); // after the descriptors and the root's first block
    EXPECT_EQ(drive->reads[3].count, 2);
    EXPECT_EQ(g_DiscModel->firstTree->directoryCount, 204u);
    EXPECT_EQ(ChildNames(g_DiscModel->firstTree->root).size(), 203u);
    // The same directory extent named 203 times is listed once.
    EXPECT_EQ(g_DiscModel->firstTree->fileCount, 1u);
}

TEST_F(Directories, DataLengthBelowBlockLengthListsNoFiles) {
    Directory root;
    root.self(20, 2000, 20).add("A.TXT;1", 100, 1);
    PlainSession(0, PathTable().root(20), root);
    ASSERT_EQ(Analyze(), 1);
    EXPECT_TRUE(ChildNames(g_DiscModel->firstTree->root).empty());
    EXPECT_EQ(g_DiscModel->firstTree->root->size, 2000u);
}

TEST_F(Directories, ExtentReadsArePiecesOf32) {
    SingleDataSessionToc(*drive, 0, 2000);
    RecordBlocks(100, 300);
    InstallDrive(drive);
    ASSERT_NE(Iso_AnalyzeDisc(0), 1); // no descriptors: the session is only a cursor here
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
    drive->reads.clear();
    EXPECT_NE(Iso_ReadExtent(0, 290, 20, buffer.data()), 1); // runs into unrecorded blocks
}

TEST_F(Directories, MissingSecondDescriptorSetFails) {
    TwoDataSessionToc();
    PlainSession(0, PathTable().root(20), Directory().self(20, 2048, 20));
    drive->at(12416); // zeros: no CD001
    EXPECT_EQ(Analyze(), ISO_ERR_DESCRIPTOR);

    drive->sectors.clear();
    drive->at(16); // first session without descriptors
    PlainSession(12400, PathTable().root(12420), Directory().self(12420, 2048, 12420).add("A;1", 5, 1));
    EXPECT_EQ(Analyze(), 1);
    const SessionTree* t1 = g_DiscModel->firstTree;
    EXPECT_EQ(t1->root->type, 'V');
    EXPECT_STREQ(t1->root->name, "");
    EXPECT_EQ(t1->root->firstChild, nullptr);
    EXPECT_EQ(ChildNames(t1->next->root), (std::vector<std::string>{"A;1"}));
}

TEST_F(Directories, VolumeNamesOf16And32Characters) {
    const std::string iso = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";
    PlainSession(0, PathTable().root(20), Directory().self(20, 2048, 20), iso);
    ASSERT_EQ(Analyze(), 1);
    EXPECT_EQ(std::string(g_DiscModel->firstTree->root->name), iso);

    drive->at(17) = VolumeDescriptor(2, Ucs2Be(u"\u3042BCDEFGHIJKLMNO\u3044"), 10, 18, 20, 2048, 0x45);
    drive->at(18) = Descriptor(255);
    PlaceBytes(*drive, 19, PathTable().root(20).bytes);
    drive->at(17)[140] = 19;
    ASSERT_EQ(Analyze(), 1);
    // Sixteen characters; the seventeenth is not part of the identifier.
    EXPECT_EQ(std::string(g_DiscModel->firstTree->root->name), "\x82\xa0"
                                                               "BCDEFGHIJKLMNO\x82\xa2");
}

} // namespace
} // namespace isotest
