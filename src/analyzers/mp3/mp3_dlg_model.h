// Content of CMp3Dlg: the header block, the ID3 tag version switch with the twelve tag fields, and every
// field of the first MPEG audio frame header, from what the MP3 analysis found.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "analyzers/info_dialog_header.h"
#include "analyzers/mp3/mp3_info.h"

class CMp3DlgModel {
  public:
    static constexpr int kTagFields = 12;
    // "Track", "Title", "Artist", "Album", "Year", "Genre", "Comment", "Composer", "Original Artist",
    // "Copyright", "URL", "Encoder" (controls 1014 to 1025).
    static const std::array<const char*, kTagFields> kTagLabels;

    CMp3DlgModel(const FileEntry* entry, const MpegInfo& info)
        : m_entry(entry), m_info(info), m_given(true) {}
    // What the records of the last Mp3_Analyze hold when the dialog opens (the desktop's dialog).
    explicit CMp3DlgModel(const FileEntry* entry) : m_entry(entry) {}

    // Header block, the two combo entries ("v1.0"/"v1.1"/"v1.?", "v2.2"/"v2.3"/"v2.4"/"v2.?"), the MPEG group
    // and the tag the file has selected: ID3v1 where there is one (both: ID3v1 first), else ID3v2.
    // `style` is g_LbnSizeStyle.
    void OnInitDialog(uint16_t style);
    // The combo's selection: every tag field becomes " ", then entry 0 shows ID3v1 and entry 1 ID3v2.
    void OnSelchangeTagVersion(int index);

    const std::vector<InfoField>& Header() const { return m_header; }
    const std::vector<std::string>& TagVersions() const { return m_versions; }
    int SelectedVersion() const { return m_selected; }
    const std::array<std::string, kTagFields>& TagValues() const { return m_tags; }
    // "HeaderPosition" ... "Emphasis", with their units; CRC has the two bytes after the header beside it.
    const std::vector<InfoField>& Mpeg() const { return m_mpeg; }

  private:
    void ClearTagFields();
    void ShowId3v1Tag();
    void ShowId3v2Tag();
    void ShowMpegHeader();

    const FileEntry* m_entry;
    MpegInfo m_info;
    bool m_given = false;
    std::vector<InfoField> m_header;
    std::vector<std::string> m_versions;
    int m_selected = 0;
    std::array<std::string, kTagFields> m_tags{};
    std::vector<InfoField> m_mpeg;
};
