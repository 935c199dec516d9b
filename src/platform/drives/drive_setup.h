// The drives the programs serve, as numbered groups listed in order: group 0 the SG_IO drives present, group
// 1 one image drive per disc image.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/drives/image_drive.h"
#include "platform/drives/sg_drive.h"

namespace ckvd::drives {

constexpr unsigned kSgAdapter = 0;
constexpr unsigned kImageAdapter = 1;

// The groups served, in listing order (tests install their own); a null group has no drives.
void SetDriveGroups(std::vector<std::shared_ptr<DriveGroup>> groups);
const std::vector<std::shared_ptr<DriveGroup>>& DriveGroups();
// The drive in `slot` of group `group`, or nullptr.
Drive* FindDrive(unsigned group, unsigned slot);

// Installs both groups, loading every image. A failed load installs nothing new, leaves the previous
// groups in place and returns false with the image reader's message; so does an image past the last slot.
bool SetupDrives(const std::vector<std::string>& imagePaths, std::string* error);

// Puts the image at `path` into an image drive while the program runs: the drive already serving that path
// gets the newly read medium (the file may have changed), otherwise a new drive is added after the others.
// Returns the drive's slot in group 1; -1 with the image reader's "FILE:LINE: what" in `error` when the image
// cannot be read, -2 when every slot is taken (nothing is changed then). The groups are installed first when
// SetupDrives has not run.
int AddImageDrive(const std::string& path, std::string* error);

// The image drive serving `path` (as given to SetupDrives), or nullptr.
ImageDrive* FindImageDrive(const std::string& path);
// Group 1, or nullptr before SetupDrives.
ImageAdapter* ImageDrives();
// Group 0 (the SG_IO drives), or nullptr before SetupDrives.
SgAdapter* SgDrives();

} // namespace ckvd::drives
