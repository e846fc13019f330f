#include "shell/QtFolderBrowser.h"

#include <QFileDialog>

#include "shell/QtText.h"

namespace shell {

std::string QtFolderBrowser::ChooseFolder(const std::string& title) {
  const QString shownTitle = Utf8ToQString(title);
  const QString folder =
      choose_ ? choose_(owner_, shownTitle) : ChooseWithFolderDialog(owner_, shownTitle);
  return QStringToUtf8(folder);
}

QString QtFolderBrowser::ChooseWithFolderDialog(QWidget* parent, const QString& title) {
  return QFileDialog::getExistingDirectory(parent, title, QString(), QFileDialog::ShowDirsOnly);
}

}  // namespace shell
