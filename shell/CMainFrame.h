// The main window: the object tree on the left and, on the right, one of
// four views (the grid, the welcome picture, the about page and the hidden
// analysis view); the menu, the toolbar, the status bar with its progress
// bar; and the commands Open, Stop, Save, Help, About and Exit with the
// background jobs they start and end.
//
// The window only routes: the file selection is CBrowse, the analysis is
// RunAnalysisJob on a JobThread, the tree is built by the object browser, the
// save's destination is chosen by the object browser and the save runs in
// CFileSaving.
// Command enabling and the status text follow the shared job state, checked
// on a short timer as the platform's idle update would.
#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QProgressBar>
#include <QTextBrowser>
#include <QTimer>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "browser/TableRowSource.h"
#include "browser/TreeClick.h"
#include "shell/CMendoraSqlDoc.h"
#include "shell/DamageList.h"
#include "shell/JobThread.h"
#include "shell/ShellSettings.h"
#include "ui/Prompts.h"
#include "ui/SaveFormat.h"

class QAction;
class QLineEdit;

namespace widgets {
class AW_CMultiViewSplitter;
class CAlphaToolBar;
}  // namespace widgets

namespace shell {

class CLeftView;

class CMdf_Repair;
class CMendoraSqlView;

class CMainFrame final : public QMainWindow {
  Q_OBJECT

 public:
  // The right pane's views, by id, in the order they are created.
  enum ViewId { kGridView = 0, kWelcomeView = 1, kAboutView = 2, kAnalysisView = 3 };
  static constexpr int kTreeWidth = 210;

  // The menu's and the toolbar's commands. Where the menu and the toolbar
  // carry different prompts they have one action each.
  struct Commands {
    QAction* open = nullptr;
    QAction* stopMenu = nullptr;
    QAction* stopTool = nullptr;
    QAction* saveMenu = nullptr;
    QAction* saveTool = nullptr;
    QAction* saveSqliteMenu = nullptr;
    QAction* saveCsvMenu = nullptr;
    QAction* exitMenu = nullptr;
    QAction* exitTool = nullptr;
    QAction* helpMenu = nullptr;
    QAction* helpTool = nullptr;
    QAction* aboutMenu = nullptr;
    QAction* aboutTool = nullptr;
    QAction* viewToolbar = nullptr;
    QAction* viewStatusBar = nullptr;
  };

  CMainFrame(CMendoraSqlDoc& doc, ui::Prompts& prompts, ShellSettings settings,
             QWidget* parent = nullptr);
  ~CMainFrame() override;

  // Open: the file selection, then the analysis once the window's timer ticks.
  void OnFileOpen(const QString& path = QString());
  // Stop: holds the running job, asks, and ends or resumes it.
  void OnStop();
  // Save: refused while a grid fill runs; the destination, then the save
  // dialog, then what came of it.
  void OnSave();
  // Export to CSV of one table (the tree's and the grid's right-click menu):
  // the destination from a save dialog, an existing file replaced only when
  // the user says so, the rows written on a job thread with the rows so far
  // in the status bar; Stop ends it and leaves no file.
  void ExportTableToCsv(int64_t tableId);
  JobThread& ExportThread() { return exportThread_; }
  // Save in one of the formats: the same check marks, destination step and
  // save dialog; "Save as SQLite…" and "Save as CSV…" come here.
  void SaveAs(ui::SaveFormat format);
  // Help: the manual in a window of its own, or that window brought forward.
  void OnHelp();
  // The manual's first page: help/index.html in the installation folder,
  // beside the program, or in the installed manual's folder
  // (/usr/share/doc/mendora); empty when none has it.
  static QString HelpFile();
  // Runs the file selection modally; true when it ended with the file open.
  // With `path`, that file is selected and started at once; the dialog shows
  // only when it is refused, after the refusal's message.
  bool RunFileSelection(const QString& path = QString());
  // The file selection of start-up, or the file the command line named; the
  // tree view's timer starts the analysis.
  void RunFirstFileSelection(const QString& path = QString());
  // Another copy of the program was started: bring this one forward.
  void ComeForward();
  // A data file another start of the program was given: opened as File > Open
  // with it chosen, unless something runs or a dialog is up.
  void OpenFileFromElsewhere(const QString& file);
  // Brings command enabling and the status text up to date now.
  void UpdateCommands();
  // A left click on the tree; returns whether the tree's own handling follows.
  bool OnTreeClick(ui::TreeHandle node, mendora::TreeHit hit);
  // A table node's label was clicked: its rows, unless they show already or
  // a grid fill runs.
  void StartTableLoad(ui::TreeHandle node);
  // A table's "Deleted rows (n)" node was clicked: those rows in the grid,
  // `_found_at` and `_why` leading.
  void ShowDeletedRows(ui::TreeHandle node);
  // What reading each table found besides its live rows, by table id: the
  // tables whose rows have been shown since the file was analysed.
  const std::map<int64_t, mendora::DeletedRowsIndex>& DeletedRows() const { return deletedRows_; }
  // The node whose content the right pane shows (a table, key or module).
  ui::TreeHandle CurrentNode() const { return currentNode_; }

