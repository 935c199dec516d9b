#include "images/demo_discs.h"

#include <cstdlib>
#include <filesystem>

namespace ckvd::images {

std::vector<std::string> demo_disc_paths() {
    namespace fs = std::filesystem;
    std::vector<fs::path> dirs;
    if (const char* env = std::getenv("CKVD_DEMO_DIR"); env && *env)
        dirs.emplace_back(env);
    // An installed tree keeps the discs at <prefix>/share beside <prefix>/bin, wherever the tree was put
    // (a package unpacked into a scratch directory, a moved prefix); this comes before the build tree's
    // directory so an installed copy never serves discs from a build tree that happens to remain.
    std::error_code ec;
    if (fs::path exe = fs::read_symlink("/proc/self/exe", ec); !ec && exe.has_parent_path())
        dirs.push_back(exe.parent_path().parent_path() / "share" / "ckvd-explorer" / "demo");
#ifdef CKVD_BUILD_DEMO_DIR
    dirs.emplace_back(CKVD_BUILD_DEMO_DIR);
#endif
#ifdef CKVD_INSTALL_DEMO_DIR
    dirs.emplace_back(CKVD_INSTALL_DEMO_DIR);
#endif
    for (const auto& dir : dirs) {
        fs::path data = dir / "demo-data.cue";
        fs::path audio = dir / "demo-audio.cue";
        if (fs::exists(data, ec) && fs::exists(audio, ec))
            return {data.string(), audio.string()};
    }
    return {};
}

} // namespace ckvd::images
