#include "platform/ui/ui_instance.h"

#include <QDir>

namespace ckvd::ui {

LockFileGuard::LockFileGuard(const QString& directory) {
    QString dir = directory;
    if (dir.isEmpty())
        dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty())
        dir = QDir::tempPath();
    m_path = dir + "/CKVDExpInstance.lock";
    m_socketPath = dir + "/CKVDExpInstance.socket";
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
