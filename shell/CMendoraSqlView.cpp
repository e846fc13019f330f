#include "shell/CMendoraSqlView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <map>

#include "engine/FileError.h"
#include "engine/TableReader.h"
#include "shell/QtText.h"

namespace shell {
namespace {

constexpr int kColumnWidth = 100;
// The window moves in steps of this many rows.
constexpr uint64_t kWindowStep = 1000;

}  // namespace

CMendoraSqlView::CMendoraSqlView(QWidget* parent)
    : QWidget(parent),
      tablePane_(new QWidget(this)),
      filter_(new QLineEdit(tablePane_)),
      filterNote_(new QLabel(tablePane_)),
      windowSlider_(new QSlider(Qt::Horizontal, tablePane_)),
      windowNote_(new QLabel(tablePane_)),
      split_(new QSplitter(Qt::Horizontal, tablePane_)),
      table_(new QTableView(split_)),
      viewer_(new ValueViewer(split_)),
      previewPane_(new QWidget(this)),
      previewHeading_(new QLabel(previewPane_)),
      preview_(new QPlainTextEdit(previewPane_)),
      control_(table_),
      arrangeThread_(this) {
  setObjectName(QStringLiteral("CMendoraSqlView"));
  table_->setObjectName(QStringLiteral("List%1").arg(kListId));
  filter_->setObjectName(QStringLiteral("RowFilter"));
  filter_->setPlaceholderText(QStringLiteral("Filter rows: text, or column = value"));
  filter_->setClearButtonEnabled(true);
  auto* filterRow = new QHBoxLayout;
  filterRow->addWidget(filter_, 1);
  filterRow->addWidget(filterNote_);
  filterRow->addWidget(windowNote_);
  filterRow->addWidget(windowSlider_, 1);
  windowSlider_->setObjectName(QStringLiteral("RowWindow"));
  windowSlider_->hide();
  windowNote_->hide();
  connect(windowSlider_, &QSlider::valueChanged, this, [this](int value) {
    if (!rows_) return;
    rows_->SetWindowStart(static_cast<uint64_t>(value) * kWindowStep);
    UpdateWindowControl();
  });
  split_->addWidget(table_);
  split_->addWidget(viewer_);
  split_->setStretchFactor(0, 3);
  split_->setStretchFactor(1, 1);
  viewer_->hide();
  auto* tableLayout = new QVBoxLayout(tablePane_);
  tableLayout->setContentsMargins(0, 0, 0, 0);
  tableLayout->setSpacing(2);
  tableLayout->addLayout(filterRow);
  tableLayout->addWidget(split_, 1);

  preview_->setObjectName(QStringLiteral("PreviewText"));
  preview_->setReadOnly(true);
  preview_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  preview_->setLineWrapMode(QPlainTextEdit::NoWrap);
  auto* previewLayout = new QVBoxLayout(previewPane_);
  previewLayout->setContentsMargins(0, 0, 0, 0);
  previewLayout->addWidget(previewHeading_);
  previewLayout->addWidget(preview_, 1);
  previewPane_->hide();

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(tablePane_);
  layout->addWidget(previewPane_);
  QtListControl::ApplyReportStyle(table_);
  SetTableStyle(false);
  table_->hide();

  copy_ = new QAction(QStringLiteral("Copy"), table_);
  copy_->setShortcut(QKeySequence::Copy);
  copy_->setShortcutContext(Qt::WidgetShortcut);
  copyCsv_ = new QAction(QStringLiteral("Copy as CSV"), table_);
  copySql_ = new QAction(QStringLiteral("Copy as SQL Insert"), table_);
  viewValue_ = new QAction(QStringLiteral("View value"), table_);
  exportCsv_ = new QAction(QStringLiteral("Export table to CSV…"), table_);
  for (QAction* a : {copy_, copyCsv_, copySql_, viewValue_, exportCsv_}) table_->addAction(a);
  table_->setContextMenuPolicy(Qt::ActionsContextMenu);
  connect(copy_, &QAction::triggered, this,
          [this] { CopySelection(mendora::CopyFormat::kTabSeparated); });
  connect(copyCsv_, &QAction::triggered, this,
          [this] { CopySelection(mendora::CopyFormat::kCsv); });
  connect(copySql_, &QAction::triggered, this,
          [this] { CopySelection(mendora::CopyFormat::kSqlInsert); });
  connect(viewValue_, &QAction::triggered, this, &CMendoraSqlView::ViewValue);
  connect(exportCsv_, &QAction::triggered, this, [this] {
    if (rows_) emit ExportTableRequested();
  });
  connect(table_, &QTableView::doubleClicked, this, &CMendoraSqlView::ViewValue);
  connect(table_->horizontalHeader(), &QHeaderView::sectionClicked, this, &CMendoraSqlView::SortBy);
  connect(filter_, &QLineEdit::returnPressed, this, &CMendoraSqlView::ApplyFilter);
  connect(filter_, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (text.isEmpty()) ApplyFilter();
  });
  table_->installEventFilter(this);
}

