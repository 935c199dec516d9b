#include "app/app_options.h"

#include <cstdlib>
#include <cstring>

AppOptions App_ParseOptions(int argc, char** argv) {
    AppOptions o;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (!std::strcmp(a, "--image") && i + 1 < argc) {
            o.images.emplace_back(argv[++i]);
        } else if (!std::strcmp(a, "--demo")) {
            o.demo = true;
        } else if (!std::strcmp(a, "--screenshot") && i + 1 < argc) {
            o.screenshot = argv[++i];
        } else if (!std::strcmp(a, "--verbose")) {
            o.verbose = true;
        } else if (!std::strcmp(a, "--help") || !std::strcmp(a, "-h")) {
            o.help = true;
        } else {
            o.error = std::string("unknown or incomplete argument: ") + a;
            break;
        }
    }
    return o;
}

bool App_NoDisplay() {
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    return !set("DISPLAY") && !set("WAYLAND_DISPLAY") && !set("QT_QPA_PLATFORM");
}
