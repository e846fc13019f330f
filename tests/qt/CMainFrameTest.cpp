// The main window driven as a user would: Open with the file selection, the
// analysis on its thread, Stop and Exit during an analysis, command enabling
// and the status texts. Message boxes are answered from a script; facts
// about the real files come from their reference content (expected/).
#include <QAction>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>

#include "QtTestSupport.h"
#include "browser/RefusalText.h"
#include "browser/TreeText.h"
#include "shell/CBrowse.h"
#include "shell/CFileSaving.h"
#include "shell/CLeftView.h"
#include "shell/CMainFrame.h"
#include "shell/CMdf_Repair.h"
#include "shell/CMendoraSqlView.h"
#include "shell/DamageList.h"
#include "shell/ProgramFiles.h"
#include "shell/QtText.h"
#include "shell/TableRowModel.h"
#include "tests/integration/ReferenceFiles.h"
#include "tests/support/CatalogueBuilder.h"
#include "tests/support/MdfBuilder.h"
#include "tests/support/RealFiles.h"
#include "tests/support/ScriptedPrompts.h"
#include "ui/ProductTexts.h"
#include "widgets/AW_CMultiViewSplitter.h"
#include "widgets/CAlphaToolBar.h"
#include "widgets/CMdSqlAboutUs.h"
#include "widgets/CTransparentStatic.h"

using shell::CMainFrame;
using ui::PromptRecord;

namespace {

constexpr int kAnalysisTimeoutMs = 20000;

// One main window over its own document, answering from a script.
struct Window {
  ui::ScriptedPrompts prompts;
  shell::CMendoraSqlDoc doc;
  QString chosen;
  // The folder the save's folder browser answers with, and what it was asked.
  QString folder;
  QStringList folderTitles;
  // The CSV file the export's save dialog answers with, and what it suggested.
  QString csvFile;
  QString csvSuggested;
  qttest::Gate gate;
  std::unique_ptr<CMainFrame> frame;

  explicit Window(bool gated = false, shell::Timings timings = qttest::FastTimings(),
                  const QString& stateFile = QString()) {
    shell::ShellSettings settings;
    settings.windowStateFile = stateFile;
    settings.timings = timings;
    settings.prompts = &prompts;
    settings.chooseFile = [this](QWidget*) { return chosen; };
    settings.chooseFolder = [this](QWidget*, const QString& title) {
      folderTitles << title;
      return folder;
    };
    settings.chooseCsvFile = [this](QWidget*, const QString& suggested) {
      csvSuggested = suggested;
      return csvFile;
    };
    if (gated) settings.analysisProgress = [this](int) { gate.WaitHere(); };
    frame = std::make_unique<CMainFrame>(doc, prompts, settings);
    if (!frame->RestoredGeometry()) frame->resize(1000, 640);
    frame->show();
  }
  ~Window() { gate.Open(); }

  shell::QtTreeControl& Tree() { return frame->TreeView()->Control(); }
  const CMainFrame::Commands& Commands() { return frame->Actions(); }
  bool Idle() {
    return !doc.state.analysisRunning && !frame->AnalysisThread().IsSet() &&
           !frame->StartupAnalysisThread().IsSet();
  }

  // Open, pick `path` in the file selection and press Start (or Cancel).
  void Open(const QString& path, bool start = true) {
    chosen = path;
    qttest::WhenModal<shell::CBrowse>([start](shell::CBrowse* browse) {
      browse->SelectButton()->click();
      (start ? browse->StartButton() : browse->CancelButton())->click();
      // A refused file leaves the selection open: the user gives up.
      if (browse->isVisible()) browse->CancelButton()->click();
    });
    Commands().open->trigger();
  }

  // Checks the whole tree, as a click on the root's check box does.
  void CheckEverything() { frame->OnTreeClick(Tree().GetRootItem(), mendora::TreeHit::kStateIcon); }
};

// Every file below `folder` with its size: what a save has written so far.
QStringList Listing(const QString& folder) {
  QStringList out;
  QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QFileInfo file(it.next());
    out << QDir(folder).relativeFilePath(file.filePath()) + QStringLiteral(" ") +
               QString::number(file.size());
  }
  out.sort();
  return out;
}

// The files every save writes, whatever it saves.
const QStringList kFixedFiles = {
    "CreateDatabase.sql", "Import.bat",     "import.sh",    "Tables_Create.bat", "Tables_Data.bat",
    "PrimaryKey.bat",     "ForeignKey.bat", "Indexes.bat",  "UniqueKey.bat",     "Constraints.bat",
    "Procedure.bat",      "Functions.bat",  "Triggers.bat", "View.bat"};

QString Text(const ui::TreeControl& tree, ui::TreeHandle node) {
  return shell::ToQString(tree.GetItemText(node));
}

// The child of `node` whose label is `label`.
ui::TreeHandle Child(const ui::TreeControl& tree, ui::TreeHandle node, const QString& label) {
  for (ui::TreeHandle c : tree.GetChildItems(node)) {
    if (Text(tree, c) == label) return c;
  }
  return ui::kNoTreeItem;
}

ui::TreeHandle ChildStartingWith(const ui::TreeControl& tree, ui::TreeHandle node,
                                 const QString& prefix) {
  for (ui::TreeHandle c : tree.GetChildItems(node)) {
    if (Text(tree, c).startsWith(prefix)) return c;
  }
  return ui::kNoTreeItem;
}

// "Tables(n)" with the number of user tables the file's reference lists.
QString TablesLabel(const std::string& file) {
  return QStringLiteral("Tables(%1)").arg(mdftest::UserTableCount(file));
}

std::vector<std::string> Questions(const ui::ScriptedPrompts& prompts) {
  std::vector<std::string> out;
  for (const auto& p : prompts.Shown()) {
    if (p.kind == PromptRecord::Kind::kQuestion) out.push_back(p.text);
  }
  return out;
}

// A small data file of another process' making: enough bytes to be opened.
std::unique_ptr<mdftest::TempFile> SmallFile() {
  auto file = std::make_unique<mdftest::TempFile>();
  mdftest::MdfBuilder(655, u"locked").WriteTo(file->path());
  return file;
}

}  // namespace

class CMainFrameTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void layoutToolbarAndMenus();
  void idleWindowEnablesOpenOnly();
  void openRealFileShowsItsTree();
  void openRealFileShowsItsTree_data();
  void sampleFileOfTheBuildOpens();
  void unsupportedFileLeavesTheProductRoot();
  void refusedFileKeepsTheShownDatabase();
  void damagedFileSaysSoInTheStatusBar();
  void damageListOpensFromTheStatusBar();
  void deletedRowsShowUnderTheirTableAndAreSaved();
  void openCancelledLeavesEverythingAsItWas();
  void stopAnsweredNoFinishesTheAnalysis();
  void stopAnsweredYesLeavesAnEmptyTreeAndClosesTheFile();
  void stopBeforeTheAnalysisStartsWithdrawsTheRequest();
  void statusTextAndProgressWhileAnalysing();
  void closeDuringAnalysisAbortsButKeepsTheWindow();
  void lockedFileIsRefusedInTheFileSelection();
  void stopDuringGridFill();
  void saveDuringAGridFillIsRefused();
  void saveOfTheSampleFileCompletes();
  void saveAsSqliteAndAsCsvRunTheSameDialog();
  void exportOfOneTableToCsvAsksBeforeReplacing();
  void textOutsideItsCodePageIsSaidInTheStatusBar();
  void aFileFromAnotherStartIsOpenedWithoutTheDialog();
  void saveOfARealFileCompletes();
  void saveOfARealFileCompletes_data();
  void laterReleaseOpensShowsRowsAndSaves();
  void laterReleaseOpensShowsRowsAndSaves_data();
  void theProgramsOwnTimingsHoldNothingBack();
  void theWindowRemembersItsSizeAndPanes();
  void saveStoppedWithYesIsAbortedAndWritesNothingMore();
  void saveWithFilesItCannotWriteSaysSo();
  void saveIntoAMissingFolderIsRefused();
  void helpOpensTheManualOnceAndBringsItForward();
  void aboutFromTheMenuAndTheToolbar();
};

void CMainFrameTest::initTestCase() {
  QCOMPARE(QGuiApplication::platformName(), QStringLiteral("offscreen"));
}

