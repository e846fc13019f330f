// The grid as a user browses a table with it, on real files: pictures in
// image cells and in the value viewer (the BMP behind Northwind's OLE
// headers, pubs' GIF logos), copying selected cells as tab-separated text,
// CSV and SQL inserts, sorting by a header, the filter box, row numbers, and
// a generated table scrolled end to end with the decoded pages kept few.
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLocale>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>

#include "QtTestSupport.h"
#include "engine/Analysis.h"
#include "engine/TableReader.h"
#include "shell/CMendoraSqlDoc.h"
#include "shell/CMendoraSqlView.h"
#include "tests/support/CatalogueBuilder.h"

using mendora::CopyFormat;
using nlohmann::json;

namespace {

// A data file read as the window reads it, and its tables shown in a grid
// with their pages counted at once.
struct Browse {
  shell::CMendoraSqlDoc doc;
  shell::CMendoraSqlView view;

  explicit Browse(const std::string& path) {
    if (!doc.file.Open(path) || !doc.file.DetectVersion()) return;
    mendora::NullJobControl job;
    mendora::RunAnalysis(doc.file, doc.catalogue, job);
    view.resize(900, 500);
    view.show();
  }
  shell::TableRowModel* Show(const std::u16string& name,
                             uint64_t windowRows = shell::TableRowModel::kWindowRows) {
    for (const auto& t : doc.catalogue.userTables) {
      if (t.name != name) continue;
      auto* model =
          view.ShowTable(std::make_unique<mendora::TableRowSource>(doc.file, doc.catalogue, t.id),
                         name, windowRows);
      std::vector<mendora::PageRowCount> pages;
      mendora::NullJobControl job;
      mendora::TableReader(doc.file, doc.catalogue, t.id)
          .CountPageRows(job, [&](uint64_t page, uint32_t rows) {
            pages.push_back({page, rows});
            return true;
          });
      model->AddPages(pages);
      model->SetComplete();
      return model;
    }
    return nullptr;
  }
  QString Cell(int row, int column) {
    return view.Table()->model()->index(row, column).data().toString();
  }
  void Select(int top, int left, int bottom, int right) {
    QAbstractItemModel* m = view.Table()->model();
    view.Table()->selectionModel()->select(
        QItemSelection(m->index(top, left), m->index(bottom, right)),
        QItemSelectionModel::ClearAndSelect);
    view.Table()->selectionModel()->setCurrentIndex(m->index(top, left),
                                                    QItemSelectionModel::NoUpdate);
  }
};

json Reference(const std::string& file) {
  std::ifstream in(mdftest::RealMdfDir() + "/expected/" + file + ".json");
  return json::parse(in);
}

}  // namespace

class CMendoraSqlViewTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QCOMPARE(QGuiApplication::platformName(), QStringLiteral("offscreen")); }
  void picturesShowInTheGridAndTheViewer();
  void copyAsTextCsvAndSqlInsert();
  void sortFilterAndRowNumbers();
  void scrollingALargeTableKeepsFewPages();
  void sortAndFilterSpillPastTheirMemory();
};

void CMendoraSqlViewTest::picturesShowInTheGridAndTheViewer() {
  const json ref = Reference("v611-northwind.mdf");
  Browse b(mdftest::RealMdf("v611-northwind.mdf"));
  shell::TableRowModel* categories = b.Show(u"Categories");
  QVERIFY(categories);
  QCOMPARE(categories->rowCount(), 8);
  // Never blank: each picture says what it is and how big.
  for (int r = 0; r < 8; ++r)
    QVERIFY2(b.Cell(r, 3).startsWith("(image, "), qPrintable(b.Cell(r, 3)));

  // Double-click opens the viewer: the BMP behind the OLE header, its hex.
  shell::ValueViewer* viewer = b.view.Viewer();
  QVERIFY(viewer->isHidden());
  b.Select(0, 3, 0, 3);
  b.view.ViewValue();
  QVERIFY(viewer->isVisible());
  QVERIFY(viewer->ShowsPicture());
  QCOMPARE(viewer->PictureFormat(), QStringLiteral("BMP"));
  QVERIFY(!viewer->Picture()->pixmap().isNull());
  QVERIFY(viewer->Text()->toPlainText().startsWith("00000000  15 1C 2F 00"));
  QTemporaryDir dir;
  const QString saved = dir.filePath("picture.bmp");
  QVERIFY(viewer->SaveTo(saved));
  QImage image(saved);
  QVERIFY(!image.isNull());
  QCOMPARE(QSize(image.width(), image.height()), viewer->Picture()->pixmap().size());

  // The viewer follows the current cell: a text value, whole and wrapped.
  b.view.Table()->setCurrentIndex(b.view.Table()->model()->index(1, 2));
  QString description;
  for (const auto& t : ref["tables"]) {
    if (t["name"] == "Categories") description = QString::fromStdString(t["rows"][1][2]);
  }
  QVERIFY(!description.isEmpty());
  QCOMPARE(viewer->Text()->toPlainText(), description);
  QVERIFY(!viewer->ShowsPicture());

  // pubs keeps GIF logos without a header.
  Browse pubs(mdftest::RealMdf("v611-pubs.mdf"));
  QVERIFY(pubs.Show(u"pub_info"));
  QCOMPARE(pubs.Cell(0, 1), QStringLiteral("(image, 643 bytes)"));
  pubs.Select(0, 1, 0, 1);
  pubs.view.ViewValue();
  QCOMPARE(pubs.view.Viewer()->PictureFormat(), QStringLiteral("GIF"));
  QVERIFY(!pubs.view.Viewer()->Picture()->pixmap().isNull());
}

