// Tables worked on several at once. Run hands every table of a list to a
// worker thread, which makes the table's output and hands it on in pieces;
// the calling thread takes the pieces table by table in the list's order, so
// that what it writes and shows is the same whatever the number of workers.
//
//   make(i, job, put)  on a worker: reads table i and puts its pieces. `job`
//                      is the save's control; its Checkpoint also throws
//                      JobStopped once the calling thread has given up.
//   begin(i)           on the calling thread, before the first piece of i.
//   take(i, piece)     on the calling thread, each piece of i in order.
//   end(i)             on the calling thread, after the last piece of i.
//   idle(i)            on the calling thread, about every 100 ms while it
//                      waits for a piece of i (progress, checkpoints).
//
// Workers never run far ahead: a table is started only within twice the
// number of workers of the one being taken, and a put waits while its table
// holds `depth` pieces not yet taken, so memory stays bounded. A worker's
// exception (a failed read, a stop) is thrown on the calling thread when it
// reaches that table. Whatever ends Run, the workers are joined first.
//
// With one worker no thread is started: each table is made on the calling
// thread and each piece taken the moment it is put, in exactly the order a
// plain loop over the tables would give.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/JobControl.h"

namespace mendora {

// The workers a pool gets when not told: the hardware threads, at least one.
inline unsigned DefaultWorkerCount() {
  return std::max(1u, std::thread::hardware_concurrency());
}

template <class Piece>
class TablePool {
 public:
  using Put = std::function<void(Piece&&)>;
  struct Steps {
    std::function<void(size_t table, JobControl& job, const Put& put)> make;
    std::function<void(size_t table)> begin;
    std::function<void(size_t table, Piece& piece)> take;
    std::function<void(size_t table)> end;
    std::function<void(size_t table)> idle;
  };

  // `workers` 0: DefaultWorkerCount().
  explicit TablePool(unsigned workers, size_t depth = 16)
      : workers_(workers ? workers : DefaultWorkerCount()), depth_(std::max<size_t>(depth, 1)) {}

  unsigned Workers() const { return workers_; }

  void Run(size_t count, JobControl& job, const Steps& steps) {
    if (workers_ <= 1 || count <= 1) {
      RunInline(count, job, steps);
    } else {
      Shared shared(count, job, std::min<size_t>(workers_, count), depth_);
      shared.Run(steps);
    }
  }

 private:
  static void RunInline(size_t count, JobControl& job, const Steps& steps) {
    for (size_t i = 0; i < count; ++i) {
      if (steps.begin) steps.begin(i);
      steps.make(i, job, [&](Piece&& piece) { steps.take(i, piece); });
      if (steps.end) steps.end(i);
    }
  }

  // The state the workers and the calling thread share, under one mutex.
  class Shared final : public ForwardingJobControl {
   public:
    Shared(size_t count, JobControl& job, size_t workers, size_t depth)
        : ForwardingJobControl(job), slots_(count), workers_(workers), depth_(depth) {}

    void Run(const Steps& steps) {
      std::vector<std::thread> threads;
      try {
        for (size_t w = 0; w < workers_; ++w) {
          // Counted before it starts, so that the job is never parked
          // without it.
          job_.ThreadStarted();
          try {
            threads.emplace_back([&] {
              Work(steps);
              job_.ThreadEnded();
            });
          } catch (...) {
            job_.ThreadEnded();
            throw;
          }
        }
        for (size_t i = 0; i < slots_.size(); ++i) TakeTable(i, steps);
      } catch (...) {
        Abandon();
        for (auto& t : threads) t.join();
        throw;
      }
      for (auto& t : threads) t.join();
    }

    // The control the workers see: the save's, and a stop once the calling
    // thread has given up.
    bool Stopped() const override { return job_.Stopped() || Abandoned(); }
    void Checkpoint() override {
      if (Abandoned()) throw JobStopped();
      job_.Checkpoint();
    }

   private:
    struct Slot {
      std::deque<Piece> pieces;
      bool done = false;
      std::exception_ptr error;
    };

    bool Abandoned() const {
      std::lock_guard lock(mutex_);
      return abandoned_;
    }
    void Abandon() {
      {
        std::lock_guard lock(mutex_);
        abandoned_ = true;
      }
      changed_.notify_all();
    }

    void Work(const Steps& steps) {
      for (;;) {
        size_t i = 0;
        bool waited = false;
        {
          std::unique_lock lock(mutex_);
          waited = StandStill(lock, [&] { return abandoned_ || next_ < taking_ + 2 * workers_; });
          if (abandoned_ || next_ >= slots_.size()) {
            if (waited) job_.WaitEnded();
            return;
          }
          i = next_++;
        }
        if (waited) job_.WaitEnded();
        std::exception_ptr error;
        try {
          // A table is not begun once the job is stopped: woken by the stop,
          // a worker writes nothing more.
          if (Stopped()) throw JobStopped();
          steps.make(i, *this, [&](Piece&& piece) { Put(i, std::move(piece)); });
        } catch (...) {
          error = std::current_exception();
        }
        {
          std::lock_guard lock(mutex_);
          slots_[i].done = true;
          slots_[i].error = error;
        }
        changed_.notify_all();
      }
    }

    // A worker's wait, counted by the job as standing still; true when it
    // waited. The caller ends it with job_.WaitEnded() once the mutex is
    // released: woken while the job is held, it stays still there.
    template <class Ready>
    bool StandStill(std::unique_lock<std::mutex>& lock, Ready ready) {
      if (ready()) return false;
      job_.WaitStarted();
      changed_.wait(lock, ready);
      return true;
    }

    void Put(size_t i, Piece&& piece) {
      bool waited = false;
      bool abandoned = false;
      {
        std::unique_lock lock(mutex_);
        waited = StandStill(lock, [&] { return abandoned_ || slots_[i].pieces.size() < depth_; });
        abandoned = abandoned_;
        if (!abandoned) slots_[i].pieces.push_back(std::move(piece));
      }
      changed_.notify_all();
      if (waited) job_.WaitEnded();
      if (abandoned || job_.Stopped()) throw JobStopped();
    }

    void TakeTable(size_t i, const Steps& steps) {
      if (steps.begin) steps.begin(i);
      Slot& slot = slots_[i];
      for (;;) {
        std::unique_lock lock(mutex_);
        const bool ready = changed_.wait_for(lock, std::chrono::milliseconds(100),
                                             [&] { return !slot.pieces.empty() || slot.done; });
        if (!slot.pieces.empty()) {
          Piece piece = std::move(slot.pieces.front());
          slot.pieces.pop_front();
          lock.unlock();
          changed_.notify_all();
          steps.take(i, piece);
        } else if (ready) {
          if (slot.error) std::rethrow_exception(slot.error);
          break;
        } else {
          lock.unlock();
          if (steps.idle) steps.idle(i);
        }
      }
      if (steps.end) steps.end(i);
      {
        std::lock_guard lock(mutex_);
        taking_ = i + 1;
      }
      changed_.notify_all();
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Slot> slots_;
    size_t workers_;
    size_t depth_;
    size_t next_ = 0;    // the next table a worker starts
    size_t taking_ = 0;  // the table the calling thread takes
    bool abandoned_ = false;
  };

  unsigned workers_;
  size_t depth_;
};

}  // namespace mendora
