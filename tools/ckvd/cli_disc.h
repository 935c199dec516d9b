// The disc of a command's DRIVE, loaded through the disc engine, and its files by path.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "appmodel/app_modules.h"
#include "cli_options.h"
#include "listing/disc_text.h"

// Puts `images` into image drives; false after the message.
bool CliDisc_InstallDrives(const std::vector<std::string>& images);

// Loads the disc of DRIVE; its device index, or -1 after the failure was printed. With `analysis`, a disc
// whose TOC was read is kept even when the analysis of its file systems failed: the result goes there and
// the caller reports it after what it can show.
// `names`: the names to read each session in where it records them (Iso_AnalyzeDisc).
int CliDisc_Load(const std::string& drive, int* analysis = nullptr, uint8_t names = 0);

// True while the drive of the loaded disc has noticed no medium change since the disc was read; else says
// once "the disc in DRIVE was changed while it was read" and returns false: what was read after the change
// may be another disc's, and is not to be shown.
bool CliDisc_SameDisc();
// Whether the drive of the loaded disc noticed a medium change since the disc was read, or gives another TOC
// (a change the system's media polling took in passing); nothing is said.
bool CliDisc_Changed();
// After a command's reads met a medium change (CliDisc_Changed): the disc is read again from the
// start, once, when the drive still gives the TOC it gave at the load, and the command may do its reads
// again; false, after the message, when it was read again before, its TOC changed, or it changed again.
// With `analysis`, a disc whose file systems could not be read is kept, as CliDisc_Load keeps it.
bool CliDisc_ReadAgain(int* analysis = nullptr);
// A command's exit status, made a failure when the disc changed while it was read; a failed command's last
// time-out on that drive is named.
int CliDisc_Finish(int status);

// Engine up and the disc of DRIVE loaded; false after the failure was printed.
bool CliDisc_Start(const EngineSession& engine, const std::string& drive, uint8_t names = 0);

// Runs `command` with the engine up and the disc of the options' first argument (DRIVE) loaded, for
// `minArgs` to `maxArgs` arguments, DRIVE included. Wrong usage, engine and load failures end here.
int CliDisc_Run(const CliOptions& options, size_t minArgs, size_t maxArgs,
                const std::function<int(const std::vector<std::string>& args, int session)>& command);

// The file PATH of the loaded disc, its session made the current one; prints why and returns an empty
// result when there is none.
DiscPath CliDisc_LookupFile(const std::string& path, int session);
