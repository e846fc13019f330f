// Start-up: the single running copy, the settings value, the first file
// selection and the window it leaves.
#include <sys/file.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <memory>

#include "QtTestSupport.h"
#include "browser/TreeText.h"
#include "shell/CBrowse.h"
#include "shell/CLeftView.h"
#include "shell/CMainFrame.h"
#include "shell/CMendoraSqlApp.h"
#include "shell/QtText.h"
#include "shell/ReadRegistryString.h"
#include "shell/SingleInstance.h"
#include "tests/integration/ReferenceFiles.h"
#include "tests/support/ScriptedPrompts.h"
#include "ui/ProductTexts.h"

using shell::CMendoraSqlApp;

namespace {

// A start-up in its own runtime folder, answering from a script and picking `chosen`.
struct Startup {
  ui::ScriptedPrompts prompts;
  QString chosen;
  std::unique_ptr<CMendoraSqlApp> app;

  explicit Startup(const QString& instanceFolder, const QString& startFile = QString()) {
    shell::ShellSettings settings;
    settings.startFile = startFile;
    settings.timings = qttest::FastTimings();
    settings.prompts = &prompts;
    settings.chooseFile = [this](QWidget*) { return chosen; };
    settings.instanceFolder = instanceFolder;
    app = std::make_unique<CMendoraSqlApp>(settings);
  }
};

}  // namespace

class CMendoraSqlAppTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void firstSelectionCancelledLeavesAnIdleWindow();
  void firstSelectionStartsTheAnalysisOnTheTreeViewsTimer();
  void fileOnTheCommandLineIsAnalysedWithoutTheSelection();
  void refusedCommandLineFileIsSaidAndTheSelectionFollows();
  void secondCopyIsRefusedOnce();
  void secondCopyProgramEndsWithStatusZero();
  void deadCopysLockIsTakenOver();
  void settingsValueIsReadNeverWritten();
  void splashPictureFile();

 private:
  std::unique_ptr<QTemporaryDir> runtime_;
  std::unique_ptr<QTemporaryDir> config_;
};

void CMendoraSqlAppTest::init() {
  runtime_ = std::make_unique<QTemporaryDir>();
  config_ = std::make_unique<QTemporaryDir>();
  QVERIFY(runtime_->isValid() && config_->isValid());
  qputenv("XDG_CONFIG_HOME", config_->path().toLocal8Bit());
}

void CMendoraSqlAppTest::firstSelectionCancelledLeavesAnIdleWindow() {
  Startup s(runtime_->path());
  bool missed = false;
  qttest::WhenModal<shell::CBrowse>([](shell::CBrowse* browse) { browse->CancelButton()->click(); },
                                    10000, &missed);
  QVERIFY(s.app->InitInstance());
  QVERIFY(!missed);
  shell::CMainFrame* frame = s.app->MainFrame();
  QVERIFY(frame);
  QVERIFY(frame->isVisible());
  QVERIFY(frame->windowState() & Qt::WindowMaximized);
  QCOMPARE(frame->windowTitle(), QStringLiteral(" Mendora for Sql Server"));
  QCOMPARE(mendora::TreeText(frame->TreeView()->Control()),
           std::string("Mendora for Sql Server\n"));
  QVERIFY(frame->Actions().open->isEnabled());
  QVERIFY(!frame->Actions().saveTool->isEnabled());
  QVERIFY(!frame->Actions().stopTool->isEnabled());
  QVERIFY(!s.app->Document().state.analysisRunning);
  QVERIFY(!s.app->Document().state.startupAnalysisRequested);
  QVERIFY(s.prompts.Shown().empty());
  // The tree view's timer keeps asking; nothing starts.
  QVERIFY(frame->TreeView()->StartupTimer().isActive());
  QVERIFY(!frame->StartupAnalysisThread().IsSet());
}

void CMendoraSqlAppTest::firstSelectionStartsTheAnalysisOnTheTreeViewsTimer() {
  Startup s(runtime_->path());
  s.chosen = qttest::RealFile("v539-northwind.mdf");
  qttest::WhenModal<shell::CBrowse>([](shell::CBrowse* browse) {
    browse->SelectButton()->click();
    browse->StartButton()->click();
  });
  QVERIFY(s.app->InitInstance());
  shell::CMendoraSqlDoc& doc = s.app->Document();
  QVERIFY(doc.state.startupAnalysisRequested);
  QVERIFY(doc.file.IsOpen());
  shell::CMainFrame* frame = s.app->MainFrame();
  QTRY_VERIFY_WITH_TIMEOUT(!doc.state.analysisRunning && !frame->StartupAnalysisThread().IsSet() &&
                               doc.nodes.root != ui::kNoTreeItem,
                           20000);
  // The timer that picked the request up is stopped; the tree shows the file.
  QVERIFY(!frame->TreeView()->StartupTimer().isActive());
  const ui::TreeControl& tree = frame->TreeView()->Control();
  QCOMPARE(shell::ToQString(tree.GetItemText(tree.GetRootItem())), s.chosen.toUpper());
  const size_t tables = mdftest::UserTableCount("v539-northwind.mdf");
  QVERIFY(mendora::TreeText(tree).find("\n  Tables(" + std::to_string(tables) + ")\n") !=
          std::string::npos);
  QCOMPARE(tree.GetRootItems().size(), size_t(1));
}

