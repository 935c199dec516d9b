// What Linux discs record in Rock Ridge entries beyond names: symbolic links of every component kind, and
// zisofs files, sound and damaged in each way a hostile disc can damage them.
#include <zlib.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <random>

#include "iso9660/iso_internal.h"
#include "iso_builder.h"

namespace isotest {
namespace {

using Bytes = std::vector<uint8_t>;

// SL components (RRIP 4.1.3.1): flags and text.
struct Component {
    uint8_t flags;
    std::string text;
};
constexpr uint8_t kContinue = 0x01, kCurrent = 0x02, kParent = 0x04, kRoot = 0x08;

Bytes Sl(const std::vector<Component>& components, uint8_t flags = 0) {
    Bytes e = {'S', 'L', 0, 1, flags};
    for (const Component& c : components) {
        e.insert(e.end(), {c.flags, uint8_t(c.text.size())});
        e.insert(e.end(), c.text.begin(), c.text.end());
    }
    e[2] = uint8_t(e.size());
    return e;
}

TEST(RockRidgeLinks, ComponentsJoinAsTheLinkWasWritten) {
    struct Case {
        std::vector<Bytes> entries;
        const char* target;
    } cases[] = {
        // mkisofs writes an empty component as ROOT: only ROOT first makes a link absolute.
        {{Sl({{kCurrent, ""}, {kRoot, ""}, {kRoot, ""}, {0, "file"}})}, ".///file"},
        {{Sl({{kRoot, ""}, {0, "tmp"}, {kRoot, ""}, {kParent, ""}})}, "/tmp//.."},
        {{Sl({{kRoot, ""}})}, "/"},
        {{Sl({{kRoot, ""}, {0, "usr"}, {0, "lib"}})}, "/usr/lib"},
        {{Sl({{kParent, ""}, {kParent, ""}, {0, "f"}})}, "../../f"},
        {{Sl({{kContinue, "long"}, {0, "name"}, {0, "x"}})}, "longname/x"},
        // A target over two SL entries, the first marked as continued in the next.
        {{Sl({{0, "a"}}, 1), Sl({{0, "b"}})}, "a/b"},
        {{Sl({{kContinue, "a"}}, 1), Sl({{0, "b"}})}, "ab"},
        {{Sl({{kRoot, ""}}, 1), Sl({{0, "etc"}})}, "/etc"},
    };
    for (const Case& c : cases) {
        Bytes record(34, 0);
        record[32] = 1;
        record[33] = 'L';
        for (const Bytes& e : c.entries)
            record.insert(record.end(), e.begin(), e.end());
        record[0] = uint8_t(record.size());
        iso_internal::RockRidgeEntry rr;
        iso_internal::RockRidge_Parse(record, 0, 2048, nullptr, rr);
        EXPECT_TRUE(rr.symlink);
        EXPECT_EQ(rr.target, c.target);
    }
}

constexpr uint8_t kMagic[8] = {0x37, 0xE4, 0x53, 0x96, 0xC9, 0xDB, 0xD6, 0x07};

// A zisofs file as mkzftree writes it, its parts open to damage before it is laid out: the header's fields,
// each block deflated on its own (a block of zeros as nothing), the pointers.
struct Zisofs {
    Bytes original;
    uint32_t size = 0, zfSize = 0;
    uint8_t headerWords = 4, log2 = 15, zfLog2 = 15;
    std::string algorithm = "pz";
    uint8_t version = 1;
    Bytes magic{std::begin(kMagic), std::end(kMagic)};
    std::vector<Bytes> blocks;
    std::vector<uint32_t> pointers;

