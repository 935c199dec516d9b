#include "navigation/nav_writer.h"

#include "iso9660/iso9660.h"
#include "navigation/lmx_layout.h"

#include <cstdio>
#include <limits>

namespace {

std::string Hex(uint32_t v, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, unsigned(v));
    return text;
}

// A file being laid out: little-endian fields appended or patched at any offset, and the first error met.
class Out {
  public:
    explicit Out(const char* file) : file_(file) {}

    size_t Size() const { return bytes_.size(); }
    bool Failed() const { return !error_.empty(); }
    // The fields are appended in file order; this holds the writer to the layout the viewers read.
    void At(size_t offset) {
        if (bytes_.size() != offset)
            Fail("internal layout error at offset " + std::to_string(offset));
    }

    void U8(uint8_t v) { bytes_.push_back(v); }
    void U16(uint16_t v) { Le(v, 2); }
    void U32(uint32_t v) { Le(v, 4); }
    void U64(uint64_t v) { Le(v, 8); }
    void Zeros(size_t n) { bytes_.insert(bytes_.end(), n, 0); }

    // A count or length that must fit its field: a larger one fails the file rather than being cut.
    void Count16(size_t v, const std::string& what) {
        if (v > 0xFFFF)
            Fail(what + " (" + std::to_string(v) + ") does not fit in 2 bytes");
        U16(uint16_t(v));
    }
    void Count8(size_t v, const std::string& what) {
        if (v > 0xFF)
            Fail(what + " (" + std::to_string(v) + ") does not fit in 1 byte");
        U8(uint8_t(v));
    }
    void Count32(size_t v, const std::string& what) {
        if (v > 0xFFFFFFFF)
            Fail(what + " does not fit in 4 bytes");
        U32(uint32_t(v));
    }

    void Patch16(size_t at, size_t v, const std::string& what) {
        if (v > 0xFFFF)
            Fail(what + " (" + std::to_string(v) + ") does not fit in 2 bytes");
        Put(at, v, 2);
    }
    void Patch32(size_t at, size_t v) { Put(at, v, 4); } // every offset is checked with the file's size

    // Identifier (zero-padded to 8 characters) and version.
    void Header(const NavFileHeader& h) {
        if (h.identifier.size() > 8)
            Fail("the identifier \"" + h.identifier + "\" is longer than 8 characters");
        for (size_t i = 0; i < 8; ++i)
            U8(i < h.identifier.size() ? uint8_t(h.identifier[i]) : 0);
        U16(h.version);
    }

    // A CONTENTS.LMX name: count of characters, then the characters high byte first.
    void CharCountText(const std::string& utf8, const std::string& what) {
        std::u16string s = Ucs2(utf8, what);
        Count16(s.size(), "the length of " + what);
        for (char16_t c : s) {
            U8(uint8_t(c >> 8));
            U8(uint8_t(c));
        }
    }

    // A MENU.LMX or TEXT.LMX text: count of bytes, the characters low byte first, a zero character.
    void ByteCountText(const std::string& utf8, const std::string& what) {
        std::u16string s = Ucs2(utf8, what);
        Count16(s.size() * 2, "the length in bytes of " + what);
        for (char16_t c : s)
            U16(uint16_t(c));
        U16(0);
    }

    void Fail(const std::string& why) {
        if (error_.empty())
            error_ = std::string(file_) + ": " + why;
    }

    // The finished file: every offset in it is below its size, so a size that fits 4 bytes fits them all.
    NavBytes Finish(size_t sizeField) {
        if (bytes_.size() > 0xFFFFFFFF)
            Fail("the file would be larger than 4 GiB");
        if (Failed())
            return {{}, error_};
        Put(sizeField, bytes_.size(), 4);
        return {std::move(bytes_), {}};
    }

  private:
    void Le(uint64_t v, size_t width) {
        for (size_t i = 0; i < width; ++i)
            bytes_.push_back(uint8_t(v >> (8 * i)));
    }
    void Put(size_t at, uint64_t v, size_t width) {
        for (size_t i = 0; i < width; ++i)
            bytes_[at + i] = uint8_t(v >> (8 * i));
    }
    std::u16string Ucs2(const std::string& utf8, const std::string& what) {
        std::u16string s;
        std::string why;
        if (!Nav_Utf8ToUcs2(utf8, s, why))
            Fail(what + ": " + why);
        return s;
    }

