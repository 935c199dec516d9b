// A disc image burned through libburn: onto a CD in a drive (/dev/sr0), or onto libburn's pseudo-drive
// stdio:PATH, a file, for tests and for users who want the burned image as a file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct BurnOptions {
    bool blank = false; // blank a rewritable disc first
    bool multisession =
        false;     // leave the disc open for a later session; needed to add to a disc with sessions
    int speed = 0; // kB/s; 0: the drive's best
};

// libburn's pseudo-drive that writes the file PATH; and the file of such a drive (empty for another drive).
std::string Burn_StdioDrive(const std::string& path);
std::string Burn_StdioFile(const std::string& drive);

// What is under way ("blanking", "writing") and how far: `done` of `total` (bytes, 0 where not known).
using BurnProgress = std::function<void(const char* phase, uint64_t done, uint64_t total)>;

// Burns the image file `image` onto `drive` in one session (appended to a disc with sessions where
// `multisession` allows it), at the block `start` gives back. An ISO 9660 image must have been made for that
// block (its addresses count from the disc's start): one made for another is refused, as its session would
// point at the wrong blocks. False with libburn's reasons (a drive's SCSI errors among them) in `error`.
bool Burn_Image(const std::string& image, const std::string& drive, const BurnOptions& options,
                const BurnProgress& progress, std::string& error, uint32_t* start = nullptr);
// Whether the image file `image` can be written as a session starting at block `start`: an ISO 9660 volume
// whose root directory lies inside the image as written there, or no ISO 9660 volume at all (which is not
// judged). False with the reason in `error`.
bool Burn_ImageFitsAt(const std::string& image, uint32_t start, std::string& error);