CMendoraSqlView::~CMendoraSqlView() {
  // The view lets go of the rows' model before it goes.
  table_->setModel(&control_.Model());
}

void CMendoraSqlView::SetTableStyle(bool rows) {
  // A table's rows: cells and rows selectable together, numbered; a list:
  // one whole row at a time, as the report list always was.
  table_->verticalHeader()->setVisible(rows);
  table_->setSelectionBehavior(rows ? QAbstractItemView::SelectItems
                                    : QAbstractItemView::SelectRows);
  table_->setSelectionMode(rows ? QAbstractItemView::ExtendedSelection
                                : QAbstractItemView::SingleSelection);
  table_->horizontalHeader()->setSortIndicatorShown(false);
  table_->horizontalHeader()->setSectionsClickable(true);
  filter_->setVisible(rows);
  filterNote_->setVisible(rows);
  filterNote_->clear();
  windowSlider_->hide();
  windowNote_->hide();
  if (!rows) viewer_->hide();
}

QtListControl& CMendoraSqlView::Control() {
  if (rows_) DropRows();
  previewPane_->hide();
  tablePane_->show();
  return control_;
}

void CMendoraSqlView::DropRows() {
  // A filter or sort of these rows ends with them.
  arrangeThread_.Stop();
  arrangeWaiting_ = false;
  arrangeRestart_ = false;
  arrangeActive_ = false;
  ++rowsSerial_;
  table_->setModel(&control_.Model());
  disconnect(table_->selectionModel(), nullptr, this, nullptr);
  rows_.reset();
  viewer_->Clear();
  SetTableStyle(false);
}

TableRowModel* CMendoraSqlView::ShowTable(std::unique_ptr<mendora::TableRowSource> source,
                                          std::u16string tableName, uint64_t windowRows) {
  Clear();
  previewPane_->hide();
  tablePane_->show();
  auto model = std::make_unique<TableRowModel>(std::move(source), windowRows);
  connect(model.get(), &TableRowModel::TotalChanged, this, &CMendoraSqlView::UpdateWindowControl);
  connect(model.get(), &QAbstractItemModel::modelReset, this,
          &CMendoraSqlView::UpdateWindowControl);
  connect(model.get(), &TableRowModel::Completed, this, [this] {
    if (arrangeWaiting_) StartArrangement();
  });
  table_->setModel(model.get());
  rows_ = std::move(model);
  tableName_ = std::move(tableName);
  sortColumn_ = -1;
  sortDescending_ = false;
  filter_->blockSignals(true);
  filter_->clear();
  filter_->blockSignals(false);
  SetTableStyle(true);
  connect(table_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          &CMendoraSqlView::OnCurrentChanged);
  for (int c = 0; c < rows_->columnCount(); ++c) table_->setColumnWidth(c, kColumnWidth);
  table_->show();
  UpdateWindowControl();
  return rows_.get();
}

