// What the navigation files say of a media file: its kind and file type by extension, and the technical data
// that are cheap to read from its bytes.
#pragma once

#include <cstdint>
#include <string>

#include "navigation/nav_writer.h"

class ByteSource;

enum class NavKind { None, Audio, Image, Video };

struct NavKindOf {
    NavKind kind;
    uint16_t
        fileType; // audio 1 MP3, 2 WMA, 3 WAV; images 1 JPEG, 2 PNG, 3 BMP; video 1 WMV, 2 AVI, 3 MPEG, 4 MP4
};

// The kind and file type of the file named `name` by its extension (any case).
NavKindOf Nav_Classify(const std::string& name);
// The technical data of `in` that are cheap to read, into `f` (the WAV fmt chunk, the first MPEG audio frame
// header, image dimensions); what cannot be read stays 0.
void Nav_MediaInfo(ByteSource& in, const NavKindOf& kind, NavMediaFile& f);
