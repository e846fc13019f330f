// A background job of the window: its thread, its control and its
// generation.
//
// The window thread starts a job, holds it, releases it and stops it; it
// never waits for it. A stopped job unwinds from its next checkpoint. The job
// reaches the window only through OnWindowThread(), a blocking queued call
// that the window thread carries out between its own events. Each call is
// stamped with the generation the job was started in; Stop() moves the
// generation on, so a call that arrives after the stop is dropped (and the
// job is told so by JobStopped). Nothing of a stopped job reaches the screen.
//
// When the job's body returns or unwinds, the end is handed to the window
// thread, which joins the thread (it has finished by then) and calls the
// job's end handler: for a stopped job too, so that whatever the job held can
// be given back once nothing uses it any more.
#pragma once

#include <QObject>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/JobControl.h"

namespace shell {

class JobThread final : public QObject {
  Q_OBJECT

 public:
  enum class Outcome { kDone, kStopped, kFailed };
  struct Result {
    Outcome outcome = Outcome::kDone;
    std::string error;  // the failure's text
  };
  using Body = std::function<void(JobThread& job)>;
  using EndHandler = std::function<void(const Result& result)>;

  explicit JobThread(QObject* parent = nullptr);
  ~JobThread() override;

  // Window thread. -----------------------------------------------------------
  // Starts `body` on a new thread; false (and nothing started) while the
  // previous job has not ended.
  bool Start(Body body, EndHandler onEnd);
  // The job's thread reference: set from Start until its end is handled.
  bool IsSet() const { return set_; }
  void Hold();
  void Release();
  // Ends the job cooperatively; from now on its window calls are dropped.
  void Stop();
  // Stops the job and waits until its thread has ended, carrying out (that
  // is, dropping) the calls it still sends. For the window's own end only.
  void Shutdown();
  // The current job's control; null when no job is set.
  mendora::BasicJobControl* Control() const { return control_.get(); }

  // Job thread. --------------------------------------------------------------
  // Runs `call` on the window thread and waits for it. Throws mendora::JobStopped
  // when the call was dropped because the job has been stopped; an exception
  // thrown by `call` is thrown again here.
  void OnWindowThread(const std::function<void()>& call);
  mendora::JobControl& Job() { return *control_; }
  // Waits `duration`, or less when the job is stopped; then a checkpoint.
  void Pause(std::chrono::milliseconds duration) { control_->Pause(duration); }

 private:
  void Run(Body body, std::shared_ptr<mendora::BasicJobControl> control, uint64_t jobId);
  void HandleEnd(uint64_t jobId, const Result& result);

  std::thread thread_;
  std::shared_ptr<mendora::BasicJobControl> control_;
  EndHandler onEnd_;
  // Moved on by every start and every stop; read on the window thread only.
  uint64_t generation_ = 0;
  uint64_t jobId_ = 0;
  bool set_ = false;
  bool shuttingDown_ = false;
  std::atomic<bool> threadEnded_{true};
  // The generation the running job was started in; written before the thread starts.
  uint64_t jobGeneration_ = 0;
};

}  // namespace shell
