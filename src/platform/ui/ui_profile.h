// The profile file: QSettings on $XDG_CONFIG_HOME/ckvd-explorer/profile.ini, section [CkvdExplorer Settings].
#pragma once

#include <QSettings>
#include <QString>
#include <memory>

#include "appmodel/profile_store.h"

namespace ckvd::ui {

class IniProfile final : public ProfileStore {
  public:
    // `path` empty: the per-user profile file.
    explicit IniProfile(const QString& path = QString());
    int GetInt(const std::string& key, int defaultValue) override;
    // Written to disk at once, atomically (a new file renamed over the old one).
    void WriteInt(const std::string& key, int value) override;
    std::string GetString(const std::string& section, const std::string& key) override;
    void WriteString(const std::string& section, const std::string& key, const std::string& value) override;

    QString FileName() const { return m_settings->fileName(); }
    std::string FilePath() const override { return FileName().toStdString(); }
    static QString DefaultPath();

  private:
    std::unique_ptr<QSettings> m_settings;
};

} // namespace ckvd::ui
