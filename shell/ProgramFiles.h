// Where the program finds the files it ships with (the manual, the splash
// picture): in the installation folder the settings name, else beside the
// program (a build folder), else in the shared folders of the prefix the
// program is installed under (/usr/bin/mendora reads /usr/share/...).
#pragma once

#include <QString>
#include <QStringList>

namespace shell {

// The manual's folder and the data folder, relative to the program's folder
// once installed.
QString InstalledDocFolder();
QString InstalledDataFolder();

// The first of `folders` (empty ones skipped) holding the file `relative`;
// empty when none does.
QString FirstFileIn(const QStringList& folders, const QString& relative);

}  // namespace shell
