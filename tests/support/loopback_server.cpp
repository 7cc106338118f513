#include "tests/support/loopback_server.h"

#include <QHostAddress>
#include <QList>
#include <QTcpSocket>
#include <QTimer>
#include <memory>

namespace giftest {

LoopbackServer::LoopbackServer() {
    QObject::connect(&server_, &QTcpServer::newConnection, [this] { accept(); });
    listening_ = server_.listen(QHostAddress::LocalHost, 0);
}

QUrl LoopbackServer::url(const QString& path) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path));
}

void LoopbackServer::accept() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            QByteArray& request = pending_[socket];
            request += socket->readAll();
            if (!request.contains("\r\n\r\n")) return;
            const QList<QByteArray> words = request.left(request.indexOf("\r\n")).split(' ');
            const QString path = words.size() > 1 ? QString::fromLatin1(words[1]) : QString();
            pending_.erase(socket);
            const auto it = answers_.find(path);
            const Answer answer = it != answers_.end() ? it->second : Answer{404, "none"};
            if (answer.everyMs > 0) return drip(socket, answer);
            socket->write(QStringLiteral("HTTP/1.1 %1 Answer\r\nContent-Type: image/gif\r\n"
                                         "Content-Length: %2\r\nConnection: close\r\n\r\n")
                              .arg(answer.status)
                              .arg(answer.body.size())
                              .toLatin1());
            socket->write(answer.body);
            socket->disconnectFromHost();
        });
    }
}

void LoopbackServer::drip(QTcpSocket* socket, const Answer& answer) {
    socket->write("HTTP/1.1 200 Answer\r\nContent-Type: image/gif\r\nConnection: close\r\n\r\n");
    auto* timer = new QTimer(socket);
    auto at = std::make_shared<qsizetype>(0);
    QObject::connect(timer, &QTimer::timeout, socket, [socket, answer, at, timer] {
        if (*at >= answer.body.size()) {
            if (!answer.endless) return timer->stop();
            *at = 0;
        }
        socket->write(answer.body.mid(*at, answer.piece));
        *at += answer.piece;
    });
    timer->start(answer.everyMs);
}

}  // namespace giftest