void CMainFrameTest::layoutToolbarAndMenus() {
  Window w;
  QCOMPARE(w.frame->windowTitle(), QStringLiteral(" Mendora for Sql Server"));
  // The tree on the left at 210 pixels; on the right the welcome picture of
  // four views created in order: grid, welcome picture, about page, analysis.
  auto* splitter = w.frame->Splitter();
  QCOMPARE(splitter->sizes().value(0), CMainFrame::kTreeWidth);
  QCOMPARE(splitter->ViewCount(), 4);
  QCOMPARE(splitter->CurrentViewId(0, 1), int(CMainFrame::kWelcomeView));
  QCOMPARE(splitter->View(CMainFrame::kGridView)->objectName(), QStringLiteral("CMendoraSqlView"));
  QCOMPARE(splitter->View(CMainFrame::kWelcomeView)->objectName(),
           QStringLiteral("MessageDisplay"));
  QCOMPARE(splitter->View(CMainFrame::kAnalysisView)->objectName(), QStringLiteral("CMdf_Repair"));
  QVERIFY(!splitter->View(CMainFrame::kAnalysisView)->isVisible());

  // Toolbar buttons of 38 x 44 pixels: order, tooltips and prompts.
  struct Button {
    QString toolTip, prompt;
  };
  const std::vector<Button> expected = {{"Open", "Open an existing document"},
                                        {"Stop", "Stops the current process"},
                                        {"Save", "Saved Recovered Data"},
                                        {"Help", " "},
                                        {"About Us", ""},
                                        {"Exit", "Close Application "}};
  // Docked at the top; the user may dock it on any side.
  QCOMPARE(w.frame->toolBarArea(w.frame->ToolBar()), Qt::TopToolBarArea);
  QCOMPARE(w.frame->ToolBar()->allowedAreas(), Qt::AllToolBarAreas);
  const QList<QAction*> actions = w.frame->ToolBar()->actions();
  QCOMPARE(actions.size(), int(expected.size()));
  for (size_t i = 0; i < expected.size(); ++i) {
    QCOMPARE(actions[i]->toolTip(), expected[i].toolTip);
    QCOMPARE(actions[i]->statusTip(), expected[i].prompt);
    auto* button = qobject_cast<QToolButton*>(w.frame->ToolBar()->widgetForAction(actions[i]));
    QVERIFY(button);
    QCOMPARE(button->size(), QSize(38, 44));
    QVERIFY(!actions[i]->icon().isNull());
  }
  QCOMPARE(w.Commands().open->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
  QCOMPARE(w.Commands().helpMenu->shortcut(), QKeySequence(Qt::Key_F1));
  QCOMPARE(w.Commands().exitMenu->statusTip(),
           QStringLiteral("Quit the application; prompts to save documents"));
  QCOMPARE(w.Commands().aboutMenu->text(), QStringLiteral("&About Mendora for Sql Server"));

  // The progress bar: a hidden child of the status bar, 300 by 17, 0 to 100.
  QProgressBar* bar = w.frame->ProgressBar();
  QCOMPARE(bar->parentWidget(), static_cast<QWidget*>(w.frame->statusBar()));
  QCOMPARE(bar->size(), QSize(300, 17));
  QVERIFY(bar->x() >= 200);
  QCOMPARE(bar->minimum(), 0);
  QCOMPARE(bar->maximum(), 100);
  QVERIFY(bar->isHidden());
}

void CMainFrameTest::idleWindowEnablesOpenOnly() {
  Window w;
  QVERIFY(w.Commands().open->isEnabled());
  QVERIFY(!w.Commands().stopTool->isEnabled());
  QVERIFY(!w.Commands().stopMenu->isEnabled());
  QVERIFY(!w.Commands().saveTool->isEnabled());
  QVERIFY(w.Commands().exitTool->isEnabled());
  QVERIFY(w.Commands().aboutTool->isEnabled());
  QCOMPARE(w.frame->MessagePane()->text(), QString());
  // The tree view as first shown: the product root only.
  QCOMPARE(w.Tree().GetRootItems().size(), size_t(1));
  QCOMPARE(Text(w.Tree(), w.Tree().GetRootItem()), QStringLiteral("Mendora for Sql Server"));
  // The flags follow the shared job state.
  w.doc.state.saveAllowed = true;
  w.doc.state.gridFillRunning = true;
  QTRY_VERIFY(w.Commands().saveTool->isEnabled() && w.Commands().saveMenu->isEnabled());
  QTRY_VERIFY(!w.Commands().open->isEnabled() && w.Commands().stopTool->isEnabled());
  QTRY_COMPARE(w.frame->MessagePane()->text(),
               QStringLiteral("Insertion is in progress, please wait....."));
  w.doc.state.gridFillRunning = false;
  w.doc.state.saveAllowed = false;
}

void CMainFrameTest::openRealFileShowsItsTree_data() {
  QTest::addColumn<QString>("file");
  QTest::newRow("2008") << QStringLiteral("v655-northwind.mdf");
  QTest::newRow("2005") << QStringLiteral("v611-pubs.mdf");
  QTest::newRow("2000") << QStringLiteral("v539-pubs.mdf");
}

void CMainFrameTest::openRealFileShowsItsTree() {
  QFETCH(QString, file);
  const nlohmann::json facts = mdftest::Reference(file.toStdString());
  const std::vector<nlohmann::json> tableFacts = mdftest::UserEntries(facts["tables"]);
  Window w;
  const QString path = qttest::RealFile(file.toStdString());
  w.Open(path);
  // Start has opened the file and set analysisRunning: Open is disabled,
  // Stop enabled, until the analysis and the tree are done.
  QVERIFY(w.doc.file.IsOpen());
  QVERIFY(!w.Commands().open->isEnabled());
  QVERIFY(w.Commands().stopTool->isEnabled());
  QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kAnalysisTimeoutMs);
  QTRY_VERIFY(w.Commands().open->isEnabled());
  QVERIFY(!w.Commands().stopTool->isEnabled());
  QVERIFY(!w.Commands().saveTool->isEnabled());
  QVERIFY(w.prompts.Shown().empty());

  // The root is the path in upper case, selected; Tables(n) and one node per
  // table with its row count; the modules under Programmability.
  const ui::TreeControl& tree = w.Tree();
  const ui::TreeHandle root = tree.GetRootItem();
  QCOMPARE(Text(tree, root), path.toUpper());
  QCOMPARE(tree.GetSelectedItem(), root);
  const ui::TreeHandle tables =
      Child(tree, root, QStringLiteral("Tables(%1)").arg(tableFacts.size()));
  QVERIFY(tables != ui::kNoTreeItem);
  QVERIFY(tree.IsExpanded(tables));
  for (const auto& table : tableFacts) {
    const QString name = QString::fromStdString(table["name"].get<std::string>());
    const ui::TreeHandle node = Child(
        tree, tables, QStringLiteral("%1(%2)").arg(name).arg(table["row_count"].get<qint64>()));
    QVERIFY2(node != ui::kNoTreeItem, qPrintable(name));
    QVERIFY(Child(tree, node, QStringLiteral("Columns(%1)").arg(table["columns"].size())));
    QCOMPARE(tree.GetStateImage(node), ui::kUnchecked);
  }
  const ui::TreeHandle programmability = Child(tree, root, QStringLiteral("Programmability"));
  QVERIFY(programmability != ui::kNoTreeItem);
  for (const auto& module : mdftest::UserEntries(facts["modules"])) {
    const std::string type = module["type"], name = module["name"];
    const QString group = type == "P" || type == "X" ? QStringLiteral("Procedures(")
                          : type == "V"              ? QStringLiteral("Views(")
                          : type == "TR"             ? QStringLiteral("Triggers(")
                                                     : QStringLiteral("Functions(");
    const ui::TreeHandle groupNode = ChildStartingWith(tree, programmability, group);
    QVERIFY(groupNode != ui::kNoTreeItem);
    QVERIFY2(Child(tree, groupNode, QString::fromStdString(name)) != ui::kNoTreeItem, name.c_str());
  }
  // The window shows what the command-line tool prints for the same file.
  QVERIFY(w.doc.catalogue.userTables.size() == tableFacts.size());
  QVERIFY(!w.doc.handles.empty());
  QCOMPARE(w.doc.nodes.root, root);
  QVERIFY(w.doc.file.IsOpen());
  QVERIFY(w.frame->ProgressBar()->isHidden());
}

void CMainFrameTest::sampleFileOfTheBuildOpens() {
  // The shop database the build writes for a new user: four tables with
  // keys, indexes and a check, and one module of each kind.
  Window w;
  w.Open(QStringLiteral(MENDORA_SAMPLE_PATH));
  QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kAnalysisTimeoutMs);
  QVERIFY(w.prompts.Shown().empty());
  const ui::TreeControl& tree = w.Tree();
  const ui::TreeHandle tables = Child(tree, tree.GetRootItem(), QStringLiteral("Tables(4)"));
  QVERIFY(tables != ui::kNoTreeItem);
  const ui::TreeHandle orders = Child(tree, tables, QStringLiteral("Orders(4)"));
  QVERIFY(orders != ui::kNoTreeItem);
  QVERIFY(Child(tree, orders, QStringLiteral("Constraints(1)")));
  QVERIFY(Child(tree, orders, QStringLiteral("Foreign Keys(1)")));
  QVERIFY(
      Child(tree, ChildStartingWith(tree, tables, "Products("), QStringLiteral("Unique Keys(1)")));
  const ui::TreeHandle programmability = Child(tree, tree.GetRootItem(), "Programmability");
  for (const char* group : {"Procedures(1)", "Functions(1)", "Triggers(1)", "Views(1)"}) {
    QVERIFY2(Child(tree, programmability, QString::fromLatin1(group)), group);
  }
  QCOMPARE(w.doc.catalogue.databaseName, std::u16string(u"Shop"));
}

