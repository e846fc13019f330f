// The save dialog: modal while the save runs on its worker, showing what is
// being written in five fields and two bars, with Stop and Pause.
//
//   Run(work)   prepares the destination on the window thread, starts the
//               worker (RunSaveJob) and runs the dialog until it closes.
//   worker      the save's steps (RunSaveJob); once they have all run, the
//               job is done and `saveCompleted` is set.
//   timer 1     every second: once the job is done, the dialog closes (OK).
//   Pause       holds the worker (Stop greyed, "Resume"); again releases it.
//   Stop        holds the worker and, once it waits at a checkpoint, asks
//               "Saving is in Progress, do you want to abort ?". Yes stops it
//               for good and closes at once: the worker writes nothing more.
//               No lets it go on.
//   close       asks the same question while the worker goes on; Yes stops
//               it as Stop does and closes (Cancel). Escape does nothing.
// Pause and Stop do nothing once the job is done.
//
// The worker reaches the fields and bars only through Display(): each call
// is carried to the window thread and waits there; once the job is stopped
// its calls are dropped. The window thread never waits for the worker.
#pragma once

#include <QDialog>
#include <QTimer>
#include <atomic>
#include <memory>
#include <string>

#include "engine/JobControl.h"
#include "shell/JobThread.h"
#include "ui/ExportDisplay.h"
#include "ui/JobState.h"
#include "ui/Prompts.h"

namespace Ui {
class CFileSaving;
}
class QLabel;
class QProgressBar;
class QPushButton;

namespace shell {

// What the dialog runs: the save job, or a test's stand-in.
class SaveWork {
 public:
  virtual ~SaveWork() = default;
  // On the window thread, before the worker starts.
  virtual void PrepareDestination() = 0;
  // On the worker: every step, the last waits included. Throws
  // mendora::JobStopped when the job is stopped.
  virtual void Run(mendora::JobControl& job) = 0;
};

struct SaveDialogTimings {
  // Whether the job's waits are taken: the tests run without them.
  bool paced = true;
  int closeTimerMs = 1000;
};

class CFileSaving final : public QDialog {
  Q_OBJECT

 public:
  CFileSaving(ui::JobState& state, ui::Prompts& prompts, SaveDialogTimings timings = {},
              QWidget* parent = nullptr);
  ~CFileSaving() override;

  // What the job shows through and paces itself with; both live as long as
  // the dialog.
  ui::ExportDisplay& Display();
  ui::Pacer& Pacer();

  // The whole save; returns the dialog's result. The worker has ended when
  // it returns.
  int Run(SaveWork& work);
  // The worker ended with a failure of its own rather than by finishing or
  // being stopped: what it said; empty otherwise.
  const std::string& Failure() const { return failure_; }

  QPushButton* StopButton() const;
  QPushButton* PauseButton() const;
  QLabel* SavedPath() const;
  QLabel* ObjectType() const;
  QLabel* ObjectName() const;
  QLabel* Records() const;
  QLabel* Objects() const;
  QProgressBar* CurrentBar() const;
  QProgressBar* OverallBar() const;
  JobThread& Worker() { return worker_; }
  bool Paused() const { return paused_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  class WindowDisplay;
  class WindowPacer;

  void RunSaveJob(JobThread& job, SaveWork& work);
  void OnWorkerEnded(const JobThread::Result& result);
  void OnCloseTimer();
  void OnPause();
  void OnStop();
  // The worker is set and has not finished its last step.
  bool Working() const;
  // Holds the worker and runs the window's events until it waits at a
  // checkpoint or has finished.
  void HoldUntilParked();
  bool Ask();

  std::unique_ptr<Ui::CFileSaving> ui_;
  ui::JobState& state_;
  ui::Prompts& prompts_;
  SaveDialogTimings timings_;
  JobThread worker_;
  std::unique_ptr<WindowDisplay> display_;
  std::unique_ptr<WindowPacer> pacer_;
  QTimer closeTimer_;
  // Set by the worker after its last step.
  std::atomic<bool> jobDone_{false};
  bool paused_ = false;
  bool asking_ = false;
  std::string failure_;
};

}  // namespace shell
