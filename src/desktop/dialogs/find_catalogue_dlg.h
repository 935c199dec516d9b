// CFindCatalogueDlg: Edit > Find in Catalogue over CFindCatalogueDlgModel: a search field whose results (disc
// number, volume, path, tags) follow the typing; a double-click opens the entry's disc when its image is
// still where it was read from, else names the disc to insert.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "appmodel/find_catalogue_dlg_model.h"

class CFindCatalogueDlg final : public QDialog {
  public:
    explicit CFindCatalogueDlg(QWidget* parent = nullptr);

    CFindCatalogueDlgModel& Model() { return m_model; }
    QLineEdit* Field() const { return m_field; }
    QTreeWidget* Results() const { return m_results; }
    QLabel* Status() const { return m_status; }
    // Searches for what the field holds now (the field's edits do so a moment after the typing stops).
    void Search();
    // What a double-click leads to: open `image` and show `path` of session `session` (1..); false when the
    // image could not be opened.
    std::function<bool(const std::string& image, int session, const std::string& path)> onOpen;
    // Shows a message (the disc to insert).
    std::function<void(const std::string& message)> onMessage;

  private:
    void Activate(QTreeWidgetItem* item);

    CFindCatalogueDlgModel m_model;
    QLineEdit* m_field;
    QTreeWidget* m_results;
    QLabel* m_status;
    QTimer m_typing;
};
