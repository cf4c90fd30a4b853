#include "app/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>

namespace tessary::app {

namespace fs = std::filesystem;

namespace {

std::string Reason(int err) {
  std::string text = std::generic_category().message(err);
  if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}

const char* KindOf(mode_t mode) {
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

// --- Removal of temporary files on a signal ---------------------------------------
//
// The handler may run at any moment on any thread, so it reads only plain
// buffers guarded by lock-free atomics, calls only async-signal-safe
// functions (unlink, sigaction, raise) and then lets the signal take its
// default action, so the exit status still shows it.

constexpr int kSlots = 8;
constexpr std::size_t kSlotPathBytes = 4096;

enum SlotState : int { kFree = 0, kTaking = 1, kArmed = 2 };

struct Slot {
  std::atomic<int> state{kFree};
  char path[kSlotPathBytes];
};

Slot g_slots[kSlots];
static_assert(std::atomic<int>::is_always_lock_free);

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void RemoveTemporariesAndDie(int sig) {
  for (Slot& s : g_slots)
    if (s.state.load() == kArmed) ::unlink(s.path);
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  ::sigaction(sig, &dfl, nullptr);
  // Delivered with the default action once the handler returns.
  ::raise(sig);
}

void InstallHandlers() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int sig : kCleanupSignals) {
      struct sigaction old {};
      if (::sigaction(sig, nullptr, &old) != 0) continue;
      // A signal the caller chose to ignore (nohup, background jobs) stays ignored.
      if (old.sa_handler == SIG_IGN) continue;
      struct sigaction sa {};
      sa.sa_handler = RemoveTemporariesAndDie;
      sigemptyset(&sa.sa_mask);
      ::sigaction(sig, &sa, nullptr);
    }
  });
}

// A slot holding `path`, armed; -1 when the path is too long or every slot
// is taken (the file is then written without removal on a signal).
int Register(const std::string& path) {
  if (path.size() >= kSlotPathBytes) return -1;
  InstallHandlers();
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!g_slots[i].state.compare_exchange_strong(expected, kTaking)) continue;
    std::memcpy(g_slots[i].path, path.c_str(), path.size() + 1);
    g_slots[i].state.store(kArmed);
    return i;
  }
  return -1;
}

void Unregister(int& slot) {
  if (slot >= 0) g_slots[slot].state.store(kFree);
  slot = -1;
}

// Why the folder `dir` cannot hold a new file: the first part of its path
// that is a file rather than a folder ("ok.json" in ok.json/o.png), or the
// first that does not exist.
std::string FolderProblem(const fs::path& dir) {
  fs::path prefix;
  for (const fs::path& part : dir) {
    prefix /= part;
    struct stat st {};
    if (::stat(prefix.c_str(), &st) != 0) {
      if (errno == ENOENT) return "folder \"" + prefix.string() + "\" does not exist";
      return "\"" + prefix.string() + "\": " + Reason(errno);
    }
    if (!S_ISDIR(st.st_mode)) return "\"" + prefix.string() + "\" is a file, not a folder";
  }
  return "\"" + dir.string() + "\" is not a folder";
}

fs::path FolderOf(const fs::path& p) { return p.parent_path().empty() ? fs::path(".") : p.parent_path(); }

// Follows symbolic links from `path` to the file they end at (which need
// not exist). Relative link texts start from the link's own folder.
bool ResolveLinks(const std::string& path, fs::path& target, std::string& error) {
  target = path;
  for (int hops = 0;; ++hops) {
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0) {
      if (errno == ENOENT) return true;
      error = "cannot write: " + (errno == ENOTDIR ? FolderProblem(FolderOf(target)) : Reason(errno));
      return false;
    }
    if (!S_ISLNK(st.st_mode)) return true;
    if (hops == 40) {
      error = "cannot write: " + Reason(ELOOP);
      return false;
    }
    std::error_code ec;
    const fs::path link = fs::read_symlink(target, ec);
    if (ec) {
      error = "cannot write: " + Reason(ec.value());
      return false;
    }
    target = link.is_absolute() ? link : target.parent_path() / link;
  }
}

}  // namespace

