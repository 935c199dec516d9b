// CLevel1Dlg: "Lumaset Algorithm (Level1)", two buttons and nothing else; it reads and changes nothing.
#pragma once

#include <QDialog>

class CLevel1Dlg final : public QDialog {
  public:
    explicit CLevel1Dlg(QWidget* parent = nullptr);
};