    const char* file_;
    std::vector<uint8_t> bytes_;
    std::string error_;
};

// Writes the table of `files` at the current position, each entry `step` bytes with its name offset first;
// records where each name offset goes.
void FileTable(Out& out, const std::vector<NavMediaFile>& files, uint16_t step,
               std::vector<size_t>& nameFields) {
    for (const NavMediaFile& f : files) {
        const size_t start = out.Size();
        nameFields.push_back(start);
        out.U32(0);
        out.U16(f.fileType);
        out.U16(f.specialFlags);
        if (step == NAV_AUDIO_ENTRY || step == NAV_VIDEO_ENTRY) {
            out.U8(f.channels);
            out.U8(f.sampleSize);
            out.U32(f.averageBitRate);
            out.U32(f.fileBitRate);
            out.U32(f.duration);
            out.U32(f.samplingFrequency);
            out.U16(f.trackNumber);
            out.U32(f.thumbnailId);
        }
        if (step == NAV_VIDEO_ENTRY) {
            out.U32(f.videoAverageBitRate);
            out.U16(f.videoVerticalSize);
            out.U16(f.videoHorizontalSize);
            out.U32(f.frameRate);
        }
        if (step == NAV_IMAGE_ENTRY) {
            out.U32(f.thumbnailId);
            out.U16(f.verticalSize);
            out.U16(f.horizontalSize);
        }
        out.Zeros(start + step - out.Size());
    }
}

// The menu at the current position, then the menus its items lead to; returns the menu's offset.
size_t WriteMenu(Out& out, const NavMenu& menu, size_t parent, const std::string& path) {
    const size_t at = out.Size();
    out.U32(0); // the header's size: its fields and subtitle
    out.U32(uint32_t(parent));
    out.U32(menu.backgroundImage43);
    out.U32(menu.backgroundImage169);
    out.U32(menu.backgroundColor);
    out.U32(menu.textColor);
    out.Count16(menu.items.size(), "the number of items of menu " + path);
    out.ByteCountText(menu.subtitle, "the subtitle of menu " + path);
    out.Patch32(at, out.Size() - at);

    std::vector<std::pair<size_t, const NavMenu*>> links;
    for (size_t i = 0; i < menu.items.size(); ++i) {
        const NavMenuEntry& item = menu.items[i];
        const std::string name = "item " + std::to_string(i + 1) + " of menu " + path;
        out.U8(item.type);
        if (item.type != 1 && item.type != 2)
            continue;
        out.U8(item.summaryType);
        out.U32(item.thumbnailId);
        out.U32(item.selectedThumbnailId);
        if (item.type == 1) {
            if (item.subMenu.size() > 1)
                out.Fail(name + " leads to more than one menu");
            if (!item.subMenu.empty())
                links.emplace_back(out.Size(), &item.subMenu.front());
            out.U32(item.menuOffset);
        } else {
            out.U32(item.playlistId);
            out.U32(item.startingGroup);
            out.U32(item.startingFile);
        }
        out.ByteCountText(item.name, "the name of " + name);
    }
    for (size_t i = 0; i < links.size(); ++i)
        out.Patch32(links[i].first, WriteMenu(out, *links[i].second, at, path + "." + std::to_string(i + 1)));
    return at;
}

void FileRefs(Out& out, const std::vector<NavFileRef>& files, const std::string& what) {
    out.Count8(files.size(), what);
    out.Zeros(3);
    for (const NavFileRef& f : files) {
        out.U32(f.fileId);
        out.U32(f.startPoint);
        out.U32(f.endPoint);
        out.U64(f.startOffset);
        out.U64(f.endOffset);
    }
}

void ImagePart(Out& out, const NavGroup& g, const std::string& what) {
    out.Count8(g.images.size(), what);
    out.Zeros(3);
    out.U8(g.initialTransition);
    out.U8(0);
    out.U8(g.finalTransition);
    out.U8(0);
    for (const NavImageRef& r : g.images) {
        out.U32(r.fileId);
        out.U32(r.duration);
        out.U16(r.transition);
    }
}

} // namespace

