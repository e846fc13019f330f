// The shared job state: the flags and texts through which the commands, the
// timers and the background jobs know what runs. Written and read from the
// window thread and the job threads, so the flags are atomic and the texts
// sit behind a lock.
//
//   analysisRunning          set by Start of the file selection; cleared when
//                            the analysis ends, on a refused version, on Stop
//                            or Exit answered Yes, and on Cancel of a selection
//   gridFillRunning          the grid fill runs
//   saveAllowed              at least one tree node is checked
//   analysisRequested        Open ended with OK; the window's timer starts the job
//   startupAnalysisRequested the first selection ended with OK; the tree view's
//                            timer starts the job
//   progressAnimating        the analysis animates the progress bar
//   progressHalted           the animation is halted
//   progressPosition         0 to 100, the bar's animated position
//   selectedFilePath         the chosen data file's path in upper case, as the
//                            tree root shows it
//   chosenFilePath           the same path as chosen, which is what is opened:
//                            file names are case-sensitive here
// The recovered database name lives with the catalogue (Catalogue::databaseName).
#pragma once

#include <atomic>
#include <mutex>
#include <string>

namespace ui {

class JobState {
 public:
  std::atomic<bool> analysisRunning{false};
  std::atomic<bool> gridFillRunning{false};
  std::atomic<bool> saveAllowed{false};
  std::atomic<bool> analysisRequested{false};
  std::atomic<bool> startupAnalysisRequested{false};
  std::atomic<bool> progressAnimating{false};
  std::atomic<bool> progressHalted{false};
  std::atomic<bool> destinationChosen{false};
  std::atomic<bool> saveCompleted{false};
  std::atomic<bool> saveAllObjects{false};
  std::atomic<int> progressPosition{0};
  // The code page every char, varchar and text column is read in; 0 for the
  // one each column's collation gives.
  std::atomic<int> chosenCodePage{0};

  std::u16string SelectedFilePath() const { return Get(selectedFilePath_); }
  void SetSelectedFilePath(std::u16string path) { Set(selectedFilePath_, std::move(path)); }
  std::string ChosenFilePath() const { return Get(chosenFilePath_); }
  void SetChosenFilePath(std::string path) { Set(chosenFilePath_, std::move(path)); }
  std::string InstallFolder() const { return Get(installFolder_); }
  void SetInstallFolder(std::string folder) { Set(installFolder_, std::move(folder)); }
  std::string DestinationFolder() const { return Get(destinationFolder_); }
  void SetDestinationFolder(std::string folder) { Set(destinationFolder_, std::move(folder)); }

 private:
  template <typename T>
  T Get(const T& value) const {
    std::lock_guard lock(mutex_);
    return value;
  }
  template <typename T>
  void Set(T& value, T next) {
    std::lock_guard lock(mutex_);
    value = std::move(next);
  }

  mutable std::mutex mutex_;
  std::u16string selectedFilePath_;
  std::string chosenFilePath_;
  std::string installFolder_;
  std::string destinationFolder_;
};

}  // namespace ui
