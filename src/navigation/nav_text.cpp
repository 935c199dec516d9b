#include "navigation/nav_text.h"

#include <algorithm>

#include "navigation/contents_model.h"
#include "navigation/lsn_model.h"
#include "navigation/menu_model.h"
#include "navigation/nav_viewer.h"
#include "navigation/playlist_model.h"
#include "navigation/text_model.h"

namespace {

void Fields(std::string& out, const std::vector<NavField>& fields) {
    for (const NavField& f : fields)
        out += f.label + ": " + f.value + "\n";
}

void Cells(std::string& out, const std::vector<std::string>& cells, size_t columns) {
    for (size_t i = 0; i < std::max(columns, cells.size()); ++i) {
        if (i)
            out += '\t';
        if (i < cells.size())
            out += cells[i];
    }
    out += '\n';
}

void List(std::string& out, const NavList& list) {
    out += "\n" + list.title + "\n";
    Cells(out, list.columns, list.columns.size());
    for (const auto& row : list.rows)
        Cells(out, row, list.columns.size());
}

void Tree(std::string& out, const std::vector<NavTreeItem>& items, size_t depth) {
    for (const NavTreeItem& item : items) {
        out += std::string(2 * depth, ' ') + item.text + "\n";
        Tree(out, item.children, depth + 1);
    }
}

} // namespace

std::string Nav_ContentsText(CContentsDlgModel& model) {
    std::string out;
    Fields(out, model.Header());
    out += "\nLCID entries\n";
    for (const std::string& line : model.LcidLines())
        out += line + "\n";
    List(out, model.Directories());
    List(out, model.Playlists());
    using T = CContentsDlgModel::FileTable;
    for (T table : {T::Audio, T::MenuImage, T::Image, T::Video}) {
        model.SelectTable(table);
        NavList list = model.Files();
        list.title = std::string(CContentsDlgModel::TableName(table)) + " File Table";
        List(out, list);
    }
    return out;
}

std::string Nav_MenuText(const CMenuDlgModel& model) {
    std::string out;
    Fields(out, model.Header());
    out += "\nMenu Structure\n";
    Tree(out, model.Tree(), 0);
    List(out, model.MenuHeaders());
    List(out, model.MenuItems());
    List(out, model.PlaylistItems());
    return out;
}

std::string Nav_TextText(const CTextDlgModel& model) {
    std::string out;
    Fields(out, model.Header());
    List(out, model.ContentsText());
    List(out, model.GroupText());
    List(out, model.ExtraText());
    return out;
}

std::string Nav_PlaylistText(CPlaylistDlgModel& model) {
    std::string out;
    Fields(out, model.Header());
    out += "\nGroups\n";
    // The groups are the root item's siblings; they are shown under it as the tree's lines suggest.
    for (const NavTreeItem& item : model.Tree())
        out += std::string(item.number == 0 ? 0 : 2, ' ') + item.text + "\n";
    for (const NavTreeItem& item : model.Tree()) {
        if (item.number <= 0)
            continue;
        model.Select(item.number);
        out += "\nGroup " + std::to_string(item.number) + "\n";
        Fields(out, model.GroupFields());
        List(out, model.Files());
    }
    out += "\nPlaylist File Name: " + model.FileName() + "\n";
    return out;
}

std::string Nav_LsnText(const CLsnDlgModel& model) {
    std::string out;
    Fields(out, model.Header());
    List(out, model.Entries());
    return out;
}

int Nav_ViewerText(const FileEntry& entry, std::string& text, std::string& error) {
    const NavViewerKind kind = Nav_ViewerFor(entry.name);
    NavFileImage file(entry);
    if (!file.Ok()) {
        error = Nav_ReadErrorMessage(kind, entry.name);
        return file.Result() == 1 ? -1 : file.Result();
    }
    text = std::string(Nav_ViewerTitle(kind)) + "\n";
    switch (kind) {
    case NavViewerKind::Contents: {
        CContentsDlgModel m;
        m.Fill(file.Image());
        text += Nav_ContentsText(m);
        break;
    }
    case NavViewerKind::Menu: {
        CMenuDlgModel m;
        m.Fill(file.Image());
        text += Nav_MenuText(m);
        break;
    }
    case NavViewerKind::Text: {
        CTextDlgModel m;
        m.Fill(file.Image());
        text += Nav_TextText(m);
        break;
    }
    case NavViewerKind::Lsn: {
        CLsnDlgModel m;
        m.Fill(file.Image());
        text += Nav_LsnText(m);
        break;
    }
    case NavViewerKind::Playlist: {
        CPlaylistDlgModel m;
        m.SetFileName(entry.name);
        m.Fill(file.Image());
        text += Nav_PlaylistText(m);
        break;
    }
    }
    return 1;
}
