// The left pane: the tree of recovered objects. At first it holds the root
// "Mendora for Sql Server" only. It owns two timers: timer 1 (one second)
// asks whether the first file selection requested an analysis, timer 2
// animates the progress bar during a grid fill. The window decides what a
// tick does.
#pragma once

#include <QTimer>
#include <QTreeWidget>

#include "shell/QtTreeControl.h"

namespace shell {

class CLeftView final : public QTreeWidget {
  Q_OBJECT

 public:
  CLeftView(int startupPollMs, QWidget* parent = nullptr);

  QtTreeControl& Control() { return control_; }
  QTimer& StartupTimer() { return startupTimer_; }
  QTimer& GridProgressTimer() { return gridProgressTimer_; }

 signals:
  void StartupTimerTicked();
  void GridProgressTicked();

 private:
  QtTreeControl control_;
  QTimer startupTimer_;
  QTimer gridProgressTimer_;
};

}  // namespace shell
