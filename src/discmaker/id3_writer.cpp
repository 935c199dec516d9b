// The tag module (ckvd-id3.so) loaded from beside the program: ../lib/ckvd-explorer/ of its own folder,
// both in the build tree and where it is installed.
#include "discmaker/id3_writer.h"

#include <filesystem>

#include "platform/dl/shared_library.h"

namespace {

struct Id3Module {
    int (*convert)(const char* path, char* error, size_t size) = nullptr;
};

const Id3Module* Load(std::string& error) {
    return Dl_LoadOnce<Id3Module>(error, [](Id3Module& api, std::string& why) {
        std::error_code ignored;
        const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ignored);
        DlLibrary lib("the tag module",
                      (exe.parent_path().parent_path() / "lib" / "ckvd-explorer" / "ckvd-id3.so").string(),
                      "libtag1v5", why);
        lib.Take("ckvd_id3_to_v23", api.convert);
    });
}

} // namespace

bool Make_Id3v23Copy(const std::string& source, const std::string& copy, std::string& error) {
    const Id3Module* module = Load(error);
    if (!module)
        return false;
    std::error_code failed;
    if (!std::filesystem::copy_file(source, copy, std::filesystem::copy_options::overwrite_existing,
                                    failed)) {
        error = source + ": " + failed.message();
        return false;
    }
    char why[256] = {};
    if (!module->convert(copy.c_str(), why, sizeof why)) {
        error = source + ": " + why;
        return false;
    }
    return true;
}
