#include "shell/SingleInstance.h"

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

namespace shell {
namespace {

constexpr char kRequest[] = "come-forward\n";
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

bool SingleInstance::BecomeTheRunningCopy() {
  QDir().mkpath(folder_);
  lock_ = std::make_unique<QLockFile>(Path("mendora.lock"));
  // A lock left by a copy that died is taken over (the lock names its process).
  lock_->setStaleLockTime(0);
  if (!lock_->tryLock(0)) {
    if (lock_->error() == QLockFile::LockFailedError) {
      lock_.reset();
      return false;
    }
    // No lock can be kept here: run, without the single-copy guard.
    lock_.reset();
    return true;
  }
  // We hold the lock, so a socket file left behind is stale.
  const QString socket = Path("mendora.socket");
  QLocalServer::removeServer(socket);
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  server_.listen(socket);
  return true;
}

bool SingleInstance::AskRunningCopyToComeForward() const {
  QLocalSocket socket;
  socket.connectToServer(Path("mendora.socket"));
  if (!socket.waitForConnected(kConnectWaitMs)) return false;
  socket.write(kRequest);
  const bool sent = socket.waitForBytesWritten(kConnectWaitMs);
  socket.disconnectFromServer();
  return sent;
}

bool SingleInstance::TakeNotice() {
  notice_ = std::make_unique<QLockFile>(Path("mendora-notice.lock"));
  notice_->setStaleLockTime(0);
  if (notice_->tryLock(0)) return true;
  const bool someoneElse = notice_->error() == QLockFile::LockFailedError;
  notice_.reset();
  return !someoneElse;
}

void SingleInstance::ReleaseNotice() { notice_.reset(); }

void SingleInstance::OnConnection() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      if (socket->readAll().contains("come-forward")) emit ComeForwardRequested();
    });
  }
}

}  // namespace shell
