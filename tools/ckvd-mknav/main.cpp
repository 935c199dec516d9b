// ckvd-mknav: writes the Lumaset navigation files for a directory tree that is to become a disc (session).
//   ckvd-mknav [--name NAME] [--lcid N] DIR
//       scans DIR and writes into it CONTENTS.LMX, MENU.LMX, TEXT.LMX, PLAY0001.LMX ... and LSN.LMX
//   ckvd-mknav --lsn IMAGE [--session N] [--lcid N] DIR
//       rewrites DIR/LSN.LMX with the sectors and sizes the files have in IMAGE, mastered from DIR
//
// What is written, in our own terms:
// - Directories: every directory of DIR, numbered from 1 in a depth-first walk (DIR itself is 1, parent 0).
//   Entries are taken in byte order of their names, a directory's files before its subdirectories, so the
//   same tree always gives the same bytes.
// - Media by extension (any case): audio mp3 wma wav; image jpg jpeg png bmp; video wmv avi mpg mpeg mp4.
//   Images in a directory named MENU right under DIR are menu images (menu backgrounds), not playlist items.
//   Symbolic links are not followed.
// - File types: audio 1 MP3, 2 WMA, 3 WAV; images 1 JPEG, 2 PNG, 3 BMP; video 1 WMV, 2 AVI, 3 MPEG, 4 MP4.
//   Technical data read from the file where that is cheap (WAV fmt chunk, the first MPEG audio frame header,
//   JPEG/PNG/BMP dimensions), else 0. Bit rates in bit/s, durations in milliseconds.
// - One playlist file per directory holding audio, images or video, in walk order, all in DIR's root. Its
//   groups: the audio and images (type 3 when both, 0 or 2 when one), then the videos (type 1), at most 255
//   files per group; group numbers run across the disc from 1. Summary types: the group type when all the
//   playlist's groups share it, else 4.
// - MENU.LMX mirrors the tree: a directory's menu lists its own playlist and, per subdirectory with media,
//   that playlist alone or, for a subdirectory holding several, a sub-menu. Backgrounds: the first menu
//   image.
// - TEXT.LMX: the disc name, Text1 of every content (the directory's name for a playlist, the file name for
//   a file), one group text per group.
// - LSN.LMX: one entry per CID. Sectors are only known once the tree is mastered, so the first run writes 0
//   with each file's size; --lsn then takes them from the image (read with our own disc engine). The file
//   keeps its size, so mastering DIR again places every file where it was.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "appmodel/app_modules.h"
#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"
#include "navigation/nav_writer.h"
#include "platform/aspi32/drive_setup.h"
#include "report/disc_text.h"

namespace fs = std::filesystem;

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr uint32_t kDefaultLcid = 0x0411; // Japanese
constexpr uint32_t kImageDuration = 5000; // ms an image of a playlist is shown
constexpr size_t kGroupFiles = 255;       // a group part's file count is one byte
constexpr uint8_t kSummaryMixed = 4;

const char* const kUsageText =
    "usage: ckvd-mknav [--name NAME] [--lcid N] DIR\n"
    "       ckvd-mknav --lsn IMAGE [--session N] [--lcid N] DIR\n"
    "Writes the navigation files CONTENTS.LMX, MENU.LMX, TEXT.LMX, PLAY0001.LMX ... and LSN.LMX into DIR,\n"
    "describing the media files of the tree (audio mp3 wma wav, image jpg jpeg png bmp, video wmv avi mpg\n"
    "mpeg mp4; images in DIR/MENU are menu images). LSN.LMX gets sector 0 for every file until --lsn reads\n"
    "the sectors from IMAGE (.iso, .cue, .ccd), a disc mastered from DIR: its last session, or session N.\n"
    "Mastering DIR again then keeps every file where it was.\n"
    "  --name NAME  the disc name in TEXT.LMX and MENU.LMX (default: DIR's name)\n"
    "  --lcid N     the language code written in the files (default 1041, Japanese)\n";

