// The analysis job, run on its own thread: reset the tree, test the file's
// version, recover the catalogue with the progress bar animated, and build
// the object tree. Everything it shows goes through the window thread; the
// catalogue and the tree's node lists are its own until it hands them to the
// document at its very end, so a stopped analysis leaves nothing behind.
#pragma once

#include <functional>
#include <string>

#include "shell/CMendoraSqlDoc.h"
#include "shell/JobThread.h"
#include "shell/ShellSettings.h"
#include "ui/Prompts.h"
#include "ui/TreeControl.h"

namespace shell {

class CMdf_Repair;

// Filled on the window thread when the job starts; the job keeps its own copy.
struct AnalysisJobParams {
  // The start-up analysis finds the product root already in the tree and
  // does not reset it first.
  bool startup = false;
  // The tree root's label: the chosen path in upper case.
  std::u16string rootLabel;
  // Every 8-bit text column read in this code page; 0: its collation's.
  uint16_t codePage = 0;
  int progressEndHoldMs = 0;
  int progressEndShowMs = 0;
  // Called on the job's thread with the analysis' progress in percent.
  std::function<void(int percent)> progress;
};

// The window-thread objects the job reaches, always through the job thread.
struct AnalysisTargets {
  ui::TreeControl& tree;
  ui::Prompts& prompts;
  CMdf_Repair& view;
  CMendoraSqlDoc& doc;
};

// The job's body. The document's data file is the job's while it runs.
void RunAnalysisJob(JobThread& job, const AnalysisJobParams& params,
                    const AnalysisTargets& targets);

}  // namespace shell
