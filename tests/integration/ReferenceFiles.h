// The real data files that have reference content beside them (expected/),
// that content, and test names made from the files' names.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

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

}  // namespace mdftest
