// The file selection dialog: its controls and texts, choosing a file, Start
// with every outcome, and Cancel.
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <memory>

#include "QtTestSupport.h"
#include "shell/CBrowse.h"
#include "tests/support/MdfBuilder.h"
#include "tests/support/ScriptedPrompts.h"
#include "widgets/CTransparentStatic.h"

using shell::CBrowse;

namespace {

// The dialog over its own state and data file; the file-open dialog answers `chosen`.
struct Selection {
  ui::JobState state;
  mendora::DataFile file;
  ui::ScriptedPrompts prompts;
  QString chosen;
  CBrowse dialog{state, file, prompts, [this](QWidget*) { return chosen; }};

  void Choose(const QString& path) {
    chosen = path;
    dialog.SelectButton()->click();
  }
};

std::unique_ptr<mdftest::TempFile> DataFileOnDisk(const std::u16string& name) {
  auto file = std::make_unique<mdftest::TempFile>();
  mdftest::MdfBuilder(655, name).WriteTo(file->path());
  return file;
}

QString Path(const mdftest::TempFile& file) {
  return QString::fromStdString(file.path());
}

}  // namespace

class CBrowseTest : public QObject {
  Q_OBJECT

 private slots:
  void controlsAndTexts();
  void choosingShowsThePathAndEnablesStart();
  void cancellingTheFileOpenDialogChangesNothing();
  void startOpensTheFileAndEnds();
  void startKeepsTheChosenCodePage();
  void startOnAFileThatCannotBeOpened();
  void startOnALockedFile();
  void startKeepsTheOpenFileWhenTheNewOneIsRefused();
  void cancelForgetsTheChoice();
  void escapeIsCancel();
  void fileOpenDialogTitleAndFilter();
};

void CBrowseTest::controlsAndTexts() {
  Selection s;
  QCOMPARE(s.dialog.windowTitle(), QStringLiteral(" Mendora for Sql Server"));
  QVERIFY(!s.dialog.windowIcon().isNull());
  QCOMPARE(s.dialog.SelectButton()->text(), QStringLiteral("Select MDF File"));
  QCOMPARE(s.dialog.StartButton()->text(), QStringLiteral("Start"));
  QCOMPARE(s.dialog.CancelButton()->text(), QStringLiteral("Cancel"));
  QVERIFY(s.dialog.StartButton()->isDefault());
  QVERIFY(!s.dialog.StartButton()->isEnabled());
  QVERIFY(s.dialog.PathLabel()->text().isEmpty());
  // The path label is two lines high and framed, with the Select button, by
  // an untitled group box.
  QVERIFY(s.dialog.PathLabel()->minimumHeight() >=
          2 * s.dialog.PathLabel()->fontMetrics().lineSpacing());
  auto* group = qobject_cast<QGroupBox*>(s.dialog.PathLabel()->parentWidget());
  QVERIFY(group);
  QVERIFY(group->title().isEmpty());
  QCOMPARE(s.dialog.SelectButton()->parentWidget(), static_cast<QWidget*>(group));
}

void CBrowseTest::choosingShowsThePathAndEnablesStart() {
  Selection s;
  s.dialog.show();
  s.Choose(QStringLiteral("/data/Shop/Northwind.mdf"));
  // The label keeps the case as chosen; the tree root will show it in upper case.
  QCOMPARE(s.dialog.PathLabel()->text(), QStringLiteral("/data/Shop/Northwind.mdf"));
  QCOMPARE(s.state.SelectedFilePath(), std::u16string(u"/DATA/SHOP/NORTHWIND.MDF"));
  QCOMPARE(s.state.ChosenFilePath(), std::string("/data/Shop/Northwind.mdf"));
  QVERIFY(s.dialog.StartButton()->isEnabled());
  QTRY_VERIFY(s.dialog.StartButton()->hasFocus());
  QVERIFY(!s.file.IsOpen());
}

void CBrowseTest::cancellingTheFileOpenDialogChangesNothing() {
  Selection s;
  s.Choose(QStringLiteral("/data/a.mdf"));
  s.Choose(QString());
  QCOMPARE(s.dialog.PathLabel()->text(), QStringLiteral("/data/a.mdf"));
  QCOMPARE(s.state.SelectedFilePath(), std::u16string(u"/DATA/A.MDF"));
  QVERIFY(s.dialog.StartButton()->isEnabled());
}

void CBrowseTest::startOpensTheFileAndEnds() {
  Selection s;
  auto file = DataFileOnDisk(u"Mixed");
  // A file name with lower case: opened by the name as chosen, since the
  // upper-cased one names no file here.
  QVERIFY(Path(*file) != Path(*file).toUpper());
  s.Choose(Path(*file));
  s.dialog.show();
  s.dialog.StartButton()->click();
  QCOMPARE(s.dialog.result(), int(QDialog::Accepted));
  QVERIFY(s.file.IsOpen());
  QCOMPARE(s.file.Path(), file->path());
  QVERIFY(s.state.analysisRunning);
  QVERIFY(s.prompts.Shown().empty());
}

