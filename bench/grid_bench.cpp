// Measures the grid fill as the window runs it, on the offscreen platform:
// the largest table of a data file (or the one named) loaded on its job
// thread through the list control into the Qt list model. Prints when the
// first rows showed after the load's start (the fixed wait before it not
// counted), rows per second overall, the cells' text, the memory the model
// keeps, and the process's peak memory before and after.
//
//   grid_bench FILE.mdf [TABLE]
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QTimer>
#include <cstdio>
#include <string>

#include "browser/TableGrid.h"
#include "engine/Analysis.h"
#include "engine/Utf16.h"
#include "shell/CMendoraSqlView.h"
#include "shell/GridFillJob.h"
#include "shell/JobThread.h"

namespace {

double PeakMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: grid_bench FILE.mdf [TABLE]\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  shell::CMendoraSqlDoc doc;
  if (!doc.file.Open(argv[1]) || !doc.file.DetectVersion()) {
    std::fprintf(stderr, "cannot open %s\n", argv[1]);
    return 1;
  }
  mendora::NullJobControl analysisJob;
  mendora::RunAnalysis(doc.file, doc.catalogue, analysisJob);
  const mendora::_SYSOBJECTS* table = nullptr;
  uint64_t recorded = 0;
  for (const auto& t : doc.catalogue.userTables) {
    const uint64_t count = mendora::RecordedRowCount(doc.catalogue, t.id);
    if (argc > 2 ? mendora::ToUtf8(t.name) == argv[2] : (!table || count > recorded)) {
      table = &t;
      recorded = count;
    }
  }
  if (!table) {
    std::fprintf(stderr, "no such table\n");
    return 1;
  }
  const double peakBefore = PeakMiB();

  shell::CMendoraSqlView view;
  view.resize(1000, 700);
  view.show();
  view.Control().ShowList(true);
  QTimer progressTimer;
  QProgressBar bar;
  shell::JobThread job;
  shell::GridFillParams params;
  params.tableId = table->id;
  shell::GridFillTargets targets{view.Control(), progressTimer, bar, doc};

  QElapsedTimer clock;
  qint64 firstRowsMs = -1, lastRowsMs = 0;
  QObject::connect(&view.Control().Model(), &QAbstractItemModel::rowsInserted, [&] {
    lastRowsMs = clock.elapsed();
    if (firstRowsMs < 0) firstRowsMs = lastRowsMs;
  });
  bool ended = false;
  clock.start();
  doc.state.gridFillRunning = true;
  job.Start([&](shell::JobThread& j) { shell::RunGridFillJob(j, params, targets); },
            [&](const shell::JobThread::Result& r) {
              ended = true;
              if (r.outcome != shell::JobThread::Outcome::kDone) {
                std::fprintf(stderr, "load ended early: %s\n", r.error.c_str());
              }
              app.quit();
            });
  if (!ended) app.exec();

  const shell::GridModel& model = view.Control().Model();
  const uint64_t rows = static_cast<uint64_t>(model.rowCount());
  const uint64_t cells = rows * static_cast<uint64_t>(model.columnCount());
  const uint64_t textBytes = (model.StoredUnits() - cells) * 2;
  const double loadSeconds = (lastRowsMs - params.startWaitMs) / 1000.0;
  std::printf("table            %s (%d columns), recorded rows %llu\n",
              mendora::ToUtf8(table->name).c_str(), model.columnCount(),
              static_cast<unsigned long long>(recorded));
  std::printf("rows shown       %llu\n", static_cast<unsigned long long>(rows));
  std::printf("first rows       %lld ms after the load's start (%d ms wait before it)\n",
              static_cast<long long>(firstRowsMs - params.startWaitMs), params.startWaitMs);
  std::printf("all rows         %.3f s, %.0f rows/s\n", loadSeconds,
              loadSeconds > 0 ? rows / loadSeconds : 0.0);
  std::printf("cell text        %.1f MiB (UTF-16)\n", textBytes / 1048576.0);
  std::printf("model keeps      %.1f MiB of rows\n", model.StoredUnits() * 2 / 1048576.0);
  std::printf("peak memory      %.1f MiB before the load, %.1f MiB after (+%.1f MiB)\n", peakBefore,
              PeakMiB(), PeakMiB() - peakBefore);
  return 0;
}
