#include "shell/GridFillJob.h"

#include <chrono>

#include "browser/TableGrid.h"
#include "shell/JobControls.h"

namespace shell {

void RunGridFillJob(JobThread& job, const GridFillParams& params, const GridFillTargets& targets) {
  using std::chrono::milliseconds;
  JobListControl list(job, targets.list);
  ui::JobState& state = targets.doc.state;
  // The wait is taken here rather than on the window thread, which never waits.
  job.Pause(milliseconds(params.startWaitMs));
  job.OnWindowThread([&] {
    targets.list.DeleteAllItems();
    state.progressPosition = 0;
    targets.progressTimer.start(params.progressTimerMs);
    targets.progressBar.setValue(0);
    targets.progressBar.show();
  });
  mendora::LoadTable(targets.doc.file, targets.doc.catalogue, params.tableId, list, job.Job());
  state.gridFillRunning = false;
  job.Pause(milliseconds(params.endWaitMs));
  job.OnWindowThread([&] {
    targets.progressTimer.stop();
    targets.progressBar.setValue(100);
  });
  job.Pause(milliseconds(params.endShowMs));
  job.OnWindowThread([&] {
    targets.progressBar.hide();
    state.progressPosition = 0;
  });
}

}  // namespace shell
