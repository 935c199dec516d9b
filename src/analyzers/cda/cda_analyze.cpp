#include <cstring>
#include <string>

#include "analyzers/cda/cda_info.h"
#include "aspi/aspi_manager.h"
#include "iso9660/iso_model.h"
#include "platform/trackfiles/track_files.h"

namespace {

constexpr size_t kMaxIdentifier = 12; // "Track%02d.cda" and its 8.3 kin

const CdaFileCalls kTrackFiles = {Trk_Open, Trk_Read, Trk_Close};
CdaFileCalls s_Calls = kTrackFiles;

// Closes the track file on every way out.
class TrackFile {
  public:
    explicit TrackFile(const std::string& path) : fd_(s_Calls.open(path.c_str())) {}
    ~TrackFile() {
        if (fd_ >= 0)
            s_Calls.close(fd_);
    }
    TrackFile(const TrackFile&) = delete;
    TrackFile& operator=(const TrackFile&) = delete;
    bool IsOpen() const { return fd_ >= 0; }
    long Read(void* buffer, size_t count) { return s_Calls.read(fd_, buffer, count); }

  private:
    int fd_;
};

} // namespace

void Cda_SetFileCalls(const CdaFileCalls* calls) {
    s_Calls = calls && calls->open && calls->read && calls->close ? *calls : kTrackFiles;
}

int Cda_AnalyzeEntry(const FileEntry& entry, CdaInfo& info) {
    info = CdaInfo{};
    const DeviceEntry* device = g_DeviceList;
    for (unsigned i = 0; device && i < g_CurrentDevice; ++i)
        device = device->next;
    const size_t nameLength = strnlen(entry.name, sizeof entry.name);
    if (nameLength > kMaxIdentifier)
        return CDA_ERR_NOT_CDDA;
    // Without a device or its root path the name alone would be opened in whatever folder the program runs.
    if (!device || device->driveRootPath[0] == '\0')
        return CDA_ERR_OPEN;
    TrackFile file(std::string(device->driveRootPath) + std::string(entry.name, nameLength));
    if (!file.IsOpen())
        return CDA_ERR_OPEN;
    if (file.Read(&info.header, sizeof(CdaFileHeader)) != long(sizeof(CdaFileHeader)))
        return CDA_ERR_OPEN;
    const CdaFileHeader& h = info.header;
    if (std::memcmp(h.riff, "RIFF", 4) != 0 || std::memcmp(h.cdda, "CDDA", 4) != 0 ||
        std::memcmp(h.fmt, "fmt ", 4) != 0)
        return CDA_ERR_NOT_CDDA;
    return CDA_OK;
}