    explicit Zisofs(Bytes data) : original(std::move(data)) {
        size = zfSize = uint32_t(original.size());
        for (size_t at = 0; at < original.size(); at += 32768) {
            const size_t n = std::min<size_t>(32768, original.size() - at);
            const bool zeros = std::all_of(original.begin() + at, original.begin() + at + n,
                                           [](uint8_t b) { return b == 0; });
            blocks.push_back(zeros ? Bytes{}
                                   : Deflate(Bytes(original.begin() + at, original.begin() + at + n)));
        }
        Layout();
    }
    static Bytes Deflate(const Bytes& in) {
        uLongf n = compressBound(uLong(in.size()));
        Bytes out(n);
        EXPECT_EQ(compress2(out.data(), &n, in.data(), uLong(in.size()), 9), Z_OK);
        out.resize(n);
        return out;
    }
    void Layout() {
        pointers.assign(1, uint32_t(16 + 4 * (blocks.size() + 1)));
        for (const Bytes& b : blocks)
            pointers.push_back(pointers.back() + uint32_t(b.size()));
    }
    Bytes Stored() const {
        Bytes out = magic;
        out.resize(16);
        PutLe32(&out[8], size);
        out[12] = headerWords;
        out[13] = log2;
        for (uint32_t p : pointers)
            out.insert(out.end(), {uint8_t(p), uint8_t(p >> 8), uint8_t(p >> 16), uint8_t(p >> 24)});
        for (const Bytes& b : blocks)
            out.insert(out.end(), b.begin(), b.end());
        return out;
    }
    Bytes Zf() const {
        Bytes e = {'Z', 'F', 16, version, uint8_t(algorithm[0]), uint8_t(algorithm[1]), headerWords, zfLog2};
        e.resize(16);
        PutBoth32(&e[8], zfSize);
        return e;
    }
};

Bytes Pattern(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = uint8_t((i * 7 + i / 1000) % 251);
    return b;
}

// Over a one-session Rock Ridge disc whose root holds the file F at block 100.
class ZisofsFiles : public DriveTest {
  protected:
    void Toc() override { SingleDataSessionToc(*drive); }
    // The file's entry once the disc is analysed.
    const FileEntry* Load(const Zisofs& z, uint8_t flags = 0, std::optional<uint32_t> extent = {}) {
        Fresh();
        const Bytes stored = z.Stored();
        Directory root;
        root.add(std::string(1, '\0'), 20, 2048, 2, {'S', 'P', 7, 1, 0xBE, 0xEF, 0, 'R', 'R', 5, 1, 0x81});
        root.add(std::string(1, '\1'), 20, 2048, 2);
        root.add("F;1", 100, extent.value_or(uint32_t(stored.size())), flags, z.Zf());
        RootSession(0, root);
        PlaceBytes(*drive, 100, stored);
        EXPECT_EQ(Analyze(), ISO_OK);
        return Tree()->root->firstChild;
    }
    // The bytes uncompressed, and the result.
    static IsoZisofsResult Read(const FileEntry& e, Bytes& out) {
        Iso_SelectSession();
        return Iso_ZisofsUncompress(e, [&out](const uint8_t* d, size_t n) {
            out.insert(out.end(), d, d + n);
            return true;
        });
    }
};

TEST_F(ZisofsFiles, SoundFileIsReadWholeAtItsRealSize) {
    Bytes data = Pattern(100000);
    std::fill(data.begin() + 32768, data.begin() + 65536, uint8_t{0}); // a block of zeros, stored as nothing
    const Zisofs z(data);
    const FileEntry* e = Load(z);
    ASSERT_NE(Iso_Zisofs(e), nullptr);
    EXPECT_EQ(e->size, 100000u);
    EXPECT_EQ(Iso_ExtentSize(e), z.Stored().size());
    EXPECT_EQ(Iso_ZisofsText(e), // the list's tool tip
              "zisofs: " + std::to_string(z.Stored().size()) + " bytes stored in blocks of 32 KiB");
    Bytes out;
    EXPECT_EQ(Read(*e, out).code, ISO_OK);
    EXPECT_EQ(out, data);
    ASSERT_EQ(Iso_ReadEntry(*e), ISO_OK);
    EXPECT_EQ(Bytes(g_FileData, g_FileData + g_FileDataLength), data);
    Iso_FreeFile();
}

TEST_F(ZisofsFiles, DamageIsNamedAndTheBlocksBeforeItKept) {
    const Bytes data = Pattern(3 * 32768 + 5000);
    struct Case {
        const char* name;
        std::function<void(Zisofs&)> damage;
        const char* why; // empty: a read error
        size_t kept;     // whole blocks given before the fault
        uint8_t flags = 0;
    } cases[] = {
        // Block 1 then runs on into block 2's data, which is passed over once it is whole.
        {"pointers out of order", [](Zisofs& z) { std::swap(z.pointers[2], z.pointers[3]); },
         "block 2 lies at", 2},
        {"pointer past the extent", [](Zisofs& z) { z.pointers[4] += 100000; }, "block 3 lies at bytes", 3},
        {"pointers past the extent", [](Zisofs& z) { z.size = z.zfSize = 0xFFFFFFFF; },
         "131073 block pointers run past its extent", 0},
        {"a block inflating past its size",
         [](Zisofs& z) {
             z.blocks[1] = Zisofs::Deflate(Pattern(40000));
             z.Layout();
         },
         "block 1 inflates past its 32768 bytes", 1},
        {"a bomb: 64 MiB of zeros in one block",
         [](Zisofs& z) {
             z.blocks[0] = Zisofs::Deflate(Bytes(64 << 20));
             z.Layout();
         },
         "more than 32768 bytes ever deflate to", 0},
        {"a block short of its size",
         [](Zisofs& z) {
             z.blocks[2] = Zisofs::Deflate(Pattern(1000));
             z.Layout();
         },
         "block 2 inflates to 1000 bytes, short of its 32768", 2},
        {"no deflated data", [](Zisofs& z) { std::fill(z.blocks[0].begin(), z.blocks[0].end(), 0xFF); },
         "block 0 is not deflated data", 0},
        {"no magic", [](Zisofs& z) { z.magic[0] = 0; }, "no zisofs header", 0},
        {"header and ZF disagree", [](Zisofs& z) { z.zfSize = 1000; }, "disagrees with its ZF entry", 0},
        {"block size 2^20", [](Zisofs& z) { z.log2 = z.zfLog2 = 20; }, "block size 2^20", 0},
        {"zisofs2", [](Zisofs& z) { z.version = 2, z.algorithm = "PZ"; }, "compressed by \"PZ\"", 0},
        {"several extents", [](Zisofs&) {}, "several extents", 0, 0x80},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Zisofs z(data);
        c.damage(z);
        const FileEntry* e = Load(z, c.flags);
        Bytes out;
        const IsoZisofsResult r = Read(*e, out);
        EXPECT_EQ(r.code, ISO_ERR_ZISOFS);
        EXPECT_NE(r.why.find(c.why), std::string::npos) << r.why;
        EXPECT_EQ(out, Bytes(data.begin(), data.begin() + c.kept * 32768));
        EXPECT_NE(Iso_ReadEntry(*e), ISO_OK);
        Iso_FreeFile();
    }
}

TEST_F(ZisofsFiles, UnreadableAndCutExtentsFailWithTheirBlock) {
    Bytes noise(4 * 32768); // deflates to no less: each block takes 17 of the disc's
    std::mt19937 random(41);
    std::generate(noise.begin(), noise.end(), [&random] { return uint8_t(random()); });
    const Zisofs z(noise);
    const FileEntry* e = Load(z);
    const uint32_t bad = 100 + z.pointers[2] / 2048; // where the third block's data begins
    drive->sectors.erase(bad);
    Bytes out;
    const IsoZisofsResult r = Read(*e, out);
    EXPECT_NE(r.code, ISO_OK);
    EXPECT_EQ(r.failedLba, bad);
    EXPECT_GE(out.size(), 32768u);
    // An extent claimed past the end of the session is refused before a read.
    e = Load(z, 0, 2000u * 2048);
    EXPECT_EQ(Read(*e, out).code, ISO_ERR_EXTENT);
}

} // namespace
} // namespace isotest
