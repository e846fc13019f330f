// ui::FolderBrowser as the system's folder dialog on the window thread, or
// whatever the settings put in its place.
#pragma once

#include <QPointer>
#include <QWidget>

#include "shell/ShellSettings.h"
#include "ui/FolderBrowser.h"

namespace shell {

class QtFolderBrowser final : public ui::FolderBrowser {
 public:
  // `choose` empty: the system's folder dialog, owned by `owner`.
  QtFolderBrowser(QWidget* owner, shell::ChooseFolder choose)
      : owner_(owner), choose_(std::move(choose)) {}

  std::string ChooseFolder(const std::string& title) override;

  // The system's folder dialog: existing folders only.
  static QString ChooseWithFolderDialog(QWidget* parent, const QString& title);

 private:
  QPointer<QWidget> owner_;
  shell::ChooseFolder choose_;
};

}  // namespace shell
