// Fuzzes the viewer of LSN.LMX: the header and the entries. The bytes are the file's image, exactly as long
// as the file, so any read past its end is caught.
#include <vector>

#include "navigation/lsn_model.h"
#include "navigation/nav_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> file(data, data + size);
    const NavImage image(file);
    CLsnDlgModel model;
    model.Fill(image);
    Nav_LsnText(model);
    return 0;
}
