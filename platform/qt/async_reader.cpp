#include "platform/qt/async_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QIODevice>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <QtGlobal>
#include <algorithm>
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

// Reply properties: the read option the read was started with, and whether the reader stopped it
// (for what it delivered, or for running past its deadline).
constexpr char kReadOptionProperty[] = "readOption";
constexpr char kStoppedProperty[] = "stoppedByReader";

// Failures of the network itself (connection, host lookup, timeout, proxy), as opposed to an
// answer the server gave or a read the reader stopped.
bool networkFailed(const QNetworkReply* reply) {
    if (reply->property(kStoppedProperty).toBool()) return false;
    const int code = reply->error();
    return code > QNetworkReply::NoError && code < QNetworkReply::ContentAccessDenied;
}

// A local file the reader may open: a regular file, told without a blocking open (a named pipe
// opened for reading waits for a writer) and within `most` bytes.
bool readableLocalFile(const QUrl& url, int64_t most) {
    const QByteArray path = QFile::encodeName(url.toLocalFile());
    if (path.isEmpty()) return false;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return false;
    struct stat info {};
    const bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= most;
    ::close(fd);
    return ok;
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
    for (auto& [name, read] : replies_) {
        read.reply->disconnect(this);
        read.reply->abort();
        read.reply->deleteLater();
    }
    replies_.clear();
}

bool AsyncReader::start(std::string_view target, std::string_view propertyName,
                        int32_t readOption) {
    if (target.empty()) return false;
    const QUrl url = locationUrl(target);
    if (!url.isValid() || !readableScheme(url)) return false;
    if (url.isLocalFile() && !readableLocalFile(url, maxBytes_)) return false;
    cancel(propertyName);
    ensureCache();

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::PreferNetwork);
    if (timeoutMs_ > 0) request.setTransferTimeout(timeoutMs_);
    QNetworkReply* reply = network_->get(request);
    reply->setProperty(kReadOptionProperty, readOption);
    // Small: data waits in the reply only until the event loop hands it here.
    reply->setReadBufferSize(qint64{1} << 20);
    replies_.emplace(std::string(propertyName), Read{reply, {}, false});

    auto stop = [reply] {
        if (!reply->isRunning()) return;
        reply->setProperty(kStoppedProperty, true);
        reply->abort();
    };
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply, stop] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (!length.isValid()) return;
        const qint64 announced = length.toLongLong();
        if (announced > maxBytes_) return stop();
        Read* read = find(reply);
        if (read && announced > read->data.size()) read->data.reserve(announced);
    });
    connect(reply, &QIODevice::readyRead, this, [this, reply, stop] {
        Read* read = find(reply);
        if (read && !take(*read)) stop();
    });
    if (deadlineMs_ > 0) {
        auto* timer = new QTimer(reply);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, reply, stop);
        timer->start(static_cast<int>(std::min<int64_t>(deadlineMs_, INT32_MAX)));
    }
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finished(reply); });
    return true;
}

bool AsyncReader::headAccepted(const QByteArray& data) const {
    if (!headCheck_) return true;
    const auto size = static_cast<size_t>(std::min<qsizetype>(data.size(), headBytes_));
    return headCheck_(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(data.constData()), size));
}

AsyncReader::Read* AsyncReader::find(const QNetworkReply* reply) {
    for (auto& [name, read] : replies_)
        if (read.reply == reply) return &read;
    return nullptr;
}

bool AsyncReader::take(Read& read) {
    const qint64 available = read.reply->bytesAvailable();
    if (available <= 0) return true;
    if (available > maxBytes_ - read.data.size()) return false;
    read.data.append(read.reply->read(available));
    if (!read.headChecked && read.data.size() >= headBytes_) {
        read.headChecked = true;
        return headAccepted(read.data);
    }
    return true;
}

void AsyncReader::cancel(std::string_view propertyName) {
    auto it = replies_.find(propertyName);
    if (it == replies_.end()) return;
    QNetworkReply* reply = it->second.reply;
    replies_.erase(it);
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void AsyncReader::finished(QNetworkReply* reply) {
    reply->deleteLater();
    std::string name;
    bool known = false;
    Read read;
    for (auto it = replies_.begin(); it != replies_.end(); ++it) {
        if (it->second.reply == reply) {
            name = it->first;
            read = std::move(it->second);
            replies_.erase(it);
            known = true;
            break;
        }
    }
    if (!known) return;  // cancelled or replaced meanwhile: nothing to report
    bool delivered = reply->error() == QNetworkReply::NoError && take(read);
    QByteArray data;
    if (delivered) {
        data = std::move(read.data);
    } else if ((reply->property(kReadOptionProperty).toInt() & kReadCachedCopyWhenOffline) != 0 &&
               networkFailed(reply)) {
        data = cachedCopy(reply);
        delivered = !data.isEmpty();
    }
    // Whole data, a cached copy or a read shorter than the head, are checked as they stand.
    delivered = delivered && headAccepted(data);
    if (!delivered || data.size() > maxBytes_) {
        report(name, kStatusFailed, data.size());
        return;
    }
    // The data is handed over, not copied: whoever takes it keeps it with its keeper. Room
    // reserved beyond it is given back first.
    const auto held = std::make_shared<QByteArray>(std::move(data));
    if (held->capacity() - held->size() > held->size() / 16) held->squeeze();
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(held->constData()),
                                         static_cast<size_t>(held->size()));
    try {
        if (onComplete) onComplete(name, bytes, held->size(), held);
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
