// The navigation files describing the tree: playlists, CONTENTS.LMX, MENU.LMX, TEXT.LMX and LSN.LMX.
#include "navigation/nav_build.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr uint32_t kImageDuration = 5000; // ms an image of a playlist is shown
constexpr size_t kGroupFiles = 255;       // a group part's file count is one byte
constexpr uint8_t kSummaryMixed = 4;

uint8_t Summary(const std::vector<NavGroup>& groups) {
    for (const NavGroup& g : groups)
        if (g.type != groups.front().type)
            return kSummaryMixed;
    return groups.empty() ? kSummaryMixed : groups.front().type;
}

// The playlist items of directory `index` for its menu: its own playlist, then per subdirectory with media
// its playlist or a sub-menu.
std::vector<NavMenuEntry> MenuItems(const NavTree& tree, const std::vector<NavPlaylist>& playlists,
                                    size_t index, const std::string& ownName, const NavMenu& style) {
    std::vector<NavMenuEntry> items;
    const auto playlistItem = [&](size_t dir, const std::string& name) {
        NavMenuEntry item;
        item.type = 2;
        item.playlistId = uint32_t(tree.dirs[dir].playlist + 1);
        item.summaryType = playlists[size_t(tree.dirs[dir].playlist)].summaryType;
        item.name = name;
        return item;
    };
    if (tree.dirs[index].playlist >= 0)
        items.push_back(playlistItem(index, ownName));
    for (size_t child : tree.dirs[index].children) {
        const NavTreeDirectory& c = tree.dirs[child];
        if (c.playlistsBelow == 0)
            continue;
        if (c.playlistsBelow == 1) {
            size_t only = child;
            while (tree.dirs[only].playlist < 0) // the one directory below with media
                for (size_t g : tree.dirs[only].children)
                    if (tree.dirs[g].playlistsBelow) {
                        only = g;
                        break;
                    }
            items.push_back(playlistItem(only, tree.dirs[only].name));
            continue;
        }
        NavMenuEntry item;
        item.type = 1;
        item.name = c.name;
        NavMenu sub = style;
        sub.subtitle = c.name;
        sub.items = MenuItems(tree, playlists, child, c.name, style);
        item.summaryType = sub.items.front().summaryType;
        for (const NavMenuEntry& e : sub.items)
            if (e.summaryType != item.summaryType)
                item.summaryType = kSummaryMixed;
        item.subMenu.push_back(std::move(sub));
        items.push_back(std::move(item));
    }
    return items;
}

// Numbers the playlists (one per directory with playlist media, in walk order) and the CIDs: playlists,
// audio, menu images, images, videos; counts each directory's playlists with its subdirectories'.
void NumberTree(NavTree& tree) {
    size_t playlistCount = 0;
    for (NavTreeDirectory& d : tree.dirs)
        if (!d.audio.empty() || !d.images.empty() || !d.videos.empty())
            d.playlist = int(playlistCount++);
    uint32_t cid = uint32_t(playlistCount);
    for (std::vector<NavTreeMedia>* list : {&tree.audio, &tree.menuImages, &tree.images, &tree.videos})
        for (NavTreeMedia& m : *list)
            m.cid = ++cid;
    for (size_t i = tree.dirs.size(); i-- > 0;) // children come after their parents
        tree.dirs[i].playlistsBelow = (tree.dirs[i].playlist >= 0 ? 1 : 0) + [&] {
            size_t n = 0;
            for (size_t c : tree.dirs[i].children)
                n += tree.dirs[c].playlistsBelow;
            return n;
        }();
}

// The groups of directory `d`'s playlist: the audio and images, then the videos, kGroupFiles at most each.
std::vector<NavGroup> PlaylistGroups(const NavTree& tree, const NavTreeDirectory& d) {
    std::vector<NavGroup> groups;
    const auto fileRef = [](const NavTreeMedia& m) {
        return NavFileRef{m.cid, 0, m.info.duration, 0, m.size};
    };
    const size_t chunks = (std::max(d.audio.size(), d.images.size()) + kGroupFiles - 1) / kGroupFiles;
    for (size_t k = 0; k < chunks; ++k) {
        NavGroup g;
        for (size_t i = k * kGroupFiles; i < std::min(d.audio.size(), (k + 1) * kGroupFiles); ++i)
            g.files.push_back(fileRef(tree.audio[d.audio[i]]));
        for (size_t i = k * kGroupFiles; i < std::min(d.images.size(), (k + 1) * kGroupFiles); ++i)
            g.images.push_back({tree.images[d.images[i]].cid, kImageDuration, 0});
        g.type = g.files.empty()    ? NAV_GROUP_IMAGE
                 : g.images.empty() ? NAV_GROUP_AUDIO
                                    : NAV_GROUP_AUDIO_IMAGE;
        groups.push_back(std::move(g));
    }
    for (size_t k = 0; k * kGroupFiles < d.videos.size(); ++k) {
        NavGroup g;
        g.type = NAV_GROUP_VIDEO;
        for (size_t i = k * kGroupFiles; i < std::min(d.videos.size(), (k + 1) * kGroupFiles); ++i)
            g.files.push_back(fileRef(tree.videos[d.videos[i]]));
        groups.push_back(std::move(g));
    }
    return groups;
}

