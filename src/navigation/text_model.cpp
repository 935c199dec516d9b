#include "navigation/text_model.h"

#include "navigation/lmx_layout.h"

using namespace lmx::text;

CTextDlgModel::CTextDlgModel()
    : m_header(Nav_Fields({"Identifier", "Version", "File size", "Number of Contents Text Entries",
                           "Number of Group Text Entries", "Number of Extra Text Entries",
                           "Offset of contents text entries", "Offset of group text entries",
                           "Offset of extra text entries", "LCID", "Disc Name Length", "Disc Name"})) {
    m_contents.title = "Contents Text";
    m_contents.columns = {"Contents ID"};
    for (const char* offset :
         {"Offset of Text1 entry", "Offset of Text2 entry", "Offset of Text3 entry", "Offset of Text4 entry",
          "Offset of Text5 entry", "Offset of extra Text entry"})
        m_contents.columns.insert(m_contents.columns.end(), {offset, "Length", "Text"});
    m_groups.title = "GroupText";
    m_groups.columns = {"Group number", "Offset of group name text entry", "Length", "Text"};
    m_extra.title = "ExtraText";
    m_extra.columns = {"Contents ID",
                       "Number of Extra text data",
                       "Type of nth text data",
                       "Offset of nth text data",
                       "Length",
                       "Text"};
}

void CTextDlgModel::Fill(const NavImage& image) {
    ShowHeader(image);
    FillContentsText(image);
    FillGroupText(image);
    FillExtraText(image);
}

void CTextDlgModel::ShowHeader(const NavImage& image) {
    NavReader r(image);
    m_header[0].value = r.Identifier(lmx::kIdentifier);
    m_header[1].value = r.Word(lmx::kVersion);
    size_t i = 2;
    for (size_t at : {kFileSize, kContentsCount, kGroupCount, kExtraCount, kContentsTable, kGroupTable,
                      kExtraTable, kLcid})
        m_header[i++].value = r.Dword(at);
    m_header[i++].value = r.Word(kDiscName);
    m_header[i].value = r.ByteCountText(kDiscName);
}

void CTextDlgModel::FillContentsText(const NavImage& image) {
    m_contents.rows.clear();
    const uint32_t count = image.U32(kContentsCount).value_or(0);
    size_t at = image.U32(kContentsTable).value_or(0);
    for (uint32_t n = 0; n < count; ++n, at += kContentsEntry) {
        if (!image.Has(at, kContentsEntry)) {
            m_contents.rows.push_back({NAV_OUT_OF_FILE});
            break;
        }
        NavReader r(image);
        std::vector<std::string> row = {r.Dword(at)};
        for (size_t k = 0; k < kContentsTexts; ++k) {
            const size_t field = at + kContentsTextOffsets + 4 * k;
            const uint32_t text = image.U32(field).value_or(0);
            row.push_back(r.Dword(field));
            // Text1 is always there; the others only where their offset is not 0.
            row.push_back(k == 0 || text != 0 ? r.Word(text) : std::string());
            row.push_back(k == 0 || text != 0 ? r.ByteCountText(text) : std::string());
        }
        m_contents.rows.push_back(std::move(row));
        if (r.Cut())
            break;
    }
}

void CTextDlgModel::FillGroupText(const NavImage& image) {
    m_groups.rows.clear();
    const uint32_t count = image.U32(kGroupCount).value_or(0);
    size_t at = image.U32(kGroupTable).value_or(0);
    for (uint32_t n = 0; n < count; ++n, at += kGroupEntry) {
        if (!image.Has(at, kGroupEntry)) {
            m_groups.rows.push_back({NAV_OUT_OF_FILE});
            break;
        }
        NavReader r(image);
        const size_t text = image.U32(at + kGroupName).value_or(0);
        m_groups.rows.push_back({r.Dword(at), r.Dword(at + kGroupName), r.Word(text), r.ByteCountText(text)});
        if (r.Cut())
            break;
    }
}

void CTextDlgModel::FillExtraText(const NavImage& image) {
    m_extra.rows.clear();
    const uint32_t count = image.U32(kExtraCount).value_or(0);
    size_t at = image.U32(kExtraTable).value_or(0);
    for (uint32_t n = 0; n < count; ++n) {
        if (!image.Has(at, kExtraHeader)) {
            m_extra.rows.push_back({NAV_OUT_OF_FILE});
            return;
        }
        NavReader r(image);
        const uint8_t data = *image.U8(at + kExtraCountOfData);
        m_extra.rows.push_back({r.Dword(at), r.Byte(at + kExtraCountOfData)});
        // The first datum shares the entry's row; each further one gets a row below with the first two
        // columns empty.
        for (size_t k = 0; k < data; ++k) {
            const size_t datum = at + kExtraHeader + kExtraDatum * k;
            if (k > 0)
                m_extra.rows.push_back({std::string(), std::string()});
            std::vector<std::string>& row = m_extra.rows.back();
            const size_t text = image.U32(datum + kDatumText).value_or(0);
            row.push_back(r.Word(datum));
            row.push_back(r.Dword(datum + kDatumText));
            row.push_back(r.Word(text));
            row.push_back(r.ByteCountText(text));
            if (r.Cut())
                return;
        }
        at += kExtraHeader + kExtraDatum * size_t(data);
    }
}
