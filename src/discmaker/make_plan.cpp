// The plan: the music folder read (names in natural order, each file by its content), the tree cut to what
// the player reads (levels lifted, large folders split, counts kept), names fitted and numbered, then the
// folders and tracks numbered as the player will number them.
#include "discmaker/make_plan.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <set>

#include "analyzers/file_byte_source.h"
#include "discmaker/make_names.h"
#include "discmaker/make_navigation.h"
#include "discmaker/natural_order.h"
#include "iso9660/iso9660.h"
#include "playercheck/player_text.h"

namespace {

constexpr int kMostLevels = 64; // a deeper folder is a loop of links or no music

// A folder as the disc will hold it.
struct Folder {
    std::string source, name; // the local folder, the name on the disc before it is fitted
    std::vector<std::string> changes;
    std::vector<MakeFile> files;
    std::vector<Folder> folders;
};

std::string ExtensionOf(const std::string& name) {
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? std::string() : Player_Lower(name.substr(dot + 1));
}

class Planner {
  public:
    Planner(const PlayerProfile& p, MakePlan& plan) : m_profile(p), m_plan(plan) {}
    bool Read(const std::string& path, const std::string& name, int level, Folder& into, std::string& error);
    std::vector<Folder> Lift(Folder& f, uint32_t depth);
    void Split(Folder& f, bool root);
    bool Limit(Folder& f);
    void Reserve(uint32_t files) { m_files = files; }
    void Name(Folder& f);
    void Emit(Folder& f, const std::string& path);

