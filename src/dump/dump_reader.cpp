// The dump's reads, its image files and the upkeep of its map.
#include "dump/dump_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <span>
#include <sstream>

#include "platform/bytes/write_all.h"
#include "verify/sector_check.h"

namespace {

// Blocks a run: what every SG_IO path takes from a drive, more from an image.
constexpr uint32_t kDriveRun = 27, kImageRun = 256;
constexpr uint32_t kUserBytes = 2048;
// The map is written again after so many blocks or milliseconds, whichever comes first.
constexpr uint64_t kFlushBlocks = 1000;
constexpr int64_t kFlushMs = 2000;
constexpr size_t kMaxErrors = 100000; // more are counted, not kept

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

std::string SystemError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

} // namespace

DumpReader::~DumpReader() {
    for (int fd : m_fds)
        if (fd >= 0)
            ::close(fd);
}

bool DumpReader::Open(uint16_t device, const DumpPlan& plan, const std::string& mapPath, std::string& why) {
    m_device = device;
    m_plan = &plan;
    m_mapPath = mapPath;
    m_made.assign(plan.tracks.size(), DUMP_SECTORS_READ);
    m_remade.assign(plan.total, false);
    m_raw.assign(plan.tracks.size(), false);
    m_resumed = Exists(mapPath);
    if (m_resumed) {
        // A map holds a line a run of blocks: never more than a few lines a block.
        std::ifstream in(mapPath, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        if (!in || text.str().size() > 64 * (plan.total + 4)) {
            why = mapPath + ": cannot be read as a map of this disc; nothing was written";
            return false;
        }
        if (!Dump_ParseMap(text.str(), plan, m_states, why)) {
            why = mapPath + ": " + why + "; nothing was written";
            return false;
        }
    } else {
        for (const std::string& file : plan.files)
            if (Exists(file)) {
                why = file + " exists without the map " + mapPath +
                      " of a dump: it is not overwritten (remove it, or give another name)";
                return false;
            }
        m_states.assign(plan.total, DUMP_NOT_TRIED);
    }
    std::vector<uint64_t> sizes(plan.files.size());
    for (const DumpTrack& t : plan.tracks)
        sizes[t.file] = t.byte + uint64_t{t.blocks} * plan.sectorBytes;
    // A map is believed only beside the files it was kept for: a run makes them whole before its first map.
    for (size_t i = 0; m_resumed && i < plan.files.size(); ++i) {
        struct stat st;
        if (::stat(plan.files[i].c_str(), &st) != 0 || static_cast<uint64_t>(st.st_size) != sizes[i]) {
            why = mapPath + " belongs to a dump whose file " + plan.files[i] +
                  " is missing or not of its size; nothing was written";
            return false;
        }
    }
    for (size_t i = 0; i < plan.files.size(); ++i) {
        const int fd = ::open(plan.files[i].c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            why = SystemError("cannot open", plan.files[i]);
            return false;
        }
        m_fds.push_back(fd);
        // The file is whole from the start: what is not read yet (or never) reads as zeros.
        if (::ftruncate(fd, static_cast<off_t>(sizes[i])) != 0) {
            why = SystemError("cannot size", plan.files[i]);
            return false;
        }
    }
    m_flushedAt = NowMs();
    return m_resumed || Flush(true, why);
}

void DumpReader::Failed(const char* command, uint32_t lba, uint32_t count, const AspiOutcome& o,
                        bool shortTransfer) {
    if (m_errors.size() >= kMaxErrors) {
        ++m_errorsLeftOut;
        return;
    }
    m_errors.push_back({command, lba, count, o.sense, shortTransfer});
}

bool DumpReader::ReadRun(size_t track, uint64_t at, uint32_t count) {
    const DumpTrack& t = m_plan->tracks[track];
    const uint32_t lba = static_cast<uint32_t>(t.start + (at - t.at));
    const auto blocks = static_cast<uint16_t>(count);
    m_buffer.resize(size_t{count} * VERIFY_RAW_BYTES);
    AspiOutcome o;
    // A read counts only when the drive moved every byte asked for.
    const auto done = [&](int rc, const char* command, size_t bytes) {
        if (rc == ASPI_OK && o.transferred == bytes)
            return true;
        Failed(command, lba, count, o, rc == ASPI_OK);
        return false;
    };
    const size_t whole = size_t{count} * VERIFY_RAW_BYTES, user = size_t{count} * kUserBytes;
    if (m_plan->format == DumpFormat::Iso)
        return done(Aspi_ReadSectors(m_device, lba, kUserBytes, blocks, m_buffer.data(), &o), "READ(10)",
                    user);
    if (t.audio)
        return done(Aspi_ReadCd(m_device, lba, blocks, m_buffer.data(), &o), "READ CD", whole);
    if (m_made[track] != DUMP_SECTORS_REFUSED) {
        const int rc = Aspi_ReadCdRaw(m_device, lba, blocks, m_buffer.data(), &o);
        if (rc == ASPI_OK && o.transferred == whole) {
            m_raw[track] = true;
            RemakeMadeUp(track, at, lba, count);
            return true;
        }
        // A drive that gives no whole sectors of a track refuses READ CD itself, before any read.
        const bool refused = rc != ASPI_OK && o.sense.key == ckvd::drives::kSenseIllegalRequest &&
                             o.sense.asc != ckvd::drives::kAscLbaOutOfRange;
        if (!refused || m_raw[track])
            return done(rc, "READ CD", whole);
        m_made[track] = DUMP_SECTORS_REFUSED;
    }
    m_user.resize(user);
    if (!done(Aspi_ReadSectors(m_device, lba, kUserBytes, blocks, m_user.data(), &o), "READ(10)", user))
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* sector = m_buffer.data() + size_t{i} * VERIFY_RAW_BYTES;
        std::memcpy(sector + 16, m_user.data() + size_t{i} * kUserBytes, kUserBytes);
        Verify_MakeMode1Sector(std::span<uint8_t, VERIFY_RAW_BYTES>(sector, VERIFY_RAW_BYTES),
                               static_cast<int32_t>(lba + i));
    }
    return true;
}

