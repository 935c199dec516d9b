#include "platform/ui/ui_message.h"

#include <QMessageBox>
#include <cstdio>

#include "platform/ui/ui_text.h"
#include "res/app_strings.h"

namespace ckvd::ui {

void QtMessageSink::Show(const std::string& sjisText) {
    QMessageBox box(QMessageBox::Warning, IDS_APP_TITLE, SjisToQString(sjisText), QMessageBox::Ok, m_owner);
    box.exec();
}

void StderrSink::Show(const std::string& sjisText) {
    shown.push_back(sjisText);
    std::fprintf(stderr, "ckvd-explorer: %s\n", SjisToQString(sjisText).toUtf8().constData());
}

} // namespace ckvd::ui
