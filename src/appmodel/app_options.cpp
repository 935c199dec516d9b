#include "appmodel/app_options.h"

#include <cstdlib>
#include <cstring>

#include "appmodel/image_open.h"
#include "res/resource.h"
#include "res/version.h"

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
        } else if (!std::strcmp(a, "--select") && i + 1 < argc) {
            o.select = argv[++i];
        } else if (!std::strcmp(a, "--dialog") && i + 1 < argc) {
            o.dialog = argv[++i];
        } else if (!std::strcmp(a, "--view") && i + 1 < argc) {
            const std::string view = argv[++i];
            o.viewCommand = view == "large"     ? ID_VIEW_LARGEICON
                            : view == "small"   ? ID_VIEW_SMALLICON
                            : view == "list"    ? ID_VIEW_LIST
                            : view == "details" ? ID_VIEW_DETAILS
                                                : -1;
            if (o.viewCommand < 0) {
                o.error = "--view takes large, small, list or details, not " + view;
                break;
            }
        } else if (!std::strcmp(a, "--lbn-size") && i + 1 < argc) {
            const std::string style = argv[++i];
            o.lbnSizeStyle = style == "10" ? 0 : style == "16" ? 1 : style == "msf" ? 2 : -1;
            if (o.lbnSizeStyle < 0) {
                o.error = "--lbn-size takes 10, 16 or msf, not " + style;
                break;
            }
        } else if (!std::strcmp(a, "--sort") && i + 1 < argc) {
            ListSort sort;
            if (!List_ParseSort(argv[++i], sort)) {
                o.error =
                    std::string("--sort takes name, lbn, size or date (with :desc after it) or disc, not ") +
                    argv[i];
                break;
            }
            o.sort = sort;
        } else if (!std::strcmp(a, "--player-profile") && i + 1 < argc) {
            o.playerProfile = argv[++i];
        } else if (!std::strcmp(a, "--music") && i + 1 < argc) {
            o.music = argv[++i];
        } else if (!std::strcmp(a, "--verbose")) {
            o.verbose = true;
        } else if (!std::strcmp(a, "--help") || !std::strcmp(a, "-h")) {
            o.help = true;
        } else if (!std::strcmp(a, "--version")) {
            o.version = true;
        } else if (a[0] != '-' && App_IsDiscImageName(a)) {
            o.openImages.emplace_back(a);
        } else if (a[0] != '-' && o.documentFile.empty()) {
            o.documentFile = a;
        } else {
            o.error = std::string("unknown or incomplete argument: ") + a;
            break;
        }
    }
    if (o.error.empty() && (!o.select.empty() || !o.dialog.empty()) && o.screenshot.empty())
        o.error = "--select and --dialog go with --screenshot";
    return o;
}

const char* App_VersionText() {
    return "ckvd-explorer (CKVD Explorer) " CKVD_VERSION;
}

bool App_NoDisplay() {
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    return !set("DISPLAY") && !set("WAYLAND_DISPLAY") && !set("QT_QPA_PLATFORM");
}