void CMainFrameTest::unsupportedFileLeavesTheProductRoot() {
  Window w;
  w.Open(qttest::RealFile("x607-prerelease.mdf"));
  QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kAnalysisTimeoutMs);
  QTRY_VERIFY(w.Commands().open->isEnabled());
  QCOMPARE(w.prompts.Shown().size(), size_t(1));
  const PromptRecord& notice = w.prompts.Shown()[0];
  QCOMPARE(notice.kind, PromptRecord::Kind::kNotice);
  QCOMPARE(notice.text, std::string("Version of file is not appropriate, Please select right SQL "
                                    "file version"));
  QCOMPARE(notice.caption, std::string("Mendora for Sql Server"));
  QCOMPARE(w.Tree().GetRootItems().size(), size_t(1));
  QCOMPARE(Text(w.Tree(), w.Tree().GetRootItem()), QStringLiteral("Mendora for Sql Server"));
  QVERIFY(w.Tree().GetChildItems(w.Tree().GetRootItem()).empty());
  QVERIFY(!w.doc.file.IsOpen());
  QVERIFY(!w.Commands().stopTool->isEnabled());
}

void CMainFrameTest::refusedFileKeepsTheShownDatabase() {
  Window w;
  const QString pubs = QFileInfo(qttest::RealFile("v611-pubs.mdf")).absoluteFilePath();
  w.Open(pubs);
  QTRY_VERIFY_WITH_TIMEOUT(w.Idle() && w.doc.nodes.tables != ui::kNoTreeItem, kAnalysisTimeoutMs);
  const size_t tables = w.Tree().GetChildItems(w.doc.nodes.tables).size();
  QVERIFY(tables > 0);
  const QString root = Text(w.Tree(), w.Tree().GetRootItem());

  QTemporaryDir folder;
  const QString notData = folder.filePath("notes.mdf");
  QFile text(notData);
  QVERIFY(text.open(QIODevice::WriteOnly));
  text.write("not a data file\n");
  text.close();
  const struct {
    QString path;
    std::string told;
  } refused[] = {
      {qttest::RealFile("x607-prerelease.mdf"),
       "Version of file is not appropriate, Please select right SQL file version"},
      {notData, mendora::RefusalText(mendora::Refusal::kNotADataFile)},
      {folder.filePath("missing.mdf"),
       "The selected file is already being used by another process."},
  };
  for (const auto& r : refused) {
    w.prompts.Clear();
    w.Open(r.path);
    QTRY_VERIFY(w.Commands().open->isEnabled());
    QCOMPARE(w.prompts.Texts(), std::vector<std::string>{r.told});
    // The database shown before is still shown, and its file still open.
    QCOMPARE(Text(w.Tree(), w.Tree().GetRootItem()), root);
    QCOMPARE(w.Tree().GetChildItems(w.doc.nodes.tables).size(), tables);
    QVERIFY(w.doc.file.IsOpen());
    QCOMPARE(QString::fromStdString(w.doc.file.Path()), pubs);
    QVERIFY(!w.doc.catalogue.userTables.empty());
  }
  // The same file again opens as before.
  w.prompts.Clear();
  w.Open(pubs);
  QTRY_VERIFY_WITH_TIMEOUT(w.Idle() && w.doc.nodes.tables != ui::kNoTreeItem, kAnalysisTimeoutMs);
  QCOMPARE(w.Tree().GetChildItems(w.doc.nodes.tables).size(), tables);
  QVERIFY(w.prompts.Shown().empty());
}

void CMainFrameTest::damagedFileSaysSoInTheStatusBar() {
  // pubs with the headers of its object table's pages changed: the tables are
  // still found, and the window says how far to trust them.
  std::ifstream in(qttest::RealFile("v611-pubs.mdf").toStdString(), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (size_t p = 0; p < bytes.size() / 8192; ++p) {
    const char* h = bytes.data() + p * 8192;
    if (h[1] == 1 && h[6] == 1 && h[7] == 0 && h[24] == 34 && h[25] == 0 && h[26] == 0 &&
        h[27] == 0) {
      bytes[p * 8192 + 24] = 34 ^ 0x40;
    }
  }
  mdftest::TempFile damaged;
  std::ofstream(damaged.path(), std::ios::binary) << bytes;
  Window w;
  w.Open(QString::fromStdString(damaged.path()));
  QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kAnalysisTimeoutMs);
  QTRY_COMPARE(w.prompts.Shown().size(), size_t(1));
  QVERIFY(w.prompts.Shown()[0].text.starts_with("The file is damaged: "));
  QVERIFY(ChildStartingWith(w.Tree(), w.Tree().GetRootItem(), "Tables(11)"));
  auto* pane = w.frame->findChild<QLabel*>(QStringLiteral("MessagePane"));
  QVERIFY(pane);
  QTRY_VERIFY(pane->text().startsWith(QStringLiteral("The file is damaged: ")));
}

void CMainFrameTest::damageListOpensFromTheStatusBar() {
  // pubs with one slot of its object table's first page pointing into the
  // page header: the recovery skips that record and says where.
  std::ifstream in(qttest::RealFile("v611-pubs.mdf").toStdString(), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t damagedPage = 0;
  for (size_t p = 0; p < bytes.size() / 8192 && !damagedPage; ++p) {
    const char* h = bytes.data() + p * 8192;
    if (h[1] == 1 && h[24] == 34 && h[25] == 0 && h[26] == 0 && h[27] == 0 && h[22] > 2) {
      damagedPage = p;
    }
  }
  QVERIFY(damagedPage);
  bytes[damagedPage * 8192 + 8190 - 2] = 50;  // slot 1
  bytes[damagedPage * 8192 + 8190 - 1] = 0;
  mdftest::TempFile damaged;
  std::ofstream(damaged.path(), std::ios::binary) << bytes;
  Window w;
  QVERIFY(w.frame->DamageLink()->isHidden());
  w.Open(QString::fromStdString(damaged.path()));
  QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kAnalysisTimeoutMs);
  QTRY_VERIFY(w.frame->DamageLink()->isVisible());
  QCOMPARE(w.frame->DamageLink()->text(), QStringLiteral("<a href=\"damage\">Damage (1)</a>"));
  emit w.frame->DamageLink()->linkActivated(QStringLiteral("damage"));
  shell::DamageList* list = w.frame->DamageWindow();
  QVERIFY(list && list->isVisible());
  QCOMPARE(list->windowTitle(), QStringLiteral("Damage"));
  QCOMPARE(list->List()->topLevelItemCount(), 1);
  const QTreeWidgetItem* entry = list->List()->topLevelItem(0);
  QCOMPARE(entry->text(0), QStringLiteral("1"));
  QCOMPARE(entry->text(1), QString::number(damagedPage));
  QCOMPARE(entry->text(2), QStringLiteral("1"));
  QCOMPARE(entry->text(3), QStringLiteral("50"));
  QCOMPARE(entry->text(4),
           QStringLiteral("sysschobjs: slot names offset 50, outside the page body"));
}

