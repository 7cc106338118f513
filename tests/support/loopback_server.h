#pragma once
// A small HTTP server on the loopback interface for the remote-loading tests. It runs on the
// event loop of the thread that made it, so a test serves while it waits (QTest::qWaitFor, or
// processing events while a child process runs), and answers GET requests from a table of paths:
// a status and a body, or a body that drips or never ends, as misbehaving servers send them.
#include <QByteArray>
#include <QString>
#include <QTcpServer>
#include <QUrl>
#include <map>
#include <string>

class QTcpSocket;

namespace giftest {

class LoopbackServer {
  public:
    struct Answer {
        int status = 200;
        QByteArray body;
        // A misbehaving server: the body in pieces of `piece` bytes, one every `everyMs`, with
        // no length announced; `endless` starts it over for ever.
        int everyMs = 0;
        int piece = 1;
        bool endless = false;
    };

    LoopbackServer();
    bool listening() const { return listening_; }
    // Stops listening: later connections are refused, as when the network is gone.
    void close() { server_.close(); }
    // Paths without an answer get 404.
    void set(const QString& path, Answer answer) { answers_[path] = std::move(answer); }
    void set(const QString& path, QByteArray body) { set(path, Answer{200, std::move(body)}); }
    QUrl url(const QString& path) const;
    // The same as text, as the control's LoadAnimatedGIF_Remote takes it.
    std::string address(const QString& path) const { return url(path).toString().toStdString(); }

  private:
    void accept();
    void drip(QTcpSocket* socket, const Answer& answer);

    QTcpServer server_;
    bool listening_ = false;
    std::map<QString, Answer> answers_;
    std::map<QTcpSocket*, QByteArray> pending_;
};

}  // namespace giftest
