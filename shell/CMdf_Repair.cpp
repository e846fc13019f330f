#include "shell/CMdf_Repair.h"

namespace shell {

CMdf_Repair::CMdf_Repair(ui::JobState& state, QProgressBar* bar, int tickMs, QWidget* parent)
    : QWidget(parent), state_(state), bar_(bar), tickMs_(tickMs) {
  setObjectName(QStringLiteral("CMdf_Repair"));
  connect(&timer_, &QTimer::timeout, this, &CMdf_Repair::Tick);
  timer_.start(tickMs_);
}

void CMdf_Repair::Tick() {
  if (state_.progressHalted) return;
  if (state_.progressPosition == 100) state_.progressPosition = 0;
  if (state_.progressAnimating) {
    bar_->setValue(++state_.progressPosition);
  }
}

void CMdf_Repair::StartProgress() {
  bar_->show();
  bar_->setValue(0);
  state_.progressAnimating = true;
  state_.progressHalted = false;
  timer_.start(tickMs_);
}

void CMdf_Repair::ShowProgressFull() {
  bar_->setValue(100);
}

void CMdf_Repair::EndProgress() {
  bar_->hide();
  state_.progressPosition = 0;
  state_.progressHalted = true;
  state_.progressAnimating = false;
  state_.analysisRunning = false;
}

}  // namespace shell
