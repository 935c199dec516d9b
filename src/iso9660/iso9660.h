// The ISO9660 manager's operations: disc analysis, names, file data.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "iso9660/iso_model.h"
#include "iso9660/iso_zisofs.h"

// The facade over the current Disc (disc.h): the functions without a Disc work on it.
// The disc in `device` analysed into a new current Disc (Disc::Analyze), which replaces the one before
// whatever the result (a failed analysis keeps what it read); g_CurrentSession is where the analysis left
// it, and `device` becomes g_CurrentDevice, the device the facade's reads of the current Disc go to.
int Iso_AnalyzeDisc(uint16_t device, uint8_t names = 0);
// The current Disc (an empty one when none was analysed), its model kept as g_DiscModel.
Disc& Iso_CurrentDisc();
// The current Disc for work on a worker that reads it while the window goes on: it stays whole for as long as
// the work holds it, whatever the window loads meanwhile. Only what reads a Disc may be used on it there.
std::shared_ptr<const Disc> Iso_ShareCurrentDisc();
// Makes `disc` (analysed elsewhere, on a worker) the current Disc; the one before is freed.
void Iso_InstallDisc(std::unique_ptr<Disc> disc);
// Sectors of audio before track 1 (track 1 is audio and starts after block 0): "Track00.cda"; 0 without.
uint32_t Iso_HiddenTrackSectors();
// The session of the audio track a "TrackNN.cda" entry stands for (with NN in `number`), or nullptr for any
// other entry (a data file of that name included).
const SessionEntry* Iso_AudioTrackSession(const FileEntry* entry, int* number = nullptr);
// The "Audio Tracks" folder of a data session (no folder of its file system): a folder of audio tracks only.
bool Iso_IsAudioFolder(const FileEntry* entry);

// Directories.
// The session of `tree` (a tree of the model's list) in the names `names` (ISO_NAMES_*): `tree` itself when
// it carries them, else read from the model's drive the first time it is asked for and kept with the model;
// nullptr when the session records no such names or their directories cannot be read.
SessionTree* Iso_NamesTree(SessionTree* tree, uint8_t names);
// The tree the disc report writes: the session's Joliet names where it records them, else `tree`.
SessionTree* Iso_ReportTree(SessionTree* tree);
// The entry of `other` (a tree Iso_NamesTree gave for `tree`) that records the same file or directory as
// `entry` of `tree`; nullptr when `other` holds none. Files are known by their extents, directories by the
// data below them, and what has neither by its name.
const FileEntry* Iso_SameEntry(SessionTree* tree, SessionTree* other, const FileEntry* entry);
// What was passed over in reading a session's tree (SessionTree::notes), one note each: the whole sentence
// and the few words a status bar holds.
struct IsoTreeNote {
    std::string text, shortText;
    size_t unreadable = 0; // the entries counted, for the note of entries that could not be read
};
std::vector<IsoTreeNote> Iso_TreeNotes(const SessionTree* tree);

// Character conversion. Writes at most `capacity` bytes and always terminates the text; stops before a
// character that would not fit whole. A character without a JIS X 0208 code becomes "?".
void Iso_UcsToSjis(char* dest, size_t capacity, const uint8_t* src, uint32_t length, uint16_t ucs2,
                   uint16_t bigEndian);
