#include "appmodel/recent_images.h"

#include <algorithm>

namespace {

std::string ValueName(int i) {
    return "Image" + std::to_string(i + 1);
}

// A profile line holds one value: a path with a line break or blanks at either end would not read back.
bool Storable(const std::string& path) {
    if (path.empty() || path.front() == ' ' || path.back() == ' ')
        return false;
    return std::none_of(path.begin(), path.end(), [](char c) { return c == '\n' || c == '\r'; });
}

} // namespace

RecentImages::RecentImages(ckvd::ui::ProfileStore& profile) : m_profile(profile) {
    for (int i = 0; i < kMax; ++i) {
        std::string path = m_profile.GetString(kSection, ValueName(i));
        if (Storable(path) && std::find(m_paths.begin(), m_paths.end(), path) == m_paths.end())
            m_paths.push_back(std::move(path));
    }
}

void RecentImages::Add(std::string path) {
    if (!Storable(path))
        return;
    std::erase(m_paths, path);
    m_paths.insert(m_paths.begin(), std::move(path));
    if (m_paths.size() > static_cast<size_t>(kMax))
        m_paths.resize(kMax);
    Write();
}

void RecentImages::Remove(std::string path) {
    if (std::erase(m_paths, path))
        Write();
}

void RecentImages::Write() {
    // Each write saves the profile file: only the values that change are written.
    for (int i = 0; i < kMax; ++i) {
        const std::string value =
            static_cast<size_t>(i) < m_paths.size() ? m_paths[static_cast<size_t>(i)] : "";
        if (m_profile.GetString(kSection, ValueName(i)) != value)
            m_profile.WriteString(kSection, ValueName(i), value);
    }
}
