// ckvd-mknav's command line.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "mknav.h"
#include "res/version.h"

namespace mknav {

namespace {

const char* const kUsageText =
    "usage: ckvd-mknav [--name NAME] [--lcid N] DIR\n"
    "       ckvd-mknav --lsn IMAGE [--session N] [--lcid N] DIR\n"
    "Writes the navigation files CONTENTS.LMX, MENU.LMX, TEXT.LMX, PLAY0001.LMX ... and LSN.LMX into DIR,\n"
    "describing the media files of the tree (audio mp3 wma wav, image jpg jpeg png bmp, video wmv avi mpg\n"
    "mpeg mp4; images in DIR/MENU are menu images). LSN.LMX gets sector 0 for every file until --lsn reads\n"
    "the sectors from IMAGE (.iso, .cue, .ccd), a disc mastered from DIR: its last session, or session N.\n"
    "Mastering DIR again then keeps every file where it was.\n"
    "  --name NAME  the disc name in TEXT.LMX and MENU.LMX (default: DIR's name)\n"
    "  --lcid N     the language code written in the files (default 1041, Japanese)\n";

int usage() {
    std::fputs(kUsageText, stderr);
    return kExitUsage;
}

bool ParseNumber(const char* text, unsigned long max, unsigned long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtoul(text, &end, 0);
    return *text && end && !*end && errno == 0 && value <= max && text[0] != '-';
}

} // namespace

int Fail(const std::string& why) {
    std::fprintf(stderr, "ckvd-mknav: %s\n", why.c_str());
    return kExitFailure;
}

int ParseArgs(int argc, char** argv, Args& args) {
    args.lcid = NAV_LCID_JAPANESE;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsageText, stdout);
            return 0;
        }
        if (a == "--version") {
            std::printf("ckvd-mknav (CKVD Explorer) %s\n", CKVD_VERSION);
            return 0;
        }
        if (a == "--name" && i + 1 < argc) {
            args.name = argv[++i];
            args.haveName = true;
        } else if (a == "--lcid" && i + 1 < argc) {
            if (!ParseNumber(argv[++i], 0xFFFFFFFF, args.lcid))
                return usage();
        } else if (a == "--lsn" && i + 1 < argc) {
            args.image = argv[++i];
            args.lsn = true;
        } else if (a == "--session" && i + 1 < argc) {
            if (!ParseNumber(argv[++i], 255, args.session) || args.session == 0)
                return usage();
        } else if (a.size() > 1 && a[0] == '-') {
            // Named, not lost in the whole usage.
            const bool known = a == "--name" || a == "--lcid" || a == "--lsn" || a == "--session";
            std::fprintf(stderr, "ckvd-mknav: %s '%s' (ckvd-mknav --help shows the usage)\n",
                         known ? "a value is missing after" : "unknown option", a.c_str());
            return kExitUsage;
        } else if (args.dir.empty() && !a.empty()) {
            args.dir = a;
        } else {
            return usage();
        }
    }
    if (args.dir.empty() || (args.lsn && args.haveName) || (!args.lsn && args.session))
        return usage();
    return -1;
}

} // namespace mknav
