// Background jobs: where their code runs, holding and stopping, the drop of a
// stopped job's window calls, failures, and the window's own end.
#include <QThread>
#include <atomic>
#include <stdexcept>

#include "QtTestSupport.h"
#include "shell/JobThread.h"

using shell::JobThread;
using Outcome = shell::JobThread::Outcome;

class JobThreadTest : public QObject {
  Q_OBJECT

 private slots:
  void bodyRunsOnItsOwnThreadAndCallsOnTheWindowThread();
  void endHandlerRunsOnTheWindowThreadWithTheOutcome();
  void secondStartIsRefusedUntilTheEndIsHandled();
  void holdParksTheJobAtItsNextCheckpoint();
  void stoppedJobsWindowCallsAreDropped();
  void stopCutsAPauseShort();
  void failureOnTheWindowThreadComesBackToTheJob();
  void failureInTheJobIsReported();
  void shutdownEndsAJobWaitingForTheWindow();
  void stopAfterTheLastCheckpointStillCountsAsStopped();
};

void JobThreadTest::bodyRunsOnItsOwnThreadAndCallsOnTheWindowThread() {
  JobThread job;
  QThread* bodyThread = nullptr;
  QThread* callThread = nullptr;
  std::atomic<bool> ended{false};
  QVERIFY(job.Start(
      [&](JobThread& j) {
        bodyThread = QThread::currentThread();
        j.OnWindowThread([&] { callThread = QThread::currentThread(); });
      },
      [&](const JobThread::Result&) { ended = true; }));
  QVERIFY(job.IsSet());
  QTRY_VERIFY(ended);
  QVERIFY(bodyThread && bodyThread != QThread::currentThread());
  QCOMPARE(callThread, QThread::currentThread());
  QVERIFY(!job.IsSet());
}

void JobThreadTest::endHandlerRunsOnTheWindowThreadWithTheOutcome() {
  JobThread job;
  QThread* endThread = nullptr;
  Outcome outcome = Outcome::kFailed;
  job.Start([](JobThread&) {},
            [&](const JobThread::Result& r) {
              endThread = QThread::currentThread();
              outcome = r.outcome;
            });
  QTRY_VERIFY(endThread);
  QCOMPARE(endThread, QThread::currentThread());
  QCOMPARE(outcome, Outcome::kDone);
}

void JobThreadTest::secondStartIsRefusedUntilTheEndIsHandled() {
  JobThread job;
  qttest::Gate gate;
  int ends = 0;
  QVERIFY(
      job.Start([&](JobThread&) { gate.WaitHere(); }, [&](const JobThread::Result&) { ++ends; }));
  QVERIFY(!job.Start([](JobThread&) {}, [&](const JobThread::Result&) { ends += 100; }));
  gate.Open();
  QTRY_COMPARE(ends, 1);
  QVERIFY(job.Start([](JobThread&) {}, [&](const JobThread::Result&) { ++ends; }));
  QTRY_COMPARE(ends, 2);
}

void JobThreadTest::holdParksTheJobAtItsNextCheckpoint() {
  JobThread job;
  std::atomic<int> steps{0};
  std::atomic<bool> finish{false};
  Outcome outcome = Outcome::kFailed;
  bool ended = false;
  job.Start(
      [&](JobThread& j) {
        while (!finish) {
          j.Job().Checkpoint();
          ++steps;
        }
      },
      [&](const JobThread::Result& r) {
        outcome = r.outcome;
        ended = true;
      });
  QTRY_VERIFY(steps > 10);
  job.Hold();
  QTRY_VERIFY(job.Control()->Parked());
  const int parkedAt = steps;
  // Parked means waiting inside the checkpoint: no step can follow.
  QVERIFY(job.Control()->Parked());
  QCOMPARE(steps.load(), parkedAt);
  job.Release();
  QTRY_VERIFY(steps > parkedAt);
  QVERIFY(!job.Control()->Held());
  finish = true;
  QTRY_VERIFY(ended);
  QCOMPARE(outcome, Outcome::kDone);
}

