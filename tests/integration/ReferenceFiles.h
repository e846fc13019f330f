// The real data files that have reference content beside them (expected/),
// that content, and test names made from the files' names.
#pragma once

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/RealFiles.h"

namespace mdftest {

// The supported real files (v539-*, v611-*, v655-*), each with a reference.
inline std::vector<std::string> ReferenceFiles() {
  std::vector<std::string> names;
  for (const auto& name : RealMdfFiles()) {
    if (name[0] == 'v') names.push_back(name);
  }
  return names;
}

// What the independent reader recovered from `name` (expected/README.md
// gives the notation).
inline nlohmann::json Reference(const std::string& name) {
  std::ifstream in(RealMdfDir() + "/expected/" + name + ".json");
  if (!in) throw std::runtime_error("no reference content for " + name);
  return nlohmann::json::parse(in);
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
