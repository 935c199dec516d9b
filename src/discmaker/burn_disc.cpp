#include "discmaker/burn_disc.h"

#include <unistd.h>

#include <memory>
#include <vector>

#include "discmaker/burn_loader.h"

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

// The write of one data track from the image file.
bool Write(burn_drive* drive, const std::string& image, const BurnOptions& options,
           const BurnProgress& progress, std::string& error) {
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

} // namespace

namespace {

constexpr char kStdio[] = "stdio:";

} // namespace

std::string Burn_StdioDrive(const std::string& path) {
    return kStdio + path;
}

std::string Burn_StdioFile(const std::string& drive) {
    return drive.rfind(kStdio, 0) == 0 ? drive.substr(sizeof kStdio - 1) : std::string();
}

bool Burn_Image(const std::string& image, const std::string& drive, const BurnOptions& options,
                const BurnProgress& progress, std::string& error) {
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
        ok = Ready(d, drive, options, progress, error) && Write(d, image, options, progress, error);
        lib->burn_drive_release(d, 0);
        lib->burn_drive_info_free(infos);
    }
    lib->burn_finish();
    return ok;
}
