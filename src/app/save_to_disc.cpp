#include "app/save_to_disc.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "aspi/aspi_manager.h"
#include "iso9660/iso9660.h"

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

namespace {

uint32_t CurrentBlockLength() {
    const SessionEntry* s = g_DiscModel ? g_DiscModel->currentSessionEntry : nullptr;
    const uint32_t bl = s ? s->blockLength : 0;
    return bl <= kMaxBlockLength ? bl : 0;
}

} // namespace

std::vector<uint8_t> SaveToDisc_Buffer() {
    std::vector<uint8_t> buffer;
    const uint32_t bl = CurrentBlockLength();
    if (bl == 0)
        return buffer;
    try {
        buffer.assign(uint64_t(kChunkSectors) * bl, 0);
    } catch (const std::bad_alloc&) {
        buffer.clear();
    }
    return buffer;
}

SaveOutcome SaveToDisc_Copy(const FileEntry& entry, SaveWriter& out,
                            const std::function<void(uint64_t)>& progress) {
    std::vector<uint8_t> buffer = SaveToDisc_Buffer();
    if (buffer.empty()) {
        SaveOutcome o;
        o.result = CurrentBlockLength() == 0 ? SaveResult::ReadError : SaveResult::NoMemory;
        o.code = ISO_ERR_NO_MODEL;
        return o;
    }
    return SaveToDisc_Copy(entry, out, buffer, progress);
}

namespace {

SaveOutcome CopyChunks(const FileEntry& entry, SaveWriter& out, std::vector<uint8_t>& buffer,
                       const std::function<void(uint64_t)>& progress, bool salvage) {
    SaveOutcome o;
    const uint32_t bl = CurrentBlockLength();
    const uint64_t chunkBytes = uint64_t(kChunkSectors) * bl;
    if (bl == 0 || buffer.size() < chunkBytes) {
        o.result = SaveResult::ReadError;
        o.code = ISO_ERR_NO_MODEL;
        return o;
    }
    const uint64_t size = entry.size;
    const uint64_t sectors = (size + bl - 1) / bl;
    uint64_t lba = entry.lbn;
    for (uint64_t done = 0; done < sectors; done += kChunkSectors, lba += kChunkSectors) {
        const uint64_t count = std::min<uint64_t>(kChunkSectors, sectors - done);
        const uint64_t bytes = std::min<uint64_t>(chunkBytes, size - o.written);
        // A file that runs past the last block the disc can address is a read error there, not a wrap.
        const int rc = lba + count - 1 > 0xFFFFFFFFull
                           ? int(ISO_ERR_EXTENT)
                           : Aspi_ReadSectors(g_CurrentDevice, static_cast<uint32_t>(lba), bl,
                                              static_cast<uint16_t>(count), buffer.data());
        if (rc != ASPI_OK && salvage && rc != int(ISO_ERR_EXTENT)) {
            // Block by block through the chunk that failed: every good block before the first bad one is
            // kept, and that one is named.
            for (uint64_t k = 0; k < count; ++k) {
                const int one =
                    Aspi_ReadSectors(g_CurrentDevice, static_cast<uint32_t>(lba + k), bl, 1, buffer.data());
                if (one != ASPI_OK) {
                    o.result = SaveResult::ReadError;
                    o.failedLba = static_cast<uint32_t>(lba + k);
                    o.code = one;
                    return o;
                }
                const uint64_t part = std::min<uint64_t>(bl, size - o.written);
                if (!out.Write(buffer.data(), static_cast<size_t>(part))) {
                    o.result = SaveResult::WriteError;
                    return o;
                }
                o.written += part;
            }
            if (progress)
                progress(o.written);
            continue;
        }
        if (rc != ASPI_OK) {
            o.result = SaveResult::ReadError;
            o.failedLba = static_cast<uint32_t>(lba);
            o.code = rc;
            return o;
        }
        if (!out.Write(buffer.data(), static_cast<size_t>(bytes))) {
            o.result = SaveResult::WriteError;
            return o;
        }
        o.written += bytes;
        if (progress)
            progress(o.written);
    }
    return o;
}

} // namespace

const char* SaveToDisc_Message(SaveResult result) {
    switch (result) {
    case SaveResult::NoMemory:
        return IDS_SAVE_NO_MEMORY;
    case SaveResult::ReadError:
        return IDS_SAVE_READ_ERROR;
    case SaveResult::WriteError:
        return IDS_SAVE_WRITE_ERROR;
    case SaveResult::Ok:
        break;
    }
    return nullptr;
}

SaveOutcome SaveToDisc_Copy(const FileEntry& entry, SaveWriter& out, std::vector<uint8_t>& buffer,
                            const std::function<void(uint64_t)>& progress, bool salvage) {
    SaveOutcome o = CopyChunks(entry, out, buffer, progress, salvage);
    // The file keeps what was written before a failed read, as a salvage of a damaged disc.
    if (!out.Close() && o.result == SaveResult::Ok)
        o.result = SaveResult::WriteError;
    return o;
}

CSaveToDiscDlgModel::CSaveToDiscDlgModel(ckvd::ui::MessageSink& sink, const FileEntry* entries, int row)
    : openFile([](const std::string& path) { return SaveToDisc_OpenFile(path); }), m_sink(sink) {
    const FileEntry* e = entries;
    for (int i = 0; e && i < (row & 0xFFFF); ++i)
        e = e->nextSibling;
    m_entry = e;
}

SaveOutcome CSaveToDiscDlgModel::OnShowWindow() {
    SaveOutcome o;
    if (!m_entry || Iso_SelectSession() != ISO_OK) {
        o.result = SaveResult::ReadError;
        return o;
    }
    std::vector<uint8_t> buffer = SaveToDisc_Buffer();
    if (buffer.empty()) {
        // A session without a block length a CD can have cannot be read at all.
        const bool readable = CurrentBlockLength() != 0;
        m_sink.Show(readable ? IDS_SAVE_NO_MEMORY : IDS_SAVE_READ_ERROR);
        o.result = readable ? SaveResult::NoMemory : SaveResult::ReadError;
        return o;
    }
    if (setRange)
        setRange(m_entry->size);
    const std::string path = chooseFile ? chooseFile(m_entry->name) : std::string();
    if (path.empty())
        return o; // cancelled: nothing written, no message
    std::unique_ptr<SaveWriter> out = openFile(path);
    if (!out) {
        m_sink.Show(IDS_SAVE_CANNOT_CREATE);
        o.result = SaveResult::WriteError;
        return o;
    }
    o = SaveToDisc_Copy(*m_entry, *out, buffer, progress);
    if (const char* message = SaveToDisc_Message(o.result))
        m_sink.Show(message);
    return o;
}
