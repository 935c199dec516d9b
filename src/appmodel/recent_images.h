// The recent-images list of the File menu: the last eight disc images opened, newest first, kept in the
// profile section "Recent Images" as "Image1".."Image8".
#pragma once

#include <string>
#include <vector>

#include "appmodel/profile_store.h"

class RecentImages {
  public:
    static constexpr int kMax = 8;
    static constexpr const char* kSection = "Recent Images";

    explicit RecentImages(ckvd::ui::ProfileStore& profile);

    const std::vector<std::string>& Paths() const { return m_paths; }
    // Puts `path` first (once), drops the oldest past eight and writes the list.
    void Add(std::string path);
    // Takes `path` off the list and writes it. (Both take a copy: the path may be one of the list's own.)
    void Remove(std::string path);

  private:
    void Write();

    ckvd::ui::ProfileStore& m_profile;
    std::vector<std::string> m_paths;
};
