#include "cmd_info_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "analyzers/file_byte_source.h"
#include "analyzers/tag_chain.h"
#include "cli.h"
#include "json_views.h"
#include "json_writer.h"
#include "listing/disc_text.h"

namespace {

// The entry a local file stands as: its name (for the kind its extension gives) and size.
FileEntry LocalEntry(const std::string& path, uint64_t size) {
    FileEntry entry{};
    entry.type = 'F';
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::memcpy(entry.name, name.data(), std::min(name.size(), sizeof entry.name - 1));
    entry.size = uint32_t(std::min<uint64_t>(size, UINT32_MAX));
    return entry;
}

// The dialog's header block for a local file: its name, modification time (local time, as a disc records
// it) and size; no LBN.
std::vector<InfoField> LocalHeader(const std::string& path, const FileEntry& entry) {
    const size_t slash = path.find_last_of('/');
    std::vector<InfoField> header = {
        {"Identifier", slash == std::string::npos ? path : path.substr(slash + 1), {}, {}}};
    struct stat st {};
    struct tm local {};
    if (stat(path.c_str(), &st) == 0 && localtime_r(&st.st_mtime, &local)) {
        const uint8_t date[7] = {uint8_t(local.tm_year), uint8_t(local.tm_mon + 1), uint8_t(local.tm_mday),
                                 uint8_t(local.tm_hour), uint8_t(local.tm_min),     uint8_t(local.tm_sec)};
        header.push_back({"Date and Time", Info_DateText(date), {}, {}});
    }
    header.push_back({"Size", Info_NumberText(entry.size, 0), {}, {}});
    return header;
}

void Refuse(JsonWriter& out, bool json, const std::string& path, const std::string& why) {
    std::fprintf(stderr, "ckvd: %s: %s\n", path.c_str(), why.c_str());
    if (json)
        out.BeginObject().Key("path").String(path).Key("error").String(why).EndObject();
}

// One file's block; false when it cannot be read or no analyzer takes it.
bool ShowFile(JsonWriter& out, bool json, const std::string& path) {
    FileByteSource source;
    std::string why;
    if (!source.Open(path, &why)) {
        Refuse(out, json, path, why);
        return false;
    }
    FileEntry entry = LocalEntry(path, source.Size());
    TagFindings findings;
    const TagAnalyzer analyzer = Tag_ExamineSource(source, entry, findings);
    if (analyzer == TagAnalyzer::None) {
        Refuse(out, json, path, "This format isn't being supported.");
        return false;
    }
    const std::vector<InfoField> header = LocalHeader(path, entry);
    const std::vector<TagInfoLine> lines = Tag_FindingLines(findings, entry, 0, &header);
    if (json)
        Json_LocalInfo(out, path, entry, analyzer, lines);
    else
        Cli_WriteStdout(Tag_LinesText(lines, Report_ValueText));
    return true;
}

} // namespace

int Cmd_InfoFiles(const CliOptions& o) {
    if (o.args.empty() || o.session >= 0)
        return Cli_UsageError(o.args.empty() ? "no FILE given" : "--session is for a disc, not --file");
    const bool several = o.args.size() > 1;
    int status = 0;
    JsonWriter out(Cli_WriteStdout);
    if (o.json)
        out.BeginObject().Key("files").BeginArray();
    for (size_t i = 0; i < o.args.size(); ++i) {
        if (several && !o.json)
            std::printf("%sPath: %s\n", i > 0 ? "\n" : "", o.args[i].c_str());
        std::fflush(stdout); // a message about this file comes after its path
        if (!ShowFile(out, o.json, o.args[i]))
            status = kExitFailure;
    }
    if (o.json)
        out.EndArray().EndObject();
    out.Flush();
    return Cli_FinishOutput(status);
}
