// Fuzzes the .cue reader.
#include "fuzz_image_sheet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz_image_sheet(data, size, "cue", ckvd::images::load_cue);
}
