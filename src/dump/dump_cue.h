// The cue sheet of a dump into a .cue: a FILE a session, each track with its mode, the pregap the drive
// said was not recorded and INDEX 01; several sessions with "REM SESSION nn" and the lead-out between them.
#pragma once

#include <string>

#include "dump/dump_check.h"
#include "dump/dump_plan.h"

// The sheet's text (CR LF lines); `check` gives each data track's mode.
std::string Dump_CueSheet(const DumpPlan& plan, const DumpCheck& check);
