// Loading libburn by its soname and taking each function the burner calls.
#include "discmaker/burn_loader.h"

#include "platform/dl/shared_library.h"

const LibBurn* LibBurn_Load(std::string& error) {
    return Dl_LoadOnce<LibBurn>(error, [](LibBurn& api, std::string& why) {
        DlLibrary lib("libburn", "libburn.so.4", "libburn4", why);
#define CKVD_TAKE(name) lib.Take(#name, api.name);
        CKVD_LIBBURN_FUNCTIONS(CKVD_TAKE)
#undef CKVD_TAKE
    });
}
