// Loading libburn by its soname and taking each function the burner calls.
#include "discmaker/burn_loader.h"

#include "platform/dl/shared_library.h"

namespace {

struct Loaded {
    LibBurn api;
    std::string error;
};

Loaded Load() {
    Loaded out;
    void* lib = Dl_Open("libburn", "libburn.so.4", "libburn4", out.error); // kept for the process
#define CKVD_TAKE(name) Dl_Take(lib, #name, out.api.name, "libburn", "libburn.so.4", out.error);
    if (lib) {
        CKVD_LIBBURN_FUNCTIONS(CKVD_TAKE)
    }
#undef CKVD_TAKE
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
