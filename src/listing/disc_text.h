// Plain-text views of the loaded disc model, for the command-line companion and for a desktop start
// without a display: the TOC session by session, and the file tree depth first.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "iso9660/iso_model.h"

class Disc;

// "Audio", "CD-ROM" or "CD-XA" for a session type byte; the audio/data decision of a CD-DA/CD-ROM session
// follows the first session's data-track bit. Other disc types give "0x%02X".
std::string Report_DiscTypeName(uint8_t sessionType, uint8_t firstSessionType);
// A track's line of the TOC: "Audio" for an audio track wherever it lies (a mixed-mode disc's), its session's
// name for a data track ("CD-ROM" where that session's own name would say audio).
std::string Report_TrackTypeName(const SessionEntry* session, const TrackEntry* track,
                                 uint8_t firstSessionType);
// "Audio" or "Data" by the track's own CONTROL.
const char* Report_TrackKind(const TrackEntry* track);
// Whether the disc's tracks are not all of one kind (audio beside data).
bool Report_MixedTracks(const DiscModel* model);

// One line per session ("session N TYPE last_block block_length lead_in lead_out next_program_area"), each
// followed by one line per track ("session track TYPE address size pvd_lbn"), numbers in decimal.
std::string Report_TocText();

// A recorded date (FileEntry::date) as "YYYY-MM-DD HH:MM:SS" at `p` (a field of 100 and more in three
// digits, at most kReportDateMax bytes); returns the end.
constexpr size_t kReportDateMax = 24;
char* Report_PutDate(char* p, const uint8_t* date);

// The tree of one session (index from 0) or of every session in turn (-1), each introduced by
// "(Session%d) %s"; one line per entry: "D|F  LBN  SIZE  YYYY-MM-DD HH:MM:SS  /path", UTF-8 names.
std::string Report_TreeText(int sessionIndex);
// The same text handed to `write` in pieces of some 64 KiB as it is made, so that the listing of a disc of
// many files need not be held whole.
void Report_WriteTreeText(int sessionIndex, const std::function<void(std::string_view)>& write);
// The same below folder `folder` (a path as the listing prints it, "/" the root: the whole trees) of each
// session asked for that holds it as a folder, its entries with their whole paths; such sessions only.
void Report_WriteFolderText(const std::string& folder, int sessionIndex,
                            const std::function<void(std::string_view)>& write);
// Whether session `sessionIndex` (-1: any) holds `folder` as a folder ("/" always).
bool Report_HoldsFolder(const std::string& folder, int sessionIndex);

// Every entry below `root`, depth first as the listing goes (a directory before its children), with its UTF-8
// path ("/DIR/FILE") and the length of the part of that path that is its directory's ("" for the root's).
void Report_WalkTree(
    FileEntry* root,
    const std::function<void(FileEntry& entry, const std::string& path, size_t directoryLength)>& visit);
// The same in the names `disc` keeps (the form above reads the current Disc's), for work on a worker that
// reads a Disc of its own.
void Report_WalkTree(
    const Disc& disc, FileEntry* root,
    const std::function<void(FileEntry& entry, const std::string& path, size_t directoryLength)>& visit);
// The same below a folder whose path is `prefix` ("/DIR"), the entries' paths starting with it.
void Report_WalkTree(
    const Disc& disc, FileEntry* root, std::string_view prefix,
    const std::function<void(FileEntry& entry, const std::string& path, size_t directoryLength)>& visit);

// Shift-JIS text of the engine to UTF-8 for terminals and files.
std::string Report_SjisToUtf8(const char* sjis);
// One value of a text listing (up to its end or a zero byte) as UTF-8, converted on its own so that no value
// takes in what follows it, with its control characters (below 0x20, and 0x7F) shown as "\xNN".
std::string Report_SjisValueText(std::string_view sjis);
// The same for a value that is UTF-8 already (a name, a tag text).
std::string Report_ValueText(std::string_view utf8);
// UTF-8 text (a command line's, a dialog's) to the engine's Shift-JIS, each character as Iso_UcsToSjis
// converts a Joliet name's: Latin-1 folded to an ASCII look-alike ("é" to "e"), a character without a
// JIS X 0208 code (or a byte that is no UTF-8) to "?". With `replaced`, each character not written as itself
// is listed once, in the order met: as typed (a stray byte as "\xNN") and as written.
struct SjisReplacement {
    std::string original;
    std::string written;
};
std::string Report_Utf8ToSjis(std::string_view utf8, std::vector<SjisReplacement>* replaced = nullptr);

// An entry of the loaded disc by its path as the tree listing prints it ("/DIR/FILE", UTF-8; "/" is the
// session's root), with the directory that holds it (the entry itself for a root) and the session's index.
struct DiscPath {
    FileEntry* entry = nullptr;
    FileEntry* directory = nullptr;
    int session = -1;
    std::string path; // the entry's path as the listing prints it ("" for a root)
};
// Looks in session `sessionIndex`, or with -1 in every session from the last to the first: the last session
// that holds the path answers. Nothing found: entry null.
DiscPath Report_FindPath(const std::string& utf8Path, int sessionIndex);
