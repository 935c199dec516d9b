#include "navigation/contents_model.h"

#include "navigation/lmx_layout.h"

#include <array>

using namespace lmx::contents;

namespace {

// Where the header describes each file table (in the order of FileTable), and how far apart its entries are.
constexpr size_t TableAt(size_t table) {
    return kFileTables + table * kFileTableStride;
}
constexpr std::array<size_t, 4> kSteps = {kAudioEntry, kMenuImageEntry, kImageEntry, kVideoEntry};

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
    m_header[i++].value = r.Identifier(lmx::kIdentifier);
    m_header[i++].value = r.Word(lmx::kVersion);
    m_header[i++].value = r.Qword(kGeneration);
    m_header[i++].value = r.Dword(kFileSize);
    m_header[i++].value = r.Dword(kDirectoryCount);
    m_header[i++].value = r.Dword(kDirectoryTable);
    m_header[i++].value = r.Dword(kPlaylistCount);
    m_header[i++].value = r.Word(kPlaylistEntrySize);
    m_header[i++].value = r.Dword(kPlaylistTable);
    for (size_t table = 0; table < kSteps.size(); ++table) {
        const size_t at = TableAt(table);
        m_header[i++].value = r.Dword(at + kTableCount);
        m_header[i++].value = r.Word(at + kTableEntrySize);
        m_header[i++].value = r.Dword(at + kTableOffset);
    }
    m_header[i++].value = r.Word(kLcidCount);

    m_lcid.clear();
    const uint16_t count = m_image->U16(kLcidCount).value_or(0);
    for (size_t n = 0, at = kLcidEntries; n < count; ++n, at += kLcidEntry) {
        if (!m_image->Has(at, kLcidEntry)) {
            m_lcid.push_back(NAV_OUT_OF_FILE);
            break;
        }
        m_lcid.push_back(r.Dword(at) + " : " + r.Dword(at + 4));
    }
}

void CContentsDlgModel::FillDirectoryTable() {
    m_directories.rows.clear();
    const NavImage& image = *m_image;
    const uint32_t count = image.U32(kDirectoryCount).value_or(0);
    size_t at = image.U32(kDirectoryTable).value_or(0);
    for (uint64_t n = 1; n <= count; ++n, at += kDirectoryEntry) {
        if (!image.Has(at, kDirectoryEntry)) {
            m_directories.rows.push_back({NAV_OUT_OF_FILE});
            break;
        }
        NavReader r(image);
        const size_t name = image.U32(at + kDirectoryName).value_or(0);
        m_directories.rows.push_back({Nav_Dword(uint32_t(n)), r.Dword(at), r.Dword(at + kDirectoryName),
                                      r.Word(name), r.CharCountText(name)});
        if (r.Cut())
            break;
    }
}

void CContentsDlgModel::FillPlaylistTable() {
    m_playlists.rows.clear();
    m_nextCid = 1;
    const NavImage& image = *m_image;
    const uint32_t count = image.U32(kPlaylistCount).value_or(0);
    size_t at = image.U32(kPlaylistTable).value_or(0);
    for (uint32_t n = 0; n < count; ++n, at += kPlaylistEntry) {
        if (!image.Has(at, kPlaylistEntry)) {
            m_playlists.rows.push_back({NAV_OUT_OF_FILE});
            break;
        }
        NavReader r(image);
        m_playlists.rows.push_back({Nav_Dword(m_nextCid++), r.Dword(at), r.Byte(at + kPlaylistSummaryType)});
    }
}

void CContentsDlgModel::FillFileTable(FileTable table) {
    const NavImage& image = *m_image;
    const size_t header = TableAt(size_t(table));
    const size_t step = kSteps[size_t(table)];
    // CIDs run on through the playlist, audio, menu image, image and video tables in that order.
    m_nextCid = 1 + image.U32(kPlaylistCount).value_or(0);
    for (size_t t = 0; t < size_t(table); ++t)
        m_nextCid += image.U32(TableAt(t) + kTableCount).value_or(0);

    const uint32_t count = image.U32(header + kTableCount).value_or(0);
    size_t at = image.U32(header + kTableOffset).value_or(0);
    for (uint32_t n = 0; n < count; ++n, at += step) {
        if (!image.Has(at, step)) {
            m_files.rows.push_back({NAV_OUT_OF_FILE});
            break;
        }
        NavReader r(image);
        std::vector<std::string> row(kFileColumns);
        row[0] = Nav_Dword(m_nextCid++);
        row[1] = r.Dword(at + kFileName);
        row[2] = r.WordAsDword(at + kFileType);
        row[3] = r.WordAsDword(at + kSpecialFlags);
        if (table == FileTable::Audio || table == FileTable::Video) {
            row[4] = r.ByteAsDword(at + kChannels);
            row[5] = r.ByteAsDword(at + kSampleSize);
            row[6] = r.Dword(at + kAverageBitRate);
            row[7] = r.Dword(at + kFileBitRate);
            row[8] = r.Dword(at + kDuration);
            row[9] = r.Dword(at + kSamplingFrequency);
            row[10] = r.WordAsDword(at + kTrackNumber);
            row[11] = r.Dword(at + kThumbnailId);
        }
        if (table == FileTable::Image) {
            row[11] = r.Dword(at + kImageThumbnailId);
            row[12] = r.WordAsDword(at + kImageVerticalSize);
            row[13] = r.WordAsDword(at + kImageHorizontalSize);
        }
        if (table == FileTable::Video) {
            row[14] = r.Dword(at + kVideoAverageBitRate);
            row[15] = r.WordAsDword(at + kVideoVerticalSize);
            row[16] = r.WordAsDword(at + kVideoHorizontalSize);
            row[17] = r.Dword(at + kFrameRate);
        }
        const size_t name = image.U32(at + kFileName).value_or(0);
        row[18] = r.Dword(name);
        row[19] = r.WordAsDword(name + kNameRecordText);
        row[20] = r.CharCountText(name + kNameRecordText);
        m_files.rows.push_back(std::move(row));
        if (r.Cut())
            break;
    }
}
