#pragma once
// Asynchronous reads of a location (http, https, file address or local path) into memory, keyed
// by a property name, over Qt Network. This is the control host's asynchronous-read service.
//
// Contract:
//  - start() never calls back from inside itself; the outcome arrives later from the event loop
//    of the thread that owns the reader: onComplete with the data, or onProgress with status 0
//    when the read failed (unknown scheme, network or HTTP error, timeout, too much data).
//  - A new read under a property name replaces (cancels) a read still running under it.
//  - cancel() stops a read; nothing is reported for it afterwards.
//  - Data is taken as it arrives. A read is stopped and reported as failed as soon as more than
//    maxBytes() (the memory budget unless set) have arrived, when its first bytes fail the
//    head check, or when it has not ended by its deadline (none unless set).
//  - A local location (a path or a file address) must name a regular file, checked without a
//    blocking open: a named pipe, a device or a folder cannot be read (start gives false).
//  - Answers from the network go to a disk cache in the user's cache folder. A read started
//    with kReadCachedCopyWhenOffline that fails for a network reason (no connection, host not
//    found, timeout) delivers the cached copy instead, when there is one.
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "anigif/control_host.h"
#include "platform/memory_budget.h"

class QNetworkAccessManager;
class QNetworkReply;

namespace platform::qt {

class AsyncReader : public QObject {
    Q_OBJECT
  public:
    // Status codes of onProgress.
    static constexpr int32_t kStatusFailed = 0;
    static constexpr int32_t kStatusReceiving = 1;
    // Read option: take the cached copy when the network fails.
    static constexpr int32_t kReadCachedCopyWhenOffline = ControlHost::kReadCachedCopyWhenOffline;

    // `keeper` holds `data` readable and unchanged for as long as anyone keeps it, so that the
    // data can be kept where it arrived rather than copied.
    using CompleteHandler =
        std::function<void(std::string_view propertyName, std::span<const uint8_t> data,
                           int64_t bytesRead, std::shared_ptr<const void> keeper)>;
    using ProgressHandler =
        std::function<void(std::string_view propertyName, int32_t status, int64_t bytesRead)>;

    explicit AsyncReader(QObject* parent = nullptr);
    ~AsyncReader() override;

    CompleteHandler onComplete;
    ProgressHandler onProgress;

    // Starts reading `target`. False when the target is empty or not a location this reader
    // can read (then nothing is reported later). `readOption` holds the read option bits.
    bool start(std::string_view target, std::string_view propertyName, int32_t readOption);
    void cancel(std::string_view propertyName);
    // Reads still running.
    int pending() const { return static_cast<int>(replies_.size()); }

    int64_t maxBytes() const { return maxBytes_; }
    void setMaxBytes(int64_t bytes) { maxBytes_ = bytes; }
    // Milliseconds without progress after which a read fails (0 = Qt's default, none).
    void setTransferTimeout(int ms) { timeoutMs_ = ms; }
    // Milliseconds from its start by which a read must have ended (0 = none).
    int64_t deadline() const { return deadlineMs_; }
    void setDeadline(int64_t ms) { deadlineMs_ = ms < 0 ? 0 : ms; }
    // A check of a read's first `bytes` bytes (or all of a shorter read); null takes any.
    using HeadCheck = bool (*)(std::span<const uint8_t> head);
    void setHeadCheck(int32_t bytes, HeadCheck check) {
        headBytes_ = bytes;
        headCheck_ = check;
    }
    // All three as the control asks for them: its budget, its deadline and its signature check.
    void setLimits(const platform::ControlHost::AsyncReadLimits& limits) {
        setMaxBytes(limits.maxBytes);
        setDeadline(limits.deadlineMs);
        setHeadCheck(limits.headBytes, limits.acceptHead);
    }
    // The disk cache's folder; by default "network" in the user's cache folder. An empty one
    // turns the cache off. The folder is made at the first read that goes to the network.
    QString cacheDirectory() const { return cacheDirectory_; }
    void setCacheDirectory(const QString& directory);

  private:
    struct Read {
        QNetworkReply* reply = nullptr;
        QByteArray data;
        bool headChecked = false;
    };
    void finished(QNetworkReply* reply);
    // Takes what has arrived; false when the read was stopped for it.
    bool take(Read& read);
    Read* find(const QNetworkReply* reply);
    bool headAccepted(const QByteArray& data) const;
    // The cache, made on first use; null when turned off.
    void ensureCache();
    // The cached answer for the reply's location, or an empty array when there is none.
    QByteArray cachedCopy(const QNetworkReply* reply) const;
    void report(const std::string& propertyName, int32_t status, int64_t bytes);

    QNetworkAccessManager* network_;
    std::map<std::string, Read, std::less<>> replies_;
    int64_t maxBytes_ = static_cast<int64_t>(memoryBudgetBytes());
    int timeoutMs_ = 30000;
    int64_t deadlineMs_ = 0;
    int32_t headBytes_ = 0;
    HeadCheck headCheck_ = nullptr;
    QString cacheDirectory_;
    bool cacheMade_ = false;
};

}  // namespace platform::qt
