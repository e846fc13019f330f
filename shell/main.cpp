// mendora: the desktop program. One running copy per user; the splash; the
// main window maximised with the file selection at once. A second copy brings
// the first one forward, says so and ends with status 0.
#include <QApplication>

#include "shell/CMendoraSqlApp.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationVersion(QStringLiteral(MENDORA_VERSION));
  shell::ShellSettings settings;
  settings.windowStateFile = shell::DefaultWindowStateFile();
  shell::CMendoraSqlApp theApp(std::move(settings));
  if (!theApp.InitInstance()) return theApp.ExitCode();
  return QApplication::exec();
}
