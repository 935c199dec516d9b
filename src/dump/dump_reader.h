// The reads of a dump: every planned block not yet read, in runs and block by block around a run that
// fails, then the unreadable ones again on later passes; the image files written and the map kept so that
// it never claims a block the image files do not hold. Driven by one thread (a command, or the window's
// worker), with progress and cancel for the window.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "aspi/aspi_manager.h"
#include "dump/dump_map.h"
#include "dump/dump_plan.h"

// A command the drive refused.
struct DumpCommandError {
    const char* command = ""; // "READ CD", "READ(10)"
    uint32_t lba = 0;
    uint32_t count = 0;
    AspiSense sense;
    bool shortTransfer = false; // the drive said it read them but moved fewer bytes
};

class DumpReader {
  public:
    DumpReader() = default;
    ~DumpReader();
    DumpReader(const DumpReader&) = delete;
    DumpReader& operator=(const DumpReader&) = delete;

    // Opens the image files of `plan` (made, or kept from an earlier run whose map `mapPath` is) and reads
    // that map. Refuses, writing nothing, an image file without its map and a map of another disc. True, or
    // false with why.
    bool Open(uint16_t device, const DumpPlan& plan, const std::string& mapPath, std::string& why);
    // Reads what is not yet read, then `retries` passes over the unreadable blocks, one at a time;
    // `progress(done, total)` after each read. Stops before the next read once `cancel` is set. False with
    // why when an image file or the map could not be written (the map then claims nothing unwritten).
    bool Run(int retries, const std::function<void(uint64_t, uint64_t)>& progress,
             const std::atomic<bool>* cancel, std::string& why);

    const std::vector<uint8_t>& States() const { return m_states; }
    const std::vector<DumpCommandError>& Errors() const { return m_errors; }
    uint64_t ErrorsLeftOut() const { return m_errorsLeftOut; }
    uint64_t ReadNow() const { return m_readNow; }       // blocks read by this run
    uint64_t RetriedNow() const { return m_retriedNow; } // of those, unreadable before
    bool Resumed() const { return m_resumed; }
    // Why track `i`'s sectors were made from their user data, or DUMP_SECTORS_READ.
    uint8_t MadeFromUserData(size_t i) const { return m_made[i]; }
    const std::vector<uint8_t>& Made() const { return m_made; }
    // Per planned block: made again here because the drive made it up (DUMP_SECTORS_MADE_UP).
    const std::vector<bool>& Remade() const { return m_remade; }

  private:
    bool ReadRun(size_t track, uint64_t at, uint32_t count);
    // Makes again, from their user data, the sectors of a run that the drive made up.
    void RemakeMadeUp(size_t track, uint64_t at, uint32_t lba, uint32_t count);
    bool Store(size_t track, uint64_t at, uint32_t count, std::string& why);
    bool Flush(bool now, std::string& why);
    void Failed(const char* command, uint32_t lba, uint32_t count, const AspiOutcome& o, bool shortTransfer);

    uint16_t m_device = 0;
    const DumpPlan* m_plan = nullptr;
    std::string m_mapPath;
    std::vector<int> m_fds;
    std::vector<uint8_t> m_states;
    std::vector<uint8_t> m_buffer, m_user;
    std::vector<uint8_t> m_made; // per track: DUMP_SECTORS_...
    std::vector<bool> m_raw;     // per track: whole sectors read
    std::vector<bool> m_remade;  // per planned block
    std::vector<DumpCommandError> m_errors;
    uint64_t m_errorsLeftOut = 0;
    uint64_t m_readNow = 0, m_retriedNow = 0, m_unflushed = 0;
    int64_t m_flushedAt = 0; // steady clock, ms
    bool m_resumed = false;
};