void CMendoraSqlAppTest::fileOnTheCommandLineIsAnalysedWithoutTheSelection() {
  // A relative path, as a shell passes it: the tree root shows it whole.
  const QString real = qttest::RealFile("v655-northwind.mdf");
  const QString relative = QDir::current().relativeFilePath(real);
  Startup s(runtime_->path(), relative);
  // No file selection: the watch for one runs out without meeting it.
  bool missed = false;
  qttest::WhenModal<shell::CBrowse>([](shell::CBrowse* b) { b->CancelButton()->click(); }, 1000,
                                    &missed);
  QVERIFY(s.app->InitInstance());
  shell::CMendoraSqlDoc& doc = s.app->Document();
  QVERIFY(doc.state.startupAnalysisRequested);
  QVERIFY(doc.file.IsOpen());
  shell::CMainFrame* frame = s.app->MainFrame();
  QTRY_VERIFY_WITH_TIMEOUT(!doc.state.analysisRunning && !frame->StartupAnalysisThread().IsSet() &&
                               doc.nodes.root != ui::kNoTreeItem,
                           20000);
  QTRY_VERIFY_WITH_TIMEOUT(missed, 5000);
  QVERIFY(s.prompts.Shown().empty());
  const ui::TreeControl& tree = frame->TreeView()->Control();
  QCOMPARE(shell::ToQString(tree.GetItemText(tree.GetRootItem())),
           QFileInfo(real).absoluteFilePath().toUpper());
  const size_t tables = mdftest::UserTableCount("v655-northwind.mdf");
  QVERIFY(mendora::TreeText(tree).find("\n  Tables(" + std::to_string(tables) + ")\n") !=
          std::string::npos);
}

void CMendoraSqlAppTest::refusedCommandLineFileIsSaidAndTheSelectionFollows() {
  QTemporaryDir dir;
  // A file that does not exist, and one that another process holds.
  const QString missing = dir.filePath(QStringLiteral("none.mdf"));
  const QString held = dir.filePath(QStringLiteral("held.mdf"));
  QFile heldFile(held);
  QVERIFY(heldFile.open(QIODevice::WriteOnly));
  heldFile.write(QByteArray(8192 * 4, '\0'));
  heldFile.flush();
  QVERIFY(flock(heldFile.handle(), LOCK_EX) == 0);
  const struct {
    QString path;
    const char* said;
  } cases[] = {{missing, texts::kNoSuchFile}, {held, texts::kFileInUse}};
  for (const auto& c : cases) {
    auto runtime = std::make_unique<QTemporaryDir>();
    Startup s(runtime->path(), c.path);
    bool missed = false;
    qttest::WhenModal<shell::CBrowse>([](shell::CBrowse* b) { b->CancelButton()->click(); }, 10000,
                                      &missed);
    QVERIFY(s.app->InitInstance());
    QVERIFY2(!missed, qPrintable(c.path));
    QCOMPARE(s.prompts.Shown().size(), size_t(1));
    QCOMPARE(s.prompts.Shown()[0].text, std::string(c.said));
    QVERIFY(!s.app->Document().file.IsOpen());
    QVERIFY(!s.app->Document().state.startupAnalysisRequested);
    QVERIFY(!s.app->Document().state.analysisRunning);
  }
}

void CMendoraSqlAppTest::secondCopyIsRefusedOnce() {
  Startup first(runtime_->path());
  qttest::WhenModal<shell::CBrowse>([](shell::CBrowse* b) { b->CancelButton()->click(); });
  QVERIFY(first.app->InitInstance());
  QSignalSpy cameForward(&first.app->Instance(), &shell::SingleInstance::ComeForwardRequested);

  Startup second(runtime_->path());
  Startup third(runtime_->path());
  bool thirdRan = false, thirdResult = true;
  // While the second copy's notice is up, a third copy ends without a word.
  second.prompts.OnNotice([&](const ui::PromptRecord&) {
    thirdResult = third.app->InitInstance();
    thirdRan = true;
  });
  QVERIFY(!second.app->InitInstance());
  QCOMPARE(second.app->ExitCode(), 0);
  QVERIFY(!second.app->MainFrame());
  QCOMPARE(second.prompts.Shown().size(), size_t(1));
  QCOMPARE(second.prompts.Shown()[0].text,
           std::string("Mendora for Sql Server is already running"));
  QCOMPARE(second.prompts.Shown()[0].caption, std::string("  Mendora for Sql Server"));
  QVERIFY(thirdRan);
  QVERIFY(!thirdResult);
  QCOMPARE(third.app->ExitCode(), 0);
  QVERIFY(third.prompts.Shown().empty());
  // Both later copies asked the first to come forward.
  QTRY_COMPARE(cameForward.count(), 2);
  // Once the notice is gone, the next copy says so again.
  Startup fourth(runtime_->path());
  QVERIFY(!fourth.app->InitInstance());
  QCOMPARE(fourth.prompts.Shown().size(), size_t(1));
}