  const Commands& Actions() const { return commands_; }
  // Whether the window took its size and place from the window state file.
  bool RestoredGeometry() const { return restoredGeometry_; }
  CLeftView* TreeView() const { return treeView_; }
  // The search box over the tree.
  QLineEdit* TreeSearch() const { return treeSearch_; }
  CMendoraSqlView* GridView() const { return gridView_; }
  CMdf_Repair* AnalysisView() const { return analysisView_; }
  widgets::AW_CMultiViewSplitter* Splitter() const { return splitter_; }
  widgets::CAlphaToolBar* ToolBar() const { return toolBar_; }
  QProgressBar* ProgressBar() const { return progressBar_; }
  QLabel* MessagePane() const { return messagePane_; }
  // The shown table's row count in the status bar.
  QLabel* RowCountPane() const { return rowCountPane_; }
  // "Damage (n)" in the status bar, a link that opens the Damage list.
  QLabel* DamageLink() const { return damageLink_; }
  // The Damage list, opened (or brought forward) with what is known now.
  void ShowDamage();
  DamageList* DamageWindow() const { return damageList_; }
  // What the window knows of the file's damage: the catalogue recovery's,
  // then each table's whose rows were read, in that order.
  std::vector<mendora::DamageEntry> DamageEntries() const;
  QTimer& OpenTimer() { return openTimer_; }
  JobThread& AnalysisThread() { return analysisThread_; }
  JobThread& StartupAnalysisThread() { return startupAnalysisThread_; }
  JobThread& GridFillThread() { return gridFillThread_; }
  CMendoraSqlDoc& Document() { return doc_; }
  // The manual's window while it is open.
  QTextBrowser* HelpWindow() const { return helpWindow_; }

 protected:
  // Exit, from the menu, the toolbar or the close box.
  void closeEvent(QCloseEvent* event) override;
  // A window made larger gives a tree whose names were cut the room they need.
  void resizeEvent(QResizeEvent* event) override;

 private:
  // An analysis or an export runs: no export starts.
  bool AnyJobSetButGridFill() const;
  void CreateCommands();
  void CreateMenus();
  void CreateToolBar();
  void CreateStatusBar();
  void CreateClient();
  void PlaceProgressBar();

  void OnOpenTimer();
  void OnStartupTimer();
  void OnGridProgressTimer();
  void StartAnalysis(JobThread& thread, bool startup);
  void OnAnalysisEnded(const JobThread::Result& result);
  // The tree pane as wide as its names, unless the user has set its width.
  void FitTreeWidth();
  void RestoreWindowState();
  void SaveWindowState() const;
  void StopAnalysis(bool yes);
  void StopGridFill();
  void OnGridFillEnded(const JobThread::Result& result);
  // The count of the table waiting to start, once the previous one has unwound.
  void StartPendingFill();
  void OnPagesCounted(int64_t tableId, const std::vector<mendora::PageRowCount>& pages,
                      bool complete);
  void UpdateRowCount();
  void OnDeletedRowsFound(int64_t tableId, const mendora::DeletedRowsIndex& deleted,
                          const mendora::DamageReport& damage);
  // The status bar's link to the Damage list, shown while there is damage.
  void UpdateDamageLink();
  // A preview replaces the shown table: its count ends without a question.
  void EndGridFill();
  void ShowWelcome();
  // Exit answered Yes during an analysis.
  void AbortAnalysisOnExit();
  void CancelPendingAnalysis();
  void ClearTreeAndGrid();
  void ShowAbout();
  // The save dialog over the chosen folder; then the outcome is told.
  void RunSave(const std::string& folder, std::vector<std::u16string> checkedObjectNames,
               ui::SaveFormat format);
  bool AnyJobSet() const;
  void CloseDataFile();

  CMendoraSqlDoc& doc_;
  ui::Prompts& prompts_;
  ShellSettings settings_;
  Commands commands_;
  widgets::CAlphaToolBar* toolBar_ = nullptr;
  widgets::AW_CMultiViewSplitter* splitter_ = nullptr;
  CLeftView* treeView_ = nullptr;
  QLineEdit* treeSearch_ = nullptr;
  bool treeSizedByUser_ = false;
  bool restoredGeometry_ = false;
  CMendoraSqlView* gridView_ = nullptr;
  CMdf_Repair* analysisView_ = nullptr;
  QLabel* messagePane_ = nullptr;
  QLabel* rowCountPane_ = nullptr;
  QLabel* damageLink_ = nullptr;
  QPointer<DamageList> damageList_;
  mendora::DamageReport tableDamage_;
  uint64_t tableDamageNotKept_ = 0;
  QProgressBar* progressBar_ = nullptr;
  QTimer openTimer_;
  QTimer commandTimer_;
  JobThread analysisThread_;
  JobThread startupAnalysisThread_;
  JobThread gridFillThread_;
  JobThread exportThread_;
  // Stop answered Yes: the data file is closed once the stopped job has
  // unwound, since until then it may still be reading it.
  bool closeFileAtJobEnd_ = false;
  ui::TreeHandle currentNode_ = ui::kNoTreeItem;
  // The table whose count starts when the running one has unwound.
  std::optional<int64_t> pendingFill_;
  std::map<int64_t, mendora::DeletedRowsIndex> deletedRows_;
  // The table whose count is followed by the search for its deleted rows.
  std::optional<int64_t> deletedSearch_;
  QPointer<QTextBrowser> helpWindow_;
};

}  // namespace shell
