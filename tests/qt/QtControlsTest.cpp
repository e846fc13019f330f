// The Qt tree and list controls behave as the in-memory ones that the
// browser's own tests use: the same calls give the same answers. And a job
// on another thread builds the same tree through the window thread.
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTreeWidget>
#include <random>

#include "QtTestSupport.h"
#include "browser/ObjectTree.h"
#include "browser/TreeText.h"
#include "engine/Analysis.h"
#include "shell/JobControls.h"
#include "shell/QtListControl.h"
#include "shell/QtPrompts.h"
#include "shell/QtText.h"
#include "shell/QtTreeControl.h"
#include "tests/integration/ReferenceFiles.h"
#include "ui/MemoryListControl.h"
#include "ui/MemoryTreeControl.h"

namespace {

// Every node with its label, check box, bold and open state, depth first.
std::string Describe(const ui::TreeControl& tree) {
  std::string out;
  std::function<void(ui::TreeHandle, int)> walk = [&](ui::TreeHandle n, int depth) {
    out += std::string(depth * 2, ' ') +
           shell::QStringToUtf8(shell::ToQString(tree.GetItemText(n))) +
           " state=" + std::to_string(tree.GetStateImage(n)) + (tree.IsBold(n) ? " bold" : "") +
           (tree.IsExpanded(n) ? " open" : "") + "\n";
    for (ui::TreeHandle c : tree.GetChildItems(n)) walk(c, depth + 1);
  };
  for (ui::TreeHandle r : tree.GetRootItems()) walk(r, 0);
  return out;
}

// Runs the same random calls on two trees, checking every answer on the way.
void RandomCalls(ui::TreeControl& a, ui::TreeControl& b, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::pair<ui::TreeHandle, ui::TreeHandle>> nodes;  // same node in a and b
  const std::u16string labels[] = {u"beta",  u"Alpha", u"gamma",
                                   u"alpha", u"Beta",  u"\u00c9t\u00e9"};
  auto pick = [&]() -> std::pair<ui::TreeHandle, ui::TreeHandle> {
    if (nodes.empty() || random() % 8 == 0) return {ui::kNoTreeItem, ui::kNoTreeItem};
    return nodes[random() % nodes.size()];
  };
  for (int step = 0; step < 400; ++step) {
    auto [na, nb] = pick();
    switch (random() % 10) {
      case 0:
      case 1:
      case 2: {
        const std::u16string& label = labels[random() % std::size(labels)];
        ui::TreeHandle ia = a.InsertItem(na, label), ib = b.InsertItem(nb, label);
        QCOMPARE(ia == ui::kNoTreeItem, ib == ui::kNoTreeItem);
        if (ia != ui::kNoTreeItem) nodes.emplace_back(ia, ib);
        break;
      }
      case 3: {
        const bool on = random() % 2;
        a.SetCheckBoxStyle(on);
        b.SetCheckBoxStyle(on);
        break;
      }
      case 4: {
        const int state = static_cast<int>(random() % 4) - 1;  // -1 is refused
        a.SetStateImage(na, state);
        b.SetStateImage(nb, state);
        break;
      }
      case 5: {
        const bool bold = random() % 2;
        a.SetBold(na, bold);
        b.SetBold(nb, bold);
        break;
      }
      case 6: {
        const auto action = static_cast<ui::TreeExpand>(random() % 3);
        a.Expand(na, action);
        b.Expand(nb, action);
        break;
      }
      case 7:
        a.SortChildren(na);
        b.SortChildren(nb);
        break;
      case 8:
        a.SelectItem(na);
        b.SelectItem(nb);
        break;
      case 9:
        if (random() % 20 == 0) {
          a.DeleteAllItems();
          b.DeleteAllItems();
          // Old handles name nothing from now on, in both.
          for (auto [oa, ob] : nodes) {
            QCOMPARE(a.GetItemText(oa), std::u16string());
            QCOMPARE(b.GetItemText(ob), std::u16string());
          }
          nodes.clear();
        }
        break;
    }
    QCOMPARE(Describe(a), Describe(b));
    auto [sa, sb] = pick();
    QCOMPARE(a.GetParentItem(sa) == ui::kNoTreeItem, b.GetParentItem(sb) == ui::kNoTreeItem);
    QCOMPARE(a.GetChildItems(sa).size(), b.GetChildItems(sb).size());
    QCOMPARE(a.GetSelectedItem() == ui::kNoTreeItem, b.GetSelectedItem() == ui::kNoTreeItem);
  }
}

}  // namespace

