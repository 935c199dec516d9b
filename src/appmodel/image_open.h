// Opening a disc image from the window, the Linux user's "put a disc into a drive": which files count as
// disc images, and the message that says in plain words why one cannot be opened.
#pragma once

#include <string>

#include "appmodel/message_sink.h"

// True for a name ending in the extension of a disc image the image drive reads (any case): .iso, .cue,
// .ccd, .nrg, .toc, .mds and the raw files .mdf, .bin, .img.
bool App_IsDiscImageName(const std::string& path);
// The path as opened: absolute and without "." or ".." parts, so one file is one drive however it was named.
std::string App_ImagePath(const std::string& path);

enum class ImageFailure { Unreadable, NoFreeDrive, Gone };
// Puts the image at `path` (as App_ImagePath gives it) into an image drive: its target id on the image host
// adapter, or -1 after the message that names the file and says why went to `sink`.
int App_PutImageIntoDrive(const std::string& path, ckvd::ui::MessageSink& sink);

// The message (UTF-8) for an image that could not be put into a drive. It names the file, says why in plain
// words (looking at the file itself: missing, a folder, not readable) and keeps the reader's
// "FILE:LINE: what".
std::string App_ImageFailureText(const std::string& path, ImageFailure failure,
                                 const std::string& readerError);
