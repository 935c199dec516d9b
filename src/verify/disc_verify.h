// Verify of the loaded disc: every block of every track read once, in long runs and block by block around
// a run that fails; whole sectors checked where the drive gives them (sync, header, EDC, ECC); the damaged
// ranges and the files and directories they hit. Driven a run at a time, so a window can show progress and
// stop it; one thread at a time drives it (the window's worker), reading only the Disc it was given.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "aspi/aspi_manager.h"
#include "verify/track_plan.h"

class Disc;
struct FileEntry;

// What became of a block.
constexpr uint8_t VERIFY_NOT_READ = 0;
constexpr uint8_t VERIFY_READABLE = 1;
constexpr uint8_t VERIFY_CORRUPT = 2;    // read, but its sector's checks failed
constexpr uint8_t VERIFY_UNREADABLE = 3; // the drive could not give it
// Not recorded in the image: the gap before a later track of the session that an image leaves out (a real
// drive reads it); no damage.
constexpr uint8_t VERIFY_GAP = 4;
// Read, but its sector came without EDC and ECC (a drive that makes sectors up around the user data): its
// sync and header were checked, its bytes cannot be. No damage.
constexpr uint8_t VERIFY_NO_EDC = 5;
constexpr size_t VERIFY_STATES = 6;

struct VerifyRange {
    uint32_t first = 0, count = 0;
    uint8_t state = VERIFY_NOT_READ;
    std::string reason; // "EDC and ECC do not match", "past the end of the recorded area"...
};

struct VerifyHit {
    int session = 0;  // 1..
    std::string path; // as ckvd ls prints it
    char type = 'F';  // 'F' file, 'D' directory
    const FileEntry* entry = nullptr;
};

class DiscVerify {
  public:
    DiscVerify();
    ~DiscVerify();
    DiscVerify(const DiscVerify&) = delete;
    DiscVerify& operator=(const DiscVerify&) = delete;

    // Plans the verify of the disc loaded from `device` (its full TOC; the model of `disc`, where it has one,
    // for the volumes' sizes and the files; `disc` is read until the verify goes): every session, or the
    // 0-based `session` alone. 1, or the TOC read's failure code.
    int Start(const Disc& disc, uint16_t device, int session = -1);
    // Reads and checks the next run of blocks, or the next block on its own of a run that failed (so a step
    // is a read or two whatever the disc); false once all were read or the verify was stopped.
    bool Step();
    void Stop() { m_stopped = true; }
    // For a verify on a worker: once `flag` is set, the verify stops before its next step; what it did not
    // read stays not read.
    void StopWhen(const std::atomic<bool>* flag) { m_stopFlag = flag; }
    bool Stopped() const { return m_stopped; }
    bool Finished() const { return m_done == m_total; }

    uint64_t Done() const { return m_done; }
    uint64_t Total() const { return m_total; }
    const std::vector<VerifyTrack>& Tracks() const { return m_tracks; }
    // The state of the plan's `index`th block (tracks one after the other, in TOC order).
    uint8_t StateAt(uint64_t index) const;
    // Blocks in each state, indexed by VERIFY_*.
    std::vector<uint64_t> Counts() const;
    // The corrupt and unreadable runs of blocks, in the plan's order, a run of one state and reason each.
    std::vector<VerifyRange> Ranges() const;
    // The files and directories of the Disc's model that hold a block of `range` (a file recorded in several
    // extents once); the tracks of an audio session by their track files' names.
    std::vector<VerifyHit> Hits(const VerifyRange& range) const;

  private:
    struct Index;
    // The `count` sectors read at `lba`, checked and marked from the plan's `at` on.
    void Take(const VerifyTrack& t, uint32_t lba, uint32_t count, uint64_t at);
    bool StopAsked() const { return m_stopFlag && m_stopFlag->load(std::memory_order_relaxed); }
    bool ReadBlocks(VerifyTrack& t, uint32_t lba, uint32_t count);
    void Mark(uint64_t at, uint8_t state, uint8_t detail, uint64_t count = 1);
    uint8_t FailureDetail();
    uint8_t ReasonIndex(const std::string& text);
    void ExtendToVolumes();

    const Disc* m_disc = nullptr;
    uint16_t m_device = 0;
    bool m_image = false; // an image drive: longer runs
    int m_session = -1;
    std::vector<VerifyTrack> m_tracks;
    std::vector<uint64_t> m_trackAt; // plan index of each track's first block
    // What became of the blocks read so far, as runs of one state and detail in plan order (blocks are
    // marked in that order), so a disc of millions of sound blocks takes a few runs, not a byte a block.
    struct Run {
        uint64_t first, count;
        uint8_t state, detail;
    };
    std::vector<Run> m_runs;
    mutable size_t m_lastRun = 0; // where StateAt found the last block asked for, as maps ask in order
    // Blocks the plan may hold: what a CD can address, or more where the drive's capacity says so (a DVD
    // image); no TOC or volume is taken to claim more.
    uint64_t m_limit = 0;
    std::vector<std::string> m_reasons; // unreadable blocks' detail indexes these
    std::vector<uint8_t> m_buffer;
    AspiSense m_sense;       // the last read's
    bool m_timedOut = false; // the last read timed out
    size_t m_track = 0;      // where the next run begins
    uint32_t m_next = 0;     //
    uint32_t m_single = 0;   // blocks of a failed run still to read one at a time, from m_next on
    uint64_t m_done = 0, m_total = 0;
    bool m_stopped = false;
    const std::atomic<bool>* m_stopFlag = nullptr;
    mutable std::unique_ptr<Index> m_index;
};
