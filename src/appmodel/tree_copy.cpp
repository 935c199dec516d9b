#include "appmodel/tree_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <unordered_set>
#include <utility>
#include <vector>

#include "appmodel/recorded_date.h"
#include "appmodel/save_to_disc.h"
#include "aspi/aspi_manager.h"
#include "iso9660/disc.h"
#include "iso9660/iso9660.h"
#include "listing/disc_text.h"

namespace {

bool UsableName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

} // namespace

namespace {

// A directory descriptor closed with its owner.
class DirectoryFd {
  public:
    explicit DirectoryFd(int fd = -1) : m_fd(fd) {}
    DirectoryFd(DirectoryFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    DirectoryFd& operator=(DirectoryFd&& other) noexcept {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    DirectoryFd(const DirectoryFd&) = delete;
    DirectoryFd& operator=(const DirectoryFd&) = delete;
    ~DirectoryFd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }

  private:
    int m_fd;
};

// The subdirectory `name` of the directory open as `parent`, made when missing, opened without following a
// link: a symbolic link standing under that name (to a folder elsewhere, say) is replaced by a real
// directory, so nothing of the disc is written outside the destination. -1 with errno when it cannot be.
int MakeDirectoryAt(int parent, const std::string& name) {
    if (::mkdirat(parent, name.c_str(), 0755) != 0 && errno == EEXIST) {
        struct stat st {};
        if (::fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode) &&
            ::unlinkat(parent, name.c_str(), 0) == 0)
            ::mkdirat(parent, name.c_str(), 0755);
    }
    return ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// A symbolic link `name` -> `target` in the directory open as `parent`, replacing whatever is no directory
// under that name. The link is made as the disc records it and never followed here.
bool MakeLinkAt(int parent, const std::string& name, const char* target) {
    if (::symlinkat(target, parent, name.c_str()) == 0)
        return true;
    return errno == EEXIST && SaveToDisc_FreeNameAt(parent, name) &&
           ::symlinkat(target, parent, name.c_str()) == 0;
}

// The permission bits a Rock Ridge disc records (never set-user-ID, set-group-ID or sticky bits).
mode_t PermissionsOf(const Disc& disc, const FileEntry& e) {
    return Iso_EntryMode(disc, &e) & 0777;
}

// One run of a copy: the walk's state, the progress and the notes.
class TreeCopier {
  public:
    TreeCopier(const SaveSource& from, const std::string& dest, const TreeCopyHooks& hooks,
               std::vector<uint8_t> buffer)
        : m_from(from), m_disc(from.disc), m_dest(dest), m_hooks(hooks), m_buffer(std::move(buffer)) {}

    TreeCopyResult Run(const std::vector<const FileEntry*>& entries, DirectoryFd root) {
        m_levels.push_back({nullptr, m_dest, std::move(root), 0, nullptr});
        Show(0);
        for (const FileEntry* e : entries) {
            if (m_result.cancelled || Stopped())
                break;
            if (!(e->flags & ISO_EXTENT_CONTINUED)) // else copied with the file's first extent
                Copy(*e);
            Walk(1);
        }
        Walk(0);
        m_result.whole = m_whole && !m_result.cancelled;
        return std::move(m_result);
    }

  private:
    bool Stopped() {
        if (m_hooks.stop && m_hooks.stop())
            m_result.cancelled = true;
        return m_result.cancelled;
    }

    // Copies what the open directories below the first `depth` levels hold, finishing each.
    void Walk(size_t depth) {
        while (m_levels.size() > depth) {
            const FileEntry* e = m_result.cancelled ? nullptr : m_levels.back().next;
            if (!e) {
                if (m_result.cancelled)
                    m_levels.pop_back(); // nothing more goes into it: it keeps the mode it was made with
                else
                    FinishLevel();
                continue;
            }
            m_levels.back().next = e->nextSibling;
            if (!(e->flags & ISO_EXTENT_CONTINUED))
                Copy(*e);
        }
    }

    struct Level {
        const FileEntry* next;
        std::string path;
        DirectoryFd fd;
        mode_t mode; // set once the directory is filled (a read-only one would refuse its files before)
        const uint8_t* date; // the same for its time, which every file made in it changes
    };

