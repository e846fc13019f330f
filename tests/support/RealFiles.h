// Where the real data files written by SQL Server are read from at test time.
// A missing folder is a failure, never a silent pass.
#pragma once

#include <string>
#include <vector>

namespace mdftest {

// MENDORA_MDF_DIR from the environment, else the folder the build was
// configured with.
std::string RealMdfDir();
// The full path of a real file; fails the calling test (via an exception the
// test framework reports) when it is missing.
std::string RealMdf(const std::string& name);
// The .mdf files of the folder, sorted by name.
std::vector<std::string> RealMdfFiles();

}  // namespace mdftest
