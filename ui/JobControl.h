// Cooperative control of a background job. The job calls Checkpoint() between
// pages, rows, statements and display steps: it blocks there while the job is
// held and throws JobStopped once the job has been stopped. No thread is ever
// killed; a stopped job unwinds from its next checkpoint.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>

namespace ui {

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
};

// The thread-safe implementation every job uses; the window layer only adds
// who calls Hold, Release and Stop.
class BasicJobControl : public JobControl {
 public:
  void Hold() override {
    std::lock_guard lock(mutex_);
    held_ = true;
  }
  void Release() override {
    {
      std::lock_guard lock(mutex_);
      held_ = false;
    }
    wake_.notify_all();
  }
  void Stop() override {
    {
      std::lock_guard lock(mutex_);
      stopped_ = true;
      held_ = false;
    }
    wake_.notify_all();
  }
  bool Stopped() const override { return stopped_.load(); }
  void Checkpoint() override {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return !held_ || stopped_; });
    if (stopped_) throw JobStopped();
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool held_ = false;
  std::atomic<bool> stopped_{false};
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

}  // namespace ui