bool Nav_Utf8ToUcs2(const std::string& utf8, std::u16string& ucs2, std::string& error) {
    ucs2.clear();
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t n = utf8.size();
    for (size_t i = 0; i < n;) {
        size_t len = 0;
        const uint32_t cp = Iso_DecodeUtf8(p + i, n - i, &len);
        if (len == 0 || !Iso_IsUtf8(p + i, len)) {
            error = "\"" + utf8 + "\" is not UTF-8 (byte " + std::to_string(i) + ")";
            return false;
        }
        if (cp > 0xFFFF) {
            error = "\"" + utf8 + "\" holds U+" + Hex(cp, 4) + ", outside the Basic Multilingual Plane";
            return false;
        }
        ucs2 += char16_t(cp);
        i += len;
    }
    return true;
}

NavBytes Nav_WriteContents(const NavContents& c) {
    Out out("CONTENTS.LMX");
    out.Header(c.header);
    out.U64(c.generation);
    out.U32(0); // size
    const auto count = [&](size_t n, const char* what) {
        out.Count32(n, std::string("the number of ") + what);
    };
    // Table offsets follow from the counts: header, LCID entries, then the tables in this order.
    using namespace lmx::contents;
    size_t at = kLcidEntries + kLcidEntry * c.lcids.size();
    out.At(kDirectoryCount);
    count(c.directories.size(), "directories");
    out.Count32(at, "the directory table's offset");
    at += 8 * c.directories.size();
    count(c.playlists.size(), "playlist files");
    out.U16(c.playlistEntrySize);
    out.Count32(at, "the playlist table's offset");
    at += NAV_PLAYLIST_ENTRY * c.playlists.size();
    const std::pair<const std::vector<NavMediaFile>*, uint16_t> tables[] = {
        {&c.audio, c.audioEntrySize},
        {&c.menuImages, c.menuImageEntrySize},
        {&c.images, c.imageEntrySize},
        {&c.videos, c.videoEntrySize}};
    const uint16_t steps[] = {NAV_AUDIO_ENTRY, NAV_MENU_IMAGE_ENTRY, NAV_IMAGE_ENTRY, NAV_VIDEO_ENTRY};
    for (size_t t = 0; t < 4; ++t) {
        out.At(kFileTables + t * kFileTableStride);
        count(tables[t].first->size(), "files of a table");
        out.U16(tables[t].second);
        out.Count32(at, "a file table's offset");
        at += size_t(steps[t]) * tables[t].first->size();
    }
    out.At(kLcidCount);
    out.Count16(c.lcids.size(), "the number of LCID entries");
    for (const NavLcid& l : c.lcids) {
        out.U32(l.first);
        out.U32(l.second);
    }

    std::vector<size_t> dirNameFields;
    for (const NavDirectory& d : c.directories) {
        out.U32(d.parent);
        dirNameFields.push_back(out.Size());
        out.U32(0);
    }
    for (const NavPlaylistFile& p : c.playlists) {
        out.U32(p.directory);
        out.U8(p.summaryType);
        out.U8(0);
    }
    std::vector<size_t> fileNameFields[4];
    for (size_t t = 0; t < 4; ++t)
        FileTable(out, *tables[t].first, steps[t], fileNameFields[t]);

    for (size_t i = 0; i < c.directories.size(); ++i) {
        out.Patch32(dirNameFields[i], out.Size());
        out.CharCountText(c.directories[i].name, "the name of directory " + std::to_string(i + 1));
    }
    for (size_t t = 0; t < 4; ++t) {
        for (size_t i = 0; i < tables[t].first->size(); ++i) {
            const NavMediaFile& f = (*tables[t].first)[i];
            out.Patch32(fileNameFields[t][i], out.Size());
            out.U32(f.directory);
            out.CharCountText(f.name, "the name \"" + f.name + "\"");
        }
    }
    return out.Finish(kFileSize);
}

NavBytes Nav_WriteMenu(const NavMenuFile& m) {
    Out out("MENU.LMX");
    out.Header(m.header);
    out.U32(0); // size
    out.U32(m.lcid);
    out.U16(0); // offset of the first menu
    out.At(lmx::menu::kTitle);
    out.ByteCountText(m.title, "the menu title");
    out.Patch16(lmx::menu::kFirstMenu, out.Size(), "the offset of the first menu");
    WriteMenu(out, m.root, 0, "1");
    return out.Finish(lmx::menu::kFileSize);
}

