#include "desktop/mediainfo/info_dialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "platform/ui/ui_text.h"

InfoForm::InfoForm(QWidget* parent) : QWidget(parent), m_grid(new QGridLayout(this)) {
    m_grid->setContentsMargins(0, 0, 0, 0);
    m_grid->setColumnStretch(1, 1);
}

QLineEdit* InfoForm::AddRow(const InfoField& field, bool enabled, QWidget* labelWidget) {
    const int row = m_grid->rowCount();
    QWidget* label = labelWidget ? labelWidget : new QLabel(ckvd::ui::ShownCaption(field.label), this);
    auto* value = new QLineEdit(this);
    value->setReadOnly(true);
    value->setMinimumWidth(value->fontMetrics().averageCharWidth() * 18);
    label->setEnabled(enabled);
    value->setEnabled(enabled);
    m_grid->addWidget(label, row, 0);
    m_grid->addWidget(value, row, 1);
    QLineEdit* beside = nullptr;
    if (!field.beside.empty()) {
        beside = new QLineEdit(this);
        beside->setReadOnly(true);
        beside->setFixedWidth(beside->fontMetrics().horizontalAdvance("00 00") + 16);
        m_grid->addWidget(beside, row, 2);
    } else if (!field.unit.empty()) {
        m_grid->addWidget(new QLabel(QString::fromStdString(field.unit), this), row, 2);
    }
    m_fields.emplace_back(QString::fromStdString(field.label), value);
    m_beside.push_back(beside);
    return value;
}

void InfoForm::SetValues(const std::vector<InfoField>& fields) {
    for (size_t i = 0; i < fields.size() && i < m_fields.size(); ++i) {
        QLineEdit* edit = m_fields[i].second;
        const QString text = QString::fromStdString(fields[i].value);
        edit->setText(text);
        edit->setCursorPosition(0);
        // A value shows whole up to a width that keeps the dialog on a small screen; longer ones scroll.
        const int wanted = std::min(edit->fontMetrics().horizontalAdvance(text) + 16, 420);
        if (wanted > edit->minimumWidth())
            edit->setMinimumWidth(wanted);
        if (m_beside[i])
            m_beside[i]->setText(QString::fromStdString(fields[i].beside));
    }
}

void InfoForm::SetRowSpacing(int pixels) {
    m_grid->setVerticalSpacing(pixels);
}

QLineEdit* InfoForm::Field(const QString& label) const {
    for (const auto& [name, edit] : m_fields)
        if (name == label)
            return edit;
    return nullptr;
}

void AddOkButton(QDialog* dialog, QBoxLayout* layout) {
    auto* ok = new QPushButton("OK", dialog);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    layout->addLayout(buttons);
}

InfoForm* MakeInfoHeader(const std::vector<InfoField>& header, QWidget* parent) {
    auto* form = new InfoForm(parent);
    for (const InfoField& f : header)
        form->AddRow(f);
    form->SetValues(header);
    return form;
}

void LayOutInfoDialog(QDialog* dialog, const QString& title, const std::vector<InfoField>& header,
                      InfoForm* fields) {
    dialog->setWindowTitle(title);
    dialog->setModal(true);
    auto* box = new QGroupBox(title, dialog);
    auto* boxLayout = new QVBoxLayout(box);
    boxLayout->addWidget(fields);
    boxLayout->addStretch(1);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(MakeInfoHeader(header, dialog));
    layout->addWidget(box, 1);
    AddOkButton(dialog, layout);
}
