// Where the program's message boxes go: a real box on screen, or a record for tests and batch runs.
#pragma once

#include <string>
#include <vector>

namespace ckvd::ui {

class MessageSink {
  public:
    virtual ~MessageSink() = default;
    // Shows `sjisText` in a box with the application title as caption, OK and the exclamation icon.
    virtual void Show(const std::string& sjisText) = 0;
    // The same for a text in UTF-8, such as a message naming a local file.
    virtual void ShowUtf8(const std::string& utf8Text) = 0;
};

// Keeps every message in order and shows nothing.
class RecordingSink final : public MessageSink {
  public:
    void Show(const std::string& sjisText) override { shown.push_back(sjisText); }
    void ShowUtf8(const std::string& utf8Text) override { shown.push_back(utf8Text); }
    std::vector<std::string> shown;
};

} // namespace ckvd::ui
