#include "engine/Analysis.h"

#include "engine/BootPage.h"
#include "engine/CatalogueRecovery2000.h"
#include "engine/CatalogueRecovery2005.h"

namespace mendora {

void RunAnalysis(const DataFile& file, Catalogue& catalogue, JobControl& job,
                 const ProgressFn& progress) {
  catalogue.Clear();
  ReportProgress(progress, 0, 1);
  const BootPage boot = ReadBootPage(file);
  catalogue.databaseName = CutDatabaseName(boot.name);
  catalogue.databaseCollation = boot.collation;
  if (file.Version().HasSysObjectsCatalogue()) {
    RecoverCatalogue2000(file, catalogue, job, progress);
  } else if (file.Version().HasBaseTableCatalogue()) {
    RecoverCatalogue2005(file, catalogue, job, progress);
  }
  ResolveCodePages(catalogue);
  ReportProgress(progress, 1, 1);
}

}  // namespace mendora
