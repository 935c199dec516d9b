// Field offsets (byte positions from the start of the structure) and entry sizes of the navigation files, so
// that the writer and the five viewers name one field one way. Integers are little-endian; a "text" is a
// 2-byte length followed by its characters (CONTENTS.LMX counts characters, the others bytes).
#pragma once

#include <cstddef>

namespace lmx {

// Every file begins with an 8-character identifier and a 2-byte version.
constexpr size_t kIdentifier = 0x00;
constexpr size_t kVersion = 0x08;

namespace contents {
constexpr size_t kGeneration = 0x0A; // 8 bytes
constexpr size_t kFileSize = 0x12;
constexpr size_t kDirectoryCount = 0x16;
constexpr size_t kDirectoryTable = 0x1A;
constexpr size_t kPlaylistCount = 0x1E;
constexpr size_t kPlaylistEntrySize = 0x22; // 2 bytes
constexpr size_t kPlaylistTable = 0x24;
// The four file tables (audio, menu image, image, video) each have a count, a 2-byte entry size and an
// offset, 10 bytes apart from the audio table's on.
constexpr size_t kFileTables = 0x28;
constexpr size_t kFileTableStride = 0x0A;
constexpr size_t kTableCount = 0x00;
constexpr size_t kTableEntrySize = 0x04;
constexpr size_t kTableOffset = 0x06;
constexpr size_t kLcidCount = 0x50; // 2 bytes
constexpr size_t kLcidEntries = 0x52;
constexpr size_t kLcidEntry = 8;

constexpr size_t kDirectoryEntry = 8; // parent number, name offset
constexpr size_t kDirectoryName = 0x04;
constexpr size_t kPlaylistEntry = 6; // directory number, summary type, 1 reserved byte
constexpr size_t kPlaylistSummaryType = 0x04;

// A file entry; audio entries end at 0x20, video entries add the video fields, image entries put their
// thumbnail and sizes at 0x08.
constexpr size_t kAudioEntry = 32;
constexpr size_t kMenuImageEntry = 8;
constexpr size_t kImageEntry = 16;
constexpr size_t kVideoEntry = 44;
constexpr size_t kFileName = 0x00; // offset of the name record: directory number, then the text
constexpr size_t kFileType = 0x04;
constexpr size_t kSpecialFlags = 0x06;
constexpr size_t kChannels = 0x08;   // 1 byte
constexpr size_t kSampleSize = 0x09; // 1 byte
constexpr size_t kAverageBitRate = 0x0A;
constexpr size_t kFileBitRate = 0x0E;
constexpr size_t kDuration = 0x12;
constexpr size_t kSamplingFrequency = 0x16;
constexpr size_t kTrackNumber = 0x1A; // 2 bytes
constexpr size_t kThumbnailId = 0x1C;
constexpr size_t kVideoAverageBitRate = 0x20;
constexpr size_t kVideoVerticalSize = 0x24;
constexpr size_t kVideoHorizontalSize = 0x26;
constexpr size_t kFrameRate = 0x28;
constexpr size_t kImageThumbnailId = 0x08;
constexpr size_t kImageVerticalSize = 0x0C;
constexpr size_t kImageHorizontalSize = 0x0E;
constexpr size_t kNameRecordText = 0x04; // after the directory number
} // namespace contents

namespace menu {
constexpr size_t kFileSize = 0x0A;
constexpr size_t kLcid = 0x0E;
constexpr size_t kFirstMenu = 0x12; // 2 bytes
constexpr size_t kTitle = 0x14;

// A menu's header, then its items.
constexpr size_t kHeaderSize = 0x00;
constexpr size_t kParent = 0x04;
constexpr size_t kBackground43 = 0x08;
constexpr size_t kBackground169 = 0x0C;
constexpr size_t kBackgroundColor = 0x10;
constexpr size_t kTextColor = 0x14;
constexpr size_t kItemCount = 0x18; // 2 bytes
constexpr size_t kSubtitle = 0x1A;

// An item: type 1 leads to a menu, type 2 starts a playlist.
constexpr size_t kItemType = 0x00; // 1 byte
constexpr size_t kItemSummaryType = 0x01;
constexpr size_t kItemThumbnail = 0x02;
constexpr size_t kItemSelectedThumbnail = 0x06;
constexpr size_t kItemMenu = 0x0A; // type 1
constexpr size_t kItemMenuName = 0x0E;
constexpr size_t kItemPlaylist = 0x0A; // type 2
constexpr size_t kItemStartingGroup = 0x0E;
constexpr size_t kItemStartingFile = 0x12;
constexpr size_t kItemPlaylistName = 0x16;
} // namespace menu

namespace text {
constexpr size_t kFileSize = 0x0A;
constexpr size_t kContentsCount = 0x0E;
constexpr size_t kGroupCount = 0x12;
constexpr size_t kExtraCount = 0x16;
constexpr size_t kContentsTable = 0x1A;
constexpr size_t kGroupTable = 0x1E;
constexpr size_t kExtraTable = 0x22;
constexpr size_t kLcid = 0x26;
constexpr size_t kDiscName = 0x2A;

constexpr size_t kContentsEntry = 28; // CID, then the offsets of Text1..Text5 and the extra text
constexpr size_t kContentsTexts = 6;
constexpr size_t kContentsTextOffsets = 0x04; // 4 bytes each
constexpr size_t kGroupEntry = 8;             // group number, name offset
constexpr size_t kGroupName = 0x04;
constexpr size_t kExtraHeader = 6; // CID, count of data (1 byte), 1 reserved byte
constexpr size_t kExtraCountOfData = 0x04;
constexpr size_t kExtraDatum = 6; // type (2 bytes), text offset
constexpr size_t kDatumText = 0x02;
} // namespace text

namespace playlist {
constexpr size_t kFileSize = 0x0A;
constexpr size_t kSummaryType = 0x0E; // 1 byte
constexpr size_t kRepeatCount = 0x0F; // 1 byte
constexpr size_t kThumbnailId = 0x10;
constexpr size_t kGroupCount = 0x14;
constexpr size_t kSpecialFlags = 0x18; // 2 bytes
constexpr size_t kFirstGroup = 0x1A;

// A group: links to the next and previous group, its number and type, then its part(s).
constexpr size_t kNext = 0x00;
constexpr size_t kPrevious = 0x04;
constexpr size_t kNumber = 0x08;
constexpr size_t kType = 0x0C; // 1 byte, 1 reserved byte after it
constexpr size_t kPart = 0x0E;
constexpr size_t kAudioPartLink = 0x0E; // type 3: offset of the audio part, the image part follows the link
constexpr size_t kLinkedImagePart = 0x12;

// An audio/video part: count (1 byte, 3 reserved), then 28-byte file entries.
constexpr size_t kFilesAt = 0x04;
constexpr size_t kFileEntry = 28;
constexpr size_t kStartPoint = 0x04;
constexpr size_t kEndPoint = 0x08;
constexpr size_t kStartOffset = 0x0C; // 8 bytes
constexpr size_t kEndOffset = 0x14;   // 8 bytes
// An image part: count (1 byte, 3 reserved), the initial and final transitions (1 byte and a reserved one
// each), then 10-byte image entries.
constexpr size_t kInitialTransition = 0x04;
constexpr size_t kFinalTransition = 0x06;
constexpr size_t kImagesAt = 0x08;
constexpr size_t kImageEntry = 10;
constexpr size_t kImageDuration = 0x04;
constexpr size_t kImageTransition = 0x08; // 2 bytes
} // namespace playlist

namespace lsn {
constexpr size_t kGeneration = 0x0A; // 8 bytes
constexpr size_t kFileSize = 0x12;
constexpr size_t kEntryCount = 0x16;
constexpr size_t kEntries = 0x1A;
constexpr size_t kEntry = 8; // LSN, file size
} // namespace lsn

} // namespace lmx
