// Running mendora-cli as a separate program, as a script would.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/MdfBuilder.h"

#ifndef MENDORA_CLI_PATH
#error "MENDORA_CLI_PATH must name the built mendora-cli"
#endif

namespace mdftest {

struct CliRun {
  int status = -1;  // the exit status; 128 + the signal when killed by one
  std::string out;
  std::string err;
};

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Runs the program `all[0]` (found on PATH when it has no "/") with the
// arguments after it, stdin from /dev/null, stdout and stderr apart.
// `stdoutPath`: where standard output goes instead (a device such as /dev/full).
// A run longer than `seconds` is ended by SIGALRM, which its status shows (142).
inline CliRun RunProgram(std::vector<std::string> all, const char* stdoutPath = nullptr,
                         unsigned seconds = 60) {
  TempFile out(".out"), err(".err");
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);

  pid_t pid = fork();
  if (pid == 0) {
    int in = open("/dev/null", O_RDONLY);
    int o =
        open(stdoutPath ? stdoutPath : out.path().c_str(), O_WRONLY | (stdoutPath ? 0 : O_TRUNC));
    int e = open(err.path().c_str(), O_WRONLY | O_TRUNC);
    if (in < 0 || o < 0 || e < 0) _exit(126);
    alarm(seconds);
    dup2(in, 0);
    dup2(o, 1);
    dup2(e, 2);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  CliRun run;
  if (pid < 0) return run;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.out = ReadAll(out.path());
  run.err = ReadAll(err.path());
  return run;
}

// Runs mendora-cli with `args`, as RunProgram does.
inline CliRun RunCli(const std::vector<std::string>& args, const char* stdoutPath = nullptr,
                     unsigned seconds = 60) {
  std::vector<std::string> all = {MENDORA_CLI_PATH};
  all.insert(all.end(), args.begin(), args.end());
  return RunProgram(std::move(all), stdoutPath, seconds);
}

}  // namespace mdftest
