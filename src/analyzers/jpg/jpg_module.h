// JPG analyzer: the last of the chain; it accepts no file.
#pragma once

struct FileEntry;

constexpr int JPG_ERR_NOT_JPEG = 0x6001;

// Always JPG_ERR_NOT_JPEG, without reading the disc.
int Jpg_Analyze(const FileEntry* entry);
