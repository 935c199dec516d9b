// The block at the top of every media information dialog (MP3, Windows Media, WAV, CDA, JPG): the entry's
// identifier, recording date and time, LBN and size. Shared by the dialogs' content and `ckvd info`.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "iso9660/iso_model.h"

// One labelled field of an information dialog: its value (UTF-8, as shown), a unit shown after it, and
// a second value shown beside it where the dialog has one (the MP3 dialog's CRC bytes).
struct InfoField {
    std::string label;
    std::string value;
    std::string unit;
    std::string beside;
};

// "Identifier", "Date and Time", "LBN", "Size" of `entry`, the numbers in the LBN/Size `style` (0 base 10,
// 1 base 16, 2 minutes:seconds:frames).
std::vector<InfoField> InfoDialogHeader(const FileEntry& entry, uint16_t style);
// An LBN or size in `style`. Both are unsigned on the disc, so base 10 never shows a value as negative.
std::string Info_NumberText(uint32_t value, uint16_t style);
// "%4d/%2d/%2d %2d:%2d:%02d" of a recording date; its time-zone byte is not shown.
std::string Info_DateText(const uint8_t date[7]);

// Content of a dialog that shows the header block and one group of labelled fields (Windows Media, WAV, CDA).
class InfoFieldsModel {
  public:
    explicit InfoFieldsModel(const FileEntry* entry) : m_entry(entry) {}
    const std::vector<InfoField>& Header() const { return m_header; }
    const std::vector<InfoField>& Fields() const { return m_fields; }

  protected:
    // The header block in the LBN/Size `style`; no fields yet.
    void Reset(uint16_t style) {
        m_header = m_entry ? InfoDialogHeader(*m_entry, style) : std::vector<InfoField>{};
        m_fields.clear();
    }

    const FileEntry* m_entry;
    std::vector<InfoField> m_header;
    std::vector<InfoField> m_fields;
};
