// The plan written as an ISO 9660 image by libisofs: the primary names at the profile's level, Joliet and
// Rock Ridge, the files' data in playback order (so that recording, directory and name order agree), the
// volume name from the folder.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "discmaker/make_plan.h"

// How far the writing is: bytes written of the image's `total`; false stops it.
using MakeProgress = std::function<bool(uint64_t written, uint64_t total)>;

// Writes `plan` for `profile` into the image file `out` (made anew: an existing file is replaced only once
// the image is whole). False with the reason in `error`; no partial image is left. A tag the plan rewrites
// that could not be (the file then goes as it is) is said in `warnings`.
bool Make_WriteImage(const MakePlan& plan, const PlayerProfile& profile, const std::string& out,
                     std::string& error, std::vector<std::string>& warnings,
                     const MakeProgress& progress = {});
