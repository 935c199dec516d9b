// The drives both programs serve: host adapter 0 = the SG_IO drives present, host adapter 1 = one image drive
// per disc image.
#pragma once

#include <string>
#include <vector>

#include "platform/drives/image_drive.h"
#include "platform/drives/sg_drive.h"

namespace ckvd::aspi32 {

constexpr unsigned kSgAdapter = 0;
constexpr unsigned kImageAdapter = 1;

// Installs both host adapters, loading every image. A failed load installs nothing new, leaves the previous
// adapters in place and returns false with the image reader's message; so does an image past the last target.
bool SetupDrives(const std::vector<std::string>& imagePaths, std::string* error);

// Puts the image at `path` into an image drive while the program runs: the drive already serving that path
// gets the newly read medium (the file may have changed), otherwise a new drive is added after the others.
// Returns the drive's target id on host adapter 1; -1 with the image reader's "FILE:LINE: what" in `error`
// when the image cannot be read, -2 when every target is taken (nothing is changed then). Adapters are
// installed first when SetupDrives has not run.
int AddImageDrive(const std::string& path, std::string* error);

// The image drive serving `path` (as given to SetupDrives), or nullptr.
drives::ImageDrive* FindImageDrive(const std::string& path);
// Host adapter 1, or nullptr before SetupDrives.
drives::ImageAdapter* ImageDrives();
// Host adapter 0 (the SG_IO drives), or nullptr before SetupDrives.
drives::SgAdapter* SgDrives();

} // namespace ckvd::aspi32
