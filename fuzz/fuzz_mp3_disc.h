// Shared body of the MP3 analyzer's fuzz targets: the fuzzed file on a one-directory ISO9660 disc in an image
// drive, analysed through the real ASPI manager and disc model as the file list does.
#pragma once

#include "analyzers/analyzers.h"
#include "analyzers/mp3/mp3_module.h"
#include "fuzz_iso_disc.h"

namespace mp3fuzz {

// Puts `file` as A.MP3 on a one-file disc and runs Mp3_Analyze on it as the file list does.
inline void AnalyzeFile(const std::vector<uint8_t>& file) {
    isofuzz::WithDisc(isofuzz::OneFileDisc(file.data(), file.size(), "A.MP3;1"), "mp3",
                      [](uint16_t, int result) {
                          if (result != 1)
                              return;
                          Mp3_Initialize();
                          for (FileEntry* e = g_DiscModel->firstTree->root->firstChild; e; e = e->nextSibling)
                              if (e->type == 'F')
                                  Mp3_Analyze(e);
                          Mp3_Terminate();
                      });
}

} // namespace mp3fuzz
