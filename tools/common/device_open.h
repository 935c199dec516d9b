// Opening a CD-ROM device for the command-line programs: the scan, the device of a path, its spin-up.
#pragma once

#include <string>

// The index of the device whose path is `path` (a device path, or an image put into an image drive), after a
// scan. A device is named as users name it: a link (/dev/cdrom, /dev/disk/by-id/...) stands for the node it
// leads to, and a node the scan does not list (a /dev/sgN) is added when INQUIRY calls it a CD drive. -1 with
// the reason in `error` ("Scan Device Error Code XXXX", "Permission denied: ...", a device of another type),
// or -1 with `error` empty when no device has that path.
int Tools_FindDevice(const std::string& path, std::string& error);

// Finds the device of `path` as Tools_FindDevice does and spins it up. Returns its index; -1 with the failure
// ("Drive Not Ready Code 0004: medium not present (no disc in the drive)") in `error`, or -1 with `error`
// empty when no device has that path. A failed spin-up is printed ("PROGRAM: SpinUp Error Code XXXX") and the
// readiness tests decide.
int Tools_OpenDevice(const std::string& path, const char* program, std::string& error);

// Whether a command's DRIVE names a device rather than an image file: a path under /dev/, or one that leads
// to a character or block device.
bool Tools_IsDeviceNode(const std::string& path);

// "WHAT Code XXXX", as the desktop program's messages give a result code.
std::string Tools_CodeText(const char* what, int code);

// What a user who may not open the device node `node` (named as `named`) is told: the group that owns it
// (group id `gid`) and how to join it.
std::string Tools_PermissionText(const std::string& named, const std::string& node, unsigned gid);
