// A CSV disc report read back into the catalogue's form: the header's number and comment, the TOC lines, and
// each session's tree with its directories' paths rebuilt from their numbers; Shift-JIS to UTF-8.
#include <cstdlib>
#include <fstream>
#include <map>

#include "catalogue/catalogue.h"
#include "listing/disc_text.h"

namespace {

constexpr size_t kMaxReportBytes = size_t{1} << 30; // a 90,000-entry disc's report is some 10 MB

// The fields of one CSV line (RFC 4180 quotes); `at` moves past the line's end, which may span line breaks
// inside quotes.
std::vector<std::string> Fields(const std::string& text, size_t& at) {
    std::vector<std::string> out(1);
    bool quoted = false;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (quoted) {
            if (c == '"' && at + 1 < text.size() && text[at + 1] == '"')
                out.back() += '"', ++at;
            else if (c == '"')
                quoted = false;
            else
                out.back() += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            out.emplace_back();
        } else if (c == '\n') {
            ++at;
            break;
        } else if (c != '\r') {
            out.back() += c;
        }
    }
    return out;
}

std::string Utf8(const std::string& sjis) {
    return Report_SjisToUtf8(sjis.c_str());
}

uint64_t Number(const std::string& s) {
    return std::strtoull(s.c_str(), nullptr, 10);
}

std::string Trimmed(std::string s) {
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
}

} // namespace

bool Cat_ReadReport(const std::string& path, CatalogueDisc& disc, std::vector<CatalogueEntry>& entries,
                    std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be read";
        return false;
    }
    std::string text((std::istreambuf_iterator<char>(in)), {});
    if (text.size() > kMaxReportBytes || text.rfind("<DCF>", 0) != 0) {
        error = path + ": not a disc report of CKVD Explorer";
        return false;
    }
    disc = {};
    entries.clear();
    enum class Part { None, Header, Toc, Contents } part = Part::None;
    int session = 0;
    std::map<uint64_t, std::string> dirs; // directory number -> path, per session
    bool columns = false;
    for (size_t at = 0; at < text.size();) {
        const std::vector<std::string> f = Fields(text, at);
        const std::string& first = f[0];
        if (first == "[HEADER]") {
            part = Part::Header, columns = false;
        } else if (first == "[TOC Information]") {
            part = Part::Toc, columns = false;
        } else if (first == "[DISC Contents]") {
            part = Part::Contents, columns = false;
            session = f.size() > 1 ? std::atoi(f[1].c_str() + f[1].find('[') + 1) : session + 1;
            dirs.clear();
        } else if (first.empty() || !columns) {
            columns = columns || !first.empty(); // the line of column titles
        } else if (part == Part::Header && first.rfind("MA", 0) == 0) {
            disc.number = int(Number(first.substr(2)));
            disc.comment = f.size() > 1 ? Utf8(f[1]) : "";
        } else if (part == Part::Toc && f.size() > 7) {
            disc.sessions = std::max(disc.sessions, int(Number(f[3])));
            disc.toc += (disc.toc.empty() ? "" : "; ") + std::string("S") + f[3] + " T" + f[5] + " " + f[6] +
                        "+" + f[7];
        } else if (part == Part::Contents && f.size() > 6) {
            const uint64_t dir = Number(f[0]), parent = Number(f[1]);
            const std::string name = Utf8(f[4]);
            CatalogueEntry e;
            e.session = session;
            e.lbn = uint32_t(Number(f[5]));
            e.size = Number(f[6]);
            if (f[3] == "<Volume>") {
                disc.volume = Trimmed(name);
                dirs[dir] = "";
                continue;
            }
            const auto up = dirs.find(f[3] == "File" ? dir : parent);
            const std::string base = up == dirs.end() ? std::string() : up->second;
            e.path = base + "/" + name;
            if (f[3] == "<Directory>") {
                e.type = 'D';
                dirs[dir] = e.path;
            } else if (f.size() > 17) {
                e.album = Utf8(f[7]);
                e.title = Utf8(f[8]);
                e.artist = Utf8(f[9]);
                e.codec = Trimmed(Utf8(f[12]) + (f[13].empty() ? "" : " " + f[13]));
                e.bitrate = uint32_t(Number(f[16]));
                e.sampling = uint32_t(Number(f[17]));
            }
            entries.push_back(std::move(e));
        }
    }
    if (disc.number < 0 || disc.volume.empty()) {
        error = path + ": not a disc report of CKVD Explorer (no number or volume)";
        return false;
    }
    disc.source = path;
    return true;
}
