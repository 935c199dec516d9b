// Writing the navigation files into DIR, all or none.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "mknav.h"

namespace mknav {

// Writes every file to a temporary name first and renames them only when all were written, so that a failure
// leaves the directory's navigation files as they were.
bool WriteAll(const fs::path& dir, const std::vector<std::pair<std::string, std::vector<uint8_t>>>& files,
              std::string& error) {
    std::vector<fs::path> temps;
    const auto discard = [&] {
        std::error_code ec;
        for (const fs::path& t : temps)
            fs::remove(t, ec);
    };
    for (const auto& [name, bytes] : files) {
        fs::path temp = dir / (name + ".ckvd-mknav.tmp");
        temps.push_back(temp);
        FILE* f = std::fopen(temp.c_str(), "wb");
        bool written = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        const int saved = errno;
        if (f && std::fclose(f) != 0)
            written = false;
        if (!written) {
            error = "cannot write " + temp.string() + ": " + std::strerror(f ? errno : saved);
            discard();
            return false;
        }
    }
    for (size_t i = 0; i < files.size(); ++i) {
        std::error_code ec;
        fs::rename(temps[i], dir / files[i].first, ec);
        if (ec) {
            error = "cannot rename " + temps[i].string() + ": " + ec.message();
            discard();
            return false;
        }
    }
    return true;
}

// Playlist files of an earlier run that this one does not write again would be taken for playlists.
bool RemoveStalePlaylists(const fs::path& dir, const NavSet& set, std::string& error) {
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() != 12 || name.compare(0, 4, "PLAY") || name.compare(8, 4, ".LMX") ||
            !std::all_of(name.begin() + 4, name.begin() + 8, [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        if (std::none_of(set.files.begin(), set.files.end(),
                         [&](const auto& f) { return f.first == name; })) {
            std::error_code rm;
            if (!fs::remove(it->path(), rm) && rm) {
                error = "cannot remove the old " + it->path().string() + ": " + rm.message();
                return false;
            }
        }
    }
    if (ec) {
        error = dir.string() + ": " + ec.message();
        return false;
    }
    return true;
}

} // namespace mknav
