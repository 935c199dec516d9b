// Reading a disc into the model, with the reason in plain words when it fails: the one load both programs
// run, so the window's message and `ckvd`'s say the same.
#pragma once

#include <cstdint>
#include <string>

// Iso_AnalyzeDisc on `device`. On failure (any result but 1) `reason` gets, for an image drive, the image's
// path and why in plain words ("PATH: the image file ends at block N; ..."); it stays empty for other drives.
int App_AnalyzeDisc(uint16_t device, std::string* reason, uint8_t names = 0);

// The reason for a failed load of `device` with result `code` (empty when the device is no image drive).
std::string App_LoadFailureReason(uint16_t device, int code);

// For an image drive holding an image file shorter than the volume it starts (an incomplete download) whose
// disc loaded all the same: "PATH: the image file ends at block N; the volume records M blocks: the file is
// incomplete", said once beside what could be read. Empty for a whole image and for other drives.
std::string App_IncompleteImage(uint16_t device);

// True for a result that faults the disc's own content (its file system, its kind), not the drive's reading
// of it (not ready, a read error) or the memory.
bool App_IsDiscFault(int code);

// Takes the image drive of `device` out of the drives, so that Select Drive no longer lists a broken image,
// and scans the devices again. Returns the device index the device `keep` (an index before the scan, -1 for
// none) has after the scan, -1 when it is gone; nothing happens for a device that is no image drive (the
// index is kept).
int App_RemoveImageDrive(uint16_t device, int keep);
