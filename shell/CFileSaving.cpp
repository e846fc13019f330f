#include "shell/CFileSaving.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPixmap>
#include <QThread>
#include <algorithm>
#include <array>
#include <chrono>

#include "shell/QtText.h"
#include "ui/ProductTexts.h"
#include "ui_CFileSaving.h"
#include "widgets/Artwork.h"

namespace shell {
namespace {

// A paced wait is taken in slices of this length, each ending at a
// checkpoint, so that Pause and Stop meet a waiting job within one slice.
constexpr int kWaitSliceMs = 50;
// How often the window looks whether a held job has reached its checkpoint.
constexpr int kParkPollMs = 5;
// The longest the dialog lags behind the save.
constexpr int kDisplayEveryMs = 50;

}  // namespace

// The fields and bars as the worker sees them. The worker's calls only note
// what each field is to show; the dialog is brought up to date at most every
// kDisplayEveryMs and once more when the job ends, so a save of many small
// objects spends its time writing, not waiting for the window.
class CFileSaving::WindowDisplay final : public ui::ExportDisplay {
 public:
  explicit WindowDisplay(CFileSaving& dialog) : dialog_(dialog) {}

  void SetObjectType(std::u16string_view text) override { Note(kObjectType, text); }
  void SetObjectName(std::u16string_view text) override { Note(kObjectName, text); }
  void SetSavedPath(std::u16string_view text) override { Note(kSavedPath, text); }
  void SetRecords(std::u16string_view text) override { Note(kRecords, text); }
  void SetObjects(std::u16string_view text) override { Note(kObjects, text); }
  void SetCurrentProgress(int percent) override { NoteBar(kCurrentBar, percent); }
  void SetOverallProgress(int percent) override { NoteBar(kOverallBar, percent); }

  // Shows everything noted and not shown yet.
  void Flush() {
    if (!dirty_) return;
    dirty_ = false;
    lastShown_ = std::chrono::steady_clock::now();
    const Shown shown = noted_;
    OnWindow([this, shown] { Show(shown); });
  }

 private:
  enum Label { kObjectType, kObjectName, kSavedPath, kRecords, kObjects, kLabels };
  enum Bar { kCurrentBar, kOverallBar, kBars };
  struct Shown {
    std::array<QString, kLabels> labels;
    std::array<int, kBars> bars{};
  };

  void Note(Label label, std::u16string_view text) {
    noted_.labels[label] = ToQString(text);
    Noted();
  }
  void NoteBar(Bar bar, int percent) {
    noted_.bars[bar] = std::clamp(percent, 0, 100);
    Noted();
  }
  void Noted() {
    dirty_ = true;
    // The window thread itself (the destination's preparation) shows at once.
    if (QThread::currentThread() == dialog_.thread() ||
        std::chrono::steady_clock::now() - lastShown_ >=
            std::chrono::milliseconds(kDisplayEveryMs)) {
      Flush();
    } else {
      // A held job stands still at its next step, shown or not.
      dialog_.worker_.Job().Checkpoint();
    }
  }
  void Show(const Shown& shown) {
    const std::array<widgets::CTransparentStatic*, kLabels> labels = {
        dialog_.ui_->objectType, dialog_.ui_->objectName, dialog_.ui_->savedPath,
        dialog_.ui_->records, dialog_.ui_->objects};
    for (size_t i = 0; i < labels.size(); ++i) {
      if (labels[i]->text() != shown.labels[i]) labels[i]->SetText(shown.labels[i]);
    }
    dialog_.ui_->currentBar->setValue(shown.bars[kCurrentBar]);
    dialog_.ui_->overallBar->setValue(shown.bars[kOverallBar]);
  }
  template <typename F>
  void OnWindow(const F& update) {
    if (QThread::currentThread() == dialog_.thread()) {
      update();
      return;
    }
    // A held job changes nothing on screen: it waits here first.
    dialog_.worker_.Job().Checkpoint();
    dialog_.worker_.OnWindowThread(update);
  }

  CFileSaving& dialog_;
  Shown noted_;
  bool dirty_ = false;
  std::chrono::steady_clock::time_point lastShown_{};
};

// The job's waits: taken on the worker, cut short by a stop, met by a hold.
class CFileSaving::WindowPacer final : public ui::Pacer {
 public:
  explicit WindowPacer(CFileSaving& dialog) : dialog_(dialog) {}

  void Wait(int milliseconds) override {
    // The window thread never waits.
    if (QThread::currentThread() == dialog_.thread()) return;
    int left = dialog_.timings_.paced ? std::max(milliseconds, 0) : 0;
    do {
      const int slice = std::min(left, kWaitSliceMs);
      dialog_.worker_.Pause(std::chrono::milliseconds(slice));
      left -= slice;
    } while (left > 0);
  }

