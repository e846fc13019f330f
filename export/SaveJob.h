// The save: every recovered table, key, index, constraint and module written
// as scripts into a fresh folder, with the batch files that replay them; or,
// in the other formats, the same selection handed to a data writer
// (DataWriter.h): one SQLite database, or a folder of CSV files. All formats
// read the rows through the same table reader and show the same progress.
//
//   PrepareDestination()  the window thread, before the worker starts: the
//                         twelve folders and the five key, index and
//                         constraint scripts with their header line (SQL
//                         scripts only).
//   Run(job)              the worker (RunSaveJob): the fixed files, the tables
//                         with their data, the keys, indexes and constraints,
//                         the modules; job.Checkpoint() between steps, so that
//                         a hold waits there and a stop writes nothing more.
//
// The tables are read by a pool of workers (TablePool.h), several at once,
// each with its own reader and page buffers over the shared data file (pages
// are read with pread, which keeps no file position). The job's thread takes
// their work in the tables' order: it shows each table, writes its create
// script, batch lines and notes, and hands the rows to a data writer, so that
// every file and the dialog's steps are the same for any number of workers.
//
// A file that cannot be written does not end the save: it is noted in the
// report and the save goes on with the next object. A read of the data file
// that fails ends the save and is noted the same way.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/Catalogue.h"
#include "engine/DataFile.h"
#include "engine/JobControl.h"
#include "ui/ExportDisplay.h"
#include "ui/SaveFormat.h"

namespace mendora {

struct SaveRequest {
  // The folder the save writes into, ending with "/"; created by the
  // destination choice. For a SQLite save: the database file, created empty
  // by the destination choice so that no file is ever overwritten.
  std::string destinationFolder;
  // Everything, or only the tree nodes whose labels are listed.
  bool saveAllObjects = true;
  std::vector<std::u16string> checkedObjectNames;
  ui::SaveFormat format = ui::SaveFormat::kSql;
  // Also the rows a plain read leaves behind (deleted, superseded, on freed
  // pages): each table's in Tables_Data/<table>_Deleted.sql, as Inserts into
  // the same table. Tables_Data.bat does not run them: the user decides. In
  // the data formats, beside the table's rows: a table "<table>_deleted" in
  // the SQLite file, a file "<table>_deleted.csv" in the CSV folder.
  bool includeDeletedRows = false;
  // The threads that read tables at once; 0: one per hardware thread. The
  // output is the same for any number.
  unsigned workers = 0;
};

struct SaveReport {
  std::vector<std::string> failures;  // what could not be written or read, in words
  std::vector<std::string> warnings;  // values written as NULL because they could not be read
  uint64_t rowsWritten = 0;
  uint64_t deletedRowsWritten = 0;
  bool completed = false;  // the job ran to its end (it may still have failures)
  bool Ok() const { return completed && failures.empty(); }
};

class SaveJob {
 public:
  SaveJob(const DataFile& file, const Catalogue& catalogue, SaveRequest request,
          ui::ExportDisplay& display, ui::Pacer& pacer);
  ~SaveJob();
  SaveJob(const SaveJob&) = delete;
  SaveJob& operator=(const SaveJob&) = delete;

  void PrepareDestination();
  // Throws JobStopped when the job is stopped; every other failure is in
  // the report.
  void Run(JobControl& job);
  const SaveReport& Report() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace mendora
