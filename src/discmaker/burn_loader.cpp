// Loading libburn by its soname and taking each function the burner calls.
#include "discmaker/burn_loader.h"

#include <dlfcn.h>

namespace {

struct Loaded {
    LibBurn api;
    std::string error;
};

Loaded Load() {
    Loaded out;
    void* lib = dlopen("libburn.so.4", RTLD_NOW | RTLD_LOCAL); // kept for the process
    if (!lib) {
        const char* why = dlerror();
        out.error = std::string("libburn (libburn.so.4) could not be loaded: ") + (why ? why : "not found") +
                    " (install libburn4)";
        return out;
    }
#define CKVD_LIBBURN_TAKE(name)                                                                              \
    if (out.error.empty() && !(out.api.name = reinterpret_cast<decltype(&burn::name)>(dlsym(lib, #name))))   \
        out.error = "libburn (libburn.so.4) has no " #name ": it is too old";
    CKVD_LIBBURN_FUNCTIONS(CKVD_LIBBURN_TAKE)
#undef CKVD_LIBBURN_TAKE
    return out;
}

} // namespace

const LibBurn* LibBurn_Load(std::string& error) {
    static const Loaded loaded = Load();
    if (!loaded.error.empty()) {
        error = loaded.error;
        return nullptr;
    }
    return &loaded.api;
}
