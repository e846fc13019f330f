#include "tests/support/RealFiles.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#ifndef MENDORA_REAL_MDF_DIR
#define MENDORA_REAL_MDF_DIR "../shared/mdf"
#endif

namespace mdftest {

namespace fs = std::filesystem;

std::string RealMdfDir() {
  const char* env = std::getenv("MENDORA_MDF_DIR");
  std::string dir = env && *env ? env : MENDORA_REAL_MDF_DIR;
  if (!fs::is_directory(dir)) {
    throw std::runtime_error("the folder of real data files is missing: " + dir +
                             " (set MENDORA_MDF_DIR)");
  }
  return dir;
}

std::string RealMdf(const std::string& name) {
  fs::path p = fs::path(RealMdfDir()) / name;
  if (!fs::is_regular_file(p)) throw std::runtime_error("real data file missing: " + p.string());
  return p.string();
}

std::vector<std::string> RealMdfFiles() {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(RealMdfDir())) {
    if (e.path().extension() == ".mdf") out.push_back(e.path().filename().string());
  }
  std::sort(out.begin(), out.end());
  if (out.empty()) throw std::runtime_error("no real data files in " + RealMdfDir());
  return out;
}

}  // namespace mdftest
