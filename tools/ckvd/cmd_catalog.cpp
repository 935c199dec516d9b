// ckvd catalog: the disc catalogue: add a disc, search, list, show, list the tree of and remove discs
// (check, vacuum and copy in cmd_catalog_admin).
#include <algorithm>
#include <cstdio>

#include "appmodel/app_modules.h"
#include "appmodel/catalogue_add.h"
#include "catalogue/catalogue.h"
#include "cli.h"
#include "cli_disc.h"
#include "cli_options.h"
#include "cmd_catalog_admin.h"
#include "commands.h"
#include "iso9660/disc.h"
#include "iso9660/iso9660.h"
#include "json_writer.h"
#include "platform/bytes/hex_text.h"
#include "report/disc_report.h"

namespace {

void EntryJson(JsonWriter& out, const CatalogueEntry& e) {
    out.Key("session").Int(e.session);
    out.Key("path").String(e.path);
    out.Key("type").String(e.type == 'F' ? "F" : "D");
    out.Key("lbn").Uint(e.lbn);
    out.Key("size").Uint(e.size);
    out.Key("date").String(e.date);
    for (const auto& [key, value] :
         {std::pair{"title", &e.title}, {"artist", &e.artist}, {"album", &e.album}, {"codec", &e.codec}})
        if (!value->empty())
            out.Key(key).String(*value);
    if (e.bitrate)
        out.Key("bitrate").Uint(e.bitrate);
    if (e.sampling)
        out.Key("sampling").Uint(e.sampling);
    if (e.seconds)
        out.Key("seconds").Uint(e.seconds);
    if (!e.hash.empty())
        out.Key("sha1").String(bytes::HexText(e.hash.data(), e.hash.size()));
}

// A disc's own fields, as list and show give them.
void DiscJson(JsonWriter& out, const CatalogueDisc& d) {
    out.Key("number").Int(d.number);
    out.Key("volume").String(d.volume);
    out.Key("sessions").Int(d.sessions);
    out.Key("toc").String(d.toc);
    out.Key("comment").String(d.comment);
    out.Key("source").String(d.source);
    out.Key("added").String(d.added);
}

// "000012": a management number as the reports write it.
std::string DiscNumber(int number) {
    char text[16];
    std::snprintf(text, sizeof text, "%06d", number);
    return text;
}

std::string EntryLine(const CatalogueEntry& e) {
    std::string line = "(Session" + std::to_string(e.session) + ") " + e.path;
    std::string tags;
    for (const std::string* t : {&e.title, &e.artist, &e.album})
        if (!t->empty())
            tags += (tags.empty() ? "" : " / ") + *t;
    return tags.empty() ? line : line + "  [" + tags + "]";
}

int Add(const CliOptions& o) {
    if (o.args.size() != 2 || (o.haveNumber && o.number < 0))
        return Cli_Usage();
    EngineSession engine;
    if (!CliDisc_Start(engine, o.args[1]))
        return kExitFailure;
    std::string message;
    if (!App_AddToCatalogue(o.haveNumber ? o.number : -1, o.comment, o.catalogue, message)) {
        std::fprintf(stderr, "ckvd: %s\n", message.c_str());
        return kExitFailure;
    }
    Cli_WriteStdout(message + "\n");
    return Cli_FinishOutput(0);
}

// Every entry of every disc as CSV (UTF-8, CRLF), a header line first.
int Export(Catalogue& cat) {
    const auto field = [](const std::string& v) { return Report_CsvField(v); };
    std::string out =
        "Number,Volume,Session,Path,Type,LBN,Size,Date,Title,Artist,Album,Codec,Bitrate,Sampling,"
        "Seconds\r\n";
    std::string error;
    const bool ok = cat.Export(
        [&](const CatalogueHit& h) {
            const CatalogueEntry& e = h.entry;
            out += std::to_string(h.number) + "," + field(h.volume) + "," + std::to_string(e.session) + "," +
                   field(e.path) + "," + e.type + "," + std::to_string(e.lbn) + "," + std::to_string(e.size) +
                   "," + e.date + "," + field(e.title) + "," + field(e.artist) + "," + field(e.album) + "," +
                   field(e.codec) + "," + std::to_string(e.bitrate) + "," + std::to_string(e.sampling) + "," +
                   std::to_string(e.seconds) + "\r\n";
            if (out.size() > 1 << 16) {
                Cli_WriteStdout(out);
                out.clear();
            }
        },
        error);
    Cli_WriteStdout(out);
    if (!ok) {
        std::fprintf(stderr, "ckvd: %s\n", error.c_str());
        return kExitFailure;
    }
    return Cli_FinishOutput(0);
}

// A disc number as show and remove take it: up to nine digits; -1 for anything else.
int DiscNumberArg(const std::string& n) {
    if (n.empty() || n.size() > 9 || n.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    return std::stoi(n);
}

// Whether the command's arguments are one of its forms (told before a catalogue is looked for).
bool WellFormed(const CliOptions& o) {
    const std::string& what = o.args[0];
    const size_t n = o.args.size();
    if (what == "show" || what == "remove")
        return n == 2 && DiscNumberArg(o.args[1]) >= 0;
    if (what == "ls")
        return (n == 2 || (n == 3 && o.args[2].rfind('/', 0) == 0)) && DiscNumberArg(o.args[1]) >= 0;
    return ((what == "search" || what == "backup") && n == 2) ||
           ((what == "list" || what == "dupes") && n == 1) || (what == "export" && n == 1 && o.csv) ||
           (what == "import" && n >= 2);
}

int Failed(const std::string& error) {
    std::fprintf(stderr, "ckvd: %s\n", error.c_str());
    return kExitFailure;
}

int Search(Catalogue& cat, const CliOptions& o) {
    std::vector<CatalogueHit> hits;
    std::string error;
    if (!cat.Search(o.args[1], 100000, hits, error))
        return Failed(error);
    if (o.json) {
        JsonWriter out(Cli_WriteStdout);
        out.BeginArray();
        for (const CatalogueHit& h : hits) {
            out.BeginObject();
            out.Key("number").Int(h.number);
            out.Key("volume").String(h.volume);
            EntryJson(out, h.entry);
            out.EndObject();
        }
        out.EndArray();
    } else {
        std::string text;
        for (const CatalogueHit& h : hits)
            text += DiscNumber(h.number) + "  " + h.volume + "  " + EntryLine(h.entry) + "\n";
        Cli_WriteStdout(text);
    }
    if (hits.empty()) // told apart from a catalogue that is not there, which also fails
        std::fprintf(stderr, "ckvd: nothing found\n");
    return Cli_FinishOutput(hits.empty() ? kExitFailure : 0);
}

int List(Catalogue& cat, const CliOptions& o) {
    std::vector<CatalogueDisc> discs;
    std::string error;
    if (!cat.List(discs, error))
        return Failed(error);
    std::string text;
    JsonWriter out(Cli_WriteStdout);
    if (o.json)
        out.BeginArray();
    for (const CatalogueDisc& d : discs) {
        if (o.json) {
            out.BeginObject();
            DiscJson(out, d);
            out.Key("entries").Uint(d.entries);
            out.EndObject();
            continue;
        }
        text += DiscNumber(d.number) + "  " + d.volume + "  " + std::to_string(d.entries) + " entries  " +
                d.added + "  " + d.source + (d.comment.empty() ? "" : "  " + d.comment) + "\n";
    }
    if (o.json)
        out.EndArray();
    else
        Cli_WriteStdout(text);
    out.Flush();
    return Cli_FinishOutput(0);
}

int Show(Catalogue& cat, const CliOptions& o) {
    CatalogueDisc disc;
    std::vector<CatalogueEntry> entries;
    std::string error;
    if (!cat.Show(DiscNumberArg(o.args[1]), disc, entries, error))
        return Failed(error);
    if (o.json) {
        JsonWriter out(Cli_WriteStdout);
        out.BeginObject();
        DiscJson(out, disc);
        out.Key("entries").BeginArray();
        for (const CatalogueEntry& e : entries) {
            out.BeginObject();
            EntryJson(out, e);
            out.EndObject();
        }
        out.EndArray().EndObject();
    } else {
        std::string text = "Disc " + std::to_string(disc.number) + ": " + disc.volume + "\nTOC: " + disc.toc +
                           "\nComment: " + disc.comment + "\nRead from: " + disc.source +
                           "\nAdded: " + disc.added + "\n";
        for (const CatalogueEntry& e : entries)
            text += std::string(1, e.type) + "  " + EntryLine(e) + "\n";
        Cli_WriteStdout(text);
    }
    return Cli_FinishOutput(0);
}

// A catalogued disc's tree below PATH, printed as ckvd ls prints it of the disc itself: the disc made again
// from the catalogue's entries is the loaded one.
int Ls(Catalogue& cat, const CliOptions& o) {
    CatalogueDisc disc;
    std::vector<CatalogueEntry> entries;
    std::string error;
    if (!cat.Show(DiscNumberArg(o.args[1]), disc, entries, error))
        return Failed(error);
    std::unique_ptr<Disc> listed = Cat_ListedDisc(disc, entries);
    if (!listed)
        return Failed("out of memory");
    entries = {};
    EngineSession engine;
    Iso_InstallDisc(std::move(listed));
    return Ls_Listing(o, o.args.size() == 3 ? o.args[2] : "/");
}

int Import(Catalogue& cat, const CliOptions& o) {
    int failed = 0;
    for (size_t i = 1; i < o.args.size(); ++i) {
        CatalogueDisc disc;
        std::vector<CatalogueEntry> entries;
        int number = 0;
        bool updated = false;
        std::string error;
        if (!Cat_ReadReport(o.args[i], disc, entries, error) ||
            !cat.Add(disc, entries, nullptr, &number, &updated, error)) {
            Failed(error);
            ++failed;
            continue;
        }
        Cli_WriteStdout(o.args[i] + ": " + (updated ? "updated disc " : "added disc ") +
                        std::to_string(number) + " (" + disc.volume + ", " + std::to_string(entries.size()) +
                        " entries)\n");
    }
    return Cli_FinishOutput(failed ? kExitFailure : 0);
}

// Each file held more than once: a line as before ("same content: NAME, N bytes on discs 1, 4"), then each
// copy indented on a line of its own; the most wasted bytes first (--json gives them).
int Dupes(Catalogue& cat, const CliOptions& o) {
    std::vector<CatalogueDuplicate> dupes;
    std::string error;
    if (!cat.Duplicates(dupes, error))
        return Failed(error);
    std::string text;
    JsonWriter out(Cli_WriteStdout);
    if (o.json)
        out.BeginArray();
    for (const CatalogueDuplicate& d : dupes) {
        if (o.json) {
            out.BeginObject();
            out.Key("by").String(d.by);
            out.Key("name").String(d.name);
            out.Key("size").Uint(d.size);
            out.Key("wasted").Uint(d.Wasted());
            if (!d.hash.empty())
                out.Key("sha1").String(d.hash);
            out.Key("copies").BeginArray();
            for (const CatalogueCopy& c : d.copies) {
                out.BeginObject();
                out.Key("number").Int(c.number);
                out.Key("volume").String(c.volume);
                out.Key("session").Int(c.session);
                out.Key("path").String(c.path);
                out.EndObject();
            }
            out.EndArray().EndObject();
            continue;
        }
        text += "same " + d.by + ": " + d.name + (d.size ? ", " + std::to_string(d.size) + " bytes" : "") +
                " on discs";
        int last = -1;
        for (const CatalogueCopy& c : d.copies) {
            if (c.number != last)
                text += (last < 0 ? " " : ", ") + std::to_string(c.number);
            last = c.number;
        }
        text += "\n";
        for (const CatalogueCopy& c : d.copies)
            text += "  " + DiscNumber(c.number) + "  " + c.volume + "  (Session" + std::to_string(c.session) +
                    ") " + c.path + "\n";
    }
    if (o.json)
        out.EndArray();
    else
        Cli_WriteStdout(text);
    out.Flush();
    return Cli_FinishOutput(0);
}

} // namespace

int Cmd_Catalog(int argc, char** argv) {
    CliOptions o;
    if (const int rc =
            Cli_ParseOptions(argc, argv, CLI_JSON | CLI_REPORT | CLI_CATALOGUE | CLI_CSV | CLI_COPY_TO, o))
        return rc;
    if (o.args.empty())
        return Cli_Usage();
    const std::string what = o.args[0];
    if (what == "add")
        return Add(o);
    if (Cmd_IsCatalogAdmin(what))
        return Cmd_CatalogAdmin(o);
    static const char* const kKnown[] = {"search", "list",  "show",   "remove", "import",
                                         "export", "dupes", "backup", "ls"};
    if (std::none_of(std::begin(kKnown), std::end(kKnown), [&](const char* k) { return what == k; }))
        return Cli_UsageError("unknown command '" + what + "'");
    if (!WellFormed(o))
        return Cli_Usage();
    // Only an add or an import makes a catalogue; the other commands need one.
    Catalogue cat;
    std::string error;
    if (!cat.Open(o.catalogue.empty() ? App_CataloguePath() : o.catalogue, what == "import", error))
        return Failed(error);
    if (what == "search")
        return Search(cat, o);
    if (what == "list")
        return List(cat, o);
    if (what == "show")
        return Show(cat, o);
    if (what == "ls")
        return Ls(cat, o);
    if (what == "remove")
        return cat.Remove(DiscNumberArg(o.args[1]), error) ? Cli_FinishOutput(0) : Failed(error);
    if (what == "import")
        return Import(cat, o);
    if (what == "export")
        return Export(cat);
    if (what == "dupes")
        return Dupes(cat, o);
    return cat.Backup(o.args[1], error) ? Cli_FinishOutput(0) : Failed(error);
}
