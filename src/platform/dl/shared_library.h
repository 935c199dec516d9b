// A library the program loads when a command first needs it, not at start-up (a shared library costs every
// process its start-up): opened by its soname and kept for the process, each function taken by its name.
#pragma once

#include <dlfcn.h>

#include <string>

// The library `soname` (`what` in messages, `package` the Debian package that has it); null with the reason
// in `error`.
inline void* Dl_Open(const char* what, const char* soname, const char* package, std::string& error) {
    void* lib = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        const char* why = dlerror();
        error = std::string(what) + " (" + soname + ") could not be loaded: " + (why ? why : "not found") +
                " (install " + package + ")";
    }
    return lib;
}

// The function `name` of `lib` into `out`; false with the reason in `error` (which is left as it is when it
// already holds one, so a list of takes says its first failure).
template <class F>
bool Dl_Take(void* lib, const char* name, F& out, const char* what, const char* soname, std::string& error) {
    if (!error.empty())
        return false;
    out = reinterpret_cast<F>(dlsym(lib, name));
    if (!out)
        error = std::string(what) + " (" + soname + ") has no " + name + ": it is too old";
    return out != nullptr;
}