void CMainFrameTest::deletedRowsShowUnderTheirTableAndAreSaved() {
  // People(Id, Name): slot 1 of its first page a ghost, slot 2 of its
  // second page removed; Other has nothing deleted.
  mdftest::CatalogueBuilder builder(655, u"Deleted");
  mdftest::TableOptions options;
  options.rowsPerPage = 4;
  std::vector<mdftest::Row> rows;
  for (int i = 0; i < 10; ++i) {
    rows.push_back({mdftest::IntValue(i), mdftest::VarCharValue("person " + std::to_string(i))});
  }
  const int32_t people = builder.AddTable(
      u"People", {mdftest::IntColumn(u"Id", true), mdftest::VarCharColumn(u"Name", 20)}, rows,
      options);
  builder.AddTable(u"Other", {mdftest::IntColumn(u"Id", true)}, {{mdftest::IntValue(1)}});
  mdftest::MdfBuilder mdf = builder.Build();
  const mdftest::BuiltTable& b = builder.Table(people);
  auto first = mdf.Page(b.dataPages[0]).Build();
  const auto ghostAt = static_cast<uint16_t>(mendora::LoadU16(first, 8190 - 2));
  mdf.Page(b.dataPages[0]).Poke(ghostAt, mdftest::U8(0x3C));
  mdf.Page(b.dataPages[1]).Poke(8190 - 4, mdftest::U16(0));
  mdftest::TempFile path;
  mdf.WriteTo(path.path());

  QTemporaryDir destination;
  Window w;
  w.folder = destination.path();
  w.Open(QString::fromStdString(path.path()));
  QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kAnalysisTimeoutMs);
  ui::TreeControl& tree = w.Tree();
  const ui::TreeHandle tables = ChildStartingWith(tree, tree.GetRootItem(), "Tables(");
  const ui::TreeHandle peopleNode = ChildStartingWith(tree, tables, "People(");
  const ui::TreeHandle otherNode = ChildStartingWith(tree, tables, "Other(");
  QVERIFY(peopleNode != ui::kNoTreeItem && otherNode != ui::kNoTreeItem);

  // Reading a table counts its deleted rows: the node shows when there are some.
  w.frame->OnTreeClick(otherNode, mendora::TreeHit::kLabel);
  QTRY_VERIFY(!w.frame->GridFillThread().IsSet() && !w.doc.state.gridFillRunning);
  QVERIFY(w.frame->DeletedRows().count(w.doc.nodes.Find(otherNode)->objectId));
  QCOMPARE(ChildStartingWith(tree, otherNode, "Deleted rows"), ui::kNoTreeItem);
  w.frame->OnTreeClick(peopleNode, mendora::TreeHit::kLabel);
  QTRY_VERIFY(!w.frame->GridFillThread().IsSet() && !w.doc.state.gridFillRunning);
  QCOMPARE(w.frame->GridView()->Rows()->rowCount(), 8);
  QCOMPARE(w.frame->RowCountPane()->text(), QStringLiteral("8 rows; 2 deleted rows"));
  const ui::TreeHandle deletedNode = Child(tree, peopleNode, QStringLiteral("Deleted rows (2)"));
  QVERIFY(deletedNode != ui::kNoTreeItem);
  QVERIFY(tree.IsExpanded(peopleNode));
  QCOMPARE(tree.GetChildItems(peopleNode).back(), deletedNode);
  QCOMPARE(tree.GetStateImage(deletedNode), ui::kNoCheckBox);

  // Its rows in the grid, where they were found and why leading.
  w.frame->OnTreeClick(deletedNode, mendora::TreeHit::kLabel);
  shell::TableRowModel* model = w.frame->GridView()->Rows();
  QVERIFY(model && model->Source().ShowsDeletedRows());
  QVERIFY(!w.frame->GridFillThread().IsSet());
  QCOMPARE(model->columnCount(), 4);
  QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("_found_at"));
  QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("_why"));
  QCOMPARE(model->rowCount(), 2);
  auto cell = [&](int r, int c) { return model->data(model->index(r, c)).toString(); };
  QCOMPARE(cell(0, 0), QStringLiteral("1:%1/1").arg(b.dataPages[0]));
  QCOMPARE(cell(0, 1), QStringLiteral("ghost"));
  QCOMPARE(cell(0, 2), QStringLiteral("1"));
  QCOMPARE(cell(0, 3), QStringLiteral("person 1"));
  QVERIFY(cell(1, 0).startsWith(QStringLiteral("1:%1@+").arg(b.dataPages[1])));
  QCOMPARE(cell(1, 1), QStringLiteral("unreferenced"));
  QCOMPARE(cell(1, 3), QStringLiteral("person 6"));
  QCOMPARE(w.frame->RowCountPane()->text(), QStringLiteral("2 deleted rows"));

  // The save writes them beside the table's data, in a script no batch file runs.
  w.CheckEverything();
  QString used;
  qttest::WhenModal<shell::CFileSaving>(
      [&](shell::CFileSaving*) { used = QString::fromStdString(w.doc.state.DestinationFolder()); });
  w.Commands().saveTool->trigger();
  QVERIFY(w.prompts.Texts().back().starts_with("Saving Completed Successfully."));
  QFile script(used + "Tables_Data/People_Deleted.sql");
  QVERIFY(script.open(QIODevice::ReadOnly));
  const QString text = QString::fromLatin1(script.readAll());
  QCOMPARE(text.count(QStringLiteral("Insert into [People] Values(")), 2);
  QVERIFY(text.contains(QStringLiteral("1,'person 1')")));
  QVERIFY(!QFileInfo::exists(used + "Tables_Data/Other_Deleted.sql"));
  for (const QString& batch : {QStringLiteral("Tables_Data.bat"), QStringLiteral("Import.bat")}) {
    QFile bat(used + batch);
    QVERIFY(bat.open(QIODevice::ReadOnly));
    QVERIFY(!bat.readAll().contains("_Deleted"));
  }
}

void CMainFrameTest::openCancelledLeavesEverythingAsItWas() {
  Window w;
  w.Open(qttest::RealFile("v539-northwind.mdf"));
  QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kAnalysisTimeoutMs);
  const std::string before = mendora::TreeText(w.Tree());
  QVERIFY(Child(w.Tree(), w.Tree().GetRootItem(), TablesLabel("v539-northwind.mdf")));
  // Open, pick another file, then Cancel without Start.
  w.Open(qttest::RealFile("v539-pubs.mdf"), false);
  QCOMPARE(mendora::TreeText(w.Tree()), before);
  QVERIFY(w.doc.file.IsOpen());
  QCOMPARE(w.doc.file.Path(), qttest::RealFile("v539-northwind.mdf").toStdString());
  QVERIFY(!w.doc.state.analysisRunning);
  QTRY_VERIFY(w.Commands().open->isEnabled());
  QVERIFY(!w.doc.state.analysisRequested);
  QVERIFY(w.doc.state.SelectedFilePath().empty());
}

void CMainFrameTest::stopAnsweredNoFinishesTheAnalysis() {
  Window w(true);
  const QString path = qttest::RealFile("v611-northwind.mdf");
  w.Open(path);
  QTRY_VERIFY_WITH_TIMEOUT(w.gate.Reached(), kAnalysisTimeoutMs);
  QVERIFY(w.Commands().stopTool->isEnabled());
  bool parked = false;
  w.prompts.Answer(false, [&](const PromptRecord& asked) {
    // The question is on screen: the analysis is held, and once it reaches
    // its next checkpoint it waits there.
    QCOMPARE(asked.text, std::string("Analysis is in Progress, do you want to abort ?"));
    QCOMPARE(asked.caption, std::string("Mendora for Sql Server"));
    QCOMPARE(asked.icon, ui::PromptIcon::kQuestion);
    QCOMPARE(w.frame->MessagePane()->text(),
             QStringLiteral("Analysis is in progress, please wait....."));
    QVERIFY(w.frame->AnalysisThread().Control()->Held());
    QVERIFY(!w.frame->AnalysisView()->Timer().isActive());
    w.gate.Open();
    QTRY_VERIFY(w.frame->AnalysisThread().Control()->Parked());
    parked = true;
  });
  w.Commands().stopTool->trigger();
  QVERIFY(parked);
  QVERIFY(!w.frame->AnalysisThread().Control()->Held());
  QVERIFY(w.frame->AnalysisView()->Timer().isActive());
  QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kAnalysisTimeoutMs);
  // The analysis went on where it was and built the whole tree.
  QCOMPARE(Text(w.Tree(), w.Tree().GetRootItem()), path.toUpper());
  QVERIFY(Child(w.Tree(), w.Tree().GetRootItem(), TablesLabel("v611-northwind.mdf")));
  QCOMPARE(Questions(w.prompts).size(), size_t(1));
  QVERIFY(w.doc.file.IsOpen());
}

void CMainFrameTest::stopAnsweredYesLeavesAnEmptyTreeAndClosesTheFile() {
  Window w(true);
  w.Open(qttest::RealFile("v655-northwind.mdf"));
  QTRY_VERIFY_WITH_TIMEOUT(w.gate.Reached(), kAnalysisTimeoutMs);
  QVERIFY(w.frame->ProgressBar()->isVisible());
  w.prompts.Answer(true);
  w.Commands().stopMenu->trigger();
  // At once: no tree at all, the bar hidden, the selection forgotten.
  QCOMPARE(w.Tree().GetRootItems().size(), size_t(0));
  QVERIFY(w.frame->ProgressBar()->isHidden());
  QVERIFY(!w.doc.state.analysisRunning);
  QVERIFY(w.doc.state.SelectedFilePath().empty());
  QCOMPARE(w.doc.state.progressPosition.load(), 0);
  // The job unwinds from its next checkpoint; then Open is enabled and the
  // data file closed.
  w.gate.Open();
  QTRY_VERIFY_WITH_TIMEOUT(!w.frame->AnalysisThread().IsSet(), kAnalysisTimeoutMs);
  QTRY_VERIFY(w.Commands().open->isEnabled());
  QVERIFY(!w.Commands().stopTool->isEnabled());
  QVERIFY(!w.doc.file.IsOpen());
  // Nothing of the stopped job reached the tree or the lists.
  QCOMPARE(w.Tree().GetRootItems().size(), size_t(0));
  QVERIFY(w.doc.catalogue.objects.empty());
  QVERIFY(w.doc.handles.empty());
  QCOMPARE(Questions(w.prompts),
           std::vector<std::string>{"Analysis is in Progress, do you want to abort ?"});
  QCOMPARE(w.prompts.Shown().size(), size_t(1));  // and no notice after it
}

void CMainFrameTest::stopBeforeTheAnalysisStartsWithdrawsTheRequest() {
  // Between the file selection and the tick that starts the analysis.
  shell::Timings slow = qttest::FastTimings();
  slow.analysisPollMs = 3600 * 1000;
  Window w(false, slow);
  w.Open(qttest::RealFile("v539-pubs.mdf"));
  QVERIFY(w.doc.state.analysisRequested);
  QVERIFY(w.frame->OpenTimer().isActive());
  QTRY_VERIFY(w.Commands().stopTool->isEnabled());
  w.prompts.Answer(true);
  w.Commands().stopTool->trigger();
  QVERIFY(!w.doc.state.analysisRequested);
  QVERIFY(!w.frame->OpenTimer().isActive());
  QVERIFY(!w.doc.state.analysisRunning);
  QVERIFY(!w.doc.file.IsOpen());
  QVERIFY(!w.frame->AnalysisThread().IsSet());
  QCOMPARE(w.Tree().GetRootItems().size(), size_t(0));
  QTRY_VERIFY(w.Commands().open->isEnabled());
}

