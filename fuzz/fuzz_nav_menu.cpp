// Fuzzes the viewer of MENU.LMX: the header and the walk of the menu tree with its three lists. The bytes are
// the file's image, exactly as long as the file, so any read past its end is caught.
#include <vector>

#include "navigation/menu_model.h"
#include "navigation/nav_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> file(data, data + size);
    const NavImage image(file);
    CMenuDlgModel model;
    model.Fill(image);
    Nav_MenuText(model);
    return 0;
}
