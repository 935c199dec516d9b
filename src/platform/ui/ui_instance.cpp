#include "platform/ui/ui_instance.h"

#include <pwd.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>

#include "platform/ui/ui_profile.h"

namespace ckvd::ui {

namespace {

// A unix socket's path holds at most 107 bytes: the name leaves room for a long runtime directory.
constexpr qsizetype kLongestReadable = 40;

QString Hash(const QString& text, int hexDigits) {
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex().left(hexDigits));
}

// Letters, digits and ". _ - :" as they are; anything else, which a file name may not hold or a reader
// would stumble on, as "_".
QString Plain(QString text) {
    static const QRegularExpression other("[^A-Za-z0-9._:-]");
    return text.replace(other, "_");
}

} // namespace

QString Instance_Name(const QString& user, const QString& display, const QString& profileDirectory) {
    const QString readable = Plain(user) + "-" + Plain(display);
    const QString profile = Hash(profileDirectory, 12);
    if (readable.size() > kLongestReadable || Plain(user) != user || Plain(display) != display)
        return "CKVDExpInstance-" + Hash(user + '\n' + display, 16) + "-" + profile;
    return "CKVDExpInstance-" + readable + "-" + profile;
}

QString Instance_CurrentName() {
    QString user;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_name)
        user = QString::fromLocal8Bit(pw->pw_name);
    if (user.isEmpty() || Plain(user) != user)
        user = "uid" + QString::number(getuid());
    // The display the window goes to: the X display without its screen, the Wayland socket, or the platform
    // itself where it has no display (offscreen, minimal).
    const QString platform = QGuiApplication::platformName();
    QString display = platform;
    if (platform.startsWith("xcb")) {
        display = qEnvironmentVariable("DISPLAY");
        static const QRegularExpression screen("\\.[0-9]+$");
        display.remove(screen);
    } else if (platform.startsWith("wayland")) {
        display = qEnvironmentVariable("WAYLAND_DISPLAY", "wayland-0");
    }
    return Instance_Name(user, display, QDir::cleanPath(QFileInfo(IniProfile::DefaultPath()).absolutePath()));
}

LockFileGuard::LockFileGuard(const QString& directory, const QString& name) {
    QString dir = directory;
    if (dir.isEmpty())
        dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty())
        dir = QDir::tempPath();
    const QString base = dir + "/" + (name.isEmpty() ? Instance_CurrentName() : name);
    m_path = base + ".lock";
    m_socketPath = base + ".socket";
    m_lock = std::make_unique<QLockFile>(m_path);
    // A lock left by a copy that crashed is taken over; a running copy's lock never goes stale.
    m_lock->setStaleLockTime(0);
}

LockFileGuard::~LockFileGuard() {
    Release();
}

bool LockFileGuard::Acquire() {
    if (m_held)
        return true;
    m_held = m_lock->tryLock(0);
    return m_held;
}

void LockFileGuard::Release() {
    if (!m_held)
        return;
    m_held = false;
    m_lock->unlock();
}

} // namespace ckvd::ui