class QtControlsTest : public QObject {
  Q_OBJECT

 private slots:
  void treeAnswersAsTheMemoryTree();
  void treeHandlesAreNeverReused();
  void treeCheckBoxesAreNotToggledByTheWidget();
  void objectTreeOfARealFileIsTheSameInBoth();
  void jobOnAnotherThreadBuildsTheSameTree();
  void listAnswersAsTheMemoryList();
  void listIsInReportStyle();
  void batchesOfRowsAnswerAsOneCallPerCell();
  void promptsShowTheirTextCaptionAndButtons();
};

void QtControlsTest::treeAnswersAsTheMemoryTree() {
  for (unsigned seed : {1u, 2u, 3u, 4u}) {
    QTreeWidget widget;
    shell::QtTreeControl qt(&widget);
    ui::MemoryTreeControl memory;
    RandomCalls(qt, memory, seed);
    if (QTest::currentTestFailed()) return;
  }
}

void QtControlsTest::treeHandlesAreNeverReused() {
  QTreeWidget widget;
  shell::QtTreeControl tree(&widget);
  const ui::TreeHandle first = tree.InsertItem(ui::kNoTreeItem, u"root");
  QVERIFY(first != ui::kNoTreeItem);
  tree.DeleteAllItems();
  const ui::TreeHandle second = tree.InsertItem(ui::kNoTreeItem, u"root");
  QVERIFY(second != first);
  QCOMPARE(tree.GetItemText(first), std::u16string());
  QCOMPARE(tree.InsertItem(first, u"child of a deleted node"), ui::kNoTreeItem);
  QCOMPARE(widget.topLevelItemCount(), 1);
}

void QtControlsTest::treeCheckBoxesAreNotToggledByTheWidget() {
  QTreeWidget widget;
  shell::QtTreeControl tree(&widget);
  tree.SetCheckBoxStyle(true);
  const ui::TreeHandle node = tree.InsertItem(ui::kNoTreeItem, u"Tables(1)");
  QCOMPARE(tree.GetStateImage(node), ui::kUnchecked);
  // The browser decides what a click on a check box means.
  QVERIFY(!(tree.Item(node)->flags() & Qt::ItemIsUserCheckable));
  tree.SetStateImage(node, ui::kChecked);
  QCOMPARE(tree.Item(node)->checkState(0), Qt::Checked);
  tree.SetStateImage(node, ui::kNoCheckBox);
  QVERIFY(!tree.Item(node)->data(0, Qt::CheckStateRole).isValid());
}

void QtControlsTest::objectTreeOfARealFileIsTheSameInBoth() {
  for (const char* name : {"v539-northwind.mdf", "v655-northwind.mdf"}) {
    mendora::DataFile file;
    QVERIFY(file.Open(mdftest::RealMdf(name)));
    QVERIFY(file.DetectVersion());
    mendora::Catalogue catalogue;
    mendora::NullJobControl job;
    mendora::RunAnalysis(file, catalogue, job);
    QTreeWidget widget;
    shell::QtTreeControl qt(&widget);
    ui::MemoryTreeControl memory;
    mendora::ObjectHandleList qtHandles, memoryHandles;
    mendora::ResetAndBuildObjectTree(qt, catalogue, file.Version(), u"ROOT", qtHandles);
    mendora::ResetAndBuildObjectTree(memory, catalogue, file.Version(), u"ROOT", memoryHandles);
    QCOMPARE(Describe(qt), Describe(memory));
    QCOMPARE(mendora::TreeText(qt), mendora::TreeText(memory));
    QCOMPARE(qtHandles.size(), memoryHandles.size());
    const size_t tables = mdftest::UserTableCount(name);
    QVERIFY(mendora::TreeText(qt).find("Tables(" + std::to_string(tables) + ")") !=
            std::string::npos);
    // The widget shows the same: as many items as nodes.
    QCOMPARE(qt.Count(), memory.Count());
  }
}

