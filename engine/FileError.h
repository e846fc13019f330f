// A failed open, read, size query or close of the data file. It carries the
// operating-system error so the message the user sees names the real cause.
#pragma once

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace mendora {

class FileError : public std::runtime_error {
 public:
  FileError(const std::string& what, int err)
      : std::runtime_error(what + ": " + std::strerror(err)), error_(err) {}
  int error() const { return error_; }

 private:
  int error_;
};

}  // namespace mendora
