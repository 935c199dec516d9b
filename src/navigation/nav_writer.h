// Writing navigation files (CONTENTS.LMX, MENU.LMX, TEXT.LMX, playlists, LSN.LMX) from plain descriptions.
// The writer lays the tables out and fills in every offset, count and size itself, so the files it makes
// agree with themselves; the values a viewer only shows (identifier, version, generation, the header's entry
// sizes) are fields of the description that default to the usual ones and may be set to anything, so that a
// test can also make a deliberately odd file. Texts are given as UTF-8 and written as UCS-2 (the Basic
// Multilingual Plane only). Integers are little-endian at any offset.
#pragma once

#include "navigation/lmx_layout.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A written file, or why it could not be written (a text that is not UTF-8 or leaves the Basic Multilingual
// Plane, a count or offset too large for its field): then `bytes` is empty.
struct NavBytes {
    std::vector<uint8_t> bytes;
    std::string error;
    bool ok() const { return error.empty(); }
};

// The 8-character identifiers the writer puts at offset 0 unless told otherwise.
constexpr const char* NAV_ID_CONTENTS = "CNTLMX01";
constexpr const char* NAV_ID_MENU = "MNULMX01";
constexpr const char* NAV_ID_TEXT = "TXTLMX01";
constexpr const char* NAV_ID_PLAYLIST = "PLYLMX01";
constexpr const char* NAV_ID_LSN = "LSNLMX01";

// Every file begins with these: an identifier of up to 8 single-byte characters (zero-padded) and a version.
struct NavFileHeader {
    std::string identifier;
    uint16_t version = 1;
};

// ---- CONTENTS.LMX -------------------------------------------------------------------------------------

struct NavDirectory {
    uint32_t parent = 0; // number of the parent directory (directories are numbered from 1 in table order)
    std::string name;
};

struct NavPlaylistFile {
    uint32_t directory = 0;
    uint8_t summaryType = 0;
};

// A media file and its technical data; each table writes the fields its entry has (audio: channels to
// thumbnail; menu image: none; image: thumbnail and sizes; video: the audio fields and the video ones).
struct NavMediaFile {
    uint32_t directory = 0;
    std::string name;
    uint16_t fileType = 0;
    uint16_t specialFlags = 0;
    uint8_t channels = 0;
    uint8_t sampleSize = 0;
    uint32_t averageBitRate = 0;
    uint32_t fileBitRate = 0;
    uint32_t duration = 0;
    uint32_t samplingFrequency = 0;
    uint16_t trackNumber = 0;
    uint32_t thumbnailId = 0;
    uint16_t verticalSize = 0;
    uint16_t horizontalSize = 0;
    uint32_t videoAverageBitRate = 0;
    uint16_t videoVerticalSize = 0;
    uint16_t videoHorizontalSize = 0;
    uint32_t frameRate = 0;
};

struct NavLcid {
    uint32_t first = 0;
    uint32_t second = 0;
};

// Entry sizes of the tables: the writer always packs entries this far apart.
constexpr uint16_t NAV_PLAYLIST_ENTRY = lmx::contents::kPlaylistEntry;
constexpr uint16_t NAV_AUDIO_ENTRY = lmx::contents::kAudioEntry;
constexpr uint16_t NAV_MENU_IMAGE_ENTRY = lmx::contents::kMenuImageEntry;
constexpr uint16_t NAV_IMAGE_ENTRY = lmx::contents::kImageEntry;
constexpr uint16_t NAV_VIDEO_ENTRY = lmx::contents::kVideoEntry;

// Contents identifiers (CIDs) are the positions in playlists, audio, menu images, images, videos, from 1.
struct NavContents {
    NavFileHeader header{NAV_ID_CONTENTS};
    uint64_t generation = 1;
    std::vector<NavLcid> lcids;
    std::vector<NavDirectory> directories;
    std::vector<NavPlaylistFile> playlists;
    std::vector<NavMediaFile> audio, menuImages, images, videos;
    // The "Size of ... Entry" values written into the header (not the step, which is fixed).
    uint16_t playlistEntrySize = NAV_PLAYLIST_ENTRY;
    uint16_t audioEntrySize = NAV_AUDIO_ENTRY;
    uint16_t menuImageEntrySize = NAV_MENU_IMAGE_ENTRY;
    uint16_t imageEntrySize = NAV_IMAGE_ENTRY;
    uint16_t videoEntrySize = NAV_VIDEO_ENTRY;
};

// Layout: header with the LCID entries, the directory, playlist, audio, menu image, image and video tables,
// then the directory name records, then the file name records.
NavBytes Nav_WriteContents(const NavContents& contents);

// ---- MENU.LMX -----------------------------------------------------------------------------------------

struct NavMenu;

