// CKVDAppDoc's content: no data, only the title and the hub from the tree to the list.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class CKVDAppDocModel {
  public:
    // The list's update (sender present, hint number).
    std::function<void(bool fromView, uint32_t hint)> updateListView;
    // Called when the title changes.
    std::function<void(const std::string&)> titleChanged;

    void UpdateAllViews(bool fromView, uint32_t hint) {
        if (updateListView)
            updateListView(fromView, hint);
    }
    void SetTitle(const std::string& title) {
        m_title = title;
        if (titleChanged)
            titleChanged(m_title);
    }
    const std::string& Title() const { return m_title; }

  private:
    std::string m_title;
};
