// One running copy per user. The first copy holds a lock on a file in the
// user's runtime folder and listens on a local socket beside it; a later copy
// finds the lock held, asks the first copy through the socket to come
// forward, and ends. Only one later copy at a time tells the user so: it
// holds a second lock while its notice is on screen, and a copy that finds
// that lock held ends silently. The locks are the system's file locks, which
// end with the process that holds them, so a copy that died leaves nothing
// in the way.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <memory>

namespace shell {

class SingleInstance final : public QObject {
  Q_OBJECT

 public:
  // `folder` empty: the user's runtime folder.
  explicit SingleInstance(QString folder = QString(), QObject* parent = nullptr);
  ~SingleInstance() override;

  // True when this is the only running copy (it then keeps the lock and
  // listens); false when another copy holds the lock. A folder where no lock
  // can be kept lets the copy run.
  bool BecomeTheRunningCopy();
  // Asks the running copy to come forward and, with `file`, to open that data
  // file (as "Open with" from a file manager passes it); false when it could
  // not be reached.
  bool AskRunningCopyToComeForward(const QString& file = QString()) const;
  // The lock of the "already running" notice: true when this copy may show
  // it, which it then holds until ReleaseNotice() or its end.
  bool TakeNotice();
  void ReleaseNotice();

 signals:
  // Another copy was started and asks this one to come forward.
  void ComeForwardRequested();
  // It also names a data file to open (an absolute path).
  void OpenFileRequested(const QString& file);

 private:
  // An exclusive lock on a file, held while the object lives.
  class FileLock {
   public:
    enum class Result { kTaken, kHeldElsewhere, kUnavailable };
    explicit FileLock(const QString& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    Result result() const { return result_; }

   private:
    int fd_ = -1;
    Result result_ = Result::kUnavailable;
  };

  QString Path(const char* name) const;
  void OnConnection();

  QString folder_;
  std::unique_ptr<FileLock> lock_;
  std::unique_ptr<FileLock> notice_;
  QLocalServer server_;
};

}  // namespace shell