void CMainFrameTest::statusTextAndProgressWhileAnalysing() {
  Window w(true);
  w.Open(qttest::RealFile("v655-students.mdf"));
  QTRY_VERIFY_WITH_TIMEOUT(w.gate.Reached(), kAnalysisTimeoutMs);
  QTRY_COMPARE(w.frame->MessagePane()->text(),
               QStringLiteral("Analysis is in progress, please wait....."));
  // The bar moves one step per tick of the analysis view's timer.
  QVERIFY(w.frame->ProgressBar()->isVisible());
  QVERIFY(w.doc.state.progressAnimating);
  const int start = w.frame->ProgressBar()->value();
  QTRY_VERIFY(w.frame->ProgressBar()->value() >= start + 3);
  w.gate.Open();
  QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kAnalysisTimeoutMs);
  QTRY_COMPARE(w.frame->MessagePane()->text(),
               QStringLiteral("SQL Server 2008 data file (on-disk version 655)"));
  QVERIFY(w.frame->ProgressBar()->isHidden());
  QVERIFY(w.doc.state.progressHalted);
  QVERIFY(!w.doc.state.progressAnimating);
  QCOMPARE(w.doc.state.progressPosition.load(), 0);
}

void CMainFrameTest::closeDuringAnalysisAbortsButKeepsTheWindow() {
  Window w(true);
  w.Open(qttest::RealFile("v611-pubs.mdf"));
  QTRY_VERIFY_WITH_TIMEOUT(w.gate.Reached(), kAnalysisTimeoutMs);
  w.prompts.Answer(true);
  QVERIFY(!w.frame->close());
  QVERIFY(w.frame->isVisible());
  QCOMPARE(w.prompts.Shown().size(), size_t(2));
  const PromptRecord& question = w.prompts.Shown()[0];
  QCOMPARE(question.text, std::string("Analysis is in Progress, do you want to abort? "));
  QCOMPARE(question.icon, ui::PromptIcon::kInformation);
  QCOMPARE(question.caption, std::string("Mendora for Sql Server"));
  const PromptRecord& notice = w.prompts.Shown()[1];
  QCOMPARE(notice.kind, PromptRecord::Kind::kNotice);
  QCOMPARE(notice.text, std::string("Current Process Aborted By User."));
  QCOMPARE(w.Tree().GetRootItems().size(), size_t(0));
  QVERIFY(!w.doc.state.analysisRunning);
  QVERIFY(w.frame->ProgressBar()->isHidden());
  w.gate.Open();
  QTRY_VERIFY_WITH_TIMEOUT(!w.frame->AnalysisThread().IsSet(), kAnalysisTimeoutMs);
  QCOMPARE(w.Tree().GetRootItems().size(), size_t(0));
  QVERIFY(w.doc.file.IsOpen());  // Exit leaves the file open until the next Open

  // Now nothing runs: closing asks whether to exit. No keeps the window...
  w.prompts.Clear();
  w.prompts.Answer(false);
  QVERIFY(!w.frame->close());
  QCOMPARE(Questions(w.prompts), std::vector<std::string>{" Do you want to exit."});
  QCOMPARE(w.prompts.Shown()[0].icon, ui::PromptIcon::kQuestion);
  QVERIFY(w.frame->isVisible());
  // ... and Yes, from the toolbar's Exit, closes it.
  w.prompts.Answer(true);
  w.Commands().exitTool->trigger();
  QVERIFY(!w.frame->isVisible());
  QCOMPARE(w.prompts.UnexpectedQuestions(), 0);
}

void CMainFrameTest::lockedFileIsRefusedInTheFileSelection() {
  Window w;
  auto file = SmallFile();
  qttest::LockHolder holder;
  QVERIFY(holder.Start(QString::fromStdString(file->path())));
  w.chosen = QString::fromStdString(file->path());
  bool startDisabled = false, labelEmpty = false;
  qttest::WhenModal<shell::CBrowse>([&](shell::CBrowse* browse) {
    browse->SelectButton()->click();
    browse->StartButton()->click();
    // The dialog stays open with Start disabled and the path gone.
    startDisabled = !browse->StartButton()->isEnabled();
    labelEmpty = browse->PathLabel()->text().isEmpty();
    browse->CancelButton()->click();
  });
  w.Commands().open->trigger();
  QVERIFY(startDisabled);
  QVERIFY(labelEmpty);
  QCOMPARE(w.prompts.Texts(),
           std::vector<std::string>{"The selected file is already being used by another process."});
  QCOMPARE(w.prompts.Shown()[0].caption, std::string(" Mendora for Sql Server"));
  QVERIFY(!w.doc.file.IsOpen());
  QVERIFY(!w.doc.state.analysisRunning);
  QTRY_VERIFY(w.Commands().open->isEnabled());
  QCOMPARE(Text(w.Tree(), w.Tree().GetRootItem()), QStringLiteral("Mendora for Sql Server"));
}

void CMainFrameTest::stopDuringGridFill() {
  Window w;
  // A grid fill as the grid will run one: rows one by one, with checkpoints.
  std::atomic<int> rows{0};
  w.doc.state.gridFillRunning = true;
  QVERIFY(w.frame->GridFillThread().Start(
      [&](shell::JobThread& job) {
        for (;;) {
          job.Job().Checkpoint();
          ++rows;
          job.Pause(std::chrono::milliseconds(1));
        }
      },
      [](const shell::JobThread::Result&) {}));
  w.frame->TreeView()->GridProgressTimer().start(10);
  QTRY_VERIFY(w.Commands().stopTool->isEnabled());
  w.prompts.Answer(false, [&](const PromptRecord& asked) {
    QCOMPARE(asked.text, std::string("Data insertion is in Progress, do you want to abort ?"));
    QVERIFY(w.frame->GridFillThread().Control()->Held());
  });
  w.Commands().stopTool->trigger();
  const int afterNo = rows;
  QTRY_VERIFY(rows > afterNo + 5);  // resumed
  QVERIFY(w.frame->TreeView()->GridProgressTimer().isActive());

  w.prompts.Answer(true);
  w.Commands().stopTool->trigger();
  QVERIFY(!w.doc.state.gridFillRunning);
  QVERIFY(!w.frame->TreeView()->GridProgressTimer().isActive());
  QTRY_VERIFY(!w.frame->GridFillThread().IsSet());
  QTRY_VERIFY(w.frame->ProgressBar()->isHidden());
  QTRY_VERIFY(w.Commands().open->isEnabled());
  QCOMPARE(w.prompts.UnexpectedQuestions(), 0);
}

void CMainFrameTest::saveDuringAGridFillIsRefused() {
  Window w;
  w.doc.state.saveAllowed = true;
  w.doc.state.gridFillRunning = true;
  QVERIFY(w.frame->GridFillThread().Start(
      [](shell::JobThread& job) {
        for (;;) job.Pause(std::chrono::milliseconds(1));
      },
      [](const shell::JobThread::Result&) {}));
  QTRY_VERIFY(w.Commands().saveTool->isEnabled());
  w.Commands().saveTool->trigger();
  QCOMPARE(w.prompts.Texts(),
           std::vector<std::string>{"Cannot save. First stop the process and then save."});
  QCOMPARE(w.prompts.Shown()[0].caption, std::string("Mendora for Sql Server"));
  // No folder was asked for and nothing prepared.
  QVERIFY(w.folderTitles.isEmpty());
  QVERIFY(!w.doc.state.destinationChosen);
  w.frame->GridFillThread().Stop();
  w.doc.state.gridFillRunning = false;
  QTRY_VERIFY(!w.frame->GridFillThread().IsSet());
}