bool CheckNotAnInput(const std::string& output, const std::vector<std::string>& inputs, std::string& error) {
  if (IsStandardOutput(output)) return true;
  struct stat out {};
  if (::stat(output.c_str(), &out) != 0) return true;
  for (const std::string& input : inputs) {
    struct stat in {};
    if (::stat(input.c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino) {
      error = "is also an input of this command (\"" + input + "\"); use --force to write over it";
      return false;
    }
  }
  return true;
}

OutputFile::~OutputFile() { Abandon(); }

bool OutputFile::Open(const std::string& path, std::string& error) {
  Abandon();
  failure_.clear();
  position_ = 0;
  if (IsStandardOutput(path)) {
    fd_ = STDOUT_FILENO;
    toStdout_ = true;
    return true;
  }
  if (path.empty()) {
    error = "cannot write: the file name is empty";
    return false;
  }
  fs::path target;
  if (!ResolveLinks(path, target, error)) return false;
  struct stat st {};
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) {
    error = "cannot write: " + Reason(errno);
    return false;
  }
  if (exists && S_ISDIR(st.st_mode)) {
    error = "is a directory";
    return false;
  }
  if (exists && !S_ISREG(st.st_mode)) {
    error = std::string("cannot write: is ") + KindOf(st.st_mode) + ", not a regular file";
    return false;
  }
  const fs::path dir = FolderOf(target);
  struct stat dirStat {};
  if (::stat(dir.c_str(), &dirStat) != 0 || !S_ISDIR(dirStat.st_mode)) {
    error = "cannot write: " + FolderProblem(dir);
    return false;
  }
  if (::access(dir.c_str(), W_OK | X_OK) != 0) {
    error = "cannot write in folder \"" + dir.string() + "\": " + Reason(errno);
    return false;
  }

  // A name of its own in the destination's folder (so the rename stays on
  // one file system), hidden, and never an existing file.
  static std::atomic<unsigned> counter{0};
  std::string name = target.filename().string().substr(0, 200);
  name = "." + name + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
  std::error_code ec;
  const fs::path temp = fs::absolute(dir / name, ec);
  if (ec) {
    error = "cannot write: " + Reason(ec.value());
    return false;
  }
  // Armed before the file exists, so there is no moment in which a signal
  // would leave it behind.
  slot_ = Register(temp.string());
  fd_ = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    error = "cannot write: " + Reason(errno);
    Unregister(slot_);
    return false;
  }
  temp_ = temp.string();
  target_ = target.string();
  if (exists) {
    // Keep who may read and write the file. The owner and group can only
    // be kept where the process may set them (as the owner or as root).
    if (::fchmod(fd_, st.st_mode & 0777) != 0) {
      error = "cannot write: cannot keep the file's permissions: " + Reason(errno);
      Abandon();
      return false;
    }
    struct stat made {};
    if (::fstat(fd_, &made) == 0 && (made.st_uid != st.st_uid || made.st_gid != st.st_gid)) {
      if (::fchown(fd_, st.st_uid, st.st_gid) != 0) {
        // Not allowed to give the file away: it stays the writer's.
      }
    }
  }
  return true;
}

void OutputFile::Fail(const std::string& reason) {
  if (failure_.empty()) failure_ = reason.empty() ? "write failed" : reason;
}

void OutputFile::FailErrno(int err) { Fail(Reason(err)); }

bool OutputFile::WriteAll(const void* data, std::size_t size, std::int64_t offset) {
  if (fd_ < 0 || !failure_.empty()) return false;
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = offset < 0 ? ::write(fd_, p, size) : ::pwrite(fd_, p, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      FailErrno(n < 0 ? errno : ENOSPC);
      return false;
    }
    p += n;
    size -= static_cast<std::size_t>(n);
    if (offset >= 0) offset += n;
  }
  return true;
}

bool OutputFile::Write(const void* data, std::size_t size) {
  if (!WriteAll(data, size, -1)) return false;
  position_ += static_cast<std::int64_t>(size);
  return true;
}

bool OutputFile::WriteAt(const void* data, std::size_t size, std::int64_t offset) {
  return offset >= 0 ? WriteAll(data, size, offset) : (FailErrno(EINVAL), false);
}

std::size_t OutputFile::ReadAt(void* data, std::size_t size, std::int64_t offset) {
  if (fd_ < 0) return 0;
  std::size_t done = 0;
  auto* p = static_cast<char*>(data);
  while (done < size) {
    const ssize_t n = ::pread(fd_, p + done, size - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

bool OutputFile::Seek(std::int64_t position) {
  if (fd_ < 0 || !failure_.empty()) return false;
  if (position < 0 || ::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0) {
    FailErrno(position < 0 ? EINVAL : errno);
    return false;
  }
  position_ = position;
  return true;
}

std::int64_t OutputFile::Size() const {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return 0;
  return static_cast<std::int64_t>(st.st_size);
}

bool OutputFile::Commit(std::string& error) {
  if (fd_ < 0) {
    error = "cannot write: output not open";
    return false;
  }
  if (toStdout_) {
    fd_ = -1;
    toStdout_ = false;
  } else {
    // Delayed allocation and network file systems report a full disk only
    // here: the data must be on disk before the old file is replaced.
    if (failure_.empty() && ::fsync(fd_) != 0) FailErrno(errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) FailErrno(errno);
    if (failure_.empty() && ::rename(temp_.c_str(), target_.c_str()) != 0) FailErrno(errno);
    if (failure_.empty()) {
      Unregister(slot_);
      temp_.clear();
    }
  }
  if (!failure_.empty()) {
    error = "cannot write: " + failure_;
    Abandon();
    return false;
  }
  return true;
}

void OutputFile::Abandon() {
  if (toStdout_) {
    fd_ = -1;
    toStdout_ = false;
  }
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
  Unregister(slot_);
}

}  // namespace tessary::app
