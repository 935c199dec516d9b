#include "json_views.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "appmodel/recorded_date.h"
#include "iso9660/disc.h"
#include "iso9660/iso9660.h"
#include "iso9660/iso_cdtext.h"
#include "listing/disc_text.h"
#include "playercheck/player_text.h"

namespace {

// The raw value of a navigation viewer's "D(0xH)" form (the hexadecimal part: the field's bits, where the
// decimal part may be the signed reading).
std::optional<uint64_t> NavNumber(const std::string& value) {
    const size_t open = value.find("(0x");
    if (open == std::string::npos || open == 0 || value.back() != ')')
        return std::nullopt;
    for (size_t i = value[0] == '-' ? 1 : 0; i < open; ++i)
        if (value[i] < '0' || value[i] > '9')
            return std::nullopt;
    const std::string hex = value.substr(open + 3, value.size() - open - 4);
    if (hex.empty() || hex.size() > 16 || hex.find_first_not_of("0123456789ABCDEF") != std::string::npos)
        return std::nullopt;
    return std::strtoull(hex.c_str(), nullptr, 16);
}

// The number an information dialog's value starts with: decimal ("44100 Hz", "128 kbps") or hexadecimal
// ("0x0001"), followed by nothing or by a blank and a unit.
std::optional<uint64_t> InfoNumber(const std::string& value) {
    const bool hex = value.rfind("0x", 0) == 0;
    const size_t start = hex ? 2 : 0;
    const size_t end = value.find(' ');
    const std::string digits =
        value.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (digits.empty() || digits.size() > (hex ? 16 : 19) ||
        digits.find_first_not_of(hex ? "0123456789ABCDEFabcdef" : "0123456789") != std::string::npos)
        return std::nullopt;
    return std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
}

// {label, value, number where the value holds one} of a dialog's field.
void LabelledValue(JsonWriter& json, const std::string& label, const std::string& value,
                   std::optional<uint64_t> number) {
    json.BeginObject().Key("label").String(label).Key("value");
    json.String(value);
    if (number)
        json.Key("number").Uint(*number);
    json.EndObject();
}

void Fields(JsonWriter& json, const std::vector<NavField>& fields) {
    json.Key("fields").BeginArray();
    for (const NavField& f : fields)
        LabelledValue(json, f.label, f.value, NavNumber(f.value));
    json.EndArray();
}

void TreeItems(JsonWriter& json, const std::vector<NavTreeItem>& items) {
    json.BeginArray();
    for (const NavTreeItem& item : items) {
        json.BeginObject().Key("text");
        json.String(item.text);
        json.Key("children");
        TreeItems(json, item.children);
        json.EndObject();
    }
    json.EndArray();
}

// The keys of the texts that are recorded, an empty one left out.
void TextKeys(JsonWriter& json, std::initializer_list<std::pair<const char*, const std::string*>> texts) {
    for (const auto& [key, text] : texts)
        if (!text->empty())
            json.Key(key).String(*text);
}

// "cd_text": the disc's title, performer, songwriter and catalogue number, where it has any, and the notes of
// what was passed over.
void DiscTextObject(JsonWriter& json) {
    const ckvd::cdtext::DiscText* d = Iso_DiscText();
    if (!d || (d->title.empty() && d->performer.empty() && d->songwriter.empty() && d->catalog.empty() &&
               d->notes.empty()))
        return;
    json.Key("cd_text").BeginObject();
    TextKeys(json, {{"title", &d->title},
                    {"performer", &d->performer},
                    {"songwriter", &d->songwriter},
                    {"catalog", &d->catalog}});
    if (!d->notes.empty()) { // what was passed over: "CD-TEXT pack 12: CRC mismatch, passed over"
        json.Key("notes").BeginArray();
        for (const std::string& note : d->notes)
            json.String(note);
        json.EndArray();
    }
    json.EndObject();
}

// An audio track file's title, performer, songwriter and ISRC, where the disc records them.
void TrackTextKeys(JsonWriter& json, const FileEntry& entry) {
    if (const ckvd::cdtext::TrackText* t = Iso_TrackText(Iso_CdaTrackNumber(&entry)))
        TextKeys(json, {{"title", &t->title},
                        {"performer", &t->performer},
                        {"songwriter", &t->songwriter},
                        {"isrc", &t->isrc}});
}

} // namespace

