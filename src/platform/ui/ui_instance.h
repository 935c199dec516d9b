// The single-instance guard of one user session: a lock file in $XDG_RUNTIME_DIR whose name holds the user,
// the display and the profile directory, so a copy on another display, of another user or with another
// profile is a first copy of its own.
#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

#include "appmodel/instance_guard.h"

namespace ckvd::ui {

// "CKVDExpInstance-USER-DISPLAY-HASH": the user's login name (or uid), the display ("wayland-0", ":57", or
// the platform's name where there is none, such as "offscreen") and a hash of the profile directory's
// path; the first two are hashed too where they would make the name long.
QString Instance_Name(const QString& user, const QString& display, const QString& profileDirectory);
// The name for this process: its user, the display of the running QGuiApplication's platform and the
// directory of the profile it reads.
QString Instance_CurrentName();

class LockFileGuard final : public InstanceGuard {
  public:
    // `directory` empty: $XDG_RUNTIME_DIR (the temporary directory when it is unset); `name` empty: this
    // session's (Instance_CurrentName).
    explicit LockFileGuard(const QString& directory = QString(), const QString& name = QString());
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
