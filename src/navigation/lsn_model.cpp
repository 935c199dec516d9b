#include "navigation/lsn_model.h"

#include "navigation/lmx_layout.h"

using namespace lmx::lsn;

CLsnDlgModel::CLsnDlgModel() {
    for (const char* label :
         {"Identifier", "Version", "KVD Generation", "Size of LSN.LMX", "Number of LSN Entries"})
        m_header.push_back({label, {}});
    m_entries.title = "LSN Entries";
    m_entries.columns = {"LSN for CID", "File Size for CID"};
}

void CLsnDlgModel::Fill(const NavImage& image) {
    NavReader r(image);
    m_header[0].value = r.Identifier(lmx::kIdentifier);
    m_header[1].value = r.Word(lmx::kVersion);
    m_header[2].value = r.Qword(kGeneration);
    m_header[3].value = r.Dword(kFileSize);
    m_header[4].value = r.Dword(kEntryCount);

    m_entries.rows.clear();
    const uint32_t count = image.U32(kEntryCount).value_or(0);
    for (uint64_t n = 0; n < count; ++n) {
        const size_t offset = kEntries + size_t(n) * kEntry;
        if (!image.Has(offset, kEntry)) {
            m_entries.rows.push_back({NAV_OUT_OF_FILE});
            break;
        }
        m_entries.rows.push_back({Nav_Dword(image.U32(offset)), Nav_Dword(image.U32(offset + 4))});
    }
}
