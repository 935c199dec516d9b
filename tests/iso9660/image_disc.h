// Shared by the tests over discs made by other tools: running a peer tool, and loading a disc image into an
// image drive through the real device facade and disc file system.
#pragma once

#include <iconv.h>

#include <array>
#include <cstdio>
#include <memory>
#include <string>

#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"
#include "platform/drives/drive_setup.h"

namespace testdisc {

// What `command` printed on standard output.
inline std::string RunCommand(const std::string& command) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> p(popen(command.c_str(), "r"), pclose);
    std::array<char, 4096> buf;
    for (size_t n; p && (n = fread(buf.data(), 1, buf.size(), p.get())) > 0;)
        out.append(buf.data(), n);
    return out;
}

// A Shift-JIS (CP932) text in UTF-8, as far as it converts; `whole` tells whether all of it did.
inline std::string Utf8(const char* sjis, bool* whole = nullptr) {
    std::string in(sjis ? sjis : ""), out(in.size() * 3 + 1, '\0');
    char* src = in.data();
    char* dst = out.data();
    size_t left = in.size(), room = out.size();
    iconv_t cd = iconv_open("UTF-8", "CP932");
    const bool converted = iconv(cd, &src, &left, &dst, &room) != size_t(-1);
    iconv_close(cd);
    if (whole)
        *whole = converted;
    out.resize(out.size() - room);
    return out;
}

// Starts the device facade, puts the image at `path` into an image drive, starts it and analyses its disc
// as the program does; the device becomes g_CurrentDevice (g_CurrentSession stays where the analysis left
// it). Returns the analysis' result, or -1 when no drive serves the image (`error` says why).
inline int LoadImageDisc(const std::string& path, std::string* error) {
    if (Aspi_Initialize() != 1 || !ckvd::drives::SetupDrives({path}, error))
        return -1;
    Aspi_ScanDevices();
    Aspi_AssignRootPaths();
    uint16_t index = 0;
    for (DeviceEntry* d = g_DeviceList; d; d = d->next, ++index) {
        if (std::string(d->driveRootPath) != path + "/")
            continue;
        Aspi_StartStopUnit(index, 1);
        Aspi_TestUnitReady(index); // a new medium answers UNIT ATTENTION once
        Aspi_TestUnitReady(index);
        Iso_Initialize();
        const int result = Iso_AnalyzeDisc(index);
        g_CurrentDevice = index;
        return result;
    }
    *error = "no image drive for " + path;
    return -1;
}

} // namespace testdisc
