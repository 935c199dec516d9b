#include "appmodel/image_open.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/drives/drive_setup.h"

namespace fs = std::filesystem;

bool App_IsDiscImageName(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* image : {".iso", ".cue", ".ccd", ".nrg", ".toc", ".mds", ".mdf", ".bin", ".img"})
        if (ext == image)
            return true;
    return false;
}

std::string App_ImagePath(const std::string& path) {
    std::error_code ec;
    fs::path absolute = fs::absolute(fs::path(path), ec);
    if (ec)
        return path;
    return absolute.lexically_normal().string();
}

int App_PutImageIntoDrive(const std::string& path, ckvd::ui::MessageSink& sink) {
    std::string error;
    const int target = ckvd::drives::AddImageDrive(path, &error);
    if (target >= 0)
        return target;
    sink.ShowUtf8(App_ImageFailureText(
        path, target == -2 ? ImageFailure::NoFreeDrive : ImageFailure::Unreadable, error));
    return -1;
}

std::string App_ImageFailureText(const std::string& path, ImageFailure failure,
                                 const std::string& readerError) {
    std::string text = "The disc image cannot be opened:\n" + path + "\n\n";
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (failure == ImageFailure::NoFreeDrive)
        return text + "Every image drive is in use; restart the program to free them.\n" + readerError;
    if (failure == ImageFailure::Gone || status.type() == fs::file_type::not_found)
        return text + (failure == ImageFailure::Gone
                           ? "The file no longer exists; it was taken off the recent-images list."
                           : "The file does not exist.");
    if (status.type() == fs::file_type::directory)
        return text + "It is a folder, not a disc image file.";
    if (::access(path.c_str(), R_OK) != 0)
        return text + "The file cannot be read: " + std::strerror(errno) + ".";
    return text + "Its contents could not be read as a disc image:\n" + readerError;
}