void CMainFrameTest::saveOfTheSampleFileCompletes() {
  QTemporaryDir destination;
  QVERIFY(destination.isValid());
  Window w;
  w.folder = destination.path();
  w.Open(QStringLiteral(MENDORA_SAMPLE_PATH));
  QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kAnalysisTimeoutMs);
  w.CheckEverything();
  QVERIFY(w.doc.state.saveAllowed);
  QTRY_VERIFY(w.Commands().saveMenu->isEnabled());

  // Saved twice in a row: each save writes into a folder of its own.
  QStringList usedFolders;
  for (QAction* save : {w.Commands().saveMenu, w.Commands().saveTool}) {
    w.prompts.Clear();
    bool markerWhileOpen = false;
    qttest::WhenModal<shell::CFileSaving>([&](shell::CFileSaving* dialog) {
      usedFolders << QString::fromStdString(w.doc.state.DestinationFolder());
      markerWhileOpen = QFileInfo(usedFolders.back() + "tempUNT.dat").size() == 0 &&
                        QFileInfo::exists(usedFolders.back() + "tempUNT.dat");
      QCOMPARE(dialog->windowTitle(), QStringLiteral(" Mendora for Sql Server"));
    });
    save->trigger();
    QVERIFY(markerWhileOpen);
    // The saved folder in full, without its closing separator.
    QString folder = usedFolders.back();
    folder.chop(1);
    QCOMPARE(w.prompts.Texts(),
             std::vector<std::string>{"Saving Completed Successfully.\n" + folder.toStdString()});
    QCOMPARE(w.prompts.Shown()[0].caption, std::string("Mendora for Sql Server"));
  }
  QCOMPARE(w.folderTitles,
           (QStringList{"Select the Destination Path", "Select the Destination Path"}));
  QCOMPARE(usedFolders.size(), 2);
  QVERIFY(usedFolders[0] != usedFolders[1]);
  const QRegularExpression name(QStringLiteral(
      "^MDRecovered_Shop\\.mdf_\\d\\d\\.\\d\\d\\.\\d\\d_\\d\\d-\\d\\d-\\d\\d(_2)?$"));
  for (const QString& used : usedFolders) {
    QVERIFY(used.startsWith(destination.path() + "/") && used.endsWith("/"));
    QVERIFY2(name.match(QDir(used).dirName()).hasMatch(), qPrintable(used));
    const QDir out(used);
    for (const QString& fixed : kFixedFiles) QVERIFY2(out.exists(fixed), qPrintable(fixed));
    // Every table has its definition and data scripts.
    for (const char* table : {"Orders", "Products"}) {
      QVERIFY(out.exists(QStringLiteral("Tables_Create/%1_Create.sql").arg(table)));
      QVERIFY(out.exists(QStringLiteral("Tables_Data/%1_Data.sql").arg(table)));
    }
    QVERIFY(!out.exists("tempUNT.dat"));
  }
  // The save's state is spent.
  QVERIFY(!w.doc.state.destinationChosen);
  QVERIFY(!w.doc.state.saveCompleted);
  QVERIFY(w.doc.state.DestinationFolder().empty());
  QVERIFY(w.doc.file.IsOpen());
  QCOMPARE(w.prompts.UnexpectedQuestions(), 0);
}

// A Big5 column read through its collation: the grid shows the characters,
// and a value with bytes Big5 does not define shows U+FFFD and is counted
// beside the rows in the status bar.
void CMainFrameTest::textOutsideItsCodePageIsSaidInTheStatusBar() {
  mdftest::CatalogueBuilder cat(655, u"Rent");
  auto name = mdftest::VarCharColumn(u"Name", 20);
  name.collation = 0x0000D003;  // Chinese_Taiwan_Stroke_CI_AS
  cat.AddTable(u"Renter", {mdftest::IntColumn(u"ID", true), name},
               {{mdftest::IntValue(1), mdftest::VarCharValue("\xA4\x70\xA9\xFA")},
                {mdftest::IntValue(2), mdftest::VarCharValue("\xA4\xFF")}});
  mdftest::TempFile file;
  cat.Build().WriteTo(file.path());
  Window w;
  w.Open(QString::fromStdString(file.path()));
  QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kAnalysisTimeoutMs);
  const ui::TreeControl& tree = w.Tree();
  const ui::TreeHandle tables = ChildStartingWith(tree, tree.GetRootItem(), "Tables(");
  w.frame->OnTreeClick(ChildStartingWith(tree, tables, "Renter("), mendora::TreeHit::kLabel);
  QTRY_VERIFY(!w.frame->GridFillThread().IsSet() && w.frame->GridView()->Rows() &&
              w.frame->GridView()->Rows()->rowCount() == 2);
  shell::TableRowModel* rows = w.frame->GridView()->Rows();
  QCOMPARE(rows->data(rows->index(0, 1)).toString(), QString::fromUtf16(u"\u5C0F\u660E"));
  QVERIFY(rows->data(rows->index(1, 1)).toString().contains(QChar(0xFFFD)));
  QTRY_VERIFY2(w.frame->RowCountPane()->text().contains("1 value with bytes outside its code page"),
               qPrintable(w.frame->RowCountPane()->text()));
}

// "Open with" while the program runs: the second start hands the file over,
// and the running window opens it as File > Open would, without the dialog.
void CMainFrameTest::aFileFromAnotherStartIsOpenedWithoutTheDialog() {
  Window w;
  w.Open(QStringLiteral(MENDORA_SAMPLE_PATH));
  QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kAnalysisTimeoutMs);
  const QString pubs = QFileInfo(qttest::RealFile("v611-pubs.mdf")).absoluteFilePath();
  w.frame->OpenFileFromElsewhere(pubs);
  QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kAnalysisTimeoutMs);
  QCOMPARE(Text(w.Tree(), w.Tree().GetRootItem()), pubs.toUpper());
  QCOMPARE(QString::fromStdString(w.doc.file.Path()), pubs);
  QVERIFY(w.prompts.Shown().empty());
}

void CMainFrameTest::saveAsSqliteAndAsCsvRunTheSameDialog() {
  QTemporaryDir destination;
  QVERIFY(destination.isValid());
  Window w;
  w.folder = destination.path();
  w.Open(QStringLiteral(MENDORA_SAMPLE_PATH));
  QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kAnalysisTimeoutMs);
  w.CheckEverything();
  QTRY_VERIFY(w.Commands().saveSqliteMenu->isEnabled() && w.Commands().saveCsvMenu->isEnabled());
  QCOMPARE(w.Commands().saveSqliteMenu->text(), QStringLiteral("Save as SQLite…"));
  QCOMPARE(w.Commands().saveCsvMenu->text(), QStringLiteral("Save as CSV…"));
  QStringList used;
  for (QAction* save : {w.Commands().saveSqliteMenu, w.Commands().saveCsvMenu}) {
    w.prompts.Clear();
    qttest::WhenModal<shell::CFileSaving>([&](shell::CFileSaving*) {
      used << QString::fromStdString(w.doc.state.DestinationFolder());
    });
    save->trigger();
    QCOMPARE(w.prompts.Texts().size(), size_t{1});
    QVERIFY(w.prompts.Texts()[0].starts_with("Saving Completed Successfully."));
  }
  QCOMPARE(used.size(), 2);
  QVERIFY2(used[0].endsWith(".sqlite") && QFileInfo(used[0]).size() > 0, qPrintable(used[0]));
  const QDir csv(used[1]);
  for (const char* file : {"Orders.csv", "Products.csv", "schema.sql"}) {
    QVERIFY2(csv.exists(file), file);
  }
  QVERIFY(!QFileInfo::exists(destination.path() + "/tempUNT.dat"));
  QCOMPARE(w.prompts.UnexpectedQuestions(), 0);
}

