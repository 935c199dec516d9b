// Content of CLsnDlg, "LSN.LMX": the header and the list "LSN Entries" (the start sector and size of the
// file of every CID, in CID order).
#pragma once

#include <vector>

#include "navigation/nav_content.h"
#include "navigation/nav_image.h"

class CLsnDlgModel {
  public:
    CLsnDlgModel();
    // ShowHeader and FillLsnEntries over the file's image. The walk stops at the first entry that does not
    // lie wholly inside the image, with a row saying so, so a count of 0xFFFFFFFF costs no more than the
    // file's size.
    void Fill(const NavImage& image);

    const std::vector<NavField>& Header() const { return m_header; }
    const NavList& Entries() const { return m_entries; }

  private:
    std::vector<NavField> m_header;
    NavList m_entries;
};
