#include "platform/ui/ui_handover.h"

#include <QLocalSocket>

namespace ckvd::ui {

namespace {

// A request longer than this is no request of ours; the connection is dropped.
constexpr qint64 kLongestRequest = 1 << 20;

} // namespace

HandoverServer::HandoverServer(std::function<void(const QStringList&)> opened) : m_opened(std::move(opened)) {
    connect(&m_server, &QLocalServer::newConnection, this, &HandoverServer::Serve);
}

bool HandoverServer::Listen(const QString& path, QString* error) {
    QLocalServer::removeServer(path);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (m_server.listen(path))
        return true;
    if (error)
        *error = path + ": " + m_server.errorString();
    return false;
}

void HandoverServer::Serve() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            if (socket->bytesAvailable() > kLongestRequest) {
                socket->abort();
                return;
            }
            // Wait for the whole request: its end is an empty line.
            const QByteArray pending = socket->peek(socket->bytesAvailable());
            if (!pending.startsWith('\n') && !pending.contains("\n\n"))
                return;
            QStringList images;
            for (const QByteArray& line : socket->readAll().split('\n')) {
                if (line.isEmpty())
                    break;
                images << QString::fromUtf8(QByteArray::fromPercentEncoding(line));
            }
            // Answered before the images are opened: opening may ask the user something (the report offer)
            // and the second copy should not wait for that.
            socket->write("ok\n");
            socket->flush();
            socket->disconnectFromServer();
            QMetaObject::invokeMethod(
                this, [this, images] { m_opened(images); }, Qt::QueuedConnection);
        });
    }
}

bool Handover_Send(const QString& path, const QStringList& images, QString* error, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(timeoutMs)) {
        if (error)
            *error = socket.errorString();
        return false;
    }
    QByteArray request;
    for (const QString& image : images)
        request += image.toUtf8().toPercentEncoding() + '\n'; // a name may hold a line break
    request += '\n';
    socket.write(request);
    QByteArray answer;
    // The running copy answers once it has opened the image, which may take a while on a large disc.
    while (!answer.contains('\n') && socket.waitForReadyRead(timeoutMs))
        answer += socket.readAll();
    if (answer.startsWith("ok\n"))
        return true;
    if (error)
        *error = answer.isEmpty() ? "no answer" : QString::fromUtf8(answer).trimmed();
    return false;
}

} // namespace ckvd::ui
