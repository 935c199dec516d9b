#include "discmaker/burn_disc.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "discmaker/burn_loader.h"
#include "platform/bytes/byte_order.h"

namespace {

using namespace burn;

const LibBurn* lib = nullptr; // loaded by the first burn

// libburn's messages of SORRY and worse since the last call, a line each.
std::string Messages() {
    std::string text;
    char minimum[] = "SORRY";
    for (;;) {
        int code = 0, os = 0;
        char message[BURN_MSGS_MESSAGE_LEN] = {}, severity[80] = {};
        if (lib->burn_msgs_obtain(minimum, &code, message, &os, severity) <= 0)
            return text;
        text += (text.empty() ? "" : "; ") + std::string(message);
    }
}

// Waits for the drive's work under way to end, reporting it as `phase`.
void Wait(burn_drive* drive, const char* phase, const BurnProgress& progress) {
    while (lib->burn_drive_get_status(drive, nullptr) == BURN_DRIVE_SPAWNING)
        usleep(50000);
    burn_progress p{};
    while (lib->burn_drive_get_status(drive, &p) != BURN_DRIVE_IDLE) {
        if (progress)
            progress(phase, uint64_t(p.sector) * 2048, uint64_t(p.sectors) * 2048);
        usleep(100000);
    }
}

// The medium is one the image can go onto, after a blanking where asked.
bool Ready(burn_drive* drive, const std::string& name, const BurnOptions& options,
           const BurnProgress& progress, std::string& error) {
    burn_disc_status status;
    while ((status = lib->burn_disc_get_status(drive)) == BURN_DISC_UNREADY)
        usleep(100000);
    if (options.blank) {
        if (status == BURN_DISC_EMPTY || !lib->burn_disc_erasable(drive)) {
            error = "the disc in " + name + " cannot be blanked (it is not rewritable)";
            return false;
        }
        lib->burn_disc_erase(drive, 1);
        Wait(drive, "blanking", progress);
        if (const std::string m = Messages(); !m.empty()) {
            error = "blanking the disc in " + name + " failed: " + m;
            return false;
        }
        status = lib->burn_disc_get_status(drive);
    }
    if (status == BURN_DISC_EMPTY)
        error = "no disc in " + name;
    else if (status == BURN_DISC_FULL)
        error = "the disc in " + name + " is closed" +
                (lib->burn_disc_erasable(drive) ? ": --blank blanks it first" : ": a new disc is needed");
    else if (status == BURN_DISC_APPENDABLE && !options.multisession)
        error = "the disc in " + name + " holds sessions already: --multisession adds one to them";
    else if (status != BURN_DISC_BLANK && status != BURN_DISC_APPENDABLE)
        error = "the medium in " + name + " cannot be written";
    return error.empty();
}

// The block the next session starts at: the next writable address, 0 where the drive gives none (a blank
// disc, a stdio: file).
uint32_t NextSession(burn_drive* drive, burn_write_opts* opts) {
    int lba = 0, nwa = 0;
    return lib->burn_disc_track_lba_nwa(drive, opts, 0, &lba, &nwa) == 1 && nwa > 0 ? uint32_t(nwa) : 0;
}

// The write of one data track from the image file, at the block given back in `start`.
bool Write(burn_drive* drive, const std::string& image, const BurnOptions& options,
           const BurnProgress& progress, std::string& error, uint32_t& start) {
    std::unique_ptr<burn_disc, void (*)(burn_disc*)> disc(lib->burn_disc_create(), lib->burn_disc_free);
    std::unique_ptr<burn_session, void (*)(burn_session*)> session(lib->burn_session_create(),
                                                                   lib->burn_session_free);
    std::unique_ptr<burn_track, void (*)(burn_track*)> track(lib->burn_track_create(), lib->burn_track_free);
    lib->burn_disc_add_session(disc.get(), session.get(), BURN_POS_END);
    lib->burn_track_define_data(track.get(), 0, 0, 1, BURN_MODE1);
    burn_source* file = lib->burn_file_source_new(image.c_str(), nullptr);
    if (!file) {
        error = image + ": cannot be read";
        return false;
    }
    // A fifo between the file and the drive keeps the drive fed.
    burn_source* fifo = lib->burn_fifo_source_new(file, 2048, 2048, 0);
    const bool set = fifo && lib->burn_track_set_source(track.get(), fifo) == BURN_SOURCE_OK;
    lib->burn_session_add_track(session.get(), track.get(), BURN_POS_END);
    std::unique_ptr<burn_write_opts, void (*)(burn_write_opts*)> opts(lib->burn_write_opts_new(drive),
                                                                      lib->burn_write_opts_free);
    char reasons[BURN_REASONS_LEN] = {};
    bool ok = set && opts;
    if (ok) {
        lib->burn_write_opts_set_perform_opc(opts.get(), 0);
        lib->burn_write_opts_set_multi(opts.get(), options.multisession ? 1 : 0);
        lib->burn_write_opts_set_underrun_proof(opts.get(), 1);
        ok = lib->burn_write_opts_auto_write_type(opts.get(), disc.get(), reasons, 0) != BURN_WRITE_NONE;
        if (!ok) {
            std::string why = reasons;
            while (!why.empty() && (why.back() == ' ' || why.back() == ','))
                why.pop_back();
            error = "the disc cannot take the image: " + why;
        }
    } else {
        error = "libburn cannot set up the write";
    }
    if (ok) {
        start = NextSession(drive, opts.get());
        ok = Burn_ImageFitsAt(image, start, error);
    }
    if (ok) {
        lib->burn_drive_set_speed(drive, 0, options.speed);
        lib->burn_disc_write(opts.get(), disc.get());
        Wait(drive, "writing", progress);
        ok = lib->burn_drive_wrote_well(drive) == 1;
        if (!ok)
            error = "writing failed: " + Messages();
    }
    if (fifo)
        lib->burn_source_free(fifo);
    lib->burn_source_free(file);
    return ok;
}

constexpr char kStdio[] = "stdio:";

// libburn writes over a stdio: file from its start and leaves what lay past the image: a file longer than
// the image is cut to it, so that the burned file is the image. A device (a stdio: disk) is left as it is.
bool EndFile(const std::string& file, const std::string& image, std::string& error) {
    struct stat target {
    }, source{};
    if (file.empty() || stat(file.c_str(), &target) != 0 || !S_ISREG(target.st_mode))
        return true;
    if (stat(image.c_str(), &source) != 0 || target.st_size <= source.st_size)
        return true;
    if (truncate(file.c_str(), source.st_size) != 0) {
        error = file + ": what lay past the image cannot be cut off: " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace

std::string Burn_StdioDrive(const std::string& path) {
    return kStdio + path;
}

std::string Burn_StdioFile(const std::string& drive) {
    return drive.rfind(kStdio, 0) == 0 ? drive.substr(sizeof kStdio - 1) : std::string();
}

bool Burn_ImageFitsAt(const std::string& image, uint32_t start, std::string& error) {
    constexpr uint32_t kBlock = 2048;
    const int fd = open(image.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = image + ": cannot be read";
        return false;
    }
    uint8_t pvd[kBlock];
    const off_t size = lseek(fd, 0, SEEK_END);
    const bool read = pread(fd, pvd, kBlock, 16 * kBlock) == ssize_t(kBlock);
    close(fd);
    // Only an ISO 9660 volume can be judged: its primary descriptor at block 16 of the session.
    if (!read || pvd[0] != 1 || std::memcmp(pvd + 1, "CD001", 5) != 0)
        return true;
    const uint64_t blocks = uint64_t(size) / kBlock, root = bytes::Le32(pvd + 158);
    if (root >= uint64_t(start) + 17 && root < uint64_t(start) + blocks)
        return true;
    error = image + " cannot go at block " + std::to_string(start) +
            ", where the disc's next session starts: its root directory is at block " + std::to_string(root) +
            ", outside the blocks " + std::to_string(start) + "-" + std::to_string(start + blocks - 1) +
            " it would fill, so its files would point at the wrong blocks" +
            (start ? ": make the image for block " + std::to_string(start) +
                         " (-C of xorriso -as mkisofs or genisoimage)"
                   : ": it was made for a later session");
    return false;
}

bool Burn_Image(const std::string& image, const std::string& drive, const BurnOptions& options,
                const BurnProgress& progress, std::string& error, uint32_t* start) {
    if (!lib && !(lib = LibBurn_Load(error)))
        return false;
    if (access(image.c_str(), R_OK) != 0) {
        error = image + ": cannot be read";
        return false;
    }
    if (!lib->burn_initialize()) {
        error = "libburn cannot be started";
        return false;
    }
    char queue[] = "ALL", print[] = "NEVER", prefix[] = "ckvd: ";
    lib->burn_msgs_set_severities(queue, print, prefix);
    burn_drive_info* infos = nullptr;
    std::vector<char> address(drive.begin(), drive.end());
    address.push_back('\0');
    bool ok = lib->burn_drive_scan_and_grab(&infos, address.data(), 1) > 0 && infos;
    if (!ok) {
        const std::string m = Messages();
        error = "cannot use " + drive + (m.empty() ? "" : ": " + m);
    } else {
        burn_drive* d = infos[0].drive;
        uint32_t at = 0;
        ok = Ready(d, drive, options, progress, error) && Write(d, image, options, progress, error, at);
        if (start)
            *start = at;
        if (ok)
            ok = EndFile(Burn_StdioFile(drive), image, error);
        lib->burn_drive_release(d, 0);
        lib->burn_drive_info_free(infos);
    }
    lib->burn_finish();
    return ok;
}
