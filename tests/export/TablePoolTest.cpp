// The pool the save and `rows` read tables on: pieces come to the calling
// thread table by table in order whatever the workers' speed, a worker's
// failure comes out at its table, and giving up ends every worker.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "export/TablePool.h"

namespace mendora {
namespace {

// Table i makes i % 7 + 1 pieces, some with far more work than others, so
// that later tables are often done before earlier ones.
void MakePieces(size_t table, JobControl& job, const TablePool<std::pair<size_t, int>>::Put& put) {
  volatile uint64_t spin = 0;
  for (int piece = 0; piece < static_cast<int>(table % 7) + 1; ++piece) {
    for (uint64_t n = 0; n < (table % 3 == 0 ? 200000u : 10u); ++n) spin = spin + n;
    job.Checkpoint();
    put({table, piece});
  }
}

TEST(TablePool, PiecesComeInTableOrderForAnyNumberOfWorkers) {
  for (unsigned workers : {1u, 2u, 5u}) {
    TablePool<std::pair<size_t, int>> pool(workers, 2);
    std::vector<std::pair<size_t, int>> taken;
    std::vector<std::string> steps;
    const std::thread::id caller = std::this_thread::get_id();
    bool allOnCaller = true;
    TablePool<std::pair<size_t, int>>::Steps s;
    s.make = MakePieces;
    s.begin = [&](size_t i) { steps.push_back("begin " + std::to_string(i)); };
    s.take = [&](size_t, std::pair<size_t, int>& piece) {
      allOnCaller = allOnCaller && std::this_thread::get_id() == caller;
      taken.push_back(piece);
    };
    s.end = [&](size_t i) { steps.push_back("end " + std::to_string(i)); };
    NullJobControl job;
    pool.Run(40, job, s);
    std::vector<std::pair<size_t, int>> expected;
    std::vector<std::string> expectedSteps;
    for (size_t t = 0; t < 40; ++t) {
      expectedSteps.push_back("begin " + std::to_string(t));
      for (int p = 0; p < static_cast<int>(t % 7) + 1; ++p) expected.emplace_back(t, p);
      expectedSteps.push_back("end " + std::to_string(t));
    }
    EXPECT_EQ(taken, expected) << workers;
    EXPECT_EQ(steps, expectedSteps) << workers;
    EXPECT_TRUE(allOnCaller) << workers;
  }
}

TEST(TablePool, AWorkersFailureComesOutAtItsTableAndGivingUpEndsTheWorkers) {
  for (unsigned workers : {1u, 3u}) {
    TablePool<std::pair<size_t, int>> pool(workers, 1);
    std::atomic<size_t> started{0};
    std::vector<size_t> tablesTaken;
    TablePool<std::pair<size_t, int>>::Steps s;
    s.make = [&](size_t table, JobControl& job, const TablePool<std::pair<size_t, int>>::Put& put) {
      ++started;
      if (table == 5) throw std::runtime_error("read failed");
      MakePieces(table, job, put);
    };
    s.take = [&](size_t table, std::pair<size_t, int>&) {
      if (tablesTaken.empty() || tablesTaken.back() != table) tablesTaken.push_back(table);
    };
    NullJobControl job;
    EXPECT_THROW(pool.Run(1000, job, s), std::runtime_error) << workers;
    EXPECT_EQ(tablesTaken, (std::vector<size_t>{0, 1, 2, 3, 4})) << workers;
    // Workers run at most twice their number of tables ahead of the one taken.
    EXPECT_LE(started.load(), 5 + 2 * workers + 1) << workers;
  }
}

// A held job is parked only once every thread of it stands still: the
// calling thread parked, the other workers parked or waiting for room, and
// the worker in the middle of a piece at its next checkpoint.
TEST(TablePool, AHeldJobIsParkedOnlyWhenEveryWorkerStandsStill) {
  TablePool<std::pair<size_t, int>> pool(3, 1);
  BasicJobControl job;
  std::atomic<bool> busy{false}, letGo{false};
  size_t pieces = 0;
  TablePool<std::pair<size_t, int>>::Steps s;
  s.make = [&](size_t table, JobControl& worker,
               const TablePool<std::pair<size_t, int>>::Put& put) {
    if (table == 0) {
      busy = true;
      while (!letGo) std::this_thread::yield();
    }
    MakePieces(table, worker, put);
  };
  s.take = [&](size_t, std::pair<size_t, int>&) { ++pieces; };
  s.idle = [&](size_t) { job.Checkpoint(); };
  std::thread runner([&] { pool.Run(6, job, s); });
  while (!busy) std::this_thread::yield();
  job.Hold();
  // The calling thread parks within its 100 ms idle step, the others at
  // their next piece: none of that makes the job parked.
  for (int i = 0; i < 40; ++i) {
    EXPECT_FALSE(job.Parked());
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  letGo = true;
  while (!job.Parked()) std::this_thread::yield();
  job.Release();
  runner.join();
  EXPECT_EQ(pieces, 1u + 2 + 3 + 4 + 5 + 6);
}

// A worker woken from a wait while the job is held (room made just before
// the hold) stays still and counted so until the job is released.
TEST(TablePool, AWaitEndedWhileHeldLastsUntilTheRelease) {
  BasicJobControl job;
  job.ThreadStarted();
  job.WaitStarted();
  job.Hold();
  std::thread own([&] { job.Checkpoint(); });
  while (!job.Parked()) std::this_thread::yield();
  std::atomic<bool> moved{false};
  std::thread worker([&] {
    job.WaitEnded();
    moved = true;
    job.ThreadEnded();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(moved);
  EXPECT_TRUE(job.Parked());
  job.Release();
  worker.join();
  own.join();
  EXPECT_TRUE(moved);
}

}  // namespace
}  // namespace mendora
