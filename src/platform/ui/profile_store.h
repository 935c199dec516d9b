// The per-user profile: integer values of the section "CkvdExplorer Settings".
#pragma once

#include <map>
#include <string>

namespace ckvd::ui {

class ProfileStore {
  public:
    virtual ~ProfileStore() = default;
    virtual int GetInt(const std::string& key, int defaultValue) = 0;
    virtual void WriteInt(const std::string& key, int value) = 0;
};

// A profile that lives in memory only.
class MemoryProfile final : public ProfileStore {
  public:
    int GetInt(const std::string& key, int defaultValue) override {
        auto it = values.find(key);
        return it == values.end() ? defaultValue : it->second;
    }
    void WriteInt(const std::string& key, int value) override { values[key] = value; }
    std::map<std::string, int> values;
};

} // namespace ckvd::ui
