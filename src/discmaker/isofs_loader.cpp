// Loading libisofs by its soname and taking each function the image writer calls.
#include "discmaker/isofs_loader.h"

#include <dlfcn.h>

namespace {

struct Loaded {
    LibIsofs api;
    std::string error;
};

Loaded Load() {
    Loaded out;
    void* lib = dlopen("libisofs.so.6", RTLD_NOW | RTLD_LOCAL); // kept for the process
    if (!lib) {
        const char* why = dlerror();
        out.error = std::string("libisofs (libisofs.so.6) could not be loaded: ") +
                    (why ? why : "not found") + " (install libisofs6)";
        return out;
    }
#define CKVD_LIBISOFS_TAKE(name)                                                                             \
    if (out.error.empty() && !(out.api.name = reinterpret_cast<decltype(&::name)>(dlsym(lib, #name))))       \
        out.error = "libisofs (libisofs.so.6) has no " #name ": it is too old";
    CKVD_LIBISOFS_FUNCTIONS(CKVD_LIBISOFS_TAKE)
#undef CKVD_LIBISOFS_TAKE
    return out;
}

} // namespace

const LibIsofs* LibIsofs_Load(std::string& error) {
    static const Loaded loaded = Load();
    if (!loaded.error.empty()) {
        error = loaded.error;
        return nullptr;
    }
    return &loaded.api;
}
