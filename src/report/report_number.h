// The disc management number "DISCMNGRNO" in the desktop program's profile file, for programs without the
// desktop program's profile layer (the command-line companion): the file is the same INI text,
// [CkvdExplorer Settings] holding DISCMNGRNO=N.
#pragma once

#include <string>

// $XDG_CONFIG_HOME/ckvd-explorer/profile.ini, or ~/.config/ckvd-explorer/profile.ini.
std::string Report_ProfilePath();
// The XDG base directory `variable` names, else HOME/`underHome` ("XDG_DATA_HOME", ".local/share").
std::string Report_XdgDirectory(const char* variable, const char* underHome);
// The value of `key` in the profile's section, trimmed; empty when the profile has none.
std::string Report_ReadProfileValue(const std::string& profilePath, const char* key);
// The stored number; 0 when the file, the section or the value is missing or not a number.
int Report_ReadNumber(const std::string& profilePath);
// Stores `number`, keeping every other line of the file; the file is replaced whole (a new file renamed over
// it). False with the reason in `error`.
bool Report_WriteNumber(const std::string& profilePath, int number, std::string* error);

// The number after a report numbered `used`: one more, never past the largest number.
int Report_NextNumber(int used);

// Takes a management number as one step under an exclusive lock shared by every program that writes reports
// (a lock file beside the profile, held only while the number is read and the next one written): the
// number used is `wanted`, or, with `orStored`, the stored number when that is higher (other reports took
// the numbers up to it since `wanted` was shown). DISCMNGRNO becomes the number used + 1. False, with no
// number taken and the reason in `error`, when the profile cannot be locked or written.
// `*stored` is the number that was stored before.
bool Report_TakeNumber(const std::string& profilePath, int wanted, bool orStored, int* used, int* stored,
                       std::string* error);
// Gives back a number taken for a report that was not written: the number stored before the take is stored
// again, unless another report took a number since.
void Report_ReturnNumber(const std::string& profilePath, int used, int stored);