// An item of a menu. Type 1 leads to `subMenu` (exactly one menu; with none, `menuOffset` is written as the
// link instead), type 2 starts playlist `playlistId`. Any other type is written as its type byte alone.
struct NavMenuEntry {
    uint8_t type = 2;
    uint8_t summaryType = 0;
    uint32_t thumbnailId = 0;
    uint32_t selectedThumbnailId = 0;
    std::string name;
    std::vector<NavMenu> subMenu; // type 1
    uint32_t menuOffset = 0;      // type 1 without a sub-menu
    uint32_t playlistId = 0;      // type 2
    uint32_t startingGroup = 0;
    uint32_t startingFile = 0;
};

struct NavMenu {
    uint32_t backgroundImage43 = 0;
    uint32_t backgroundImage169 = 0;
    uint32_t backgroundColor = 0;
    uint32_t textColor = 0;
    std::string subtitle;
    std::vector<NavMenuEntry> items;
};

struct NavMenuFile {
    NavFileHeader header{NAV_ID_MENU};
    uint32_t lcid = 0;
    std::string title;
    NavMenu root;
};

// Layout: header and title, then the menus depth first (a menu with its items, then the menus its items lead
// to, in item order). A menu's "Size of Menu Header" counts its fields and subtitle, not its items; the
// first menu's parent offset is 0.
NavBytes Nav_WriteMenu(const NavMenuFile& menu);

// ---- TEXT.LMX -----------------------------------------------------------------------------------------

struct NavContentsText {
    uint32_t cid = 0;
    std::string text1;
    std::array<std::optional<std::string>, 4> text2To5; // Text2 .. Text5; none writes offset 0
    std::optional<std::string> extra;
};

struct NavGroupText {
    uint32_t group = 0;
    std::string name;
};

struct NavExtraDatum {
    uint16_t type = 0;
    std::string text;
};

struct NavExtraText {
    uint32_t cid = 0;
    std::vector<NavExtraDatum> data; // at most 255
};

struct NavTextFile {
    NavFileHeader header{NAV_ID_TEXT};
    uint32_t lcid = 0;
    std::string discName;
    std::vector<NavContentsText> contents;
    std::vector<NavGroupText> groups;
    std::vector<NavExtraText> extras;
};

// Layout: header and disc name, the contents, group and extra text tables, then the text records in table
// order.
NavBytes Nav_WriteText(const NavTextFile& text);

// ---- Playlist files -----------------------------------------------------------------------------------

// An audio or video file of a group, 28 bytes.
struct NavFileRef {
    uint32_t fileId = 0; // its CID
    uint32_t startPoint = 0;
    uint32_t endPoint = 0;
    uint64_t startOffset = 0;
    uint64_t endOffset = 0;
};

struct NavImageRef {
    uint32_t fileId = 0;
    uint32_t duration = 0;
    uint16_t transition = 0;
};

// Group types.
constexpr uint8_t NAV_GROUP_AUDIO = 0;
constexpr uint8_t NAV_GROUP_VIDEO = 1;
constexpr uint8_t NAV_GROUP_IMAGE = 2;
constexpr uint8_t NAV_GROUP_AUDIO_IMAGE = 3;

// A group: type 0 writes `files` as its audio part, 1 as its video part, 2 its image part, 3 both (the
// audio part after the image part, linked by offset); other types write the group's fields alone. At most
// 255 files and 255 images.
struct NavGroup {
    uint32_t number = 0;
    uint8_t type = NAV_GROUP_AUDIO;
    std::vector<NavFileRef> files;
    uint8_t initialTransition = 0;
    uint8_t finalTransition = 0;
    std::vector<NavImageRef> images;
};

struct NavPlaylist {
    NavFileHeader header{NAV_ID_PLAYLIST};
    uint8_t summaryType = 0;
    uint8_t repeatCount = 0;
    uint32_t thumbnailId = 0;
    uint16_t specialFlags = 0;
    std::vector<NavGroup> groups;
};

// Layout: header, then the groups in order, each linked to the next and the previous one (0 at the ends).
NavBytes Nav_WritePlaylist(const NavPlaylist& playlist);

// ---- LSN.LMX ------------------------------------------------------------------------------------------

struct NavLsnEntry {
    uint32_t lsn = 0;
    uint32_t size = 0;
};

struct NavLsnFile {
    NavFileHeader header{NAV_ID_LSN};
    uint64_t generation = 1;
    std::vector<NavLsnEntry> entries; // entry n (from 1) belongs to CID n
};

NavBytes Nav_WriteLsn(const NavLsnFile& lsn);

// ---- Texts --------------------------------------------------------------------------------------------

// UTF-8 to UCS-2 code units; false with the reason when `utf8` is not well-formed UTF-8 or holds a character
// outside the Basic Multilingual Plane.
bool Nav_Utf8ToUcs2(const std::string& utf8, std::u16string& ucs2, std::string& error);
