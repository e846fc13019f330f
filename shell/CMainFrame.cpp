#include "shell/CMainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "browser/Destination.h"
#include "browser/KeyPreview.h"
#include "browser/ModulePreview.h"
#include "browser/RefusalText.h"
#include "engine/FileError.h"
#include "export/SaveJob.h"
#include "export/TableCsvExport.h"
#include "shell/AnalysisJob.h"
#include "shell/CBrowse.h"
#include "shell/CFileSaving.h"
#include "shell/CLeftView.h"
#include "shell/CMdf_Repair.h"
#include "shell/CMendoraSqlView.h"
#include "shell/DamageList.h"
#include "shell/GridFillJob.h"
#include "shell/MessageDisplay.h"
#include "shell/ProgramFiles.h"
#include "shell/QtFolderBrowser.h"
#include "shell/QtText.h"
#include "shell/ReadRegistryString.h"
#include "shell/TableRowModel.h"
#include "ui/ProductTexts.h"
#include "widgets/AW_CMultiViewSplitter.h"
#include "widgets/Artwork.h"
#include "widgets/CAboutUs.h"
#include "widgets/CAlphaToolBar.h"
#include "widgets/CMdSqlAboutUs.h"

namespace shell {
namespace {

QAction* MakeAction(QObject* owner, const QString& text, const QString& statusTip,
                    const QString& toolTip = QString()) {
  auto* action = new QAction(text, owner);
  action->setStatusTip(statusTip);
  if (!toolTip.isEmpty()) action->setToolTip(toolTip);
  return action;
}

const QString kAboutPrompt =
    QStringLiteral("Display program information, version number and copyright");

// The manual's first page, relative to the folder the program is installed in.
const QString kHelpPage = QStringLiteral("help/index.html");

// The saved folder as the user finds it: without the separator at its end.
std::string SavedFolderText(std::string folder) {
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

// How many of a save's failures the notice lists.
constexpr size_t kFailuresShown = 5;

// The save job as the save dialog runs it.
class SaveJobWork final : public SaveWork {
 public:
  explicit SaveJobWork(mendora::SaveJob& job) : job_(job) {}
  void PrepareDestination() override { job_.PrepareDestination(); }
  void Run(mendora::JobControl& job) override { job_.Run(job); }

 private:
  mendora::SaveJob& job_;
};

// "Saving finished with errors:" and the first failures, one per line.
std::string FailureNotice(const std::vector<std::string>& failures) {
  std::string text = texts::kSavingFinishedWithErrors;
  for (size_t i = 0; i < failures.size() && i < kFailuresShown; ++i) text += "\n" + failures[i];
  if (failures.size() > kFailuresShown) text += "\n...";
  return text;
}

// The file that marks the destination as in use while the save dialog is
// open; a failure to make it changes nothing.
class InUseMarker {
 public:
  explicit InUseMarker(std::string path)
      : path_(std::move(path)), file_(std::fopen(path_.c_str(), "wb+")) {}
  ~InUseMarker() {
    if (!file_) return;
    std::fclose(file_);
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  InUseMarker(const InUseMarker&) = delete;
  InUseMarker& operator=(const InUseMarker&) = delete;

 private:
  std::string path_;
  std::FILE* file_;
};

}  // namespace

CMainFrame::CMainFrame(CMendoraSqlDoc& doc, ui::Prompts& prompts, ShellSettings settings,
                       QWidget* parent)
    : QMainWindow(parent),
      doc_(doc),
      prompts_(prompts),
      settings_(std::move(settings)),
      analysisThread_(this),
      startupAnalysisThread_(this),
      gridFillThread_(this),
      exportThread_(this) {
  setObjectName(QStringLiteral("CMainFrame"));
  setWindowTitle(Utf8ToQString(texts::kWindowTitle));
  setWindowIcon(widgets::ApplicationIcon());
  CreateCommands();
  CreateMenus();
  CreateToolBar();
  CreateStatusBar();
  CreateClient();
  RestoreWindowState();
  connect(&openTimer_, &QTimer::timeout, this, &CMainFrame::OnOpenTimer);
  connect(&commandTimer_, &QTimer::timeout, this, &CMainFrame::UpdateCommands);
  commandTimer_.start(settings_.timings.commandUpdateMs);
  UpdateCommands();
}

CMainFrame::~CMainFrame() {
  // The jobs end before the window they report to goes.
  analysisThread_.Shutdown();
  startupAnalysisThread_.Shutdown();
  gridFillThread_.Shutdown();
  gridView_->ArrangeThread().Shutdown();
  exportThread_.Shutdown();
}

QString DefaultWindowStateFile() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/MendoraForSqlServer/window.ini");
}

void CMainFrame::RestoreWindowState() {
  if (settings_.windowStateFile.isEmpty()) return;
  QSettings state(settings_.windowStateFile, QSettings::IniFormat);
  restoredGeometry_ = restoreGeometry(state.value(QStringLiteral("window/geometry")).toByteArray());
  const QVariantList panes = state.value(QStringLiteral("window/panes")).toList();
  if (panes.size() == 2) {
    splitter_->setSizes({panes[0].toInt(), panes[1].toInt()});
    treeSizedByUser_ = true;
  }
}

void CMainFrame::SaveWindowState() const {
  if (settings_.windowStateFile.isEmpty()) return;
  QSettings state(settings_.windowStateFile, QSettings::IniFormat);
  state.setValue(QStringLiteral("window/geometry"), saveGeometry());
  if (treeSizedByUser_) {
    const QList<int> sizes = splitter_->sizes();
    state.setValue(QStringLiteral("window/panes"), QVariantList{sizes.value(0), sizes.value(1)});
  }
}

void CMainFrame::CreateCommands() {
  Commands& c = commands_;
  c.open = MakeAction(this, QStringLiteral("&Open"), QStringLiteral("Open an existing document"),
                      QStringLiteral("Open"));
  c.open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  c.stopMenu = MakeAction(this, QStringLiteral("Stop"), QString());
  c.stopTool = MakeAction(this, QStringLiteral("Stop"), QStringLiteral("Stops the current process"),
                          QStringLiteral("Stop"));
  c.saveMenu = MakeAction(this, QStringLiteral("&Save"), QString());
  c.saveTool = MakeAction(this, QStringLiteral("Save"), QStringLiteral("Saved Recovered Data"),
                          QStringLiteral("Save"));
  c.saveSqliteMenu = MakeAction(this, QStringLiteral("Save as SQLite…"), QString());
  c.saveCsvMenu = MakeAction(this, QStringLiteral("Save as CSV…"), QString());
  c.exitMenu = MakeAction(this, QStringLiteral("E&xit"),
                          QStringLiteral("Quit the application; prompts to save documents"));
  c.exitTool = MakeAction(this, QStringLiteral("Exit"), QStringLiteral("Close Application "),
                          QStringLiteral("Exit"));
  c.helpMenu = MakeAction(this, QStringLiteral("Contents"), QString());
  c.helpMenu->setShortcut(QKeySequence(Qt::Key_F1));
  c.helpTool =
      MakeAction(this, QStringLiteral("Help"), QStringLiteral(" "), QStringLiteral("Help"));
  c.aboutMenu = MakeAction(this, QStringLiteral("&About Mendora for Sql Server"), kAboutPrompt);
  c.aboutTool = MakeAction(this, QStringLiteral("About Us"), QString(), QStringLiteral("About Us"));

  connect(c.open, &QAction::triggered, this, [this] { OnFileOpen(); });
  for (QAction* stop : {c.stopMenu, c.stopTool}) {
    connect(stop, &QAction::triggered, this, &CMainFrame::OnStop);
  }
  for (QAction* save : {c.saveMenu, c.saveTool}) {
    connect(save, &QAction::triggered, this, &CMainFrame::OnSave);
  }
  connect(c.saveSqliteMenu, &QAction::triggered, this, [this] { SaveAs(ui::SaveFormat::kSqlite); });
  connect(c.saveCsvMenu, &QAction::triggered, this, [this] { SaveAs(ui::SaveFormat::kCsv); });
  // Every way out is a close request, so it meets the same questions.
  for (QAction* exit : {c.exitMenu, c.exitTool}) {
    connect(exit, &QAction::triggered, this, &QWidget::close);
  }
  for (QAction* help : {c.helpMenu, c.helpTool}) {
    connect(help, &QAction::triggered, this, &CMainFrame::OnHelp);
  }
  for (QAction* about : {c.aboutMenu, c.aboutTool}) {
    connect(about, &QAction::triggered, this, &CMainFrame::ShowAbout);
  }
}

void CMainFrame::CreateMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->addAction(commands_.open);
  file->addAction(commands_.stopMenu);
  file->addAction(commands_.saveMenu);
  file->addAction(commands_.saveSqliteMenu);
  file->addAction(commands_.saveCsvMenu);
  file->addSeparator();
  file->addAction(commands_.exitMenu);
  QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
  commands_.viewToolbar = view->addAction(QStringLiteral("&Toolbar"));
  commands_.viewStatusBar = view->addAction(QStringLiteral("&Status Bar"));
  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->addAction(commands_.helpMenu);
  help->addSeparator();
  help->addAction(commands_.aboutMenu);
}

void CMainFrame::CreateToolBar() {
  toolBar_ =
      new widgets::CAlphaToolBar(QStringLiteral("Standard"), QSize(38, 44), QSize(32, 32), this);
  toolBar_->setObjectName(QStringLiteral("StandardToolBar"));
  widgets::CAlphaImageList images;
  using widgets::ToolImage;
  using widgets::ToolLook;
  // Buttons in the order Open, Stop, Save, Help, About, Exit.
  const std::pair<QAction*, ToolImage> buttons[] = {
      {commands_.open, ToolImage::kOpen},       {commands_.stopTool, ToolImage::kStop},
      {commands_.saveTool, ToolImage::kSave},   {commands_.helpTool, ToolImage::kHelp},
      {commands_.aboutTool, ToolImage::kAbout}, {commands_.exitTool, ToolImage::kExit}};
  for (const auto& [action, image] : buttons) {
    images.Add(widgets::DrawToolImage(image, ToolLook::kNormal, 32),
               widgets::DrawToolImage(image, ToolLook::kHot, 32),
               widgets::DrawToolImage(image, ToolLook::kDisabled, 32));
    toolBar_->AddButton(action, images, images.Count() - 1);
  }
  addToolBar(Qt::TopToolBarArea, toolBar_);
  commands_.viewToolbar->setCheckable(true);
  commands_.viewToolbar->setChecked(true);
  commands_.viewToolbar->setStatusTip(QStringLiteral("Show or hide the toolbar"));
  connect(commands_.viewToolbar, &QAction::toggled, toolBar_, &QWidget::setVisible);
}

void CMainFrame::CreateStatusBar() {
  QStatusBar* bar = statusBar();
  messagePane_ = new QLabel(bar);
  messagePane_->setObjectName(QStringLiteral("MessagePane"));
  bar->addWidget(messagePane_, 1);
  // The shown table's row count, as far as it is known.
  rowCountPane_ = new QLabel(bar);
  rowCountPane_->setObjectName(QStringLiteral("RowCountPane"));
  // Where the readers met damage, as a link to the list of it.
  damageLink_ = new QLabel(bar);
  damageLink_->setObjectName(QStringLiteral("DamageLink"));
  damageLink_->setTextFormat(Qt::RichText);
  damageLink_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  damageLink_->setToolTip(QStringLiteral("Show where the file is damaged"));
  connect(damageLink_, &QLabel::linkActivated, this, [this] { ShowDamage(); });
  damageLink_->hide();
  bar->addPermanentWidget(damageLink_);
  bar->addPermanentWidget(rowCountPane_);
  // The keyboard indicators, drawn as the platform draws an indicator that is
  // off: the lock states are not offered to programs here.
  for (const char* indicator : {"CAP", "NUM", "SCRL"}) {
    auto* pane = new QLabel(QString::fromLatin1(indicator), bar);
    pane->setEnabled(false);
    bar->addPermanentWidget(pane);
  }
  for (const char* blank : {"   ", "        "}) {
    auto* pane = new QLabel(QString::fromLatin1(blank), bar);
    pane->setFrameShape(QFrame::StyledPanel);
    bar->addPermanentWidget(pane);
  }
  progressBar_ = new QProgressBar(bar);
  progressBar_->setObjectName(QStringLiteral("ProgressBar"));
  progressBar_->setRange(0, 100);
  progressBar_->setValue(0);
  progressBar_->setTextVisible(false);
  PlaceProgressBar();
  progressBar_->hide();
  commands_.viewStatusBar->setCheckable(true);
  commands_.viewStatusBar->setChecked(true);
  commands_.viewStatusBar->setStatusTip(QStringLiteral("Show or hide the status bar"));
  connect(commands_.viewStatusBar, &QAction::toggled, bar, &QWidget::setVisible);
}

void CMainFrame::PlaceProgressBar() {
  // 300 by 17 pixels from x = 200, moved right when the status text would
  // run under it in this font.
  const int textEnd =
      messagePane_->fontMetrics().horizontalAdvance(Utf8ToQString(texts::kInsertionInProgress)) +
      16;
  progressBar_->setGeometry(std::max(200, textEnd), 2, 300, 17);
}

void CMainFrame::CreateClient() {
  splitter_ = new widgets::AW_CMultiViewSplitter(2, this);
  splitter_->setObjectName(QStringLiteral("Splitter"));
  treeView_ = new CLeftView(settings_.timings.analysisPollMs);
  // The tree pane: a search box over the tree.
  auto* treePane = new QWidget;
  auto* treeLayout = new QVBoxLayout(treePane);
  treeLayout->setContentsMargins(0, 0, 0, 0);
  treeLayout->setSpacing(2);
  treeSearch_ = new QLineEdit(treePane);
  treeSearch_->setObjectName(QStringLiteral("TreeSearch"));
  treeSearch_->setPlaceholderText(QStringLiteral("Search objects"));
  treeSearch_->setClearButtonEnabled(true);
  treeLayout->addWidget(treeSearch_);
  treeLayout->addWidget(treeView_);
  connect(treeSearch_, &QLineEdit::textChanged, treeView_, &CLeftView::Filter);
  splitter_->SetPaneWidget(0, 0, treePane);
  gridView_ = new CMendoraSqlView;
  // A filter or sort of a large table reports in the status bar, and Stop ends it.
  connect(gridView_, &CMendoraSqlView::ArrangeProgress, this,
          [this](int percent, const QString& text) {
            if (!gridFillThread_.IsSet()) {
              progressBar_->setValue(percent);
              progressBar_->show();
            }
            messagePane_->setText(text);
            UpdateCommands();
          });
  connect(gridView_, &CMendoraSqlView::ExportTableRequested, this, [this] {
    if (const TableRowModel* rows = gridView_->Rows()) ExportTableToCsv(rows->Source().TableId());
  });
  connect(gridView_, &CMendoraSqlView::ArrangeEnded, this, [this] {
    if (!gridFillThread_.IsSet()) progressBar_->hide();
    UpdateCommands();
  });
  analysisView_ = new CMdf_Repair(doc_.state, progressBar_, settings_.timings.analysisProgressMs);
  const int grid = splitter_->AddView(0, 1, gridView_);
  const int welcome = splitter_->AddView(0, 1, new MessageDisplay);
  const int about = splitter_->AddView(0, 1, new widgets::CAboutUs);
  const int analysis = splitter_->AddView(0, 1, analysisView_);
  Q_ASSERT(grid == kGridView && welcome == kWelcomeView && about == kAboutView &&
           analysis == kAnalysisView);
  (void)grid, (void)welcome, (void)about, (void)analysis;
  splitter_->ShowView(kWelcomeView);
  splitter_->setStretchFactor(0, 0);
  splitter_->setStretchFactor(1, 1);
  splitter_->setSizes({kTreeWidth, 10000});
  setCentralWidget(splitter_);
  connect(splitter_, &QSplitter::splitterMoved, this, [this] { treeSizedByUser_ = true; });
  connect(treeView_, &CLeftView::StartupTimerTicked, this, &CMainFrame::OnStartupTimer);
  connect(treeView_, &CLeftView::GridProgressTicked, this, &CMainFrame::OnGridProgressTimer);
  // A table's right-click menu.
  treeView_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(treeView_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    ui::TreeHandle node = ui::kNoTreeItem;
    treeView_->HitTest(at, &node);
    const mendora::NodeObject* object = doc_.nodes.Find(node);
    if (!object || object->kind != mendora::NodeKind::kTable || AnyJobSetButGridFill()) return;
    QMenu menu(treeView_);
    const int64_t tableId = object->objectId;
    menu.addAction(QStringLiteral("Export to CSV…"), this,
                   [this, tableId] { ExportTableToCsv(tableId); });
    menu.exec(treeView_->viewport()->mapToGlobal(at));
  });
  treeView_->SetClickHandler(
      [this](ui::TreeHandle node, mendora::TreeHit hit) { return OnTreeClick(node, hit); });
}

