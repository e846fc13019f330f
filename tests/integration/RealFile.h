// The fixture of the table-driven suite over the real files with reference
// content: each file one parameter, its analysis shared by the tests.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <regex>
#include <stdexcept>
#include <string>

#include "engine/Analysis.h"
#include "tests/integration/ReferenceFiles.h"
#include "tests/support/RealFiles.h"

namespace mdftest {

// Whether `line` is the foreign key statement `head` + `tail` as the file
// keeps the key: " With Nocheck" after the table where the server never
// checked its rows, its actions and NOT FOR REPLICATION after the columns.
inline bool IsForeignKeyLine(const std::string& line, const std::string& head,
                             const std::string& tail) {
  static const std::regex kClauses(
      "( On Delete (Cascade|Set Null|Set Default))?( On Update (Cascade|Set Null|Set "
      "Default))?( Not For Replication)?");
  for (const std::string& start : {head + tail, head + " With Nocheck" + tail}) {
    if (line.starts_with(start) && std::regex_match(line.substr(start.size()), kClauses))
      return true;
  }
  return false;
}

// A real file opened and analysed.
struct AnalysedRealFile {
  mendora::DataFile file;
  mendora::Catalogue catalogue;
};

// `name` opened and analysed once per test program: the tests only read it,
// so every test of a file shares one analysis. Throws (failing the test) when
// the file cannot be read.
inline const AnalysedRealFile& Analysed(const std::string& name) {
  static std::map<std::string, std::unique_ptr<AnalysedRealFile>> files;
  std::unique_ptr<AnalysedRealFile>& slot = files[name];
  if (!slot) {
    auto analysed = std::make_unique<AnalysedRealFile>();
    if (!analysed->file.Open(RealMdf(name)) || !analysed->file.DetectVersion()) {
      throw std::runtime_error("cannot analyse " + name);
    }
    mendora::NullJobControl job;
    mendora::RunAnalysis(analysed->file, analysed->catalogue, job);
    slot = std::move(analysed);
  }
  return *slot;
}

// The suite over every real file with a reference: each test takes the
// file's name as its parameter (instantiated once per test program).
class RealFile : public ::testing::TestWithParam<std::string> {
 protected:
  // The file's reference content, read at the first use in a test.
  const nlohmann::json& Expected() {
    if (expected_.is_null()) expected_ = Reference(GetParam());
    return expected_;
  }
  const AnalysedRealFile& Analysis() const { return Analysed(GetParam()); }
  const mendora::Catalogue& Recovered() const { return Analysis().catalogue; }

 private:
  nlohmann::json expected_;
};

}  // namespace mdftest
