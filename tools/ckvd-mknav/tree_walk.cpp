// The media of the tree, walked depth first in byte order of the names.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "analyzers/file_byte_source.h"
#include "mknav.h"
#include "navigation/nav_media.h"

namespace mknav {

namespace {

// The entries of `abs` in byte order of their names.
bool SortedEntries(const fs::path& abs, std::vector<fs::directory_entry>& entries, std::string& error) {
    std::error_code ec;
    for (fs::directory_iterator it(abs, ec), end; !ec && it != end; it.increment(ec))
        entries.push_back(*it);
    if (ec) {
        error = abs.string() + ": " + ec.message();
        return false;
    }
    std::sort(entries.begin(), entries.end(), [](const fs::directory_entry& a, const fs::directory_entry& b) {
        return a.path().filename().string() < b.path().filename().string();
    });
    return true;
}

// A directory named MENU (any case) right under DIR holds menu images.
bool IsMenuDirectory(const NavTreeDirectory& d) {
    if (d.number == 1 || d.parent != 1)
        return false;
    std::string n = d.name;
    std::transform(n.begin(), n.end(), n.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return n == "MENU";
}

// Adds the media file `e` of directory `index` to the tree's lists with its technical data.
bool AddFile(NavTree& tree, const fs::directory_entry& e, const NavKindOf& k, size_t index, bool menuDir,
             std::string& error) {
    std::error_code ec;
    NavTreeMedia m;
    const std::string name = e.path().filename().string();
    m.path = tree.dirs[index].path + "/" + name;
    m.size = fs::file_size(e.path(), ec);
    if (ec) {
        error = e.path().string() + ": " + ec.message();
        return false;
    }
    m.info.directory = tree.dirs[index].number;
    m.info.name = name;
    m.info.fileType = k.fileType;
    FileByteSource in;
    std::string why;
    if (!in.Open(e.path().string(), &why)) {
        error = e.path().string() + ": " + why;
        return false;
    }
    Nav_MediaInfo(in, k, m.info);
    std::vector<NavTreeMedia>* list = &tree.videos;
    std::vector<size_t>* own = &tree.dirs[index].videos;
    if (k.kind == NavKind::Audio) {
        list = &tree.audio;
        own = &tree.dirs[index].audio;
    } else if (k.kind == NavKind::Image) {
        list = menuDir ? &tree.menuImages : &tree.images;
        own = menuDir ? nullptr : &tree.dirs[index].images;
    }
    if (own)
        own->push_back(list->size());
    list->push_back(std::move(m));
    return true;
}

} // namespace

bool Walk(NavTree& tree, const fs::path& abs, size_t index, std::string& error) {
    std::vector<fs::directory_entry> entries;
    if (!SortedEntries(abs, entries, error))
        return false;
    const bool menuDir = IsMenuDirectory(tree.dirs[index]);
    std::vector<fs::directory_entry> subdirs;
    for (const fs::directory_entry& e : entries) {
        std::error_code ec;
        const fs::file_status st = e.symlink_status(ec);
        if (ec) {
            error = e.path().string() + ": " + ec.message();
            return false;
        }
        if (fs::is_directory(st)) {
            subdirs.push_back(e);
            continue;
        }
        const NavKindOf k = Nav_Classify(e.path().filename().string());
        if (fs::is_regular_file(st) && k.kind != NavKind::None && !AddFile(tree, e, k, index, menuDir, error))
            return false;
    }
    for (const fs::directory_entry& e : subdirs) {
        NavTreeDirectory d;
        d.name = e.path().filename().string();
        d.path = tree.dirs[index].path + "/" + d.name;
        d.number = uint32_t(tree.dirs.size() + 1);
        d.parent = tree.dirs[index].number;
        const size_t child = tree.dirs.size();
        tree.dirs[index].children.push_back(child);
        tree.dirs.push_back(std::move(d));
        if (!Walk(tree, e.path(), child, error))
            return false;
    }
    return true;
}

bool Build(const fs::path& root, const std::string& discName, uint32_t lcid, NavSet& set,
           std::string& error) {
    NavTree tree;
    tree.dirs.push_back(NavTreeDirectory{"", "", 1, 0, {}, {}, {}, {}, -1, 0});
    return Walk(tree, root, 0, error) && Nav_Build(tree, discName, lcid, set, error);
}

} // namespace mknav
