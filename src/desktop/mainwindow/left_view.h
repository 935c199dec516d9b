// CLeftView: the disc tree, a QTreeView over CLeftViewModel.
#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <QTreeView>
#include <vector>

#include "appmodel/kvd_app_doc_model.h"
#include "appmodel/left_view_model.h"

class TreeItemModel final : public QAbstractItemModel {
  public:
    explicit TreeItemModel(CLeftViewModel& content, QObject* parent = nullptr);
    void Reload();
    int ItemOf(const QModelIndex& index) const;
    QModelIndex IndexOf(int item) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& = {}) const override { return 1; }
    QVariant data(const QModelIndex& index, int role) const override;

  private:
    CLeftViewModel& m_content;
    std::vector<int> m_row;      // row of each item under its parent
    std::vector<QString> m_text; // display texts
    QIcon m_sessionIcon, m_folderIcon, m_errorIcon;
};

class CLeftView final : public QTreeView {
  public:
    CLeftView(CLeftViewModel& content, CKVDAppDocModel& doc, QWidget* parent = nullptr);
    // Shows the content again after a fill, with the content's selection and expanded items.
    void Reload();
    TreeItemModel* ItemModel() const { return m_model; }
    // Makes the item of `directory` (a session's root or a directory) the selected one, its parents
    // expanded, so the list shows its entries; false when the tree has no such item.
    bool SelectEntry(const FileEntry* directory);
    // Selects the parent of the selected item; the entry of the item left, or nullptr at the top.
    const FileEntry* SelectParent();
    // The width that shows every item whole: indentation, icon, text and the frame.
    int NeededWidth() const { return sizeHintForColumn(0) + 2 * frameWidth() + 4; }

  protected:
    void keyPressEvent(QKeyEvent* event) override; // Backspace and Alt+Up: the folder above

  private:
    void OnSelChanged();
    void FitNames();

    CLeftViewModel& m_content;
    CKVDAppDocModel& m_doc;
    TreeItemModel* m_model;
    bool m_reloading = false;
};
