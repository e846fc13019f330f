// The save dialog driven as a user would, over a small job of the test's own
// that writes one file per step and shows each step: the fields and bars it
// shows, Pause and Resume, Stop answered No and Yes, the close request,
// Escape, the end of the job, its failure, and its pacing.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <stdexcept>

#include "QtTestSupport.h"
#include "shell/CFileSaving.h"
#include "tests/support/ScriptedPrompts.h"

using shell::CFileSaving;
using ui::PromptRecord;

namespace {

// Writes `steps` files into `folder`, one per step, each with what the save
// shows for an object and `stepMs` of paced waiting; then, as the save ends,
// one more wait and the overall bar at 100.
class StepWork final : public shell::SaveWork {
 public:
  StepWork(QString folder, ui::ExportDisplay& display, ui::Pacer& pacer, int steps, int stepMs)
      : folder_(std::move(folder)),
        display_(display),
        pacer_(pacer),
        steps_(steps),
        stepMs_(stepMs) {}

  void PrepareDestination() override {
    preparedOn = QThread::currentThread();
    QVERIFY(QDir(folder_).mkpath(QStringLiteral("Tables_Create")));
  }
  void Run(mendora::JobControl& job) override {
    ranOn = QThread::currentThread();
    for (int i = 1; i <= steps_; ++i) {
      job.Checkpoint();
      if (failAt == i) throw std::runtime_error("disk full");
      const QString name = QStringLiteral("T%1").arg(i);
      display_.SetObjectType(u"Table");
      display_.SetObjectName(name.toStdU16String());
      const QString path = QDir(folder_).filePath(QStringLiteral("Tables_Create/%1.sql").arg(name));
      display_.SetSavedPath(path.toStdU16String());
      QFile file(path);
      if (file.open(QIODevice::WriteOnly)) file.write("Create Table\r\n");
      ++written;
      display_.SetRecords(u"1/1");
      pacer_.Wait(stepMs_);
      display_.SetCurrentProgress(100);
      display_.SetObjects(QStringLiteral("%1/%2").arg(i).arg(steps_).toStdU16String());
      display_.SetOverallProgress(i * 100 / steps_ - 1);
    }
    // As the save ends: the overall bar full a moment.
    pacer_.Wait(stepMs_);
    display_.SetOverallProgress(100);
  }
  int FilesOnDisk() const {
    return int(QDir(folder_ + QStringLiteral("/Tables_Create")).entryList(QDir::Files).size());
  }

  std::atomic<int> written{0};
  int failAt = 0;
  QThread* preparedOn = nullptr;
  std::atomic<QThread*> ranOn{nullptr};

 private:
  QString folder_;
  ui::ExportDisplay& display_;
  ui::Pacer& pacer_;
  int steps_;
  int stepMs_;
};

shell::SaveDialogTimings Fast() {
  shell::SaveDialogTimings t;
  t.closeTimerMs = 20;
  return t;
}

// One dialog over one job, answering from a script.
struct Saving {
  QTemporaryDir dir;
  ui::ScriptedPrompts prompts;
  ui::JobState state;
  CFileSaving dialog;
  StepWork work;

  explicit Saving(int steps = 40, int stepMs = 10, shell::SaveDialogTimings timings = Fast())
      : dialog(state, prompts, timings),
        work(dir.path(), dialog.Display(), dialog.Pacer(), steps, stepMs) {}

  // Runs the dialog; `act` runs on it once it is up and the job has written `after` files.
  int Run(std::function<void(CFileSaving*)> act = {}, int after = 2) {
    if (act) {
      qttest::WhenModal<CFileSaving>([this, act, after](CFileSaving* d) {
        QTRY_VERIFY(work.written >= after || !d->isVisible());
        act(d);
      });
    }
    return dialog.Run(work);
  }
};

}  // namespace

class CFileSavingTest : public QObject {
  Q_OBJECT

 private slots:
  void layoutAndTexts();
  void runsToItsEndAndClosesWithOk();
  void pauseGreysStopAndSaysResume();
  void stopAnsweredNoGoesOnToTheEnd();
  void stopAnsweredYesEndsTheJobAtOnce();
  void stopCutsAPacedWaitShort();
  void closeRequestAsksAndYesEndsTheJob();
  void escapeDoesNothing();
  void pauseAndStopAfterTheJobHaveNoEffect();
  void failureOfTheJobClosesTheDialog();
  void pacedWaitsAreTakenOnlyWhenPaced();
};

