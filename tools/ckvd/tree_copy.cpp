#include "tree_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <unordered_set>
#include <utility>
#include <vector>

#include "appmodel/save_to_disc.h"
#include "iso9660/iso9660.h"
#include "recorded_date.h"
#include "report/disc_text.h"

namespace {

struct Totals {
    uint32_t files = 0;
    uint64_t bytes = 0;
};

// Files and bytes below `directory`, for the progress line.
Totals Count(const FileEntry& directory) {
    Totals t;
    std::vector<const FileEntry*> pending{directory.firstChild};
    while (!pending.empty()) {
        const FileEntry* e = pending.back();
        pending.pop_back();
        for (; e; e = e->nextSibling) {
            if (e->type == 'F') {
                t.files += (e->flags & ISO_EXTENT_CONTINUED) ? 0 : 1;
                t.bytes += e->size;
            } else {
                pending.push_back(e->firstChild);
            }
        }
    }
    return t;
}

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
mode_t PermissionsOf(const FileEntry& e) {
    return e.mode & 0777;
}

// One run of ckvd get -r: the walk's state, the progress line and the messages.
class TreeCopier {
  public:
    TreeCopier(const std::string& dest, bool progress, const Totals& total, std::vector<uint8_t> buffer)
        : m_dest(dest), m_progress(progress), m_total(total), m_buffer(std::move(buffer)) {}

    bool Run(const FileEntry& directory, DirectoryFd root) {
        m_levels.push_back({directory.firstChild, m_dest, std::move(root), 0, nullptr});
        Show(0);
        while (!m_levels.empty()) {
            const FileEntry* e = m_levels.back().next;
            if (!e) {
                FinishLevel();
                continue;
            }
            m_levels.back().next = e->nextSibling;
            if (!(e->flags & ISO_EXTENT_CONTINUED)) // else copied with the file's first extent
                Copy(*e);
        }
        if (m_progress)
            std::fputc('\n', stderr);
        return m_whole;
    }

  private:
    struct Level {
        const FileEntry* next;
        std::string path;
        DirectoryFd fd;
        mode_t mode; // set once the directory is filled (a read-only one would refuse its files before)
        const uint8_t* date; // the same for its time, which every file made in it changes
    };

    void Show(uint64_t bytes) const {
        if (m_progress)
            std::fprintf(stderr, "\r%s: %u of %u files, %llu of %llu bytes", m_dest.c_str(), m_done.files,
                         m_total.files, static_cast<unsigned long long>(bytes),
                         static_cast<unsigned long long>(m_total.bytes));
    }

    void Note(const char* format, const std::string& a, const std::string& b) const {
        if (m_progress)
            std::fputc('\n', stderr); // the message on a line of its own, the count goes on below it
        std::fprintf(stderr, format, a.c_str(), b.c_str());
    }

    // A directory filled: its recorded date and mode, then back to its parent.
    void FinishLevel() {
        Level& level = m_levels.back();
        const std::optional<RecordedDate> date = level.date ? RecordedDate_Of(level.date) : std::nullopt;
        if (date) {
            const int64_t seconds = RecordedDate_Seconds(*date);
            const timespec times[2] = {{time_t(seconds), 0}, {time_t(seconds), 0}};
            if (::futimens(level.fd.get(), times) != 0)
                Note("ckvd: %s: the recorded date was not kept: %s\n", level.path, std::strerror(errno));
        }
        if (level.mode && ::fchmod(level.fd.get(), level.mode) != 0)
            Note("ckvd: %s: the recorded mode was not kept: %s\n", level.path, std::strerror(errno));
        m_levels.pop_back();
    }

