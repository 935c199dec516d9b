#include "navigation/playlist_model.h"

#include <algorithm>
#include <cstdio>

#include "navigation/lmx_layout.h"

using namespace lmx::playlist;

namespace {

constexpr size_t kGroupFixed = kType + 1; // Next, Prev, No and Type
// A group is at least its fixed fields and reserved byte, so no file chains more groups than its size over
// this.
constexpr size_t kLongestChainPer = kPart;

} // namespace

CPlaylistDlgModel::CPlaylistDlgModel()
    : m_header(Nav_Fields({"Identifier", "Version", "Size of Playlist File", "Playlist Summary Type",
                           "Repeat Count.", "Thumbnail ID", "Number of Groups", "Special Flags"})),
      m_groupFields(Nav_Fields({"Number of Audio Files", "Number of Video Files", "Number of Image Files",
                                "Initial Transition", "Final Transition"})) {
    m_files.title = "Playlist";
    m_files.columns = {"File ID",
                       "Starting Point of Audio/Video",
                       "Ending Point of Audio/Video",
                       "Starting Point Offset",
                       "Ending Point Offset",
                       "Duration",
                       "Transition"};
}

void CPlaylistDlgModel::SetFileName(std::string name) {
    m_fileName = std::move(name);
}

void CPlaylistDlgModel::Fill(const NavImage& image) {
    m_image = &image;
    NavReader r(image);
    m_header[0].value = r.Identifier(lmx::kIdentifier);
    m_header[1].value = r.Word(lmx::kVersion);
    m_header[2].value = r.Dword(kFileSize);
    m_header[3].value = r.Byte(kSummaryType);
    m_header[4].value = r.Byte(kRepeatCount);
    m_header[5].value = r.Dword(kThumbnailId);
    m_header[6].value = r.Dword(kGroupCount);
    m_header[7].value = r.Word(kSpecialFlags);
    FillGroupTree();
}

void CPlaylistDlgModel::FillGroupTree() {
    m_tree.clear();
    m_tree.push_back({NAV_PLAYLIST_ROOT, 0, false, {}});
    Select(0);
    const size_t groups =
        std::min<size_t>(m_image->U32(kGroupCount).value_or(0), m_image->size() / kLongestChainPer);
    size_t at = kFirstGroup;
    for (size_t k = 1; k <= groups; ++k) {
        if (!m_image->Has(at, kGroupFixed)) {
            m_tree.push_back({NAV_OUT_OF_FILE, -1, false, {}});
            return;
        }
        const uint32_t next = *m_image->U32(at + kNext), prev = *m_image->U32(at + kPrevious),
                       no = *m_image->U32(at + kNumber);
        const unsigned type = *m_image->U8(at + kType);
        char text[160];
        std::snprintf(text, sizeof text, "Next:%d(0x%08X) Prev:%d(0x%08X) No:%d(0x%08X) Type:%d(0x%02X)",
                      int32_t(next), next, int32_t(prev), prev, int32_t(no), no, int(type), type);
        m_tree.push_back({text, int(k), false, {}});
        at = next;
    }
}

void CPlaylistDlgModel::Select(int number) {
    m_selected = number;
    m_files.rows.clear();
    if (number == 0) {
        for (NavField& f : m_groupFields)
            f.value = " ";
        return;
    }
    // Only items the tree holds can be selected, so the chain walked here was walked to fill it.
    if (!m_image || number < 0 || size_t(number) >= m_tree.size())
        return;
    size_t at = kFirstGroup;
    for (int k = 1; k < number; ++k)
        at = m_image->U32(at + kNext).value_or(0);
    const std::optional<uint8_t> type = m_image->U8(at + kType);
    if (!type)
        return;
    switch (*type) {
    case 0:
        ShowAudioGroup(at + kPart, "Number of Audio Files");
        break;
    case 1:
        ShowAudioGroup(at + kPart, "Number of Video Files");
        break;
    case 2:
        ShowImageGroup(at + kPart);
        break;
    case 3: {
        const std::optional<uint32_t> audio = m_image->U32(at + kAudioPartLink);
        if (!audio) {
            Nav_SetField(m_groupFields, "Number of Audio Files", NAV_OUT_OF_FILE);
            return;
        }
        ShowAudioGroup(*audio, "Number of Audio Files");
        ShowImageGroup(at + kLinkedImagePart);
        break;
    }
    default:
        break;
    }
}

void CPlaylistDlgModel::ShowAudioGroup(size_t part, const char* countLabel) {
    NavReader r(*m_image);
    Nav_SetField(m_groupFields, countLabel, r.ByteAsDword(part));
    const uint8_t count = m_image->U8(part).value_or(0);
    // Each show step numbers its rows from the top of the list.
    for (size_t i = 0; i < count; ++i) {
        const size_t at = part + kFilesAt + i * kFileEntry;
        std::vector<std::string> row = {NAV_OUT_OF_FILE};
        if (m_image->Has(at, kFileEntry))
            row = {r.Dword(at), r.Dword(at + kStartPoint), r.Dword(at + kEndPoint),
                   r.Qword(at + kStartOffset), r.Qword(at + kEndOffset)};
        m_files.rows.insert(m_files.rows.begin() + std::ptrdiff_t(i), std::move(row));
        if (!m_image->Has(at, kFileEntry))
            return;
    }
}

void CPlaylistDlgModel::ShowImageGroup(size_t part) {
    NavReader r(*m_image);
    Nav_SetField(m_groupFields, "Number of Image Files", r.ByteAsDword(part));
    Nav_SetField(m_groupFields, "Initial Transition", r.ByteAsWord(part + kInitialTransition));
    Nav_SetField(m_groupFields, "Final Transition", r.ByteAsWord(part + kFinalTransition));
    const uint8_t count = m_image->U8(part).value_or(0);
    for (size_t i = 0; i < count; ++i) {
        const size_t at = part + kImagesAt + i * kImageEntry;
        std::vector<std::string> row = {NAV_OUT_OF_FILE};
        if (m_image->Has(at, kImageEntry))
            row = {r.Dword(at), "", "", "", "", r.Dword(at + kImageDuration), r.Word(at + kImageTransition)};
        m_files.rows.insert(m_files.rows.begin() + std::ptrdiff_t(i), std::move(row));
        if (!m_image->Has(at, kImageEntry))
            return;
    }
}
