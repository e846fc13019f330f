// Helpers shared by the Qt tests: fast timings, answering modal dialogs from
// a queued call, a gate that holds a job at a known point, real files, and a
// second process that holds a data file's lock.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

#include "shell/ShellSettings.h"
#include "tests/support/RealFiles.h"

namespace qttest {

// The program's timings cut short so that a flow takes milliseconds.
inline shell::Timings FastTimings() {
  shell::Timings t;
  t.analysisPollMs = 20;
  t.analysisProgressMs = 10;
  t.gridProgressMs = 10;
  t.progressEndHoldMs = 5;
  t.progressEndShowMs = 5;
  t.splashMs = 0;
  t.commandUpdateMs = 10;
  t.gridStopShowMs = 5;
  t.saveCloseTimerMs = 20;
  t.savePaced = false;
  return t;
}

// Runs `act` on the first modal dialog of type T once it is up: the call is
// queued now and carried out by the dialog's own event loop. Gives up after
// `timeoutMs`, setting `*missed` when given.
template <typename T>
void WhenModal(std::function<void(T*)> act, int timeoutMs = 10000, bool* missed = nullptr) {
  auto* poll = new QTimer;
  auto* clock = new QElapsedTimer;
  clock->start();
  poll->setInterval(5);
  QObject::connect(poll, &QTimer::timeout, [poll, clock, act, timeoutMs, missed] {
    if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
      poll->stop();
      poll->deleteLater();
      delete clock;
      act(dialog);
    } else if (clock->elapsed() > timeoutMs) {
      poll->stop();
      poll->deleteLater();
      delete clock;
      if (missed) *missed = true;
    }
  });
  poll->start();
}

// Holds a job that reports progress: the first report waits at the gate until
// the test opens it.
class Gate {
 public:
  void WaitHere() {
    if (passed_.exchange(true)) return;
    std::unique_lock lock(mutex_);
    reached_ = true;
    wake_.wait(lock, [this] { return open_; });
  }
  bool Reached() {
    std::lock_guard lock(mutex_);
    return reached_;
  }
  void Open() {
    {
      std::lock_guard lock(mutex_);
      open_ = true;
    }
    wake_.notify_all();
  }
  ~Gate() { Open(); }

 private:
  std::atomic<bool> passed_{false};
  std::mutex mutex_;
  std::condition_variable wake_;
  bool reached_ = false;
  bool open_ = false;
};

// The path of a real data file, read in place; a missing folder or file is
// an error, never a skip.
inline QString RealFile(const std::string& name) {
  return QString::fromStdString(mdftest::RealMdf(name));
}

// Another process holding a data file's lock, as a running server would: the
// test program started again with --hold-lock PATH. It holds the lock until
// it is stopped.
class LockHolder {
 public:
  bool Start(const QString& path) {
    process_.setProgram(QCoreApplication::applicationFilePath());
    process_.setArguments({QStringLiteral("--hold-lock"), path});
    process_.start();
    if (!process_.waitForStarted(5000)) return false;
    // It says so once the lock is held.
    while (!process_.canReadLine()) {
      if (!process_.waitForReadyRead(5000)) return false;
    }
    return process_.readLine().trimmed() == "locked";
  }
  ~LockHolder() {
    process_.closeWriteChannel();
    if (!process_.waitForFinished(5000)) process_.kill();
  }

 private:
  QProcess process_;
};

// The other side of LockHolder, called from the test program's main().
int HoldLockMain(const char* path);

}  // namespace qttest

// A test program's main(): the lock-holding mode, or the tests.
#define MENDORA_QTEST_MAIN(TestClass)                         \
  int main(int argc, char** argv) {                           \
    if (argc == 3 && std::string(argv[1]) == "--hold-lock") { \
      return qttest::HoldLockMain(argv[2]);                   \
    }                                                         \
    QApplication app(argc, argv);                             \
    TestClass tests;                                          \
    return QTest::qExec(&tests, argc, argv);                  \
  }
