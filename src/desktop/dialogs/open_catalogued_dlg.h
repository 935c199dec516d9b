// COpenCataloguedDlg: File > Open Catalogued Disc over COpenCataloguedDlgModel: the catalogue's discs
// (number, volume, entries, added, where read from, comment); Open or a double-click chooses one to browse
// without the disc.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QTreeWidget>

#include "appmodel/open_catalogued_dlg_model.h"

// The disc list's columns and rows in `list` (also the Discs tab of Find in Catalogue); each row's data is
// its disc number.
void FillCatalogueDiscList(QTreeWidget* list, const COpenCataloguedDlgModel& model);

class COpenCataloguedDlg final : public QDialog {
  public:
    explicit COpenCataloguedDlg(QWidget* parent = nullptr);

    COpenCataloguedDlgModel& Model() { return m_model; }
    QTreeWidget* Discs() const { return m_discs; }
    // The number of the disc chosen, -1 for none.
    int Selected() const;

  private:
    COpenCataloguedDlgModel m_model;
    QTreeWidget* m_discs;
    QLabel* m_status;
};