  private:
    void File(const std::string& path, const std::string& name, Folder& into);
    void Leave(const std::string& source, const std::string& rule, const std::string& why) {
        m_plan.leftOut.push_back({source, rule, why});
    }
    const PlayerProfile& m_profile;
    MakePlan& m_plan;
    uint32_t m_folders = 0, m_files = 0;
    int m_shown = 0, m_discTrack = 0;
};

bool Planner::Read(const std::string& path, const std::string& name, int level, Folder& into,
                   std::string& error) {
    into.source = path;
    into.name = name;
    DIR* dir = opendir(path.c_str());
    if (!dir) {
        error = path + ": cannot be read";
        return false;
    }
    std::vector<std::string> files, folders;
    while (const dirent* d = readdir(dir)) {
        const std::string n = d->d_name;
        if (n == "." || n == "..")
            continue;
        struct stat link {
        }, target{};
        const std::string p = path + "/" + n;
        if (lstat(p.c_str(), &link) != 0 || stat(p.c_str(), &target) != 0)
            Leave(p, "content", "cannot be read");
        else if (S_ISDIR(target.st_mode) && S_ISLNK(link.st_mode))
            Leave(p, "content", "a link to a folder, which is not followed");
        else if (S_ISDIR(target.st_mode))
            folders.push_back(n);
        else if (S_ISREG(target.st_mode))
            files.push_back(n);
        else
            Leave(p, "content", "not a file");
    }
    closedir(dir);
    std::sort(files.begin(), files.end(), Make_NaturalLess);
    std::sort(folders.begin(), folders.end(), Make_NaturalLess);
    for (const std::string& n : files)
        File(path + "/" + n, n, into);
    for (const std::string& n : folders) {
        if (level + 1 > kMostLevels) {
            Leave(path + "/" + n, "max_depth", "more than " + std::to_string(kMostLevels) + " levels deep");
            continue;
        }
        Folder sub;
        std::string ignored;
        if (Read(path + "/" + n, n, level + 1, sub, ignored))
            into.folders.push_back(std::move(sub));
        else
            Leave(path + "/" + n, "content", "the folder cannot be read");
    }
    return true;
}

// A file read by its content and held against the profile: kept with the changes it needs, or left out.
void Planner::File(const std::string& path, const std::string& name, Folder& into) {
    FileByteSource source;
    std::string why;
    if (!source.Open(path, &why))
        return Leave(path, "content", "cannot be read: " + why);
    MakeFile f;
    f.source = path;
    f.size = source.Size();
    std::vector<PlayerFinding> findings;
    f.content = Player_CheckMedia(&source, "", m_profile,
                                  [&](PlayerSeverity s, const char* rule, const std::string& t) {
                                      findings.push_back({s, rule, "", 0, 0, t});
                                  });
    const std::string ext = Player_ContentExtension(f.content);
    if (ext.empty())
        return Leave(path, "content", "not a music file");
    if (!m_profile.extensions.count(ext))
        return Leave(path, "extensions",
                     std::string(Player_ContentName(f.content)) + ", which the player does not play");
    for (const PlayerFinding& x : findings)
        if (x.severity == PlayerSeverity::WillNotPlay)
            return Leave(path, x.rule, x.text);
    const bool v23 = m_profile.id3Write == PlayerId3Write::V23 && m_profile.id3Versions.count("2.3");
    for (PlayerFinding& x : findings) {
        if (v23 && x.rule == "id3_versions" && x.text.rfind("ID3v2.4", 0) == 0) {
            f.id3To23 = true;
            f.changes.push_back("its ID3v2.4 tag written as ID3v2.3 in the disc's copy");
        } else {
            f.findings.push_back(std::move(x));
        }
    }
    // The name says what the file holds: an MPEG file named .wma or without an extension gets .mp3.
    const size_t dot = name.rfind('.');
    f.name = name;
    if (ExtensionOf(name) != ext) {
        f.name = (dot == std::string::npos || dot == 0 ? name : name.substr(0, dot)) + "." + ext;
        f.changes.push_back("named ." + ext + " for what it holds");
    }
    into.files.push_back(std::move(f));
}

// Folders below the levels the player reads come up to its last level beside their ancestor there, named
// by their path from it ("Album - CD1 - Bonus"); the folders that come up beside `f` are returned. At the
// root's level, their files come into the root, their folders' names before theirs.
std::vector<Folder> Planner::Lift(Folder& f, uint32_t depth) {
    if (!m_profile.maxDepth || depth < m_profile.maxDepth) {
        std::vector<Folder> kept;
        for (Folder& c : f.folders) {
            std::vector<Folder> up = Lift(c, depth + 1);
            kept.push_back(std::move(c));
            std::move(up.begin(), up.end(), std::back_inserter(kept));
        }
        f.folders = std::move(kept);
        return {};
    }
    std::vector<Folder> lifted;
    auto take = [&](auto& self, Folder& c, const std::string& prefix) -> void {
        Folder moved;
        moved.source = c.source;
        moved.name = prefix + " - " + c.name;
        moved.files = std::move(c.files);
        moved.changes.push_back("moved up: the player reads " + std::to_string(m_profile.maxDepth) +
                                " levels");
        const std::string name = moved.name;
        lifted.push_back(std::move(moved));
        for (Folder& cc : c.folders)
            self(self, cc, name);
    };
    for (Folder& c : f.folders)
        take(take, c, f.name);
    f.folders.clear();
    if (depth > 1)
        return lifted;
    for (Folder& l : lifted)
        for (MakeFile& file : l.files) {
            file.changes.push_back("moved into the root from " + l.source);
            file.name = l.name.substr(f.name.size() + 3) + " - " + file.name;
            f.files.push_back(std::move(file));
        }
    return {};
}

// A folder of more files than the profile splits at becomes "NAME (1)", "NAME (2)"... of equal size, its
// subfolders under the last; the root's files go into such folders of the volume's name.
void Planner::Split(Folder& f, bool root) {
    std::vector<Folder> out;
    for (Folder& c : f.folders) {
        Split(c, false);
        const size_t n = c.files.size(), most = m_profile.splitFolders;
        if (!most || n <= most) {
            out.push_back(std::move(c));
            continue;
        }
        const size_t parts = (n + most - 1) / most;
        for (size_t k = 0, from = 0; k < parts; ++k) {
            const size_t count = n / parts + (k < n % parts ? 1 : 0);
            Folder part;
            part.source = c.source;
            part.name = c.name + " (" + std::to_string(k + 1) + ")";
            part.changes = c.changes;
            part.changes.push_back("part " + std::to_string(k + 1) + " of " + std::to_string(parts) +
                                   ": the folder's " + std::to_string(n) + " files, split at " +
                                   std::to_string(most));
            std::move(c.files.begin() + ptrdiff_t(from), c.files.begin() + ptrdiff_t(from + count),
                      std::back_inserter(part.files));
            from += count;
            if (k + 1 == parts)
                part.folders = std::move(c.folders);
            out.push_back(std::move(part));
        }
    }
    f.folders = std::move(out);
    if (root && m_profile.splitFolders && f.files.size() > m_profile.splitFolders) {
        Folder inner;
        inner.source = f.source;
        inner.name = f.name;
        inner.files = std::move(f.files);
        f.files.clear();
        Folder holder;
        holder.folders.push_back(std::move(inner));
        Split(holder, false);
        f.folders.insert(f.folders.begin(), std::make_move_iterator(holder.folders.begin()),
                         std::make_move_iterator(holder.folders.end()));
    }
}

// The player's counts in its walk's order (folders, then files of every kind): what is past them is left
// out, and folders without files below them are not written.
bool Planner::Limit(Folder& f) {
    ++m_folders;
    const bool past = m_profile.maxFolders && m_folders > m_profile.maxFolders;
    std::vector<MakeFile> kept;
    for (MakeFile& file : f.files) {
        if (past) {
            Leave(file.source, "max_folders",
                  "in folder " + std::to_string(m_folders) + ", past the " +
                      std::to_string(m_profile.maxFolders) + " folders the player reads");
        } else if (m_profile.maxFiles && ++m_files > m_profile.maxFiles) {
            Leave(file.source, "max_files",
                  "file " + std::to_string(m_files) + ", past the " + std::to_string(m_profile.maxFiles) +
                      " files the player reads" +
                      (m_profile.navigation ? " (the navigation files count too)" : ""));
        } else {
            kept.push_back(std::move(file));
        }
    }
    f.files = std::move(kept);
    std::vector<Folder> folders;
    for (Folder& c : f.folders)
        if (Limit(c))
            folders.push_back(std::move(c));
    f.folders = std::move(folders);
    return !f.files.empty() || !f.folders.empty();
}

// Names on the disc: "01 " before each where the profile numbers them, fitted to the player, one of a
// kind in their folder.
void Planner::Name(Folder& f) {
    auto fit = [&](std::string& name, std::vector<std::string>& changes, bool dir, size_t number,
                   size_t count, std::set<std::string>& taken) {
        const std::string before = name;
        std::string wanted = name;
        if (m_profile.numberPrefix) {
            const int width = std::max<int>(2, int(std::to_string(count).size()));
            std::string digits = std::to_string(number);
            wanted = std::string(size_t(width) - std::min<size_t>(size_t(width), digits.size()), '0') +
                     digits + " " + name;
        }
        std::string fitted = Make_FitName(wanted, dir, m_profile);
        for (int variant = 2; !taken.insert(Player_Lower(fitted)).second; ++variant)
            fitted = Make_FitName(wanted, dir, m_profile, variant);
        if (fitted != wanted)
            changes.push_back("named \"" + fitted + "\" for the player (was \"" + before + "\")");
        else if (fitted != before)
            changes.push_back("numbered \"" + fitted + "\" for its place in the playback order");
        name = fitted;
    };
    std::set<std::string> taken; // the names given so far, in lower case
    for (size_t i = 0; i < f.files.size(); ++i)
        fit(f.files[i].name, f.files[i].changes, false, i + 1, f.files.size(), taken);
    for (size_t i = 0; i < f.folders.size(); ++i) {
        fit(f.folders[i].name, f.folders[i].changes, true, i + 1, f.folders.size(), taken);
        Name(f.folders[i]);
    }
    // Unnumbered names play in the directory's order, which is no longer the natural one ("Track 10" before
    // "Track 2"): subfolders always, files where the player plays by name. The plan says it as it will be.
    if (m_profile.numberPrefix)
        return;
    auto key = [this](const std::string& name) { return Make_DirectoryKey(name, m_profile); };
    std::stable_sort(f.folders.begin(), f.folders.end(),
                     [&](const Folder& a, const Folder& b) { return key(a.name) < key(b.name); });
    if (m_profile.order == PlayerOrder::Name)
        std::stable_sort(f.files.begin(), f.files.end(),
                         [&](const MakeFile& a, const MakeFile& b) { return key(a.name) < key(b.name); });
}

// The plan's folders in the player's walk: a folder's files, then its subfolders; numbered as it numbers.
void Planner::Emit(Folder& f, const std::string& path) {
    MakeFolder out;
    out.source = f.source;
    out.path = path;
    out.changes = std::move(f.changes);
    if (!f.files.empty() || m_profile.countEmptyFolders)
        out.number = ++m_shown;
    int track = 0;
    for (MakeFile& file : f.files) {
        file.folder = out.number;
        file.track = m_profile.tracksPerFolder ? ++track : ++m_discTrack;
        for (PlayerFinding& x : file.findings) {
            x.path = path + "/" + file.name;
            x.folder = file.folder;
            x.track = file.track;
        }
        out.files.push_back(std::move(file));
    }
    m_plan.folders.push_back(std::move(out));
    for (Folder& c : f.folders)
        Emit(c, path + "/" + c.name);
}

// The volume name: the folder's, as the tree's volume identifier takes it (16 characters for Joliet).
std::string VolumeName(const std::string& folder) {
    std::string name = folder;
    while (name.size() > 1 && name.back() == '/')
        name.pop_back();
    name = name.substr(name.rfind('/') + 1);
    std::string out;
    size_t n = 0;
    Player_EachCodePoint(name, [&](uint32_t cp) {
        if (n++ == 16)
            return false;
        Iso_AppendUtf8(out, cp);
        return true;
    });
    return out.empty() ? "CKVD_DISC" : out;
}

// The folders with files among the first `room` folders the player walks (0: every one), as `walked` counts.
uint32_t Holders(const Folder& f, uint32_t room, uint32_t& walked) {
    if (room && walked >= room)
        return 0;
    ++walked;
    uint32_t n = f.files.empty() ? 0 : 1;
    for (const Folder& c : f.folders)
        n += Holders(c, room, walked);
    return n;
}

} // namespace

