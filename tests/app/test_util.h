#pragma once
// Helpers for tests that run the built `tessary` program in a scratch folder.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/scene_json.h"

namespace tessary::app::testing {

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

inline std::string ProgramPath() {
  const char* dir = std::getenv("TESSARY_BUILD_DIR");
  return std::string(dir ? dir : ".") + "/bin/tessary";
}

inline std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFile(const std::filesystem::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << text;
}

// A fresh folder under the system's temporary folder, removed afterwards.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& name) {
    path_ = std::filesystem::temp_directory_path() /
            ("tessary-test-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() { std::filesystem::remove_all(path_); }
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  // Names of the files in the folder, sorted.
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path path_;
};

// Runs the program with `args` (already shell-quoted as needed) in `dir`;
// `env` ("NAME=value ...") is set for the program when given.
inline RunResult RunProgram(const ScratchDir& dir, const std::string& args, const std::string& env = "") {
  const auto outFile = dir.path().parent_path() / (dir.path().filename().string() + ".stdout");
  const auto errFile = dir.path().parent_path() / (dir.path().filename().string() + ".stderr");
  const std::string cmd = "cd '" + dir.path().string() + "' && " + (env.empty() ? "" : "env " + env + " ") + "'" + ProgramPath() + "' " + args + " >'" +
                          outFile.string() + "' 2>'" + errFile.string() + "'";
  const int status = std::system(cmd.c_str());
  RunResult r;
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = ReadFile(outFile);
  r.err = ReadFile(errFile);
  std::filesystem::remove(outFile);
  std::filesystem::remove(errFile);
  return r;
}

// Starts the program with `args` in `dir`, standard output and error going
// to the given files, SIGINT and SIGTERM at their default action (whatever
// the test runner ignores). With `maxFileBytes` >= 0 no file of the program
// may grow past that size (RLIMIT_FSIZE, SIGXFSZ ignored): a write beyond it
// fails with EFBIG, as on a full disk, through the real file system.
inline pid_t StartProgram(const ScratchDir& dir, const std::string& args, const std::string& outFile,
                          const std::string& errFile, std::int64_t maxFileBytes = -1) {
  // Everything the child needs is made before fork: it only calls
  // async-signal-safe functions until exec.
  const std::string cmd = "exec '" + ProgramPath() + "' " + args;
  const std::string where = dir.path().string();
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 || ::chdir(where.c_str()) != 0) ::_exit(127);
  ::signal(SIGINT, SIG_DFL);
  ::signal(SIGTERM, SIG_DFL);
  ::signal(SIGXFSZ, SIG_IGN);
  if (maxFileBytes >= 0) {
    const rlimit limit{static_cast<rlim_t>(maxFileBytes), static_cast<rlim_t>(maxFileBytes)};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(127);
  }
  ::execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
  ::_exit(127);
}

// Waits for a started program; its wait status.
inline int WaitProgram(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

// RunProgram with files limited to `maxFileBytes` (see StartProgram), or
// with standard output going to `stdoutPath` when that is given.
inline RunResult RunProgramLimited(const ScratchDir& dir, const std::string& args, std::int64_t maxFileBytes,
                                   const std::string& stdoutPath = "") {
  const auto outFile = dir.path().parent_path() / (dir.path().filename().string() + ".stdout");
  const auto errFile = dir.path().parent_path() / (dir.path().filename().string() + ".stderr");
  const int status = WaitProgram(StartProgram(dir, args, stdoutPath.empty() ? outFile.string() : stdoutPath,
                                              errFile.string(), maxFileBytes));
  RunResult r;
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = stdoutPath.empty() ? ReadFile(outFile) : "";
  r.err = ReadFile(errFile);
  std::filesystem::remove(outFile);
  std::filesystem::remove(errFile);
  return r;
}

// A JSON scene text and the start of the error reading it must give.
struct ParseErrorCase {
  std::string text;
  const char* error;
};

// Reads each text as "s.json": each must fail with its error.
inline void ExpectParseErrors(const std::vector<ParseErrorCase>& cases) {
  for (const ParseErrorCase& c : cases) {
    SceneDesc scene;
    std::string error;
    EXPECT_FALSE(ParseSceneJson(c.text, "s.json", "", scene, error)) << c.text;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << "got: " << error << "\nwant: " << c.error;
  }
}

inline std::string Scene(const std::string& root) {
  return "{\"format\": \"tessary-scene\", \"version\": 1, \"root\": " + root + "}";
}

}  // namespace tessary::app::testing
