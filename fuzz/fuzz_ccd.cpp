// Fuzzes the .ccd reader.
#include "fuzz_image_sheet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz_image_sheet(data, size, "ccd", ckvd::images::load_ccd);
}