void CBrowseTest::startKeepsTheChosenCodePage() {
  Selection s;
  QComboBox* box = s.dialog.CodePageBox();
  QVERIFY(box);
  // The collation's own code page comes first and is what a new dialog offers.
  QCOMPARE(box->currentData().toInt(), 0);
  QVERIFY(box->findData(950) > 0);
  QVERIFY(box->findData(65001) > 0);
  auto file = DataFileOnDisk(u"Pages");
  s.Choose(Path(*file));
  box->setCurrentIndex(box->findData(1252));
  // Cancel keeps the code page the last Start chose.
  s.dialog.CancelButton()->click();
  QCOMPARE(s.state.chosenCodePage.load(), 0);
  s.Choose(Path(*file));
  box->setCurrentIndex(box->findData(1252));
  s.dialog.StartButton()->click();
  QCOMPARE(s.state.chosenCodePage.load(), 1252);
  // The next dialog over the same state starts from that choice.
  CBrowse again(s.state, s.file, s.prompts, [](QWidget*) { return QString(); });
  QCOMPARE(again.CodePageBox()->currentData().toInt(), 1252);
}

void CBrowseTest::startOnAFileThatCannotBeOpened() {
  Selection s;
  s.dialog.show();
  s.Choose(QStringLiteral("/nonexistent/folder/missing.mdf"));
  s.dialog.StartButton()->click();
  QCOMPARE(s.prompts.Texts(),
           std::vector<std::string>{"The selected file is already being used by another process."});
  QCOMPARE(s.prompts.Shown()[0].caption, std::string(" Mendora for Sql Server"));
  QVERIFY(s.dialog.isVisible());
  QVERIFY(!s.dialog.StartButton()->isEnabled());
  QVERIFY(s.dialog.PathLabel()->text().isEmpty());
  QVERIFY2(!s.state.analysisRunning, "idle again at the refusal, not only when the dialog ends");
  QVERIFY(!s.file.IsOpen());
  // Another choice enables Start again.
  s.Choose(QStringLiteral("/nonexistent/other.mdf"));
  QVERIFY(s.dialog.StartButton()->isEnabled());
}

void CBrowseTest::startOnALockedFile() {
  Selection s;
  auto file = DataFileOnDisk(u"Held");
  qttest::LockHolder holder;
  QVERIFY(holder.Start(Path(*file)));
  s.dialog.show();
  s.Choose(Path(*file));
  s.dialog.StartButton()->click();
  QCOMPARE(s.prompts.Texts(),
           std::vector<std::string>{"The selected file is already being used by another process."});
  QVERIFY(!s.dialog.StartButton()->isEnabled());
  QVERIFY(s.dialog.isVisible());
  QVERIFY(!s.file.IsOpen());
  QVERIFY2(!s.state.analysisRunning, "the refusal leaves nothing running");
}

void CBrowseTest::startKeepsTheOpenFileWhenTheNewOneIsRefused() {
  // The file shown stays open whatever the choice was refused for: one that
  // does not open, one too short to be a data file.
  Selection s;
  auto first = DataFileOnDisk(u"First");
  QVERIFY(s.file.Open(first->path()));
  QTemporaryDir dir;
  QFile notes(dir.filePath("notes.mdf"));
  QVERIFY(notes.open(QIODevice::WriteOnly));
  notes.write("text");
  notes.close();
  s.dialog.show();
  for (const QString& refused : {QStringLiteral("/nonexistent/second.mdf"), notes.fileName()}) {
    s.prompts.Clear();
    s.Choose(refused);
    s.dialog.StartButton()->click();
    QCOMPARE(s.prompts.Shown().size(), size_t(1));
    QVERIFY(s.dialog.isVisible());
    QVERIFY(s.file.IsOpen());
    QCOMPARE(s.file.Path(), first->path());
  }
  QCOMPARE(s.prompts.Texts(),
           std::vector<std::string>{"The selected file is not a SQL Server data file."});
  // A good file replaces it, and the first is free for others again.
  auto second = DataFileOnDisk(u"Second");
  s.Choose(Path(*second));
  s.dialog.StartButton()->click();
  QCOMPARE(s.dialog.result(), int(QDialog::Accepted));
  QCOMPARE(s.file.Path(), second->path());
  mendora::DataFile other;
  QVERIFY(other.Open(first->path()));
}

void CBrowseTest::cancelForgetsTheChoice() {
  Selection s;
  s.dialog.show();
  s.Choose(QStringLiteral("/nonexistent/second.mdf"));
  s.dialog.StartButton()->click();
  s.dialog.CancelButton()->click();
  QCOMPARE(s.dialog.result(), int(QDialog::Rejected));
  QVERIFY(s.state.SelectedFilePath().empty());
  QVERIFY(s.state.ChosenFilePath().empty());
  QVERIFY(!s.file.IsOpen());
}

void CBrowseTest::escapeIsCancel() {
  Selection s;
  s.dialog.show();
  QVERIFY(QTest::qWaitForWindowExposed(&s.dialog));
  s.Choose(QStringLiteral("/data/a.mdf"));
  QTest::keyClick(&s.dialog, Qt::Key_Escape);
  QCOMPARE(s.dialog.result(), int(QDialog::Rejected));
  QVERIFY(s.state.SelectedFilePath().empty());
}

void CBrowseTest::fileOpenDialogTitleAndFilter() {
  QString title;
  QStringList filters;
  QFileDialog::FileMode mode = QFileDialog::AnyFile;
  qttest::WhenModal<QFileDialog>([&](QFileDialog* dialog) {
    title = dialog->windowTitle();
    filters = dialog->nameFilters();
    mode = dialog->fileMode();
    dialog->reject();
  });
  QCOMPARE(CBrowse::ChooseWithFileDialog(nullptr), QString());
  QCOMPARE(title, QStringLiteral(" Open Microsoft SQL files(*.mdf)"));
  QCOMPARE(filters, QStringList{QStringLiteral("MSSQL Files (*.mdf)")});
  QCOMPARE(mode, QFileDialog::ExistingFile);
}

MENDORA_QTEST_MAIN(CBrowseTest)
#include "CBrowseTest.moc"
