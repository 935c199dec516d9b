#include "discmaker/make_image.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <vector>

#include <libburn/libburn.h>

#include "discmaker/id3_writer.h"
#include "discmaker/isofs_loader.h"
#include "discmaker/make_navigation.h"
#include "platform/bytes/write_all.h"

namespace {

const LibIsofs* isofs = nullptr; // loaded by the first image made

// libisofs's library state for one image's life.
class Library {
  public:
    Library() : m_ok(isofs->iso_init() >= 0) {
        if (m_ok) {
            static char utf8[] = "UTF-8";
            isofs->iso_set_local_charset(utf8, 0);
            static char never[] = "NEVER", fatal[] = "FATAL", none[] = "";
            isofs->iso_set_msgs_severities(never, fatal, none);
        }
    }
    ~Library() {
        if (m_ok)
            isofs->iso_finish();
    }
    bool Ok() const { return m_ok; }

  private:
    bool m_ok;
};

std::string Why(int code) {
    return LibIsofs_Why(*isofs, code);
}

// A folder of its own for the copies whose tags are rewritten, removed with what it holds.
class Copies {
  public:
    ~Copies() {
        if (!m_dir.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_dir, ignored);
        }
    }
    // The copy of `file` with its ID3v2.4 tag as ID3v2.3, or its source where that cannot be made.
    std::string For(const MakeFile& file, std::vector<std::string>& warnings) {
        std::string error;
        if (m_dir.empty()) {
            std::string pattern = (std::filesystem::temp_directory_path() / "ckvd-make-XXXXXX").string();
            if (!mkdtemp(pattern.data())) {
                warnings.push_back(
                    file.source + ": its tag is not rewritten: no temporary folder: " + std::strerror(errno));
                return file.source;
            }
            m_dir = pattern;
        }
        const std::string copy = m_dir + "/" + std::to_string(m_count++) + ".mp3";
        if (Make_Id3v23Copy(file.source, copy, error))
            return copy;
        warnings.push_back(file.source + ": its tag is not rewritten: " + error);
        return file.source;
    }

  private:
    std::string m_dir;
    size_t m_count = 0;
};

// The file each track is written from, in plan order: its source, or the copy with its tag rewritten.
std::vector<std::string> Sources(const MakePlan& plan, Copies& copies, std::vector<std::string>& warnings) {
    std::vector<std::string> from;
    for (const MakeFolder& f : plan.folders)
        for (const MakeFile& file : f.files)
            from.push_back(file.id3To23 ? copies.For(file, warnings) : file.source);
    return from;
}

// The navigation files into the root, their data before the tracks'.
bool AddNavigation(IsoImage* image, const NavSet& nav, int weight, std::string& error) {
    for (const auto& [name, bytes] : nav.files) {
        auto* buffer = static_cast<unsigned char*>(std::malloc(bytes.size() ? bytes.size() : 1));
        IsoStream* stream = nullptr;
        if (!buffer || isofs->iso_memory_stream_new(buffer, bytes.size(), &stream) < 0) {
            std::free(buffer); // the stream owns it only once made
            error = name + ": out of memory";
            return false;
        }
        std::memcpy(buffer, bytes.data(), bytes.size());
        IsoFile* file = nullptr;
        const int rc = isofs->iso_image_add_new_file(image, isofs->iso_image_get_root(image), name.c_str(),
                                                     stream, &file);
        if (rc < 0) {
            isofs->iso_stream_unref(stream);
            error = name + ": " + Why(rc);
            return false;
        }
        isofs->iso_node_set_sort_weight(reinterpret_cast<IsoNode*>(file), weight);
    }
    return true;
}

// The image's tree: every folder of the plan, each file from `from` (Sources), the data in playback order.
bool BuildTree(IsoImage* image, const MakePlan& plan, const std::vector<std::string>& from,
               std::string& error) {
    std::map<std::string, IsoDir*> dirs{{"", isofs->iso_image_get_root(image)}};
    int weight = int(plan.Tracks()) + 1;
    size_t next = 0;
    for (const MakeFolder& f : plan.folders) {
        if (!f.path.empty()) {
            const size_t slash = f.path.rfind('/');
            IsoDir* dir = nullptr;
            const int rc = isofs->iso_tree_add_new_dir(dirs[f.path.substr(0, slash)],
                                                       f.path.substr(slash + 1).c_str(), &dir);
            if (rc < 0) {
                error = f.path + ": " + Why(rc);
                return false;
            }
            dirs[f.path] = dir;
        }
        for (const MakeFile& file : f.files) {
            IsoNode* node = nullptr;
            const int rc = isofs->iso_tree_add_new_node(image, dirs[f.path], file.name.c_str(),
                                                        from[next++].c_str(), &node);
            if (rc < 0) {
                error = file.source + ": " + Why(rc);
                return false;
            }
            isofs->iso_node_set_sort_weight(node, --weight); // the first track's data first
        }
    }
    return true;
}

