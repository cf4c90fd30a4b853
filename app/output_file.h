#pragma once
// Output files written so that nothing is lost. An output goes to a hidden
// temporary file beside its destination, which replaces the destination
// only when every write, the flush to disk and the close have succeeded;
// on any failure, on destruction without Commit and on SIGINT, SIGTERM or
// SIGHUP the temporary file is removed.
//
// The destination is what the path names after following symbolic links: a
// link is kept and its target written. An existing file keeps its
// permissions (and, where the process may set them, its owner and group); a
// directory, device, FIFO or socket is refused, never replaced. "-" names
// standard output, written directly.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessary::app {

inline bool IsStandardOutput(const std::string& path) { return path == "-"; }

// Fails with a message when `output` names the same file (device and inode,
// however the path is spelled or linked) as one of `inputs`. Paths that do
// not exist are no conflict.
bool CheckNotAnInput(const std::string& output, const std::vector<std::string>& inputs, std::string& error);

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Resolves the destination and creates the temporary file (for "-": uses
  // standard output). `error` is a reason such as "cannot write: permission
  // denied", without the path.
  bool Open(const std::string& path, std::string& error);

  // Writes all of `data` at the current position, which then moves past it;
  // at an offset, the position stays. False once anything has failed: the
  // first failure is kept (Failure()) and reported by Commit.
  bool Write(const void* data, std::size_t size);
  bool WriteAt(const void* data, std::size_t size, std::int64_t offset);
  // Reads back what was written (for writers that patch their own headers).
  std::size_t ReadAt(void* data, std::size_t size, std::int64_t offset);
  bool Seek(std::int64_t position);
  std::int64_t Tell() const { return position_; }
  std::int64_t Size() const;

  // Marks the output failed with `reason` unless it already failed.
  void Fail(const std::string& reason);
  const std::string& Failure() const { return failure_; }

  // Flushes to disk, closes and renames the temporary file into place. Any
  // failure so far, or of these steps, gives false with "cannot write:
  // REASON" in `error` and leaves the destination as it was.
  bool Commit(std::string& error);
  // Removes the temporary file; the destination stays as it was.
  void Abandon();

  bool IsOpen() const { return fd_ >= 0; }

 private:
  void FailErrno(int err);
  // All of `data` at `offset`, or at the current position when it is < 0.
  bool WriteAll(const void* data, std::size_t size, std::int64_t offset);

  int fd_ = -1;
  bool toStdout_ = false;
  std::int64_t position_ = 0;
  std::string failure_;
  std::string target_;  // the resolved destination
  std::string temp_;
  int slot_ = -1;  // registration for removal on a signal
};

}  // namespace tessary::app
