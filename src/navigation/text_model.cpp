#include "navigation/text_model.h"

namespace {

constexpr size_t kContentsEntry = 28;
constexpr size_t kGroupEntry = 8;

} // namespace

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
    m_header[0].value = r.Identifier(0x00);
    m_header[1].value = r.Word(0x08);
    for (size_t i = 2, at = 0x0A; at <= 0x26; ++i, at += 4)
        m_header[i].value = r.Dword(at);
    m_header[10].value = r.Word(0x2A);
    m_header[11].value = r.ByteCountText(0x2A);
}

void CTextDlgModel::FillContentsText(const NavImage& image) {
    m_contents.rows.clear();
    const uint32_t count = image.U32(0x0E).value_or(0);
    size_t at = image.U32(0x1A).value_or(0);
    for (uint32_t n = 0; n < count; ++n, at += kContentsEntry) {
        if (!image.Has(at, kContentsEntry)) {
            m_contents.rows.push_back({NAV_OUT_OF_FILE});
            break;
        }
        NavReader r(image);
        std::vector<std::string> row = {r.Dword(at)};
        for (size_t k = 0; k < 6; ++k) {
            const size_t field = at + 4 + 4 * k;
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
    const uint32_t count = image.U32(0x12).value_or(0);
    size_t at = image.U32(0x1E).value_or(0);
    for (uint32_t n = 0; n < count; ++n, at += kGroupEntry) {
        if (!image.Has(at, kGroupEntry)) {
            m_groups.rows.push_back({NAV_OUT_OF_FILE});
            break;
        }
        NavReader r(image);
        const size_t text = image.U32(at + 4).value_or(0);
        m_groups.rows.push_back({r.Dword(at), r.Dword(at + 4), r.Word(text), r.ByteCountText(text)});
        if (r.Cut())
            break;
    }
}

void CTextDlgModel::FillExtraText(const NavImage& image) {
    m_extra.rows.clear();
    const uint32_t count = image.U32(0x16).value_or(0);
    size_t at = image.U32(0x22).value_or(0);
    for (uint32_t n = 0; n < count; ++n) {
        if (!image.Has(at, 6)) {
            m_extra.rows.push_back({NAV_OUT_OF_FILE});
            return;
        }
        NavReader r(image);
        const uint8_t data = *image.U8(at + 4);
        m_extra.rows.push_back({r.Dword(at), r.Byte(at + 4)});
        // The first datum shares the entry's row; each further one gets a row below with the first two
        // columns empty.
        for (size_t k = 0; k < data; ++k) {
            const size_t datum = at + 6 + 6 * k;
            if (k > 0)
                m_extra.rows.push_back({std::string(), std::string()});
            std::vector<std::string>& row = m_extra.rows.back();
            const size_t text = image.U32(datum + 2).value_or(0);
            row.push_back(r.Word(datum));
            row.push_back(r.Dword(datum + 2));
            row.push_back(r.Word(text));
            row.push_back(r.ByteCountText(text));
            if (r.Cut())
                return;
        }
        at += 6 + 6 * size_t(data);
    }
}
