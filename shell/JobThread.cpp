#include "shell/JobThread.h"

#include <QCoreApplication>
#include <QThread>
#include <exception>

// ThreadSanitizer sees the order that threads of the standard library and
// its locks give, but not the one a blocking queued call gives: Qt waits for
// the window thread with primitives it does not observe. The hand-over
// functions below tell it of that order, so that what the job writes before a
// window call is seen as written before the call, what the call writes as
// written before the job goes on, and what the job leaves as written before
// its end is handled. Without ThreadSanitizer they are empty.
#if defined(__SANITIZE_THREAD__)
#define MENDORA_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define MENDORA_TSAN 1
#endif
#endif

#if defined(MENDORA_TSAN)
#include <sanitizer/tsan_interface.h>
#endif

namespace shell {

namespace {

#if defined(MENDORA_TSAN)
// The one channel of every hand-over. It is not kept in the call Qt copies:
// running that copy must begin with the acquire, before any of it is read.
char handOverChannel;
#endif

// The sending side of a hand-over.
inline void HandOverRelease() {
#if defined(MENDORA_TSAN)
  __tsan_release(&handOverChannel);
#endif
}

// The receiving side: everything released before is seen.
inline void HandOverAcquire() {
#if defined(MENDORA_TSAN)
  __tsan_acquire(&handOverChannel);
#endif
}

// A call posted to the window thread with its hand-overs: Qt keeps a copy of
// it on the heap, written on the job thread and read, run and freed on either
// thread, all ordered by Qt alone. Making a copy ends with a release, running
// it begins with an acquire and ends with a release, and destroying it begins
// with an acquire, on whichever thread lets go of it last.
template <typename Call>
class HandedOver {
 public:
  explicit HandedOver(Call call) : call_(std::move(call)) { HandOverRelease(); }
  HandedOver(HandedOver&& other) : call_(std::move(other.call_)) { HandOverRelease(); }
  HandedOver(const HandedOver&) = delete;
  HandedOver& operator=(const HandedOver&) = delete;
  HandedOver& operator=(HandedOver&&) = delete;
  ~HandedOver() { HandOverAcquire(); }

  void operator()() {
    HandOverAcquire();
    call_();
    HandOverRelease();
  }

 private:
  Call call_;
};

}  // namespace

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
    // The job waits while the window thread runs the call: each side hands
    // what it wrote to the other.
    HandOverRelease();
    QMetaObject::invokeMethod(this, HandedOver([&onWindow] { onWindow(); }),
                              Qt::BlockingQueuedConnection);
    HandOverAcquire();
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
  // The window thread handles the end while this thread may still be
  // unwinding: hand the result and everything the job wrote over to it.
  HandOverRelease();
  QMetaObject::invokeMethod(this, HandedOver([this, jobId, result] { HandleEnd(jobId, result); }),
                            Qt::QueuedConnection);
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