void Json_Toc(JsonWriter& json) {
    json.BeginObject().Key("sessions").BeginArray();
    const SessionEntry* first = g_DiscModel ? g_DiscModel->firstSession : nullptr;
    for (const SessionEntry* s = first; s; s = s->next) {
        const std::string type = Report_DiscTypeName(s->type, first->type);
        json.BeginObject()
            .Key("session")
            .Uint(s->sessionNumber)
            .Key("type")
            .String(type)
            .Key("last_block")
            .Uint(s->lastBlock)
            .Key("block_length")
            .Uint(s->blockLength)
            .Key("lead_in")
            .Int(int32_t(s->leadIn))
            .Key("lead_out")
            .Int(int32_t(s->leadOut))
            .Key("next_program_area")
            .Int(int32_t(s->nextProgramArea))
            .Key("pvd_lbn")
            .Uint(s->pvdLbn)
            .Key("tracks")
            .BeginArray();
        for (const TrackEntry* t = s->firstTrack; t; t = t->next)
            json.BeginObject()
                .Key("session")
                .Uint(s->sessionNumber)
                .Key("track")
                .Uint(t->trackNumber)
                .Key("type")
                .String(Report_TrackTypeName(s, t, first->type))
                .Key("track_type")
                .String(Iso_IsAudioTrack(t) ? "audio" : "data")
                .Key("address")
                .Int(int32_t(t->address))
                .Key("size")
                .Uint(t->size)
                .Key("pvd_lbn")
                .Uint(s->pvdLbn)
                .EndObject();
        json.EndArray().EndObject();
    }
    json.EndArray().EndObject();
}

namespace {

// A session's tree shown and its trees of the Joliet names and of the report's names.
struct NameTrees {
    SessionTree *shown, *joliet, *report;
};

// The other forms of an entry's name, where they read otherwise: the record's own identifier and the Joliet
// name beside a Rock Ridge name, and the Shift-JIS form the report writes.
void NameForms(JsonWriter& json, const NameTrees& trees, FileEntry& e, std::string_view name) {
    if (const char* identifier = Iso_RecordedIdentifier(&e))
        json.Key("identifier").String(identifier);
    if (const FileEntry* same = Iso_SameEntry(trees.shown, trees.joliet, &e);
        same && name != Iso_EntryName(same))
        json.Key("joliet").String(Iso_EntryName(same));
    const FileEntry* reported = Iso_SameEntry(trees.shown, trees.report, &e);
    if (reported && (reported != &e || (e.flags & ISO_TEXT))) {
        const std::string reportName = Report_SjisToUtf8(reported->name);
        if (reportName != name)
            json.Key("report_name").String(reportName);
    }
}

} // namespace

void Json_Tree(JsonWriter& json, int sessionIndex, const std::string& folder) {
    json.BeginObject().Key("sessions").BeginArray();
    int index = 0;
    const bool whole = folder.find_first_not_of('/') == std::string::npos;
    for (SessionTree* t = g_DiscModel ? g_DiscModel->firstTree : nullptr; t; t = t->next, ++index) {
        if (sessionIndex >= 0 && index != sessionIndex)
            continue;
        DiscPath below{t->root, t->root, index, {}};
        if (!whole && ((below = Report_FindPath(folder, index)).entry == nullptr || below.entry->type == 'F'))
            continue;
        json.BeginObject().Key("session").Int(index + 1).Key("volume");
        json.String(t->root ? Iso_EntryName(t->root) : "");
        if (const char* why = Iso_UnreadableReason(t->root))
            json.Key("unreadable").String(why);
        if (t->notes & ISO_TREE_PATH_TABLE_PASSED)
            json.Key("path_table_passed_over").Bool(true);
        if (const auto notes = Iso_TreeNotes(t); !notes.empty()) {
            json.Key("notes").BeginArray();
            for (const IsoTreeNote& note : notes)
                json.String(note.text);
            json.EndArray();
        }
        json.Key("entries").BeginArray();
        // The session's Joliet names beside the Rock Ridge ones shown, and the tree the report names.
        SessionTree* joliet = t->names == ISO_NAMES_ROCKRIDGE && (t->recordedNames & ISO_NAMES_JOLIET)
                                  ? Iso_NamesTree(t, ISO_NAMES_JOLIET)
                                  : nullptr;
        SessionTree* report = Iso_ReportTree(t);
        const auto visit = [&](FileEntry& e, const std::string& path, size_t directoryLength) {
            const bool file = e.type == 'F';
            if (file && e.kind == 0) // not classified yet: by its extension, as the list does
                Iso_SetFileKind(&e);
            json.BeginObject()
                .Key("type")
                .String(!file                     ? "D"
                        : (e.flags & ISO_SYMLINK) ? "L"
                                                  : "F")
                .Key("lbn")
                .Uint(e.lbn)
                .Key("size")
                .Uint(e.size)
                .Key("date");
            const uint8_t* recorded = Iso_EntryDate(&e);
            const std::optional<RecordedDate> date = recorded ? RecordedDate_Of(recorded) : std::nullopt;
            date ? json.String(RecordedDate_Iso(*date)) : json.Null();
            json.Key("kind").Uint(file ? e.kind : 0);
            if (e.flags & ISO_EXTENT_CONTINUED) // a later extent of the file listed before it
                json.Key("continuation").Bool(true);
            if (const IsoZisofs* z = Iso_Zisofs(&e)) { // stored compressed; "size" is the size uncompressed
                json.Key("zisofs").BeginObject().Key("stored_size").Uint(z->extentSize);
                if (z->readable)
                    json.Key("block_size").Uint(uint64_t{1} << (z->blockLog2 & 63));
                else
                    json.Key("algorithm").String(std::string(z->algorithm)).Key("readable").Bool(false);
                json.EndObject();
            }
            if (const char* target = Iso_SymlinkTarget(&e))
                json.Key("target").String(target);
            if (const char* why = Iso_UnreadableReason(&e))
                json.Key("unreadable").String(why);
            const std::string_view name = std::string_view(path).substr(directoryLength + 1);
            json.Key("name").String(name);
            NameForms(json, {t, joliet, report}, e, name);
            json.Key("directory")
                .String(directoryLength ? std::string_view(path).substr(0, directoryLength) : "/");
            json.Key("path").String(path);
            TrackTextKeys(json, e);
            json.EndObject();
        };
        Report_WalkTree(Iso_CurrentDisc(), below.entry, below.path, visit);
        json.EndArray().EndObject();
    }
    json.EndArray();
    DiscTextObject(json);
    json.EndObject();
}

