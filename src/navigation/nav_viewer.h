// Which viewer a navigation file opens in, and the file's image while it is open.
#pragma once

#include <string>

#include "iso9660/iso_model.h"
#include "navigation/nav_image.h"

enum class NavViewerKind { Contents, Menu, Text, Playlist, Lsn };

// A navigation file by its name (extension "LMX", the navigation kind), whatever the analyzers later made of
// its kind.
bool Nav_IsNavigationFile(const FileEntry& entry);
// By the name as the disc model holds it, upper case compared exactly: "CONTENTS", "MENU", "TEXT" and "LSN"
// at its start choose their viewers; every other name (lower case ones too) the playlist viewer.
NavViewerKind Nav_ViewerFor(const char* name);
// The viewer's caption: "CONTENTS.LMX", "MENU.LMX", "TEXT.LMX", "PLAYLIST.LMX", "LSN.LMX".
const char* Nav_ViewerTitle(NavViewerKind kind);
// The message of a failed read: "CONTENTS.LMX Read Error!" ..., "<name> Read Error!" for a playlist.
std::string Nav_ReadErrorMessage(NavViewerKind kind, const char* name);

// The file's bytes read into the one file image of the program (Iso_ReadEntry on the current session),
// released with Iso_FreeFile when this goes, however the viewer closes.
class NavFileImage {
  public:
    explicit NavFileImage(const FileEntry& entry);
    ~NavFileImage();
    NavFileImage(const NavFileImage&) = delete;
    NavFileImage& operator=(const NavFileImage&) = delete;

    bool Ok() const { return m_result == 1; }
    int Result() const { return m_result; }
    // The file's bytes; empty when the read failed.
    const NavImage& Image() const { return m_image; }

  private:
    int m_result;
    NavImage m_image{std::span<const uint8_t>()};
};
