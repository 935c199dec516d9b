// Loading libpq by its soname and taking each function the connection calls.
#include "catalogue/libpq_loader.h"

#include "platform/dl/shared_library.h"

namespace cat_pg {

const LibPq* LibPq_Load(std::string& error) {
    return Dl_LoadOnce<LibPq>(error, [](LibPq& api, std::string& why) {
        DlLibrary lib("PostgreSQL's client library", "libpq.so.5", "libpq5", why);
#define CKVD_TAKE(name) lib.Take(#name, api.name);
        CKVD_LIBPQ_FUNCTIONS(CKVD_TAKE)
#undef CKVD_TAKE
    });
}

} // namespace cat_pg
