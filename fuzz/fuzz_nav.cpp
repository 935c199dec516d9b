// Fuzzes one navigation-file viewer (CKVD_NAV_VIEWER: Contents, Menu, Text, Playlist or Lsn): its header,
// walks, and every table, radio button and group selection its text shows. The bytes are the file's image,
// exactly as long as the file, so any read past its end is caught.
#include <vector>

#include "navigation/contents_model.h"
#include "navigation/lsn_model.h"
#include "navigation/menu_model.h"
#include "navigation/nav_text.h"
#include "navigation/playlist_model.h"
#include "navigation/text_model.h"

#define CKVD_CAT3(a, b, c) a##b##c
#define CKVD_MODEL(v) CKVD_CAT3(C, v, DlgModel)
#define CKVD_TEXT(v) CKVD_CAT3(Nav_, v, Text)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> file(data, data + size);
    const NavImage image(file);
    CKVD_MODEL(CKVD_NAV_VIEWER) model;
    model.Fill(image);
    CKVD_TEXT(CKVD_NAV_VIEWER)(model);
    return 0;
}
