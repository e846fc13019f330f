// The step every command starts with: open the data file as the file
// selection does, run the version test and, on a supported version, the
// analysis. Refusals and read failures are written to `err` in the window's
// words.
#pragma once

#include <ostream>
#include <string>

#include "engine/Catalogue.h"
#include "engine/DataFile.h"
#include "engine/JobControl.h"

namespace cli {

struct AnalysedFile {
  mendora::DataFile file;
  mendora::Catalogue catalogue;
  mendora::NullJobControl job;
  bool opened = false;     // the file could be opened
  bool supported = false;  // it passed the version test and a catalogue was read
};

// The path as messages name it; an empty one is said to be empty.
std::string PathForMessage(const std::string& path);

// Flushes `out`; false, with a message on `err`, when the output could not be
// written (a full disk, a closed pipe).
bool WroteAll(std::ostream& out, std::ostream& err);

// Opens and analyses `path` into `analysed`. A file that cannot be opened
// leaves `opened` false; a refused version leaves `supported` false. Throws
// FileError when a read fails during the analysis.
void OpenAndAnalyse(const std::string& path, AnalysedFile& analysed, std::ostream& err);

}  // namespace cli
