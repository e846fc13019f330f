#include "shell/ProgramFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#ifndef MENDORA_DOC_FROM_BIN
#error "MENDORA_DOC_FROM_BIN must give the manual's folder relative to the program's"
#endif
#ifndef MENDORA_DATA_FROM_BIN
#error "MENDORA_DATA_FROM_BIN must give the data folder relative to the program's"
#endif

namespace shell {
namespace {

QString BesideProgram(const char* relative) {
  return QDir::cleanPath(
      QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromUtf8(relative)));
}

}  // namespace

QString InstalledDocFolder() {
  return BesideProgram(MENDORA_DOC_FROM_BIN);
}

QString InstalledDataFolder() {
  return BesideProgram(MENDORA_DATA_FROM_BIN);
}

QString FirstFileIn(const QStringList& folders, const QString& relative) {
  for (const QString& folder : folders) {
    if (folder.isEmpty()) continue;
    const QString path = QDir(folder).filePath(relative);
    if (QFileInfo(path).isFile()) return path;
  }
  return {};
}

}  // namespace shell
