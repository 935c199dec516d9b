// CD-TEXT from the drive. The answer to READ TOC format 5 is held against its own length and what came back
// before a pack of it is read; a drive of the older ATAPI convention answers the formatted TOC instead, which
// holds no pack that passes its CRC and so gives no text. What was passed over stays in the text's notes.
#include "iso9660/iso_cdtext.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"
#include "iso9660/iso_internal.h"
#include "platform/bytes/byte_order.h"
#include "platform/drives/mmc.h"

namespace {

using ckvd::cdtext::DiscText;
using ckvd::cdtext::kPackSize;

constexpr uint8_t kCdText = ckvd::mmc::kTocCdText;
constexpr size_t kHeader = 4;
constexpr size_t kSubQAnswer = 24; // header, then 20 bytes of an MCN or ISRC

// The packs of the drive's answer, read into `text`; nothing when the drive refuses the format.
void ReadPacks(uint16_t device, DiscText& text) {
    std::vector<uint8_t> answer;
    if (iso_internal::ReadTocAnswer(device, 0, kCdText, answer,
                                    static_cast<uint16_t>(kHeader + ckvd::cdtext::kMaxPacks * kPackSize)) !=
            ISO_OK ||
        answer.size() < kHeader)
        return;
    const size_t announced = size_t{bytes::Be16(answer.data())} + 2;
    const size_t got = answer.size();
    if (got < announced)
        text.notes.push_back("the drive's CD-TEXT answer announces " + std::to_string(announced) +
                             " bytes and gave " + std::to_string(got) + ": the packs it gave are read");
    if (got <= kHeader)
        return;
    DiscText read = ckvd::cdtext::ReadPacks(std::span<const uint8_t>(answer.data() + kHeader, got - kHeader));
    // Not one pack that reads: an answer of another format (an older drive's formatted TOC), no text.
    if (read.empty())
        return;
    read.notes.insert(read.notes.begin(), text.notes.begin(), text.notes.end());
    text = std::move(read);
}

// The code READ SUB-CHANNEL gives in `format` (for `track`'s ISRC), "" when the drive gives none that is
// valid.
std::string ReadQCode(uint16_t device, uint8_t format, uint8_t track) {
    uint8_t answer[kSubQAnswer] = {};
    AspiOutcome read;
    if (Aspi_ReadSubChannel(device, format, track, sizeof answer, answer, &read) != ASPI_OK ||
        read.transferred < kSubQAnswer || bytes::Be16(answer + 2) < kSubQAnswer - kHeader ||
        answer[4] != format || !(answer[8] & 0x80) || (format == ASPI_SUBQ_ISRC && answer[6] != track))
        return {};
    const size_t size = format == ASPI_SUBQ_MCN ? 13 : 12;
    std::string code(reinterpret_cast<const char*>(answer + 9), size);
    const bool valid = std::all_of(code.begin(), code.end(), [&](char c) {
        return (c >= '0' && c <= '9') || (format == ASPI_SUBQ_ISRC && c >= 'A' && c <= 'Z');
    });
    // A catalogue number of zeros is what drives report for a disc without one.
    return valid && code != std::string(size, '0') ? code : std::string();
}

} // namespace

void iso_internal::ReadDiscText(Disc& d) {
    DiscModel* model = d.model;
    const uint16_t device = d.device;
    if (!model)
        return;
    delete model->text;
    model->text = nullptr;
    auto text = std::unique_ptr<DiscText>(new (std::nothrow) DiscText);
    if (!text)
        return;
    try {
        ReadPacks(device, *text);
        if (text->catalog.empty())
            text->catalog = ReadQCode(device, ASPI_SUBQ_MCN, 0);
        // Every audio track's, a mixed-mode disc's after its data track too.
        for (const SessionEntry* s = model->firstSession; s; s = s->next) {
            for (const TrackEntry* t = s->firstTrack; t; t = t->next) {
                const ckvd::cdtext::TrackText* has = text->track(t->trackNumber);
                if (!Iso_IsAudioTrack(t) || t->trackNumber < 1 || t->trackNumber > 99 ||
                    (has && !has->isrc.empty()))
                    continue;
                if (std::string isrc = ReadQCode(device, ASPI_SUBQ_ISRC, t->trackNumber); !isrc.empty())
                    text->tracks[t->trackNumber].isrc = std::move(isrc);
            }
        }
    } catch (const std::bad_alloc&) {
        return;
    }
    if (!text->empty() || !text->notes.empty())
        model->text = text.release();
}

const ckvd::cdtext::DiscText* Iso_DiscText(const Disc& d) {
    return d.model ? d.model->text : nullptr;
}

const ckvd::cdtext::TrackText* Iso_TrackText(const Disc& d, uint8_t trackNumber) {
    const DiscText* text = Iso_DiscText(d);
    return text ? text->track(trackNumber) : nullptr;
}
