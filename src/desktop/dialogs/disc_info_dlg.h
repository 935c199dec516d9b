// Front end of the Disc Information dialog: the rows of CDiscInfoDlg in a report list.
#pragma once

#include <QDialog>
#include <QTreeWidget>

#include "appmodel/disc_info_dlg_model.h"

class DiscInfoDialog final : public QDialog {
  public:
    explicit DiscInfoDialog(QWidget* parent = nullptr);
    QTreeWidget* List() const { return m_list; }
    const CDiscInfoDlg& Content() const { return m_content; }

  private:
    // Columns as wide as their headings and values; the dialog as wide as they are, within the screen.
    void FitToContents();

    CDiscInfoDlg m_content;
    QTreeWidget* m_list;
};
