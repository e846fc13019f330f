// The program's one setting: the installation folder, the string value
// FilePath of the settings key MDSQL. Whatever installs the program writes
// it; the program only reads it.
//
// A key is a folder of the user's configuration folder
// (${XDG_CONFIG_HOME:-$HOME/.config}/<key>/registry.ini) and its values sit
// in the section of the same name:
//
//   [MDSQL]
//   FilePath=/opt/mendora
#pragma once

#include <QString>

namespace shell {

inline constexpr char kSettingsKey[] = "MDSQL";
inline constexpr char kInstallFolderValue[] = "FilePath";

// The value's text; empty when the file, the section or the value is missing.
// Never creates or writes anything.
QString ReadRegistryString(const QString& key, const QString& valueName);
// The file a key's values are read from.
QString RegistryFile(const QString& key);

}  // namespace shell
