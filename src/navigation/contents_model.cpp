#include "navigation/contents_model.h"

#include <array>

namespace {

// Where each file table's count and offset are in the header, and how far apart its entries are.
struct TableLayout {
    size_t countAt;
    size_t offsetAt;
    size_t step;
};

constexpr std::array<TableLayout, 4> kTables = {{
    {0x28, 0x2E, 32}, // audio
    {0x32, 0x38, 8},  // menu image
    {0x3C, 0x42, 16}, // image
    {0x46, 0x4C, 44}, // video
}};

constexpr size_t kFileColumns = 21;

} // namespace

CContentsDlgModel::CContentsDlgModel()
    : m_header(Nav_Fields({"Identifier",
                           "Version",
                           "KVD Generation",
                           "Size of CONTENTS LMX",
                           "Number of Directories",
                           "Offset to Directory table",
                           "Number of Playlist Files",
                           "Size of playlist Entry",
                           "Offset to Playlist file table",
                           "Number of Audio files",
                           "Size of Audio Entry",
                           "Offset to Audio file table",
                           "Number of Menu Image files",
                           "Size of Menu Image Entry",
                           "Offset to Menu Image file table",
                           "Number of Image files",
                           "Size of Image Entry",
                           "Offset to Image file table",
                           "Number of Video files",
                           "Size of video Entry",
                           "Offset to Video file table",
                           "Number of LCID entries"})) {
    m_directories.title = "Directory Table";
    m_directories.columns = {"Number", "Parent Directory Number", "Offset to Directory Name Length",
                             "Directory Name Length", "Directory Name"};
    m_playlists.title = "Playlist Table";
    m_playlists.columns = {"CID#", "Directory Number", "Playlist Summary Type"};
    m_files.title = "Audio/Menu Image/Image/Video FIle Table";
    m_files.columns = {"CID#",
                       "Offset to Directory Number",
                       "File Type",
                       "Special Flags",
                       "Number of channels",
                       "Sample size",
                       "Average bit rate",
                       "File bit rate",
                       "Playing duration",
                       "Sampling freq.",
                       "Track Number",
                       "Thumbnail ID",
                       "Vertical Size",
                       "Horizontal Size",
                       "Video average bit rate",
                       "Video V-size",
                       "Video H-size",
                       "Frame rate",
                       "Directory Number",
                       "File Name Length",
                       "File Name"};
}

const char* CContentsDlgModel::TableName(FileTable table) {
    switch (table) {
    case FileTable::Audio:
        return "Audio";
    case FileTable::MenuImage:
        return "Menu Image";
    case FileTable::Image:
        return "Image";
    case FileTable::Video:
        return "Video";
    }
    return "";
}

void CContentsDlgModel::Fill(const NavImage& image) {
    m_image = &image;
    ShowHeader();
    FillDirectoryTable();
    FillPlaylistTable();
    SelectTable(FileTable::Audio);
}

void CContentsDlgModel::SelectTable(FileTable table) {
    m_checked = table;
    m_files.rows.clear();
    if (m_image)
        FillFileTable(table);
}

void CContentsDlgModel::ShowHeader() {
    NavReader r(*m_image);
    size_t i = 0;
    m_header[i++].value = r.Identifier(0x00);
    m_header[i++].value = r.Word(0x08);
    m_header[i++].value = r.Qword(0x0A);
    m_header[i++].value = r.Dword(0x12);
    m_header[i++].value = r.Dword(0x16);
    m_header[i++].value = r.Dword(0x1A);
    m_header[i++].value = r.Dword(0x1E);
    m_header[i++].value = r.Word(0x22);
    m_header[i++].value = r.Dword(0x24);
    for (size_t at = 0x28; at <= 0x46; at += 0x0A) { // count, entry size and offset of each file table
        m_header[i++].value = r.Dword(at);
        m_header[i++].value = r.Word(at + 4);
        m_header[i++].value = r.Dword(at + 6);
    }
    m_header[i++].value = r.Word(0x50);

    m_lcid.clear();
    const uint16_t count = m_image->U16(0x50).value_or(0);
    for (size_t n = 0, at = 0x52; n < count; ++n, at += 8) {
        if (!m_image->Has(at, 8)) {
            m_lcid.push_back(NAV_OUT_OF_FILE);
            break;
        }
        m_lcid.push_back(r.Dword(at) + " : " + r.Dword(at + 4));
    }
}

