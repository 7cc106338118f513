#include "platform/qt/single_instance.h"

#include <QDir>
#include <QLocalSocket>

namespace platform::qt {

namespace {
QString userTag() {
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty()) user = qEnvironmentVariable("USERNAME", QStringLiteral("user"));
    // Keep the name safe as a file name whatever the environment holds.
    for (QChar& c : user) {
        if (!c.isLetterOrNumber()) c = QLatin1Char('_');
    }
    return user;
}
}  // namespace

SingleInstance::SingleInstance(const QString& key, QObject* parent) : QObject(parent) {
    const QString base = key + QLatin1Char('-') + userTag();
    socketName_ = QDir(QDir::tempPath()).filePath(base + QStringLiteral(".sock"));
    lock_ = std::make_unique<QLockFile>(
        QDir(QDir::tempPath()).filePath(base + QStringLiteral(".lock")));
    // tryLock removes a lock whose owning process no longer exists, so a killed copy never
    // blocks the next start.
    primary_ = lock_->tryLock(0);
    if (!primary_) {
        // Only a lock held by a live copy stops this one; a folder we cannot write to must not
        // keep the program from starting at all.
        if (lock_->error() == QLockFile::LockFailedError) return;
        primary_ = true;
    }

    server_ = std::make_unique<QLocalServer>();
    QLocalServer::removeServer(socketName_);  // a socket file left by a killed copy
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            socket->disconnectFromServer();
            emit activationRequested();
        }
    });
    // Without the socket the program still runs; it only cannot be brought forward.
    server_->listen(socketName_);
}

SingleInstance::~SingleInstance() {
    if (server_) server_->close();
    if (lock_ && primary_) lock_->unlock();
}

void SingleInstance::notifyPrimary() const {
    if (primary_) return;
    QLocalSocket socket;
    socket.connectToServer(socketName_);
    if (socket.waitForConnected(500)) socket.disconnectFromServer();
}

}  // namespace platform::qt