void CMendoraSqlAppTest::secondCopyProgramEndsWithStatusZero() {
  // This process is the running copy, and it shows the notice itself, so the
  // program started next ends silently, as a third copy does.
  shell::SingleInstance running(runtime_->path());
  QVERIFY(running.BecomeTheRunningCopy());
  QVERIFY(running.TakeNotice());
  QSignalSpy cameForward(&running, &shell::SingleInstance::ComeForwardRequested);
  QSignalSpy opened(&running, &shell::SingleInstance::OpenFileRequested);
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_->path());
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  program.setProcessEnvironment(env);
  // The file it was given ("Open with" from a file manager) is passed on, by
  // its absolute path, for the running copy to open.
  program.setWorkingDirectory(runtime_->path());
  program.start(QStringLiteral(MENDORA_PROGRAM_PATH), {QStringLiteral("shop.mdf")});
  QVERIFY(program.waitForStarted(10000));
  QTRY_COMPARE_WITH_TIMEOUT(cameForward.count(), 1, 10000);
  QTRY_COMPARE(opened.count(), 1);
  QCOMPARE(opened.at(0).at(0).toString(), QDir(runtime_->path()).filePath("shop.mdf"));
  // It may have ended already, while the request was being waited for.
  if (program.state() != QProcess::NotRunning) QVERIFY(program.waitForFinished(10000));
  QCOMPARE(program.exitStatus(), QProcess::NormalExit);
  QCOMPARE(program.exitCode(), 0);
}

void CMendoraSqlAppTest::deadCopysLockIsTakenOver() {
  // A copy that ended leaves its lock file behind, unlocked: the next copy
  // runs. Within one process a second lock on the file is refused, as it is
  // for another process.
  {
    shell::SingleInstance ended(runtime_->path());
    QVERIFY(ended.BecomeTheRunningCopy());
    shell::SingleInstance meanwhile(runtime_->path());
    QVERIFY(!meanwhile.BecomeTheRunningCopy());
  }
  QVERIFY(QFile::exists(QDir(runtime_->path()).filePath(QStringLiteral("mendora.lock"))));
  shell::SingleInstance next(runtime_->path());
  QVERIFY(next.BecomeTheRunningCopy());
}

void CMendoraSqlAppTest::settingsValueIsReadNeverWritten() {
  const QString file = shell::RegistryFile(QStringLiteral("MDSQL"));
  QVERIFY(file.startsWith(config_->path()));
  QCOMPARE(shell::ReadRegistryString(QStringLiteral("MDSQL"), QStringLiteral("FilePath")),
           QString());
  QVERIFY(!QFile::exists(file));
  QVERIFY(QDir().mkpath(QFileInfo(file).path()));
  QFile ini(file);
  QVERIFY(ini.open(QIODevice::WriteOnly));
  ini.write("[MDSQL]\nFilePath=/opt/mendora tools\nOther=1\n");
  ini.close();
  const QByteArray before = [&] {
    QFile f(file);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
  }();
  QCOMPARE(shell::ReadRegistryString(QStringLiteral("MDSQL"), QStringLiteral("FilePath")),
           QStringLiteral("/opt/mendora tools"));
  QCOMPARE(shell::ReadRegistryString(QStringLiteral("MDSQL"), QStringLiteral("Missing")),
           QString());
  QFile after(file);
  QVERIFY(after.open(QIODevice::ReadOnly));
  QCOMPARE(after.readAll(), before);

  // Start-up reads it into the installation folder.
  Startup s(runtime_->path());
  qttest::WhenModal<shell::CBrowse>([](shell::CBrowse* b) { b->CancelButton()->click(); });
  QVERIFY(s.app->InitInstance());
  QCOMPARE(s.app->Document().state.InstallFolder(), std::string("/opt/mendora tools"));
}

void CMendoraSqlAppTest::splashPictureFile() {
  QCOMPARE(CMendoraSqlApp::SplashFile(QStringLiteral("/opt/mendora")),
           QStringLiteral("/opt/mendora/Flash.bmp"));
  QCOMPARE(CMendoraSqlApp::SplashFile(QString()),
           QCoreApplication::applicationDirPath() + QStringLiteral("/Flash.bmp"));
}

MENDORA_QTEST_MAIN(CMendoraSqlAppTest)
#include "CMendoraSqlAppTest.moc"
