// A navigation-file viewer's content as text, in the order the viewer fills it: header fields as
// "Label: value", each list under its title with its column headings and rows (cells separated by tabs),
// trees indented two spaces a level. Shift-JIS, lines ending in "\n".
#pragma once

#include <string>

#include "iso9660/iso_model.h"

class CContentsDlgModel;
class CMenuDlgModel;
class CTextDlgModel;
class CPlaylistDlgModel;
class CLsnDlgModel;

// The four file tables one after another (the radio buttons are left on "Video").
std::string Nav_ContentsText(CContentsDlgModel& model);
std::string Nav_MenuText(const CMenuDlgModel& model);
std::string Nav_TextText(const CTextDlgModel& model);
// Every group's part after the tree, as selecting each group in turn shows it.
std::string Nav_PlaylistText(CPlaylistDlgModel& model);
std::string Nav_LsnText(const CLsnDlgModel& model);

// Reads the file of `entry` on the current session and returns its viewer's title line and content, or the
// viewer's read error message in `error` with the read's result (not 1).
int Nav_ViewerText(const FileEntry& entry, std::string& text, std::string& error);
