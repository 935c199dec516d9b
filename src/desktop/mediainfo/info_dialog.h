// The Qt side shared by the media information dialogs: the header block and columns of labelled, read-only
// value fields built from InfoField rows.
#pragma once

#include <QBoxLayout>
#include <QDialog>
#include <QGridLayout>
#include <QLineEdit>
#include <QWidget>
#include <vector>

#include "analyzers/info_dialog_header.h"

// A column of "label  [value] unit" rows; fields are read-only line edits that show their whole text.
class InfoForm final : public QWidget {
  public:
    explicit InfoForm(QWidget* parent = nullptr);
    // Adds a row; returns its value field. `labelWidget` (a button) stands in the label's place when given.
    QLineEdit* AddRow(const InfoField& field, bool enabled = true, QWidget* labelWidget = nullptr);
    // Writes the values (UTF-8) into the fields added for the same rows.
    void SetValues(const std::vector<InfoField>& fields);
    QLineEdit* Field(const QString& label) const;
    // Rows closer together, for forms of many fields.
    void SetRowSpacing(int pixels);

  private:
    QGridLayout* m_grid;
    std::vector<std::pair<QString, QLineEdit*>> m_fields;
    std::vector<QLineEdit*> m_beside;
};

// The OK button at the bottom right that closes `dialog`, added to `layout`.
void AddOkButton(QDialog* dialog, QBoxLayout* layout);

// The "Identifier", "Date and Time", "LBN", "Size" block at the top of every information dialog.
InfoForm* MakeInfoHeader(const std::vector<InfoField>& header, QWidget* parent);

// Lays `dialog` out as the one-group information dialogs are: caption `title`, the header block, the group
// box `title` holding `fields`, then OK.
void LayOutInfoDialog(QDialog* dialog, const QString& title, const std::vector<InfoField>& header,
                      InfoForm* fields);
