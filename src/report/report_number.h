// The disc management number "DISCMNGRNO" in the desktop program's profile file, for programs without the
// desktop program's profile layer (the command-line companion): the file is the same INI text,
// [CkvdExplorer Settings] holding DISCMNGRNO=N.
#pragma once

#include <string>

// $XDG_CONFIG_HOME/ckvd-explorer/profile.ini, or ~/.config/ckvd-explorer/profile.ini.
std::string Report_ProfilePath();
// The stored number; 0 when the file, the section or the value is missing or not a number.
int Report_ReadNumber(const std::string& profilePath);
// Stores `number`, keeping every other line of the file; the file is replaced whole (a new file renamed over
// it). False with the reason in `error`.
bool Report_WriteNumber(const std::string& profilePath, int number, std::string* error);
