// The log of a dump: the program and drive, each command the drive refused, the counts, the tracks whose
// sectors were made from user data, and the hashes of each track and image file.
#pragma once

#include <cstdint>
#include <string>

#include "aspi/aspi_manager.h"
#include "dump/dump_check.h"
#include "dump/dump_plan.h"
#include "dump/dump_reader.h"

struct DumpCounts {
    uint64_t blocks = 0, read = 0, retried = 0, unreadable = 0, notTried = 0;
};

DumpCounts Dump_Count(const DumpReader& reader);

// The log's text; `program` is the program's name and version, `drive` the device (nullptr when unknown).
std::string Dump_LogText(const std::string& program, const DeviceEntry* drive, const std::string& out,
                         const std::string& mapPath, const DumpPlan& plan, const DumpReader& reader,
                         const DumpCheck& check);

// "sense 3/11/00 (unrecovered read error)" for a refused command.
std::string Dump_ErrorText(const DumpCommandError& e);
