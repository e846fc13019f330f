#include "shell/CMendoraSqlApp.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include "shell/CMainFrame.h"
#include "shell/ProgramFiles.h"
#include "shell/QtPrompts.h"
#include "shell/QtText.h"
#include "shell/ReadRegistryString.h"
#include "shell/SingleInstance.h"
#include "ui/ProductTexts.h"
#include "widgets/CSplashScreenEx.h"

namespace shell {
namespace {

// Runs the event loop for `ms` milliseconds, so that the splash paints and fades.
void Wait(int ms) {
  if (ms <= 0) return;
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace

CMendoraSqlApp::CMendoraSqlApp(ShellSettings settings)
    : settings_(std::move(settings)), doc_(std::make_unique<CMendoraSqlDoc>()) {
  if (settings_.prompts) {
    prompts_ = settings_.prompts;
  } else {
    ownPrompts_ = std::make_unique<QtPrompts>();
    prompts_ = ownPrompts_.get();
  }
  instance_ = std::make_unique<SingleInstance>(settings_.instanceFolder);
}

CMendoraSqlApp::~CMendoraSqlApp() = default;

QString CMendoraSqlApp::SplashFile(const QString& installFolder) {
  const QString name = QStringLiteral("Flash.bmp");
  if (!installFolder.isEmpty()) return QDir(installFolder).filePath(name);
  const QString installed = FirstFileIn({InstalledDataFolder()}, name);
  const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(name);
  return QFileInfo(beside).isFile() || installed.isEmpty() ? beside : installed;
}

bool CMendoraSqlApp::RefuseSecondCopy() {
  // A file this copy was started with is opened by the running one.
  instance_->AskRunningCopyToComeForward(settings_.startFile);
  // At most one such notice on screen: a copy started while another one's
  // notice is up ends without a word.
  if (instance_->TakeNotice()) {
    prompts_->Inform(texts::kAlreadyRunning, texts::kAlreadyRunningCaption);
    instance_->ReleaseNotice();
  }
  exitCode_ = 0;
  return false;
}

void CMendoraSqlApp::ShowSplash() {
  widgets::CSplashScreenEx splash;
  if (splash.SetBitmap(SplashFile(Utf8ToQString(doc_->state.InstallFolder())))) splash.Show();
  if (splash.isVisible() && (splash.Options() & widgets::CSplashScreenEx::kFadeIn) &&
      widgets::CSplashScreenEx::CanFade()) {
    Wait(widgets::CSplashScreenEx::kFadeInMs);
  }
  Wait(settings_.timings.splashMs);
  if (splash.isVisible()) {
    QEventLoop gone;
    QObject::connect(&splash, &widgets::CSplashScreenEx::Hidden, &gone, &QEventLoop::quit);
    splash.Hide();
    if (splash.isVisible()) gone.exec();
  }
}

bool CMendoraSqlApp::InitInstance() {
  if (!instance_->BecomeTheRunningCopy()) return RefuseSecondCopy();
  doc_->state.SetInstallFolder(QStringToUtf8(ReadRegistryString(
      QString::fromLatin1(kSettingsKey), QString::fromLatin1(kInstallFolderValue))));
  ShowSplash();
  frame_ = std::make_unique<CMainFrame>(*doc_, *prompts_, settings_);
  QObject::connect(instance_.get(), &SingleInstance::ComeForwardRequested, frame_.get(),
                   &CMainFrame::ComeForward);
  QObject::connect(instance_.get(), &SingleInstance::OpenFileRequested, frame_.get(),
                   &CMainFrame::OpenFileFromElsewhere);
  if (auto* own = dynamic_cast<QtPrompts*>(prompts_)) own->SetOwner(frame_.get());
  // The size and place the user left the window in, or the whole screen.
  if (frame_->RestoredGeometry()) {
    frame_->show();
  } else {
    frame_->showMaximized();
  }
  frame_->setWindowTitle(Utf8ToQString(texts::kWindowTitle));
  frame_->repaint();
  frame_->RunFirstFileSelection(settings_.startFile);
  return true;
}

}  // namespace shell
