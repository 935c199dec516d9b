// One window for every image: the running copy listens on a local socket beside its instance lock, and a
// second copy hands it the images it was started with (or only asks it to come to the front) and ends.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

namespace ckvd::ui {

// The running copy's end. The request is lines, each an image's absolute path (UTF-8, percent-encoded), ended
// by an empty line; the answer is "ok" once the request was whole, and `opened` follows from the event loop.
class HandoverServer final : public QObject {
  public:
    // `opened` gets the images a second copy was started with (none: it only asks for the window).
    explicit HandoverServer(std::function<void(const QStringList&)> opened);
    // Listens at `path`. Only the copy that holds the instance lock calls it, so a socket file left there
    // by a copy that crashed is removed first. False (with the reason in `error`) when it cannot listen.
    bool Listen(const QString& path, QString* error);

  private:
    void Serve();
    std::function<void(const QStringList&)> m_opened;
    QLocalServer m_server;
};

// The second copy's end: hands `images` (absolute paths) over to the copy listening at `path` and waits for
// its answer. False (with the reason in `error`) when no copy answered within `timeoutMs`.
bool Handover_Send(const QString& path, const QStringList& images, QString* error, int timeoutMs = 5000);

} // namespace ckvd::ui
