#include "navigation/lsn_model.h"

namespace {

constexpr size_t kEntries = 0x1A;
constexpr size_t kEntrySize = 8;

} // namespace

CLsnDlgModel::CLsnDlgModel() {
    for (const char* label :
         {"Identifier", "Version", "KVD Generation", "Size of LSN.LMX", "Number of LSN Entries"})
        m_header.push_back({label, {}});
    m_entries.title = "LSN Entries";
    m_entries.columns = {"LSN for CID", "File Size for CID"};
}

void CLsnDlgModel::Fill(const NavImage& image) {
    const auto id = image.Identifier(0);
    m_header[0].value = id ? *id : NAV_OUT_OF_FILE;
    m_header[1].value = Nav_Word(image.U16(0x08));
    m_header[2].value = Nav_Qword(image.U64(0x0A));
    m_header[3].value = Nav_Dword(image.U32(0x12));
    m_header[4].value = Nav_Dword(image.U32(0x16));

    m_entries.rows.clear();
    const uint32_t count = image.U32(0x16).value_or(0);
    for (uint64_t n = 0; n < count; ++n) {
        const size_t offset = kEntries + size_t(n) * kEntrySize;
        if (!image.Has(offset, kEntrySize)) {
            m_entries.rows.push_back({NAV_OUT_OF_FILE});
            break;
        }
        m_entries.rows.push_back({Nav_Dword(image.U32(offset)), Nav_Dword(image.U32(offset + 4))});
    }
}