// One UTF-8 character at `p` (`n` bytes there): its code point, with its bytes in `*length`; `*length` is 0
// when `p` begins no well-formed character (a stray byte, or a sequence cut short).
uint32_t Iso_DecodeUtf8(const uint8_t* p, size_t n, size_t* length);
// UTF-8 (up to a zero byte) as big-endian UCS-2 into `out`, room for `length` characters: a malformed byte
// and a character outside the Basic Multilingual Plane become "?". The number of characters written.
uint32_t Iso_Utf8ToUcs2(const uint8_t* src, uint32_t length, uint8_t* out);
// UTF-8 (at most its first `utf8.size()` bytes, up to a zero byte) as Shift-JIS, as Iso_UcsToSjis converts
// the same characters: one beyond the Basic Multilingual Plane or a malformed byte becomes "?".
void Iso_Utf8ToSjis(char* dest, size_t capacity, std::string_view utf8);
// Unicode (UTF-8) from the disc's encodings, for everything a person or a script reads. UTF-16 (Joliet,
// ASF, ID3 with a byte-order mark): a surrogate pair is one character, a lone surrogate U+FFFD. The second
// form writes at `out` (room for 3 bytes a unit) and returns the bytes written.
std::string Iso_Utf16ToUtf8(const uint8_t* src, uint32_t units, bool bigEndian);
size_t Iso_Utf16ToUtf8(const uint8_t* src, uint32_t units, bool bigEndian, char* out);
// A Joliet identifier of `units` big-endian UCS-2 units in both forms at once: its Shift-JIS form into `sjis`
// (`capacity` bytes, as Iso_UcsToSjis writes it) and its UTF-8 form at `utf8` (room for 3 bytes a unit),
// whose length it returns; both stop at a zero unit.
size_t Iso_JolietName(const uint8_t* id, uint32_t units, char* sjis, size_t capacity, char* utf8);
// 8-bit text (d-characters, Rock Ridge names, Shift-JIS texts): as it stands when it is valid UTF-8, else
// read as Shift-JIS, where a byte that begins no character becomes U+FFFD without taking the byte after it.
// Stops at a zero byte.
std::string Iso_BytesToUtf8(const uint8_t* src, size_t length);
// Whether `n` bytes are well-formed UTF-8 (no overlong form, no surrogate, nothing past U+10FFFF).
bool Iso_IsUtf8(const uint8_t* p, size_t n);
// Shift-JIS text, up to a zero byte or `limit` bytes, appended as UTF-8 (U+FFFD as above).
void Iso_AppendSjisAsUtf8(std::string& out, const char* sjis, size_t limit);
void Iso_AppendUtf8(std::string& out, uint32_t codePoint);
// An entry's name as the disc records it, in UTF-8 (FileEntry::name is its Shift-JIS form, the report's).
const char* Iso_EntryText(const FileEntry* entry);
inline const char* Iso_EntryName(const FileEntry* entry) {
    return (entry->flags & ISO_TEXT) ? Iso_EntryText(entry) : entry->name;
}
// The POSIX mode of a Rock Ridge entry (its PX entry); 0 when the disc records none.
uint16_t Iso_EntryMode(const FileEntry* entry);
// The ISO 9660 identifier a Rock Ridge entry's record carries beside its "NM" name; nullptr for every other
// entry (its identifier is its name).
const char* Iso_RecordedIdentifier(const FileEntry* entry);
// A directory's recording time (its "." record's date, or its Rock Ridge "TF" time), as FileEntry::date;
// nullptr for a file or a directory without one.
const uint8_t* Iso_DirectoryDate(const FileEntry* entry);
// The date an entry is shown with: a file's recorded date, a directory's Iso_DirectoryDate; nullptr when the
// disc records none.
inline const uint8_t* Iso_EntryDate(const FileEntry* entry) {
    return entry->type == 'F' ? entry->date : Iso_DirectoryDate(entry);
}
uint16_t Jis_FromUnicode(uint16_t codePoint);
uint16_t Jis_ToSjis(uint16_t jis);
// The other direction, for the display: Shift-JIS text to UTF-16 / UTF-8 (derived from the same table).
uint16_t Jis_ToUnicode(uint16_t jis);
uint16_t Sjis_ToJis(uint16_t sjis);

// File data.
extern uint8_t* g_FileData;
extern uint8_t* g_FileCursor;
extern uint64_t g_FileDataLength; // bytes of the file image in g_FileData (the file's size)
int Iso_SelectSession();          // 1, or ISO_ERR_NO_MODEL on an empty model
int Iso_ReadFile(uint32_t lbn, uint32_t size);
// The same for the file of `entry`: its bytes uncompressed where the disc stores it compressed (zisofs).
int Iso_ReadEntry(const FileEntry& entry);
// A file recorded in several extents has one entry per extent, in order: the entry of the extent after
// `extent`, or nullptr after the last one (and for every file of one extent).
const FileEntry* Iso_NextExtent(const FileEntry* extent);
// The target of a Rock Ridge symbolic link as the disc records it; nullptr for every other entry.
const char* Iso_SymlinkTarget(const FileEntry* entry);
// The bytes of the file whose first extent is `entry`: all its extents.
uint64_t Iso_FileSize(const FileEntry* entry);
void Iso_FreeFile();
