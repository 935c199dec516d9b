// The LSN.LMX viewer's content: header values and the entry list, and a count that claims more than the file.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "golden.h"
#include "nav_bytes.h"
#include "navigation/lsn_model.h"
#include "navigation/nav_text.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Row = std::vector<std::string>;

// "LSNLMX01", version 1, generation 1, file size, entry count, then the entries.
Bytes LsnFile(uint32_t count, const Bytes& entries) {
    NavTestBytes f("LSNLMX01");
    f.Put(0x0A, 1, 8).Put(0x12, 0x1A + entries.size(), 4).Put(0x16, count, 4);
    f.bytes.insert(f.bytes.end(), entries.begin(), entries.end());
    return f.bytes;
}

TEST(LsnViewer, HeaderAndEntriesInCidOrder) {
    // CID 1 at sector 300 with 2048 bytes; CID 2 at 0xFFFFFFFF (shown signed).
    const Bytes file = LsnFile(2, {0x2C, 0x01, 0, 0, 0, 0x08, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0});
    CLsnDlgModel m;
    m.Fill(NavImage(file));
    ExpectGolden("navigation/LSN.txt", Nav_LsnText(m));

    CLsnDlgModel empty;
    const Bytes none = LsnFile(0, {});
    empty.Fill(NavImage(none));
    EXPECT_EQ(empty.Header()[4].value, "0(0x00000000)");
    EXPECT_TRUE(empty.Entries().rows.empty());
}

TEST(LsnViewer, CountsAndHeadersPastTheFileStopAtItsEnd) {
    // 0xFFFFFFFF entries claimed, one and a half there: one row, then the row where the walk stopped.
    const Bytes file = LsnFile(0xFFFFFFFF, {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0});
    CLsnDlgModel m;
    m.Fill(NavImage(file));
    EXPECT_EQ(m.Entries().rows, (std::vector<Row>{{"1(0x00000001)", "2(0x00000002)"}, {"(out of file)"}}));

    // A file cut inside its header: what is there is shown, the rest says where it ended.
    CLsnDlgModel cut;
    cut.Fill(NavImage(std::span<const uint8_t>(file.data(), 0x14)));
    EXPECT_EQ(cut.Header()[0].value, "LSNLMX01");
    EXPECT_EQ(cut.Header()[2].value, "1(0x0000000000000001)");
    EXPECT_EQ(cut.Header()[3].value, "(out of file)");
    EXPECT_TRUE(cut.Entries().rows.empty());
}

} // namespace
