// The real data files that have reference content beside them (expected/),
// that content, test names made from the files' names, and the fixture of
// the table-driven suite over them: each file one parameter.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/Analysis.h"
#include "tests/support/RealFiles.h"

namespace mdftest {

// The real files the program reads, each with a reference: those of 2000,
// 2005 and 2008 (v539-*, v611-*, v655-*) and of every later release
// (x661-* ... x957-*). The refused files (pre-release builds, 998) have none.
inline std::vector<std::string> ReferenceFiles() {
  std::vector<std::string> names;
  for (const auto& name : RealMdfFiles()) {
    if (std::filesystem::exists(RealMdfDir() + "/expected/" + name + ".json")) {
      names.push_back(name);
    }
  }
  return names;
}

// The real files the program refuses: pre-release builds and a version not
// seen with content.
inline std::vector<std::string> RefusedFiles() {
  std::vector<std::string> names;
  for (const auto& name : RealMdfFiles()) {
    if (!std::filesystem::exists(RealMdfDir() + "/expected/" + name + ".json")) {
      names.push_back(name);
    }
  }
  return names;
}

// Objects of the sys and INFORMATION_SCHEMA schemas: the server's own, which
// the reference lists for files of 2012 on and the program leaves out.
inline bool IsBuiltInSchema(const nlohmann::json& object) {
  const std::string schema = object.value("schema", "");
  return schema == "sys" || schema == "INFORMATION_SCHEMA";
}

// The entries of a reference list (tables, keys, modules...) that belong to
// the user's objects.
inline std::vector<nlohmann::json> UserEntries(const nlohmann::json& list) {
  std::vector<nlohmann::json> out;
  for (const auto& entry : list) {
    if (!IsBuiltInSchema(entry)) out.push_back(entry);
  }
  return out;
}

// What the independent reader recovered from `name` (expected/README.md
// gives the notation).
inline nlohmann::json Reference(const std::string& name) {
  std::ifstream in(RealMdfDir() + "/expected/" + name + ".json");
  if (!in) throw std::runtime_error("no reference content for " + name);
  return nlohmann::json::parse(in);
}

// The number of user tables of `name`.
inline size_t UserTableCount(const std::string& name) {
  return UserEntries(Reference(name)["tables"]).size();
}

// "v611-northwind.mdf" as a test name: "v611_northwind".
struct FileTestName {
  template <typename Info>
  std::string operator()(const Info& info) const {
    std::string n = info.param.substr(0, info.param.find('.'));
    std::replace(n.begin(), n.end(), '-', '_');
    return n;
  }
};

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