void CFileSavingTest::layoutAndTexts() {
  Saving s;
  CFileSaving& d = s.dialog;
  QCOMPARE(d.windowTitle(), QStringLiteral(" Mendora for Sql Server"));
  QVERIFY(!(d.windowFlags() & Qt::WindowCloseButtonHint));
  QStringList captions;
  for (const char* name :
       {"savedPathCaption", "objectTypeCaption", "objectNameCaption", "recordsCaption",
        "objectsCaption", "currentCaption", "overallCaption"}) {
    auto* label = d.findChild<QLabel*>(QString::fromLatin1(name));
    QVERIFY2(label, name);
    captions << label->text();
  }
  QCOMPARE(captions, (QStringList{"Saved File Path :", "Object Type :", "Object Name :",
                                  "Records Recovered :", "Objects  Recovered :", "Current Progress",
                                  "Overall Progress"}));
  for (QLabel* field : {d.SavedPath(), d.ObjectType(), d.ObjectName(), d.Records(), d.Objects()}) {
    QCOMPARE(field->text(), QString());
  }
  // The saved path has room for two lines.
  QVERIFY(d.SavedPath()->minimumHeight() >= 2 * d.SavedPath()->fontMetrics().lineSpacing());
  for (QProgressBar* bar : {d.CurrentBar(), d.OverallBar()}) {
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 100);
    QCOMPARE(bar->value(), 0);
  }
  QCOMPARE(d.StopButton()->text(), QStringLiteral("Stop"));
  QVERIFY(d.StopButton()->isDefault());
  QCOMPARE(d.PauseButton()->text(), QStringLiteral("Pause"));
  QVERIFY(d.PauseButton()->isEnabled() && d.StopButton()->isEnabled());
}

void CFileSavingTest::runsToItsEndAndClosesWithOk() {
  Saving s(3, 0);
  QCOMPARE(s.Run(), int(QDialog::Accepted));
  QVERIFY(s.state.saveCompleted);
  QVERIFY(s.dialog.Failure().empty());
  // Prepared on the window thread before the worker ran; written on the worker.
  QCOMPARE(s.work.preparedOn, QThread::currentThread());
  QVERIFY(s.work.ranOn.load() && s.work.ranOn.load() != QThread::currentThread());
  QCOMPARE(s.work.FilesOnDisk(), 3);
  // The fields show the last step; the overall bar ends at 100.
  QCOMPARE(s.dialog.ObjectType()->text(), QStringLiteral("Table"));
  QCOMPARE(s.dialog.ObjectName()->text(), QStringLiteral("T3"));
  QVERIFY(s.dialog.SavedPath()->text().endsWith(QStringLiteral("Tables_Create/T3.sql")));
  QCOMPARE(s.dialog.Records()->text(), QStringLiteral("1/1"));
  QCOMPARE(s.dialog.Objects()->text(), QStringLiteral("3/3"));
  QCOMPARE(s.dialog.CurrentBar()->value(), 100);
  QCOMPARE(s.dialog.OverallBar()->value(), 100);
  QVERIFY(!s.dialog.Worker().IsSet());
  QVERIFY(s.prompts.Shown().empty());
}

void CFileSavingTest::pauseGreysStopAndSaysResume() {
  Saving s;
  bool checked = false;
  const int result = s.Run([&](CFileSaving* d) {
    d->PauseButton()->click();
    QVERIFY(!d->StopButton()->isEnabled());
    QCOMPARE(d->PauseButton()->text(), QStringLiteral("Resume"));
    QVERIFY(d->Paused());
    // The job stops at its next checkpoint and writes nothing meanwhile.
    QTRY_VERIFY(d->Worker().Control()->Parked());
    const int heldAt = s.work.written;
    const QString shown = d->ObjectName()->text();
    QTest::qWait(100);
    QCOMPARE(s.work.written.load(), heldAt);
    QCOMPARE(d->ObjectName()->text(), shown);
    // Stop does nothing while paused, Enter included.
    QTest::keyClick(d, Qt::Key_Return);
    d->PauseButton()->click();
    QVERIFY(d->StopButton()->isEnabled());
    QCOMPARE(d->PauseButton()->text(), QStringLiteral("Pause"));
    QTRY_VERIFY(s.work.written > heldAt);
    checked = true;
  });
  QVERIFY(checked);
  QCOMPARE(result, int(QDialog::Accepted));
  QVERIFY(s.state.saveCompleted);
  QCOMPARE(s.work.FilesOnDisk(), 40);
  QVERIFY(s.prompts.Shown().empty());
}

void CFileSavingTest::stopAnsweredNoGoesOnToTheEnd() {
  Saving s;
  bool asked = false;
  s.prompts.Answer(false, [&](const PromptRecord& question) {
    QCOMPARE(question.text, std::string("Saving is in Progress, do you want to abort ?"));
    QCOMPARE(question.caption, std::string("Mendora for Sql Server"));
    QCOMPARE(question.icon, ui::PromptIcon::kQuestion);
    // The job stands still while the question is on screen.
    QVERIFY(s.dialog.Worker().Control()->Held());
    QVERIFY(s.dialog.Worker().Control()->Parked());
    asked = true;
  });
  QCOMPARE(s.Run([](CFileSaving* d) { d->StopButton()->click(); }), int(QDialog::Accepted));
  QVERIFY(asked);
  QVERIFY(s.state.saveCompleted);
  QCOMPARE(s.work.FilesOnDisk(), 40);
  QCOMPARE(s.prompts.UnexpectedQuestions(), 0);
}

