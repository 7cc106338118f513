#include "platform/qt/async_reader.h"

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>
#include <QtGlobal>
#include <exception>

namespace platform::qt {
namespace {

// A location as the control's users write it: an address with a scheme, or a local path.
QUrl locationUrl(std::string_view target) {
    const QString text = QString::fromUtf8(target.data(), static_cast<qsizetype>(target.size()));
    QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || url.scheme().size() == 1) {
        // No scheme (or a drive letter): a path on this machine.
        url = QUrl::fromLocalFile(text);
    }
    return url;
}

bool readableScheme(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
           scheme == QLatin1String("file");
}

}  // namespace

AsyncReader::AsyncReader(QObject* parent)
    : QObject(parent), network_(new QNetworkAccessManager(this)) {}

AsyncReader::~AsyncReader() {
    for (auto& [name, reply] : replies_) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    replies_.clear();
}

bool AsyncReader::start(std::string_view target, std::string_view propertyName) {
    if (target.empty()) return false;
    const QUrl url = locationUrl(target);
    if (!url.isValid() || !readableScheme(url)) return false;
    cancel(propertyName);

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::PreferNetwork);
    if (timeoutMs_ > 0) request.setTransferTimeout(timeoutMs_);
    QNetworkReply* reply = network_->get(request);
    replies_.emplace(std::string(propertyName), reply);

    // Stop early when the announced or received size is beyond the limit.
    auto tooLarge = [this, reply](qint64 bytes) {
        if (bytes > maxBytes_ && reply->isRunning()) reply->abort();
    };
    connect(reply, &QNetworkReply::metaDataChanged, this, [reply, tooLarge] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid()) tooLarge(length.toLongLong());
    });
    connect(reply, &QNetworkReply::downloadProgress, this,
            [tooLarge](qint64 received, qint64) { tooLarge(received); });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finished(reply); });
    return true;
}

void AsyncReader::cancel(std::string_view propertyName) {
    auto it = replies_.find(propertyName);
    if (it == replies_.end()) return;
    QNetworkReply* reply = it->second;
    replies_.erase(it);
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void AsyncReader::finished(QNetworkReply* reply) {
    reply->deleteLater();
    std::string name;
    bool known = false;
    for (auto it = replies_.begin(); it != replies_.end(); ++it) {
        if (it->second == reply) {
            name = it->first;
            replies_.erase(it);
            known = true;
            break;
        }
    }
    if (!known) return;  // cancelled or replaced meanwhile: nothing to report
    const QByteArray data =
        reply->error() == QNetworkReply::NoError ? reply->readAll() : QByteArray();
    if (reply->error() != QNetworkReply::NoError || data.size() > maxBytes_) {
        report(name, kStatusFailed, data.size());
        return;
    }
    try {
        if (onComplete)
            onComplete(name,
                       std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(data.constData()),
                                                static_cast<size_t>(data.size())),
                       data.size());
    } catch (const std::exception& e) {
        qWarning("Asynchronous read: the completion handler failed: %s", e.what());
    } catch (...) {
        qWarning("Asynchronous read: the completion handler failed");
    }
}

void AsyncReader::report(const std::string& propertyName, int32_t status, int64_t bytes) {
    try {
        if (onProgress) onProgress(propertyName, status, bytes);
    } catch (const std::exception& e) {
        qWarning("Asynchronous read: the progress handler failed: %s", e.what());
    } catch (...) {
        qWarning("Asynchronous read: the progress handler failed");
    }
}

}  // namespace platform::qt
