#include "shell/MainWindow.h"

#include <QString>

#include "ui/ProductTexts.h"

namespace shell {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
  // The title keeps the system's leading blank: " Mendora for Sql Server".
  setWindowTitle(QString::fromUtf8(texts::kWindowTitle));
  resize(960, 640);
}

}  // namespace shell
