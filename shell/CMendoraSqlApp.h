// The program's start-up: one running copy per user, the installation folder
// from the settings, the splash, the main window maximised, and at once the
// file selection, so that the user's first act is to pick a data file.
#pragma once

#include <QString>
#include <memory>

#include "shell/CMendoraSqlDoc.h"
#include "shell/ShellSettings.h"

namespace ui {
class Prompts;
}

namespace shell {

class CMainFrame;
class SingleInstance;

class CMendoraSqlApp {
 public:
  explicit CMendoraSqlApp(ShellSettings settings = {});
  ~CMendoraSqlApp();
  CMendoraSqlApp(const CMendoraSqlApp&) = delete;
  CMendoraSqlApp& operator=(const CMendoraSqlApp&) = delete;

  // The start-up sequence. True: the window is up and the event loop should
  // run. False: the process ends with ExitCode() (another copy runs: 0).
  bool InitInstance();
  int ExitCode() const { return exitCode_; }

  CMainFrame* MainFrame() const { return frame_.get(); }
  CMendoraSqlDoc& Document() { return *doc_; }
  ui::Prompts& Prompts() { return *prompts_; }
  SingleInstance& Instance() { return *instance_; }

  // The splash picture's file: Flash.bmp in the installation folder; when
  // none is set, beside the program, or else in the installed data folder
  // (/usr/share/mendora).
  static QString SplashFile(const QString& installFolder);

 private:
  bool RefuseSecondCopy();
  void ShowSplash();

  ShellSettings settings_;
  std::unique_ptr<ui::Prompts> ownPrompts_;
  ui::Prompts* prompts_ = nullptr;
  std::unique_ptr<SingleInstance> instance_;
  std::unique_ptr<CMendoraSqlDoc> doc_;
  std::unique_ptr<CMainFrame> frame_;
  int exitCode_ = 0;
};

}  // namespace shell
