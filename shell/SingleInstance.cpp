#include "shell/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>
#include <cerrno>

namespace shell {
namespace {

constexpr char kRequest[] = "come-forward\n";
constexpr char kOpenPrefix[] = "open:";
constexpr int kConnectWaitMs = 1000;

}  // namespace

SingleInstance::SingleInstance(QString folder, QObject* parent)
    : QObject(parent), folder_(std::move(folder)) {
  if (folder_.isEmpty()) {
    folder_ = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  }
  connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::Path(const char* name) const {
  return QDir(folder_).filePath(QString::fromLatin1(name));
}

SingleInstance::FileLock::FileLock(const QString& path) {
  fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) return;
  if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
    result_ = Result::kTaken;
    return;
  }
  result_ = errno == EWOULDBLOCK ? Result::kHeldElsewhere : Result::kUnavailable;
  ::close(fd_);
  fd_ = -1;
}

SingleInstance::FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);
}

bool SingleInstance::BecomeTheRunningCopy() {
  QDir().mkpath(folder_);
  lock_ = std::make_unique<FileLock>(Path("mendora.lock"));
  switch (lock_->result()) {
    case FileLock::Result::kHeldElsewhere:
      lock_.reset();
      return false;
    case FileLock::Result::kUnavailable:
      // No lock can be kept here: run, without the single-copy guard.
      lock_.reset();
      return true;
    case FileLock::Result::kTaken:
      break;
  }
  // We hold the lock, so a socket file left behind is stale.
  const QString socket = Path("mendora.socket");
  QLocalServer::removeServer(socket);
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  server_.listen(socket);
  return true;
}

bool SingleInstance::AskRunningCopyToComeForward(const QString& file) const {
  QLocalSocket socket;
  socket.connectToServer(Path("mendora.socket"));
  if (!socket.waitForConnected(kConnectWaitMs)) return false;
  QByteArray request(kRequest);
  if (!file.isEmpty()) request += kOpenPrefix + QFileInfo(file).absoluteFilePath().toUtf8() + '\n';
  socket.write(request);
  const bool sent = socket.waitForBytesWritten(kConnectWaitMs);
  socket.disconnectFromServer();
  return sent;
}

bool SingleInstance::TakeNotice() {
  notice_ = std::make_unique<FileLock>(Path("mendora-notice.lock"));
  const bool someoneElse = notice_->result() == FileLock::Result::kHeldElsewhere;
  if (notice_->result() != FileLock::Result::kTaken) notice_.reset();
  return !someoneElse;
}

void SingleInstance::ReleaseNotice() {
  notice_.reset();
}

void SingleInstance::OnConnection() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    // The request is read whole once the other copy has gone.
    connect(socket, &QLocalSocket::readyRead, this, [socket] {
      socket->setProperty("request", socket->property("request").toByteArray() + socket->readAll());
    });
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
      const QByteArray request = socket->property("request").toByteArray() + socket->readAll();
      if (!request.startsWith(kRequest)) return;
      emit ComeForwardRequested();
      for (const QByteArray& line : request.split('\n')) {
        if (line.startsWith(kOpenPrefix)) {
          emit OpenFileRequested(QString::fromUtf8(line.mid(int(sizeof(kOpenPrefix)) - 1)));
        }
      }
    });
  }
}

}  // namespace shell