NavBytes Nav_WriteText(const NavTextFile& t) {
    Out out("TEXT.LMX");
    out.Header(t.header);
    out.U32(0); // size
    out.Count32(t.contents.size(), "the number of contents texts");
    out.Count32(t.groups.size(), "the number of group texts");
    out.Count32(t.extras.size(), "the number of extra texts");
    out.Zeros(12); // the three table offsets
    out.U32(t.lcid);
    using namespace lmx::text;
    out.At(kDiscName);
    out.ByteCountText(t.discName, "the disc name");

    // The tables, their text offsets left to patch; then the records in the same order.
    std::vector<std::pair<size_t, const std::string*>> records;
    out.Patch32(kContentsTable, out.Size());
    for (const NavContentsText& e : t.contents) {
        out.U32(e.cid);
        records.emplace_back(out.Size(), &e.text1);
        out.U32(0);
        for (const std::optional<std::string>& text : e.text2To5) {
            if (text)
                records.emplace_back(out.Size(), &*text);
            out.U32(0);
        }
        if (e.extra)
            records.emplace_back(out.Size(), &*e.extra);
        out.U32(0);
    }
    out.Patch32(kGroupTable, out.Size());
    for (const NavGroupText& g : t.groups) {
        out.U32(g.group);
        records.emplace_back(out.Size(), &g.name);
        out.U32(0);
    }
    out.Patch32(kExtraTable, out.Size());
    for (const NavExtraText& e : t.extras) {
        out.U32(e.cid);
        out.Count8(e.data.size(), "the number of extra texts of contents " + std::to_string(e.cid));
        out.U8(0);
        for (const NavExtraDatum& d : e.data) {
            out.U16(d.type);
            records.emplace_back(out.Size(), &d.text);
            out.U32(0);
        }
    }
    for (const auto& [field, text] : records) {
        out.Patch32(field, out.Size());
        out.ByteCountText(*text, "the text \"" + *text + "\"");
    }
    return out.Finish(kFileSize);
}

NavBytes Nav_WritePlaylist(const NavPlaylist& p) {
    Out out("playlist");
    out.Header(p.header);
    out.U32(0); // size
    out.U8(p.summaryType);
    out.U8(p.repeatCount);
    out.U32(p.thumbnailId);
    out.Count32(p.groups.size(), "the number of groups");
    out.U16(p.specialFlags);
    out.At(lmx::playlist::kFirstGroup);
    size_t previous = 0;
    for (size_t i = 0; i < p.groups.size(); ++i) {
        const NavGroup& g = p.groups[i];
        const std::string what = "the number of files of group " + std::to_string(i + 1);
        const size_t at = out.Size();
        if (i > 0)
            out.Patch32(previous, at); // the previous group's Next
        out.U32(0);
        out.U32(uint32_t(previous));
        out.U32(g.number);
        out.U8(g.type);
        out.U8(0);
        if (g.type == NAV_GROUP_AUDIO || g.type == NAV_GROUP_VIDEO) {
            FileRefs(out, g.files, what);
        } else if (g.type == NAV_GROUP_IMAGE) {
            ImagePart(out, g, what);
        } else if (g.type == NAV_GROUP_AUDIO_IMAGE) {
            const size_t link = out.Size();
            out.U32(0);
            ImagePart(out, g, what);
            out.Patch32(link, out.Size());
            FileRefs(out, g.files, what);
        }
        previous = at;
    }
    return out.Finish(lmx::playlist::kFileSize);
}

NavBytes Nav_WriteLsn(const NavLsnFile& l) {
    Out out("LSN.LMX");
    out.Header(l.header);
    out.U64(l.generation);
    out.U32(0); // size
    out.Count32(l.entries.size(), "the number of LSN entries");
    out.At(lmx::lsn::kEntries);
    for (const NavLsnEntry& e : l.entries) {
        out.U32(e.lsn);
        out.U32(e.size);
    }
    return out.Finish(lmx::lsn::kFileSize);
}