size_t MakePlan::Tracks() const {
    size_t n = 0;
    for (const MakeFolder& f : folders)
        n += f.files.size();
    return n;
}

uint64_t MakePlan::Bytes() const {
    uint64_t n = 0;
    for (const MakeFolder& f : folders)
        for (const MakeFile& x : f.files)
            n += x.size;
    return n;
}

bool Make_Plan(const std::string& folder, const PlayerProfile& profile, MakePlan& plan, std::string& error) {
    plan = MakePlan{};
    plan.volume = VolumeName(folder);
    Planner planner(profile, plan);
    Folder root;
    // Sources by their whole paths: libisofs reads them so.
    std::error_code failed;
    const std::string whole = std::filesystem::absolute(folder, failed).lexically_normal().string();
    if (!planner.Read(failed ? folder : whole, plan.volume, 1, root, error))
        return false;
    planner.Lift(root, 1);
    planner.Split(root, true);
    if (profile.navigation) {
        // The player counts the navigation files in the root, a playlist for each folder with tracks among
        // them, before any subfolder's file: their room is kept first (a folder the counts then empty keeps
        // its playlist's room).
        uint32_t walked = 0;
        planner.Reserve(4 + Holders(root, profile.maxFolders, walked));
    }
    planner.Limit(root);
    planner.Name(root);
    planner.Emit(root, "");
    if (plan.Tracks() == 0) {
        error = folder + ": nothing the player plays";
        return false;
    }
    if (profile.navigation)
        plan.navigation = Make_NavigationNames(plan);
    return true;
}