bool CMainFrame::AnyJobSet() const {
  return analysisThread_.IsSet() || startupAnalysisThread_.IsSet() || gridFillThread_.IsSet() ||
         gridView_->ArrangeThread().IsSet() || exportThread_.IsSet();
}

bool CMainFrame::AnyJobSetButGridFill() const {
  return doc_.state.analysisRunning || analysisThread_.IsSet() || startupAnalysisThread_.IsSet() ||
         exportThread_.IsSet();
}

void CMainFrame::ExportTableToCsv(int64_t tableId) {
  if (AnyJobSetButGridFill()) return;
  const mendora::_SYSOBJECTS* table = nullptr;
  for (const auto& t : doc_.catalogue.userTables) {
    if (t.id == tableId) table = &t;
  }
  if (!table) return;
  QSettings state(settings_.windowStateFile, QSettings::IniFormat);
  const bool remember = !settings_.windowStateFile.isEmpty();
  QString folder = remember ? state.value(QStringLiteral("files/csvFolder")).toString() : QString();
  if (folder.isEmpty()) folder = QDir::homePath();
  // The table's name made a file name, as the save's files are.
  QString name = ToQString(table->name);
  for (QChar& c : name) {
    if (QStringLiteral("\\/:*?\"<>|").contains(c)) c = QLatin1Char('_');
  }
  const QString suggested = QDir(folder).filePath(name + QStringLiteral(".csv"));
  QString path;
  if (settings_.chooseCsvFile) {
    path = settings_.chooseCsvFile(this, suggested);
  } else {
    // The question about an existing file is asked below, the same way
    // whichever dialog picked the file.
    path = QFileDialog::getSaveFileName(this, QStringLiteral("Export to CSV"), suggested,
                                        QStringLiteral("CSV files (*.csv);;All files (*)"), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
  }
  if (path.isEmpty()) return;
  if (QFileInfo(path).isDir()) {
    prompts_.Inform(QStringToUtf8(path) + " is a folder.", texts::kCaption);
    return;
  }
  if (QFileInfo::exists(path) &&
      !prompts_.AskYesNo(QStringToUtf8(path) + " already exists.\nDo you want to replace it?",
                         texts::kCaption, ui::PromptIcon::kQuestion)) {
    return;
  }
  if (remember) state.setValue(QStringLiteral("files/csvFolder"), QFileInfo(path).absolutePath());
  const std::string target = QFile::encodeName(path).toStdString();
  const QString tableName = ToQString(table->name);
  auto result = std::make_shared<mendora::TableCsvResult>();
  messagePane_->setText(QStringLiteral("Exporting %1 to CSV").arg(tableName));
  exportThread_.Start(
      [this, tableId, target, tableName, result](JobThread& job) {
        using Clock = std::chrono::steady_clock;
        Clock::time_point shown = Clock::now();
        *result = mendora::ExportTableCsv(
            doc_.file, doc_.catalogue, tableId, target, job.Job(), [&](uint64_t rows) {
              if (Clock::now() - shown < std::chrono::milliseconds(50)) return;
              shown = Clock::now();
              job.OnWindowThread([&] {
                messagePane_->setText(
                    QStringLiteral("Exporting %1 to CSV: %2 rows")
                        .arg(tableName, QLocale().toString(static_cast<qulonglong>(rows))));
              });
            });
      },
      [this, result, path](const JobThread::Result& end) {
        if (end.outcome == JobThread::Outcome::kStopped) {
          prompts_.Inform("The export was stopped; no file was written.", texts::kCaption);
        } else if (end.outcome == JobThread::Outcome::kFailed || !result->error.empty()) {
          prompts_.Inform(end.outcome == JobThread::Outcome::kFailed ? end.error : result->error,
                          texts::kCaption);
        } else {
          prompts_.Inform(QStringLiteral("%1 rows exported to %2")
                              .arg(QLocale().toString(static_cast<qulonglong>(result->rows)), path)
                              .toStdString(),
                          texts::kCaption);
        }
        UpdateCommands();
      });
  UpdateCommands();
}

void CMainFrame::UpdateCommands() {
  const ui::JobState& s = doc_.state;
  // Open also waits for a stopped job to unwind, since the file selection
  // closes and opens the data file that job may still be reading.
  commands_.open->setEnabled(!s.analysisRunning && !s.gridFillRunning && !AnyJobSet());
  const bool arranging = gridView_->Arranging();
  const bool stop = s.analysisRunning || s.gridFillRunning || arranging || exportThread_.IsSet();
  commands_.stopMenu->setEnabled(stop);
  commands_.stopTool->setEnabled(stop);
  commands_.saveMenu->setEnabled(s.saveAllowed);
  commands_.saveTool->setEnabled(s.saveAllowed);
  commands_.saveSqliteMenu->setEnabled(s.saveAllowed);
  commands_.saveCsvMenu->setEnabled(s.saveAllowed);
  std::string status = s.analysisRunning   ? texts::kAnalysisInProgress
                       : s.gridFillRunning ? texts::kInsertionInProgress
                                           : "";
  // A filter, sort or export shows its own progress there.
  if (status.empty() && (arranging || exportThread_.IsSet())) return;
  // While nothing runs, a damaged file says so for as long as it is shown.
  if (status.empty() && doc_.catalogue.damage.Any()) {
    const auto warnings = mendora::DamageWarnings(doc_.catalogue);
    status = texts::kFileDamaged + (warnings.empty() ? std::string() : warnings.front());
  }
  // Otherwise the file the tree shows names its release.
  if (status.empty() && doc_.file.IsOpen() && doc_.nodes.root != ui::kNoTreeItem) {
    status = mendora::FileVersionText(doc_.file.Version());
  }
  messagePane_->setText(Utf8ToQString(status));
}

bool CMainFrame::RunFileSelection(const QString& path) {
  ChooseFile choose = settings_.chooseFile;
  if (!choose && !settings_.windowStateFile.isEmpty()) {
    // The system's dialog, opened in the folder of the last file chosen.
    choose = [this](QWidget* parent) {
      QSettings state(settings_.windowStateFile, QSettings::IniFormat);
      const QString path = CBrowse::ChooseWithFileDialog(
          parent, state.value(QStringLiteral("files/lastFolder")).toString());
      if (!path.isEmpty()) {
        state.setValue(QStringLiteral("files/lastFolder"), QFileInfo(path).absolutePath());
      }
      return path;
    };
  }
  CBrowse browse(doc_.state, doc_.file, prompts_, choose, this);
  if (!path.isEmpty()) {
    // The file dialog offers only files that exist; a path from the command
    // line may name none, which is said as such rather than as a file in use.
    if (!QFileInfo(path).isFile()) {
      prompts_.Inform(texts::kNoSuchFile, texts::kWindowTitle);
    } else {
      browse.Select(QFileInfo(path).absoluteFilePath());
      if (browse.Start()) return true;
    }
  }
  return browse.exec() == QDialog::Accepted;
}

void CMainFrame::RunFirstFileSelection(const QString& path) {
  if (RunFileSelection(path)) {
    doc_.state.startupAnalysisRequested = true;
  } else {
    doc_.state.saveAllowed = false;
    doc_.state.analysisRunning = false;
  }
  UpdateCommands();
}

void CMainFrame::ClearTreeAndGrid() {
  deletedRows_.clear();
  tableDamage_ = {};
  tableDamageNotKept_ = 0;
  UpdateDamageLink();
  treeView_->Control().DeleteAllItems();
  gridView_->Clear();
  rowCountPane_->clear();
}

void CMainFrame::OpenFileFromElsewhere(const QString& file) {
  if (QApplication::activeModalWidget()) return;
  OnFileOpen(file);
}

void CMainFrame::OnFileOpen(const QString& path) {
  const ui::JobState& running = doc_.state;
  if (running.analysisRunning || running.gridFillRunning || AnyJobSet()) return;
  if (!RunFileSelection(path)) {
    doc_.state.analysisRunning = false;
    UpdateCommands();
    return;
  }
  ui::JobState& s = doc_.state;
  currentNode_ = ui::kNoTreeItem;
  s.progressPosition = 0;
  openTimer_.start(settings_.timings.analysisPollMs);
  s.saveAllowed = false;
  s.progressHalted = false;
  treeView_->Control().DeleteAllItems();
  deletedRows_.clear();
  tableDamage_ = {};
  tableDamageNotKept_ = 0;
  UpdateDamageLink();
  treeSearch_->clear();
  gridView_->ClearAndHide();
  rowCountPane_->clear();
  splitter_->ShowView(kWelcomeView);
  // The catalogue lists, the database name among them, and the tree's node lists.
  doc_.catalogue.Clear();
  doc_.handles.clear();
  doc_.nodes = {};
  s.analysisRequested = true;
  UpdateCommands();
}

void CMainFrame::OnOpenTimer() {
  if (!doc_.state.analysisRequested) return;
  doc_.state.analysisRequested = false;
  openTimer_.stop();
  StartAnalysis(analysisThread_, false);
}

void CMainFrame::OnStartupTimer() {
  if (!doc_.state.startupAnalysisRequested) return;
  treeView_->StartupTimer().stop();
  StartAnalysis(startupAnalysisThread_, true);
}

void CMainFrame::StartAnalysis(JobThread& thread, bool startup) {
  AnalysisJobParams params;
  params.startup = startup;
  params.rootLabel = doc_.state.SelectedFilePath();
  params.codePage = static_cast<uint16_t>(doc_.state.chosenCodePage.load());
  params.progressEndHoldMs = settings_.timings.progressEndHoldMs;
  params.progressEndShowMs = settings_.timings.progressEndShowMs;
  params.progress = settings_.analysisProgress;
  AnalysisTargets targets{treeView_->Control(), prompts_, *analysisView_, doc_};
  thread.Start([params, targets](JobThread& job) { RunAnalysisJob(job, params, targets); },
               [this](const JobThread::Result& result) { OnAnalysisEnded(result); });
  UpdateCommands();
}

void CMainFrame::FitTreeWidth() {
  // As wide as the names of the tables and groups need, within reason; a
  // width the user chose stays.
  if (treeSizedByUser_) return;
  const int wanted = static_cast<const QAbstractItemView*>(treeView_)->sizeHintForColumn(0) +
                     treeView_->frameWidth() * 2 +
                     treeView_->verticalScrollBar()->sizeHint().width() + 8;
  const int fit = std::clamp(wanted, kTreeWidth, std::max(kTreeWidth, width() * 2 / 5));
  const QList<int> sizes = splitter_->sizes();
  if (sizes.size() == 2) splitter_->setSizes({fit, std::max(1, sizes[0] + sizes[1] - fit)});
}

void CMainFrame::OnAnalysisEnded(const JobThread::Result& result) {
  FitTreeWidth();
  tableDamage_ = {};
  tableDamageNotKept_ = 0;
  UpdateDamageLink();
  if (closeFileAtJobEnd_) {
    closeFileAtJobEnd_ = false;
    doc_.catalogue.Clear();
    doc_.handles.clear();
    CloseDataFile();
  }
  if (result.outcome == JobThread::Outcome::kFailed) {
    // Not a file error (the job reports those itself): the analysis ends
    // with its cause on screen and the window idle.
    analysisView_->StopProgressTimer();
    analysisView_->EndProgress();
    prompts_.Inform(result.error, texts::kCaption);
  }
  UpdateDamageLink();
  UpdateCommands();
}

void CMainFrame::CloseDataFile() {
  try {
    doc_.file.Close();
  } catch (const mendora::FileError& e) {
    prompts_.Inform(e.what(), texts::kCaption);
  }
}

void CMainFrame::OnStop() {
  if (doc_.state.analysisRunning) {
    analysisView_->StopProgressTimer();
    messagePane_->setText(Utf8ToQString(texts::kAnalysisInProgress));
    analysisThread_.Hold();
    startupAnalysisThread_.Hold();
    const bool yes =
        doc_.state.analysisRunning &&
        prompts_.AskYesNo(texts::kAskAbortAnalysis, texts::kCaption, ui::PromptIcon::kQuestion);
    StopAnalysis(yes);
  } else if (doc_.state.gridFillRunning) {
    StopGridFill();
  } else if (exportThread_.IsSet()) {
    // The partial file goes; a file it was to replace stays as it was.
    exportThread_.Stop();
  } else if (gridView_->Arranging()) {
    // The rows found so far stay; nothing is lost by stopping, so no question.
    gridView_->StopArrange();
  }
  UpdateCommands();
}

void CMainFrame::StopAnalysis(bool yes) {
  ui::JobState& s = doc_.state;
  if (!yes) {
    analysisThread_.Release();
    startupAnalysisThread_.Release();
    analysisView_->RestartProgressTimer();
    return;
  }
  s.progressPosition = 0;
  ClearTreeAndGrid();
  JobThread* thread = analysisThread_.IsSet()          ? &analysisThread_
                      : startupAnalysisThread_.IsSet() ? &startupAnalysisThread_
                                                       : nullptr;
  if (thread) {
    s.SetSelectedFilePath({});
    s.progressHalted = true;
    s.progressAnimating = false;
    s.analysisRunning = false;
    progressBar_->hide();
    thread->Stop();
    // The job still owns its catalogue and may be reading the file until it
    // unwinds; the lists are emptied and the file closed when it has ended.
    closeFileAtJobEnd_ = true;
  } else {
    // Asked between the file selection and the timer that starts the job:
    // the request is withdrawn, so that no analysis starts after the user
    // said to abort it.
    CancelPendingAnalysis();
    doc_.catalogue.Clear();
    doc_.handles.clear();
    CloseDataFile();
  }
}

void CMainFrame::CancelPendingAnalysis() {
  ui::JobState& s = doc_.state;
  s.analysisRequested = false;
  s.startupAnalysisRequested = false;
  openTimer_.stop();
  treeView_->StartupTimer().stop();
  s.SetSelectedFilePath({});
  s.progressHalted = true;
  s.progressAnimating = false;
  s.analysisRunning = false;
  progressBar_->hide();
}

void CMainFrame::StopGridFill() {
  ui::JobState& s = doc_.state;
  treeView_->GridProgressTimer().stop();
  if (!gridFillThread_.IsSet()) return;
  gridFillThread_.Hold();
  if (!prompts_.AskYesNo(texts::kAskAbortGridFill, texts::kCaption, ui::PromptIcon::kQuestion)) {
    gridFillThread_.Release();
    treeView_->GridProgressTimer().start(settings_.timings.gridProgressMs);
    return;
  }
  s.progressPosition = 0;
  progressBar_->setValue(100);
  QTimer::singleShot(settings_.timings.gridStopShowMs, progressBar_, &QWidget::hide);
  s.gridFillRunning = false;
  // The rows already counted stay in the grid; the thread reference is
  // cleared when the job has unwound.
  gridFillThread_.Stop();
  pendingFill_.reset();
  UpdateRowCount();
  // A filter or sort waiting for the count goes through the rows counted.
  gridView_->ArrangeCountedRows();
}

bool CMainFrame::OnTreeClick(ui::TreeHandle node, mendora::TreeHit hit) {
  // While an analysis runs the tree is the analysis' own: nothing to show or check yet.
  if (doc_.state.analysisRunning || analysisThread_.IsSet() || startupAnalysisThread_.IsSet()) {
    return true;
  }
  // A count running for a table never holds the tree: another table's click
  // ends it and shows that table.
  const mendora::TreeClickResult click = mendora::OnTreeClick(
      treeView_->Control(), doc_.nodes, doc_.handles, node, hit, /*gridLoadRunning=*/false);
  if (click.saveAllowed) {
    doc_.state.saveAllowed = *click.saveAllowed;
    treeView_->Control().ShowPartialChecks();
  }
  switch (click.shows) {
    case mendora::ClickShows::kNothing:
      break;
    case mendora::ClickShows::kWelcome:
      ShowWelcome();
      break;
    case mendora::ClickShows::kKeyDdl:
      EndGridFill();
      gridView_->Control().DeleteAllItems();
      splitter_->ShowView(kGridView);
      currentNode_ = node;
      mendora::ShowKeyObjectDdl(gridView_->Control(), doc_.catalogue, *doc_.nodes.Find(node));
      gridView_->ShowListAsText();
      break;
    case mendora::ClickShows::kModuleText:
      EndGridFill();
      gridView_->Control().DeleteAllItems();
      splitter_->ShowView(kGridView);
      currentNode_ = node;
      mendora::ShowModuleText(gridView_->Control(), doc_.catalogue, doc_.nodes, node);
      gridView_->ShowListAsText();
      break;
    case mendora::ClickShows::kTableRows:
      StartTableLoad(node);
      break;
    case mendora::ClickShows::kDeletedRows:
      ShowDeletedRows(node);
      break;
  }
  UpdateCommands();
  return click.defaultHandling;
}

void CMainFrame::EndGridFill() {
  // The preview replaces the table, so its count has nothing left to tell.
  if (gridFillThread_.IsSet()) gridFillThread_.Stop();
  pendingFill_.reset();
  doc_.state.gridFillRunning = false;
  treeView_->GridProgressTimer().stop();
  progressBar_->hide();
  rowCountPane_->clear();
}

void CMainFrame::ShowWelcome() {
  gridView_->Table()->hide();
  splitter_->ShowView(kWelcomeView);
}

void CMainFrame::StartTableLoad(ui::TreeHandle node) {
  splitter_->ShowView(kGridView);
  gridView_->Table()->show();
  const mendora::NodeObject* table = doc_.nodes.Find(node);
  if (!table || table->kind != mendora::NodeKind::kTable) return;
  if (node == currentNode_ && gridView_->Rows()) return;
  currentNode_ = node;
  // The table shown is always the node's: a count still running for another
  // table ends, and nothing of it reaches the new table's grid.
  if (gridFillThread_.IsSet()) gridFillThread_.Stop();
  std::u16string tableName;
  for (const auto& t : doc_.catalogue.userTables) {
    if (t.id == table->objectId) tableName = t.name;
  }
  TableRowModel* model = gridView_->ShowTable(
      std::make_unique<mendora::TableRowSource>(doc_.file, doc_.catalogue, table->objectId),
      std::move(tableName));
  if (model)
    connect(model, &TableRowModel::CodePageErrorsFound, this, [this] { UpdateRowCount(); });
  pendingFill_ = table->objectId;
  doc_.state.gridFillRunning = true;
  StartPendingFill();
  UpdateRowCount();
  UpdateCommands();
}

void CMainFrame::ShowDeletedRows(ui::TreeHandle node) {
  const mendora::NodeObject* object = doc_.nodes.Find(node);
  if (!object) return;
  const auto found = deletedRows_.find(object->tableId);
  if (found == deletedRows_.end()) return;
  splitter_->ShowView(kGridView);
  gridView_->Table()->show();
  if (node == currentNode_ && gridView_->Rows()) return;
  // The rows were found already: nothing is counted, and a count running
  // for another table ends.
  EndGridFill();
  currentNode_ = node;
  std::u16string tableName;
  for (const auto& t : doc_.catalogue.userTables) {
    if (t.id == object->tableId) tableName = t.name;
  }
  gridView_->ShowTable(std::make_unique<mendora::TableRowSource>(doc_.file, doc_.catalogue,
                                                                 object->tableId, found->second),
                       std::move(tableName));
  UpdateRowCount();
  UpdateCommands();
}

void CMainFrame::OnDeletedRowsFound(int64_t tableId, const mendora::DeletedRowsIndex& deleted,
                                    const mendora::DamageReport& damage) {
  deletedRows_[tableId] = deleted;
  for (const mendora::DamageEntry& e : damage.Entries()) tableDamage_.Add(e);
  tableDamageNotKept_ += damage.NotKept();
  UpdateDamageLink();
  ui::TreeControl& tree = treeView_->Control();
  const ui::TreeHandle node =
      mendora::AddDeletedRowsNode(tree, doc_.nodes, tableId, deleted.Count());
  // The new node is seen where the user is looking: under the table just read.
  if (node != ui::kNoTreeItem) tree.Expand(tree.GetParentItem(node), ui::TreeExpand::kExpand);
  deletedSearch_.reset();
  UpdateRowCount();
}

std::vector<mendora::DamageEntry> CMainFrame::DamageEntries() const {
  std::vector<mendora::DamageEntry> entries = doc_.catalogue.damage.entries;
  entries.insert(entries.end(), tableDamage_.Entries().begin(), tableDamage_.Entries().end());
  return entries;
}

void CMainFrame::UpdateDamageLink() {
  const uint64_t count = doc_.catalogue.damage.entries.size() +
                         doc_.catalogue.damage.entriesNotKept + tableDamage_.Entries().size() +
                         tableDamage_.NotKept() + tableDamageNotKept_;
  if (count == 0) {
    damageLink_->hide();
  } else {
    damageLink_->setText(QStringLiteral("<a href=\"damage\">Damage (%1)</a>")
                             .arg(QLocale().toString(static_cast<qulonglong>(count))));
    damageLink_->show();
  }
  if (damageList_) {
    damageList_->SetEntries(DamageEntries(), doc_.catalogue.damage.entriesNotKept +
                                                 tableDamage_.NotKept() + tableDamageNotKept_);
  }
}

void CMainFrame::ShowDamage() {
  if (!damageList_) {
    damageList_ = new DamageList(this);
    damageList_->setAttribute(Qt::WA_DeleteOnClose);
  }
  damageList_->SetEntries(DamageEntries(), doc_.catalogue.damage.entriesNotKept +
                                               tableDamage_.NotKept() + tableDamageNotKept_);
  damageList_->show();
  damageList_->raise();
  damageList_->activateWindow();
}

void CMainFrame::StartPendingFill() {
  // A stopped count starts the next one when it has unwound.
  if (!pendingFill_ || gridFillThread_.IsSet()) return;
  GridFillParams params;
  params.tableId = *pendingFill_;
  params.progressTimerMs = settings_.timings.gridProgressMs;
  params.progress = settings_.gridFillProgress;
  // Each table's deleted rows are looked for once per analysed file.
  params.findDeletedRows = !deletedRows_.count(params.tableId);
  deletedSearch_.reset();
  if (params.findDeletedRows) deletedSearch_ = params.tableId;
  pendingFill_.reset();
  const int64_t tableId = params.tableId;
  GridFillTargets targets{
      treeView_->GridProgressTimer(), *progressBar_, doc_,
      [this, tableId](const std::vector<mendora::PageRowCount>& pages, bool complete) {
        OnPagesCounted(tableId, pages, complete);
      },
      [this, tableId](const mendora::DeletedRowsIndex& deleted,
                      const mendora::DamageReport& damage) {
        OnDeletedRowsFound(tableId, deleted, damage);
      }};
  gridFillThread_.Start([params, targets](JobThread& job) { RunGridFillJob(job, params, targets); },
                        [this](const JobThread::Result& result) { OnGridFillEnded(result); });
}

void CMainFrame::OnPagesCounted(int64_t tableId, const std::vector<mendora::PageRowCount>& pages,
                                bool complete) {
  TableRowModel* rows = gridView_->Rows();
  if (!rows || rows->Source().TableId() != tableId) return;
  rows->AddPages(pages);
  if (complete) {
    rows->SetComplete();
    // The search for deleted rows that follows is part of the fill: it can
    // be stopped, and the save waits for it.
    if (deletedSearch_ != tableId) doc_.state.gridFillRunning = false;
  }
  UpdateRowCount();
}

void CMainFrame::UpdateRowCount() {
  const TableRowModel* model = gridView_->Rows();
  if (!model) {
    rowCountPane_->clear();
    return;
  }
  const mendora::TableRowSource& source = model->Source();
  // A table whose rows are stored in a way the program does not read shows
  // its columns and says why there are no rows.
  if (!source.NotReadReason().empty()) {
    rowCountPane_->setText(Utf8ToQString(source.NotReadReason()));
    return;
  }
  // While the count runs the number grows; a stopped count says so.
  const QString count = QLocale().toString(static_cast<qulonglong>(source.RowCount()));
  const QString rows =
      source.RowCount() == 1 ? QStringLiteral("1 row") : QStringLiteral("%1 rows").arg(count);
  if (source.ShowsDeletedRows()) {
    rowCountPane_->setText(source.RowCount() == 1 ? QStringLiteral("1 deleted row")
                                                  : QStringLiteral("%1 deleted rows").arg(count));
    return;
  }
  QString text = source.Complete() && deletedSearch_ == source.TableId() && gridFillThread_.IsSet()
                     ? rows + QStringLiteral("; looking for deleted rows…")
                 : source.Complete() ? rows
                 : gridFillThread_.IsSet() || pendingFill_
                     ? rows + QStringLiteral(" so far")
                     : rows + QStringLiteral(" (count stopped)");
  // Text whose bytes its code page does not define shows U+FFFD in its cell;
  // the count of such values read so far says the table is damaged there.
  if (const uint64_t wrong = source.CodePageErrors()) {
    text += wrong == 1
                ? QStringLiteral("; 1 value with bytes outside its code page (shown as \uFFFD)")
                : QStringLiteral(
                      "; %1 values with bytes outside their code page (shown as "
                      "\uFFFD)")
                      .arg(QLocale().toString(static_cast<qulonglong>(wrong)));
  }
  if (const auto found = deletedRows_.find(source.TableId());
      source.Complete() && found != deletedRows_.end() && found->second.Count()) {
    const uint64_t n = found->second.Count();
    text += n == 1 ? QStringLiteral("; 1 deleted row")
                   : QStringLiteral("; %1 deleted rows")
                         .arg(QLocale().toString(static_cast<qulonglong>(n)));
  }
  rowCountPane_->setText(text);
}

void CMainFrame::OnGridFillEnded(const JobThread::Result& result) {
  ui::JobState& s = doc_.state;
  if (result.outcome == JobThread::Outcome::kFailed) {
    // A failed read ends the count: the rows counted so far stay, the bar
    // goes and the user is told why.
    treeView_->GridProgressTimer().stop();
    progressBar_->hide();
    s.progressPosition = 0;
    prompts_.Inform(result.error, texts::kCaption);
  }
  if (pendingFill_) {
    StartPendingFill();
  } else {
    s.gridFillRunning = false;
  }
  UpdateRowCount();
  UpdateCommands();
}

void CMainFrame::OnGridProgressTimer() {
  if (!gridFillThread_.IsSet()) return;
  ui::JobState& s = doc_.state;
  if (s.progressPosition == 100) {
    s.progressPosition = 0;
    return;
  }
  progressBar_->setValue(++s.progressPosition);
}

void CMainFrame::AbortAnalysisOnExit() {
  ui::JobState& s = doc_.state;
  messagePane_->setText(QString());
  analysisView_->StopProgressTimer();
  analysisThread_.Stop();
  startupAnalysisThread_.Stop();
  CancelPendingAnalysis();
  ClearTreeAndGrid();
  s.SetSelectedFilePath({});
  prompts_.Inform(texts::kAbortedByUser, texts::kCaption);
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (treeView_ && doc_.nodes.root != ui::kNoTreeItem) FitTreeWidth();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (doc_.state.analysisRunning) {
    if (prompts_.AskYesNo(texts::kAskAbortOnExit, texts::kCaption, ui::PromptIcon::kInformation)) {
      AbortAnalysisOnExit();
    }
    UpdateCommands();
    return;
  }
  if (prompts_.AskYesNo(texts::kAskExit, texts::kCaption, ui::PromptIcon::kQuestion)) {
    // A grid fill still running ends with the window.
    analysisThread_.Shutdown();
    startupAnalysisThread_.Shutdown();
    gridFillThread_.Shutdown();
    gridView_->ArrangeThread().Shutdown();
    exportThread_.Shutdown();
    SaveWindowState();
    event->accept();
  }
}

void CMainFrame::OnSave() {
  SaveAs(ui::SaveFormat::kSql);
}

void CMainFrame::SaveAs(ui::SaveFormat format) {
  ui::JobState& s = doc_.state;
  if (gridFillThread_.IsSet() || s.gridFillRunning) {
    prompts_.Inform(texts::kCannotSaveWhileLoading, texts::kCaption);
    return;
  }
  QtFolderBrowser folders(this, settings_.chooseFolder);
  mendora::DestinationContext context{treeView_->Control(),        doc_.nodes, doc_.handles,
                                      doc_.catalogue.databaseName, folders,    prompts_};
  context.format = format;
  std::vector<std::u16string> checkedObjectNames;
  mendora::ChooseDestination(context, s, checkedObjectNames);
  if (s.destinationChosen) {
    RunSave(s.DestinationFolder(), std::move(checkedObjectNames), format);
    s.destinationChosen = false;
  }
  s.SetDestinationFolder({});
}

void CMainFrame::RunSave(const std::string& folder, std::vector<std::u16string> checkedObjectNames,
                         ui::SaveFormat format) {
  ui::JobState& s = doc_.state;
  std::vector<std::string> failures;
  bool jobFailed = false;
  {
    // A SQLite save's destination is its database file: the marker goes beside it.
    const InUseMarker marker(folder.substr(0, folder.rfind('/') + 1) + "tempUNT.dat");
    SaveDialogTimings timings;
    timings.paced = settings_.timings.savePaced;
    timings.closeTimerMs = settings_.timings.saveCloseTimerMs;
    CFileSaving dialog(s, prompts_, timings, this);
    mendora::SaveRequest request{folder, s.saveAllObjects, std::move(checkedObjectNames), format};
    // Each saved table's deleted rows go beside its data, in a script of
    // their own that the batch files do not run.
    request.includeDeletedRows = true;
    mendora::SaveJob job(doc_.file, doc_.catalogue, std::move(request), dialog.Display(),
                         dialog.Pacer());
    SaveJobWork work(job);
    dialog.Run(work);
    failures = job.Report().failures;
    // A job that could not go on at all says why in the dialog's failure.
    jobFailed = !dialog.Failure().empty();
    if (jobFailed) failures.push_back(dialog.Failure());
  }
  // The save dialog and its worker have ended, and the marker is gone.
  if (s.saveCompleted) {
    s.saveCompleted = false;
    // Where the scripts went, in full: the dialog's field shows it cut.
    prompts_.Inform((failures.empty() ? texts::kSavingCompleted : FailureNotice(failures)) +
                        std::string("\n") + SavedFolderText(folder),
                    texts::kCaption);
  } else if (jobFailed) {
    prompts_.Inform(FailureNotice(failures), texts::kCaption);
  } else {
    prompts_.Inform(texts::kSavingAborted, texts::kCaption);
  }
}

QString CMainFrame::HelpFile() {
  const QString installFolder = ReadRegistryString(QString::fromLatin1(kSettingsKey),
                                                   QString::fromLatin1(kInstallFolderValue));
  return FirstFileIn({installFolder, QCoreApplication::applicationDirPath(), InstalledDocFolder()},
                     kHelpPage);
}

void CMainFrame::OnHelp() {
  if (helpWindow_) {
    helpWindow_->showNormal();
    helpWindow_->raise();
    helpWindow_->activateWindow();
    return;
  }
  const QString page = HelpFile();
  if (page.isEmpty()) return;
  // A window of its own, closed with the main window.
  auto* help = new QTextBrowser(this);
  help->setWindowFlag(Qt::Window);
  help->setAttribute(Qt::WA_DeleteOnClose);
  help->setObjectName(QStringLiteral("HelpWindow"));
  help->setWindowTitle(Utf8ToQString(texts::kProductName));
  help->setOpenExternalLinks(true);
  help->setSource(QUrl::fromLocalFile(page));
  help->resize(860, 680);
  help->show();
  helpWindow_ = help;
}

void CMainFrame::ShowAbout() {
  widgets::CMdSqlAboutUs about(this);
  // The file the tree shows, and the release that wrote it.
  if (doc_.file.IsOpen() && doc_.nodes.root != ui::kNoTreeItem) {
    const std::string release = mendora::FileVersionText(doc_.file.Version());
    if (!release.empty()) {
      about.SetFileText(
          QFileInfo(QFile::decodeName(QByteArray::fromStdString(doc_.file.Path()))).fileName() +
          QStringLiteral(": ") + Utf8ToQString(release));
    }
  }
  about.exec();
}

void CMainFrame::ComeForward() {
  if (isMinimized()) showMaximized();
  raise();
  activateWindow();
  if (QWidget* modal = QApplication::activeModalWidget()) {
    modal->raise();
    modal->activateWindow();
  }
}

}  // namespace shell
