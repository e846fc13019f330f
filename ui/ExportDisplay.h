// What the save shows while it writes: the fields and bars of the save
// dialog. The save job calls these from its worker thread; the window layer
// carries each call to the dialog and returns once it shows, the command line
// prints progress, the tests keep what was shown.
//
//   SetObjectType     "Object Type :"          SetRecords   "Records Recovered :"
//   SetObjectName     "Object Name :"          SetObjects   "Objects  Recovered :"
//   SetSavedPath      "Saved File Path :" (the text as shown, already formed)
//   SetCurrentProgress / SetOverallProgress    the two bars, 0 to 100
#pragma once

#include <string_view>

namespace ui {

class ExportDisplay {
 public:
  virtual ~ExportDisplay() = default;
  virtual void SetObjectType(std::u16string_view text) = 0;
  virtual void SetObjectName(std::u16string_view text) = 0;
  virtual void SetSavedPath(std::u16string_view text) = 0;
  virtual void SetRecords(std::u16string_view text) = 0;
  virtual void SetObjects(std::u16string_view text) = 0;
  virtual void SetCurrentProgress(int percent) = 0;
  virtual void SetOverallProgress(int percent) = 0;
};

// A save nobody watches: the benchmarks and the tests that only read what
// was written.
class NoDisplay final : public ExportDisplay {
 public:
  void SetObjectType(std::u16string_view) override {}
  void SetObjectName(std::u16string_view) override {}
  void SetSavedPath(std::u16string_view) override {}
  void SetRecords(std::u16string_view) override {}
  void SetObjects(std::u16string_view) override {}
  void SetCurrentProgress(int) override {}
  void SetOverallProgress(int) override {}
};

// The visible pacing of a job: the window waits so that the user can follow
// the steps; the command line and the tests do not wait at all.
class Pacer {
 public:
  virtual ~Pacer() = default;
  virtual void Wait(int milliseconds) = 0;
};

class NoPacing final : public Pacer {
 public:
  void Wait(int) override {}
};

}  // namespace ui