    void Show(uint64_t bytes) const {
        if (m_hooks.progress)
            m_hooks.progress({m_done.files, bytes});
    }

    void Note(const char* format, const std::string& a, const std::string& b) {
        const int n = std::snprintf(nullptr, 0, format, a.c_str(), b.c_str());
        std::string line(size_t(std::max(n, 0)) + 1, '\0');
        std::snprintf(line.data(), line.size(), format, a.c_str(), b.c_str());
        line.resize(size_t(std::max(n, 0)));
        if (m_hooks.note)
            m_hooks.note(line);
        m_result.notes.push_back(std::move(line));
    }

    // A directory filled: its recorded date and mode, then back to its parent.
    void FinishLevel() {
        Level& level = m_levels.back();
        const std::optional<RecordedDate> date = level.date ? RecordedDate_Of(level.date) : std::nullopt;
        if (date) {
            const int64_t seconds = RecordedDate_Seconds(*date);
            const timespec times[2] = {{time_t(seconds), 0}, {time_t(seconds), 0}};
            if (::futimens(level.fd.get(), times) != 0)
                Note("%s: the recorded date was not kept: %s", level.path, std::strerror(errno));
        }
        if (level.mode && ::fchmod(level.fd.get(), level.mode) != 0)
            Note("%s: the recorded mode was not kept: %s", level.path, std::strerror(errno));
        m_levels.pop_back();
    }

    void Copy(const FileEntry& e) {
        const std::string name = SaveToDisc_LocalName(m_disc, e, m_hooks.audio);
        const std::string local = m_levels.back().path + "/" + name;
        const int at = m_levels.back().fd.get();
        // Two entries of one directory under one name (versions ";1" and ";2" of a file, say) would leave
        // the second in place of the first: the second is left out, and said so.
        const bool again = !m_written.insert(local).second;
        if (!UsableName(name) || again) {
            Note(again ? "%s: a second entry named \"%s\"; left out"
                       : "%s: the name \"%s\" cannot be a local file's; left out",
                 m_levels.back().path, name);
            m_whole = false;
            if (e.type == 'F') {
                ++m_done.files;
                m_done.bytes += SaveToDisc_LocalSize(m_disc, e);
            }
            return;
        }
        if (e.type != 'F') {
            DirectoryFd sub(MakeDirectoryAt(at, name));
            if (sub.get() < 0) {
                Note("Sorry, Cannot Create the File... %s: %s", local, std::strerror(errno));
                m_whole = false;
                return;
            }
            m_levels.push_back({e.firstChild, local, std::move(sub), PermissionsOf(m_disc, e),
                                Iso_DirectoryDate(m_disc, &e)});
            return;
        }
        if (const char* target = Iso_SymlinkTarget(m_disc, &e)) {
            if (MakeLinkAt(at, name, target)) {
                KeepDate(e, at, name, local);
            } else {
                Note("Sorry, Cannot Create the File... %s: %s", local, std::strerror(errno));
                m_whole = false;
            }
            ++m_done.files;
            return;
        }
        CopyFile(e, at, name, local);
    }