void QtControlsTest::jobOnAnotherThreadBuildsTheSameTree() {
  mendora::DataFile file;
  QVERIFY(file.Open(mdftest::RealMdf("v611-pubs.mdf")));
  QVERIFY(file.DetectVersion());
  mendora::Catalogue catalogue;
  mendora::NullJobControl null;
  mendora::RunAnalysis(file, catalogue, null);
  ui::MemoryTreeControl memory;
  mendora::ObjectHandleList handles;
  mendora::ResetAndBuildObjectTree(memory, catalogue, file.Version(), u"ROOT", handles);

  QTreeWidget widget;
  shell::QtTreeControl qt(&widget);
  shell::JobThread job;
  bool ended = false;
  job.Start(
      [&](shell::JobThread& j) {
        shell::JobTreeControl tree(j, qt);
        mendora::ObjectHandleList jobHandles;
        mendora::ResetAndBuildObjectTree(tree, catalogue, file.Version(), u"ROOT", jobHandles,
                                         &j.Job());
      },
      [&](const shell::JobThread::Result& r) {
        QCOMPARE(r.outcome, shell::JobThread::Outcome::kDone);
        ended = true;
      });
  QTRY_VERIFY_WITH_TIMEOUT(ended, 20000);
  QCOMPARE(Describe(qt), Describe(memory));
}

void QtControlsTest::listAnswersAsTheMemoryList() {
  QTableView table;
  shell::QtListControl qt(&table);
  ui::MemoryListControl memory;
  std::mt19937 random(7);
  for (int step = 0; step < 300; ++step) {
    const int column = static_cast<int>(random() % 6) - 1;
    const int row = static_cast<int>(random() % 8) - 1;
    const std::u16string text = u"v" + shell::ToU16(QString::number(step));
    switch (random() % 6) {
      case 0:
        QCOMPARE(qt.InsertColumn(column, text, 80), memory.InsertColumn(column, text, 80));
        break;
      case 1:
        QCOMPARE(qt.DeleteColumn(column), memory.DeleteColumn(column));
        break;
      case 2:
      case 3:
        QCOMPARE(qt.InsertItem(row, text), memory.InsertItem(row, text));
        break;
      case 4:
        QCOMPARE(qt.SetItemText(row, column, text), memory.SetItemText(row, column, text));
        break;
      case 5:
        if (random() % 10 == 0) {
          qt.DeleteAllItems();
          memory.DeleteAllItems();
        }
        break;
    }
    QCOMPARE(qt.GetColumnCount(), memory.GetColumnCount());
    QCOMPARE(qt.GetItemCount(), memory.GetItemCount());
    for (int c = 0; c < qt.GetColumnCount(); ++c) {
      QCOMPARE(qt.GetColumnHeading(c), memory.GetColumnHeading(c));
      for (int r = 0; r < qt.GetItemCount(); ++r)
        QCOMPARE(qt.GetItemText(r, c), memory.GetItemText(r, c));
    }
  }
  qt.ShowList(false);
  memory.ShowList(false);
  QCOMPARE(qt.IsListVisible(), memory.IsListVisible());
}

