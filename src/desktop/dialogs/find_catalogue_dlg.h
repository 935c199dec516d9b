// CFindCatalogueDlg: Edit > Find in Catalogue over CFindCatalogueDlgModel, in tabs. Search: a field whose
// results (disc number, volume, path, tags) follow the typing; a double-click opens the entry's disc when its
// image is still where it was read from, else names the disc to insert. Discs: the catalogue's discs
// (COpenCataloguedDlgModel); a double-click browses one from the catalogue. Duplicates: each file held more
// than once (name, size, wasted bytes, by what) over its copies (disc, volume, path); a double-click on a
// copy browses its disc from the catalogue at that path.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "appmodel/find_catalogue_dlg_model.h"
#include "appmodel/open_catalogued_dlg_model.h"

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
    // Browses disc `number` from the catalogue, showing `path` of session `session` (1..) where one is
    // given; false when it cannot be shown.
    std::function<bool(int number, int session, const std::string& path)> onBrowse;

    QTabWidget* Tabs() const { return m_tabs; }
    // The Discs tab's list, filled the first time the tab is shown.
    QTreeWidget* DiscList() const { return m_discList; }
    // The Duplicates tab's tree, filled the first time the tab is shown.
    QTreeWidget* DuplicateList() const { return m_duplicates; }
    enum Tab { SearchTab, DiscsTab, DuplicatesTab };

  private:
    void Activate(QTreeWidgetItem* item);
    void ShowTab(int tab);
    void FillDuplicates();
    // A tab of `list` over `status`.
    void AddTab(QTreeWidget* list, QLabel* status, const QString& name);
    void Browse(int number, int session, const std::string& path);

    CFindCatalogueDlgModel m_model;
    COpenCataloguedDlgModel m_discs;
    QTabWidget* m_tabs;
    QLineEdit* m_field;
    QTreeWidget* m_results;
    QLabel* m_status;
    QTreeWidget* m_discList;
    QLabel* m_discStatus;
    bool m_discsRead = false;
    QTreeWidget* m_duplicates;
    QLabel* m_duplicatesStatus;
    bool m_duplicatesRead = false;
    QTimer m_typing;
};