IsoWriteOpts* Options(const PlayerProfile& profile) {
    IsoWriteOpts* opts = nullptr;
    // Distribution: Rock Ridge and Joliet, ownership and times made plain.
    if (isofs->iso_write_opts_new(&opts, 2) < 0)
        return nullptr;
    isofs->iso_write_opts_set_iso_level(opts, profile.names == PlayerNames::Iso9660 ? profile.isoLevel : 2);
    isofs->iso_write_opts_set_rockridge(opts, 1);
    isofs->iso_write_opts_set_joliet(opts, 1);
    isofs->iso_write_opts_set_sort_files(opts, 1);
    isofs->iso_write_opts_set_omit_version_numbers(opts, 2); // Joliet names as Windows writes them, no ";1"
    return opts;
}

// Writes the image's bytes from libisofs's source into `fd`.
bool Copy(burn::burn_source* source, int fd, const std::string& out, uint64_t total,
          const MakeProgress& progress, std::string& error) {
    std::vector<unsigned char> block(2048 * 16);
    uint64_t written = 0;
    for (;;) {
        // A block a call, as libburn reads it: libisofs's ring buffer answers a larger request that meets the
        // image's end with 0, and the bytes it had are lost.
        size_t have = 0;
        int n = 0;
        while (have < block.size() && (n = source->read_xt(source, block.data() + have, 2048)) == 2048)
            have += 2048;
        if (const int failed = bytes::WriteAll(fd, block.data(), have)) {
            error = out + ": " + std::strerror(failed);
            return false;
        }
        written += have;
        if (progress && !progress(written, total)) {
            error = "stopped";
            return false;
        }
        if (n < 0) {
            error = out + ": libisofs could not make the image (a source file changed or cannot be read)";
            return false;
        }
        if (n != 2048) {
            if (total && written != total) {
                error = out + ": libisofs ended the image after " + std::to_string(written) + " of its " +
                        std::to_string(total) + " bytes";
                return false;
            }
            return true;
        }
    }
}

// Writes the image from `source` beside `out` and renames it when whole and on the disk, so that a failure
// or a crash leaves no partial image; LSN.LMX gets its sectors first where `nav` is given.
bool WriteFile(burn::burn_source* source, const std::string& out, const NavSet* nav,
               const MakeProgress& progress, std::string& error) {
    const std::string part = out + ".part";
    const int fd = open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = fd >= 0;
    if (!ok)
        error = part + ": " + std::strerror(errno);
    const uint64_t total = uint64_t(source->get_size(source));
    if (ok)
        ok = Copy(source, fd, out, total, progress, error);
    if (!ok)
        source->cancel(source);
    source->free_data(source);
    free(source);
    if (ok && nav)
        ok = Make_WriteSectors(part, fd, *nav, error);
    if (ok && fsync(fd) != 0) {
        error = part + ": " + std::strerror(errno);
        ok = false;
    }
    if (fd >= 0 && (close(fd) != 0 && ok)) {
        error = part + ": " + std::strerror(errno);
        ok = false;
    }
    if (ok && std::rename(part.c_str(), out.c_str()) != 0) {
        error = out + ": " + std::strerror(errno);
        ok = false;
    }
    if (!ok)
        std::remove(part.c_str());
    return ok;
}

} // namespace

bool Make_WriteImage(const MakePlan& plan, const PlayerProfile& profile, const std::string& out,
                     std::string& error, std::vector<std::string>& warnings, const MakeProgress& progress) {
    if (!isofs && !(isofs = LibIsofs_Load(error)))
        return false;
    Library library;
    if (!library.Ok()) {
        error = "libisofs cannot be started";
        return false;
    }
    IsoImage* image = nullptr;
    if (const int rc = isofs->iso_image_new(plan.volume.c_str(), &image); rc < 0) {
        error = Why(rc);
        return false;
    }
    std::unique_ptr<IsoImage, void (*)(IsoImage*)> own(image, isofs->iso_image_unref);
    isofs->iso_tree_set_follow_symlinks(image, 1);
    isofs->iso_image_set_application_id(image, const_cast<char*>("CKVD EXPLORER"));
    Copies copies; // removed before the image is let go, once libisofs has read them for the image
    const std::vector<std::string> from = Sources(plan, copies, warnings);
    NavSet nav;
    if (profile.navigation && (!Make_Navigation(plan, from, nav, error) ||
                               !AddNavigation(image, nav, int(plan.Tracks()) + 1, error)))
        return false;
    if (!BuildTree(image, plan, from, error))
        return false;
    std::unique_ptr<IsoWriteOpts, void (*)(IsoWriteOpts*)> opts(Options(profile), isofs->iso_write_opts_free);
    ::burn_source* made = nullptr;
    if (!opts) {
        error = "libisofs: no write options";
        return false;
    }
    if (const int rc = isofs->iso_image_create_burn_source(image, opts.get(), &made); rc < 0) {
        error = Why(rc);
        return false;
    }
    // libburn's header puts the struct libisofs fills into its namespace in C++: the same struct.
    return WriteFile(reinterpret_cast<burn::burn_source*>(made), out, profile.navigation ? &nav : nullptr,
                     progress, error);
}
