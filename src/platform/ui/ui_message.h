// Message boxes on screen: caption "CKVD Explorer", OK, the exclamation icon.
#pragma once

#include <QMessageBox>
#include <QWidget>
#include <memory>

#include "appmodel/message_sink.h"

namespace ckvd::ui {

// The box a message is shown in (the text in UTF-8 as Qt holds it), not yet shown.
std::unique_ptr<QMessageBox> MakeMessageBox(const QString& text, QWidget* owner);

class QtMessageSink final : public MessageSink {
  public:
    explicit QtMessageSink(QWidget* owner = nullptr) : m_owner(owner) {}
    void SetOwner(QWidget* owner) { m_owner = owner; }
    void Show(const std::string& sjisText) override;
    void ShowUtf8(const std::string& utf8Text) override;

  private:
    QWidget* m_owner;
};

// For runs without interaction (--screenshot): the message goes to standard error and is kept.
class StderrSink final : public MessageSink {
  public:
    void Show(const std::string& sjisText) override;
    void ShowUtf8(const std::string& utf8Text) override;
    std::vector<std::string> shown;
};

} // namespace ckvd::ui
