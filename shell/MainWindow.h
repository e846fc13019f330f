// The main window of the desktop program. For now it carries the program's
// window title only; the object tree on the left, the grid on the right, the
// commands, the toolbar and the status bar arrive with the main frame
// (Part 4.2), which grows this class.
#pragma once

#include <QMainWindow>

namespace shell {

class MainWindow final : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
};

}  // namespace shell
