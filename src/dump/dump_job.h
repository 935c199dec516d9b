// A dump of the disc in a device into OUT from start to end: the plan and its refusals, the reads, the
// check, the cue sheet and the log. ckvd dump runs it at once; the window runs Read on a worker.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "dump/dump_check.h"
#include "dump/dump_log.h"
#include "dump/dump_plan.h"
#include "dump/dump_reader.h"

// The format OUT's extension names (.iso or .cue, any case); false for any other.
bool Dump_FormatOf(const std::string& out, DumpFormat& format);

class DumpJob {
  public:
    // Plans the dump of the disc in `device` into `out` and opens its files, or refuses with nothing
    // written: 1; 0 with why (a disc the format cannot hold, an OUT without its map, a map of another disc,
    // a file that cannot be made); else the TOC read's failure code.
    int Prepare(uint16_t device, const std::string& out, std::string& why);
    // The reads (see DumpReader::Run).
    bool Read(int retries, const std::function<void(uint64_t, uint64_t)>& progress,
              const std::atomic<bool>* cancel, std::string& why);
    // The image read back and checked, the cue sheet (for a .cue) and the log written; false with why.
    // `program` is the program's name and version for the log.
    bool Finish(const std::string& program, std::string& why);

    const std::string& Out() const { return m_out; }
    std::string MapPath() const { return m_out + ".map"; }
    std::string LogPath() const { return m_out + ".log"; }
    const DumpPlan& Plan() const { return m_plan; }
    const DumpReader& Reader() const { return m_reader; }
    const DumpCheck& Check() const { return m_check; }
    DumpCounts Counts() const { return Dump_Count(m_reader); }
    // What is missing from the image or wrong in it, a sentence a line ("dump incomplete: 6 unreadable
    // blocks (100-104, 700), listed in OUT.map"); empty for a whole and sound image.
    std::vector<std::string> Faults() const;

  private:
    uint16_t m_device = 0;
    std::string m_out;
    DumpPlan m_plan;
    DumpReader m_reader;
    DumpCheck m_check;
};
