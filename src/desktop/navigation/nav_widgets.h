// The Qt pieces the navigation-file viewers are built from: a report list over a NavList whose columns start
// at an equal share of its width and grow to their widest value, and a tree over NavTreeItems.
#pragma once

#include <QAbstractTableModel>
#include <QTreeView>
#include <QTreeWidget>
#include <vector>

#include "navigation/nav_content.h"

class NavListModel final : public QAbstractTableModel {
  public:
    explicit NavListModel(QObject* parent) : QAbstractTableModel(parent) {}
    void SetColumns(const std::vector<std::string>& columns);
    void SetRows(const std::vector<std::vector<std::string>>& rows); // Shift-JIS cells
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    const QString& Cell(int row, int column) const;

  private:
    std::vector<QString> m_columns;
    std::vector<std::vector<QString>> m_rows;
};

class NavListView final : public QTreeView {
  public:
    // A list with the columns of `shape`, named by its title; `visibleRows` sets the height it asks for.
    NavListView(const NavList& shape, int visibleRows, QWidget* parent);
    // Shows the rows of `list` and fits the columns to them.
    void SetRows(const NavList& list);
    const NavListModel& Content() const { return *m_model; }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  private:
    void Fit();

    NavListModel* m_model;
    int m_visibleRows;
    std::vector<int> m_needed; // each column's widest value or heading
};

// Fills `tree` with `items` (their numbers under Qt::UserRole), expanded as they say; returns the first.
QTreeWidgetItem* Nav_FillTree(QTreeWidget* tree, const std::vector<NavTreeItem>& items);
