#include "discmaker/make_navigation.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

#include "analyzers/file_byte_source.h"
#include "discmaker/isofs_loader.h"
#include "navigation/nav_media.h"
#include "platform/bytes/write_all.h"

namespace {

constexpr uint32_t kBlock = 2048;

NavKindOf KindOf(PlayerContent content) {
    switch (content) {
    case PlayerContent::Mpeg:
        return {NavKind::Audio, 1};
    case PlayerContent::Wma:
        return {NavKind::Audio, 2};
    case PlayerContent::Wav:
        return {NavKind::Audio, 3};
    default:
        return {NavKind::None, 0};
    }
}

// Track `file` of directory `dir` with the size and media data of the file it is written from.
bool AddTrack(NavTree& tree, size_t dir, const MakeFile& file, const std::string& from, std::string& error) {
    FileByteSource in;
    std::string why;
    if (!in.Open(from, &why)) {
        error = from + ": " + why;
        return false;
    }
    NavTreeMedia m;
    m.path = tree.dirs[dir].path + "/" + file.name;
    m.size = in.Size();
    m.info.directory = tree.dirs[dir].number;
    m.info.name = file.name;
    const NavKindOf kind = KindOf(file.content);
    m.info.fileType = kind.fileType;
    Nav_MediaInfo(in, kind, m.info);
    tree.dirs[dir].audio.push_back(tree.audio.size());
    tree.audio.push_back(std::move(m));
    return true;
}

// The image's file at `path` (Rock Ridge names, as the plan gives them): its first block and size.
bool Place(const LibIsofs& isofs, IsoImage* image, const std::string& path, iso_file_section& at,
           std::string& error) {
    IsoNode* node = nullptr;
    if (isofs.iso_tree_path_to_node(image, path.c_str(), &node) != 1 || !node ||
        isofs.iso_node_get_type(node) != LIBISO_FILE) {
        error = path + " is not a file of the image written";
        return false;
    }
    int count = 0;
    iso_file_section* sections = nullptr;
    const int rc =
        isofs.iso_file_get_old_image_sections(reinterpret_cast<IsoFile*>(node), &count, &sections, 0);
    const bool one = rc == 1 && count == 1 && sections;
    if (one)
        at = sections[0];
    std::free(sections);
    if (!one)
        error = path + ": the image does not give it one extent";
    return one;
}

} // namespace

bool Make_Navigation(const MakePlan& plan, const std::vector<std::string>& from, NavSet& set,
                     std::string& error) {
    NavTree tree;
    std::map<std::string, size_t> byPath;
    size_t next = 0;
    for (const MakeFolder& f : plan.folders) {
        NavTreeDirectory d;
        d.path = f.path;
        d.number = uint32_t(tree.dirs.size() + 1);
        if (!f.path.empty()) {
            const size_t slash = f.path.rfind('/');
            const auto parent = byPath.find(f.path.substr(0, slash));
            if (parent == byPath.end()) { // the plan walks a folder before what it holds
                error = f.path + ": its folder is not planned before it";
                return false;
            }
            d.name = f.path.substr(slash + 1);
            d.parent = tree.dirs[parent->second].number;
            tree.dirs[parent->second].children.push_back(tree.dirs.size());
        }
        byPath[f.path] = tree.dirs.size();
        tree.dirs.push_back(std::move(d));
        for (const MakeFile& file : f.files) {
            if (next >= from.size()) {
                error = "the files to write do not match the plan";
                return false;
            }
            if (!AddTrack(tree, tree.dirs.size() - 1, file, from[next++], error))
                return false;
        }
    }
    return Nav_Build(tree, plan.volume, NAV_LCID_JAPANESE, set, error);
}

std::vector<std::string> Make_NavigationNames(const MakePlan& plan) {
    std::vector<std::string> names{"CONTENTS.LMX", "MENU.LMX", "TEXT.LMX"};
    size_t playlists = 0;
    for (const MakeFolder& f : plan.folders)
        if (!f.files.empty())
            names.push_back(Nav_PlaylistName(playlists++));
    names.push_back("LSN.LMX");
    return names;
}

bool Make_WriteSectors(const std::string& image, int fd, const NavSet& set, std::string& error) {
    const LibIsofs* isofs = LibIsofs_Load(error);
    if (!isofs)
        return false;
    IsoDataSource* source = nullptr;
    if (const int rc = isofs->iso_data_source_new_from_file(image.c_str(), &source); rc < 0) {
        error = image + ": " + LibIsofs_Why(*isofs, rc);
        return false;
    }
    std::unique_ptr<IsoDataSource, void (*)(IsoDataSource*)> ownSource(source, isofs->iso_data_source_unref);
    IsoReadOpts* readOpts = nullptr;
    IsoImage* read = nullptr;
    if (isofs->iso_read_opts_new(&readOpts, 0) < 0 || isofs->iso_image_new("read", &read) < 0) {
        if (readOpts)
            isofs->iso_read_opts_free(readOpts);
        error = "libisofs: out of memory";
        return false;
    }
    std::unique_ptr<IsoImage, void (*)(IsoImage*)> ownImage(read, isofs->iso_image_unref);
    const int imported = isofs->iso_image_import(read, source, readOpts, nullptr);
    isofs->iso_read_opts_free(readOpts);
    if (imported < 0) {
        error = image + ": libisofs cannot read the image back: " + LibIsofs_Why(*isofs, imported);
        return false;
    }
    std::vector<uint32_t> sectors;
    for (size_t i = 0; i < set.cidPaths.size(); ++i) {
        iso_file_section at{};
        if (!Place(*isofs, read, set.cidPaths[i], at, error))
            return false;
        if (at.size != set.cidSizes[i]) {
            error = set.cidPaths[i] + " has " + std::to_string(at.size) + " bytes in the image, not " +
                    std::to_string(set.cidSizes[i]);
            return false;
        }
        sectors.push_back(at.block);
    }
    iso_file_section lsnAt{};
    if (!Place(*isofs, read, "/LSN.LMX", lsnAt, error))
        return false;
    const NavBytes lsn = Nav_LsnWithSectors(set, sectors);
    if (!lsn.ok() || lsn.bytes.size() != lsnAt.size) {
        error = "LSN.LMX: " + (lsn.ok() ? "its size changed with the sectors" : lsn.error);
        return false;
    }
    // The file keeps its size, so it is written where it lies, over the zeros it held.
    if (const int failed =
            bytes::WriteAll(fd, lsn.bytes.data(), lsn.bytes.size(), int64_t(lsnAt.block) * kBlock)) {
        error = image + ": " + std::strerror(failed);
        return false;
    }
    return true;
}
