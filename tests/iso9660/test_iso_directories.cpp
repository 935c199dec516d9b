// Directory analysis of crafted sessions: descriptor set, path table and directory records, and hostile
// bytes in each, which end in a clear code or a bounded walk. The models are compared whole with
// tests/data/iso9660/directories.txt.
#include "golden.h"
#include "iso_builder.h"

namespace isotest {
namespace {

using Bytes = std::vector<uint8_t>;

// Over a one-session CD-ROM TOC reaching block 999.
class Directories : public DriveTest {
  protected:
    void Toc() override { SingleDataSessionToc(*drive); }
    // Root (20) with A.TXT, B.TXT and subdirectories X (30) and Y (31); X holds C.TXT.
    void TwoLevelTree() {
        Directory root;
        root.self(20, 2048, 20).add("A.TXT;1", 100, 10).add("B.TXT;1", 101, 20).add("X", 30, 2048, 2);
        PlainSession(0, PathTable().root(20).add("X", 30, 1).add("Y", 31, 1), root.add("Y", 31, 2048, 2));
        Directory().self(30, 2048, 20).add("C.TXT;1", 102, 30).place(*drive, 30);
        Directory().self(31, 2048, 20).place(*drive, 31);
    }
    // The descriptors from block 16 on, over a primary volume (root 50, path table 40) and a Joliet one
    // (root 60, path table 42).
    void DescriptorSet(const std::vector<Sector>& set) {
        Directory().self(50, 2048, 50).add("PRIMARY.TXT;1", 100, 5).place(*drive, 50);
        Directory().self(60, 2048, 60).add(Ucs2Be(u"\u65e5\u672c.txt"), 100, 5).place(*drive, 60);
        PlaceBytes(*drive, 40, PathTable().root(50).bytes, 2);
        PlaceBytes(*drive, 42, PathTable().root(60).bytes, 2);
        for (size_t i = 0; i < set.size(); ++i)
            drive->at(16 + uint32_t(i)) = set[i];
    }
    // A root holding ONE;1, TWO;1 and THREE;1, with byte `at` (counted from TWO;1's record if `inSecond`)
    // set to `value`.
    void BrokenRecord(uint32_t rootSize, bool inSecond, size_t at, uint8_t value) {
        Directory root;
        root.self(20, rootSize, 20).add("ONE;1", 5, 1);
        const size_t second = root.offset;
        root.add("TWO;1", 6, 1).add("THREE;1", 7, 1);
        root.blocks[0][(inSecond ? second : 0) + at] = value;
        RootSession(0, root);
    }
    // A plain session whose path table is `table`, its size and block patched when not 0, over recorded
    // zeros up to the last block.
    void PathTableSession(const PathTable& table, uint32_t size = 0, uint32_t lbn = 0) {
        PlainSession(0, table, Directory().self(20, 2048, 20).add("A;1", 5, 1));
        RecordBlocks(21, 1000);
        Directory().self(30, 2048, 20).place(*drive, 30);
        if (size)
            PutBoth32(&drive->at(16)[132], size);
        if (lbn)
            PutLe32(&drive->at(16)[140], lbn); // the type L table's block
    }
    std::vector<ModelCase> LayoutCases();
    std::vector<ModelCase> HostileCases();
    std::vector<ModelCase> WalkCases();
};

// Rock Ridge entries as hostile discs carry them: a continuation area that names itself, one past the
// session, an entry longer than its area.
Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}
Bytes Ce(uint32_t lbn, uint32_t offset, uint32_t length) {
    Bytes e = {'C', 'E', 28, 1};
    e.resize(28);
    PutBoth32(&e[4], lbn);
    PutBoth32(&e[12], offset);
    PutBoth32(&e[20], length);
    return e;
}
Bytes Nm(const std::string& name, uint8_t flags = 0) {
    Bytes e = {'N', 'M', uint8_t(5 + name.size()), 1, flags};
    e.resize(5 + name.size());
    std::copy(name.begin(), name.end(), e.begin() + 5);
    return e;
}

// Directories of several blocks, path tables to their size, a second session, names and block lengths.
std::vector<ModelCase> Directories::LayoutCases() {
    return {
        // The root's first block is read for its own length (and Rock Ridge) before the path table, then
        // only the two after it.
        {"three-block directory read once in order",
         [this] {
             Directory root;
             root.self(20, 6144, 20);
             for (int i = 0; i < 120; ++i)
                 root.add("F" + std::to_string(1000 + i) + ".DAT;1", 200 + i, 1);
             RootSession(0, root);
         },
         true},
        // The root (10 bytes), 202 records of 10 bytes and one of 18: exactly 2048 bytes, read as two blocks;
        // a record at the start of the second block lies past the table. The directory extent named 203
        // times is listed once.
        {"path table of exactly 2048 bytes",
         [this] {
             PathTable table;
             table.root(20);
             for (int i = 0; i < 202; ++i)
                 table.add(std::string{char('A' + i % 26), char('A' + i / 26)}, 21, 1);
             table.add("ABCDEFGHIJ", 21, 1);
             PlainSession(0, table, Directory().self(20, 2048, 20));
             PlaceBytes(*drive, 18, Join({table.bytes, PathTable().add("Z", 21, 1).bytes}), 2);
             Directory().self(21, 2048, 20).add("IN.TXT;1", 50, 1).place(*drive, 21);
         },
         true},
        {"second descriptor set missing",
         [this] {
             TwoDataSessionToc();
             RootSession(0, Directory().self(20, 2048, 20));
             drive->at(12416); // zeros: no CD001
         }},
        {"first descriptor set missing",
         [this] {
             TwoDataSessionToc();
             drive->at(16);
             RootSession(12400, Directory().self(12420, 2048, 12420).add("A;1", 5, 1));
         }},
        {"volume name of 32 characters",
         [this] { RootSession(0, Directory().self(20, 2048, 20), "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345"); }},
        // Sixteen characters; the seventeenth is not part of the identifier.
        {"Joliet volume name of 16 characters",
         [this] {
             RootSession(0, Directory().self(20, 2048, 20));
             drive->at(17) =
                 VolumeDescriptor(2, Ucs2Be(u"\u3042BCDEFGHIJKLMNO\u3044"), 10, 19, 20, 2048, 0x45);
             drive->at(18) = Descriptor(255);
             PlaceBytes(*drive, 19, PathTable().root(20).bytes);
         }},
        {"block length 0",
         [this] {
             RootSession(0, Directory().self(20, 2048, 20).add("A;1", 5, 1));
             drive->blockLength = 0;
         },
         true},
        {"block length 4096",
         [this] {
             RootSession(0, Directory().self(20, 2048, 20).add("A;1", 5, 1));
             drive->blockLength = 4096;
         },
         true},
    };
}

// Path tables whose walk must end early, records broken in each field.
std::vector<ModelCase> Directories::HostileCases() {
    return {
        // Path tables whose walk must end early, or that lie far beyond the disc or past the session.
        {"path table: Y claims itself as parent, Z never reached",
         [this] { PathTableSession(PathTable().root(20).add("X", 30, 1).add("Y", 31, 3).add("Z", 32, 1)); }},
        {"path table: parent 0", [this] { PathTableSession(PathTable().root(20).add("X", 30, 0)); }},
        {"path table: record running past the table",
         [this] { PathTableSession(PathTable().root(20).add("LONGNAME", 30, 1), 14); }},
        {"path table size far beyond the disc",
         [this] { PathTableSession(PathTable().root(20), 0xFFFFFFF0u); }, true},
        {"path table past the session",
         [this] { PathTableSession(PathTable().root(20), 0xFFFFFFF0u, 0x7FFFFF00u); }, true},
        {"path table past the session, root not a directory",
         [this] {
             PathTableSession(PathTable().root(20), 0xFFFFFFF0u, 0x7FFFFF00u);
             drive->at(16)[156 + 25] = 0; // the root record's directory flag
         }},
        {"record claiming 250 bytes at 2000", [this] { BrokenRecord(2048, false, 2000, 250); }},
        {"record shorter than 34 bytes", [this] { BrokenRecord(2048, true, 0, 20); }},
        {"identifier running past the record", [this] { BrokenRecord(2048, true, 32, 200); }},
        {"first record broken", [this] { BrokenRecord(2048, false, 0, 3); }},
        {"data length below the block length", [this] { BrokenRecord(2000, false, 2047, 0); }},
        {"root running into unrecorded blocks",
         [this] { RootSession(0, Directory().self(20, 3 * 2048, 20).add("A;1", 5, 1)); }, true},
        {"root claiming 4 GiB",
         [this] {
             RootSession(0, Directory().self(20, 0xFFFFF800u, 20).add("A;1", 5, 1));
             RecordBlocks(21, 1000);
         },
         true},
    };
}

// Directories that name themselves or claim 4 GiB, the longest names, Rock Ridge entries pointing outside
// their areas: every walk ends, inside the session.
std::vector<ModelCase> Directories::WalkCases() {
    return {
        // A subdirectory whose extent is the root itself, and a second one naming the same extent as X.
        {"directory listed twice or pointing at itself",
         [this] {
             Directory root;
             root.self(20, 2048, 20).add("A;1", 5, 1).add("SELF", 20, 2048, 2);
             PlainSession(0, PathTable().root(20).add("SELF", 20, 1).add("X", 30, 1).add("X2", 30, 1), root);
             Directory().self(30, 2048, 20).add("B;1", 6, 1).place(*drive, 30);
         }},
        {"longest names",
         [this] {
             Directory root;
             root.self(20, 2048, 20).add(std::string(221, 'N'), 990, 100000);
             PlainSession(0, PathTable().root(20).add(std::string(255, 'P'), 20, 1), root);
         }},
        // Names come from what lies inside the areas, and no read leaves the session or repeats without end.
        {"Rock Ridge entries stay inside their areas",
         [this] {
             Directory root;
             root.add(std::string(1, '\0'), 20, 2048, 2,
                      {'S', 'P', 7, 1, 0xBE, 0xEF, 0, 'R', 'R', 5, 1, 0x81});
             root.add(std::string(1, '\1'), 20, 2048, 2);
             root.add("A;1", 50, 1, 0,
                      Join({Nm("alpha"), {'T', 'F', 200, 1, 0x02}})); // TF longer than its area
             root.add("B;1", 51, 1, 0, Join({Nm("beta"), Ce(5000, 0, 28)}));
             root.add("C;1", 52, 1, 0, Join({Nm("gamma-", 1), Ce(30, 100, 40)}));
             root.add("D;1", 53, 1, 0, Ce(31, 0, 28));
             RootSession(0, root);
             const Bytes rest = Join({Nm("delta"), {'S', 'T', 4, 1}, Nm("never")});
             std::copy(rest.begin(), rest.end(), drive->at(30).begin() + 100);
             const Bytes self = Ce(31, 0, 28);
             std::copy(self.begin(), self.end(), drive->at(31).begin()); // a continuation of itself
             RecordBlocks(32, 1000);
         },
         true},
        // Directories claiming 4 GiB over blocks of records: X (read first) walks from 30 to the end of the
        // session, Y from 25 up to where X began; no block is read twice.
        {"directories of 4 GiB over blocks shaped like records",
         [this] {
             Directory root;
             root.self(20, 2048, 20)
                 .add("R;1", 5, 1)
                 .add("X", 30, 0xFFFFF800u, 2)
                 .add("Y", 25, 0xFFFFF800u, 2);
             PlainSession(0, PathTable().root(20).add("X", 30, 1).add("Y", 25, 1), root);
             for (uint32_t b = 21; b < 1000; ++b)
                 Directory()
                     .self(b, 0xFFFFF800u, 20)
                     .add("F" + std::to_string(b) + ";1", 5, 1)
                     .place(*drive, b);
         },
         true},
    };
}

TEST_F(Directories, ModelsOfCraftedSessions) {
    const Sector primary = VolumeDescriptor(1, "VOLUME", 10, 40, 50, 2048);
    auto joliet = [](uint8_t flags) {
        return VolumeDescriptor(2, Ucs2Be(u"J\u65e5"), 10, 42, 60, 2048, 0x45, flags);
    };
    // An El Torito boot record (0), a volume partition (3) and the enhanced descriptor of ISO 9660:1999
    // (2, version 2) describe no file tree: the primary one serves.
    const std::pair<const char*, std::vector<Sector>> sets[] = {
        {"boot, partition and enhanced descriptors",
         {primary, Descriptor(0), Descriptor(3), Descriptor(2, 2), Descriptor(255)}},
        {"Joliet kept whatever comes after it", {joliet(0), Descriptor(0), primary, Descriptor(255)}},
        {"Joliet with its flags byte set", {primary, joliet(1), Descriptor(255)}},
        {"no primary descriptor", {Descriptor(0), Descriptor(255)}},
        {"reserved type 4", {primary, Descriptor(4), Descriptor(255)}},
        {"reserved type 254", {primary, Descriptor(254), Descriptor(255)}},
        {"terminator version 2", {primary, Descriptor(255, 2)}},
        {"primary version 2", {primary, Descriptor(1, 2), Descriptor(255)}},
        {"boot record version 2", {primary, Descriptor(0, 2), Descriptor(255)}},
    };
    std::vector<ModelCase> cases = {
        // A one-block directory is read once: its first block, looked at for Rock Ridge, is walked as read.
        {"files before subdirectories in path table order", [&] { TwoLevelTree(); }, true}};
    for (const auto& set : sets)
        cases.push_back({set.first, [this, &set] { DescriptorSet(set.second); }});
    for (std::vector<ModelCase> more : {LayoutCases(), HostileCases(), WalkCases()})
        cases.insert(cases.end(), more.begin(), more.end());
    ExpectGolden("iso9660/directories.txt", Models(cases));
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

} // namespace
} // namespace isotest
