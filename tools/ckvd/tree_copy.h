// ckvd get -r: a directory of the loaded disc copied with everything below it into a local directory, file
// by file as Save to Disc copies one, the recorded dates kept as the files' modification times.
#pragma once

#include <string>

#include "iso9660/iso_model.h"

// Copies what `directory` (of the current session) holds into `dest`, which is made when missing. A file
// that cannot be read keeps what was read and the copy goes on with the next; a name no local file may have
// ("", ".", "..", one with "/") is left out with its reason. With `progress`, one line on stderr counts the
// files and bytes. True when every file was copied whole.
bool TreeCopy_Run(const FileEntry& directory, const std::string& dest, bool progress);
