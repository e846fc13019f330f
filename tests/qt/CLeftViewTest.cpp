// Clicking through a recovered file as a user would, with the mouse on the
// tree view's check boxes and labels: a table's rows in the grid, the same
// table again, another table during a load, Stop during a load, check marks
// and Save, and the previews of a key, an index, a foreign key, a check and a
// module of a real file against its reference content.
#include <QAction>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>

#include "QtTestSupport.h"
#include "shell/CBrowse.h"
#include "shell/CLeftView.h"
#include "shell/CMainFrame.h"
#include "shell/CMendoraSqlView.h"
#include "shell/QtText.h"
#include "tests/support/CatalogueBuilder.h"
#include "tests/support/ScriptedPrompts.h"
#include "widgets/AW_CMultiViewSplitter.h"

using nlohmann::json;
using shell::CMainFrame;
using shell::ToQString;
using ui::PromptRecord;

namespace {

constexpr int kAnalysisTimeoutMs = 20000;

struct Window {
  ui::ScriptedPrompts prompts;
  shell::CMendoraSqlDoc doc;
  QString chosen;
  // Holds a table's count after its first hand-over of rows, when gated.
  qttest::Gate gate;
  std::unique_ptr<CMainFrame> frame;

  explicit Window(bool gated = false, shell::Timings timings = qttest::FastTimings()) {
    shell::ShellSettings settings;
    settings.timings = timings;
    settings.prompts = &prompts;
    settings.chooseFile = [this](QWidget*) { return chosen; };
    if (gated) settings.gridFillProgress = [this](uint64_t) { gate.WaitHere(); };
    frame = std::make_unique<CMainFrame>(doc, prompts, settings);
    frame->resize(1000, 700);
    frame->show();
  }
  ~Window() { gate.Open(); }

  shell::CLeftView& View() { return *frame->TreeView(); }
  shell::QtTreeControl& Tree() { return View().Control(); }
  // What the right pane's grid shows: a table's rows or a preview's lines.
  QTableView& Grid() { return *frame->GridView()->Table(); }
  QAbstractItemModel& Shown() { return *Grid().model(); }
  int Rows() { return Shown().rowCount(); }
  int Columns() { return Shown().columnCount(); }
  QString Cell(int row, int column) { return Shown().index(row, column).data().toString(); }
  QString Heading(int column) { return Shown().headerData(column, Qt::Horizontal).toString(); }
  QPlainTextEdit& Preview() { return *frame->GridView()->PreviewText(); }

  // Opens `path` through the file selection and waits for its tree.
  bool Open(const QString& path) {
    chosen = path;
    qttest::WhenModal<shell::CBrowse>([](shell::CBrowse* browse) {
      browse->SelectButton()->click();
      browse->StartButton()->click();
    });
    frame->Actions().open->trigger();
    return QTest::qWaitFor(
        [&] {
          return !doc.state.analysisRunning && !frame->AnalysisThread().IsSet() &&
                 doc.nodes.tables != ui::kNoTreeItem;
        },
        kAnalysisTimeoutMs);
  }

  ui::TreeHandle Child(ui::TreeHandle parent, const QString& prefix) {
    for (ui::TreeHandle c : Tree().GetChildItems(parent)) {
      if (ToQString(Tree().GetItemText(c)).startsWith(prefix)) return c;
    }
    return ui::kNoTreeItem;
  }
  ui::TreeHandle Table(const QString& name) { return Child(doc.nodes.tables, name + "("); }

