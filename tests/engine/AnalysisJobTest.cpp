// The analysis runs on a worker thread under a job control: held, it waits at
// its next checkpoint; stopped, it unwinds with mendora::JobStopped.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "engine/Analysis.h"
#include "tests/support/CatalogueBuilder.h"

using namespace mendora;
using namespace mdftest;
using namespace std::chrono_literals;

namespace {

class AnalysisJob : public ::testing::TestWithParam<uint16_t> {
 protected:
  void SetUp() override {
    CatalogueBuilder cat(GetParam(), u"db");
    std::vector<Row> rows;
    for (int i = 0; i < 50; ++i) rows.push_back({IntValue(i)});
    cat.AddTable(u"Orders", {IntColumn(u"id")}, rows);
    cat.AddTable(u"Lines", {IntColumn(u"id")});
    cat.Build().WriteTo(tmp_.path());
    ASSERT_TRUE(file_.Open(tmp_.path()));
    ASSERT_TRUE(file_.DetectVersion());
  }

  // Starts the analysis on a worker thread and returns once it has begun.
  void Start() {
    worker_ = std::thread([this] {
      try {
        RunAnalysis(file_, catalogue_, job_, [this](int percent) {
          maxProgress_ = std::max(maxProgress_.load(), percent);
          if (!begun_.exchange(true)) started_.set_value();
        });
        finished_ = true;
      } catch (const mendora::JobStopped&) {
        stopped_ = true;
      }
    });
    ASSERT_EQ(started_.get_future().wait_for(10s), std::future_status::ready);
  }
  void TearDown() override {
    if (worker_.joinable()) {
      job_.Stop();
      worker_.join();
    }
  }

  TempFile tmp_;
  DataFile file_;
  Catalogue catalogue_;
  mendora::BasicJobControl job_;
  std::thread worker_;
  std::promise<void> started_;
  std::atomic<bool> begun_{false}, finished_{false}, stopped_{false};
  std::atomic<int> maxProgress_{-1};
};

TEST_P(AnalysisJob, AHeldAnalysisWaitsUntilReleased) {
  job_.Hold();
  Start();
  // Parked at its first checkpoint: it goes no further until released.
  while (!job_.Parked() && !finished_) std::this_thread::yield();
  EXPECT_FALSE(finished_);
  EXPECT_EQ(maxProgress_, 0) << "no page is read while the job is held";
  job_.Release();
  worker_.join();
  EXPECT_TRUE(finished_);
  EXPECT_FALSE(stopped_);
  EXPECT_EQ(maxProgress_, 100);
  EXPECT_EQ(catalogue_.userTables.size(), 2u);
}

TEST_P(AnalysisJob, AStoppedAnalysisThrowsJobStoppedFromItsCheckpoint) {
  job_.Hold();
  Start();
  job_.Stop();
  worker_.join();
  EXPECT_TRUE(stopped_);
  EXPECT_FALSE(finished_);
}

TEST_P(AnalysisJob, AJobStoppedBeforeItStartsDoesNoWork) {
  job_.Stop();
  EXPECT_THROW(RunAnalysis(file_, catalogue_, job_), mendora::JobStopped);
  EXPECT_TRUE(catalogue_.userTables.empty());
}

INSTANTIATE_TEST_SUITE_P(Versions, AnalysisJob, ::testing::Values(539, 611, 655),
                         [](const auto& info) { return "v" + std::to_string(info.param); });

}  // namespace
