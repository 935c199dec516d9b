// The drives both programs serve: host adapter 0 = the SG_IO drives present, host adapter 1 = one image drive
// per disc image.
#pragma once

#include <string>
#include <vector>

#include "platform/drives/image_drive.h"

namespace ckvd::aspi32 {

constexpr unsigned kSgAdapter = 0;
constexpr unsigned kImageAdapter = 1;

// Installs both host adapters, loading every image. A failed load installs nothing new, leaves the previous
// adapters in place and returns false with the image reader's message; so does an image past the last target.
bool SetupDrives(const std::vector<std::string>& imagePaths, std::string* error);

// The image drive serving `path` (as given to SetupDrives), or nullptr.
drives::ImageDrive* FindImageDrive(const std::string& path);
// Host adapter 1, or nullptr before SetupDrives.
drives::ImageAdapter* ImageDrives();

} // namespace ckvd::aspi32
