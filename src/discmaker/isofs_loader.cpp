// Loading libisofs by its soname and taking each function the image writer calls.
#include "discmaker/isofs_loader.h"

#include "platform/dl/shared_library.h"

namespace {

struct Loaded {
    LibIsofs api;
    std::string error;
};

Loaded Load() {
    Loaded out;
    void* lib = Dl_Open("libisofs", "libisofs.so.6", "libisofs6", out.error); // kept for the process
#define CKVD_TAKE(name) Dl_Take(lib, #name, out.api.name, "libisofs", "libisofs.so.6", out.error);
    if (lib) {
        CKVD_LIBISOFS_FUNCTIONS(CKVD_TAKE)
    }
#undef CKVD_TAKE
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
