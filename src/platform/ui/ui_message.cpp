#include "platform/ui/ui_message.h"

#include <QMessageBox>
#include <cstdio>

#include "platform/ui/ui_text.h"
#include "res/app_strings.h"

namespace ckvd::ui {

std::unique_ptr<QMessageBox> MakeMessageBox(const QString& text, QWidget* owner) {
    return std::make_unique<QMessageBox>(QMessageBox::Warning, IDS_APP_TITLE, text, QMessageBox::Ok, owner);
}

namespace {

void ShowBox(const QString& text, QWidget* owner) {
    MakeMessageBox(text, owner)->exec();
}

} // namespace

void QtMessageSink::Show(const std::string& sjisText) {
    ShowBox(SjisToQString(sjisText), m_owner);
}

void QtMessageSink::ShowUtf8(const std::string& utf8Text) {
    ShowBox(QString::fromStdString(utf8Text), m_owner);
}

void StderrSink::Show(const std::string& sjisText) {
    ShowUtf8(SjisToQString(sjisText).toStdString());
}

void StderrSink::ShowUtf8(const std::string& utf8Text) {
    shown.push_back(utf8Text);
    std::fprintf(stderr, "ckvd-explorer: %s\n", utf8Text.c_str());
}

} // namespace ckvd::ui
