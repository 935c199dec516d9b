// The nine icons of the tree and list image lists, in image-list order, and the application icon. They are
// drawn here as vector shapes (no image plugin needed) at any size.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <vector>

namespace ckvd::ui {

// CD drive, compact disc, closed folder, open folder, error, question, warning, information, document.
QPixmap DrawImage(int index, int size);
// An image list of `size` x `size` images, as the tree (16) and the list (16 and 32) use.
std::vector<QIcon> MakeImageList(int size);
QIcon ApplicationIcon();
// The tool bar picture of a list view style command (large icons, small icons, list, details), rendered from
// its SVG at 16 and 32 pixels, its lines in the palette's text colour; a null icon for any other command.
QIcon ViewStyleIcon(int command);

} // namespace ckvd::ui
