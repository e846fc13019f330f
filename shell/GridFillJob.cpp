#include "shell/GridFillJob.h"

#include <chrono>

#include "engine/TableReader.h"

namespace shell {

void RunGridFillJob(JobThread& job, const GridFillParams& params, const GridFillTargets& targets) {
  using Clock = std::chrono::steady_clock;
  ui::JobState& state = targets.doc.state;
  job.OnWindowThread([&] {
    state.progressPosition = 0;
    targets.progressTimer.start(params.progressTimerMs);
    targets.progressBar.setValue(0);
    targets.progressBar.show();
  });
  std::vector<mendora::PageRowCount> pages;
  uint64_t counted = 0;
  bool first = true;
  Clock::time_point lastFlush = Clock::now();
  auto flush = [&](bool complete) {
    for (const auto& p : pages) counted += p.rows;
    job.OnWindowThread([&] { targets.onPages(pages, complete); });
    pages.clear();
    lastFlush = Clock::now();
    if (params.progress) params.progress(counted);
  };
  mendora::TableReader reader(targets.doc.file, targets.doc.catalogue, params.tableId);
  reader.CountPageRows(job.Job(), [&](uint64_t page, uint32_t rows) {
    if (rows == 0) return true;
    pages.push_back({page, rows});
    if (first || Clock::now() - lastFlush >= std::chrono::milliseconds(params.flushMs)) {
      first = false;
      flush(false);
    }
    return true;
  });
  flush(true);
  if (params.findDeletedRows && reader.CanRead()) {
    mendora::DamageReport damage;
    const mendora::DeletedRowsIndex deleted = mendora::IndexDeletedRows(
        targets.doc.file, targets.doc.catalogue, params.tableId, job.Job(), &damage);
    job.OnWindowThread([&] { targets.onDeletedRows(deleted, damage); });
  }
  job.OnWindowThread([&] {
    targets.progressTimer.stop();
    targets.progressBar.setValue(100);
    targets.progressBar.hide();
    state.progressPosition = 0;
  });
}

}  // namespace shell