int usage() {
    std::fputs(kUsageText, stderr);
    return kExitUsage;
}

int fail(const std::string& why) {
    std::fprintf(stderr, "ckvd-mknav: %s\n", why.c_str());
    return kExitFailure;
}

enum class Kind { None, Audio, Image, Video };

struct KindOf {
    Kind kind;
    uint16_t fileType;
};

KindOf Classify(const fs::path& p) {
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    static const std::map<std::string, KindOf> kinds = {
        {".mp3", {Kind::Audio, 1}}, {".wma", {Kind::Audio, 2}},  {".wav", {Kind::Audio, 3}},
        {".jpg", {Kind::Image, 1}}, {".jpeg", {Kind::Image, 1}}, {".png", {Kind::Image, 2}},
        {".bmp", {Kind::Image, 3}}, {".wmv", {Kind::Video, 1}},  {".avi", {Kind::Video, 2}},
        {".mpg", {Kind::Video, 3}}, {".mpeg", {Kind::Video, 3}}, {".mp4", {Kind::Video, 4}}};
    auto it = kinds.find(ext);
    return it == kinds.end() ? KindOf{Kind::None, 0} : it->second;
}

// ---- Technical data of local files -------------------------------------------------------------------

// Up to `n` bytes of `in` at `offset`; fewer at the end of the file.
std::vector<uint8_t> ReadAt(std::ifstream& in, uint64_t offset, size_t n) {
    std::vector<uint8_t> b(n);
    in.clear();
    in.seekg(std::streamoff(offset));
    if (!in)
        return {};
    in.read(reinterpret_cast<char*>(b.data()), std::streamsize(n));
    b.resize(size_t(in.gcount()));
    return b;
}

uint32_t Le(const uint8_t* p, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}

uint32_t Be(const uint8_t* p, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i)
        v = v << 8 | p[i];
    return v;
}

uint16_t Fit16(uint64_t v) {
    return v <= 0xFFFF ? uint16_t(v) : 0; // a size the field cannot hold is given as unknown
}

uint32_t Fit32(uint64_t v) {
    return v <= 0xFFFFFFFF ? uint32_t(v) : 0;
}

// RIFF WAVE: the fmt chunk's channels, rate, byte rate and sample size; the data chunk's length.
void WavInfo(std::ifstream& in, uint64_t size, NavMediaFile& f) {
    std::vector<uint8_t> h = ReadAt(in, 0, 12);
    if (h.size() < 12 || std::memcmp(h.data(), "RIFF", 4) || std::memcmp(h.data() + 8, "WAVE", 4))
        return;
    uint64_t byteRate = 0, data = 0;
    bool haveData = false;
    for (uint64_t pos = 12; pos + 8 <= size;) {
        std::vector<uint8_t> c = ReadAt(in, pos, 8);
        if (c.size() < 8)
            break;
        const uint32_t length = Le(c.data() + 4, 4);
        if (!std::memcmp(c.data(), "fmt ", 4) && length >= 16) {
            std::vector<uint8_t> fmt = ReadAt(in, pos + 8, 16);
            if (fmt.size() < 16)
                break;
            f.channels = uint8_t(std::min<uint32_t>(Le(fmt.data() + 2, 2), 0xFF));
            f.samplingFrequency = Le(fmt.data() + 4, 4);
            byteRate = Le(fmt.data() + 8, 4);
            f.sampleSize = uint8_t(std::min<uint32_t>(Le(fmt.data() + 14, 2), 0xFF));
            f.averageBitRate = f.fileBitRate = Fit32(byteRate * 8);
        } else if (!std::memcmp(c.data(), "data", 4)) {
            data = std::min<uint64_t>(length, size - pos - 8); // a cut file holds less than it says
            haveData = true;
        }
        pos += 8 + uint64_t(length) + (length & 1);
    }
    if (haveData && byteRate)
        f.duration = Fit32(data * 1000 / byteRate);
}

