// Loading libpq by its soname and taking each function the connection calls.
#include "catalogue/libpq_loader.h"

#include "platform/dl/shared_library.h"

namespace cat_pg {

namespace {

struct Loaded {
    LibPq api;
    std::string error;
};

Loaded Load() {
    Loaded out;
    void* lib =
        Dl_Open("PostgreSQL's client library", "libpq.so.5", "libpq5", out.error); // kept for the process
#define CKVD_TAKE(name)                                                                                      \
    Dl_Take(lib, #name, out.api.name, "PostgreSQL's client library", "libpq.so.5", out.error);
    if (lib) {
        CKVD_LIBPQ_FUNCTIONS(CKVD_TAKE)
    }
#undef CKVD_TAKE
    return out;
}

} // namespace

const LibPq* LibPq_Load(std::string& error) {
    static const Loaded loaded = Load();
    if (!loaded.error.empty()) {
        error = loaded.error;
        return nullptr;
    }
    return &loaded.api;
}

} // namespace cat_pg
