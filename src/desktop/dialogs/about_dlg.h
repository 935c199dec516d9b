// CAboutDlg: "Version", with the application icon, the version and the build.
#pragma once

#include <QDialog>
#include <QLabel>

class CAboutDlg final : public QDialog {
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    QString Version() const { return m_version->text(); }
    QString Build() const { return m_build->text(); }

  private:
    QLabel* m_version;
    QLabel* m_build;
};
