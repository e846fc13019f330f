#include "shell/ReadRegistryString.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace shell {

QString RegistryFile(const QString& key) {
  const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return QDir(config).filePath(key + QStringLiteral("/registry.ini"));
}

QString ReadRegistryString(const QString& key, const QString& valueName) {
  const QString file = RegistryFile(key);
  if (!QFileInfo(file).isFile()) return {};
  const QSettings settings(file, QSettings::IniFormat);
  return settings.value(key + QLatin1Char('/') + valueName).toString();
}

}  // namespace shell
