// Cooperative control of a background job. The job calls Checkpoint() between
// pages, rows, statements and display steps: it blocks there while the job is
// held and throws JobStopped once the job has been stopped. No thread is ever
// killed; a stopped job unwinds from its next checkpoint.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>

namespace mendora {

class JobStopped : public std::runtime_error {
 public:
  JobStopped() : std::runtime_error("job stopped") {}
};

class JobControl {
 public:
  virtual ~JobControl() = default;
  virtual void Hold() = 0;
  virtual void Release() = 0;
  virtual void Stop() = 0;
  virtual bool Stopped() const = 0;
  virtual void Checkpoint() = 0;
  // Threads that work for the job besides the one that runs it, and the
  // waits in which one of them stands still though not at a checkpoint (for
  // room in a queue, for its next piece of work): a held job counts as
  // parked only once every one of its threads stands still. A wait ends as
  // a checkpoint does, except that it never throws: a thread woken while
  // the job is held stays still until it is released or stopped.
  virtual void ThreadStarted() {}
  virtual void ThreadEnded() {}
  virtual void WaitStarted() {}
  virtual void WaitEnded() {}
};

// The thread-safe control every job uses: the window's jobs, the command
// line's and the tests'. Besides holding and stopping, it tells whether the
// job is parked at a checkpoint, and gives the job a pause that a stop cuts
// short.
class BasicJobControl : public JobControl {
 public:
  void Hold() override {
    std::lock_guard lock(mutex_);
    held_ = true;
    Settle();
  }
  void Release() override {
    {
      std::lock_guard lock(mutex_);
      held_ = false;
      Settle();
    }
    wake_.notify_all();
  }
  void Stop() override {
    {
      std::lock_guard lock(mutex_);
      stopped_ = true;
      held_ = false;
      Settle();
    }
    wake_.notify_all();
  }
  bool Stopped() const override { return stopped_.load(); }
  void Checkpoint() override {
    std::unique_lock lock(mutex_);
    ParkWhileHeld(lock);
    if (stopped_) throw JobStopped();
  }
  void ThreadStarted() override { Count(threads_, +1); }
  void ThreadEnded() override { Count(threads_, -1); }
  void WaitStarted() override { Count(waiting_, +1); }
  void WaitEnded() override {
    // Still from the wait to the checkpoint: never counted as moving while
    // the job is held, not even for an instant.
    std::unique_lock lock(mutex_);
    --waiting_;
    ParkWhileHeld(lock);
    Settle();
  }

  bool Held() const {
    std::lock_guard lock(mutex_);
    return held_;
  }
  // True while the job is held and every thread of it stands still, one at
  // least at a checkpoint: nothing of it is written until it is released.
  bool Parked() const { return parked_.load(); }
  // Waits `duration`, or less when the job is stopped; then a checkpoint.
  void Pause(std::chrono::milliseconds duration) {
    {
      std::unique_lock lock(mutex_);
      wake_.wait_for(lock, duration, [this] { return stopped_.load(); });
    }
    Checkpoint();
  }

 private:
  void Count(int& n, int by) {
    std::lock_guard lock(mutex_);
    n += by;
    Settle();
  }
  // Under the mutex: counted at a checkpoint while the job is held, until
  // it is released or stopped.
  void ParkWhileHeld(std::unique_lock<std::mutex>& lock) {
    if (!held_ || stopped_) return;
    ++atCheckpoint_;
    Settle();
    wake_.wait(lock, [this] { return !held_ || stopped_; });
    --atCheckpoint_;
    Settle();
  }
  // Under the mutex.
  void Settle() {
    parked_ = held_ && !stopped_ && atCheckpoint_ > 0 && atCheckpoint_ + waiting_ >= threads_;
  }

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool held_ = false;
  int threads_ = 1;  // the job's own and those ThreadStarted counts
  int atCheckpoint_ = 0;
  int waiting_ = 0;
  std::atomic<bool> stopped_{false};
  std::atomic<bool> parked_{false};
};

// A control that passes every call on to another: the base of those that
// add to what a checkpoint or a stop means.
class ForwardingJobControl : public JobControl {
 public:
  explicit ForwardingJobControl(JobControl& job) : job_(job) {}
  void Hold() override { job_.Hold(); }
  void Release() override { job_.Release(); }
  void Stop() override { job_.Stop(); }
  bool Stopped() const override { return job_.Stopped(); }
  void Checkpoint() override { job_.Checkpoint(); }
  void ThreadStarted() override { job_.ThreadStarted(); }
  void ThreadEnded() override { job_.ThreadEnded(); }
  void WaitStarted() override { job_.WaitStarted(); }
  void WaitEnded() override { job_.WaitEnded(); }

 protected:
  JobControl& job_;
};

// For the command-line tool and tests: never holds, never stops.
class NullJobControl : public JobControl {
 public:
  void Hold() override {}
  void Release() override {}
  void Stop() override {}
  bool Stopped() const override { return false; }
  void Checkpoint() override {}
};

}  // namespace mendora