    void KeepDate(const FileEntry& e, int at, const std::string& name, const std::string& local) {
        const std::optional<RecordedDate> date = RecordedDate_Of(e.date);
        if (!date)
            return;
        const int64_t seconds = RecordedDate_Seconds(*date);
        const timespec times[2] = {{time_t(seconds), 0}, {time_t(seconds), 0}};
        if (utimensat(at, name.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
            Note("%s: the recorded date was not kept: %s", local, std::strerror(errno));
            m_whole = false;
        }
    }

    void CopyFile(const FileEntry& e, int at, const std::string& name, const std::string& local) {
        std::string why;
        std::unique_ptr<SaveWriter> out = SaveToDisc_CreateAt(at, name, &why);
        SaveOutcome o;
        if (!out) {
            Note("Sorry, Cannot Create the File... %s: %s", local, why);
            o.result = SaveResult::WriteError;
        } else {
            const uint64_t before = m_done.bytes;
            SaveHooks hooks;
            hooks.progress = [&](uint64_t written) { Show(before + written); };
            hooks.stop = [this] { return Stopped(); };
            hooks.salvage = true;
            hooks.audio = m_hooks.audio;
            hooks.tags = SaveToDisc_TrackTags(m_disc, e);
            if (Stopped())
                o.result = SaveResult::Cancelled;
            else
                o = SaveToDisc_Save(m_from, e, *out, m_buffer, hooks);
            out.reset();
            // A file cut short would pass for a copy: it goes; the files finished before it stay. So does a
            // track with a gap, which would play as if it were whole.
            const bool track = o.result == SaveResult::ReadError && SaveToDisc_IsAudioTrack(m_disc, e);
            if (o.result == SaveResult::Cancelled || track)
                ::unlinkat(at, name.c_str(), 0);
            if (o.result == SaveResult::Cancelled)
                return;
            if (track) {
                Note("%s: Sorry, Disc Read Error... %s (the incomplete file was removed)", local,
                     SaveToDisc_UnreadableText(m_disc, e, o));
            } else if (o.result == SaveResult::ReadError) {
                char where[64];
                std::snprintf(where, sizeof where, "at block %u Code %04X", o.failedLba, unsigned(o.code));
                Note("%s: Sorry, Disc Read Error... %s (what was read is kept)", local,
                     o.why.empty() ? std::string(where) : std::string(where) + ": " + o.why);
            } else if (o.result != SaveResult::Ok) {
                Note("%s: %s", local, SaveToDisc_Message(o.result));
            }
            if (!track)
                KeepMode(e, at, name, local);
        }
        m_whole = m_whole && o.result == SaveResult::Ok;
        ++m_done.files;
        m_done.bytes += SaveToDisc_LocalSize(m_disc, e);
        Show(m_done.bytes);
    }

    // The recorded mode, and date but for an audio track (whose date is made up of its place on the disc).
    void KeepMode(const FileEntry& e, int at, const std::string& name, const std::string& local) {
        const mode_t mode = PermissionsOf(m_disc, e);
        if (mode && ::fchmodat(at, name.c_str(), mode, 0) != 0) {
            Note("%s: the recorded mode was not kept: %s", local, std::strerror(errno));
            m_whole = false;
        }
        if (!SaveToDisc_IsAudioTrack(m_disc, e))
            KeepDate(e, at, name, local);
    }

    const SaveSource m_from;
    const Disc& m_disc;
    const std::string& m_dest;
    const TreeCopyHooks& m_hooks;
    std::vector<uint8_t> m_buffer;
    TreeCopyTotals m_done;
    TreeCopyResult m_result;
    bool m_whole = true;
    std::vector<Level> m_levels;
    std::unordered_set<std::string> m_written;
};

} // namespace

TreeCopyTotals TreeCopy_Count(const Disc& disc, const std::vector<const FileEntry*>& entries) {
    TreeCopyTotals t;
    std::vector<const FileEntry*> pending;
    auto count = [&](const FileEntry* e) {
        if (e->type != 'F') {
            pending.push_back(e->firstChild);
        } else if (!(e->flags & ISO_EXTENT_CONTINUED)) {
            ++t.files;
            t.bytes += SaveToDisc_LocalSize(disc, *e);
        }
    };
    for (const FileEntry* e : entries)
        count(e);
    while (!pending.empty()) {
        const FileEntry* e = pending.back();
        pending.pop_back();
        for (; e; e = e->nextSibling)
            count(e);
    }
    return t;
}

std::vector<const FileEntry*> TreeCopy_Chain(const FileEntry* first) {
    std::vector<const FileEntry*> chain;
    for (; first; first = first->nextSibling)
        chain.push_back(first);
    return chain;
}

TreeCopyResult TreeCopy_Entries(const SaveSource& from, const std::vector<const FileEntry*>& entries,
                                const std::string& dest, const TreeCopyHooks& hooks) {
    TreeCopyResult failed;
    failed.whole = false;
    auto fail = [&](std::string line) {
        if (hooks.note)
            hooks.note(line);
        failed.notes.push_back(std::move(line));
        return failed;
    };
    // DEST itself is the user's choice and may be reached through links; everything below it is made
    // relative to its descriptor and never through one.
    std::error_code ec;
    std::filesystem::create_directories(dest, ec);
    DirectoryFd root(::open(dest.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (root.get() < 0)
        return fail(std::string(IDS_SAVE_CANNOT_CREATE) + " " + dest + ": " +
                    (ec ? ec.message() : std::string(std::strerror(errno))));
    std::vector<uint8_t> buffer = SaveToDisc_Buffer(from);
    if (buffer.empty())
        return fail(IDS_SAVE_NO_MEMORY);
    TreeCopier copier(from, dest, hooks, std::move(buffer));
    return copier.Run(entries, std::move(root));
}

std::vector<const FileEntry*> SaveToDisc_RowEntries(const FileEntry* entries, std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    std::vector<const FileEntry*> chosen;
    const FileEntry* first = entries;
    int row = 0;
    for (const FileEntry* e = entries; e && !rows.empty(); e = e->nextSibling, ++row) {
        if (!(e->flags & ISO_EXTENT_CONTINUED))
            first = e;
        if (!std::binary_search(rows.begin(), rows.end(), row))
            continue;
        const std::string name = Iso_EntryName(first);
        if (name != "." && name != ".." && (chosen.empty() || chosen.back() != first))
            chosen.push_back(first);
    }
    return chosen;
}

CSaveTreeDlgModel::CSaveTreeDlgModel(ckvd::ui::MessageSink& sink, std::vector<const FileEntry*> entries)
    : m_sink(sink), m_disc(Iso_ShareCurrentDisc()), m_entries(std::move(entries)),
      m_total(TreeCopy_Count(*m_disc, m_entries)) {}

TreeCopyResult CSaveTreeDlgModel::OnShowWindow() {
    if (!Begin())
        return m_result;
    Copy(progress, stop);
    return End();
}

bool CSaveTreeDlgModel::Begin() {
    m_result = TreeCopyResult{};
    if (m_entries.empty() || Iso_SelectSession() != ISO_OK) {
        m_result.whole = false;
        m_sink.Show(IDS_SAVE_READ_ERROR);
        return false;
    }
    m_session = g_DiscModel->currentSessionEntry;
    m_device = g_CurrentDevice;
    m_folder = chooseFolder ? chooseFolder() : std::string();
    return !m_folder.empty(); // none chosen: nothing written, no message
}

void CSaveTreeDlgModel::Copy(const std::function<void(const TreeCopyTotals&)>& progressTo,
                             const std::function<bool()>& stop) {
    TreeCopyHooks hooks;
    hooks.progress = [&](const TreeCopyTotals& done) {
        m_done = done;
        if (progressTo)
            progressTo(done);
    };
    hooks.stop = stop;
    m_result = TreeCopy_Entries({*m_disc, m_session, m_device}, m_entries, m_folder, hooks);
}

TreeCopyResult CSaveTreeDlgModel::End() {
    const std::string summary = Summary(m_result, m_done.files, m_total.files);
    if (!summary.empty())
        m_sink.ShowUtf8(summary);
    return m_result;
}

std::string CSaveTreeDlgModel::Summary(const TreeCopyResult& result, uint32_t filesDone, uint32_t files) {
    std::string text;
    if (result.cancelled)
        text = "Save to Disc was cancelled: " + std::to_string(filesDone) + " of " + std::to_string(files) +
               " files were saved; the file being written was removed.";
    if (!result.notes.empty()) {
        if (!text.empty())
            text += "\n\n";
        text += "Sorry, not everything could be saved:";
        for (size_t i = 0; i < result.notes.size() && i < kSummaryLines; ++i)
            text += "\n" + result.notes[i];
        if (result.notes.size() > kSummaryLines)
            text += "\n... and " + std::to_string(result.notes.size() - kSummaryLines) + " more";
    } else if (!result.whole && !result.cancelled) {
        text = IDS_SAVE_WRITE_ERROR; // never a silent failure, even one that left no note
    }
    return text;
}
