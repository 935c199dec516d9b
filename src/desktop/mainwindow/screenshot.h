// Pictures of the main window and its dialogs without a display (--screenshot, --select, --dialog), for
// users' bug reports and for tests. The window caption is drawn where the platform draws none, since it
// carries the volume name.
#pragma once

#include <QImage>
#include <QString>
#include <string>
#include <vector>

class CMainFrame;
class QWidget;

// The names --dialog accepts.
std::vector<std::string> Screenshot_DialogNames();
// Selects, on the loaded disc, the tree item of the directory `path` ("/DOCS/NOTES", UTF-8 names as `ckvd ls`
// prints them; "/" is the first session's root), or the directory of the file `path` and that file's row.
// The last session that holds the path answers. False with the reason when nothing has that path.
bool Screenshot_Select(CMainFrame& frame, const std::string& path, std::string* error);
// `window` as a user sees it, its caption above it.
QImage Screenshot_Grab(QWidget& window);
// Saves the main window to `out`, or, with a `dialog` name, that dialog opened on the selection and drawn
// over the main window. False with the reason. `playerProfile`: Player Check's profile file, chosen after
// its first check. `music`: the folder New Disc for Player plans.
bool Screenshot_Save(CMainFrame& frame, const std::string& dialog, const QString& out, std::string* error,
                     const std::string& playerProfile = {}, const std::string& music = {});
