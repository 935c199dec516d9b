// The tag module (ckvd-id3.so) loaded from beside the program: ../lib/ckvd-explorer/ of its own folder,
// both in the build tree and where it is installed.
#include "discmaker/id3_writer.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>

namespace {

using Convert = int (*)(const char* path, char* error, size_t size);

Convert Load(std::string& error) {
    static std::string failed;
    static const Convert convert = [] {
        char self[PATH_MAX] = {};
        const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
        const std::string dir =
            n > 0 ? std::filesystem::path(std::string(self, size_t(n))).parent_path().string() : ".";
        const std::string module = dir + "/../lib/ckvd-explorer/ckvd-id3.so";
        void* lib = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!lib) {
            const char* why = dlerror();
            failed = "the tag module could not be loaded: " + std::string(why ? why : module) +
                     " (install libtag1v5)";
            return Convert(nullptr);
        }
        auto f = reinterpret_cast<Convert>(dlsym(lib, "ckvd_id3_to_v23"));
        if (!f)
            failed = module + " has no ckvd_id3_to_v23";
        return f;
    }();
    if (!convert)
        error = failed;
    return convert;
}

} // namespace

bool Make_Id3v23Copy(const std::string& source, const std::string& copy, std::string& error) {
    const Convert convert = Load(error);
    if (!convert)
        return false;
    std::error_code failed;
    if (!std::filesystem::copy_file(source, copy, std::filesystem::copy_options::overwrite_existing,
                                    failed)) {
        error = source + ": " + failed.message();
        return false;
    }
    char why[256] = {};
    if (!convert(copy.c_str(), why, sizeof why)) {
        error = source + ": " + why;
        return false;
    }
    return true;
}
