// Fuzzes the viewer of a playlist file: the header, the group chain and every group's part (each selection in
// the tree). The bytes are the file's image, exactly as long as the file, so any read past its end is caught.
#include <vector>

#include "navigation/nav_text.h"
#include "navigation/playlist_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> file(data, data + size);
    const NavImage image(file);
    CPlaylistDlgModel model;
    model.Fill(image);
    Nav_PlaylistText(model);
    return 0;
}
