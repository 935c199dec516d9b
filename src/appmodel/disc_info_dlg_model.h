// Content of the Disc Information dialog: the TOC of the loaded disc, one block of rows per session.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "iso9660/iso_model.h"

constexpr int DISCINFO_COLUMNS = 14;

enum class DiscInfoAlign { Left, Right, Centre };

struct DiscInfoColumn {
    const char* title;
    DiscInfoAlign align;
};

extern const DiscInfoColumn kDiscInfoColumns[DISCINFO_COLUMNS];

using DiscInfoRow = std::array<std::string, DISCINFO_COLUMNS>;

// CDiscInfoDlgModel's list: the session values on a session's first row together with its first track, one
// row per further track holding " " and the track columns. Empty for an empty model. `style` is
// g_LbnSizeStyle.
class CDiscInfoDlgModel {
  public:
    // Builds the rows from `model` (normally g_DiscModel).
    void OnInitDialog(const DiscModel* model, uint16_t style);
    const std::vector<DiscInfoRow>& Rows() const { return m_rows; }

  private:
    std::vector<DiscInfoRow> m_rows;
};

// A TOC value of the dialog in `style`: "%ld" (signed 32-bit, so an address before 00:02:00 reads negative),
// "0x%08X" or minutes:seconds:frames.
std::string DiscInfo_NumberText(uint32_t value, uint16_t style);