  // A left click on the node's check box or label, after opening its
  // ancestors and scrolling it into view.
  void Click(ui::TreeHandle node, bool checkBox = false) {
    QTreeWidgetItem* item = Tree().Item(node);
    QVERIFY(item);
    for (QTreeWidgetItem* a = item->parent(); a; a = a->parent()) a->setExpanded(true);
    View().scrollToItem(item);
    const QRect rect = checkBox ? View().CheckBoxRect(node) : View().LabelRect(node);
    QVERIFY(!rect.isEmpty());
    ui::TreeHandle hit = ui::kNoTreeItem;
    const mendora::TreeHit where = View().HitTest(rect.center(), &hit);
    QCOMPARE(hit, node);
    QCOMPARE(where, checkBox ? mendora::TreeHit::kStateIcon : mendora::TreeHit::kLabel);
    QTest::mouseClick(View().viewport(), Qt::LeftButton, {}, rect.center());
  }
  bool LoadDone() { return !frame->GridFillThread().IsSet() && !doc.state.gridFillRunning; }
  void Key(int key) { QTest::keyClick(View().viewport(), static_cast<Qt::Key>(key)); }
};

json Reference(const std::string& file) {
  std::ifstream in(mdftest::RealMdfDir() + "/expected/" + file + ".json");
  return json::parse(in);
}

const json& Named(const json& list, const std::string& name) {
  for (const auto& e : list) {
    if (e["name"] == name) return e;
  }
  throw std::runtime_error("no " + name + " in the reference");
}

QString Joined(const json& list) {
  QStringList names;
  for (const auto& c : list) names << QString::fromStdString(c.get<std::string>());
  return names.join(',');
}

// A synthetic table big enough that its load is still running when the test
// acts: 600 000 rows of an int and a short varchar. Written once for every
// test that needs it (the tests only read it): under the sanitizers each
// writing takes tens of seconds.
const mdftest::TempFile& BigFile() {
  static std::unique_ptr<mdftest::TempFile> written;
  if (written) return *written;
  auto file = std::make_unique<mdftest::TempFile>();
  mdftest::CatalogueBuilder builder(655, u"big");
  builder.AddGeneratedTable(u"Big",
                            {mdftest::IntColumn(u"Id"), mdftest::VarCharColumn(u"Name", 20)},
                            600000, [](uint64_t i) {
                              return mdftest::Row{mdftest::IntValue(static_cast<int32_t>(i)),
                                                  mdftest::VarCharValue("row" + std::to_string(i))};
                            });
  builder.AddTable(u"Small", {mdftest::IntColumn(u"Id")}, {{mdftest::IntValue(1)}});
  builder.WriteTo(file->path());
  written = std::move(file);
  return *written;
}

}  // namespace

class CLeftViewTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QCOMPARE(QGuiApplication::platformName(), QStringLiteral("offscreen")); }
  void clickingATableShowsItsRowsOnce();
  void clicksDuringALoadAndStop();
  void stopDuringALoadKeepsTheRowsCounted();
  void theShownTableFollowsTheHighlight();
  void searchOrderTipsAndPartlyCheckedParents();
  void exitDuringALoadAsksToExit();
  void checkingATableChecksItsGroupAndRootAndEnablesSave();
  void previewsOfARealFile();
};

void CLeftViewTest::clickingATableShowsItsRowsOnce() {
  Window w;
  QVERIFY(w.Open(qttest::RealFile("v611-northwind.mdf")));
  const json customers = Named(Reference("v611-northwind.mdf")["tables"], "Customers");
  const ui::TreeHandle table = w.Table("Customers");
  QVERIFY(table != ui::kNoTreeItem);
  w.Click(table);
  QCOMPARE(w.frame->Splitter()->CurrentViewId(0, 1), int(CMainFrame::kGridView));
  QTRY_VERIFY_WITH_TIMEOUT(w.LoadDone(), 10000);
  QVERIFY(w.Grid().isVisible());
  QCOMPARE(w.Rows(), int(customers["rows"].size()));
  QCOMPARE(w.Columns(), int(customers["columns"].size()));
  QCOMPARE(w.frame->RowCountPane()->text(),
           QLocale().toString(qulonglong(customers["rows"].size())) + " rows");
  QCOMPARE(w.Heading(0), QStringLiteral("CustomerID"));
  // Stored order: the clustered key's.
  QCOMPARE(w.Cell(0, 0), QString::fromStdString(customers["rows"][0][0].get<std::string>()));
  QCOMPARE(w.Tree().GetSelectedItem(), table);
  QCOMPARE(w.frame->CurrentNode(), table);
  QTRY_VERIFY(w.frame->ProgressBar()->isHidden());
  QVERIFY(w.frame->Actions().open->isEnabled());

  // The same table again: nothing reloads.
  QAbstractItemModel* rows = &w.Shown();
  QSignalSpy inserted(rows, &QAbstractItemModel::rowsInserted);
  w.Click(table);
  QVERIFY(!w.frame->GridFillThread().IsSet());
  QCOMPARE(&w.Shown(), rows);
  QCOMPARE(inserted.count(), 0);
  QCOMPARE(w.Rows(), int(customers["rows"].size()));

  // A group node shows the welcome picture; the table again shows its rows.
  w.Click(w.Child(table, "Columns("));
  QCOMPARE(w.frame->Splitter()->CurrentViewId(0, 1), int(CMainFrame::kWelcomeView));
  w.Click(table);
  QCOMPARE(w.frame->Splitter()->CurrentViewId(0, 1), int(CMainFrame::kGridView));
  QVERIFY(w.Grid().isVisible());
  QCOMPARE(w.prompts.Shown().size(), size_t(0));
}

