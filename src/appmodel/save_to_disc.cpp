#include "appmodel/save_to_disc.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "aspi/aspi_manager.h"
#include "iso9660/disc.h"
#include "iso9660/iso9660.h"
#include "iso9660/iso_cdtext.h"
#include "listing/disc_text.h"

namespace {

constexpr uint32_t kChunkSectors = 32;
// Above this a block length is no CD's: a buffer of 32 such blocks is not attempted.
constexpr uint32_t kMaxBlockLength = 8192;

class FileWriter final : public SaveWriter {
  public:
    explicit FileWriter(std::FILE* f) : m_file(f) {}
    ~FileWriter() override {
        if (m_file)
            std::fclose(m_file);
    }
    bool Write(const uint8_t* data, size_t length) override {
        return m_file && std::fwrite(data, 1, length, m_file) == length;
    }
    bool Close() override {
        if (!m_file)
            return false;
        const bool flushed = std::fflush(m_file) == 0;
        const bool closed = std::fclose(m_file) == 0;
        m_file = nullptr;
        return flushed && closed;
    }
    bool Seek(uint64_t offset) override {
        return m_file && offset <= uint64_t(INT64_MAX) && ::fseeko(m_file, off_t(offset), SEEK_SET) == 0;
    }

  private:
    std::FILE* m_file;
};

} // namespace

std::unique_ptr<SaveWriter> SaveToDisc_OpenFile(const std::string& path, std::string* why) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        if (why)
            *why = std::strerror(errno);
        return nullptr;
    }
    // Chunks go to the file whole: through stdio's 4 KiB buffer each one cost a second write(2).
    std::setvbuf(f, nullptr, _IONBF, 0);
    return std::make_unique<FileWriter>(f);
}