// MPEG audio: the first frame header after an ID3v2 tag gives bit rate, sampling rate and channels; the
// duration is that of a constant bit rate over the frames' bytes.
void Mp3Info(std::ifstream& in, uint64_t size, NavMediaFile& f) {
    uint64_t start = 0;
    std::vector<uint8_t> id3 = ReadAt(in, 0, 10);
    if (id3.size() == 10 && !std::memcmp(id3.data(), "ID3", 3))
        start = 10 +
                (uint64_t(id3[6] & 0x7F) << 21 | uint64_t(id3[7] & 0x7F) << 14 |
                 uint64_t(id3[8] & 0x7F) << 7 | uint64_t(id3[9] & 0x7F)) +
                ((id3[5] & 0x10) ? 10 : 0);
    std::vector<uint8_t> b = ReadAt(in, start, 64 * 1024);
    static const uint16_t kRates[5][14] = {
        {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448}, // MPEG-1 layer I
        {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},    // MPEG-1 layer II
        {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},     // MPEG-1 layer III
        {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},    // MPEG-2/2.5 layer I
        {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};        // MPEG-2/2.5 layers II, III
    static const uint32_t kSampling[3][3] = {
        {44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
    for (size_t i = 0; i + 4 <= b.size(); ++i) {
        if (b[i] != 0xFF || (b[i + 1] & 0xE0) != 0xE0)
            continue;
        const unsigned version = (b[i + 1] >> 3) & 3; // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
        const unsigned layer = (b[i + 1] >> 1) & 3;   // 3 layer I, 2 layer II, 1 layer III
        const unsigned rateIndex = b[i + 2] >> 4, samplingIndex = (b[i + 2] >> 2) & 3;
        if (version == 1 || layer == 0 || rateIndex == 0 || rateIndex == 15 || samplingIndex == 3)
            continue;
        const unsigned row = version == 3 ? 3 - layer : (layer == 3 ? 3 : 4);
        const uint32_t bitRate = kRates[row][rateIndex - 1] * 1000u;
        f.averageBitRate = f.fileBitRate = bitRate;
        f.samplingFrequency = kSampling[version == 3 ? 0 : version == 2 ? 1 : 2][samplingIndex];
        f.channels = (b[i + 3] >> 6) == 3 ? 1 : 2;
        uint64_t frames = size - start - i;
        std::vector<uint8_t> tag = size >= 128 ? ReadAt(in, size - 128, 3) : std::vector<uint8_t>{};
        if (tag.size() == 3 && !std::memcmp(tag.data(), "TAG", 3) && frames >= 128)
            frames -= 128;
        f.duration = Fit32(frames * 8000 / bitRate);
        return;
    }
}

// Width and height of a JPEG (its first start-of-frame segment), PNG (IHDR) or BMP (the info header).
void ImageInfo(std::ifstream& in, uint64_t size, uint16_t fileType, NavMediaFile& f) {
    uint64_t width = 0, height = 0;
    if (fileType == 1) {
        std::vector<uint8_t> soi = ReadAt(in, 0, 2);
        if (soi.size() < 2 || soi[0] != 0xFF || soi[1] != 0xD8)
            return;
        for (uint64_t pos = 2; pos + 4 <= size;) {
            std::vector<uint8_t> m = ReadAt(in, pos, 9);
            if (m.size() < 4 || m[0] != 0xFF)
                return;
            const uint8_t marker = m[1];
            if (marker == 0xFF) { // fill byte
                ++pos;
                continue;
            }
            if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) { // no length
                pos += 2;
                continue;
            }
            if (marker == 0xD9 || marker == 0xDA) // end of image, start of scan: no frame header before
                return;
            const bool frame =
                marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
            if (frame) {
                if (m.size() < 9)
                    return;
                height = Be(m.data() + 5, 2);
                width = Be(m.data() + 7, 2);
                break;
            }
            pos += 2 + Be(m.data() + 2, 2);
        }
    } else if (fileType == 2) {
        std::vector<uint8_t> h = ReadAt(in, 0, 24);
        static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
        if (h.size() < 24 || std::memcmp(h.data(), kSignature, 8) || std::memcmp(h.data() + 12, "IHDR", 4))
            return;
        width = Be(h.data() + 16, 4);
        height = Be(h.data() + 20, 4);
    } else if (fileType == 3) {
        std::vector<uint8_t> h = ReadAt(in, 0, 26);
        if (h.size() < 26 || h[0] != 'B' || h[1] != 'M')
            return;
        if (Le(h.data() + 14, 4) == 12) { // the OS/2 header: 16-bit sizes
            width = Le(h.data() + 18, 2);
            height = Le(h.data() + 20, 2);
        } else {
            const int32_t w = int32_t(Le(h.data() + 18, 4)), ht = int32_t(Le(h.data() + 22, 4));
            width = w < 0 ? 0 : uint64_t(w);
            height = ht < 0 ? uint64_t(-int64_t(ht)) : uint64_t(ht); // negative: stored top down
        }
    }
    f.horizontalSize = Fit16(width);
    f.verticalSize = Fit16(height);
}

// ---- The tree ----------------------------------------------------------------------------------------

struct Media {
    std::string path; // from DIR, "/"-separated, UTF-8 as the file system has it
    uint64_t size = 0;
    uint32_t cid = 0;
    NavMediaFile info;
};

struct Directory {
    std::string path; // "" for DIR itself
    std::string name;
    uint32_t number = 0;
    uint32_t parent = 0;
    std::vector<size_t> children;              // indexes of subdirectories
    std::vector<size_t> audio, images, videos; // indexes into the tree's lists
    int playlist = -1;                         // index of its playlist
    size_t playlistsBelow = 0;                 // its own and its subdirectories'
};

struct Tree {
    std::vector<Directory> dirs;
    std::vector<Media> audio, menuImages, images, videos;
};

// Walks `abs` (directory `index` of the tree): files first, then subdirectories, each in name order.
bool Walk(Tree& tree, const fs::path& abs, size_t index, std::string& error) {
    std::error_code ec;
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(abs, ec), end; !ec && it != end; it.increment(ec))
        entries.push_back(*it);
    if (ec) {
        error = abs.string() + ": " + ec.message();
        return false;
    }
    std::sort(entries.begin(), entries.end(), [](const fs::directory_entry& a, const fs::directory_entry& b) {
        return a.path().filename().string() < b.path().filename().string();
    });
    const bool menuDir = tree.dirs[index].number != 1 && tree.dirs[index].parent == 1 && [&] {
        std::string n = tree.dirs[index].name;
        std::transform(n.begin(), n.end(), n.begin(), [](unsigned char c) { return char(std::toupper(c)); });
        return n == "MENU";
    }();
    std::vector<fs::directory_entry> subdirs;
    for (const fs::directory_entry& e : entries) {
        const fs::file_status st = e.symlink_status(ec);
        if (ec) {
            error = e.path().string() + ": " + ec.message();
            return false;
        }
        if (fs::is_directory(st)) {
            subdirs.push_back(e);
            continue;
        }
        const KindOf k = Classify(e.path());
        if (!fs::is_regular_file(st) || k.kind == Kind::None)
            continue;
        Media m;
        const std::string name = e.path().filename().string();
        m.path = tree.dirs[index].path + "/" + name;
        m.size = fs::file_size(e.path(), ec);
        if (ec) {
            error = e.path().string() + ": " + ec.message();
            return false;
        }
        if (m.size > 0xFFFFFFFF) {
            error = e.path().string() + ": larger than 4 GiB, which a sector table entry cannot give";
            return false;
        }
        m.info.directory = tree.dirs[index].number;
        m.info.name = name;
        m.info.fileType = k.fileType;
        std::ifstream in(e.path(), std::ios::binary);
        if (!in) {
            error = e.path().string() + ": " + std::strerror(errno);
            return false;
        }
        std::vector<Media>* list = nullptr;
        std::vector<size_t>* own = nullptr;
        if (k.kind == Kind::Audio) {
            if (k.fileType == 1)
                Mp3Info(in, m.size, m.info);
            else if (k.fileType == 3)
                WavInfo(in, m.size, m.info);
            list = &tree.audio;
            own = &tree.dirs[index].audio;
        } else if (k.kind == Kind::Image) {
            ImageInfo(in, m.size, k.fileType, m.info);
            list = menuDir ? &tree.menuImages : &tree.images;
            own = menuDir ? nullptr : &tree.dirs[index].images;
        } else {
            list = &tree.videos;
            own = &tree.dirs[index].videos;
        }
        if (own)
            own->push_back(list->size());
        list->push_back(std::move(m));
    }
    for (const fs::directory_entry& e : subdirs) {
        Directory d;
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

// ---- The navigation files ----------------------------------------------------------------------------

struct NavSet {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files; // name in DIR's root, bytes
    std::vector<std::string> cidPaths;                               // path from DIR of the file of CID n+1
    std::vector<uint64_t> cidSizes;
};

std::string PlaylistName(size_t index) {
    char name[32];
    std::snprintf(name, sizeof name, "PLAY%04zu.LMX", index + 1);
    return name;
}

uint8_t Summary(const std::vector<NavGroup>& groups) {
    for (const NavGroup& g : groups)
        if (g.type != groups.front().type)
            return kSummaryMixed;
    return groups.empty() ? kSummaryMixed : groups.front().type;
}

// The playlist items of directory `index` for its menu: its own playlist, then per subdirectory with media
// its playlist or a sub-menu.
std::vector<NavMenuEntry> MenuItems(const Tree& tree, const std::vector<NavPlaylist>& playlists, size_t index,
                                    const std::string& ownName, const NavMenu& style) {
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
        const Directory& c = tree.dirs[child];
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

bool Build(const fs::path& root, const std::string& discName, uint32_t lcid, NavSet& set,
           std::string& error) {
    Tree tree;
    tree.dirs.push_back(Directory{"", "", 1, 0, {}, {}, {}, {}, -1, 0});
    if (!Walk(tree, root, 0, error))
        return false;

    // CIDs: playlists (one per directory with playlist media, in walk order), audio, menu images, images,
    // videos.
    size_t playlistCount = 0;
    for (Directory& d : tree.dirs)
        if (!d.audio.empty() || !d.images.empty() || !d.videos.empty())
            d.playlist = int(playlistCount++);
    uint32_t cid = uint32_t(playlistCount);
    for (std::vector<Media>* list : {&tree.audio, &tree.menuImages, &tree.images, &tree.videos})
        for (Media& m : *list)
            m.cid = ++cid;
    for (size_t i = tree.dirs.size(); i-- > 0;) // children come after their parents
        tree.dirs[i].playlistsBelow = (tree.dirs[i].playlist >= 0 ? 1 : 0) + [&] {
            size_t n = 0;
            for (size_t c : tree.dirs[i].children)
                n += tree.dirs[c].playlistsBelow;
            return n;
        }();
    const auto displayName = [&](const Directory& d) { return d.number == 1 ? discName : d.name; };

    NavContents contents;
    NavTextFile text;
    text.lcid = lcid;
    text.discName = discName;
    contents.lcids.push_back({lcid, 0});
    for (const Directory& d : tree.dirs)
        contents.directories.push_back({d.parent, d.name});

    std::vector<NavPlaylist> playlists;
    uint32_t groupNumber = 0;
    for (const Directory& d : tree.dirs) {
        if (d.playlist < 0)
            continue;
        NavPlaylist p;
        const auto fileRef = [](const Media& m) { return NavFileRef{m.cid, 0, m.info.duration, 0, m.size}; };
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
            p.groups.push_back(std::move(g));
        }
        for (size_t k = 0; k * kGroupFiles < d.videos.size(); ++k) {
            NavGroup g;
            g.type = NAV_GROUP_VIDEO;
            for (size_t i = k * kGroupFiles; i < std::min(d.videos.size(), (k + 1) * kGroupFiles); ++i)
                g.files.push_back(fileRef(tree.videos[d.videos[i]]));
            p.groups.push_back(std::move(g));
        }
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
    if (playlists.size() > 9999) {
        error = "more than 9999 directories hold media: the playlist files are named PLAY0001.LMX to "
                "PLAY9999.LMX";
        return false;
    }

    set = {};
    for (size_t i = 0; i < playlists.size(); ++i) {
        NavBytes b = Nav_WritePlaylist(playlists[i]);
        if (!b.ok()) {
            error = PlaylistName(i) + ": " + b.error;
            return false;
        }
        set.cidPaths.push_back("/" + PlaylistName(i));
        set.cidSizes.push_back(b.bytes.size());
        set.files.emplace_back(PlaylistName(i), std::move(b.bytes));
    }
    const std::pair<std::vector<Media>*, std::vector<NavMediaFile>*> tables[] = {
        {&tree.audio, &contents.audio},
        {&tree.menuImages, &contents.menuImages},
        {&tree.images, &contents.images},
        {&tree.videos, &contents.videos}};
    for (const auto& [list, table] : tables) {
        for (const Media& m : *list) {
            table->push_back(m.info);
            text.contents.push_back({m.cid, m.info.name, {}, {}});
            set.cidPaths.push_back(m.path);
            set.cidSizes.push_back(m.size);
        }
    }

    NavMenuFile menu;
    menu.lcid = lcid;
    menu.title = discName;
    NavMenu style;
    style.backgroundImage43 = style.backgroundImage169 = tree.menuImages.empty() ? 0 : tree.menuImages[0].cid;
    style.textColor = 0x00FFFFFF;
    menu.root = style;
    menu.root.subtitle = discName;
    menu.root.items = MenuItems(tree, playlists, 0, discName, style);

    NavLsnFile lsn;
    for (uint64_t size : set.cidSizes)
        lsn.entries.push_back({0, uint32_t(size)});

    for (auto [name, bytes] :
         {std::pair{"CONTENTS.LMX", Nav_WriteContents(contents)}, std::pair{"MENU.LMX", Nav_WriteMenu(menu)},
          std::pair{"TEXT.LMX", Nav_WriteText(text)}, std::pair{"LSN.LMX", Nav_WriteLsn(lsn)}}) {
        if (!bytes.ok()) {
            error = bytes.error;
            return false;
        }
        set.files.emplace_back(name, std::move(bytes.bytes));
    }
    return true;
}

// ---- Writing -----------------------------------------------------------------------------------------

// Writes every file to a temporary name first and renames them only when all were written, so that a failure
// leaves the directory's navigation files as they were.
bool WriteAll(const fs::path& dir, const std::vector<std::pair<std::string, std::vector<uint8_t>>>& files,
              std::string& error) {
    std::vector<fs::path> temps;
    const auto discard = [&] {
        std::error_code ec;
        for (const fs::path& t : temps)
            fs::remove(t, ec);
    };
    for (const auto& [name, bytes] : files) {
        fs::path temp = dir / (name + ".ckvd-mknav.tmp");
        temps.push_back(temp);
        FILE* f = std::fopen(temp.c_str(), "wb");
        bool written = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        const int saved = errno;
        if (f && std::fclose(f) != 0)
            written = false;
        if (!written) {
            error = "cannot write " + temp.string() + ": " + std::strerror(f ? errno : saved);
            discard();
            return false;
        }
    }
    for (size_t i = 0; i < files.size(); ++i) {
        std::error_code ec;
        fs::rename(temps[i], dir / files[i].first, ec);
        if (ec) {
            error = "cannot rename " + temps[i].string() + ": " + ec.message();
            discard();
            return false;
        }
    }
    return true;
}

// Playlist files of an earlier run that this one does not write again would be taken for playlists.
bool RemoveStalePlaylists(const fs::path& dir, const NavSet& set, std::string& error) {
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() != 12 || name.compare(0, 4, "PLAY") || name.compare(8, 4, ".LMX") ||
            !std::all_of(name.begin() + 4, name.begin() + 8, [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        if (std::none_of(set.files.begin(), set.files.end(),
                         [&](const auto& f) { return f.first == name; })) {
            std::error_code rm;
            if (!fs::remove(it->path(), rm) && rm) {
                error = "cannot remove the old " + it->path().string() + ": " + rm.message();
                return false;
            }
        }
    }
    if (ec) {
        error = dir.string() + ": " + ec.message();
        return false;
    }
    return true;
}

// ---- Sectors from a mastered image -------------------------------------------------------------------

std::string Code(const char* what, int code) {
    char text[160];
    std::snprintf(text, sizeof text, "%s Code %04X", what, unsigned(code));
    return text;
}

// Loads the disc image into an image drive and analyses it, as `ckvd ls` does.
bool LoadImage(const std::string& image, std::string& error) {
    if (!ckvd::aspi32::SetupDrives({image}, &error))
        return false;
    int rc = 1;
    const int found = Aspi_FindDevice(image.c_str(), &rc);
    if (rc != 1) {
        error = Code("Scan Device Error", rc);
        return false;
    }
    if (found >= 0) {
        const auto index = static_cast<uint16_t>(found);
        AspiStartHooks hooks;
        hooks.spinUpFailed = [](int code) {
            std::fprintf(stderr, "ckvd-mknav: %s\n", Code("SpinUp Error", code).c_str());
        };
        if ((rc = Aspi_StartDevice(index, hooks).ready) != 1) {
            error = Code("Drive Not Ready", rc);
            return false;
        }
        if ((rc = Iso_AnalyzeDisc(index)) != 1) {
            error = image + ": " + Code("ISO9660 FileSystem Analyze Error", rc);
            return false;
        }
        return true;
    }
    error = image + ": no image drive serves it";
    return false;
}

// The entry at `path` (from the session's root, UTF-8) in `tree`. Names compare as the disc model holds them
// (Shift-JIS, "?" for a character without a code), a version suffix ";N" left out; two entries that would
// both match are an error, not a guess.
const FileEntry* FindEntry(const SessionTree& tree, const std::string& path, std::string& error) {
    const FileEntry* dir = tree.root;
    size_t start = 1;
    while (dir) {
        const size_t slash = path.find('/', start);
        const std::string part =
            path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        const std::string wanted = Report_Utf8ToSjis(part);
        const FileEntry* found = nullptr;
        for (const FileEntry* e = dir->firstChild; e; e = e->nextSibling) {
            std::string name = e->name;
            const size_t semicolon = name.rfind(';');
            if (semicolon != std::string::npos && semicolon + 1 < name.size() &&
                std::all_of(name.begin() + long(semicolon) + 1, name.end(),
                            [](char c) { return c >= '0' && c <= '9'; }))
                name.resize(semicolon);
            if (name != wanted)
                continue;
            if (found) {
                error = path + ": two entries of the image match \"" + part + "\"";
                return nullptr;
            }
            found = e;
        }
        if (!found || slash == std::string::npos) {
            if (!found)
                error = path + " is not in the image's session";
            else if (found->type != 'F')
                error = path + " is a directory in the image";
            return found && found->type == 'F' ? found : nullptr;
        }
        dir = found->type == 'F' ? nullptr : found;
        start = slash + 1;
    }
    error = path + " is not in the image's session";
    return nullptr;
}

bool ReadFile(const fs::path& p, std::vector<uint8_t>& bytes) {
    std::ifstream in(p, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), {});
    return !in.bad();
}

int Lsn(const fs::path& dir, const std::string& image, int session, uint32_t lcid) {
    NavSet set;
    std::string error;
    if (!Build(dir, "", lcid, set, error))
        return fail(error);
    // The image must be mastered from the tree the navigation files describe: CONTENTS.LMX as this run
    // would write it names every file in CID order.
    std::vector<uint8_t> present;
    const auto contents = std::find_if(set.files.begin(), set.files.end(),
                                       [](const auto& f) { return f.first == "CONTENTS.LMX"; });
    if (!ReadFile(dir / "CONTENTS.LMX", present))
        return fail((dir / "CONTENTS.LMX").string() + ": cannot read it (run ckvd-mknav DIR first)");
    if (present != contents->second)
        return fail(
            (dir / "CONTENTS.LMX").string() +
            " does not describe the files of the directory as they are now (run ckvd-mknav DIR again, "
            "with the same --lcid, and master the image again)");

    EngineSession engine;
    if (engine.failed)
        return fail(Code(engine.failed, engine.result));
    if (!LoadImage(image, error))
        return fail(error);
    std::vector<const SessionTree*> trees;
    for (const SessionTree* t = g_DiscModel ? g_DiscModel->firstTree : nullptr; t; t = t->next)
        trees.push_back(t);
    if (trees.empty() || session > int(trees.size()))
        return fail(image + ": the disc has " + std::to_string(trees.size()) + " session(s)");
    const SessionTree& tree = *trees[session > 0 ? size_t(session - 1) : trees.size() - 1];

    NavLsnFile lsn;
    for (size_t i = 0; i < set.cidPaths.size(); ++i) {
        const FileEntry* e = FindEntry(tree, set.cidPaths[i], error);
        if (!e)
            return fail(image + ": " + error);
        if (e->size != set.cidSizes[i])
            return fail(image + ": " + set.cidPaths[i] + " has " + std::to_string(e->size) +
                        " bytes there but " + std::to_string(set.cidSizes[i]) + " in " + dir.string());
        lsn.entries.push_back({e->lbn, e->size});
    }
    NavBytes bytes = Nav_WriteLsn(lsn);
    if (!bytes.ok())
        return fail(bytes.error);
    if (!WriteAll(dir, {{"LSN.LMX", std::move(bytes.bytes)}}, error))
        return fail(error);
    return 0;
}

bool ParseNumber(const char* text, unsigned long max, unsigned long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtoul(text, &end, 0);
    return *text && end && !*end && errno == 0 && value <= max && text[0] != '-';
}

} // namespace

int main(int argc, char** argv) {
    std::string name, image, dirArg;
    bool haveName = false, lsn = false;
    unsigned long lcid = kDefaultLcid, session = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsageText, stdout);
            return 0;
        }
        if (a == "--name" && i + 1 < argc) {
            name = argv[++i];
            haveName = true;
        } else if (a == "--lcid" && i + 1 < argc) {
            if (!ParseNumber(argv[++i], 0xFFFFFFFF, lcid))
                return usage();
        } else if (a == "--lsn" && i + 1 < argc) {
            image = argv[++i];
            lsn = true;
        } else if (a == "--session" && i + 1 < argc) {
            if (!ParseNumber(argv[++i], 255, session) || session == 0)
                return usage();
        } else if (dirArg.empty() && !a.empty() && a[0] != '-') {
            dirArg = a;
        } else {
            return usage();
        }
    }
    if (dirArg.empty() || (lsn && haveName) || (!lsn && session))
        return usage();
    std::error_code ec;
    if (!fs::is_directory(dirArg, ec))
        return fail(dirArg + ": not a directory");
    const fs::path dir(dirArg);
    if (lsn)
        return Lsn(dir, image, int(session), uint32_t(lcid));

    if (!haveName) {
        name = fs::absolute(dir, ec).lexically_normal().filename().string();
        if (name.empty()) // "dir/" ends in an empty name
            name = fs::absolute(dir, ec).lexically_normal().parent_path().filename().string();
    }
    NavSet set;
    std::string error;
    if (!Build(dir, name, uint32_t(lcid), set, error) || !WriteAll(dir, set.files, error) ||
        !RemoveStalePlaylists(dir, set, error))
        return fail(error);
    return 0;
}