void CLeftViewTest::clicksDuringALoadAndStop() {
  const mdftest::TempFile& big = BigFile();
  Window w(/*gated=*/true);
  QVERIFY(w.Open(QString::fromStdString(big.path())));
  const ui::TreeHandle bigTable = w.Table("Big");
  const ui::TreeHandle small = w.Table("Small");
  w.Click(bigTable);
  QVERIFY(w.doc.state.gridFillRunning);
  QTRY_VERIFY(w.gate.Reached());
  QTRY_VERIFY(w.Rows() > 0);
  QVERIFY(w.frame->GridFillThread().IsSet());
  QVERIFY(!w.frame->Actions().open->isEnabled());
  QCOMPARE(w.frame->MessagePane()->text(),
           QStringLiteral("Insertion is in progress, please wait....."));
  QVERIFY(w.frame->RowCountPane()->text().endsWith(" rows so far"));

  // Another table during the count: it shows at once, highlighted, and
  // nothing of the first table's count reaches it.
  w.Click(small);
  QCOMPARE(w.Tree().GetSelectedItem(), small);
  QCOMPARE(w.frame->CurrentNode(), small);
  QCOMPARE(w.Columns(), 1);
  QCOMPARE(w.Heading(0), QStringLiteral("Id"));
  w.gate.Open();
  QTRY_VERIFY_WITH_TIMEOUT(w.LoadDone(), kAnalysisTimeoutMs);
  QCOMPARE(w.Rows(), 1);
  QCOMPARE(w.Cell(0, 0), QStringLiteral("1"));
  QCOMPARE(w.frame->RowCountPane()->text(), QStringLiteral("1 row"));
  QCOMPARE(w.prompts.Shown().size(), size_t(0));
}

void CLeftViewTest::stopDuringALoadKeepsTheRowsCounted() {
  const mdftest::TempFile& big = BigFile();
  Window w(/*gated=*/true);
  QVERIFY(w.Open(QString::fromStdString(big.path())));
  const ui::TreeHandle bigTable = w.Table("Big");
  w.Click(bigTable);
  QTRY_VERIFY(w.gate.Reached());
  QTRY_VERIFY(w.Rows() > 0);

  // Stop answered No: the count goes on.
  w.prompts.Answer(false, [&](const PromptRecord& asked) {
    QCOMPARE(asked.text, std::string("Data insertion is in Progress, do you want to abort ?"));
    QCOMPARE(asked.icon, ui::PromptIcon::kQuestion);
  });
  w.frame->Actions().stopTool->trigger();
  QVERIFY(w.frame->GridFillThread().IsSet());
  QVERIFY(w.doc.state.gridFillRunning);

  // Stop answered Yes: the count ends, the rows counted stay and read.
  const int counted = w.Rows();
  w.prompts.Answer(true);
  w.frame->Actions().stopTool->trigger();
  QVERIFY(!w.doc.state.gridFillRunning);
  w.gate.Open();
  QTRY_VERIFY(!w.frame->GridFillThread().IsSet());
  QCOMPARE(w.Rows(), counted);
  QVERIFY2(counted < 600000, "the count ended before Stop");
  QCOMPARE(w.Cell(counted - 1, 0), QString::number(counted - 1));
  QVERIFY(w.frame->RowCountPane()->text().endsWith(" rows (count stopped)"));
  QTRY_VERIFY(w.frame->ProgressBar()->isHidden());
  QTRY_VERIFY(w.frame->Actions().open->isEnabled());
  QCOMPARE(w.prompts.UnexpectedQuestions(), 0);
  QCOMPARE(w.frame->CurrentNode(), bigTable);
  QCOMPARE(w.Tree().GetSelectedItem(), bigTable);
}