void JobThreadTest::stoppedJobsWindowCallsAreDropped() {
  JobThread job;
  qttest::Gate gate;
  int carriedOut = 0;
  bool secondThrewStopped = false;
  Outcome outcome = Outcome::kDone;
  job.Start(
      [&](JobThread& j) {
        j.OnWindowThread([&] { ++carriedOut; });
        gate.WaitHere();
        // The window has stopped the job meanwhile: this call must not run.
        try {
          j.OnWindowThread([&] { carriedOut += 100; });
        } catch (const mendora::JobStopped&) {
          secondThrewStopped = true;
          throw;
        }
      },
      [&](const JobThread::Result& r) { outcome = r.outcome; });
  QTRY_VERIFY(gate.Reached());
  job.Stop();
  gate.Open();
  QTRY_VERIFY(!job.IsSet());
  QCOMPARE(carriedOut, 1);
  QVERIFY(secondThrewStopped);
  QCOMPARE(outcome, Outcome::kStopped);
}

void JobThreadTest::stopCutsAPauseShort() {
  JobThread job;
  Outcome outcome = Outcome::kDone;
  QElapsedTimer clock;
  job.Start([](JobThread& j) { j.Pause(std::chrono::minutes(5)); },
            [&](const JobThread::Result& r) { outcome = r.outcome; });
  clock.start();
  job.Stop();
  QTRY_VERIFY(!job.IsSet());
  QCOMPARE(outcome, Outcome::kStopped);
  QVERIFY(clock.elapsed() < 60000);
}

void JobThreadTest::failureOnTheWindowThreadComesBackToTheJob() {
  JobThread job;
  std::string caught;
  job.Start(
      [&](JobThread& j) {
        try {
          j.OnWindowThread([] { throw std::runtime_error("window side failed"); });
        } catch (const std::runtime_error& e) {
          caught = e.what();
        }
      },
      [](const JobThread::Result&) {});
  QTRY_VERIFY(!job.IsSet());
  QCOMPARE(caught, std::string("window side failed"));
}

void JobThreadTest::failureInTheJobIsReported() {
  JobThread job;
  JobThread::Result result;
  bool ended = false;
  job.Start([](JobThread&) { throw std::runtime_error("read failed"); },
            [&](const JobThread::Result& r) {
              result = r;
              ended = true;
            });
  QTRY_VERIFY(ended);
  QCOMPARE(result.outcome, Outcome::kFailed);
  QCOMPARE(result.error, std::string("read failed"));
}

void JobThreadTest::shutdownEndsAJobWaitingForTheWindow() {
  auto job = std::make_unique<JobThread>();
  std::atomic<int> calls{0};
  bool ended = false;
  job->Start(
      [&](JobThread& j) {
        for (;;) {
          j.OnWindowThread([&] { ++calls; });
        }
      },
      [&](const JobThread::Result&) { ended = true; });
  QTRY_VERIFY(calls > 3);
  // The job is now blocked in a window call most of the time; the window
  // ends without running another event loop.
  const int before = calls;
  job->Shutdown();
  QVERIFY(!job->IsSet());
  QCOMPARE(calls.load(), before);
  QVERIFY(!ended);  // the window is going: no end handler
  job.reset();
}

void JobThreadTest::stopAfterTheLastCheckpointStillCountsAsStopped() {
  JobThread job;
  qttest::Gate gate;
  Outcome outcome = Outcome::kDone;
  job.Start([&](JobThread&) { gate.WaitHere(); },
            [&](const JobThread::Result& r) { outcome = r.outcome; });
  QTRY_VERIFY(gate.Reached());
  job.Stop();
  gate.Open();
  QTRY_VERIFY(!job.IsSet());
  QCOMPARE(outcome, Outcome::kStopped);
}

MENDORA_QTEST_MAIN(JobThreadTest)
#include "JobThreadTest.moc"
