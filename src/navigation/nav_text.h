// A navigation-file viewer's content in the order the viewer fills it, as a document of sections (for text
// and JSON output), and as text: header fields as "Label: value", each list under its title with its column
// headings and rows (cells separated by tabs), trees indented two spaces a level. UTF-8, lines ending in
// "\n".
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "iso9660/iso_model.h"
#include "navigation/nav_content.h"

class CContentsDlgModel;
class CMenuDlgModel;
class CTextDlgModel;
class CPlaylistDlgModel;
class CLsnDlgModel;

struct NavSection {
    enum class Kind { Fields, Lines, List, Tree };
    Kind kind = Kind::Fields;
    std::string title; // empty for the header fields and the fields that close a document
    std::vector<NavField> fields;
    std::vector<std::string> lines;
    NavList list;
    std::vector<NavTreeItem> tree;
};

struct NavDocument {
    std::string title; // the viewer's title
    std::vector<NavSection> sections;
};

// The document as text: the title line, then each section. With `convert`, every title, label, value, cell
// and tree item goes through it on its own (no value's last byte can join the line break or tab after it).
std::string Nav_DocumentText(const NavDocument& document, std::string (*convert)(std::string_view) = nullptr);

// Each viewer's sections. CONTENTS.LMX: the four file tables one after another (the radio buttons are left
// on "Video"). A playlist: every group's part after the tree, as selecting each group in turn shows it; the
// groups, siblings of the root item in the viewer, are the root's children here, as its lines suggest.
std::vector<NavSection> Nav_ContentsSections(CContentsDlgModel& model);
std::vector<NavSection> Nav_MenuSections(const CMenuDlgModel& model);
std::vector<NavSection> Nav_TextSections(const CTextDlgModel& model);
std::vector<NavSection> Nav_PlaylistSections(CPlaylistDlgModel& model);
std::vector<NavSection> Nav_LsnSections(const CLsnDlgModel& model);

// The sections as text, without the title line.
std::string Nav_ContentsText(CContentsDlgModel& model);
std::string Nav_MenuText(const CMenuDlgModel& model);
std::string Nav_TextText(const CTextDlgModel& model);
std::string Nav_PlaylistText(CPlaylistDlgModel& model);
std::string Nav_LsnText(const CLsnDlgModel& model);

// Reads the file of `entry` on the current session and returns its viewer's document, or the viewer's read
// error message in `error` with the read's result (not 1).
int Nav_ViewerDocument(const FileEntry& entry, NavDocument& document, std::string& error);
// The same as text.
int Nav_ViewerText(const FileEntry& entry, std::string& text, std::string& error);
