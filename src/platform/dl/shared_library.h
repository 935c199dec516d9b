// A library the program loads when a command first needs it, not at start-up (a shared library costs every
// process its start-up): opened by its soname (or path) and kept for the process, each function taken by its
// name, the set loaded once.
#pragma once

#include <dlfcn.h>

#include <string>

// One library being loaded: `what` in messages, `package` the Debian package that has it. After the first
// failure (the library missing, a function missing) `error` holds it and later takes do nothing.
class DlLibrary {
  public:
    DlLibrary(const char* what, const std::string& soname, const char* package, std::string& error)
        : m_lib(dlopen(soname.c_str(), RTLD_NOW | RTLD_LOCAL)), m_what(what), m_soname(soname),
          m_error(error) {
        if (!m_lib) {
            const char* why = dlerror();
            error = std::string(what) + " (" + soname +
                    ") could not be loaded: " + (why ? why : "not found") + " (install " + package + ")";
        }
    }
    // The function `name` into `out`.
    template <class F> void Take(const char* name, F& out) {
        if (!m_error.empty())
            return;
        out = reinterpret_cast<F>(dlsym(m_lib, name));
        if (!out)
            m_error = std::string(m_what) + " (" + m_soname + ") has no " + name + ": it is too old";
    }

  private:
    void* m_lib;
    const char* m_what;
    std::string m_soname;
    std::string& m_error;
};

// The functions `Api` (a struct of function pointers) that `fill(api, error)` takes through a DlLibrary,
// loaded the first time for the process; null with the reason in `error`.
template <class Api, class Fill> const Api* Dl_LoadOnce(std::string& error, Fill fill) {
    struct Loaded {
        Api api;
        std::string error;
    };
    static const Loaded loaded = [&fill] {
        Loaded out;
        fill(out.api, out.error);
        return out;
    }();
    if (!loaded.error.empty()) {
        error = loaded.error;
        return nullptr;
    }
    return &loaded.api;
}
