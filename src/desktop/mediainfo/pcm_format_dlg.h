// CPcmFormatDlg: "PCM Format Classify", the reference list of WAVE format codes, opened by CWavDlg's
// "Format" button.
#pragma once

#include <QDialog>
#include <QTreeWidget>

class CPcmFormatDlg final : public QDialog {
  public:
    explicit CPcmFormatDlg(QWidget* parent = nullptr);
    QTreeWidget* List() const { return m_list; }

  private:
    void OnInitDialog();
    QTreeWidget* m_list;
};
