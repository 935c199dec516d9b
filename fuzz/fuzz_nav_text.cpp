// Fuzzes the viewer of TEXT.LMX: the header, the contents, group and extra texts. The bytes are the file's
// image, exactly as long as the file, so any read past its end is caught.
#include <vector>

#include "navigation/nav_text.h"
#include "navigation/text_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> file(data, data + size);
    const NavImage image(file);
    CTextDlgModel model;
    model.Fill(image);
    Nav_TextText(model);
    return 0;
}
