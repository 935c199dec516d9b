// ckvd info --file: Tag Information of files of the local file system.
#pragma once

#include "cli_options.h"

// Each argument a local file, shown as `ckvd info DRIVE PATH` shows the same file on a disc but for what only
// a disc has: no LBN line, and in JSON no session or directory. The exit status.
int Cmd_InfoFiles(const CliOptions& options);
