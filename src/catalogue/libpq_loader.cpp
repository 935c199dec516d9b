// Loading libpq by its soname and taking each function the connection calls.
#include "catalogue/libpq_loader.h"

#include <dlfcn.h>

namespace cat_pg {

namespace {

struct Loaded {
    LibPq api;
    std::string error;
};

Loaded Load() {
    Loaded out;
    // Kept for the process: a connection's result may outlive the catalogue that made it.
    void* lib = dlopen("libpq.so.5", RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        const char* why = dlerror();
        out.error = std::string("PostgreSQL's client library (libpq.so.5) could not be loaded: ") +
                    (why ? why : "not found") + " (install libpq5)";
        return out;
    }
#define CKVD_LIBPQ_TAKE(name)                                                                                \
    if (out.error.empty() && !(out.api.name = reinterpret_cast<decltype(&::name)>(dlsym(lib, #name))))       \
        out.error = "PostgreSQL's client library (libpq.so.5) has no " #name ": it is too old";
    CKVD_LIBPQ_FUNCTIONS(CKVD_LIBPQ_TAKE)
#undef CKVD_LIBPQ_TAKE
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
