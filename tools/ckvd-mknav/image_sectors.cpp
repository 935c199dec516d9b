// --lsn: the sectors of the files in a disc image mastered from DIR, read with our own disc engine.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "appmodel/app_modules.h"
#include "common/device_open.h"
#include "iso9660/iso9660.h"
#include "listing/disc_text.h"
#include "mknav.h"
#include "platform/drives/drive_setup.h"

namespace mknav {

namespace {

// Loads the disc image into an image drive and analyses it, as `ckvd ls` does.
bool LoadImage(const std::string& image, std::string& error) {
    if (!ckvd::drives::SetupDrives({image}, &error))
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

// The file at `path` (from the session's root, UTF-8) in session `session` (an index), found as `ckvd get`
// finds it.
const FileEntry* FindFile(const std::string& path, int session, std::string& error) {
    const DiscPath found = Report_FindPath(path, session);
    if (!found.entry)
        error = path + " is not in the image's session";
    else if (found.entry->type != 'F')
        error = path + " is a directory in the image";
    return found.entry && found.entry->type == 'F' ? found.entry : nullptr;
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
    int sessions = 0;
    for (const SessionTree* t = g_DiscModel ? g_DiscModel->firstTree : nullptr; t; t = t->next)
        ++sessions;
    if (sessions == 0 || session > sessions)
        return Fail(image + ": the disc has " + std::to_string(sessions) + " session(s)");
    const int index = session > 0 ? session - 1 : sessions - 1;

    std::vector<uint32_t> sectors;
    for (size_t i = 0; i < set.cidPaths.size(); ++i) {
        const FileEntry* e = FindFile(set.cidPaths[i], index, error);
        if (!e)
            return Fail(image + ": " + error);
        if (e->size != set.cidSizes[i])
            return Fail(image + ": " + set.cidPaths[i] + " has " + std::to_string(e->size) +
                        " bytes there but " + std::to_string(set.cidSizes[i]) + " in " + dir.string());
        sectors.push_back(e->lbn);
    }
    NavBytes bytes = Nav_LsnWithSectors(set, sectors);
    if (!bytes.ok())
        return Fail(bytes.error);
    if (!WriteAll(dir, {{"LSN.LMX", std::move(bytes.bytes)}}, error))
        return Fail(error);
    return 0;
}

} // namespace mknav
