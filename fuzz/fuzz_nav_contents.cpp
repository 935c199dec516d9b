// Fuzzes the viewer of CONTENTS.LMX: the header, LCID lines, directory and playlist tables and all four file
// tables (each radio button). The bytes are the file's image, exactly as long as the file, so any read past
// its end is caught.
#include <vector>

#include "navigation/contents_model.h"
#include "navigation/nav_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> file(data, data + size);
    const NavImage image(file);
    CContentsDlgModel model;
    model.Fill(image);
    Nav_ContentsText(model);
    return 0;
}
