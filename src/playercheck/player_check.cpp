// The Player Check's walk: folders depth first, a folder's own files before its subfolders, as players
// number them; each file of a played extension sniffed by its content (WAV, Windows Media, MPEG audio) and
// its header held against the profile.
#include "playercheck/player_check.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

#include "analyzers/disc_entry_source.h"
#include "iso9660/disc.h"
#include "iso9660/iso9660.h"
#include "listing/disc_text.h"
#include "navigation/contents_model.h"
#include "navigation/lsn_model.h"
#include "playercheck/player_media.h"
#include "playercheck/player_text.h"

namespace {

using Severity = PlayerSeverity;

// The name without an ISO 9660 version (";1").
std::string_view Bare(std::string_view name) {
    const size_t semi = name.rfind(';');
    return semi == std::string_view::npos ? name : name.substr(0, semi);
}

std::string Extension(std::string_view name) {
    const std::string_view bare = Bare(name);
    const size_t dot = bare.rfind('.');
    return dot == std::string_view::npos || bare.size() - dot > 9
               ? std::string()
               : Player_Lower(std::string(bare.substr(dot + 1)));
}

// ISO 9660's rules for a primary name at level 1 (8.3 d-characters) or 2 (31 d-characters).
std::string IsoNameFault(std::string_view name, bool directory, int level) {
    const std::string bare(Bare(name));
    if (bare.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_.") != std::string::npos)
        return "not d-characters (A-Z, 0-9, _)";
    const size_t dot = bare.rfind('.');
    if (level == 1) {
        const std::string stem = dot == std::string::npos ? bare : bare.substr(0, dot);
        const std::string ext = dot == std::string::npos ? std::string() : bare.substr(dot + 1);
        if (stem.size() > 8 || ext.size() > 3 || (directory && dot != std::string::npos) ||
            std::count(bare.begin(), bare.end(), '.') > 1)
            return directory ? "longer than 8 characters or with a dot (level 1)"
                             : "not an 8.3 name (level 1)";
    } else if (bare.size() > 31) {
        return "longer than 31 characters (level 2)";
    }
    return {};
}

class Walk {
  public:
    Walk(const PlayerProfile& p, PlayerCheck& r, const Disc& disc, unsigned session, bool primaryNames)
        : m_profile(p), m_result(r), m_disc(disc), m_session(session), m_primaryNames(primaryNames) {}
    void Run(FileEntry* root);

  private:
    void Add(Severity s, const char* rule, const std::string& path, int folder, int track,
             const std::string& text) {
        m_result.findings.push_back({s, rule, path, folder, track, text});
    }
    void Track(FileEntry& e, const std::string& path, int folder, int number);
    void Name(const FileEntry& e, const std::string& path, int folder, int track);
    void Media(FileEntry& e, const std::string& path, int folder, int track);
    // A folder's entries in the order the player takes them: the directory's (by name), or the files where
    // their data lies (the order they were recorded in; the subfolders keep the directory's order, which the
    // walk takes after the files).
    std::vector<FileEntry*> Children(FileEntry* dir) const {
        std::vector<FileEntry*> out;
        for (FileEntry* c = dir->firstChild; c; c = c->nextSibling)
            out.push_back(c);
        if (m_profile.order == PlayerOrder::Recording) {
            const auto folders = std::stable_partition(out.begin(), out.end(),
                                                       [](const FileEntry* c) { return c->type == 'F'; });
            std::stable_sort(out.begin(), folders,
                             [](const FileEntry* a, const FileEntry* b) { return a->lbn < b->lbn; });
        }
        return out;
    }

    const PlayerProfile& m_profile;
    PlayerCheck& m_result;
    const Disc& m_disc; // the files are read from its session m_session
    const unsigned m_session;
    const bool m_primaryNames; // the tree walked carries the primary volume's identifiers
};

void Walk::Run(FileEntry* root) {
    // Folders depth first; a folder's children are its files in record order, then its subfolders.
    struct Folder {
        FileEntry* dir;
        std::string path;
        uint32_t depth;
    };
    std::vector<Folder> stack{{root, "", 1}};
    uint32_t folderCount = 0, fileCount = 0;
    int shownFolder = 0, discTrack = 0;
    // A check on a worker that was cancelled ends at the next file; its results are dropped.
    while (!stack.empty() && !m_disc.Stopped()) {
        const Folder f = stack.back();
        stack.pop_back();
        ++folderCount;
        const bool tooDeep = m_profile.maxDepth && f.depth > m_profile.maxDepth;
        const bool pastFolders = m_profile.maxFolders && folderCount > m_profile.maxFolders;
        const std::string shownPath = f.path.empty() ? "/" : f.path;
        if (f.dir != root)
            Name(*f.dir, f.path, 0, 0);
        if (f.dir->flags & ISO_UNREADABLE)
            Add(Severity::WillNotPlay, "unreadable", shownPath, 0, 0,
                std::string("the folder could not be read: ") +
                    (Iso_UnreadableReason(m_disc, f.dir) ? Iso_UnreadableReason(m_disc, f.dir) : ""));
        // The folder's number, when it has one: its playable files decide unless empty folders count.
        bool playable = false;
        for (FileEntry* c = f.dir->firstChild; c && !playable; c = c->nextSibling)
            playable = c->type == 'F' && m_profile.extensions.count(Extension(Iso_EntryName(m_disc, c)));
        const bool reached = !tooDeep && !pastFolders;
        const int folder = reached && (playable || m_profile.countEmptyFolders) ? ++shownFolder : 0;
        if (tooDeep && playable)
            Add(Severity::WillNotPlay, "max_depth", shownPath, 0, 0,
                "folder at level " + std::to_string(f.depth) + ", deeper than the " +
                    std::to_string(m_profile.maxDepth) +
                    " levels the player reads: its files are never reached");
        if (pastFolders && !tooDeep)
            Add(Severity::WillNotPlay, "max_folders", shownPath, 0, 0,
                "folder " + std::to_string(folderCount) + " of the disc, past the " +
                    std::to_string(m_profile.maxFolders) + " the player reads: its files are never reached");
        int track = 0;
        std::vector<Folder> below;
        for (FileEntry* c : Children(f.dir)) {
            if (m_disc.Stopped())
                break;
            const std::string path = f.path + "/" + Iso_EntryName(m_disc, c);
            if (Iso_IsAudioFolder(m_disc, c)) // the CD's audio tracks, no folder of the file system
                continue;
            if (c->type != 'F') {
                below.push_back({c, path, f.depth + 1});
                continue;
            }
            if (c->flags & ISO_EXTENT_CONTINUED)
                continue; // a later extent of a file counted once
            ++fileCount;
            const bool plays = m_profile.extensions.count(Extension(Iso_EntryName(m_disc, c))) > 0;
            const bool pastFiles = m_profile.maxFiles && fileCount > m_profile.maxFiles;
            if (pastFiles && plays && reached)
                Add(Severity::WillNotPlay, "max_files", path, 0, 0,
                    "file " + std::to_string(fileCount) + " of the disc, past the " +
                        std::to_string(m_profile.maxFiles) + " the player reads (other files count too)");
            if (!plays || !reached || pastFiles) {
                Name(*c, path, 0, 0);
                continue;
            }
            Track(*c, path, folder, m_profile.tracksPerFolder ? ++track : ++discTrack);
        }
        // Subfolders in their order: pushed last first, so the first is walked next.
        for (auto it = below.rbegin(); it != below.rend(); ++it)
            stack.push_back(*it);
    }
    m_result.folders = folderCount;
    m_result.files = fileCount;
}

// Every numbered track takes its place in the order, one that will not play marked so: the player counts it
// (the next one's number says so) and skips it.
void Walk::Track(FileEntry& e, const std::string& path, int folder, int number) {
    Name(e, path, folder, number);
    const size_t before = m_result.findings.size();
    if (e.flags & ISO_UNREADABLE)
        Add(Severity::WillNotPlay, "unreadable", path, folder, number,
            std::string("the file could not be read: ") +
                (Iso_UnreadableReason(m_disc, &e) ? Iso_UnreadableReason(m_disc, &e) : ""));
    else
        Media(e, path, folder, number);
    const bool fails =
        std::any_of(m_result.findings.begin() + ptrdiff_t(before), m_result.findings.end(),
                    [](const PlayerFinding& x) { return x.severity == Severity::WillNotPlay; });
    m_result.order.push_back({folder, number, path, &e, !fails});
}

void Walk::Name(const FileEntry& e, const std::string& path, int folder, int track) {
    const std::string_view name = Bare(Iso_EntryName(m_disc, &e));
    size_t length = 0;
    Player_EachCodePoint(name, [&length](uint32_t) { return ++length, true; });
    if (m_profile.maxNameLength && length > m_profile.maxNameLength)
        Add(Severity::ShowsWrong, "max_name_length", path, folder, track,
            "name of " + std::to_string(length) + " characters; the player shows " +
                std::to_string(m_profile.maxNameLength));
    const std::string outside = Player_Outside(name, m_profile.nameCharset);
    if (!outside.empty())
        Add(Severity::ShowsWrong, "name_charset", path, folder, track,
            "the name holds " + outside + ", which the player cannot show (" +
                Player_CharsetName(m_profile.nameCharset) + ")");
    if (m_profile.names == PlayerNames::Iso9660 && m_primaryNames) {
        const std::string fault = IsoNameFault(Iso_EntryName(m_disc, &e), e.type != 'F', m_profile.isoLevel);
        if (!fault.empty())
            Add(Severity::WillNotPlay, "iso_level", path, folder, track, "the primary name is " + fault);
    }
}

void Walk::Media(FileEntry& e, const std::string& path, int folder, int track) {
    DiscEntrySource source(DiscEntry_In(m_disc, m_session, e));
    Player_CheckMedia(source.Open() == BYTES_OK ? &source : nullptr, Extension(Iso_EntryName(m_disc, &e)),
                      m_profile, [&](Severity s, const char* rule, const std::string& text) {
                          Add(s, rule, path, folder, track, text);
                      });
}

// The number a navigation list shows as "D(0xH)".
std::optional<uint32_t> NavNumber(const std::vector<std::string>& row, size_t column) {
    if (column >= row.size())
        return std::nullopt;
    const std::string& cell = row[column];
    const size_t end = cell.find('(');
    if (end == 0 || end == std::string::npos || end > 10 || cell.find_first_not_of("0123456789") < end)
        return std::nullopt;
    const unsigned long long v = std::stoull(cell.substr(0, end));
    return v <= UINT32_MAX ? std::optional<uint32_t>(uint32_t(v)) : std::nullopt;
}

// The bytes of the file at `path` in session `index` (0-based) of `disc`, or empty (absent, unreadable or
// larger than any navigation file): its first extent, or a zisofs file uncompressed.
std::vector<uint8_t> ReadDiscFile(const Disc& disc, const std::string& path, int index) {
    constexpr uint32_t kLargest = 16u << 20;
    const DiscPath found = Report_FindPath(path, index);
    if (!found.entry || found.entry->type != 'F' || found.entry->size > kLargest)
        return {};
    DiscEntrySource source(DiscEntry_In(disc, unsigned(index), *found.entry));
    std::vector<uint8_t> bytes(found.entry->size);
    if (source.Open() != BYTES_OK || source.Read(0, bytes) != BYTES_OK)
        return {};
    return bytes;
}

// Every CID of LSN.LMX that CONTENTS.LMX names a media file for, against the extent the disc gives that file.
void CheckNavigation(const Disc& disc, PlayerCheck& result, int index) {
    const std::vector<uint8_t> contents = ReadDiscFile(disc, "/CONTENTS.LMX", index),
                               lsn = ReadDiscFile(disc, "/LSN.LMX", index);
    if (contents.empty() || lsn.empty())
        return;
    const NavImage contentsImage(contents), lsnImage(lsn);
    CContentsDlgModel model;
    model.Fill(contentsImage);
    CLsnDlgModel sectors;
    sectors.Fill(lsnImage);
    // Directory paths by number, each from its parent (numbered before it), the root 1.
    std::vector<std::string> dirs(1);
    for (const auto& row : model.Directories().rows) {
        const auto parent = NavNumber(row, 1);
        const std::string name = row.size() > 4 ? row[4] : "";
        dirs.push_back(parent && *parent >= 1 && *parent < dirs.size() ? dirs[*parent] + "/" + name : "");
    }
    const auto& lsnRows = sectors.Entries().rows;
    for (const auto table : {CContentsDlgModel::FileTable::Audio, CContentsDlgModel::FileTable::MenuImage,
                             CContentsDlgModel::FileTable::Image, CContentsDlgModel::FileTable::Video}) {
        model.SelectTable(table);
        for (const auto& row : model.Files().rows) {
            const auto cid = NavNumber(row, 0), dir = NavNumber(row, 18);
            if (!cid || !dir || *dir == 0 || *dir >= dirs.size() || row.size() <= 20)
                continue;
            const std::string path = dirs[*dir] + "/" + row[20];
            uint32_t sector = 0, bytes = 0;
            bool listed = false;
            if (*cid >= 1 && *cid <= lsnRows.size()) {
                const auto at = NavNumber(lsnRows[*cid - 1], 0), size = NavNumber(lsnRows[*cid - 1], 1);
                listed = at && size;
                sector = at.value_or(0);
                bytes = size.value_or(0);
            }
            const DiscPath found = Report_FindPath(path, index);
            std::string wrong;
            if (!listed)
                wrong = "LSN.LMX has no entry for CID " + std::to_string(*cid);
            else if (!found.entry || found.entry->type != 'F')
                wrong = "CID " + std::to_string(*cid) + " names a file the disc does not hold";
            else if (found.entry->lbn != sector || Iso_FileSize(found.entry) != bytes)
                wrong = "CID " + std::to_string(*cid) + " points at sector " + std::to_string(sector) + ", " +
                        std::to_string(bytes) + " bytes; the disc has the file at sector " +
                        std::to_string(found.entry->lbn) + ", " + std::to_string(Iso_FileSize(found.entry)) +
                        " bytes";
            if (!wrong.empty())
                result.findings.push_back({Severity::WillNotPlay, "navigation", path, 0, 0, wrong});
        }
    }
}

} // namespace

uint8_t Player_ReadNames(const PlayerProfile& profile) {
    switch (profile.names) {
    case PlayerNames::Joliet:
        return ISO_NAMES_JOLIET;
    case PlayerNames::Iso9660:
        return ISO_NAMES_PRIMARY;
    default:
        return 0;
    }
}

size_t PlayerCheck::Plays() const {
    return size_t(std::count_if(order.begin(), order.end(), [](const PlayerTrack& t) { return t.plays; }));
}

size_t PlayerCheck::Count(PlayerSeverity severity) const {
    return size_t(std::count_if(findings.begin(), findings.end(),
                                [&](const PlayerFinding& f) { return f.severity == severity; }));
}

PlayerCheck Player_Check(Disc& disc, const PlayerProfile& profile) {
    PlayerCheck result;
    if (!disc.model)
        return result;
    // The session the player reads: the last one with data, or the first for a player of single sessions.
    int index = 0, chosen = -1, count = 0;
    bool anyData = false;
    SessionTree* tree = nullptr;
    const SessionEntry* s = disc.model->firstSession;
    for (SessionTree* t = disc.model->firstTree; t; t = t->next, ++index, s = s ? s->next : nullptr) {
        ++count;
        const bool data = s && Iso_IsDataType(s->type);
        anyData = anyData || data;
        // A data session whose volume could not be read has no root: nothing of it plays.
        if (data && t->root && (chosen < 0 || profile.multisession)) {
            chosen = index;
            tree = t;
        }
    }
    if (!anyData) { // an audio CD: played as a CD, with no files to check
        result.findings = {
            {Severity::Note, "audio_tracks", "", 0, 0, "an audio CD: the player plays it as a CD"}};
        return result;
    }
    if (!Player_AudioBesideData(disc, profile, result))
        return result;
    if (!tree) {
        result.findings.push_back(
            {Severity::WillNotPlay, "files", "", 0, 0, "the data session could not be read: no file plays"});
        return result;
    }
    if (!profile.multisession && count > 1)
        result.findings.push_back({Severity::Note, "multisession", "", 0, 0,
                                   "the player reads session 1 only; what later sessions add is not played"});
    // The tree of the names the player reads; the files are the same whichever it is.
    const uint8_t recorded = tree->recordedNames;
    uint8_t names = ISO_NAMES_PRIMARY;
    if (profile.names == PlayerNames::RockRidge && (recorded & ISO_NAMES_ROCKRIDGE))
        names = ISO_NAMES_ROCKRIDGE;
    else if (profile.names != PlayerNames::Iso9660 && (recorded & ISO_NAMES_JOLIET))
        names = ISO_NAMES_JOLIET;
    SessionTree* read = Iso_NamesTree(disc, tree, names);
    if (!read) {
        result.findings.push_back(
            {Severity::WillNotPlay, "files", "", 0, 0, "the data session's directories could not be read"});
        return result;
    }
    result.session = chosen + 1;
    Walk(profile, result, disc, unsigned(chosen), read->names == ISO_NAMES_PRIMARY).Run(read->root);
    CheckNavigation(disc, result, chosen);
    return result;
}
