// mendora: the desktop program. Start-up (Part 4.1) creates the main window;
// the file selection, the single-instance test and the splash come with the
// later parts of the shell.
#include <QApplication>
#include <QString>

#include "shell/MainWindow.h"
#include "ui/ProductTexts.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(texts::kProductName));
  shell::MainWindow window;
  window.show();
  return QApplication::exec();
}