void CLeftViewTest::theShownTableFollowsTheHighlight() {
  const mdftest::TempFile& big = BigFile();
  Window w;
  QVERIFY(w.Open(QString::fromStdString(big.path())));
  const ui::TreeHandle bigTable = w.Table("Big");
  const ui::TreeHandle small = w.Table("Small");
  w.Click(small);
  QTRY_VERIFY_WITH_TIMEOUT(w.LoadDone(), kAnalysisTimeoutMs);
  QCOMPARE(w.Rows(), 1);

  // The expand button opens the branch and changes nothing shown.
  QTreeWidgetItem* bigItem = w.Tree().Item(bigTable);
  w.View().scrollToItem(bigItem);
  const QRect button = w.View().ButtonRect(bigTable);
  ui::TreeHandle hit = ui::kNoTreeItem;
  QCOMPARE(w.View().HitTest(button.center(), &hit), mendora::TreeHit::kButton);
  QCOMPARE(hit, bigTable);
  QVERIFY(!bigItem->isExpanded());
  QTest::mouseClick(w.View().viewport(), Qt::LeftButton, {}, button.center());
  QTRY_VERIFY(bigItem->isExpanded());
  QCOMPARE(w.Tree().GetSelectedItem(), small);
  QCOMPARE(w.frame->CurrentNode(), small);
  QCOMPARE(w.Rows(), 1);
  bigItem->setExpanded(false);

  // The keyboard moves the highlight, and what shows moves with it.
  w.View().setFocus();
  w.View().setCurrentItem(w.Tree().Item(small));
  w.Key(Qt::Key_Up);
  QCOMPARE(w.Tree().GetSelectedItem(), bigTable);
  QCOMPARE(w.frame->CurrentNode(), bigTable);
  QCOMPARE(w.Heading(1), QStringLiteral("Name"));
  QTRY_VERIFY_WITH_TIMEOUT(w.LoadDone(), kAnalysisTimeoutMs);
  QCOMPARE(w.Rows(), 600000);

  // Space and Enter check and uncheck, as a click on the check box.
  QCOMPARE(w.Tree().GetStateImage(bigTable), ui::kUnchecked);
  w.Key(Qt::Key_Space);
  QCOMPARE(w.Tree().GetStateImage(bigTable), ui::kChecked);
  QVERIFY(w.doc.state.saveAllowed);
  w.Key(Qt::Key_Return);
  QCOMPARE(w.Tree().GetStateImage(bigTable), ui::kUnchecked);
  QVERIFY(!w.doc.state.saveAllowed);
  QCOMPARE(w.prompts.Shown().size(), size_t(0));
}

void CLeftViewTest::searchOrderTipsAndPartlyCheckedParents() {
  mdftest::TempFile file;
  mdftest::CatalogueBuilder builder(655, u"names");
  for (const char16_t* name : {u"Table_10", u"Table_2", u"Table_1"}) {
    builder.AddTable(name, {mdftest::IntColumn(u"Id")}, {{mdftest::IntValue(1)}});
  }
  builder.WriteTo(file.path());
  Window w;
  QVERIFY(w.Open(QString::fromStdString(file.path())));
  // Numbers in names in counting order; each name whole in its tip.
  QStringList names;
  for (ui::TreeHandle t : w.Tree().GetChildItems(w.doc.nodes.tables)) {
    const QTreeWidgetItem* item = w.Tree().Item(t);
    names << item->text(0).section('(', 0, 0);
    QCOMPARE(item->toolTip(0), item->text(0));
  }
  QCOMPARE(names, (QStringList{"Table_1", "Table_2", "Table_10"}));

  // The search box keeps what names the text, with its branch.
  const ui::TreeHandle two = w.Table("Table_2");
  auto hidden = [&](ui::TreeHandle node) { return w.Tree().Item(node)->isHidden(); };
  w.frame->TreeSearch()->setText(QStringLiteral("TABLE_2"));
  QVERIFY(!hidden(two));
  QVERIFY(!hidden(w.Child(two, "Columns(")));
  QVERIFY(hidden(w.Table("Table_1")));
  QVERIFY(hidden(w.Table("Table_10")));
  QVERIFY(hidden(w.doc.nodes.programmability));
  QVERIFY(w.Tree().Item(w.doc.nodes.tables)->isExpanded());
  w.frame->TreeSearch()->clear();
  QVERIFY(!hidden(w.Table("Table_1")));
  QVERIFY(!hidden(w.doc.nodes.programmability));

  // A parent over some checked nodes shows partly checked, and still reads
  // as unchecked for the save.
  auto shownState = [&](ui::TreeHandle node) { return w.Tree().Item(node)->checkState(0); };
  w.Click(two, /*checkBox=*/true);
  QCOMPARE(shownState(two), Qt::Checked);
  QCOMPARE(shownState(w.doc.nodes.tables), Qt::PartiallyChecked);
  QCOMPARE(shownState(w.doc.nodes.root), Qt::PartiallyChecked);
  QCOMPARE(w.Tree().GetStateImage(w.doc.nodes.tables), ui::kUnchecked);
  QCOMPARE(shownState(w.Table("Table_1")), Qt::Unchecked);
  w.Click(two, true);
  QCOMPARE(shownState(w.doc.nodes.tables), Qt::Unchecked);
  QCOMPARE(shownState(w.doc.nodes.root), Qt::Unchecked);
}