    void Copy(const FileEntry& e) {
        const std::string name = Iso_EntryName(&e);
        const std::string local = m_levels.back().path + "/" + name;
        const int at = m_levels.back().fd.get();
        // Two entries of one directory under one name (versions ";1" and ";2" of a file, say) would leave
        // the second in place of the first: the second is left out, and said so.
        const bool again = !m_written.insert(local).second;
        if (!UsableName(name) || again) {
            Note(again ? "ckvd: %s: a second entry named \"%s\"; left out\n"
                       : "ckvd: %s: the name \"%s\" cannot be a local file's; left out\n",
                 m_levels.back().path, name);
            m_whole = false;
            if (e.type == 'F') {
                ++m_done.files;
                m_done.bytes += Iso_FileSize(&e);
            }
            return;
        }
        if (e.type != 'F') {
            DirectoryFd sub(MakeDirectoryAt(at, name));
            if (sub.get() < 0) {
                Note("ckvd: Sorry, Cannot Create the File... %s: %s\n", local, std::strerror(errno));
                m_whole = false;
                return;
            }
            m_levels.push_back(
                {e.firstChild, local, std::move(sub), PermissionsOf(e), Iso_DirectoryDate(&e)});
            return;
        }
        if (const char* target = Iso_SymlinkTarget(&e)) {
            if (MakeLinkAt(at, name, target)) {
                KeepDate(e, at, name, local);
            } else {
                Note("ckvd: Sorry, Cannot Create the File... %s: %s\n", local, std::strerror(errno));
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
            Note("ckvd: %s: the recorded date was not kept: %s\n", local, std::strerror(errno));
            m_whole = false;
        }
    }

    void CopyFile(const FileEntry& e, int at, const std::string& name, const std::string& local) {
        std::string why;
        std::unique_ptr<SaveWriter> out = SaveToDisc_CreateAt(at, name, &why);
        SaveOutcome o;
        if (!out) {
            Note("ckvd: Sorry, Cannot Create the File... %s: %s\n", local, why);
            o.result = SaveResult::WriteError;
        } else {
            const uint64_t before = m_done.bytes;
            o = SaveToDisc_Copy(
                e, *out, m_buffer, [&](uint64_t written) { Show(before + written); }, true);
            out.reset();
            if (o.result == SaveResult::ReadError) {
                char where[64];
                std::snprintf(where, sizeof where, "at block %u Code %04X", o.failedLba, unsigned(o.code));
                Note("ckvd: %s: Sorry, Disc Read Error... %s (what was read is kept)\n", local, where);
            } else if (o.result != SaveResult::Ok) {
                Note("ckvd: %s: %s\n", local, SaveToDisc_Message(o.result));
            }
            if (PermissionsOf(e) && ::fchmodat(at, name.c_str(), PermissionsOf(e), 0) != 0) {
                Note("ckvd: %s: the recorded mode was not kept: %s\n", local, std::strerror(errno));
                m_whole = false;
            }
            KeepDate(e, at, name, local);
        }
        m_whole = m_whole && o.result == SaveResult::Ok;
        ++m_done.files;
        m_done.bytes += Iso_FileSize(&e);
        Show(m_done.bytes);
    }

    const std::string& m_dest;
    const bool m_progress;
    const Totals m_total;
    std::vector<uint8_t> m_buffer;
    Totals m_done;
    bool m_whole = true;
    std::vector<Level> m_levels;
    std::unordered_set<std::string> m_written;
};

} // namespace

bool TreeCopy_Run(const FileEntry& directory, const std::string& dest, bool progress) {
    // DEST itself is the user's choice and may be reached through links; everything below it is made
    // relative to its descriptor and never through one.
    std::error_code ec;
    std::filesystem::create_directories(dest, ec);
    DirectoryFd root(::open(dest.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (root.get() < 0) {
        std::fprintf(stderr, "ckvd: Sorry, Cannot Create the File... %s: %s\n", dest.c_str(),
                     ec ? ec.message().c_str() : std::strerror(errno));
        return false;
    }
    std::vector<uint8_t> buffer = SaveToDisc_Buffer();
    if (buffer.empty()) {
        std::fprintf(stderr, "ckvd: %s\n", IDS_SAVE_NO_MEMORY);
        return false;
    }
    TreeCopier copier(dest, progress, Count(directory), std::move(buffer));
    return copier.Run(directory, std::move(root));
}