void Json_Info(JsonWriter& json, const std::string& path, int session, const std::string& directory,
               const FileEntry& entry, TagAnalyzer analyzer, const std::vector<TagInfoLine>& lines) {
    json.BeginObject()
        .Key("path")
        .String(path)
        .Key("session")
        .Int(session + 1)
        .Key("directory")
        .String(directory)
        .Key("kind")
        .Uint(entry.kind)
        .Key("analyzer")
        .String(Tag_AnalyzerName(analyzer));
    TrackTextKeys(json, entry);
    if (Iso_CdaTrackNumber(&entry))
        DiscTextObject(json);
    json.Key("fields").BeginArray();
    for (const TagInfoLine& line : lines)
        LabelledValue(json, line.label, line.value, InfoNumber(line.value));
    json.EndArray().EndObject();
}

void Json_LocalInfo(JsonWriter& json, const std::string& path, const FileEntry& entry, TagAnalyzer analyzer,
                    const std::vector<TagInfoLine>& lines) {
    json.BeginObject()
        .Key("path")
        .String(path)
        .Key("kind")
        .Uint(entry.kind)
        .Key("analyzer")
        .String(Tag_AnalyzerName(analyzer));
    json.Key("fields").BeginArray();
    for (const TagInfoLine& line : lines)
        LabelledValue(json, line.label, line.value, InfoNumber(line.value));
    json.EndArray().EndObject();
}

void Json_Nav(JsonWriter& json, const std::string& path, int session, const NavDocument& document) {
    json.BeginObject()
        .Key("viewer")
        .String(document.title)
        .Key("path")
        .String(path)
        .Key("session")
        .Int(session + 1);
    json.Key("sections").BeginArray();
    for (const NavSection& s : document.sections) {
        json.BeginObject().Key("title").String(s.title).Key("type");
        switch (s.kind) {
        case NavSection::Kind::Fields:
            json.String("fields");
            Fields(json, s.fields);
            break;
        case NavSection::Kind::Lines:
            json.String("lines").Key("lines").BeginArray();
            for (const std::string& line : s.lines)
                json.String(line);
            json.EndArray();
            break;
        case NavSection::Kind::List:
            json.String("list").Key("columns").BeginArray();
            for (const std::string& c : s.list.columns)
                json.String(c);
            json.EndArray().Key("rows").BeginArray();
            for (const auto& row : s.list.rows) {
                json.BeginArray();
                for (size_t i = 0; i < std::max(row.size(), s.list.columns.size()); ++i) {
                    if (i >= row.size() || row[i].empty())
                        json.Null();
                    else if (const auto n = NavNumber(row[i]))
                        json.Uint(*n);
                    else
                        json.String(row[i]);
                }
                json.EndArray();
            }
            json.EndArray();
            break;
        case NavSection::Kind::Tree:
            json.String("tree").Key("items");
            TreeItems(json, s.tree);
            break;
        }
        json.EndObject();
    }
    json.EndArray().EndObject();
}

void Json_PlayerFindings(JsonWriter& json, const std::vector<PlayerFinding>& findings) {
    json.Key("findings").BeginArray();
    for (const PlayerFinding& f : findings) {
        json.BeginObject().Key("severity").String(Player_SeverityName(f.severity)).Key("rule").String(f.rule);
        json.Key("path").String(f.path).Key("folder").Int(f.folder).Key("track").Int(f.track);
        json.Key("text").String(f.text).EndObject();
    }
    json.EndArray();
}
