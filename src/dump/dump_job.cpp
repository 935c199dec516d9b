// The steps of a dump in their order, and the words for what it left missing.
#include "dump/dump_job.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "dump/dump_cue.h"
#include "dump/dump_map.h"

namespace {

constexpr size_t kRunsNamed = 20; // unreadable runs named in the sentence; the map lists them all

bool EndsWith(const std::string& text, const std::string& end) {
    if (text.size() <= end.size())
        return false;
    std::string tail = text.substr(text.size() - end.size());
    std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
    return tail == end;
}

// `text` into `path` through a new file renamed over it.
bool WriteText(const std::string& path, const std::string& text, std::string& why) {
    const std::string temp = path + ".new";
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (out && std::rename(temp.c_str(), path.c_str()) == 0)
        return true;
    why = "cannot write " + path;
    return false;
}

} // namespace

bool Dump_FormatOf(const std::string& out, DumpFormat& format) {
    if (EndsWith(out, ".iso"))
        format = DumpFormat::Iso;
    else if (EndsWith(out, ".cue"))
        format = DumpFormat::Cue;
    else
        return false;
    return true;
}

int DumpJob::Prepare(uint16_t device, const std::string& out, std::string& why) {
    m_device = device;
    m_out = out;
    DumpFormat format = DumpFormat::Iso;
    if (!Dump_FormatOf(out, format)) {
        why = "OUT ends in .iso or .cue, not '" + out + "'";
        return 0;
    }
    if (const int rc = Dump_MakePlan(device, format, out, m_plan, why); rc != 1) {
        if (rc == 0)
            why = out + ": " + why +
                  "; an .iso holds the user data of one data session: dump the disc to a .cue";
        return rc;
    }
    // The sheet is written last: one standing without a map is another dump's, or the user's.
    if (format == DumpFormat::Cue && access(out.c_str(), F_OK) == 0 && access(MapPath().c_str(), F_OK) != 0) {
        why = out + " exists without the map " + MapPath() +
              " of a dump: it is not overwritten (remove it, or give another name)";
        return 0;
    }
    return m_reader.Open(device, m_plan, MapPath(), why) ? 1 : 0;
}

bool DumpJob::Read(int retries, const std::function<void(uint64_t, uint64_t)>& progress,
                   const std::atomic<bool>* cancel, std::string& why) {
    return m_reader.Run(retries, progress, cancel, why);
}

bool DumpJob::Finish(const std::string& program, std::string& why) {
    if (!Dump_Check(m_plan, m_reader.States(), m_reader.Made(), m_reader.Remade(), m_check, why))
        return false;
    if (m_plan.format == DumpFormat::Cue && !WriteText(m_out, Dump_CueSheet(m_plan, m_check), why))
        return false;
    return WriteText(
        LogPath(),
        Dump_LogText(program, Aspi_GetDevice(m_device), m_out, MapPath(), m_plan, m_reader, m_check), why);
}

std::vector<std::string> DumpJob::Faults() const {
    std::vector<std::string> faults;
    const DumpCounts c = Counts();
    if (c.unreadable) {
        const std::vector<std::string> runs = Dump_UnreadableRuns(m_plan, m_reader.States());
        std::string named;
        for (size_t i = 0; i < runs.size() && i < kRunsNamed; ++i)
            named += (i ? ", " : "") + runs[i];
        if (runs.size() > kRunsNamed)
            named += ", ...";
        faults.push_back("dump incomplete: " + std::to_string(c.unreadable) + " unreadable blocks (" + named +
                         "), listed in " + MapPath());
    }
    if (c.notTried)
        faults.push_back("dump incomplete: " + std::to_string(c.notTried) +
                         " blocks not read yet; a run again goes on from " + MapPath());
    if (m_check.corrupt)
        faults.push_back(std::to_string(m_check.corrupt) +
                         " sectors read fail their checks (sync, header, EDC, ECC), listed in " + LogPath());
    return faults;
}
