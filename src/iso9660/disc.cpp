// A Disc's lifetime, its analysis from the TOC on, and its file image.
#include "iso9660/disc.h"

#include <cstdlib>
#include <cstring>

#include "iso9660/iso9660.h"
#include "iso9660/iso_internal.h"

using namespace iso_internal;

Disc::Disc() : walk(std::make_unique<DirectoryWalk>()) {}

Disc::~Disc() {
    Clear();
    FreeFile();
}

void Disc::Clear() {
    ReleaseDiscModel(model);
    model = nullptr;
    tocBuffer.clear();
    tocBuffer.shrink_to_fit();
    tocDataLength = 0;
    symlinkTargets.clear();
    directoryDates.clear();
    unreadableReasons.clear();
    zisofsFiles.clear();
    textBlocks.clear();
    textBlocks.shrink_to_fit();
    textUsed = 0;
    entryExtras.clear();
}

int Disc::Analyze(uint16_t from, uint8_t names) {
    Clear();
    device = from;
    shownSession = 0;
    directoriesRead = 0;
    model = NewRecord<DiscModel>();
    if (!model)
        return ISO_ERR_NO_MEMORY;
    model->device = device;
    model->firstTree = NewRecord<SessionTree>();
    if (!model->firstTree)
        return ISO_ERR_NO_MEMORY;
    int rc = AnalyzeToc(*this);
    if (rc != ISO_OK)
        return rc;
    ReadDiscText(*this);
    const uint8_t type = model->firstSession->type;
    const uint8_t discType = type & 0xF0;
    if (discType != 0x00 && discType != 0x20)
        return ISO_ERR_DISC_TYPE;
    // An audio CD is its one audio session; any later session (a CD-Extra's data) is read as well.
    if (!Iso_IsDataType(type) && model->sessionCount <= 1)
        return AnalyzeAudioSession(*this, model->firstSession, model->firstTree);
    return AnalyzeDataSessions(*this, names);
}

DiscAnalysis AnalyzeDisc(uint16_t device, uint8_t names) {
    DiscAnalysis a;
    a.disc = std::make_unique<Disc>();
    a.result = a.disc->Analyze(device, names);
    return a;
}

SessionEntry* Disc::Session(unsigned index) const {
    SessionEntry* s = model ? model->firstSession : nullptr;
    if (!s)
        return nullptr;
    for (unsigned i = 0; i < index && s->next; ++i)
        s = s->next;
    // A session that READ CAPACITY never filled cannot be read from.
    return s->blockLength == 0 ? nullptr : s;
}

namespace {

// The file's blocks lie inside the recorded area of the session.
bool ExtentInsideSession(const SessionEntry& s, uint32_t lbn, uint32_t size) {
    if (size == 0)
        return true;
    const uint64_t blocks = (uint64_t(size) + s.blockLength - 1) / s.blockLength;
    return uint64_t(lbn) + blocks - 1 <= s.lastBlock;
}

// The file image of `size` bytes, zero-filled, with a block of room after it for the last read.
int AllocateFile(Disc& d, const SessionEntry& s, uint32_t size) {
    const uint64_t bytes = uint64_t(size) + s.blockLength;
    if (bytes > SIZE_MAX)
        return ISO_ERR_FILE_NO_MEMORY;
    d.fileData = static_cast<uint8_t*>(calloc(1, static_cast<size_t>(bytes)));
    if (!d.fileData)
        return ISO_ERR_FILE_NO_MEMORY;
    d.fileLength = size;
    return ISO_OK;
}

} // namespace

int Disc::ReadFile(const SessionEntry& session, uint32_t lbn, uint32_t size, uint16_t from) {
    FreeFile();
    if (!ExtentInsideSession(session, lbn, size))
        return ISO_ERR_EXTENT;
    const int rc = AllocateFile(*this, session, size);
    return rc == ISO_OK ? ReadFileData(session, from, fileData, lbn, size) : rc;
}

int Disc::ReadEntry(const SessionEntry& session, const FileEntry& entry, uint16_t from) {
    if (!Iso_Zisofs(*this, &entry))
        return ReadFile(session, entry.lbn, entry.size, from);
    FreeFile();
    if (const int rc = AllocateFile(*this, session, entry.size); rc != ISO_OK)
        return rc;
    uint64_t at = 0;
    return Iso_ZisofsUncompress(*this, session, from, entry,
                                [this, &at](const uint8_t* data, size_t length) {
                                    std::memcpy(fileData + at, data, length);
                                    at += length;
                                    return true;
                                })
        .code;
}

void Disc::FreeFile() {
    free(fileData);
    fileData = nullptr;
    fileLength = 0;
}
