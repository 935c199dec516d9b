// CSaveDiscInfoDlg: "Are You Save DiscInformation?" over CSaveDiscInfoDlgModel. Enter and Escape do
// nothing in it, so a report is never written or refused by a stray key.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "appmodel/save_disc_info_dlg_model.h"

class CSaveDiscInfoDlg final : public QDialog {
  public:
    CSaveDiscInfoDlg(int number, ckvd::ui::MessageSink& sink, QWidget* parent = nullptr);

    CSaveDiscInfoDlgModel& Model() { return m_model; }
    QLineEdit* NumberEdit() const { return m_number; }
    QLineEdit* CommentEdit() const { return m_comment; }
    QProgressBar* Progress() const { return m_progress; }
    QPushButton* YesButton() const { return m_yes; }
    QPushButton* SaveButton() const { return m_save; }
    QPushButton* NoButton() const { return m_no; }
    // "Offer a report after every disc load": shown checked; the window reads it when the dialog closed.
    QCheckBox* OfferCheck() const { return m_offer; }

    void OnYesPlease();
    void OnSave();

    // Closing the window while the report is written does nothing: the report finishes first.
    void reject() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void EnableReportControls(bool enable);
    std::string ChooseFile(const std::string& proposedName);
    void OnProgress(int tree, uint32_t done, uint32_t total);

    CSaveDiscInfoDlgModel m_model;
    QLineEdit* m_number;
    QLineEdit* m_comment;
    QProgressBar* m_progress;
    QPushButton* m_yes;
    QPushButton* m_save;
    QPushButton* m_no;
    QCheckBox* m_offer;
    QElapsedTimer m_sincePaint;
};
