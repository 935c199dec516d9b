// ckvd-mknav: writes the Lumaset navigation files for a directory tree that is to become a disc (session).
//   ckvd-mknav [--name NAME] [--lcid N] DIR
//       scans DIR and writes into it CONTENTS.LMX, MENU.LMX, TEXT.LMX, PLAY0001.LMX ... and LSN.LMX
//   ckvd-mknav --lsn IMAGE [--session N] [--lcid N] DIR
//       rewrites DIR/LSN.LMX with the sectors and sizes the files have in IMAGE, mastered from DIR
//
// What is written, in our own terms:
// - Directories: every directory of DIR, numbered from 1 in a depth-first walk (DIR itself is 1, parent 0).
//   Entries are taken in byte order of their names, a directory's files before its subdirectories, so the
//   same tree always gives the same bytes.
// - Media by extension (any case): audio mp3 wma wav; image jpg jpeg png bmp; video wmv avi mpg mpeg mp4.
//   Images in a directory named MENU right under DIR are menu images (menu backgrounds), not playlist items.
//   Symbolic links are not followed.
// - File types: audio 1 MP3, 2 WMA, 3 WAV; images 1 JPEG, 2 PNG, 3 BMP; video 1 WMV, 2 AVI, 3 MPEG, 4 MP4.
//   Technical data read from the file where that is cheap (WAV fmt chunk, the first MPEG audio frame header,
//   JPEG/PNG/BMP dimensions), else 0. Bit rates in bit/s, durations in milliseconds.
// - One playlist file per directory holding audio, images or video, in walk order, all in DIR's root. Its
//   groups: the audio and images (type 3 when both, 0 or 2 when one), then the videos (type 1), at most 255
//   files per group; group numbers run across the disc from 1. Summary types: the group type when all the
//   playlist's groups share it, else 4.
// - MENU.LMX mirrors the tree: a directory's menu lists its own playlist and, per subdirectory with media,
//   that playlist alone or, for a subdirectory holding several, a sub-menu. Backgrounds: the first menu
//   image.
// - TEXT.LMX: the disc name, Text1 of every content (the directory's name for a playlist, the file name for
//   a file), one group text per group.
// - LSN.LMX: one entry per CID. Sectors are only known once the tree is mastered, so the first run writes 0
//   with each file's size; --lsn then takes them from the image (read with our own disc engine). The file
//   keeps its size, so mastering DIR again places every file where it was.
#include <filesystem>
#include <string>
#include <system_error>

#include "mknav.h"

using namespace mknav;

int main(int argc, char** argv) {
    Args args;
    if (const int status = ParseArgs(argc, argv, args); status >= 0)
        return status;
    std::error_code ec;
    if (!fs::is_directory(args.dir, ec))
        return Fail(args.dir + ": not a directory");
    const fs::path dir(args.dir);
    if (args.lsn)
        return Lsn(dir, args.image, int(args.session), uint32_t(args.lcid));

    std::string name = args.name;
    if (!args.haveName) {
        name = fs::absolute(dir, ec).lexically_normal().filename().string();
        if (name.empty()) // "dir/" ends in an empty name
            name = fs::absolute(dir, ec).lexically_normal().parent_path().filename().string();
    }
    NavSet set;
    std::string error;
    if (!Build(dir, name, uint32_t(args.lcid), set, error) || !WriteAll(dir, set.files, error) ||
        !RemoveStalePlaylists(dir, set, error))
        return Fail(error);
    return 0;
}
