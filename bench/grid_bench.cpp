// Measures the grid as the window runs it, on the offscreen platform: the
// largest table of a data file (or the one named) shown through the
// page-to-row index, its pages counted on the grid fill's job thread. Prints
// when the first rows were on screen after the click, how long the count
// took, how long the grid takes to show the last row and a row in the
// middle, and the process's peak memory before the click and after. Then a
// filter (text anywhere, and "column = value" on the second column) and a
// sort by the second column descending, each on the view's job thread with
// the view's memory budget: when the first matches showed, how long the
// whole pass took, whether the work spilled to temporary files, how long the
// last sorted row takes to show, and the peak memory after.
//
//   grid_bench FILE.mdf [TABLE [FILTER]]
//
// A file with a table of ten million rows:
//   large_mdf_generator big.mdf --tables 1 --size-mib 820
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressBar>
#include <QScrollBar>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <functional>
#include <string>

#include "browser/TableRowSource.h"
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

// Milliseconds the view takes to show the stored row `stored` (moving the
// grid's window there) and paint it; false in `*shown` when the row is not
// on screen after it.
double ScrollAndPaint(QTableView& table, shell::TableRowModel& model, uint64_t stored,
                      bool* shown) {
  QElapsedTimer clock;
  clock.start();
  const int row = model.ShowStoredRow(stored);
  table.scrollTo(table.model()->index(row, 0), QAbstractItemView::PositionAtCenter);
  table.viewport()->repaint();
  const double ms = clock.nsecsElapsed() / 1e6;
  const int top = table.rowAt(0);
  const int bottom = table.rowAt(table.viewport()->height() - 1);
  *shown = top >= 0 && top <= row && (bottom < 0 || row <= bottom);
  return ms;
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
    const uint64_t count = mendora::StoredRowCount(doc.catalogue, t.id);
    if (argc > 2 ? mendora::ToUtf8(t.name) == argv[2] : (!table || count > recorded)) {
      table = &t;
      recorded = count;
    }
  }
  if (!table) {
    std::fprintf(stderr, "no such table\n");
    return 1;
  }

  shell::CMendoraSqlView view;
  view.resize(1000, 700);
  view.show();
  while (!view.windowHandle() || !view.windowHandle()->isExposed()) {
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
  }
  const double peakBefore = PeakMiB();
  QTimer progressTimer;
  QProgressBar bar;
  shell::JobThread job;
  shell::GridFillParams params;
  params.tableId = table->id;

  // The click: the table's model goes up at once, its count starts.
  QElapsedTimer clock;
  clock.start();
  shell::TableRowModel* model =
      view.ShowTable(std::make_unique<mendora::TableRowSource>(doc.file, doc.catalogue, table->id));
  double firstRowsMs = -1;
  shell::GridFillTargets targets{
      progressTimer, bar, doc, [&](const std::vector<mendora::PageRowCount>& pages, bool complete) {
        model->AddPages(pages);
        if (complete) model->SetComplete();
        if (firstRowsMs < 0 && model->rowCount() > 0) {
          view.Table()->viewport()->repaint();
          firstRowsMs = clock.nsecsElapsed() / 1e6;
        }
      }};
  bool ended = false;
  // An event loop of its own: quitting the application's would close the view.
  QEventLoop counting;
  doc.state.gridFillRunning = true;
  job.Start([&](shell::JobThread& j) { shell::RunGridFillJob(j, params, targets); },
            [&](const shell::JobThread::Result& r) {
              ended = true;
              if (r.outcome != shell::JobThread::Outcome::kDone) {
                std::fprintf(stderr, "count ended early: %s\n", r.error.c_str());
              }
              counting.quit();
            });
  if (!ended) counting.exec();
  const double countSeconds = clock.nsecsElapsed() / 1e9;
  const uint64_t rows = model->TotalRows();
  // The view lays out the inserted rows when its window thread is idle.
  view.Table()->doItemsLayout();
  QApplication::processEvents();

  bool shown[3] = {};
  const double lastRowMs = ScrollAndPaint(*view.Table(), *model, rows - 1, &shown[0]);
  const size_t pagesAfterLast = model->Source().CachedPageCount();
  const double middleRowMs = ScrollAndPaint(*view.Table(), *model, rows / 2, &shown[1]);
  const double lastAgainMs = ScrollAndPaint(*view.Table(), *model, rows - 1, &shown[2]);
  if (!shown[0] || !shown[1] || !shown[2] || pagesAfterLast < 2) {
    std::fprintf(stderr, "the rows scrolled to were not painted\n");
  }
  const mendora::TableRowSource& source = model->Source();

  std::printf("table            %s (%d columns), recorded rows %llu\n",
              mendora::ToUtf8(table->name).c_str(), model->columnCount(),
              static_cast<unsigned long long>(recorded));
  std::printf("rows             %llu in %zu pages, the grid holding %llu at a time\n",
              static_cast<unsigned long long>(rows), source.IndexedPages(),
              static_cast<unsigned long long>(model->WindowRows()));
  std::printf("first rows       %.1f ms after the click, on screen\n", firstRowsMs);
  std::printf("count            %.3f s, %.0f rows/s\n", countSeconds,
              countSeconds > 0 ? rows / countSeconds : 0.0);
  std::printf("last row         %.1f ms to scroll there and paint\n", lastRowMs);
  std::printf("middle row       %.1f ms; last row again %.1f ms\n", middleRowMs, lastAgainMs);
  std::printf("grid keeps       %.1f KiB index, %.1f KiB in %zu decoded pages\n",
              source.IndexedPages() * 16 / 1024.0, source.CachedBytes() / 1024.0,
              source.CachedPageCount());
  std::printf("peak memory      %.1f MiB before the click, %.1f MiB after (+%.1f MiB)\n",
              peakBefore, PeakMiB(), PeakMiB() - peakBefore);
  std::fflush(stdout);

  // Filters and a sort, as typed in the filter box and clicked on a header.
  QString valueFilter = QStringLiteral("%1 = %2").arg(
      model->headerData(1, Qt::Horizontal).toString(), model->index(0, 1).data().toString());
  auto arrange = [&](const char* what, const std::function<void()>& start) {
    const double peak = PeakMiB();
    QElapsedTimer timer;
    timer.start();
    double firstMs = -1;
    QEventLoop loop;
    auto shown = QObject::connect(model, &shell::TableRowModel::TotalChanged, [&] {
      if (firstMs < 0 && model->ShownRows() > 0) {
        view.Table()->viewport()->repaint();
        firstMs = timer.nsecsElapsed() / 1e6;
      }
    });
    auto ended =
        QObject::connect(&view, &shell::CMendoraSqlView::ArrangeEnded, &loop, &QEventLoop::quit);
    start();
    if (view.Arranging()) loop.exec();
    const double seconds = timer.nsecsElapsed() / 1e9;
    QObject::disconnect(shown);
    QObject::disconnect(ended);
    std::printf(
        "%-16s %llu rows, first shown %.1f ms, all in %.2f s (%.0f rows/s)%s; %s\n", what,
        static_cast<unsigned long long>(model->ShownRows()), firstMs, seconds,
        seconds > 0 ? rows / seconds : 0.0,
        model->Arrangement() && model->Arrangement()->Spilled() ? ", list in a temporary file" : "",
        view.FilterNote()->text().toUtf8().constData());
    std::printf("                 peak memory %.1f MiB (+%.1f MiB over the pass)\n", PeakMiB(),
                PeakMiB() - peak);
    std::fflush(stdout);
  };
  const QString textFilter = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("99999");
  arrange("filter text", [&] {
    view.FilterBox()->setText(textFilter);
    view.ApplyFilter();
  });
  arrange("filter value", [&] {
    view.FilterBox()->setText(valueFilter);
    view.ApplyFilter();
  });
  // The filter box emptied shows the stored order again, at once.
  view.FilterBox()->clear();
  arrange("sort ascending", [&] { view.SortBy(1); });
  arrange("sort descending", [&] { view.SortBy(1); });
  bool sortedShown = false;
  QElapsedTimer lastSorted;
  lastSorted.start();
  view.WindowSlider()->setValue(view.WindowSlider()->maximum());
  const int lastRow = model->rowCount() - 1;
  view.Table()->scrollTo(model->index(lastRow, 0));
  view.Table()->viewport()->repaint();
  sortedShown = view.Table()->rowAt(view.Table()->viewport()->height() - 1) <= lastRow;
  std::printf("last sorted row  %.1f ms to scroll there and paint%s\n",
              lastSorted.nsecsElapsed() / 1e6, sortedShown ? "" : " (not shown)");
  std::printf("peak memory      %.1f MiB at the end (+%.1f MiB since before the click)\n",
              PeakMiB(), PeakMiB() - peakBefore);
  return 0;
}
