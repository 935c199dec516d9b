// The single-instance guard: the lock file "CKVDExpInstance.lock" in $XDG_RUNTIME_DIR.
#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

#include "platform/ui/instance_guard.h"

namespace ckvd::ui {

class LockFileGuard final : public InstanceGuard {
  public:
    // `directory` empty: $XDG_RUNTIME_DIR (the temporary directory when it is unset).
    explicit LockFileGuard(const QString& directory = QString());
    ~LockFileGuard() override;
    bool Acquire() override;
    void Release() override;
    bool Held() const { return m_held; }
    QString Path() const { return m_path; }
    // Where the copy that holds the guard listens for a second copy's images: beside the lock.
    QString SocketPath() const { return m_socketPath; }

  private:
    QString m_path;
    QString m_socketPath;
    std::unique_ptr<QLockFile> m_lock;
    bool m_held = false;
};

} // namespace ckvd::ui
