// The analysis view: never shown, it owns the analysis' progress timer and
// drives the status-bar progress bar while an analysis runs. Each tick
// (one second) moves the bar one step on, wrapping at 100, unless the
// animation is halted.
#pragma once

#include <QProgressBar>
#include <QTimer>
#include <QWidget>

#include "ui/JobState.h"

namespace shell {

class CMdf_Repair final : public QWidget {
  Q_OBJECT

 public:
  CMdf_Repair(ui::JobState& state, QProgressBar* bar, int tickMs, QWidget* parent = nullptr);

  // The start of an analysis: the bar shown at 0, the animation running.
  void StartProgress();
  // The end of an analysis, in its three steps: the timer stopped; the bar
  // full; the bar hidden and the animation halted.
  void StopProgressTimer() { timer_.stop(); }
  void ShowProgressFull();
  void EndProgress();
  // Stop answered No: the animation goes on.
  void RestartProgressTimer() { timer_.start(tickMs_); }

  QTimer& Timer() { return timer_; }

 private:
  void Tick();

  ui::JobState& state_;
  QProgressBar* bar_;
  int tickMs_;
  QTimer timer_;
};

}  // namespace shell
