// The loaded disc's CD-TEXT and Q codes, read after its TOC and kept with its model.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cdtext/cd_text.h"

// The disc's CD-TEXT is read after its TOC (READ TOC format 5), with the media catalogue number and ISRCs the
// text leaves out (READ SUB-CHANNEL), into its model (iso_internal::ReadDiscText); a drive that refuses
// either has none. The current Disc's text, nullptr when the disc has none (nor an empty model).
const ckvd::cdtext::DiscText* Iso_DiscText();
// Track `trackNumber`'s text, nullptr where none is recorded.
const ckvd::cdtext::TrackText* Iso_TrackText(uint8_t trackNumber);
// The name Save to Disc proposes for track `trackNumber`: "03 Performer - Title.wav", "Track03.wav" without a
// title (`extension` in place of ".wav").
std::string Iso_TrackFileName(uint8_t trackNumber, std::string_view extension = ".wav");

struct FileEntry;
// The track an audio track file of the model ("TrackNN.cda" at its track's address) stands for, 0 for any
// other entry.
uint8_t Iso_CdaTrackNumber(const FileEntry* entry);
