// Dialogs on a Linux desktop: never larger than the screen's available area (a larger one scrolls inside)
// and centred over the window they belong to, however early they open.
#pragma once

#include <QDialog>
#include <QObject>

namespace ckvd::ui {

// Fits `dialog` into the available area of the screen it opens on: when its content needs more, the content
// moves into a scroll area and the dialog takes at most that area. Then centres it over its parent window
// (over the screen when it has none), kept within the available area.
void FitDialogToScreen(QDialog& dialog);

// Does FitDialogToScreen for every dialog and message box of the application when it is first shown.
class DialogPlacer final : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace ckvd::ui