void CContentsDlgModel::FillDirectoryTable() {
    m_directories.rows.clear();
    const NavImage& image = *m_image;
    const uint32_t count = image.U32(0x16).value_or(0);
    size_t at = image.U32(0x1A).value_or(0);
    for (uint64_t n = 1; n <= count; ++n, at += 8) {
        if (!image.Has(at, 8)) {
            m_directories.rows.push_back({NAV_OUT_OF_FILE});
            break;
        }
        NavReader r(image);
        const size_t name = image.U32(at + 4).value_or(0);
        m_directories.rows.push_back(
            {Nav_Dword(uint32_t(n)), r.Dword(at), r.Dword(at + 4), r.Word(name), r.CharCountText(name)});
        if (r.Cut())
            break;
    }
}

void CContentsDlgModel::FillPlaylistTable() {
    m_playlists.rows.clear();
    m_nextCid = 1;
    const NavImage& image = *m_image;
    const uint32_t count = image.U32(0x1E).value_or(0);
    size_t at = image.U32(0x24).value_or(0);
    for (uint32_t n = 0; n < count; ++n, at += 6) {
        if (!image.Has(at, 6)) {
            m_playlists.rows.push_back({NAV_OUT_OF_FILE});
            break;
        }
        NavReader r(image);
        m_playlists.rows.push_back({Nav_Dword(m_nextCid++), r.Dword(at), r.Byte(at + 4)});
    }
}

void CContentsDlgModel::FillFileTable(FileTable table) {
    const NavImage& image = *m_image;
    const TableLayout& layout = kTables[size_t(table)];
    // CIDs run on through the playlist, audio, menu image, image and video tables in that order.
    m_nextCid = 1 + image.U32(0x1E).value_or(0);
    for (size_t t = 0; t < size_t(table); ++t)
        m_nextCid += image.U32(kTables[t].countAt).value_or(0);

    const uint32_t count = image.U32(layout.countAt).value_or(0);
    size_t at = image.U32(layout.offsetAt).value_or(0);
    for (uint32_t n = 0; n < count; ++n, at += layout.step) {
        if (!image.Has(at, layout.step)) {
            m_files.rows.push_back({NAV_OUT_OF_FILE});
            break;
        }
        NavReader r(image);
        std::vector<std::string> row(kFileColumns);
        row[0] = Nav_Dword(m_nextCid++);
        row[1] = r.Dword(at);
        row[2] = r.WordAsDword(at + 0x04);
        row[3] = r.WordAsDword(at + 0x06);
        if (table == FileTable::Audio || table == FileTable::Video) {
            row[4] = r.ByteAsDword(at + 0x08);
            row[5] = r.ByteAsDword(at + 0x09);
            row[6] = r.Dword(at + 0x0A);
            row[7] = r.Dword(at + 0x0E);
            row[8] = r.Dword(at + 0x12);
            row[9] = r.Dword(at + 0x16);
            row[10] = r.WordAsDword(at + 0x1A);
            row[11] = r.Dword(at + 0x1C);
        }
        if (table == FileTable::Image) {
            row[11] = r.Dword(at + 0x08);
            row[12] = r.WordAsDword(at + 0x0C);
            row[13] = r.WordAsDword(at + 0x0E);
        }
        if (table == FileTable::Video) {
            row[14] = r.Dword(at + 0x20);
            row[15] = r.WordAsDword(at + 0x24);
            row[16] = r.WordAsDword(at + 0x26);
            row[17] = r.Dword(at + 0x28);
        }
        const size_t name = image.U32(at).value_or(0);
        row[18] = r.Dword(name);
        row[19] = r.WordAsDword(name + 4);
        row[20] = r.CharCountText(name + 4);
        m_files.rows.push_back(std::move(row));
        if (r.Cut())
            break;
    }
}
