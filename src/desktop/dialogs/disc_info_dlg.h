// Front end of the Disc Information dialog: the rows of CDiscInfoDlgModel in a report list.
#pragma once

#include <QDialog>
#include <QTreeWidget>

#include "appmodel/disc_info_dlg_model.h"

class CDiscInfoDlg final : public QDialog {
  public:
    explicit CDiscInfoDlg(QWidget* parent = nullptr);
    QTreeWidget* List() const { return m_list; }
    const CDiscInfoDlgModel& Content() const { return m_content; }

  private:
    // Columns as wide as their headings and values; the dialog as wide as they are, within the screen.
    void FitToContents();

    CDiscInfoDlgModel m_content;
    QTreeWidget* m_list;
};
