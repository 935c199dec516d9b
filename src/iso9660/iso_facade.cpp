// The module's facade over the current Disc of the window or of ckvd: the g_ names and the Iso_* functions
// without a Disc. g_DiscModel and g_CurrentSession are the current Disc's model and shown session (a model a
// test installs by hand becomes the current Disc's); the engine never reads them.
#include <memory>
#include <utility>

#include "aspi/aspi_manager.h"
#include "iso9660/disc.h"
#include "iso9660/iso9660.h"
#include "iso9660/iso_cdtext.h"
#include "iso9660/iso_internal.h"

DiscModel* g_DiscModel = nullptr;
uint16_t g_CurrentSession = 0;
uint8_t* g_FileData = nullptr;
uint8_t* g_FileCursor = nullptr;
uint64_t g_FileDataLength = 0;

namespace {

// The current Disc, shared with the work on a worker that reads it (Iso_ShareCurrentDisc): a Disc the
// window lets go is replaced, never emptied in place, so such work keeps reading a whole one. Never
// destroyed: a model installed by hand may be anything at exit.
std::shared_ptr<Disc>& Holder() {
    static auto* holder = new std::shared_ptr<Disc>(std::make_shared<Disc>());
    return *holder;
}

void ShowFile(const Disc& d) {
    g_FileData = g_FileCursor = d.fileData;
    g_FileDataLength = d.fileLength;
}

// The g_ names from the current Disc.
void Show(const Disc& d) {
    g_DiscModel = d.model;
    g_CurrentSession = d.shownSession;
    ShowFile(d);
}

} // namespace

Disc& Iso_CurrentDisc() {
    Disc& d = *Holder();
    // Written only when a caller changed the g_ names, so a worker reading this Disc races with no write.
    if (d.model != g_DiscModel)
        d.model = g_DiscModel;
    if (d.shownSession != g_CurrentSession)
        d.shownSession = g_CurrentSession;
    if (g_DiscModel && d.device != g_DiscModel->device)
        d.device = g_DiscModel->device;
    return d;
}

std::shared_ptr<const Disc> Iso_ShareCurrentDisc() {
    Iso_CurrentDisc();
    return Holder();
}

int Iso_Initialize() {
    return ISO_OK;
}

void Iso_Terminate() {
    Iso_CurrentDisc().FreeFile();
    Holder() = std::make_shared<Disc>();
    Show(*Holder());
}

int Iso_AnalyzeDisc(uint16_t device, uint8_t names) {
    g_CurrentDevice = device; // the facade's reads of the current Disc go to its device
    Disc& d = Iso_CurrentDisc();
    const int rc = d.Analyze(device, names);
    Show(d);
    return rc;
}

void Iso_InstallDisc(std::unique_ptr<Disc> disc) {
    if (!disc)
        return;
    Holder()->FreeFile();
    Holder() = std::move(disc);
    Show(*Holder());
}

IsoModelStash::IsoModelStash() = default;
IsoModelStash::IsoModelStash(IsoModelStash&&) noexcept = default;
IsoModelStash& IsoModelStash::operator=(IsoModelStash&&) noexcept = default;
IsoModelStash::~IsoModelStash() = default;

IsoModelStash Iso_SetModelAside() {
    Iso_CurrentDisc().FreeFile();
    IsoModelStash stash;
    stash.m_disc = std::exchange(Holder(), std::make_shared<Disc>());
    Show(*Holder());
    return stash;
}

void Iso_RestoreModel(IsoModelStash&& stash) {
    Iso_Terminate();
    if (!stash.m_disc)
        return;
    Holder() = std::move(stash.m_disc);
    Show(*Holder());
}

int Iso_SelectSession() {
    Disc& d = Iso_CurrentDisc();
    SessionEntry* s = d.Session(g_CurrentSession);
    if (!s)
        return ISO_ERR_NO_MODEL;
    d.model->currentSessionEntry = s;
    return ISO_OK;
}

int Iso_ReadFile(uint32_t lbn, uint32_t size) {
    int rc = Iso_SelectSession();
    if (rc != ISO_OK)
        return rc;
    Disc& d = *Holder();
    rc = d.ReadFile(*d.model->currentSessionEntry, lbn, size, g_CurrentDevice);
    ShowFile(d);
    return rc;
}