void QtControlsTest::batchesOfRowsAnswerAsOneCallPerCell() {
  // Rows with fewer cells than columns, more cells (dropped), empty cells and
  // a cell longer than a row keeps (cut at 65 535 units); then columns
  // inserted and deleted around rows that came in a batch.
  QTableView table;
  shell::QtListControl qt(&table);
  ui::MemoryListControl memory;
  for (ui::ListControl* list :
       {static_cast<ui::ListControl*>(&qt), static_cast<ui::ListControl*>(&memory)}) {
    list->InsertColumn(0, u"a", 100);
    list->InsertColumn(1, u"b", 100);
    list->InsertColumn(2, u"c", 100);
    list->InsertItem(0, u"before");
  }
  ui::RowBatch batch;
  std::mt19937 random(11);
  for (int r = 0; r < 200; ++r) {
    const size_t cells = random() % 5;
    for (size_t c = 0; c < cells; ++c) {
      batch.AddCell(random() % 7 == 0 ? std::u16string() : u"r" + shell::ToU16(QString::number(r)));
    }
    batch.EndRow();
  }
  qt.AppendRows(batch);
  memory.AppendRows(batch);
  auto same = [&] {
    QCOMPARE(qt.GetColumnCount(), memory.GetColumnCount());
    QCOMPARE(qt.GetItemCount(), memory.GetItemCount());
    for (int r = 0; r < qt.GetItemCount(); ++r) {
      for (int c = 0; c < qt.GetColumnCount(); ++c) {
        QCOMPARE(qt.GetItemText(r, c), memory.GetItemText(r, c));
        QCOMPARE(qt.Model().data(qt.Model().index(r, c)).toString(),
                 shell::ToQString(memory.GetItemText(r, c)));
      }
    }
  };
  same();
  QCOMPARE(qt.GetItemCount(), 201);
  for (ui::ListControl* list :
       {static_cast<ui::ListControl*>(&qt), static_cast<ui::ListControl*>(&memory)}) {
    list->InsertColumn(1, u"new", 50);
    list->DeleteColumn(0);
    list->SetItemText(5, 2, u"set");
  }
  same();

  ui::RowBatch longCell;
  longCell.AddCell(std::u16string(70000, u'x'));
  longCell.EndRow();
  qt.AppendRows(longCell);
  QCOMPARE(qt.GetItemText(qt.GetItemCount() - 1, 0).size(), size_t(65535));
  qt.DeleteAllItems();
  QCOMPARE(qt.GetItemCount(), 0);
  QCOMPARE(qt.Model().StoredUnits(), size_t(0));
}

void QtControlsTest::listIsInReportStyle() {
  QTableView table;
  shell::QtListControl::ApplyReportStyle(&table);
  shell::QtListControl list(&table);
  QCOMPARE(list.InsertColumn(0, u"CustomerID", 120), 0);
  QCOMPARE(table.columnWidth(0), 120);
  QCOMPARE(shell::ToQString(list.GetColumnHeading(0)), QStringLiteral("CustomerID"));
  QVERIFY(!table.verticalHeader()->isVisible());
  QCOMPARE(table.selectionBehavior(), QAbstractItemView::SelectRows);
  QCOMPARE(table.editTriggers(), QAbstractItemView::NoEditTriggers);
}

void QtControlsTest::promptsShowTheirTextCaptionAndButtons() {
  shell::QtPrompts prompts;
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  auto look = [&](QMessageBox* box) {
    title = box->windowTitle();
    text = box->text();
    icon = box->icon();
    buttons = box->standardButtons();
  };
  qttest::WhenModal<QMessageBox>([&](QMessageBox* box) {
    look(box);
    box->button(QMessageBox::Yes)->click();
  });
  QVERIFY(prompts.AskYesNo(" Do you want to exit.", "Mendora for Sql Server",
                           ui::PromptIcon::kQuestion));
  QCOMPARE(title, QStringLiteral("Mendora for Sql Server"));
  QCOMPARE(text, QStringLiteral(" Do you want to exit."));
  QCOMPARE(icon, QMessageBox::Question);
  QCOMPARE(buttons, QMessageBox::Yes | QMessageBox::No);

  qttest::WhenModal<QMessageBox>([&](QMessageBox* box) {
    look(box);
    box->button(QMessageBox::No)->click();
  });
  QVERIFY(!prompts.AskYesNo("Analysis is in Progress, do you want to abort? ",
                            "Mendora for Sql Server", ui::PromptIcon::kInformation));
  QCOMPARE(icon, QMessageBox::Information);

  qttest::WhenModal<QMessageBox>([&](QMessageBox* box) {
    look(box);
    box->accept();
  });
  prompts.Inform("Current Process Aborted By User.", "Mendora for Sql Server");
  QCOMPARE(text, QStringLiteral("Current Process Aborted By User."));
  QCOMPARE(icon, QMessageBox::Information);
  QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

MENDORA_QTEST_MAIN(QtControlsTest)
#include "QtControlsTest.moc"