void CMendoraSqlView::UpdateWindowControl() {
  const bool windowed = rows_ && rows_->ShownRows() > rows_->WindowRows();
  windowSlider_->setVisible(windowed);
  windowNote_->setVisible(windowed);
  if (!windowed) return;
  const uint64_t last = rows_->ShownRows() - rows_->WindowRows();
  const QSignalBlocker quiet(windowSlider_);
  windowSlider_->setRange(0, static_cast<int>((last + kWindowStep - 1) / kWindowStep));
  windowSlider_->setValue(static_cast<int>(rows_->WindowStart() / kWindowStep));
  const uint64_t first = rows_->WindowStart() + 1;
  windowNote_->setText(QStringLiteral("rows %L1 to %L2 of %L3")
                           .arg(static_cast<qulonglong>(first))
                           .arg(static_cast<qulonglong>(first + rows_->rowCount() - 1))
                           .arg(static_cast<qulonglong>(rows_->ShownRows())));
}

void CMendoraSqlView::ShowListAsText() {
  QStringList lines;
  for (int r = 0; r < control_.GetItemCount(); ++r) lines << ToQString(control_.GetItemText(r, 0));
  previewHeading_->setText(control_.GetColumnCount() ? ToQString(control_.GetColumnHeading(0))
                                                     : QString());
  preview_->setPlainText(lines.join(QLatin1Char('\n')));
  tablePane_->hide();
  previewPane_->show();
}

void CMendoraSqlView::Clear() {
  if (rows_) DropRows();
  // As many deletions of column 0 as the header reports columns.
  for (int n = control_.GetColumnCount(); n > 0; --n) control_.DeleteColumn(0);
  control_.DeleteAllItems();
  preview_->clear();
  previewHeading_->clear();
  previewPane_->hide();
  tablePane_->show();
}

void CMendoraSqlView::ClearAndHide() {
  Clear();
  control_.ShowList(false);
}

