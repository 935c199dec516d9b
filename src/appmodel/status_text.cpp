#include "appmodel/status_text.h"
#include "platform/text/grouped_number.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

using ckvd::text::grouped;

namespace {

std::string Folder(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

} // namespace

std::string Status_Entries(int count) {
    return grouped(static_cast<uint64_t>(count < 0 ? 0 : count)) + (count == 1 ? " entry" : " entries");
}

std::string Status_Size(uint64_t bytes) {
    if (bytes < 1000)
        return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    static const char* const kUnits[] = {"kB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1000;
    char text[32];
    for (size_t unit = 0;; ++unit, value /= 1000) {
        // A value that rounds to 1000.0 is the next unit's 1.0.
        std::snprintf(text, sizeof text, "%.1f", value);
        if (std::strtod(text, nullptr) < 1000 || unit + 1 == std::size(kUnits)) {
            std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
            return text;
        }
    }
}

std::string Status_SavedFile(const std::string& path, const SaveOutcome& outcome) {
    if (path.empty())
        return {};
    const std::string name = std::filesystem::path(path).filename().string();
    if (outcome.result == SaveResult::Ok)
        return "Saved " + name + " (" + Status_Size(outcome.written) + ") to " + Folder(path);
    const char* why = SaveToDisc_Message(outcome.result);
    return "Not saved whole: " + name + " in " + Folder(path) + " (" + Status_Size(outcome.written) +
           " written)" + (why ? std::string(": ") + why : std::string());
}

std::string Status_SavedFiles(const std::string& folder, const TreeCopyTotals& done, uint32_t files,
                              const TreeCopyResult& result) {
    if (folder.empty())
        return {};
    const std::string count =
        done.files == files ? grouped(files) : grouped(done.files) + " of " + grouped(files);
    const std::string what =
        count + (files == 1 ? " file (" : " files (") + Status_Size(done.bytes) + ") to " + folder;
    if (result.cancelled)
        return "Save to Disc cancelled: saved " + what;
    if (!result.whole)
        return "Saved " + what + "; not everything could be saved";
    return "Saved " + what;
}

std::string Status_Report(int number, const std::string& path, bool saved) {
    char text[16];
    std::snprintf(text, sizeof text, "%06d", number);
    return saved ? "Report " + std::string(text) + " saved to " + path
                 : "Report " + std::string(text) + " was not saved";
}
