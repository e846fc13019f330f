// What the shell's windows take from the outside: the pacing of their timers,
// who answers the message boxes, who picks files and folders, and where the single
// running copy keeps its lock. The program runs with the defaults; the tests
// shorten the timers and answer from a script.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>

namespace ui {
class Prompts;
}
class QWidget;

namespace shell {

// No timer here holds work back: the analysis and the save go as fast as the
// file reads, and their displays show each step as it comes.
struct Timings {
  // The main window's and the tree view's timers that start a requested
  // analysis.
  int analysisPollMs = 50;
  // The analysis view's timer: the status-bar bar moves one step per tick.
  int analysisProgressMs = 1000;
  // The tree view's timer animating the bar during a grid fill.
  int gridProgressMs = 50;
  // At the end of an analysis: the wait before the bar shows 100, and how
  // long it stays full before it is hidden. The window is usable meanwhile.
  int progressEndHoldMs = 0;
  int progressEndShowMs = 0;
  // How long the splash stays up after it has appeared.
  int splashMs = 1500;
  // How often the commands' enabling and the status text are brought up to date.
  int commandUpdateMs = 100;
  // How long the bar shows 100 when a grid fill is stopped.
  int gridStopShowMs = 100;
  // The save dialog: how often it looks whether the save is done, and
  // whether the save's waits are taken (they only made the user wait).
  int saveCloseTimerMs = 50;
  bool savePaced = false;
};

// The program's own file for the window's state, in the user's configuration folder.
QString DefaultWindowStateFile();

// Picks a data file; an empty text when the user cancels.
using ChooseFile = std::function<QString(QWidget* parent)>;
// Picks a folder under a title; an empty text when the user cancels.
using ChooseFolder = std::function<QString(QWidget* parent, const QString& title)>;

struct ShellSettings {
  Timings timings;
  // Null: message boxes.
  ui::Prompts* prompts = nullptr;
  // Null: the system's file-open dialog.
  ChooseFile chooseFile;
  // Null: the system's folder dialog.
  ChooseFolder chooseFolder;
  // Picks the CSV file a table is exported to, from a suggested path; an
  // empty text when the user cancels. Null: the system's save dialog.
  std::function<QString(QWidget* parent, const QString& suggested)> chooseCsvFile;
  // Called on the analysis thread with the analysis' progress in percent.
  std::function<void(int percent)> analysisProgress;
  // The data file named on the command line: opened and analysed at start
  // in place of the first file selection; empty: the file selection.
  QString startFile;
  // Called on the grid fill's thread after each hand-over of counted pages,
  // with the rows counted so far.
  std::function<void(uint64_t rows)> gridFillProgress;
  // Where the lock and the socket of the single running copy live; empty:
  // the user's runtime folder.
  QString instanceFolder;
  // The file the main window keeps its size, its panes' widths and the last
  // folder a data file was chosen in; empty: nothing is kept.
  QString windowStateFile;
};

}  // namespace shell