void CMendoraSqlViewTest::copyAsTextCsvAndSqlInsert() {
  Browse b(mdftest::RealMdf("v611-northwind.mdf"));
  QVERIFY(b.Show(u"Categories"));
  b.Select(0, 0, 1, 1);
  QCOMPARE(b.view.SelectionText(CopyFormat::kTabSeparated),
           QStringLiteral("CategoryID\tCategoryName\n1\tBeverages\n2\tCondiments\n"));
  QCOMPARE(b.view.SelectionText(CopyFormat::kSqlInsert),
           QStringLiteral(
               "Insert into [Categories]([CategoryID],[CategoryName]) Values(1,N'Beverages')\n"
               "Insert into [Categories]([CategoryID],[CategoryName]) Values(2,N'Condiments')\n"));
  // Ctrl+C puts the tab-separated form on the clipboard.
  QApplication::clipboard()->clear();
  b.view.Table()->setFocus();
  QTest::keyClick(b.view.Table(), Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(QApplication::clipboard()->text(),
           QStringLiteral("CategoryID\tCategoryName\n1\tBeverages\n2\tCondiments\n"));

  // CSV quotes what needs it; a picture's bytes go whole into every form.
  const json ref = Reference("v611-northwind.mdf");
  QString description;
  for (const auto& t : ref["tables"]) {
    if (t["name"] == "Categories") description = QString::fromStdString(t["rows"][0][2]);
  }
  QVERIFY(description.contains(','));
  b.Select(0, 2, 0, 2);
  QCOMPARE(b.view.SelectionText(CopyFormat::kCsv),
           QStringLiteral("Description\r\n\"") + description + QStringLiteral("\"\r\n"));
  b.Select(7, 3, 7, 3);
  const QString picture = b.view.SelectionText(CopyFormat::kTabSeparated);
  QVERIFY(picture.startsWith("Picture\n0x151C2F00"));
  // Rows and cells picked apart: a cell not picked is empty, NULL in SQL.
  QItemSelectionModel* pick = b.view.Table()->selectionModel();
  QAbstractItemModel* m = b.view.Table()->model();
  pick->select(m->index(2, 0), QItemSelectionModel::ClearAndSelect);
  pick->select(m->index(4, 1), QItemSelectionModel::Select);
  QCOMPARE(b.view.SelectionText(CopyFormat::kCsv),
           QStringLiteral("CategoryID,CategoryName\r\n3,\r\n,Grains/Cereals\r\n"));
  QCOMPARE(b.view.CopyAction()->text(), QStringLiteral("Copy"));
  QCOMPARE(b.view.Table()->actions().size(), 5);
  QCOMPARE(b.view.Table()->contextMenuPolicy(), Qt::ActionsContextMenu);
}

void CMendoraSqlViewTest::sortFilterAndRowNumbers() {
  Browse b(mdftest::RealMdf("v611-northwind.mdf"));
  shell::TableRowModel* model = b.Show(u"Categories");
  QVERIFY(model);
  auto number = [&](int row) {
    return b.view.Table()->model()->headerData(row, Qt::Vertical).toInt();
  };
  QCOMPARE(number(0), 1);
  QVERIFY(QTest::qWaitForWindowExposed(&b.view));
  // Sorted by name, descending on a second click: each row keeps its number.
  QTest::mouseClick(b.view.Table()->horizontalHeader()->viewport(), Qt::LeftButton, {},
                    QPoint(b.view.Table()->horizontalHeader()->sectionViewportPosition(1) + 5, 5));
  QCOMPARE(b.view.Table()->horizontalHeader()->sortIndicatorSection(), 1);
  QTRY_VERIFY(!b.view.Arranging());
  QCOMPARE(b.Cell(0, 1), QStringLiteral("Beverages"));
  QVERIFY(b.view.SortBy(1));
  QTRY_VERIFY(!b.view.Arranging());
  QCOMPARE(b.Cell(0, 1), QStringLiteral("Seafood"));
  QCOMPARE(number(0), 8);
  // Numbers sort by value.
  QVERIFY(b.view.SortBy(0));
  QTRY_VERIFY(!b.view.Arranging());
  QCOMPARE(b.Cell(0, 0), QStringLiteral("1"));
  QVERIFY(b.view.SortBy(0));
  QTRY_VERIFY(!b.view.Arranging());
  QCOMPARE(b.Cell(0, 0), QStringLiteral("8"));

  // The filter: text anywhere, any case; or one column's whole text.
  b.view.FilterBox()->setText(QStringLiteral("CHEESE"));
  QVERIFY(b.view.ApplyFilter());
  QTRY_VERIFY(!b.view.Arranging());
  QCOMPARE(model->rowCount(), 1);
  QCOMPARE(b.Cell(0, 1), QStringLiteral("Dairy Products"));
  QCOMPARE(b.view.FilterNote()->text(), QStringLiteral("1 of 8 rows"));
  b.view.FilterBox()->setText(QStringLiteral("categoryname = produce"));
  QVERIFY(b.view.ApplyFilter());
  QTRY_VERIFY(!b.view.Arranging());
  QCOMPARE(model->rowCount(), 1);
  QCOMPARE(number(0), 7);
  b.view.FilterBox()->setText(QStringLiteral("CategoryID = 1"));
  QVERIFY(b.view.ApplyFilter());
  QTRY_VERIFY(!b.view.Arranging());
  QCOMPARE(model->rowCount(), 1);
  b.view.FilterBox()->clear();
  QTRY_VERIFY(!b.view.Arranging());
  QCOMPARE(model->rowCount(), 8);
  QCOMPARE(b.Cell(0, 0), QStringLiteral("8"));
}

void CMendoraSqlViewTest::scrollingALargeTableKeepsFewPages() {
  mdftest::TempFile file;
  mdftest::CatalogueBuilder builder(655, u"big");
  builder.AddGeneratedTable(u"Big",
                            {mdftest::IntColumn(u"Id"), mdftest::VarCharColumn(u"Name", 20)},
                            200000, [](uint64_t i) {
                              return mdftest::Row{mdftest::IntValue(static_cast<int32_t>(i)),
                                                  mdftest::VarCharValue("row" + std::to_string(i))};
                            });
  builder.WriteTo(file.path());
  Browse b(file.path());
  shell::TableRowModel* model = b.Show(u"Big");
  QVERIFY(model);
  QCOMPARE(model->rowCount(), 200000);
  const mendora::TableRowSource& source = model->Source();
  for (int row : {0, 199999, 100000, 5, 150001, 199999}) {
    b.view.Table()->scrollTo(model->index(row, 0));
    b.view.Table()->viewport()->repaint();
    QCOMPARE(b.Cell(row, 0), QString::number(row));
    QCOMPARE(b.Cell(row, 1), QStringLiteral("row%1").arg(row));
  }
  // Every row read once, end to end: still only a few pages decoded.
  for (int row = 0; row < 200000; row += 97) QCOMPARE(b.Cell(row, 0), QString::number(row));
  QVERIFY(source.CachedPageCount() <= mendora::TableRowSource::kCachedPages);
  QVERIFY(source.IndexedPages() > mendora::TableRowSource::kCachedPages * 10);
  QVERIFY(b.view.WindowSlider()->isHidden());
  QVERIFY(b.view.SortBy(0));
  QVERIFY(b.view.SortBy(0));
  QTRY_VERIFY(!b.view.Arranging());
  QCOMPARE(b.Cell(0, 0), QStringLiteral("199999"));

  // A grid that holds 50 000 rows at a time: the window moves over the table.
  Browse windowed(file.path());
  shell::TableRowModel* rows = windowed.Show(u"Big", 50000);
  QCOMPARE(rows->rowCount(), 50000);
  QCOMPARE(rows->TotalRows(), uint64_t(200000));
  QVERIFY(windowed.view.WindowSlider()->isVisible());
  QCOMPARE(windowed.view.WindowNote()->text(),
           QStringLiteral("rows ") + QLocale().toString(1) + QStringLiteral(" to ") +
               QLocale().toString(50000) + QStringLiteral(" of ") + QLocale().toString(200000));
  const int last = rows->ShowStoredRow(199999);
  QCOMPARE(rows->WindowStart(), uint64_t(150000));
  QCOMPARE(windowed.Cell(last, 0), QStringLiteral("199999"));
  QCOMPARE(windowed.view.Table()->model()->headerData(last, Qt::Vertical).toULongLong(),
           qulonglong(200000));
  windowed.view.WindowSlider()->setValue(10);
  QCOMPARE(rows->WindowStart(), uint64_t(10000));
  QCOMPARE(windowed.Cell(0, 1), QStringLiteral("row10000"));
  QCOMPARE(rows->ShowStoredRow(10005), 5);
}

void CMendoraSqlViewTest::sortAndFilterSpillPastTheirMemory() {
  // A table larger than the memory given to its sort and filter, shown
  // through a window of 20 000 rows: the work spills to temporary files and
  // the grid moves over the result as over the table.
  mdftest::TempFile file;
  mdftest::CatalogueBuilder builder(655, u"spill");
  builder.AddGeneratedTable(u"T", {mdftest::IntColumn(u"Id"), mdftest::VarCharColumn(u"Name", 20)},
                            60000, [](uint64_t i) {
                              return mdftest::Row{
                                  mdftest::IntValue(static_cast<int32_t>((i * 7) % 60000)),
                                  mdftest::VarCharValue("r" + std::to_string(i % 1000))};
                            });
  builder.WriteTo(file.path());
  Browse b(file.path());
  b.view.SetArrangeMemory(64 * 1024);
  shell::TableRowModel* model = b.Show(u"T", 20000);
  QVERIFY(model);
  QSignalSpy progress(&b.view, &shell::CMendoraSqlView::ArrangeProgress);
  QSignalSpy ended(&b.view, &shell::CMendoraSqlView::ArrangeEnded);
  QVERIFY(b.view.SortBy(0));
  QVERIFY(b.view.Arranging());
  QTRY_VERIFY_WITH_TIMEOUT(!b.view.Arranging(), 60000);
  QCOMPARE(ended.count(), 1);
  QVERIFY(!progress.isEmpty());
  QVERIFY(model->Arrangement()->Spilled());
  QCOMPARE(model->ShownRows(), uint64_t(60000));
  QCOMPARE(model->rowCount(), 20000);
  QCOMPARE(b.Cell(0, 0), QStringLiteral("0"));
  QCOMPARE(b.Cell(19999, 0), QStringLiteral("19999"));
  // The last rows of the sorted table, through the slider.
  QVERIFY(b.view.WindowSlider()->isVisible());
  b.view.WindowSlider()->setValue(b.view.WindowSlider()->maximum());
  QCOMPARE(model->WindowStart(), uint64_t(40000));
  QCOMPARE(b.Cell(19999, 0), QStringLiteral("59999"));
  // Stored row 1 holds Id 7: its number stays with it.
  QCOMPARE(model->ShowStoredRow(1), 7);
  QCOMPARE(model->WindowStart(), uint64_t(0));

  // Sorted by name and filtered: names r5, r50..r59, r500..r599, each 60
  // times; ties in stored order.
  b.view.FilterBox()->setText(QStringLiteral("r5"));
  QVERIFY(b.view.ApplyFilter());
  QTRY_VERIFY_WITH_TIMEOUT(!b.view.Arranging(), 60000);
  QVERIFY(b.view.SortBy(1));
  QTRY_VERIFY_WITH_TIMEOUT(!b.view.Arranging(), 60000);
  QCOMPARE(model->ShownRows(), uint64_t(111 * 60));
  QCOMPARE(b.Cell(0, 1), QStringLiteral("r5"));
  QCOMPARE(model->StoredRow(0), uint64_t(5));
  QCOMPARE(model->StoredRow(1), uint64_t(1005));
  QCOMPARE(b.view.FilterNote()->text(), QStringLiteral("%1 of %2 rows")
                                            .arg(QLocale().toString(111 * 60))
                                            .arg(QLocale().toString(60000)));

  // Stop keeps the rows found so far; a new table ends the work at once.
  b.view.FilterBox()->setText(QStringLiteral("r1"));
  QVERIFY(b.view.ApplyFilter());
  b.view.StopArrange();
  QTRY_VERIFY(!b.view.ArrangeThread().IsSet());
  QVERIFY(!b.view.Arranging());
  QVERIFY(model->ShownRows() <= uint64_t(111 * 60));
  QVERIFY(b.view.FilterNote()->text().contains(QStringLiteral("stopped")));
  QVERIFY(b.view.SortBy(0));
  shell::TableRowModel* again = b.Show(u"T", 20000);
  QVERIFY(!b.view.Arranging());
  QCOMPARE(again->ShownRows(), uint64_t(60000));
  QVERIFY(!again->IsArranged());
  QTRY_VERIFY(!b.view.ArrangeThread().IsSet());
  QCOMPARE(again->ShownRows(), uint64_t(60000));
}

MENDORA_QTEST_MAIN(CMendoraSqlViewTest)
#include "CMendoraSqlViewTest.moc"