void CLeftViewTest::exitDuringALoadAsksToExit() {
  const mdftest::TempFile& big = BigFile();
  Window w(/*gated=*/true);
  QVERIFY(w.Open(QString::fromStdString(big.path())));
  w.Click(w.Table("Big"));
  QTRY_VERIFY(w.gate.Reached());
  // No: the window stays and the count goes on.
  w.prompts.Answer(false, [](const PromptRecord& asked) {
    QCOMPARE(asked.text, std::string(" Do you want to exit."));
  });
  QVERIFY(!w.frame->close());
  QVERIFY(w.frame->isVisible());
  QVERIFY(w.frame->GridFillThread().IsSet());
  // Yes: the count ends with the window.
  w.gate.Open();
  w.prompts.Answer(true);
  QVERIFY(w.frame->close());
  QVERIFY(!w.frame->GridFillThread().IsSet());
  QCOMPARE(w.prompts.UnexpectedQuestions(), 0);
}

void CLeftViewTest::checkingATableChecksItsGroupAndRootAndEnablesSave() {
  const mdftest::TempFile& big = BigFile();
  Window w;
  QVERIFY(w.Open(QString::fromStdString(big.path())));
  const ui::TreeHandle bigTable = w.Table("Big");
  const ui::TreeHandle small = w.Table("Small");
  QVERIFY(!w.frame->Actions().saveTool->isEnabled());
  w.Click(bigTable, /*checkBox=*/true);
  QCOMPARE(w.Tree().GetStateImage(bigTable), ui::kChecked);
  QVERIFY(w.Tree().IsBold(bigTable));
  QCOMPARE(w.Tree().GetStateImage(w.doc.nodes.tables), ui::kUnchecked);
  QVERIFY(w.Tree().IsBold(w.doc.nodes.tables));
  QVERIFY(w.doc.state.saveAllowed);
  QVERIFY(w.frame->Actions().saveTool->isEnabled());
  // A check-box click loads nothing.
  QVERIFY(!w.frame->GridFillThread().IsSet());

  w.Click(small, true);
  QCOMPARE(w.Tree().GetStateImage(w.doc.nodes.tables), ui::kChecked);
  QCOMPARE(w.Tree().GetStateImage(w.doc.nodes.root), ui::kUnchecked);
  w.Click(w.doc.nodes.programmability, true);
  QCOMPARE(w.Tree().GetStateImage(w.doc.nodes.root), ui::kChecked);
  QVERIFY(w.Tree().IsBold(w.doc.nodes.root));

  // Unchecking the root unchecks everything, and Save goes.
  w.Click(w.doc.nodes.root, true);
  for (const auto& h : w.doc.handles) QCOMPARE(w.Tree().GetStateImage(h.handle), ui::kUnchecked);
  QVERIFY(!w.Tree().IsBold(w.doc.nodes.root));
  QVERIFY(!w.doc.state.saveAllowed);
  QTRY_VERIFY(!w.frame->Actions().saveTool->isEnabled());
}

