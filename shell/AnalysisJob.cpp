#include "shell/AnalysisJob.h"

#include <QString>
#include <chrono>

#include "browser/RefusalText.h"
#include "engine/Analysis.h"
#include "engine/FileError.h"
#include "shell/CMdf_Repair.h"
#include "shell/JobControls.h"
#include "ui/ProductTexts.h"

namespace shell {
namespace {

using std::chrono::milliseconds;

// The analysis proper, with the progress bar: shown at 0 and animated while
// the passes run; at the end held a moment, shown full, then hidden.
void AnalyseWithProgress(JobThread& job, const AnalysisJobParams& params,
                         const AnalysisTargets& targets, mendora::Catalogue& catalogue) {
  job.OnWindowThread([&] { targets.view.StartProgress(); });
  mendora::RunAnalysis(targets.doc.file, catalogue, job.Job(), params.progress);
  if (params.codePage) mendora::UseCodePage(catalogue, params.codePage);
  job.OnWindowThread([&] { targets.view.StopProgressTimer(); });
  job.Pause(milliseconds(params.progressEndHoldMs));
  job.OnWindowThread([&] { targets.view.ShowProgressFull(); });
  job.Pause(milliseconds(params.progressEndShowMs));
  job.OnWindowThread([&] { targets.view.EndProgress(); });
}

}  // namespace

void RunAnalysisJob(JobThread& job, const AnalysisJobParams& params,
                    const AnalysisTargets& targets) {
  JobTreeControl tree(job, targets.tree);
  JobPrompts prompts(job, targets.prompts);
  mendora::Catalogue catalogue;
  mendora::ObjectHandleList handles;
  const mendora::VersionFlags noVersion;
  try {
    if (!params.startup) {
      tree.DeleteAllItems();
      tree.SetCheckBoxStyle(false);
      tree.InsertItem(ui::kNoTreeItem, mendora::ProductRootLabel());
    }
    mendora::DataFile& file = targets.doc.file;
    const bool supported = mendora::DetectVersionAndAnalyse(
        file, [&] { AnalyseWithProgress(job, params, targets, catalogue); },
        [&](mendora::Refusal refusal) {
          prompts.Inform(mendora::RefusalText(refusal), texts::kCaption);
          targets.doc.state.analysisRunning = false;
        });
    mendora::ObjectTreeNodes nodes =
        mendora::ResetAndBuildObjectTree(tree, catalogue, supported ? file.Version() : noVersion,
                                         params.rootLabel, handles, &job.Job());
    // Every database has catalogue rows: none found is damage, and the user
    // is told so rather than shown an empty database.
    if (supported && catalogue.objects.empty()) {
      prompts.Inform(texts::kNoCatalogue, texts::kCaption);
    } else if (supported && catalogue.damage.Any()) {
      // What was read is shown, and the user is told how far to trust it.
      std::string text = texts::kFileDamaged;
      const auto warnings = mendora::DamageWarnings(catalogue);
      for (size_t i = 0; i < warnings.size(); ++i) text += (i ? "; " : "") + warnings[i];
      prompts.Inform(text + ".", texts::kCaption);
    }
    job.OnWindowThread([&] {
      targets.doc.catalogue = std::move(catalogue);
      targets.doc.handles = std::move(handles);
      targets.doc.nodes = nodes;
    });
  } catch (const mendora::FileError& e) {
    // A failed read ends the analysis: the bar goes, the user is told why
    // and the tree shows the product root again.
    job.OnWindowThread([&] {
      targets.view.StopProgressTimer();
      targets.view.EndProgress();
    });
    prompts.Inform(e.what(), texts::kCaption);
    mendora::ResetAndBuildObjectTree(tree, catalogue, noVersion, params.rootLabel, handles);
  }
}

}  // namespace shell
