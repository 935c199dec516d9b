#include "playercheck/player_text.h"

#include "report/disc_report.h"

const char* Player_CharsetName(PlayerCharset set) {
    static const char* const kNames[] = {"ascii", "latin1", "shift-jis", "ucs2", "unicode"};
    return kNames[int(set)];
}

const char* Player_SeverityName(PlayerSeverity severity) {
    switch (severity) {
    case PlayerSeverity::WillNotPlay:
        return "will not play";
    case PlayerSeverity::ShowsWrong:
        return "plays but shows wrong";
    default:
        return "note";
    }
}

std::string Player_Position(int folder, int track) {
    if (!folder)
        return {};
    return "folder " + std::to_string(folder) + (track ? ", track " + std::to_string(track) : "");
}

std::string Player_FindingLine(const PlayerFinding& f) {
    std::string line = std::string(Player_SeverityName(f.severity)) + ": ";
    if (!f.path.empty())
        line += f.path + " ";
    const std::string at = Player_Position(f.folder, f.track);
    if (!at.empty())
        line += "(" + at + ") ";
    if (!f.path.empty() || !at.empty())
        line.back() = ':', line += ' ';
    return line + f.text + " [" + f.rule + "]";
}

std::string Player_Summary(const PlayerProfile& profile, const PlayerCheck& c) {
    const auto count = [](size_t n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    std::string s = profile.name + ": ";
    if (c.session)
        s += "session " + std::to_string(c.session) + ", " + count(c.folders, "folder", "folders") + ", " +
             count(c.files, "file", "files") + ", " + count(c.Plays(), "track plays", "tracks play") + "; ";
    else
        s += "no files to play; ";
    return s + std::to_string(c.Count(PlayerSeverity::WillNotPlay)) + " will not play, " +
           std::to_string(c.Count(PlayerSeverity::ShowsWrong)) + " play but show wrong, " +
           count(c.Count(PlayerSeverity::Note), "note", "notes");
}

std::string Player_FindingsCsv(const PlayerCheck& c) {
    const auto field = [](const std::string& v) { return Report_CsvField(v); };
    std::string out = "Severity,Rule,Folder,Track,Path,Finding\r\n";
    for (const PlayerFinding& f : c.findings)
        out += field(Player_SeverityName(f.severity)) + "," + f.rule + "," +
               (f.folder ? std::to_string(f.folder) : "") + "," + (f.track ? std::to_string(f.track) : "") +
               "," + field(f.path) + "," + field(f.text) + "\r\n";
    return out;
}