 private:
  CFileSaving& dialog_;
};

CFileSaving::CFileSaving(ui::JobState& state, ui::Prompts& prompts, SaveDialogTimings timings,
                         QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::CFileSaving>()),
      state_(state),
      prompts_(prompts),
      timings_(timings),
      worker_(this),
      display_(std::make_unique<WindowDisplay>(*this)),
      pacer_(std::make_unique<WindowPacer>(*this)) {
  ui_->setupUi(this);
  setObjectName(QStringLiteral("CFileSaving"));
  // No close box: the title bar offers no way out while the save runs.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setWindowTitle(Utf8ToQString(texts::kWindowTitle));
  setWindowIcon(widgets::ApplicationIcon());
  ui_->banner->setPixmap(QPixmap::fromImage(
      widgets::DrawBanner(QSize(800, 72), QStringLiteral("Saving the recovered database"))));
  ui_->stopButton->setText(Utf8ToQString(texts::kStop));
  ui_->pauseButton->setText(Utf8ToQString(texts::kPause));
  // "Saved File Path :" shows two lines; the job breaks a long path itself.
  ui_->savedPath->setWordWrap(true);
  ui_->savedPath->setMinimumHeight(ui_->savedPath->fontMetrics().lineSpacing() * 2 + 4);
  ui_->savedPath->setMinimumWidth(600);
  for (widgets::CTransparentStatic* caption :
       {ui_->savedPathCaption, ui_->objectTypeCaption, ui_->objectNameCaption, ui_->recordsCaption,
        ui_->objectsCaption, ui_->currentCaption, ui_->overallCaption}) {
    caption->setWordWrap(false);
  }
  setFixedSize(sizeHint());
  connect(ui_->stopButton, &QPushButton::clicked, this, &CFileSaving::OnStop);
  connect(ui_->pauseButton, &QPushButton::clicked, this, &CFileSaving::OnPause);
  connect(&closeTimer_, &QTimer::timeout, this, &CFileSaving::OnCloseTimer);
  ui_->stopButton->setFocus();
}

CFileSaving::~CFileSaving() {
  // The worker ends before the fields it reports to go.
  worker_.Shutdown();
}

ui::ExportDisplay& CFileSaving::Display() {
  return *display_;
}
ui::Pacer& CFileSaving::Pacer() {
  return *pacer_;
}

QPushButton* CFileSaving::StopButton() const {
  return ui_->stopButton;
}
QPushButton* CFileSaving::PauseButton() const {
  return ui_->pauseButton;
}
QLabel* CFileSaving::SavedPath() const {
  return ui_->savedPath;
}
QLabel* CFileSaving::ObjectType() const {
  return ui_->objectType;
}
QLabel* CFileSaving::ObjectName() const {
  return ui_->objectName;
}
QLabel* CFileSaving::Records() const {
  return ui_->records;
}
QLabel* CFileSaving::Objects() const {
  return ui_->objects;
}
QProgressBar* CFileSaving::CurrentBar() const {
  return ui_->currentBar;
}
QProgressBar* CFileSaving::OverallBar() const {
  return ui_->overallBar;
}

int CFileSaving::Run(SaveWork& work) {
  jobDone_ = false;
  failure_.clear();
  closeTimer_.start(timings_.closeTimerMs);
  try {
    work.PrepareDestination();
  } catch (const std::exception& e) {
    closeTimer_.stop();
    failure_ = e.what();
    return Rejected;
  }
  worker_.Start([this, &work](JobThread& job) { RunSaveJob(job, work); },
                [this](const JobThread::Result& result) { OnWorkerEnded(result); });
  const int result = exec();
  closeTimer_.stop();
  // Done or stopped, the worker has finished its last step or waits at a
  // checkpoint; either way it ends at once.
  worker_.Shutdown();
  return result;
}

void CFileSaving::RunSaveJob(JobThread& job, SaveWork& work) {
  work.Run(job.Job());
  display_->Flush();
  jobDone_ = true;
  state_.saveCompleted = true;
}

void CFileSaving::OnWorkerEnded(const JobThread::Result& result) {
  if (result.outcome != JobThread::Outcome::kFailed) return;
  // The job could not go on: the dialog closes and the caller says why.
  failure_ = result.error.empty() ? std::string("unknown failure") : result.error;
  if (!asking_ && isVisible()) done(Rejected);
}

void CFileSaving::OnCloseTimer() {
  if (!jobDone_ || asking_) return;
  closeTimer_.stop();
  accept();
}

bool CFileSaving::Working() const {
  return worker_.IsSet() && !jobDone_;
}

void CFileSaving::OnPause() {
  if (!Working() || asking_) return;
  paused_ = !paused_;
  if (paused_) {
    ui_->stopButton->setEnabled(false);
    worker_.Hold();
    ui_->pauseButton->setText(Utf8ToQString(texts::kResume));
  } else {
    ui_->stopButton->setEnabled(true);
    worker_.Release();
    ui_->pauseButton->setText(Utf8ToQString(texts::kPause));
  }
}

void CFileSaving::HoldUntilParked() {
  worker_.Hold();
  const mendora::BasicJobControl* control = worker_.Control();
  auto settled = [this, control] { return !Working() || !control || control->Parked(); };
  if (settled()) return;
  // The job may be waiting for a call to the window: the window's events
  // go on meanwhile, so it reaches its checkpoint.
  QEventLoop loop;
  QTimer poll;
  connect(&poll, &QTimer::timeout, &loop, [&] {
    if (settled()) loop.quit();
  });
  poll.start(kParkPollMs);
  loop.exec();
}

bool CFileSaving::Ask() {
  return prompts_.AskYesNo(texts::kAskAbortSaving, texts::kCaption, ui::PromptIcon::kQuestion);
}

void CFileSaving::OnStop() {
  if (!Working() || asking_ || paused_) return;
  asking_ = true;
  // The question is asked with the job standing still, so that after Yes
  // nothing more of it is written.
  HoldUntilParked();
  const bool yes = Working() && Ask();
  asking_ = false;
  if (yes) {
    worker_.Stop();
    accept();
    return;
  }
  worker_.Release();
  if (!failure_.empty()) done(Rejected);
}

void CFileSaving::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (asking_) return;
  asking_ = true;
  // The job goes on while the question is on screen.
  bool yes = Ask();
  if (yes && Working()) {
    HoldUntilParked();
    if (Working()) {
      worker_.Stop();
    } else {
      worker_.Release();  // it finished meanwhile
    }
  }
  asking_ = false;
  if (yes || !failure_.empty()) done(Rejected);
}

void CFileSaving::keyPressEvent(QKeyEvent* event) {
  // Escape never closes the dialog.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace shell
