#include "platform/ui/ui_profile.h"

#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QStandardPaths>
#include <QTextStream>

#include "res/app_strings.h"

namespace ckvd::ui {

namespace {

// QSettings' own INI format escapes the space of "CkvdExplorer Settings"; this one keeps section and value
// names as they are, so the file reads as the profile it stands for.
bool ReadIni(QIODevice& device, QSettings::SettingsMap& map) {
    QString section;
    QTextStream in(&device);
    while (!in.atEnd()) {
        QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[') && line.endsWith(']')) {
            section = line.mid(1, line.size() - 2);
            continue;
        }
        qsizetype eq = line.indexOf('=');
        if (eq <= 0)
            continue;
        QString key = line.left(eq).trimmed();
        QString value = line.mid(eq + 1).trimmed();
        map.insert(section.isEmpty() ? key : section + '/' + key, value);
    }
    return true;
}

bool WriteIni(QIODevice& device, const QSettings::SettingsMap& map) {
    QTextStream out(&device);
    QString current;
    bool first = true;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        qsizetype slash = it.key().lastIndexOf('/');
        QString section = slash < 0 ? QString() : it.key().left(slash);
        QString key = slash < 0 ? it.key() : it.key().mid(slash + 1);
        if (first || section != current) {
            if (!first)
                out << '\n';
            out << '[' << section << "]\n";
            current = section;
            first = false;
        }
        out << key << '=' << it.value().toString() << '\n';
    }
    return out.status() == QTextStream::Ok;
}

QSettings::Format ProfileFormat() {
    static const QSettings::Format format = QSettings::registerFormat("ini", ReadIni, WriteIni);
    return format;
}

} // namespace

QString IniProfile::DefaultPath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + "/.config";
    return base + "/ckvd-explorer/profile.ini";
}

IniProfile::IniProfile(const QString& path) {
    QString file = path.isEmpty() ? DefaultPath() : path;
    QDir().mkpath(QFileInfo(file).absolutePath());
    m_settings = std::make_unique<QSettings>(file, ProfileFormat());
    m_settings->setAtomicSyncRequired(true);
}

int IniProfile::GetInt(const std::string& key, int defaultValue) {
    QVariant v = m_settings->value(QString(IDS_PROFILE_KEY) + '/' + QString::fromStdString(key));
    bool ok = false;
    int n = v.toString().toInt(&ok);
    return ok ? n : defaultValue;
}

void IniProfile::WriteInt(const std::string& key, int value) {
    m_settings->setValue(QString(IDS_PROFILE_KEY) + '/' + QString::fromStdString(key),
                         QString::number(value));
    m_settings->sync();
}

std::string IniProfile::GetString(const std::string& section, const std::string& key) {
    QVariant v = m_settings->value(QString::fromStdString(section) + '/' + QString::fromStdString(key));
    return v.toString().toStdString();
}

void IniProfile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    const QString name = QString::fromStdString(section) + '/' + QString::fromStdString(key);
    if (value.empty())
        m_settings->remove(name);
    else
        m_settings->setValue(name, QString::fromStdString(value));
    m_settings->sync();
}

} // namespace ckvd::ui
