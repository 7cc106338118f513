#pragma once
// One running copy per user. The first copy holds a lock file and listens on a local socket;
// a later copy finds the lock taken, tells the first to come forward and ends.
// A lock left behind by a killed copy is stale (its process is gone) and is taken over; when
// no lock can be made at all (temporary folder not writable) the copy runs.
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

namespace platform::qt {

class SingleInstance : public QObject {
    Q_OBJECT
  public:
    // `key` names the program; lock and socket live in the temporary folder (TMPDIR).
    explicit SingleInstance(const QString& key, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this copy holds the lock, i.e. it is the one that runs.
    bool isPrimary() const { return primary_; }
    // From a second copy: asks the running copy to bring its window forward. Best effort.
    void notifyPrimary() const;

  signals:
    // In the running copy, when a later copy asked it to come forward.
    void activationRequested();

  private:
    QString socketName_;
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QLocalServer> server_;
    bool primary_ = false;
};

}  // namespace platform::qt