int Iso_ReadEntry(const FileEntry& entry) {
    int rc = Iso_SelectSession();
    if (rc != ISO_OK)
        return rc;
    Disc& d = *Holder();
    rc = d.ReadEntry(*d.model->currentSessionEntry, entry, g_CurrentDevice);
    ShowFile(d);
    return rc;
}

void Iso_FreeFile() {
    Holder()->FreeFile();
    ShowFile(*Holder());
}

IsoZisofsResult Iso_ZisofsUncompress(const FileEntry& entry,
                                     const std::function<bool(const uint8_t* data, size_t length)>& put) {
    static const SessionEntry kNone{}; // no block length: nothing is read
    const SessionEntry* s = g_DiscModel ? g_DiscModel->currentSessionEntry : nullptr;
    return Iso_ZisofsUncompress(Iso_CurrentDisc(), s ? *s : kNone, g_CurrentDevice, entry, put);
}

// What the current Disc keeps of its entries and trees.
const char* Iso_EntryText(const FileEntry* e) {
    return Iso_EntryText(Iso_CurrentDisc(), e);
}
uint16_t Iso_EntryMode(const FileEntry* e) {
    return Iso_EntryMode(Iso_CurrentDisc(), e);
}
const char* Iso_RecordedIdentifier(const FileEntry* e) {
    return Iso_RecordedIdentifier(Iso_CurrentDisc(), e);
}
const uint8_t* Iso_DirectoryDate(const FileEntry* e) {
    return Iso_DirectoryDate(Iso_CurrentDisc(), e);
}
const char* Iso_UnreadableReason(const FileEntry* e) {
    return Iso_UnreadableReason(Iso_CurrentDisc(), e);
}
const char* Iso_SymlinkTarget(const FileEntry* e) {
    return Iso_SymlinkTarget(Iso_CurrentDisc(), e);
}
const IsoZisofs* Iso_Zisofs(const FileEntry* e) {
    return Iso_Zisofs(Iso_CurrentDisc(), e);
}
uint32_t Iso_ExtentSize(const FileEntry* e) {
    return Iso_ExtentSize(Iso_CurrentDisc(), e);
}
std::string Iso_ZisofsText(const FileEntry* e) {
    return Iso_ZisofsText(Iso_CurrentDisc(), e);
}
SessionTree* Iso_NamesTree(SessionTree* tree, uint8_t names) {
    return Iso_NamesTree(Iso_CurrentDisc(), tree, names);
}
SessionTree* Iso_ReportTree(SessionTree* tree) {
    return Iso_ReportTree(Iso_CurrentDisc(), tree);
}
const FileEntry* Iso_SameEntry(SessionTree* tree, SessionTree* other, const FileEntry* e) {
    return Iso_SameEntry(Iso_CurrentDisc(), tree, other, e);
}
uint32_t Iso_HiddenTrackSectors() {
    return Iso_HiddenTrackSectors(Iso_CurrentDisc());
}
const SessionEntry* Iso_AudioTrackSession(const FileEntry* e, int* number) {
    return Iso_AudioTrackSession(Iso_CurrentDisc(), e, number);
}
bool Iso_IsAudioFolder(const FileEntry* e) {
    return Iso_IsAudioFolder(Iso_CurrentDisc(), e);
}
const ckvd::cdtext::DiscText* Iso_DiscText() {
    return Iso_DiscText(Iso_CurrentDisc());
}
const ckvd::cdtext::TrackText* Iso_TrackText(uint8_t trackNumber) {
    return Iso_TrackText(Iso_CurrentDisc(), trackNumber);
}
std::string Iso_TrackFileName(uint8_t trackNumber, std::string_view extension) {
    return ckvd::cdtext::TrackFileName(Iso_DiscText(), trackNumber, extension);
}
uint8_t Iso_CdaTrackNumber(const FileEntry* e) {
    int number = 0;
    return Iso_AudioTrackSession(e, &number) ? static_cast<uint8_t>(number) : 0;
}
bool iso_internal::SetEntryText(FileEntry* e, std::string_view utf8, std::string_view identifier, int mode) {
    return SetEntryText(Iso_CurrentDisc(), e, utf8, identifier, mode);
}
bool iso_internal::SetEntryMode(FileEntry* e, uint16_t mode) {
    return SetEntryMode(Iso_CurrentDisc(), e, mode);
}
