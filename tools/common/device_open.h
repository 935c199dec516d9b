// Opening a CD-ROM device for the command-line programs: the scan, the device of a path, its spin-up.
#pragma once

#include <string>

// Scans the host adapters, finds the device whose path is `path` (a device path, or an image put into an
// image drive) and spins it up. Returns its index; -1 with the failure ("Drive Not Ready Code 0002") in
// `error`, or -1 with `error` empty when no device has that path. A failed spin-up is printed
// ("PROGRAM: SpinUp Error Code XXXX") and the readiness tests decide.
int Tools_OpenDevice(const std::string& path, const char* program, std::string& error);

// "WHAT Code XXXX", as the desktop program's messages give a result code.
std::string Tools_CodeText(const char* what, int code);
