// The device of a path, started as the desktop program starts a selected drive.
#include "device_open.h"

#include <grp.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "aspi/aspi_manager.h"
#include "platform/drives/drive_setup.h"

namespace {

// What the sense of the last readiness test says, in words; empty for a drive that gave none.
std::string NotReadyWords(const AspiSense& s) {
    if (s.key == 0x02 && s.asc == 0x3A)
        return "medium not present (no disc in the drive)";
    if (s.key == 0x02 && s.asc == 0x04 && s.ascq == 0x01)
        return "the drive is still becoming ready";
    if (s.key == 0 && s.asc == 0)
        return {};
    char text[64];
    std::snprintf(text, sizeof text, "sense %X/%02X/%02X", s.key, s.asc, s.ascq);
    return text;
}

std::string GroupName(unsigned gid) {
    const struct group* g = getgrgid(gid);
    return g ? g->gr_name : std::to_string(gid);
}

// The device node a path names: links followed to their end (/dev/cdrom, /dev/disk/by-id/...), the path as
// given when it cannot be.
std::string Resolved(const std::string& path) {
    std::error_code error;
    const std::filesystem::path target = std::filesystem::canonical(path, error);
    return error ? path : target.string();
}

// Why the device node `node` at `named` gives no drive; empty when nothing more is known than that.
std::string NodeRefusal(const ckvd::drives::SgNode& node, const std::string& named) {
    if (node.error == EACCES || node.error == EPERM)
        return Tools_PermissionText(named, node.path, node.gid);
    if (node.type >= 0) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "no CD drive at %s: the device is of SCSI peripheral type %d%s, not 5", named.c_str(),
                      node.type & 0x1F, node.type >> 5 ? " (not connected)" : "");
        return text;
    }
    return {};
}

} // namespace

std::string Tools_CodeText(const char* what, int code) {
    char text[160];
    std::snprintf(text, sizeof text, "%s Code %04X", what, unsigned(code));
    return text;
}

bool Tools_IsDeviceNode(const std::string& path) {
    if (path.rfind("/dev/", 0) == 0)
        return true;
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode));
}

std::string Tools_PermissionText(const std::string& named, const std::string& node, unsigned gid) {
    const std::string denied =
        "Permission denied: " + named + (named == node ? "" : " (" + node + ")") + ": ";
    if (gid == 0) // no group to join: the node is root's own
        return denied + "only root may open " + node;
    const std::string group = GroupName(gid);
    return denied + "join the group that owns " + node + ", " + group + " (sudo adduser $USER " + group +
           "), and log in again";
}

int Tools_FindDevice(const std::string& path, std::string& error) {
    error.clear();
    int scan = 1;
    int index = Aspi_FindDevice(path.c_str(), &scan);
    if (index < 0 && scan == 1) {
        const std::string node = Resolved(path);
        if (node != path)
            index = Aspi_FindDevice(node.c_str(), &scan);
        // A node the scan does not know (a /dev/sgN, a drive not to be opened): whatever it is, it is said.
        ckvd::drives::SgAdapter* sg = ckvd::drives::SgDrives();
        if (index < 0 && scan == 1 && sg && node.rfind("/dev/", 0) == 0) {
            const ckvd::drives::SgNode added = sg->add(node);
            if (added.target >= 0)
                index = Aspi_FindDevice(node.c_str(), &scan);
            else
                error = NodeRefusal(added, path);
        }
    }
    if (scan != 1) {
        error = Tools_CodeText("Scan Device Error", scan);
        return -1;
    }
    return index;
}

int Tools_OpenDevice(const std::string& path, const char* program, std::string& error) {
    const int index = Tools_FindDevice(path, error);
    if (index < 0)
        return -1;
    AspiStartHooks hooks;
    hooks.spinUpFailed = [program](int code) {
        std::fprintf(stderr, "%s: %s\n", program, Tools_CodeText("SpinUp Error", code).c_str());
    };
    const AspiStartResult started = Aspi_StartDevice(static_cast<uint16_t>(index), hooks);
    if (started.ready != 1) {
        error = Tools_CodeText("Drive Not Ready", started.ready);
        if (const std::string words = NotReadyWords(started.sense); !words.empty())
            error += ": " + words;
        return -1;
    }
    return index;
}
