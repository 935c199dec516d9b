// Loading libisofs by its soname and taking each function the image writer calls.
#include "discmaker/isofs_loader.h"

#include "platform/dl/shared_library.h"

const LibIsofs* LibIsofs_Load(std::string& error) {
    return Dl_LoadOnce<LibIsofs>(error, [](LibIsofs& api, std::string& why) {
        DlLibrary lib("libisofs", "libisofs.so.6", "libisofs6", why);
#define CKVD_TAKE(name) lib.Take(#name, api.name);
        CKVD_LIBISOFS_FUNCTIONS(CKVD_TAKE)
#undef CKVD_TAKE
    });
}

std::string LibIsofs_Why(const LibIsofs& isofs, int code) {
    const char* text = isofs.iso_error_to_msg(code);
    return text ? text : "libisofs error " + std::to_string(code);
}