void CLeftViewTest::previewsOfARealFile() {
  const json ref = Reference("v611-northwind.mdf");
  Window w;
  QVERIFY(w.Open(qttest::RealFile("v611-northwind.mdf")));
  auto shows = [&](ui::TreeHandle node, const QString& heading, const QString& text) {
    QVERIFY(node != ui::kNoTreeItem);
    w.Click(node);
    QCOMPARE(w.frame->Splitter()->CurrentViewId(0, 1), int(CMainFrame::kGridView));
    // A read-only text view, to select and copy as a whole.
    QVERIFY(w.Preview().isVisible());
    QVERIFY(w.Preview().isReadOnly());
    QVERIFY(!w.Grid().isVisible());
    QCOMPARE(w.frame->GridView()->PreviewHeading()->text(), heading);
    QCOMPARE(w.Preview().toPlainText(), text);
    QCOMPARE(w.frame->CurrentNode(), node);
  };
  const json& pk = Named(ref["keys"], "PK_Customers");
  const ui::TreeHandle customers = w.Table("Customers");
  shows(w.Child(w.Child(customers, "Primary Keys("), "PK_Customers"), "DDL For Primary Key",
        "Alter Table Customers Add Constraint PK_Customers Primary Key Clustered(" +
            Joined(pk["columns"]) + ")");
  const json& city = Named(ref["indexes"], "City");
  shows(w.Child(w.Child(customers, "Indexes("), "City"), "DDL For Indexes",
        "Create Nonclustered Index City On Customers(" + Joined(city["columns"]) + ")");
  const json& fk = Named(ref["foreign_keys"], "FK_Orders_Customers");
  shows(w.Child(w.Child(w.Table("Orders"), "Foreign Keys("), "FK_Orders_Customers"),
        "DDL For Foreign Key",
        "Alter table Orders With Nocheck Add Constraint FK_Orders_Customers Foreign Key(" +
            Joined(fk["columns"]) + ") References Customers(" + Joined(fk["referenced_columns"]) +
            ")");
  const json& check = Named(ref["checks"], "CK_Products_UnitPrice");
  shows(w.Child(w.Child(w.Table("Products"), "Constraints("), "CK_Products_UnitPrice"),
        "DDL For Check Constraint",
        "Alter Table Products With Nocheck Add Constraint CK_Products_UnitPrice Check " +
            QString::fromStdString(check["text"].get<std::string>()));
  // A column with a default says its text when the pointer rests on it.
  const ui::TreeHandle freight = w.Child(w.Child(w.Table("Orders"), "Columns("), "Freight(");
  QCOMPARE(QString::fromStdU16String(w.Tree().GetItemToolTip(freight)),
           QStringLiteral("Freight(money,Null)\nDefault (0)"));

  // A procedure's text, one row per line (a line ends at CR LF, or at a CR or
  // LF alone), tabs as blanks.
  const json& module = Named(ref["modules"], "Ten Most Expensive Products");
  const ui::TreeHandle procedure =
      w.Child(w.Child(w.doc.nodes.programmability, "Procedures("), "Ten Most Expensive Products");
  QVERIFY(procedure != ui::kNoTreeItem);
  w.Click(procedure);
  QCOMPARE(w.frame->GridView()->PreviewHeading()->text(),
           QStringLiteral("DDL For Programmability"));
  QStringList lines = QString::fromStdString(module["text"].get<std::string>())
                          .replace('\t', ' ')
                          .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                          .replace('\r', '\n')
                          .split('\n');
  while (!lines.isEmpty() && lines.front().isEmpty()) lines.pop_front();
  QCOMPARE(w.Preview().toPlainText(), lines.join('\n'));

  // A table after a preview loads its rows again.
  w.Click(customers);
  QTRY_VERIFY_WITH_TIMEOUT(w.LoadDone(), 10000);
  QCOMPARE(w.Heading(0), QStringLiteral("CustomerID"));
  QCOMPARE(w.Rows(), int(Named(ref["tables"], "Customers")["rows"].size()));
  QVERIFY(w.prompts.Shown().empty());
}

MENDORA_QTEST_MAIN(CLeftViewTest)
#include "CLeftViewTest.moc"
