#pragma once
// Runs a program as a separate process, its output captured, with the
// environment and limits that a test sets: for the command line's tests of
// hostile conditions (a full journal, a clock set back, traced system calls).
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "testkit/temp_dir.hpp"

namespace qmtest {

struct ProgramRun {
  std::vector<std::string> argv;  // the program and its arguments
  std::filesystem::path cwd;
  std::map<std::string, std::string> env;  // set in the child, over the test's own
  long fileSizeLimit = -1;                 // RLIMIT_FSIZE in bytes (SIGXFSZ ignored), -1: none
  unsigned secondsAllowed = 60;            // an alarm ends a run that hangs
};

struct ProgramOutcome {
  int status = -1;  // -1: ended by a signal
  std::string out, err;
};

inline ProgramOutcome runProgram(const ProgramRun& run) {
  const std::filesystem::path outFile = run.cwd / ".stdout", errFile = run.cwd / ".stderr";
  const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  std::vector<std::string> args = run.argv;
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::fflush(nullptr);  // the child must not write out the parent's buffered output
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || in < 0 || ::chdir(run.cwd.c_str()) != 0) ::_exit(127);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::setenv("LC_ALL", "C", 1);
    for (const auto& [name, value] : run.env) ::setenv(name.c_str(), value.c_str(), 1);
    if (run.fileSizeLimit >= 0) {
      ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG instead
      const rlimit limit{static_cast<rlim_t>(run.fileSizeLimit), static_cast<rlim_t>(run.fileSizeLimit)};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(126);
    }
    ::alarm(run.secondsAllowed);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  ProgramOutcome r;
  int status = 0;
  ::waitpid(pid, &status, 0);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  ::close(out);
  ::close(err);
  r.out = readFile(outFile);
  r.err = readFile(errFile);
  std::filesystem::remove(outFile);
  std::filesystem::remove(errFile);
  return r;
}

// True when `program` is found on the PATH.
inline bool onPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  for (size_t start = 0; start <= dirs.size();) {
    const size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::filesystem::path candidate = std::filesystem::path(dirs.substr(start, end - start)) / program;
    if (::access(candidate.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace qmtest