void CFileSavingTest::stopAnsweredYesEndsTheJobAtOnce() {
  Saving s;
  int writtenAtAnswer = -1;
  s.prompts.Answer(true, [&](const PromptRecord&) { writtenAtAnswer = s.work.written; });
  QElapsedTimer clock;
  clock.start();
  // Enter presses Stop, the default button.
  QCOMPARE(s.Run([](CFileSaving* d) { QTest::keyClick(d, Qt::Key_Return); }),
           int(QDialog::Accepted));
  QVERIFY(clock.elapsed() < 5000);
  QVERIFY(writtenAtAnswer >= 2);
  QVERIFY(!s.state.saveCompleted);
  QVERIFY(!s.dialog.Worker().IsSet());
  QVERIFY(!s.dialog.isVisible());
  // Nothing was written after the answer, and the worker is gone, so nothing
  // can be later either.
  QCOMPARE(s.work.written.load(), writtenAtAnswer);
  QCOMPARE(s.work.FilesOnDisk(), writtenAtAnswer);
}

void CFileSavingTest::stopCutsAPacedWaitShort() {
  // One step with a wait of ten minutes: Stop meets it within a moment.
  shell::SaveDialogTimings paced = Fast();
  paced.paced = true;
  Saving s(1, 600000, paced);
  bool parked = false;
  s.prompts.Answer(true,
                   [&](const PromptRecord&) { parked = s.dialog.Worker().Control()->Parked(); });
  QElapsedTimer clock;
  clock.start();
  s.Run([](CFileSaving* d) { d->StopButton()->click(); }, 1);
  QVERIFY(clock.elapsed() < 10000);
  QVERIFY(parked);
  QVERIFY(!s.state.saveCompleted);
}

void CFileSavingTest::closeRequestAsksAndYesEndsTheJob() {
  Saving s(1000, 10);
  // No: the dialog stays and the job goes on.
  s.prompts.Answer(false);
  bool stayed = false;
  int writtenAtYes = -1;
  const int result = s.Run([&](CFileSaving* d) {
    QVERIFY(!d->close());
    stayed = d->isVisible();
    const int afterNo = s.work.written;
    QTRY_VERIFY(s.work.written > afterNo);
    s.prompts.Answer(true);
    QVERIFY(!d->close());
    writtenAtYes = s.work.written;
  });
  QVERIFY(stayed);
  QCOMPARE(result, int(QDialog::Rejected));
  QCOMPARE(s.prompts.Texts(),
           (std::vector<std::string>{"Saving is in Progress, do you want to abort ?",
                                     "Saving is in Progress, do you want to abort ?"}));
  QVERIFY(!s.state.saveCompleted);
  QVERIFY(s.work.written < 1000);
  QCOMPARE(s.work.written.load(), writtenAtYes);
}

void CFileSavingTest::escapeDoesNothing() {
  Saving s;
  bool open = false;
  const int result = s.Run([&](CFileSaving* d) {
    QTest::keyClick(d, Qt::Key_Escape);
    open = d->isVisible();
  });
  QVERIFY(open);
  QCOMPARE(result, int(QDialog::Accepted));
  QVERIFY(s.state.saveCompleted);
  QVERIFY(s.prompts.Shown().empty());
}

void CFileSavingTest::pauseAndStopAfterTheJobHaveNoEffect() {
  // The timer closes the dialog only after a while: the job is done by then.
  shell::SaveDialogTimings t = Fast();
  t.closeTimerMs = 1500;
  Saving s(2, 0, t);
  bool checked = false;
  s.Run(
      [&](CFileSaving* d) {
        QTRY_VERIFY(s.state.saveCompleted);
        d->PauseButton()->click();
        d->StopButton()->click();
        QCOMPARE(d->PauseButton()->text(), QStringLiteral("Pause"));
        QVERIFY(d->StopButton()->isEnabled());
        QVERIFY(d->isVisible());
        checked = true;
      },
      0);
  QVERIFY(checked);
  QVERIFY(s.prompts.Shown().empty());
  QVERIFY(s.state.saveCompleted);
}

void CFileSavingTest::failureOfTheJobClosesTheDialog() {
  Saving s(10, 0);
  s.work.failAt = 4;
  QCOMPARE(s.Run(), int(QDialog::Rejected));
  QCOMPARE(s.dialog.Failure(), std::string("disk full"));
  QVERIFY(!s.state.saveCompleted);
  QCOMPARE(s.work.FilesOnDisk(), 3);
}

void CFileSavingTest::pacedWaitsAreTakenOnlyWhenPaced() {
  for (bool paced : {false, true}) {
    shell::SaveDialogTimings t = Fast();
    t.paced = paced;
    Saving s(3, 100, t);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(s.Run(), int(QDialog::Accepted));
    if (paced) {
      QVERIFY(clock.elapsed() >= 400);
    } else {
      QVERIFY2(clock.elapsed() < 300, qPrintable(QString::number(clock.elapsed())));
    }
  }
}

MENDORA_QTEST_MAIN(CFileSavingTest)
#include "CFileSavingTest.moc"