QString CMendoraSqlView::SelectionText(mendora::CopyFormat format) const {
  const QModelIndexList picked =
      table_->selectionModel() ? table_->selectionModel()->selectedIndexes() : QModelIndexList();
  if (picked.isEmpty()) return {};
  std::map<int, std::map<int, QModelIndex>> byRow;
  std::vector<int> columns;
  for (const QModelIndex& i : picked) {
    byRow[i.row()][i.column()] = i;
    columns.push_back(i.column());
  }
  std::sort(columns.begin(), columns.end());
  columns.erase(std::unique(columns.begin(), columns.end()), columns.end());
  if (!rows_) {
    // A list's lines: their text as shown, one per line.
    QStringList lines;
    for (const auto& [row, cells] : byRow) {
      QStringList fields;
      for (int c : columns) fields << (cells.count(c) ? cells.at(c).data().toString() : QString());
      lines << fields.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
  }
  mendora::CopyCells cells;
  cells.tableName = tableName_;
  const auto& all = rows_->Source().Columns();
  for (int c : columns) cells.columns.push_back(all[c]);
  // The values are copied out row by row: a row's page may leave the cache
  // while later rows are read.
  std::vector<std::vector<mendora::Value>> kept;
  kept.reserve(byRow.size());
  for (const auto& [row, picks] : byRow) {
    std::vector<mendora::Value> values;
    for (int c : columns) {
      const mendora::Value* v = picks.count(c) ? rows_->CellValue(row, c) : nullptr;
      values.push_back(v ? *v : mendora::Value{});
    }
    kept.push_back(std::move(values));
  }
  for (const auto& values : kept) {
    std::vector<const mendora::Value*> row;
    for (const auto& v : values) row.push_back(&v);
    cells.rows.push_back(std::move(row));
  }
  return ToQString(mendora::CopyText(cells, format));
}

void CMendoraSqlView::CopySelection(mendora::CopyFormat format) {
  const QString text = SelectionText(format);
  if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

bool CMendoraSqlView::Arrange() {
  if (!rows_) return false;
  arrangeWaiting_ = false;
  if (filter_->text().trimmed().isEmpty() && sortColumn_ < 0) {
    arrangeRestart_ = false;
    arrangeActive_ = false;
    arrangeStopped_ = false;
    arrangeThread_.Stop();
    rows_->EndArrangement();
    filterNote_->clear();
    OnCurrentChanged();
    return true;
  }
  if (!rows_->Source().Complete()) {
    // Row numbers are only sure once every page is counted; the filter or
    // sort starts then (Completed).
    arrangeWaiting_ = true;
    filterNote_->setText(QStringLiteral("Sorting and filtering wait for the row count"));
    emit ArrangeProgress(0, filterNote_->text());
    return true;
  }
  StartArrangement();
  return true;
}

void CMendoraSqlView::ArrangeCountedRows() {
  if (arrangeWaiting_ && rows_) StartArrangement();
}

void CMendoraSqlView::StopArrange() {
  arrangeRestart_ = false;
  if (arrangeWaiting_) {
    arrangeWaiting_ = false;
    filterNote_->clear();
    emit ArrangeEnded();
  }
  if (!arrangeActive_) return;
  arrangeActive_ = false;
  arrangeStopped_ = true;
  arrangeThread_.Stop();
}

void CMendoraSqlView::StartArrangement() {
  arrangeWaiting_ = false;
  if (!rows_) return;
  arrangeActive_ = true;
  if (arrangeThread_.IsSet()) {
    // The previous one unwinds first; this one starts at its end.
    arrangeRestart_ = true;
    arrangeThread_.Stop();
    return;
  }
  arrangeRestart_ = false;
  arrangeStopped_ = false;
  const mendora::TableRowSource& source = rows_->Source();
  mendora::ArrangeRequest request;
  request.filter = ToU16(filter_->text().trimmed());
  request.sortColumn = sortColumn_;
  request.descending = sortDescending_;
  // Half for the sort's runs, a quarter for the list shown (the job's
  // batches and the reader take the rest).
  request.memoryBytes = arrangeMemory_ / 2;
  rows_->BeginArrangement(arrangeMemory_ / 4);
  arrangeLast_ = {};
  arrangeLast_.total = source.IndexedPages();
  ShowArrangeState(arrangeLast_, true);
  auto pages = std::make_shared<const std::vector<mendora::PageStart>>(source.PageStarts());
  auto columns = std::make_shared<const std::vector<mendora::_SYSCOLUMNS>>(source.Columns());
  mendora::PageRowsReader readPage = source.ReaderForAnotherThread();
  TableRowModel* model = rows_.get();
  arrangeSerial_ = rowsSerial_;
  arrangeThread_.Start(
      [this, pages, columns, readPage, request, model](JobThread& job) {
        using Clock = std::chrono::steady_clock;
        // The rows found go over to the window at once for the first, then
        // at most every 50 ms, with the progress.
        std::vector<uint64_t> found;
        mendora::ArrangeProgress last;
        bool first = true;
        Clock::time_point lastFlush = Clock::now();
        auto flush = [&] {
          job.OnWindowThread([&] {
            model->AddArranged(found);
            ShowArrangeState(last, true);
          });
          found.clear();
          lastFlush = Clock::now();
        };
        mendora::ArrangeRows(
            *columns, *pages, readPage, request, job.Job(),
            [&](std::span<const uint64_t> rows) {
              found.insert(found.end(), rows.begin(), rows.end());
            },
            [&](const mendora::ArrangeProgress& progress) {
              last = progress;
              if ((first && !found.empty()) || found.size() >= (1u << 20) ||
                  Clock::now() - lastFlush >= std::chrono::milliseconds(50)) {
                first = first && found.empty();
                flush();
              }
            });
        flush();
      },
      [this](const JobThread::Result& result) { OnArrangeEnded(result); });
}

void CMendoraSqlView::ShowArrangeState(const mendora::ArrangeProgress& progress, bool running) {
  arrangeLast_ = progress;
  if (!rows_) return;
  const bool sorting = sortColumn_ >= 0;
  const bool filtering = !filter_->text().trimmed().isEmpty();
  const QString total = QLocale().toString(static_cast<qulonglong>(rows_->TotalRows()));
  const QString matched = QLocale().toString(static_cast<qulonglong>(rows_->ShownRows()));
  int percent = 100;
  if (progress.total) {
    const double part = static_cast<double>(progress.done) / static_cast<double>(progress.total);
    // A sort's reading is most of its work; the merge is the rest.
    percent = !sorting           ? static_cast<int>(part * 100)
              : progress.sorting ? 80 + static_cast<int>(part * 20)
                                 : static_cast<int>(part * 80);
  }
  QString note;
  if (running) {
    note = sorting ? QStringLiteral("Sorting (%1%)").arg(percent)
                   : QStringLiteral("%1 of %2 rows so far (%3%)").arg(matched, total).arg(percent);
  } else if (filtering) {
    note = QStringLiteral("%1 of %2 rows").arg(matched, total);
    if (arrangeStopped_) note += QStringLiteral(" (stopped)");
  } else if (arrangeStopped_) {
    note = QStringLiteral("Sorting stopped");
  }
  filterNote_->setText(note);
  if (running) emit ArrangeProgress(percent, note);
}

void CMendoraSqlView::OnArrangeEnded(const JobThread::Result& result) {
  if (arrangeRestart_) {
    StartArrangement();
    return;
  }
  const bool current = arrangeActive_ || arrangeStopped_;
  arrangeActive_ = false;
  if (rows_ && arrangeSerial_ == rowsSerial_ && current) {
    if (result.outcome == JobThread::Outcome::kStopped) arrangeStopped_ = true;
    ShowArrangeState(arrangeLast_, false);
    if (result.outcome == JobThread::Outcome::kFailed) {
      filterNote_->setText(QString::fromStdString(result.error));
    }
    OnCurrentChanged();
  }
  emit ArrangeEnded();
}

bool CMendoraSqlView::SortBy(int column) {
  if (!rows_ || column < 0 || column >= rows_->columnCount()) return false;
  sortDescending_ = column == sortColumn_ && !sortDescending_;
  sortColumn_ = column;
  Arrange();
  QHeaderView* header = table_->horizontalHeader();
  header->setSortIndicatorShown(true);
  header->setSortIndicator(column, sortDescending_ ? Qt::DescendingOrder : Qt::AscendingOrder);
  return true;
}

bool CMendoraSqlView::ApplyFilter() {
  return Arrange();
}

void CMendoraSqlView::ViewValue() {
  if (!rows_) return;
  if (viewer_->isHidden()) {
    // Room for a picture and a hex line of sixteen bytes beside the grid.
    viewer_->show();
    const int width = split_->width();
    const int viewer = std::min(width / 2, std::max(width * 2 / 5, 520));
    split_->setSizes({width - viewer, viewer});
  }
  OnCurrentChanged();
}

void CMendoraSqlView::OnCurrentChanged() {
  if (!rows_ || viewer_->isHidden()) return;
  const QModelIndex at = table_->currentIndex();
  const auto& columns = rows_->Source().Columns();
  if (!at.isValid() || at.column() >= static_cast<int>(columns.size())) {
    viewer_->Clear();
    return;
  }
  viewer_->Show(rows_->CellValue(at.row(), at.column()), columns[at.column()]);
}

bool CMendoraSqlView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == table_ && event->type() == QEvent::KeyPress && rows_) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->matches(QKeySequence::Copy)) {
      CopySelection(mendora::CopyFormat::kTabSeparated);
      return true;
    }
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      ViewValue();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace shell
