#include "platform/qt/async_reader.h"

#include <QByteArray>
#include <QIODevice>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStandardPaths>
#include <QUrl>
#include <QtGlobal>
#include <exception>
#include <memory>

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

// Reply properties: the read option the read was started with, and whether the reader stopped
// it for delivering too much.
constexpr char kReadOptionProperty[] = "readOption";
constexpr char kTooLargeProperty[] = "stoppedAsTooLarge";

// Failures of the network itself (connection, host lookup, timeout, proxy), as opposed to an
// answer the server gave or a read the reader stopped.
bool networkFailed(const QNetworkReply* reply) {
    if (reply->property(kTooLargeProperty).toBool()) return false;
    const int code = reply->error();
    return code > QNetworkReply::NoError && code < QNetworkReply::ContentAccessDenied;
}

bool readableScheme(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
           scheme == QLatin1String("file");
}

}  // namespace

AsyncReader::AsyncReader(QObject* parent)
    : QObject(parent), network_(new QNetworkAccessManager(this)) {
    const QString userCache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (!userCache.isEmpty()) cacheDirectory_ = userCache + QStringLiteral("/network");
}

void AsyncReader::setCacheDirectory(const QString& directory) {
    cacheDirectory_ = directory;
    if (cacheMade_) network_->setCache(nullptr);  // the next read makes the new one
    cacheMade_ = false;
}

void AsyncReader::ensureCache() {
    if (cacheMade_) return;
    cacheMade_ = true;
    if (cacheDirectory_.isEmpty()) return;
    auto* cache = new QNetworkDiskCache;
    cache->setCacheDirectory(cacheDirectory_);
    network_->setCache(cache);  // the manager owns it
}

QByteArray AsyncReader::cachedCopy(const QNetworkReply* reply) const {
    QAbstractNetworkCache* cache = network_->cache();
    if (cache == nullptr) return {};
    for (const QUrl& url : {reply->request().url(), reply->url()}) {
        const std::unique_ptr<QIODevice> stored(cache->data(url));
        if (!stored) continue;
        if (stored->size() > maxBytes_) return {};
        return stored->readAll();
    }
    return {};
}

AsyncReader::~AsyncReader() {
    for (auto& [name, reply] : replies_) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    replies_.clear();
}

bool AsyncReader::start(std::string_view target, std::string_view propertyName,
                        int32_t readOption) {
    if (target.empty()) return false;
    const QUrl url = locationUrl(target);
    if (!url.isValid() || !readableScheme(url)) return false;
    cancel(propertyName);
    ensureCache();

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::PreferNetwork);
    if (timeoutMs_ > 0) request.setTransferTimeout(timeoutMs_);
    QNetworkReply* reply = network_->get(request);
    reply->setProperty(kReadOptionProperty, readOption);
    replies_.emplace(std::string(propertyName), reply);

    // Stop early when the announced or received size is beyond the limit.
    auto tooLarge = [this, reply](qint64 bytes) {
        if (bytes > maxBytes_ && reply->isRunning()) {
            reply->setProperty(kTooLargeProperty, true);
            reply->abort();
        }
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
    bool delivered = reply->error() == QNetworkReply::NoError;
    QByteArray data;
    if (delivered) {
        data = reply->readAll();
    } else if ((reply->property(kReadOptionProperty).toInt() & kReadCachedCopyWhenOffline) != 0 &&
               networkFailed(reply)) {
        data = cachedCopy(reply);
        delivered = !data.isEmpty();
    }
    if (!delivered || data.size() > maxBytes_) {
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
