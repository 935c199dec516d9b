// The per-user profile: integer values of the section "CkvdExplorer Settings", and text values of other
// sections (the recent-images list).
#pragma once

#include <map>
#include <string>

namespace ckvd::ui {

class ProfileStore {
  public:
    virtual ~ProfileStore() = default;
    virtual int GetInt(const std::string& key, int defaultValue) = 0;
    virtual void WriteInt(const std::string& key, int value) = 0;
    // A text value of `section`; empty when it is not set. Writing an empty text removes the value.
    virtual std::string GetString(const std::string& section, const std::string& key) = 0;
    virtual void WriteString(const std::string& section, const std::string& key,
                             const std::string& value) = 0;
    // The file the profile lives in, which other programs (ckvd report) read and write too; empty for a
    // profile kept in memory.
    virtual std::string FilePath() const { return {}; }
};

// A profile that lives in memory only.
class MemoryProfile final : public ProfileStore {
  public:
    int GetInt(const std::string& key, int defaultValue) override {
        auto it = values.find(key);
        return it == values.end() ? defaultValue : it->second;
    }
    void WriteInt(const std::string& key, int value) override { values[key] = value; }
    std::string GetString(const std::string& section, const std::string& key) override {
        auto it = texts.find(section + '/' + key);
        return it == texts.end() ? std::string() : it->second;
    }
    void WriteString(const std::string& section, const std::string& key, const std::string& value) override {
        if (value.empty())
            texts.erase(section + '/' + key);
        else
            texts[section + '/' + key] = value;
    }
    std::map<std::string, int> values;
    std::map<std::string, std::string> texts; // "section/key"
};

} // namespace ckvd::ui
