// The device of a path, started as the desktop program starts a selected drive.
#include "device_open.h"

#include <cstdint>
#include <cstdio>

#include "aspi/aspi_manager.h"

std::string Tools_CodeText(const char* what, int code) {
    char text[160];
    std::snprintf(text, sizeof text, "%s Code %04X", what, unsigned(code));
    return text;
}

int Tools_OpenDevice(const std::string& path, const char* program, std::string& error) {
    error.clear();
    int scan = 1;
    const int index = Aspi_FindDevice(path.c_str(), &scan);
    if (scan != 1) {
        error = Tools_CodeText("Scan Device Error", scan);
        return -1;
    }
    if (index < 0)
        return -1;
    AspiStartHooks hooks;
    hooks.spinUpFailed = [program](int code) {
        std::fprintf(stderr, "%s: %s\n", program, Tools_CodeText("SpinUp Error", code).c_str());
    };
    const AspiStartResult started = Aspi_StartDevice(static_cast<uint16_t>(index), hooks);
    if (started.ready != 1) {
        error = Tools_CodeText("Drive Not Ready", started.ready);
        return -1;
    }
    return index;
}