void DumpReader::RemakeMadeUp(size_t track, uint64_t at, uint32_t lba, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        const std::span<uint8_t, VERIFY_RAW_BYTES> sector(m_buffer.data() + size_t{i} * VERIFY_RAW_BYTES,
                                                          VERIFY_RAW_BYTES);
        if (sector[15] == 1 && Sector_IsSynthesised(sector.data())) {
            Verify_MakeMode1Sector(sector, static_cast<int32_t>(lba + i));
            m_made[track] = DUMP_SECTORS_MADE_UP;
            m_remade[at + i] = true;
        }
    }
}

bool DumpReader::Store(size_t track, uint64_t at, uint32_t count, std::string& why) {
    const DumpTrack& t = m_plan->tracks[track];
    const size_t bytes = size_t{count} * m_plan->sectorBytes;
    const uint64_t offset = t.byte + (at - t.at) * m_plan->sectorBytes;
    if (const int error = bytes::WriteAll(m_fds[t.file], m_buffer.data(), bytes, int64_t(offset))) {
        errno = error;
        why = SystemError("cannot write", m_plan->files[t.file]);
        return false;
    }
    for (uint64_t i = at; i < at + count; ++i) {
        const bool again = m_states[i] == DUMP_UNREADABLE;
        m_states[i] = again ? DUMP_RETRIED : DUMP_READ;
        m_retriedNow += again;
    }
    m_readNow += count;
    m_unflushed += count;
    return true;
}

bool DumpReader::Flush(bool now, std::string& why) {
    if (!now && m_unflushed < kFlushBlocks && NowMs() - m_flushedAt < kFlushMs)
        return true;
    // The image's bytes reach the disk before the map that claims them.
    for (size_t i = 0; i < m_fds.size(); ++i)
        if (::fdatasync(m_fds[i]) != 0) {
            why = SystemError("cannot write", m_plan->files[i]);
            return false;
        }
    m_unflushed = 0;
    m_flushedAt = NowMs();
    return Dump_WriteMap(m_mapPath, *m_plan, m_states, why);
}

bool DumpReader::Run(int retries, const std::function<void(uint64_t, uint64_t)>& progress,
                     const std::atomic<bool>* cancel, std::string& why) {
    const uint32_t runBlocks = m_plan->imageDrive ? kImageRun : kDriveRun;
    const auto stopped = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };
    uint64_t done = 0;
    for (uint8_t s : m_states)
        done += s != DUMP_NOT_TRIED;
    const auto step = [&](size_t track, uint64_t at, uint32_t count) {
        if (ReadRun(track, at, count))
            return Store(track, at, count, why);
        for (uint64_t b = at; b < at + count; ++b) // around a failure, each block on its own
            if (ReadRun(track, b, 1)) {
                if (!Store(track, b, 1, why))
                    return false;
            } else {
                m_states[b] = DUMP_UNREADABLE;
                ++m_unflushed;
            }
        return true;
    };
    for (size_t ti = 0; ti < m_plan->tracks.size(); ++ti) {
        const DumpTrack& t = m_plan->tracks[ti];
        for (uint64_t at = t.at, end = t.at + t.blocks; at < end;) {
            if (m_states[at] != DUMP_NOT_TRIED) {
                ++at;
                continue;
            }
            uint32_t n = 1;
            while (n < runBlocks && at + n < end && m_states[at + n] == DUMP_NOT_TRIED)
                ++n;
            if (stopped())
                return Flush(true, why);
            if (!step(ti, at, n) || !Flush(false, why))
                return false;
            at += n;
            done += n;
            if (progress)
                progress(done, m_plan->total);
        }
    }
    for (int pass = 0; pass < retries; ++pass)
        for (uint64_t at = 0; at < m_plan->total; ++at) {
            if (m_states[at] != DUMP_UNREADABLE)
                continue;
            if (stopped())
                return Flush(true, why);
            const size_t ti = static_cast<size_t>(&Dump_TrackAt(*m_plan, at) - m_plan->tracks.data());
            if ((ReadRun(ti, at, 1) && !Store(ti, at, 1, why)) || !Flush(false, why))
                return false;
            if (progress)
                progress(done, m_plan->total);
        }
    return Flush(true, why);
}