// The playlists of the tree, with their entries in CONTENTS.LMX and their texts in TEXT.LMX.
std::vector<NavPlaylist> MakePlaylists(const NavTree& tree, const std::string& discName,
                                       NavContents& contents, NavTextFile& text) {
    const auto displayName = [&](const NavTreeDirectory& d) { return d.number == 1 ? discName : d.name; };
    std::vector<NavPlaylist> playlists;
    uint32_t groupNumber = 0;
    for (const NavTreeDirectory& d : tree.dirs) {
        if (d.playlist < 0)
            continue;
        NavPlaylist p;
        p.groups = PlaylistGroups(tree, d);
        for (size_t k = 0; k < p.groups.size(); ++k) {
            p.groups[k].number = ++groupNumber;
            text.groups.push_back(
                {groupNumber, displayName(d) + (k == 0 ? "" : " (" + std::to_string(k + 1) + ")")});
        }
        p.summaryType = Summary(p.groups);
        if (!d.images.empty())
            p.thumbnailId = tree.images[d.images.front()].cid;
        contents.playlists.push_back({1, p.summaryType}); // every playlist file is in the root
        text.contents.push_back({uint32_t(playlists.size() + 1), displayName(d), {}, {}});
        playlists.push_back(std::move(p));
    }
    return playlists;
}

// The playlist files into `set`, their CIDs first; then the media tables of CONTENTS.LMX with their texts.
bool AddPlaylistsAndMedia(NavTree& tree, const std::vector<NavPlaylist>& playlists, NavContents& contents,
                          NavTextFile& text, NavSet& set, std::string& error) {
    for (size_t i = 0; i < playlists.size(); ++i) {
        NavBytes b = Nav_WritePlaylist(playlists[i]);
        if (!b.ok()) {
            error = Nav_PlaylistName(i) + ": " + b.error;
            return false;
        }
        set.cidPaths.push_back("/" + Nav_PlaylistName(i));
        set.cidSizes.push_back(b.bytes.size());
        set.files.emplace_back(Nav_PlaylistName(i), std::move(b.bytes));
    }
    const std::pair<std::vector<NavTreeMedia>*, std::vector<NavMediaFile>*> tables[] = {
        {&tree.audio, &contents.audio},
        {&tree.menuImages, &contents.menuImages},
        {&tree.images, &contents.images},
        {&tree.videos, &contents.videos}};
    for (const auto& [list, table] : tables) {
        for (const NavTreeMedia& m : *list) {
            table->push_back(m.info);
            text.contents.push_back({m.cid, m.info.name, {}, {}});
            set.cidPaths.push_back(m.path);
            set.cidSizes.push_back(m.size);
        }
    }
    return true;
}

NavMenuFile MakeMenu(const NavTree& tree, const std::vector<NavPlaylist>& playlists,
                     const std::string& discName, uint32_t lcid) {
    NavMenuFile menu;
    menu.lcid = lcid;
    menu.title = discName;
    NavMenu style;
    style.backgroundImage43 = style.backgroundImage169 = tree.menuImages.empty() ? 0 : tree.menuImages[0].cid;
    style.textColor = 0x00FFFFFF;
    menu.root = style;
    menu.root.subtitle = discName;
    menu.root.items = MenuItems(tree, playlists, 0, discName, style);
    return menu;
}

} // namespace

std::string Nav_PlaylistName(size_t index) {
    char name[32];
    std::snprintf(name, sizeof name, "PLAY%04zu.LMX", index + 1);
    return name;
}

bool Nav_Build(NavTree& tree, const std::string& discName, uint32_t lcid, NavSet& set, std::string& error) {
    for (const auto* list : {&tree.audio, &tree.menuImages, &tree.images, &tree.videos})
        for (const NavTreeMedia& m : *list)
            if (m.size > 0xFFFFFFFF) {
                error = m.path + ": larger than 4 GiB, which a sector table entry cannot give";
                return false;
            }
    NumberTree(tree);

    NavContents contents;
    NavTextFile text;
    text.lcid = lcid;
    text.discName = discName;
    contents.lcids.push_back({lcid, 0});
    for (const NavTreeDirectory& d : tree.dirs)
        contents.directories.push_back({d.parent, d.name});
    const std::vector<NavPlaylist> playlists = MakePlaylists(tree, discName, contents, text);
    if (playlists.size() > 9999) {
        error = "more than 9999 directories hold media: the playlist files are named PLAY0001.LMX to "
                "PLAY9999.LMX";
        return false;
    }
    set = {};
    if (!AddPlaylistsAndMedia(tree, playlists, contents, text, set, error))
        return false;
    const NavMenuFile menu = MakeMenu(tree, playlists, discName, lcid);
    for (auto [name, bytes] :
         {std::pair{"CONTENTS.LMX", Nav_WriteContents(contents)}, std::pair{"MENU.LMX", Nav_WriteMenu(menu)},
          std::pair{"TEXT.LMX", Nav_WriteText(text)}, std::pair{"LSN.LMX", Nav_LsnWithSectors(set, {})}}) {
        if (!bytes.ok()) {
            error = bytes.error;
            return false;
        }
        set.files.emplace_back(name, std::move(bytes.bytes));
    }
    return true;
}

NavBytes Nav_LsnWithSectors(const NavSet& set, const std::vector<uint32_t>& sectors) {
    NavLsnFile lsn;
    for (size_t i = 0; i < set.cidSizes.size(); ++i)
        lsn.entries.push_back({i < sectors.size() ? sectors[i] : 0, uint32_t(set.cidSizes[i])});
    return Nav_WriteLsn(lsn);
}
