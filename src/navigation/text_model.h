// Content of CTextDlg, "TEXT.LMX": the header with the disc name, and the lists "Contents Text", "GroupText"
// and "ExtraText".
#pragma once

#include <vector>

#include "navigation/nav_content.h"
#include "navigation/nav_image.h"

class CTextDlgModel {
  public:
    CTextDlgModel();
    // ShowHeader, FillContentsText, FillGroupText and FillExtraText. Each walk stops at the first entry or
    // text record that does not lie wholly inside the image.
    void Fill(const NavImage& image);

    const std::vector<NavField>& Header() const { return m_header; }
    const NavList& ContentsText() const { return m_contents; }
    const NavList& GroupText() const { return m_groups; }
    const NavList& ExtraText() const { return m_extra; }

  private:
    void ShowHeader(const NavImage& image);
    void FillContentsText(const NavImage& image);
    void FillGroupText(const NavImage& image);
    void FillExtraText(const NavImage& image);

    std::vector<NavField> m_header;
    NavList m_contents;
    NavList m_groups;
    NavList m_extra;
};
