#include "shell/JobThread.h"

#include <QCoreApplication>
#include <QThread>
#include <exception>

namespace shell {

JobThread::JobThread(QObject* parent) : QObject(parent) {}

JobThread::~JobThread() {
  Shutdown();
}

bool JobThread::Start(Body body, EndHandler onEnd) {
  if (set_) return false;
  control_ = std::make_shared<mendora::BasicJobControl>();
  onEnd_ = std::move(onEnd);
  jobGeneration_ = ++generation_;
  const uint64_t jobId = ++jobId_;
  set_ = true;
  threadEnded_ = false;
  thread_ = std::thread(&JobThread::Run, this, std::move(body), control_, jobId);
  return true;
}

void JobThread::Hold() {
  if (set_) control_->Hold();
}

void JobThread::Release() {
  if (set_) control_->Release();
}

void JobThread::Stop() {
  if (!set_) return;
  ++generation_;
  control_->Stop();
}

void JobThread::Shutdown() {
  if (!set_) return;
  Stop();
  shuttingDown_ = true;
  // The job may be waiting for a window call; carrying the calls out here
  // (each one is dropped: the job is stopped) lets it run on to its end.
  while (!threadEnded_.load()) {
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (thread_.joinable()) thread_.join();
  set_ = false;
  shuttingDown_ = false;
  onEnd_ = nullptr;
}

void JobThread::OnWindowThread(const std::function<void()>& call) {
  const uint64_t stamp = jobGeneration_;
  bool carriedOut = false;
  std::exception_ptr failure;
  auto onWindow = [&] {
    if (stamp != generation_) return;  // a stopped job's call
    carriedOut = true;
    try {
      call();
    } catch (...) {
      failure = std::current_exception();
    }
  };
  if (QThread::currentThread() == thread()) {
    onWindow();
  } else {
    QMetaObject::invokeMethod(this, onWindow, Qt::BlockingQueuedConnection);
  }
  if (failure) std::rethrow_exception(failure);
  if (!carriedOut) throw mendora::JobStopped();
}

void JobThread::Run(Body body, std::shared_ptr<mendora::BasicJobControl> control, uint64_t jobId) {
  Result result;
  try {
    body(*this);
    // A job stopped after its last checkpoint has still been stopped.
    if (control->Stopped()) result.outcome = Outcome::kStopped;
  } catch (const mendora::JobStopped&) {
    result.outcome = Outcome::kStopped;
  } catch (const std::exception& e) {
    result = {Outcome::kFailed, e.what()};
  } catch (...) {
    result = {Outcome::kFailed, "unknown failure"};
  }
  QMetaObject::invokeMethod(
      this, [this, jobId, result] { HandleEnd(jobId, result); }, Qt::QueuedConnection);
  threadEnded_ = true;
}

void JobThread::HandleEnd(uint64_t jobId, const Result& result) {
  if (!set_ || shuttingDown_ || jobId != jobId_) return;  // shut down meanwhile
  if (thread_.joinable()) thread_.join();
  set_ = false;
  EndHandler onEnd = std::move(onEnd_);
  onEnd_ = nullptr;
  if (onEnd) onEnd(result);
}

}  // namespace shell