bool SaveToDisc_FreeNameAt(int directoryFd, const std::string& name) {
    struct stat st {};
    if (::fstatat(directoryFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    return ::unlinkat(directoryFd, name.c_str(), 0) == 0;
}

std::unique_ptr<SaveWriter> SaveToDisc_CreateAt(int directoryFd, const std::string& name, std::string* why) {
    constexpr int kFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::openat(directoryFd, name.c_str(), kFlags, 0644);
    if (fd < 0 && errno == EEXIST && SaveToDisc_FreeNameAt(directoryFd, name))
        fd = ::openat(directoryFd, name.c_str(), kFlags, 0644);
    std::FILE* f = fd < 0 ? nullptr : ::fdopen(fd, "wb");
    if (!f) {
        if (why)
            *why = std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        return nullptr;
    }
    std::setvbuf(f, nullptr, _IONBF, 0);
    return std::make_unique<FileWriter>(f);
}

namespace {

uint32_t BlockLength(const SaveSource& from) {
    const uint32_t bl = from.session ? from.session->blockLength : 0;
    return bl <= kMaxBlockLength ? bl : 0;
}

} // namespace

SaveSource SaveToDisc_CurrentSource() {
    return {Iso_CurrentDisc(), g_DiscModel ? g_DiscModel->currentSessionEntry : nullptr, g_CurrentDevice};
}

std::vector<uint8_t> SaveToDisc_Buffer(const SaveSource& from) {
    std::vector<uint8_t> buffer;
    const uint32_t bl = BlockLength(from);
    if (bl == 0)
        return buffer;
    try {
        buffer.assign(uint64_t(kChunkSectors) * bl, 0);
    } catch (const std::bad_alloc&) {
        buffer.clear();
    }
    return buffer;
}

std::vector<uint8_t> SaveToDisc_Buffer() {
    return SaveToDisc_Buffer(SaveToDisc_CurrentSource());
}

namespace {

// Reads `count` blocks from `lba` into the buffer: READ(10) of data blocks or READ CD of audio blocks.
using BlockReader = std::function<int(uint32_t lba, uint16_t count, uint8_t* buffer)>;

// One run of blocks to copy: its first block, its bytes, the block length and how its blocks are read.
struct Extent {
    uint64_t lbn;
    uint64_t size;
    uint32_t blockLength;
    const BlockReader& read;
};

// Copies one extent after what `o` already holds: chunks of 32 sectors, the last one of what remains.
void CopyExtent(const Extent& extent, SaveWriter& out, std::vector<uint8_t>& buffer, const SaveHooks& hooks,
                SaveOutcome& o) {
    const uint32_t bl = extent.blockLength;
    const uint64_t chunkBytes = uint64_t(kChunkSectors) * bl;
    const uint64_t size = extent.size;
    const uint64_t sectors = (size + bl - 1) / bl;
    uint64_t copied = 0; // bytes of this extent
    auto put = [&](uint64_t bytes) {
        if (!out.Write(buffer.data(), static_cast<size_t>(bytes))) {
            o.result = SaveResult::WriteError;
            return false;
        }
        copied += bytes;
        o.written += bytes;
        return true;
    };
    uint64_t lba = extent.lbn;
    for (uint64_t done = 0; done < sectors; done += kChunkSectors, lba += kChunkSectors) {
        if (hooks.stop && hooks.stop()) {
            o.result = SaveResult::Cancelled;
            return;
        }
        const uint64_t count = std::min<uint64_t>(kChunkSectors, sectors - done);
        // A file that runs past the last block the disc can address is a read error there, not a wrap.
        const int rc =
            lba + count - 1 > 0xFFFFFFFFull
                ? int(ISO_ERR_EXTENT)
                : extent.read(static_cast<uint32_t>(lba), static_cast<uint16_t>(count), buffer.data());
        if (rc != ASPI_OK && hooks.salvage && rc != int(ISO_ERR_EXTENT)) {
            // Block by block through the chunk that failed: every good block before the first bad one is
            // kept, and that one is named.
            for (uint64_t k = 0; k < count; ++k) {
                const int one = extent.read(static_cast<uint32_t>(lba + k), 1, buffer.data());
                if (one != ASPI_OK) {
                    o.result = SaveResult::ReadError;
                    o.failedLba = static_cast<uint32_t>(lba + k);
                    o.code = one;
                    return;
                }
                if (!put(std::min<uint64_t>(bl, size - copied)))
                    return;
            }
            if (hooks.progress)
                hooks.progress(o.written);
            continue;
        }
        if (rc != ASPI_OK) {
            o.result = SaveResult::ReadError;
            o.failedLba = static_cast<uint32_t>(std::min<uint64_t>(lba, 0xFFFFFFFFull));
            o.code = rc;
            return;
        }
        if (!put(std::min<uint64_t>(chunkBytes, size - copied)))
            return;
        if (hooks.progress)
            hooks.progress(o.written);
    }
}

// After a copy of an extent that failed at its first block: whether the extent lies in Mode 2 Form 2
// sectors, the block refused by READ(10) as of an illegal mode for its track (`sense`, the failed read's) and
// read by READ CD of Form 2.
bool InForm2(uint16_t device, const FileEntry& extent, uint32_t bl, const SaveOutcome& o,
             uint64_t writtenBefore, const AspiSense& sense) {
    if (bl != 2048 || o.result != SaveResult::ReadError || o.written != writtenBefore ||
        o.failedLba != extent.lbn || sense.key != ckvd::drives::kSenseIllegalRequest ||
        sense.asc != ckvd::drives::kAscIllegalModeForTrack)
        return false;
    std::vector<uint8_t> form2(ASPI_FORM2_BLOCK_LENGTH);
    return Aspi_ReadCdForm2(device, extent.lbn, 1, form2.data()) == ASPI_OK;
}

bool AssignChunk(std::vector<uint8_t>& buffer, uint32_t blockLength) {
    try {
        buffer.assign(size_t(kChunkSectors) * blockLength, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// Copies the file: every extent of it, in order (a file over 4 GiB, or one written in pieces, has several).
SaveOutcome CopyChunks(const SaveSource& from, const FileEntry& entry, SaveWriter& out,
                       std::vector<uint8_t>& buffer, const SaveHooks& hooks) {
    SaveOutcome o;
    const uint32_t bl = BlockLength(from);
    const uint16_t device = from.device;
    if (bl == 0 || buffer.size() < uint64_t(kChunkSectors) * bl) {
        o.result = SaveResult::ReadError;
        o.code = ISO_ERR_NO_MODEL;
        return o;
    }
    AspiOutcome lastRead; // the last READ(10)'s, for the Form 2 test
    const BlockReader read = [device, bl, &lastRead](uint32_t lba, uint16_t count, uint8_t* data) {
        return Aspi_ReadSectors(device, lba, bl, count, data, &lastRead);
    };
    const BlockReader readForm2 = [device](uint32_t lba, uint16_t count, uint8_t* data) {
        return Aspi_ReadCdForm2(device, lba, count, data);
    };
    std::vector<uint8_t> form2;
    for (const FileEntry* extent = &entry; extent && o.result == SaveResult::Ok;
         extent = Iso_NextExtent(extent)) {
        const uint64_t before = o.written;
        CopyExtent({extent->lbn, extent->size, bl, read}, out, buffer, hooks, o);
        if (!InForm2(device, *extent, bl, o, before, lastRead.sense))
            continue;
        // An XA file in Form 2 sectors: 2,324 bytes of each of the blocks its size counts in 2048s.
        o = SaveOutcome{};
        o.written = before;
        if (form2.empty() && !AssignChunk(form2, ASPI_FORM2_BLOCK_LENGTH)) {
            o.result = SaveResult::NoMemory;
            break;
        }
        const uint64_t blocks = (uint64_t(extent->size) + bl - 1) / bl;
        CopyExtent({extent->lbn, blocks * ASPI_FORM2_BLOCK_LENGTH, ASPI_FORM2_BLOCK_LENGTH, readForm2}, out,
                   form2, hooks, o);
    }
    return o;
}

// A file the disc stores compressed, written uncompressed: the blocks before a fault are kept.
SaveOutcome CopyZisofs(const SaveSource& from, const FileEntry& entry, SaveWriter& out,
                       const SaveHooks& hooks) {
    SaveOutcome o;
    static const SessionEntry kNone{}; // no block length: nothing is read
    const SessionEntry& session = from.session ? *from.session : kNone;
    const auto put = [&](const uint8_t* data, size_t length) {
        if (hooks.stop && hooks.stop()) {
            o.result = SaveResult::Cancelled;
            return false;
        }
        if (!out.Write(data, length)) {
            o.result = SaveResult::WriteError;
            return false;
        }
        o.written += length;
        if (hooks.progress)
            hooks.progress(o.written);
        return true;
    };
    const IsoZisofsResult r = Iso_ZisofsUncompress(from.disc, session, from.device, entry, put);
    if (r.code != ISO_OK) {
        o.result = SaveResult::ReadError;
        o.failedLba = r.failedLba;
        o.code = r.code;
        o.why = r.why;
    }
    return o;
}

bool Compressed(const Disc& disc, const FileEntry& entry) {
    for (const FileEntry* e = &entry; e; e = Iso_NextExtent(e))
        if (Iso_Zisofs(disc, e))
            return true;
    return false;
}

} // namespace

// The track's samples: its sectors (the entry's size counts sectors) while they lie before the lead-out of
// the track's session and the data fit a WAV file's 32-bit sizes; 0 otherwise.
uint64_t SaveToDisc_AudioBytes(const Disc& disc, const FileEntry& entry) {
    const SessionEntry* s = Iso_AudioTrackSession(disc, &entry);
    if (!s || uint64_t(entry.lbn) + entry.size > s->leadOut)
        return 0;
    const uint64_t bytes = uint64_t(entry.size) * ASPI_AUDIO_BLOCK_LENGTH;
    return bytes + kWavHeaderBytes - 8 <= 0xFFFFFFFFull ? bytes : 0;
}

bool SaveToDisc_IsAudioTrack(const Disc& disc, const FileEntry& entry) {
    return Iso_AudioTrackSession(disc, &entry) != nullptr;
}

bool SaveToDisc_IsAudioTrack(const FileEntry& entry) {
    return SaveToDisc_IsAudioTrack(Iso_CurrentDisc(), entry);
}

std::string SaveToDisc_LocalName(const Disc& disc, const FileEntry& entry, AudioFormat audio) {
    std::string name = Iso_EntryName(disc, &entry);
    if (SaveToDisc_IsAudioTrack(disc, entry))
        name.replace(name.size() - 4, 4, audio == AudioFormat::Flac ? ".flac" : ".wav");
    return name;
}

std::string SaveToDisc_ProposedName(const FileEntry& entry) {
    // An audio track under its CD-TEXT names where the disc records them ("03 Artist - Title.wav").
    int track = 0;
    std::string proposed = Iso_AudioTrackSession(&entry, &track)
                               ? Iso_TrackFileName(static_cast<uint8_t>(track), ".wav")
                               : SaveToDisc_LocalName(Iso_CurrentDisc(), entry);
    // A name from a disc proposes a file in the chosen folder, never a path elsewhere.
    std::replace(proposed.begin(), proposed.end(), '/', '_');
    return proposed == "." || proposed == ".." ? "_" : proposed;
}

uint64_t SaveToDisc_LocalSize(const Disc& disc, const FileEntry& entry) {
    return SaveToDisc_IsAudioTrack(disc, entry) ? kWavHeaderBytes + SaveToDisc_AudioBytes(disc, entry)
                                                : Iso_FileSize(&entry);
}

SaveOutcome SaveToDisc_Save(const SaveSource& from, const FileEntry& entry, SaveWriter& out,
                            std::vector<uint8_t>& buffer, const SaveHooks& hooks) {
    SaveOutcome o = SaveToDisc_IsAudioTrack(from.disc, entry) ? SaveToDisc_SaveAudio(from, entry, out, hooks)
                    : Compressed(from.disc, entry)            ? CopyZisofs(from, entry, out, hooks)
                                                              : CopyChunks(from, entry, out, buffer, hooks);
    // The file keeps what was written before a failed read, as a salvage of a damaged disc.
    if (!out.Close() && o.result == SaveResult::Ok)
        o.result = SaveResult::WriteError;
    return o;
}

const char* SaveToDisc_Message(SaveResult result) {
    switch (result) {
    case SaveResult::NoMemory:
        return IDS_SAVE_NO_MEMORY;
    case SaveResult::ReadError:
        return IDS_SAVE_READ_ERROR;
    case SaveResult::WriteError:
        return IDS_SAVE_WRITE_ERROR;
    case SaveResult::Ok:
    case SaveResult::Cancelled:
        break;
    }
    return nullptr;
}

SaveOutcome SaveToDisc_Save(const FileEntry& entry, SaveWriter& out, std::vector<uint8_t>& buffer,
                            const SaveHooks& hooks) {
    return SaveToDisc_Save(SaveToDisc_CurrentSource(), entry, out, buffer, hooks);
}

CSaveToDiscDlgModel::CSaveToDiscDlgModel(ckvd::ui::MessageSink& sink, const FileEntry* entries, int row)
    : openFile([](const std::string& path) { return SaveToDisc_OpenFile(path); }), m_sink(sink),
      m_disc(Iso_ShareCurrentDisc()) {
    // A row of a file's later extent saves the whole file, from its first extent.
    const FileEntry* e = entries;
    const FileEntry* first = e;
    for (int i = 0; e && i < (row & 0xFFFF); ++i) {
        e = e->nextSibling;
        if (e && !(e->flags & ISO_EXTENT_CONTINUED))
            first = e;
    }
    m_entry = e ? first : nullptr;
}

bool CSaveToDiscDlgModel::AudioTrack() const {
    return m_entry && SaveToDisc_IsAudioTrack(*m_disc, *m_entry);
}

SaveOutcome CSaveToDiscDlgModel::OnShowWindow() {
    if (!Begin())
        return m_outcome;
    Copy(progress, {});
    return End();
}

bool CSaveToDiscDlgModel::Begin() {
    SaveOutcome& o = m_outcome = SaveOutcome{};
    if (!m_entry || Iso_SelectSession() != ISO_OK) {
        o.result = SaveResult::ReadError;
        return false;
    }
    m_session = g_DiscModel->currentSessionEntry;
    m_device = g_CurrentDevice;
    // A link has no data: an empty file in its place would look like a copy.
    if (const char* target = Iso_SymlinkTarget(*m_disc, m_entry)) {
        m_sink.ShowUtf8(std::string(Iso_EntryName(*m_disc, m_entry)) + " is a symbolic link to " + target +
                        ": it has no data to save.");
        o.result = SaveResult::ReadError;
        return false;
    }
    m_buffer = SaveToDisc_Buffer(Source());
    if (m_buffer.empty()) {
        // A session without a block length a CD can have cannot be read at all.
        const bool readable = BlockLength(Source()) != 0;
        m_sink.Show(readable ? IDS_SAVE_NO_MEMORY : IDS_SAVE_READ_ERROR);
        o.result = readable ? SaveResult::NoMemory : SaveResult::ReadError;
        return false;
    }
    if (setRange)
        setRange(SaveToDisc_LocalSize(*m_disc, *m_entry));
    // A name from a disc proposes a file in the chosen folder, never a path elsewhere.
    const std::string proposed = SaveToDisc_ProposedName(*m_entry);
    m_path = chooseFile ? chooseFile(proposed) : std::string();
    if (m_path.empty())
        return false; // cancelled: nothing written, no message
    m_out = openFile(m_path);
    if (!m_out) {
        m_sink.Show(IDS_SAVE_CANNOT_CREATE);
        o.result = SaveResult::WriteError;
        return false;
    }
    return true;
}

void CSaveToDiscDlgModel::Copy(const std::function<void(uint64_t)>& progressTo,
                               const std::function<bool()>& stop) {
    SaveHooks hooks;
    hooks.progress = progressTo;
    hooks.stop = stop;
    hooks.audio = SaveToDisc_FormatOf(m_path);
    hooks.tags = SaveToDisc_TrackTags(*m_disc, *m_entry);
    bool cut = false;
    try {
        m_outcome = SaveToDisc_Save(Source(), *m_entry, *m_out, m_buffer, hooks);
    } catch (const std::bad_alloc&) {
        m_outcome.result = SaveResult::NoMemory;
        cut = true;
    }
    m_out.reset();
    m_buffer = {};
    // A copy cut short by Cancel (or by memory running out halfway) would pass for the file; so would a track
    // with a gap. A data file that could not be read keeps what was read, as a salvage of a damaged disc.
    const SaveResult r = m_outcome.result;
    if (cut || r == SaveResult::Cancelled || (r == SaveResult::ReadError && AudioTrack()))
        m_removed = std::remove(m_path.c_str()) == 0;
}

SaveOutcome CSaveToDiscDlgModel::End() {
    const SaveOutcome& o = m_outcome;
    // An audio track's read error names the track and its blocks: its samples come from READ CD, not the
    // file system.
    if (o.result == SaveResult::ReadError && AudioTrack())
        m_sink.ShowUtf8(std::string(IDS_SAVE_READ_ERROR) + "\n" +
                        SaveToDisc_UnreadableText(*m_disc, *m_entry, o) +
                        (m_removed ? "\nThe incomplete file was removed." : ""));
    else if (o.result == SaveResult::ReadError && !o.why.empty())
        m_sink.ShowUtf8(std::string(IDS_SAVE_READ_ERROR) + "\n" + Iso_EntryName(*m_disc, m_entry) + ": " +
                        o.why);
    else if (const char* message = SaveToDisc_Message(o.result))
        m_sink.Show(message);
    return o;
}
