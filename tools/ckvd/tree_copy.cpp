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
    const Totals total = Count(directory);
    Totals done;
    auto show = [&](uint64_t bytes) {
        if (progress)
            std::fprintf(stderr, "\r%s: %u of %u files, %llu of %llu bytes", dest.c_str(), done.files,
                         total.files, static_cast<unsigned long long>(bytes),
                         static_cast<unsigned long long>(total.bytes));
    };
    auto note = [&](const char* format, const std::string& a, const std::string& b) {
        if (progress)
            std::fputc('\n', stderr); // the message on a line of its own, the count goes on below it
        std::fprintf(stderr, format, a.c_str(), b.c_str());
    };
    bool whole = true;
    struct Level {
        const FileEntry* next;
        std::string path;
        DirectoryFd fd;
        mode_t mode; // set once the directory is filled (a read-only one would refuse its files before)
        const uint8_t* date; // the same for its time, which every file made in it changes
    };
    std::vector<Level> levels;
    levels.push_back({directory.firstChild, dest, std::move(root), 0, nullptr});
    std::unordered_set<std::string> written;
    show(0);
    while (!levels.empty()) {
        const FileEntry* e = levels.back().next;
        if (!e) {
            const std::optional<RecordedDate> date =
                levels.back().date ? RecordedDate_Of(levels.back().date) : std::nullopt;
            if (date) {
                const int64_t seconds = RecordedDate_Seconds(*date);
                const timespec times[2] = {{time_t(seconds), 0}, {time_t(seconds), 0}};
                if (::futimens(levels.back().fd.get(), times) != 0)
                    note("ckvd: %s: the recorded date was not kept: %s\n", levels.back().path,
                         std::strerror(errno));
            }
            if (levels.back().mode && ::fchmod(levels.back().fd.get(), levels.back().mode) != 0)
                note("ckvd: %s: the recorded mode was not kept: %s\n", levels.back().path,
                     std::strerror(errno));
            levels.pop_back();
            continue;
        }
        levels.back().next = e->nextSibling;
        if (e->flags & ISO_EXTENT_CONTINUED)
            continue; // copied with the file's first extent
        const std::string name = Iso_EntryName(e);
        const std::string local = levels.back().path + "/" + name;
        const int at = levels.back().fd.get();
        // Two entries of one directory under one name (versions ";1" and ";2" of a file, say) would leave
        // the second in place of the first: the second is left out, and said so.
        const bool again = !written.insert(local).second;
        if (!UsableName(name) || again) {
            note(again ? "ckvd: %s: a second entry named \"%s\"; left out\n"
                       : "ckvd: %s: the name \"%s\" cannot be a local file's; left out\n",
                 levels.back().path, name);
            whole = false;
            if (e->type == 'F') {
                ++done.files;
                done.bytes += Iso_FileSize(e);
            }
            continue;
        }
        if (e->type != 'F') {
            DirectoryFd sub(MakeDirectoryAt(at, name));
            if (sub.get() < 0) {
                note("ckvd: Sorry, Cannot Create the File... %s: %s\n", local, std::strerror(errno));
                whole = false;
                continue;
            }
            levels.push_back({e->firstChild, local, std::move(sub), PermissionsOf(*e), Iso_DirectoryDate(e)});
            continue;
        }
        auto keepDate = [&] {
            const std::optional<RecordedDate> date = RecordedDate_Of(e->date);
            if (!date)
                return;
            const int64_t seconds = RecordedDate_Seconds(*date);
            const timespec times[2] = {{time_t(seconds), 0}, {time_t(seconds), 0}};
            if (utimensat(at, name.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
                note("ckvd: %s: the recorded date was not kept: %s\n", local, std::strerror(errno));
                whole = false;
            }
        };
        if (const char* target = Iso_SymlinkTarget(e)) {
            if (MakeLinkAt(at, name, target)) {
                keepDate();
            } else {
                note("ckvd: Sorry, Cannot Create the File... %s: %s\n", local, std::strerror(errno));
                whole = false;
            }
            ++done.files;
            continue;
        }
        std::string why;
        std::unique_ptr<SaveWriter> out = SaveToDisc_CreateAt(at, name, &why);
        SaveOutcome o;
        if (!out) {
            note("ckvd: Sorry, Cannot Create the File... %s: %s\n", local, why);
            o.result = SaveResult::WriteError;
        } else {
            const uint64_t before = done.bytes;
            o = SaveToDisc_Copy(
                *e, *out, buffer, [&](uint64_t written) { show(before + written); }, true);
            out.reset();
            if (o.result == SaveResult::ReadError) {
                char where[64];
                std::snprintf(where, sizeof where, "at block %u Code %04X", o.failedLba, unsigned(o.code));
                note("ckvd: %s: Sorry, Disc Read Error... %s (what was read is kept)\n", local, where);
            } else if (o.result != SaveResult::Ok) {
                note("ckvd: %s: %s\n", local, SaveToDisc_Message(o.result));
            }
            if (PermissionsOf(*e) && ::fchmodat(at, name.c_str(), PermissionsOf(*e), 0) != 0) {
                note("ckvd: %s: the recorded mode was not kept: %s\n", local, std::strerror(errno));
                whole = false;
            }
            keepDate();
        }
        whole = whole && o.result == SaveResult::Ok;
        ++done.files;
        done.bytes += Iso_FileSize(e);
        show(done.bytes);
    }
    if (progress)
        std::fputc('\n', stderr);
    return whole;
}
