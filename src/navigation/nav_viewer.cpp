#include "navigation/nav_viewer.h"

#include <cstring>

#include "iso9660/iso9660.h"

bool Nav_IsNavigationFile(const FileEntry& entry) {
    FileEntry named = entry;
    named.kind = 0;
    Iso_SetFileKind(&named);
    return named.kind == KIND_LMX;
}

NavViewerKind Nav_ViewerFor(const char* name) {
    const auto starts = [name](const char* prefix) {
        return std::strncmp(name, prefix, std::strlen(prefix)) == 0;
    };
    if (starts("CONTENTS"))
        return NavViewerKind::Contents;
    if (starts("MENU"))
        return NavViewerKind::Menu;
    if (starts("TEXT"))
        return NavViewerKind::Text;
    if (starts("LSN"))
        return NavViewerKind::Lsn;
    return NavViewerKind::Playlist;
}

const char* Nav_ViewerTitle(NavViewerKind kind) {
    switch (kind) {
    case NavViewerKind::Contents:
        return "CONTENTS.LMX";
    case NavViewerKind::Menu:
        return "MENU.LMX";
    case NavViewerKind::Text:
        return "TEXT.LMX";
    case NavViewerKind::Lsn:
        return "LSN.LMX";
    case NavViewerKind::Playlist:
        break;
    }
    return "PLAYLIST.LMX";
}

std::string Nav_ReadErrorMessage(NavViewerKind kind, const char* name) {
    return std::string(kind == NavViewerKind::Playlist ? name : Nav_ViewerTitle(kind)) + " Read Error!";
}

NavFileImage::NavFileImage(const FileEntry& entry) : m_result(Iso_ReadEntry(entry)) {
    if (Ok() && g_FileData)
        m_image = NavImage(std::span<const uint8_t>(g_FileData, size_t(g_FileDataLength)));
}

NavFileImage::~NavFileImage() {
    Iso_FreeFile();
}
