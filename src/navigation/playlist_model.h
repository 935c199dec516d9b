// Content of CPlaylistDlg, "PLAYLIST.LMX" (every navigation file without a name of its own): the header, the
// chain of groups as a tree, and for the selected group its counts, transitions and file entries.
#pragma once

#include <string>
#include <vector>

#include "navigation/nav_content.h"
#include "navigation/nav_image.h"

constexpr const char* NAV_PLAYLIST_ROOT = "< Playlist Group Viewer >";

class CPlaylistDlgModel {
  public:
    CPlaylistDlgModel();
    // "Playlist File Name" before the read: shown even when the read fails.
    void SetFileName(std::string name);
    // ShowHeader and FillGroupTree, which selects the root item. The image is kept for the selection's
    // refills: it must stay valid while they may run. The chain is followed for no more groups than the
    // header counts and the image can hold (one per 14 bytes), so a cyclic chain ends too.
    void Fill(const NavImage& image);
    // The tree's selection: item number 0 is the root, k the k-th group of the chain.
    void Select(int number);

    int Selected() const { return m_selected; }
    const std::vector<NavField>& Header() const { return m_header; }
    const std::vector<NavTreeItem>& Tree() const { return m_tree; }
    // "Number of Audio Files", "Number of Video Files", "Number of Image Files", "Initial Transition",
    // "Final Transition".
    const std::vector<NavField>& GroupFields() const { return m_groupFields; }
    const NavList& Files() const { return m_files; }
    const std::string& FileName() const { return m_fileName; }

  private:
    void FillGroupTree();
    void ShowAudioGroup(size_t part, const char* countLabel);
    void ShowImageGroup(size_t part);

    const NavImage* m_image = nullptr;
    int m_selected = -1;
    std::vector<NavField> m_header;
    std::vector<NavTreeItem> m_tree;
    std::vector<NavField> m_groupFields;
    NavList m_files;
    std::string m_fileName;
};
