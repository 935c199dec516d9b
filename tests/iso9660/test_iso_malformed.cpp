// Hostile disc bytes: every malformed structure ends in a clear code or a bounded walk.
#include "iso_test_fixture.h"

namespace isotest {
namespace {

class Malformed : public SingleSessionTest {};

TEST_F(Malformed, BlockLengthZeroOrAbove2048RefusesTheSession) {
    PlainSession(0, PathTable().root(20), Directory().self(20, 2048, 20).add("A;1", 5, 1));
    for (uint32_t bl : {0u, 4096u}) {
        drive->blockLength = bl;
        EXPECT_EQ(Analyze(), ISO_ERR_DESCRIPTOR) << bl;
        EXPECT_TRUE(drive->reads.empty());
        EXPECT_EQ(g_DiscModel->firstTree->root->firstChild, nullptr);
    }
}

TEST_F(Malformed, ParentNumberNotSmallerThanOwnEndsTheWalk) {
    Directory root;
    root.self(20, 2048, 20).add("A;1", 5, 1);
    // X (2) under 1, Y (3) claiming parent 3 (itself), Z (4) never reached.
    PlainSession(0, PathTable().root(20).add("X", 30, 1).add("Y", 31, 3).add("Z", 32, 1), root);
    Directory().self(30, 2048, 20).place(*drive, 30);
    EXPECT_EQ(Analyze(), ISO_ERR_DESCRIPTOR);
    EXPECT_EQ(ChildNames(g_DiscModel->firstTree->root), (std::vector<std::string>{"A;1", "X"}));
    EXPECT_EQ(g_DiscModel->firstTree->directoryCount, 2u);
}

TEST_F(Malformed, ParentZeroEndsTheWalk) {
    PlainSession(0, PathTable().root(20).add("X", 30, 0), Directory().self(20, 2048, 20));
    EXPECT_EQ(Analyze(), ISO_ERR_DESCRIPTOR);
    EXPECT_EQ(g_DiscModel->firstTree->directoryCount, 1u);
}

TEST_F(Malformed, PathTableRecordRunningPastTheTable) {
    PathTable table;
    table.root(20).add("LONGNAME", 30, 1);
    PlainSession(0, table, Directory().self(20, 2048, 20));
    drive->at(16)[132] = 14; // the table ends inside the second record
    EXPECT_EQ(Analyze(), ISO_ERR_DESCRIPTOR);
    EXPECT_EQ(g_DiscModel->firstTree->directoryCount, 1u);
}

TEST_F(Malformed, PathTableSizeFarBeyondTheDiscIsBounded) {
    PlainSession(0, PathTable().root(20), Directory().self(20, 2048, 20));
    isotest::PutBoth32(&drive->at(16)[132], 0xFFFFFFF0u);
    RecordBlocks(21, 1000); // recorded zeros up to the last block
    EXPECT_EQ(Analyze(), 1);
    EXPECT_EQ(g_DiscModel->firstTree->directoryCount, 1u);
}

TEST_F(Malformed, PathTablePastTheSessionIsPassedOverBeforeAnythingIsRead) {
    PlainSession(0, PathTable().root(20), Directory().self(20, 2048, 20).add("A;1", 5, 1));
    isotest::PutBoth32(&drive->at(16)[132], 0xFFFFFFF0u);
    isotest::PutLe32(&drive->at(16)[140], 0x7FFFFF00u); // the type L table's block
    EXPECT_EQ(Analyze(), 1);
    for (const auto& r : drive->reads)
        EXPECT_LT(r.lba, 1000u);
    EXPECT_EQ(g_DiscModel->firstTree->notes, ISO_TREE_PATH_TABLE_PASSED);
    EXPECT_EQ(ChildNames(g_DiscModel->firstTree->root), (std::vector<std::string>{"A;1"}));
    // Neither the table nor the root directory record: nothing describes the volume.
    drive->at(16)[156 + 25] = 0; // the root record's directory flag
    EXPECT_EQ(Analyze(), ISO_ERR_DESCRIPTOR);
}

TEST_F(Malformed, EveryBlockIsWalkedAsDirectoryRecordsOnce) {
    // Directories that claim 4 GiB over blocks of records: X (read first) walks from 30 to the end of the
    // session, Y from 25 up to where X began.
    Directory root;
    root.self(20, 2048, 20).add("R;1", 5, 1).add("X", 30, 0xFFFFF800u, 2).add("Y", 25, 0xFFFFF800u, 2);
    PlainSession(0, PathTable().root(20).add("X", 30, 1).add("Y", 25, 1), root);
    for (uint32_t b = 21; b < 1000; ++b) {
        Directory d; // file data shaped like directory records
        d.self(b, 0xFFFFF800u, 20).add("F" + std::to_string(b) + ";1", 5, 1);
        d.place(*drive, b);
    }
    ASSERT_EQ(Analyze(), 1);
    const FileEntry* v = g_DiscModel->firstTree->root;
    EXPECT_EQ(ChildNames(v), (std::vector<std::string>{"R;1", "X", "Y"}));
    EXPECT_EQ(g_DiscModel->firstTree->fileCount, 1u + 970u + 5u);
    const FileEntry* y = v->firstChild;
    while (y && std::string(y->name) != "Y")
        y = y->nextSibling;
    ASSERT_NE(y, nullptr);
    EXPECT_EQ(ChildNames(y), (std::vector<std::string>{"F25;1", "F26;1", "F27;1", "F28;1", "F29;1"}));
    EXPECT_LT(SectorsRead(), 1100u);
}

TEST_F(Malformed, DirectoryRecordsOutsideTheirBlock) {
    Directory root;
    root.self(20, 2048, 20).add("GOOD;1", 5, 1);
    // A record claiming 250 bytes at offset 2000 would run past the block.
    Sector& s = root.blocks[0];
    s[2000] = 250;
    PlainSession(0, PathTable().root(20), root);
    ASSERT_EQ(Analyze(), 1);
    EXPECT_EQ(ChildNames(g_DiscModel->firstTree->root), (std::vector<std::string>{"GOOD;1"}));

    // A record shorter than 34 bytes, and one whose identifier runs past the record.
    for (int variant = 0; variant < 2; ++variant) {
        Directory bad;
        bad.self(20, 2048, 20).add("ONE;1", 5, 1);
        size_t at = bad.offset;
        bad.add("TWO;1", 6, 1).add("THREE;1", 7, 1);
        if (variant == 0) {
            bad.blocks[0][at] = 20;
        } else {
            bad.blocks[0][at + 32] = 200;
        }
        bad.place(*drive, 20);
        ASSERT_EQ(Analyze(), 1);
        EXPECT_EQ(ChildNames(g_DiscModel->firstTree->root), (std::vector<std::string>{"ONE;1"})) << variant;
    }
}

TEST_F(Malformed, DirectoryWhoseFirstRecordIsBrokenListsNothing) {
    Directory root;
    root.self(20, 2048, 20).add("A;1", 5, 1);
    root.blocks[0][0] = 3;
    PlainSession(0, PathTable().root(20), root);
    EXPECT_EQ(Analyze(), 1);
    EXPECT_EQ(g_DiscModel->firstTree->root->firstChild, nullptr);
}

TEST_F(Malformed, HugeDirectoryLengthStaysInsideTheSession) {
    Directory root;
    root.self(20, 0xFFFFF800u, 20).add("A;1", 5, 1);
    PlainSession(0, PathTable().root(20), root);
    RecordBlocks(21, 1000);
    EXPECT_EQ(Analyze(), 1);
    EXPECT_EQ(ChildNames(g_DiscModel->firstTree->root), (std::vector<std::string>{"A;1"}));
    EXPECT_LT(SectorsRead(), 1100u);
}

TEST_F(Malformed, DirectoryListedTwiceOrPointingAtItself) {
    Directory root;
    // A subdirectory whose extent is the root itself, and a second one naming the same extent as X.
    root.self(20, 2048, 20).add("A;1", 5, 1).add("SELF", 20, 2048, 2);
    PlainSession(0, PathTable().root(20).add("SELF", 20, 1).add("X", 30, 1).add("X2", 30, 1), root);
    Directory().self(30, 2048, 20).add("B;1", 6, 1).place(*drive, 30);
    ASSERT_EQ(Analyze(), 1);
    const SessionTree* t = g_DiscModel->firstTree;
    EXPECT_EQ(ChildNames(t->root), (std::vector<std::string>{"A;1", "SELF", "X", "X2"}));
    EXPECT_EQ(t->fileCount, 2u);
    EXPECT_EQ(t->directoryCount, 4u);
}

TEST_F(Malformed, NeverMoreThan65535Directories) {
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
    EXPECT_EQ(g_DiscModel->firstTree->directoryCount, 65535u);
}

TEST_F(Malformed, NamesAreAlwaysTerminated) {
    Directory root;
    root.self(20, 2048, 20).add(std::string(221, 'N'), 5, 1);
    PathTable table;
    table.root(20).add(std::string(255, 'P'), 20, 1);
    PlainSession(0, table, root);
    ASSERT_EQ(Analyze(), 1);
    const FileEntry* f = g_DiscModel->firstTree->root->firstChild;
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(std::string(f->name), std::string(221, 'N'));
    EXPECT_EQ(std::string(f->nextSibling->name), std::string(255, 'P'));
}

TEST_F(Malformed, FileExtentPastTheSessionIsListedButNotRead) {
    Directory root;
    root.self(20, 2048, 20).add("BIG;1", 990, 100000);
    PlainSession(0, PathTable().root(20), root);
    ASSERT_EQ(Analyze(), 1);
    const FileEntry* f = g_DiscModel->firstTree->root->firstChild;
    ASSERT_NE(f, nullptr);
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
TEST_F(Malformed, RockRidgeEntriesStayInsideTheirAreas) {
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
        isotest::PutBoth32(&e[4], lbn);
        isotest::PutBoth32(&e[12], offset);
        isotest::PutBoth32(&e[20], length);
        return e;
    };
    auto nm = [](const std::string& name, uint8_t flags = 0) {
        Bytes e = {'N', 'M', uint8_t(5 + name.size()), 1, flags};
        e.insert(e.end(), name.begin(), name.end());
        return e;
    };
    const Bytes sp = {'S', 'P', 7, 1, 0xBE, 0xEF, 0};
    Directory root;
    root.add(std::string(1, '\0'), 20, 2048, 2, {100, 1, 2, 3, 4, 5, 36}, join({sp, {'R', 'R', 5, 1, 0x81}}));
    root.add(std::string(1, '\1'), 20, 2048, 2);
    Bytes tooLong = {'T', 'F', 200, 1, 0x02};
    root.add("A;1", 50, 1, 0, {100, 1, 2, 3, 4, 5, 36}, join({nm("alpha"), tooLong}));
    root.add("B;1", 51, 1, 0, {100, 1, 2, 3, 4, 5, 36}, join({nm("beta"), ce(5000, 0, 28)}));
    root.add("C;1", 52, 1, 0, {100, 1, 2, 3, 4, 5, 36}, join({nm("gamma-", 1), ce(30, 100, 40)}));
    root.add("D;1", 53, 1, 0, {100, 1, 2, 3, 4, 5, 36}, ce(31, 0, 28));
    PlainSession(0, PathTable().root(20), root);
    Sector continued{};
    const Bytes rest = join({nm("delta"), {'S', 'T', 4, 1}, nm("never")});
    std::copy(rest.begin(), rest.end(), continued.begin() + 100);
    drive->at(30) = continued;
    Sector loop{};
    const Bytes self = ce(31, 0, 28);
    std::copy(self.begin(), self.end(), loop.begin());
    drive->at(31) = loop; // a continuation that continues in itself
    RecordBlocks(32, 1000);
    ASSERT_EQ(Analyze(), 1);
    EXPECT_EQ(ChildNames(g_DiscModel->firstTree->root),
              (std::vector<std::string>{"alpha", "beta", "gamma-delta", "D;1"}));
    size_t loops = 0;
    for (const auto& r : drive->reads) {
        EXPECT_LT(r.lba, 1000u);
        loops += r.lba == 31;
    }
    EXPECT_LE(loops, 32u);
}

} // namespace
} // namespace isotest
