#include "navigation/nav_text.h"

#include <algorithm>

#include "iso9660/iso9660.h"
#include "navigation/contents_model.h"
#include "navigation/lsn_model.h"
#include "navigation/menu_model.h"
#include "navigation/nav_viewer.h"
#include "navigation/playlist_model.h"
#include "navigation/text_model.h"

namespace {

NavSection FieldsSection(std::string title, std::vector<NavField> fields) {
    NavSection s;
    s.kind = NavSection::Kind::Fields;
    s.title = std::move(title);
    s.fields = std::move(fields);
    return s;
}

NavSection ListSection(NavList list) {
    NavSection s;
    s.kind = NavSection::Kind::List;
    s.title = list.title;
    s.list = std::move(list);
    return s;
}

NavSection TreeSection(std::string title, std::vector<NavTreeItem> tree) {
    NavSection s;
    s.kind = NavSection::Kind::Tree;
    s.title = std::move(title);
    s.tree = std::move(tree);
    return s;
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

void Tree(std::string& out, const std::vector<NavTreeItem>& items, size_t depth) {
    for (const NavTreeItem& item : items) {
        out += std::string(2 * depth, ' ') + item.text + "\n";
        Tree(out, item.children, depth + 1);
    }
}

std::string SectionsText(const std::vector<NavSection>& sections) {
    std::string out;
    for (size_t i = 0; i < sections.size(); ++i) {
        const NavSection& s = sections[i];
        // Every section but the first is set off by a blank line; a titled one starts with its title.
        if (i > 0)
            out += "\n";
        if (!s.title.empty())
            out += s.title + "\n";
        switch (s.kind) {
        case NavSection::Kind::Fields:
            for (const NavField& f : s.fields)
                out += f.label + ": " + f.value + "\n";
            break;
        case NavSection::Kind::Lines:
            for (const std::string& line : s.lines)
                out += line + "\n";
            break;
        case NavSection::Kind::List:
            Cells(out, s.list.columns, s.list.columns.size());
            for (const auto& row : s.list.rows)
                Cells(out, row, s.list.columns.size());
            break;
        case NavSection::Kind::Tree:
            Tree(out, s.tree, 0);
            break;
        }
    }
    return out;
}

} // namespace

std::string Nav_DocumentText(const NavDocument& document, std::string (*convert)(std::string_view)) {
    if (!convert)
        return document.title + "\n" + SectionsText(document.sections);
    NavDocument converted = document;
    auto text = [convert](std::string& t) { t = convert(t); };
    auto tree = [&text](auto& self, std::vector<NavTreeItem>& items) -> void {
        for (NavTreeItem& item : items) {
            text(item.text);
            self(self, item.children);
        }
    };
    text(converted.title);
    for (NavSection& s : converted.sections) {
        text(s.title);
        for (NavField& f : s.fields) {
            text(f.label);
            text(f.value);
        }
        for (std::string& line : s.lines)
            text(line);
        text(s.list.title);
        for (std::string& column : s.list.columns)
            text(column);
        for (auto& row : s.list.rows)
            for (std::string& cell : row)
                text(cell);
        tree(tree, s.tree);
    }
    return converted.title + "\n" + SectionsText(converted.sections);
}

std::vector<NavSection> Nav_ContentsSections(CContentsDlgModel& model) {
    std::vector<NavSection> out{FieldsSection("", model.Header())};
    NavSection lcid;
    lcid.kind = NavSection::Kind::Lines;
    lcid.title = "LCID entries";
    lcid.lines = model.LcidLines();
    out.push_back(std::move(lcid));
    out.push_back(ListSection(model.Directories()));
    out.push_back(ListSection(model.Playlists()));
    using T = CContentsDlgModel::FileTable;
    for (T table : {T::Audio, T::MenuImage, T::Image, T::Video}) {
        model.SelectTable(table);
        NavList list = model.Files();
        list.title = std::string(CContentsDlgModel::TableName(table)) + " File Table";
        out.push_back(ListSection(std::move(list)));
    }
    return out;
}

std::vector<NavSection> Nav_MenuSections(const CMenuDlgModel& model) {
    return {FieldsSection("", model.Header()), TreeSection("Menu Structure", model.Tree()),
            ListSection(model.MenuHeaders()), ListSection(model.MenuItems()),
            ListSection(model.PlaylistItems())};
}

std::vector<NavSection> Nav_TextSections(const CTextDlgModel& model) {
    return {FieldsSection("", model.Header()), ListSection(model.ContentsText()),
            ListSection(model.GroupText()), ListSection(model.ExtraText())};
}

std::vector<NavSection> Nav_PlaylistSections(CPlaylistDlgModel& model) {
    std::vector<NavSection> out{FieldsSection("", model.Header())};
    std::vector<NavTreeItem> roots;
    for (const NavTreeItem& item : model.Tree()) {
        if (item.number == 0 || roots.empty())
            roots.push_back(item);
        else
            roots.back().children.push_back(item);
    }
    out.push_back(TreeSection("Groups", std::move(roots)));
    for (const NavTreeItem& item : model.Tree()) {
        if (item.number <= 0)
            continue;
        model.Select(item.number);
        out.push_back(FieldsSection("Group " + std::to_string(item.number), model.GroupFields()));
        out.push_back(ListSection(model.Files()));
    }
    out.push_back(FieldsSection("", {{"Playlist File Name", model.FileName()}}));
    return out;
}

std::vector<NavSection> Nav_LsnSections(const CLsnDlgModel& model) {
    return {FieldsSection("", model.Header()), ListSection(model.Entries())};
}

std::string Nav_ContentsText(CContentsDlgModel& model) {
    return SectionsText(Nav_ContentsSections(model));
}
std::string Nav_MenuText(const CMenuDlgModel& model) {
    return SectionsText(Nav_MenuSections(model));
}
std::string Nav_TextText(const CTextDlgModel& model) {
    return SectionsText(Nav_TextSections(model));
}
std::string Nav_PlaylistText(CPlaylistDlgModel& model) {
    return SectionsText(Nav_PlaylistSections(model));
}
std::string Nav_LsnText(const CLsnDlgModel& model) {
    return SectionsText(Nav_LsnSections(model));
}

int Nav_ViewerDocument(const FileEntry& entry, NavDocument& document, std::string& error) {
    const NavViewerKind kind = Nav_ViewerFor(entry.name);
    NavFileImage file(entry);
    if (!file.Ok()) {
        error = Nav_ReadErrorMessage(kind, entry.name);
        return file.Result() == 1 ? -1 : file.Result();
    }
    document.title = Nav_ViewerTitle(kind);
    switch (kind) {
    case NavViewerKind::Contents: {
        CContentsDlgModel m;
        m.Fill(file.Image());
        document.sections = Nav_ContentsSections(m);
        break;
    }
    case NavViewerKind::Menu: {
        CMenuDlgModel m;
        m.Fill(file.Image());
        document.sections = Nav_MenuSections(m);
        break;
    }
    case NavViewerKind::Text: {
        CTextDlgModel m;
        m.Fill(file.Image());
        document.sections = Nav_TextSections(m);
        break;
    }
    case NavViewerKind::Lsn: {
        CLsnDlgModel m;
        m.Fill(file.Image());
        document.sections = Nav_LsnSections(m);
        break;
    }
    case NavViewerKind::Playlist: {
        CPlaylistDlgModel m;
        m.SetFileName(Iso_EntryName(&entry));
        m.Fill(file.Image());
        document.sections = Nav_PlaylistSections(m);
        break;
    }
    }
    return 1;
}

int Nav_ViewerText(const FileEntry& entry, std::string& text, std::string& error) {
    NavDocument document;
    const int rc = Nav_ViewerDocument(entry, document, error);
    if (rc == 1)
        text = Nav_DocumentText(document);
    return rc;
}