void CMainFrameTest::exportOfOneTableToCsvAsksBeforeReplacing() {
  QTemporaryDir destination;
  Window w;
  w.Open(qttest::RealFile("v611-northwind.mdf"));
  QTRY_VERIFY_WITH_TIMEOUT(w.Idle() && w.doc.nodes.tables != ui::kNoTreeItem, kAnalysisTimeoutMs);
  int64_t categories = 0;
  for (const auto& t : w.doc.catalogue.userTables) {
    if (t.name == u"Categories") categories = t.id;
  }
  QVERIFY(categories);
  const QString path = destination.filePath(QStringLiteral("cats.csv"));
  auto exportAndWait = [&] {
    w.prompts.Clear();
    w.frame->ExportTableToCsv(categories);
    QTRY_VERIFY(!w.frame->ExportThread().IsSet());
  };

  // A new file: the header line and one line per row, the save's CSV format.
  w.csvFile = path;
  exportAndWait();
  QVERIFY(w.csvSuggested.endsWith(QStringLiteral("/Categories.csv")));
  QCOMPARE(w.prompts.Texts().size(), size_t(1));
  QCOMPARE(QString::fromStdString(w.prompts.Texts()[0]),
           QStringLiteral("8 rows exported to ") + path);
  QFile written(path);
  QVERIFY(written.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = written.readAll().split('\n');
  written.close();
  QCOMPARE(lines.size(), 10);  // header, 8 rows, and the end after the last CR LF
  QVERIFY(lines[0].startsWith("CategoryID,CategoryName,Description,Picture\r"));
  QVERIFY(lines[1].startsWith("1,Beverages,"));

  // An existing file: replaced only when the user says Yes; No leaves it be.
  QFile mine(path);
  QVERIFY(mine.open(QIODevice::WriteOnly));
  mine.write("mine");
  mine.close();
  w.prompts.Answer(false);
  exportAndWait();
  QCOMPARE(Questions(w.prompts).size(), size_t(1));
  QVERIFY(Questions(w.prompts)[0].find("already exists") != std::string::npos);
  QCOMPARE(QFileInfo(path).size(), qint64(4));
  w.prompts.Answer(true);
  exportAndWait();
  QVERIFY(QFileInfo(path).size() > 1000);
  QVERIFY(!QFileInfo::exists(path + QStringLiteral(".partial")));
  // Cancelled in the dialog: nothing happens.
  w.csvFile.clear();
  exportAndWait();
  QVERIFY(w.prompts.Texts().empty());
  QCOMPARE(w.prompts.UnexpectedQuestions(), 0);
  // The grid's menu offers it for the table shown.
  QCOMPARE(w.frame->findChild<shell::CMendoraSqlView*>()->ExportCsvAction()->text(),
           QStringLiteral("Export table to CSV…"));
}

void CMainFrameTest::theProgramsOwnTimingsHoldNothingBack() {
  // With the program's own timings, as a user runs it: the analysis is over
  // when its work is, and the save of a whole database takes about as long as
  // the command line's (well under a second here), with every step shown.
  // The bounds only catch waits of seconds per object.
  QTemporaryDir destination;
  Window w(false, shell::Timings{});
  w.folder = destination.path();
  w.Open(qttest::RealFile("v655-northwind.mdf"));
  QTRY_VERIFY_WITH_TIMEOUT(w.Idle() && w.doc.nodes.tables != ui::kNoTreeItem, 3000);
  QTRY_VERIFY_WITH_TIMEOUT(w.frame->ProgressBar()->isHidden(), 3000);
  w.CheckEverything();
  QString objectsShown;
  qttest::WhenModal<shell::CFileSaving>([&](shell::CFileSaving* dialog) {
    QObject::connect(dialog, &QDialog::finished,
                     [&objectsShown, dialog] { objectsShown = dialog->Objects()->text(); });
  });
  bool saved = false;
  QTimer::singleShot(0, w.frame.get(), [&] {
    w.Commands().saveTool->trigger();
    saved = true;
  });
  QTRY_VERIFY_WITH_TIMEOUT(saved, 20000);
  QCOMPARE(w.prompts.Texts().size(), size_t(1));
  QVERIFY(
      QString::fromStdString(w.prompts.Texts()[0]).startsWith("Saving Completed Successfully."));
  // The last step reached the dialog before it closed.
  QVERIFY2(!objectsShown.isEmpty(), "the dialog's last display step was lost");
}

void CMainFrameTest::theWindowRemembersItsSizeAndPanes() {
  QTemporaryDir dir;
  const QString state = dir.filePath("window.ini");
  {
    Window w(false, qttest::FastTimings(), state);
    QVERIFY(!w.frame->RestoredGeometry());
    w.frame->resize(730, 520);
    w.frame->Splitter()->setSizes({333, 397});
    // As a drag of the pane's edge says.
    emit w.frame->Splitter()->splitterMoved(333, 1);
    w.prompts.Answer(true);
    QVERIFY(w.frame->close());
  }
  Window again(false, qttest::FastTimings(), state);
  QVERIFY(again.frame->RestoredGeometry());
  QCOMPARE(again.frame->size(), QSize(730, 520));
  QTRY_COMPARE(again.frame->Splitter()->sizes().value(0), 333);
  // A window without a state file keeps nothing.
  Window plain;
  QVERIFY(!plain.frame->RestoredGeometry());
}

void CMainFrameTest::saveOfARealFileCompletes_data() {
  QTest::addColumn<QString>("file");
  QTest::newRow("2000") << QStringLiteral("v539-pubs.mdf");
  QTest::newRow("2005") << QStringLiteral("v611-pubs.mdf");
  QTest::newRow("2008") << QStringLiteral("v655-northwind.mdf");
}

void CMainFrameTest::saveOfARealFileCompletes() {
  QFETCH(QString, file);
  const size_t tables = mdftest::UserTableCount(file.toStdString());
  QTemporaryDir destination;
  Window w;
  w.folder = destination.path();
  w.Open(qttest::RealFile(file.toStdString()));
  QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kAnalysisTimeoutMs);
  w.CheckEverything();
  QString used;
  qttest::WhenModal<shell::CFileSaving>(
      [&](shell::CFileSaving*) { used = QString::fromStdString(w.doc.state.DestinationFolder()); });
  w.Commands().saveTool->trigger();
  QCOMPARE(w.prompts.Texts(), std::vector<std::string>{"Saving Completed Successfully.\n" +
                                                       used.chopped(1).toStdString()});
  const QDir out(used);
  for (const QString& fixed : kFixedFiles) QVERIFY2(out.exists(fixed), qPrintable(fixed));
  // One definition script per table of the file.
  QCOMPARE(QDir(used + "Tables_Create").entryList(QDir::Files).size(), qsizetype(tables));
  QVERIFY(!out.exists("tempUNT.dat"));
}

void CMainFrameTest::laterReleaseOpensShowsRowsAndSaves_data() {
  QTest::addColumn<QString>("file");
  QTest::addColumn<QString>("release");
  QTest::newRow("2008 R2") << QStringLiteral("x661-lilynoone.mdf") << QStringLiteral("2008 R2");
  QTest::newRow("2012") << QStringLiteral("x706-musicstore.mdf") << QStringLiteral("2012");
  QTest::newRow("2014") << QStringLiteral("x782-besenica.mdf") << QStringLiteral("2014");
  QTest::newRow("2016") << QStringLiteral("x852-coffee.mdf") << QStringLiteral("2016");
  QTest::newRow("2017") << QStringLiteral("x869-examination.mdf") << QStringLiteral("2017");
  QTest::newRow("2019") << QStringLiteral("x904-hotel.mdf") << QStringLiteral("2019");
  QTest::newRow("2022") << QStringLiteral("x957-transito.mdf") << QStringLiteral("2022");
}

void CMainFrameTest::laterReleaseOpensShowsRowsAndSaves() {
  QFETCH(QString, file);
  QFETCH(QString, release);
  std::ifstream in(mdftest::RealMdfDir() + "/expected/" + file.toStdString() + ".json");
  const nlohmann::json ref = nlohmann::json::parse(in);
  QTemporaryDir destination;
  Window w;
  w.folder = destination.path();
  w.Open(qttest::RealFile(file.toStdString()));
  QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kAnalysisTimeoutMs);
  QVERIFY(w.prompts.Shown().empty());
  QTRY_COMPARE(w.frame->MessagePane()->text(),
               QStringLiteral("SQL Server %1 data file (on-disk version %2)")
                   .arg(release)
                   .arg(ref["version"].get<int>()));
  // The About box names the file and its release too.
  QString aboutFile;
  bool missed = false;
  qttest::WhenModal<widgets::CMdSqlAboutUs>(
      [&](widgets::CMdSqlAboutUs* box) {
        aboutFile = box->FileText();
        box->accept();
      },
      10000, &missed);
  w.Commands().aboutMenu->trigger();
  QVERIFY(!missed);
  QCOMPARE(aboutFile, file + QStringLiteral(": ") + w.frame->MessagePane()->text());

  // The user tables, none of the server's own; the largest one's rows in the grid.
  const ui::TreeControl& tree = w.Tree();
  size_t count = 0;
  const nlohmann::json* largest = nullptr;
  for (const auto& t : ref["tables"]) {
    if (t["schema"] == "sys") continue;
    ++count;
    if (!largest || t["rows"].size() > (*largest)["rows"].size()) largest = &t;
  }
  const ui::TreeHandle tables =
      Child(tree, tree.GetRootItem(), QStringLiteral("Tables(%1)").arg(count));
  QVERIFY(tables != ui::kNoTreeItem);
  QCOMPARE(tree.GetChildItems(tables).size(), count);
  const QString name = QString::fromStdString((*largest)["name"].get<std::string>());
  const ui::TreeHandle node = ChildStartingWith(tree, tables, name + "(");
  QVERIFY(node != ui::kNoTreeItem);
  w.frame->OnTreeClick(node, mendora::TreeHit::kLabel);
  QTRY_VERIFY_WITH_TIMEOUT(!w.frame->GridFillThread().IsSet() && !w.doc.state.gridFillRunning,
                           kAnalysisTimeoutMs);
  QVERIFY(w.frame->GridView()->Rows());
  QCOMPARE(w.frame->GridView()->Rows()->rowCount(), static_cast<int>((*largest)["rows"].size()));

  // The save of everything: one definition script per user table.
  w.CheckEverything();
  QString used;
  qttest::WhenModal<shell::CFileSaving>(
      [&](shell::CFileSaving*) { used = QString::fromStdString(w.doc.state.DestinationFolder()); });
  w.Commands().saveTool->trigger();
  QCOMPARE(w.prompts.Texts().size(), size_t{1});
  QVERIFY(w.prompts.Texts()[0].starts_with("Saving Completed Successfully."));
  QCOMPARE(QDir(used + "Tables_Create").entryList(QDir::Files).size(), qsizetype(count));
}

