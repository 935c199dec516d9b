// --lsn: the sectors of the files in a disc image mastered from DIR, read with our own disc engine.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "appmodel/app_modules.h"
#include "common/device_open.h"
#include "iso9660/iso9660.h"
#include "mknav.h"
#include "platform/aspi32/drive_setup.h"
#include "report/disc_text.h"

namespace mknav {

namespace {

// Loads the disc image into an image drive and analyses it, as `ckvd ls` does.
bool LoadImage(const std::string& image, std::string& error) {
    if (!ckvd::aspi32::SetupDrives({image}, &error))
        return false;
    const int found = Tools_OpenDevice(image, "ckvd-mknav", error);
    if (found < 0) {
        if (error.empty())
            error = image + ": no image drive serves it";
        return false;
    }
    if (const int rc = Iso_AnalyzeDisc(static_cast<uint16_t>(found)); rc != 1) {
        error = image + ": " + Tools_CodeText("ISO9660 FileSystem Analyze Error", rc);
        return false;
    }
    return true;
}

// The entry at `path` (from the session's root, UTF-8) in `tree`. Names compare as the disc model holds them
// (Shift-JIS, "?" for a character without a code), a version suffix ";N" left out; two entries that would
// both match are an error, not a guess.
const FileEntry* FindEntry(const SessionTree& tree, const std::string& path, std::string& error) {
    const FileEntry* dir = tree.root;
    size_t start = 1;
    while (dir) {
        const size_t slash = path.find('/', start);
        const std::string part =
            path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        const std::string wanted = Report_Utf8ToSjis(part);
        const FileEntry* found = nullptr;
        for (const FileEntry* e = dir->firstChild; e; e = e->nextSibling) {
            std::string name = e->name;
            const size_t semicolon = name.rfind(';');
            if (semicolon != std::string::npos && semicolon + 1 < name.size() &&
                std::all_of(name.begin() + long(semicolon) + 1, name.end(),
                            [](char c) { return c >= '0' && c <= '9'; }))
                name.resize(semicolon);
            if (name != wanted)
                continue;
            if (found) {
                error = path + ": two entries of the image match \"" + part + "\"";
                return nullptr;
            }
            found = e;
        }
        if (!found || slash == std::string::npos) {
            if (!found)
                error = path + " is not in the image's session";
            else if (found->type != 'F')
                error = path + " is a directory in the image";
            return found && found->type == 'F' ? found : nullptr;
        }
        dir = found->type == 'F' ? nullptr : found;
        start = slash + 1;
    }
    error = path + " is not in the image's session";
    return nullptr;
}

bool ReadFile(const fs::path& p, std::vector<uint8_t>& bytes) {
    std::ifstream in(p, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), {});
    return !in.bad();
}

} // namespace

int Lsn(const fs::path& dir, const std::string& image, int session, uint32_t lcid) {
    NavSet set;
    std::string error;
    if (!Build(dir, "", lcid, set, error))
        return Fail(error);
    // The image must be mastered from the tree the navigation files describe: CONTENTS.LMX as this run
    // would write it names every file in CID order.
    std::vector<uint8_t> present;
    const auto contents = std::find_if(set.files.begin(), set.files.end(),
                                       [](const auto& f) { return f.first == "CONTENTS.LMX"; });
    if (!ReadFile(dir / "CONTENTS.LMX", present))
        return Fail((dir / "CONTENTS.LMX").string() + ": cannot read it (run ckvd-mknav DIR first)");
    if (present != contents->second)
        return Fail(
            (dir / "CONTENTS.LMX").string() +
            " does not describe the files of the directory as they are now (run ckvd-mknav DIR again, "
            "with the same --lcid, and master the image again)");

    EngineSession engine;
    if (engine.failed)
        return Fail(Tools_CodeText(engine.failed, engine.result));
    if (!LoadImage(image, error))
        return Fail(error);
    std::vector<const SessionTree*> trees;
    for (const SessionTree* t = g_DiscModel ? g_DiscModel->firstTree : nullptr; t; t = t->next)
        trees.push_back(t);
    if (trees.empty() || session > int(trees.size()))
        return Fail(image + ": the disc has " + std::to_string(trees.size()) + " session(s)");
    const SessionTree& tree = *trees[session > 0 ? size_t(session - 1) : trees.size() - 1];

    NavLsnFile lsn;
    for (size_t i = 0; i < set.cidPaths.size(); ++i) {
        const FileEntry* e = FindEntry(tree, set.cidPaths[i], error);
        if (!e)
            return Fail(image + ": " + error);
        if (e->size != set.cidSizes[i])
            return Fail(image + ": " + set.cidPaths[i] + " has " + std::to_string(e->size) +
                        " bytes there but " + std::to_string(set.cidSizes[i]) + " in " + dir.string());
        lsn.entries.push_back({e->lbn, e->size});
    }
    NavBytes bytes = Nav_WriteLsn(lsn);
    if (!bytes.ok())
        return Fail(bytes.error);
    if (!WriteAll(dir, {{"LSN.LMX", std::move(bytes.bytes)}}, error))
        return Fail(error);
    return 0;
}

} // namespace mknav
