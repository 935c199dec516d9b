// Content of CContentsDlg, "CONTENTS.LMX": the header with its LCID entries, the directory and playlist
// tables, and one of the four file tables at a time, chosen with the radio buttons.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "navigation/nav_content.h"
#include "navigation/nav_image.h"

class CContentsDlgModel {
  public:
    enum class FileTable { Audio, MenuImage, Image, Video };

    CContentsDlgModel();
    // ShowHeader, FillDirectoryTable, FillPlaylistTable and the audio table, as the dialog opens. The image
    // is kept for the radio buttons' refills: it must stay valid while they may run.
    void Fill(const NavImage& image);
    // A radio button: checks `table` and fills the file table list with it (emptied when nothing was read).
    void SelectTable(FileTable table);

    FileTable Checked() const { return m_checked; }
    const std::vector<NavField>& Header() const { return m_header; }
    const std::vector<std::string>& LcidLines() const { return m_lcid; }
    const NavList& Directories() const { return m_directories; }
    const NavList& Playlists() const { return m_playlists; }
    const NavList& Files() const { return m_files; }

    static const char* TableName(FileTable table); // "Audio", "Menu Image", "Image", "Video"

  private:
    void ShowHeader();
    void FillDirectoryTable();
    void FillPlaylistTable();
    void FillFileTable(FileTable table);

    const NavImage* m_image = nullptr;
    uint32_t m_nextCid = 1;
    FileTable m_checked = FileTable::Audio;
    std::vector<NavField> m_header;
    std::vector<std::string> m_lcid;
    NavList m_directories;
    NavList m_playlists;
    NavList m_files;
};