void CMainFrameTest::saveStoppedWithYesIsAbortedAndWritesNothingMore() {
  QTemporaryDir destination;
  // Paced as the program runs, so that the save is surely under way when
  // Stop is pressed.
  shell::Timings paced = qttest::FastTimings();
  paced.savePaced = true;
  Window w(false, paced);
  w.folder = destination.path();
  w.Open(QStringLiteral(MENDORA_SAMPLE_PATH));
  QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kAnalysisTimeoutMs);
  w.CheckEverything();
  QString folder;
  QStringList atAnswer;
  w.prompts.Answer(true, [&](const PromptRecord& asked) {
    QCOMPARE(asked.text, std::string("Saving is in Progress, do you want to abort ?"));
    atAnswer = Listing(folder);
  });
  qttest::WhenModal<shell::CFileSaving>([&](shell::CFileSaving* dialog) {
    folder = QString::fromStdString(w.doc.state.DestinationFolder());
    QTRY_VERIFY(QFileInfo::exists(folder + "Import.bat"));
    dialog->StopButton()->click();
  });
  QElapsedTimer clock;
  clock.start();
  w.Commands().saveTool->trigger();
  QVERIFY(clock.elapsed() < 10000);
  QCOMPARE(w.prompts.Texts(),
           (std::vector<std::string>{"Saving is in Progress, do you want to abort ?",
                                     "Saving Aborted by user."}));
  // While the dialog was open the marker was there; now it is gone, and
  // nothing else has changed since the answer.
  QVERIFY(atAnswer.contains(QStringLiteral("tempUNT.dat 0")));
  atAnswer.removeAll(QStringLiteral("tempUNT.dat 0"));
  QVERIFY(atAnswer.contains(
      QStringLiteral("Import.bat %1").arg(QFileInfo(folder + "Import.bat").size())));
  // The dialog's worker ended with it, so nothing can be written later.
  QCOMPARE(Listing(folder), atAnswer);
  QVERIFY(!w.doc.state.saveCompleted);
  QVERIFY(!w.doc.state.destinationChosen);
  QVERIFY(w.doc.state.DestinationFolder().empty());
}

void CMainFrameTest::saveWithFilesItCannotWriteSaysSo() {
  QTemporaryDir destination;
  // Paced, so that the folder can be spoilt before the first table is written.
  shell::Timings paced = qttest::FastTimings();
  paced.savePaced = true;
  Window w(false, paced);
  w.folder = destination.path();
  w.Open(QStringLiteral(MENDORA_SAMPLE_PATH));
  QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kAnalysisTimeoutMs);
  const ui::TreeControl& tree = w.Tree();
  const ui::TreeHandle tables = ChildStartingWith(tree, tree.GetRootItem(), "Tables(");
  w.frame->OnTreeClick(ChildStartingWith(tree, tables, "Orders("), mendora::TreeHit::kStateIcon);
  QString used;
  qttest::WhenModal<shell::CFileSaving>([&](shell::CFileSaving*) {
    used = QString::fromStdString(w.doc.state.DestinationFolder());
    // A file where the data scripts' folder should be.
    QVERIFY(QDir(used + "Tables_Data").removeRecursively());
    QFile blocker(used + "Tables_Data");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
  });
  w.Commands().saveTool->trigger();
  QCOMPARE(w.prompts.Shown().size(), size_t(1));
  const QString notice = QString::fromStdString(w.prompts.Shown()[0].text);
  QVERIFY2(notice.startsWith(QStringLiteral("Saving finished with errors:\n")), qPrintable(notice));
  QVERIFY2(notice.contains(QStringLiteral("Orders_Data.sql")), qPrintable(notice));
  // The rest of the save went on.
  QVERIFY(QFileInfo::exists(used + "Import.bat"));
  QVERIFY(!QFileInfo::exists(used + "tempUNT.dat"));
  QVERIFY(!w.doc.state.saveCompleted);
}

void CMainFrameTest::saveIntoAMissingFolderIsRefused() {
  QTemporaryDir destination;
  Window w;
  w.folder = destination.filePath(QStringLiteral("gone"));
  w.Open(QStringLiteral(MENDORA_SAMPLE_PATH));
  QTRY_VERIFY_WITH_TIMEOUT(w.Idle(), kAnalysisTimeoutMs);
  w.CheckEverything();
  bool missed = false;
  qttest::WhenModal<shell::CFileSaving>([](shell::CFileSaving* d) { d->reject(); }, 500, &missed);
  w.Commands().saveMenu->trigger();
  QTRY_VERIFY(missed);
  QCOMPARE(w.prompts.Texts(),
           std::vector<std::string>{"Saving path doesn't exist, select another path for saving "});
  QVERIFY(QDir(destination.path()).isEmpty());
  QVERIFY(!w.doc.state.destinationChosen);
  // Cancelled: nothing at all.
  w.prompts.Clear();
  w.folder.clear();
  w.Commands().saveMenu->trigger();
  QVERIFY(w.prompts.Shown().empty());
  QCOMPARE(w.folderTitles.size(), 2);
}

void CMainFrameTest::helpOpensTheManualOnceAndBringsItForward() {
  QTemporaryDir config;
  const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  Window w;
  // No installation folder, and no manual beside this test program: Help
  // finds nothing and opens nothing.
  QVERIFY(shell::CMainFrame::HelpFile().isEmpty());
  w.Commands().helpMenu->trigger();
  QVERIFY(!w.frame->HelpWindow());

  // The installation folder is the program's, where the build put the manual.
  const QString programFolder = QFileInfo(QStringLiteral(MENDORA_PROGRAM_PATH)).absolutePath();
  QVERIFY(QDir(config.path()).mkpath("MDSQL"));
  QFile ini(config.filePath("MDSQL/registry.ini"));
  QVERIFY(ini.open(QIODevice::WriteOnly));
  ini.write("[MDSQL]\nFilePath=" + programFolder.toUtf8() + "\n");
  ini.close();
  QCOMPARE(shell::CMainFrame::HelpFile(), programFolder + "/help/index.html");

  w.Commands().helpMenu->trigger();
  QPointer<QTextBrowser> help = w.frame->HelpWindow();
  QVERIFY(help);
  QVERIFY(help->isWindow());
  QVERIFY(help->isVisible());
  QCOMPARE(help->windowTitle(), QStringLiteral("Mendora for Sql Server"));
  const QString text = help->toPlainText();
  for (const char* topic : {"Open", "Save", "Import.bat", "import.sh", "sqlcmd"}) {
    QVERIFY2(text.contains(QString::fromLatin1(topic)), topic);
  }
  // Its pictures are beside it.
  for (const char* picture : {"main-window.png", "save-dialog.png"}) {
    const QVariant data = help->loadResource(QTextDocument::ImageResource, QUrl(picture));
    QVERIFY2(!data.toByteArray().isEmpty(), picture);
  }

  // A second request, from the toolbar, brings the same window forward.
  help->hide();
  w.Commands().helpTool->trigger();
  QCOMPARE(w.frame->HelpWindow(), help.data());
  QVERIFY(help->isVisible());
  int helpWindows = 0;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (top->windowTitle() == QStringLiteral("Mendora for Sql Server") && top->isVisible()) {
      ++helpWindows;
    }
  }
  QCOMPARE(helpWindows, 1);
  // Closed, it goes; the next request opens it anew.
  help->close();
  QTRY_VERIFY(!help);
  QVERIFY(!w.frame->HelpWindow());
  w.Commands().helpMenu->trigger();
  QVERIFY(w.frame->HelpWindow());

  // Installed from the package: no installation folder is set, and the
  // manual is in the prefix's doc folder, /usr/share/doc/mendora beside /usr/bin.
  QVERIFY(QFile::remove(config.filePath("MDSQL/registry.ini")));
  QVERIFY(shell::CMainFrame::HelpFile().isEmpty());
  const QString docFolder = shell::InstalledDocFolder();
  QCOMPARE(docFolder, QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                      QStringLiteral("/../share/doc/mendora")));
  QVERIFY(!QDir(docFolder).exists());
  QVERIFY(QDir().mkpath(docFolder + QStringLiteral("/help")));
  QVERIFY(QFile::copy(programFolder + QStringLiteral("/help/index.html"),
                      docFolder + QStringLiteral("/help/index.html")));
  QCOMPARE(shell::CMainFrame::HelpFile(), docFolder + QStringLiteral("/help/index.html"));
  QVERIFY(QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/../share"))
              .removeRecursively());
  qputenv("XDG_CONFIG_HOME", oldConfig);
}

void CMainFrameTest::aboutFromTheMenuAndTheToolbar() {
  Window w;
  QStringList titles;
  QStringList fileTexts;
  const auto showAbout = [&](QAction* about) {
    bool missed = false;
    qttest::WhenModal<widgets::CMdSqlAboutUs>(
        [&](widgets::CMdSqlAboutUs* box) {
          titles << box->windowTitle();
          fileTexts << box->FileText();
          box->accept();
        },
        10000, &missed);
    about->trigger();
    QVERIFY(!missed);
  };
  for (QAction* about : {w.Commands().aboutMenu, w.Commands().aboutTool}) showAbout(about);
  QCOMPARE(titles, (QStringList{"About Mendora for Sql Server", "About Mendora for Sql Server"}));
  // No file is open: the box names none.
  QCOMPARE(fileTexts, (QStringList{"", ""}));
}

MENDORA_QTEST_MAIN(CMainFrameTest)
#include "CMainFrameTest.moc"
