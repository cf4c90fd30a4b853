// Output files on Windows (output_file.h): the same promises as on POSIX
// systems, with Windows' own means. The temporary file is written through
// the C runtime's binary file descriptors, flushed to disk with _commit and
// moved over the destination with MoveFileExW, which replaces an existing
// file in one step (rename does not). Ctrl-C, Ctrl-Break and the closing of
// the console remove temporary files through a console control handler.
// Paths convert to the system's wide form as std::filesystem converts them
// everywhere else in the program.

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "app/output_file.h"
#include "platform/win32.h"

namespace tessary::app {

namespace fs = std::filesystem;

namespace {

std::string Reason(int err) {
  std::string text = std::generic_category().message(err);
  if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}

// The reason of a Win32 error code, as the C runtime's errno would give it
// for the common cases.
std::string WinReason(DWORD code) {
  switch (code) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return Reason(EACCES);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return Reason(ENOSPC);
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return Reason(ENOENT);
    default:
      return "system error " + std::to_string(code);
  }
}

// The wide form of a path that fs::path::string() gave (UTF-8 there).
std::wstring WidePath(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

// --- Removal of temporary files when the console stops the program -----------------
//
// The handler runs on a thread of its own while the program goes on; it
// reads only plain buffers guarded by lock-free atomics, deletes the files
// and lets the default handling end the process.

constexpr int kSlots = 8;
constexpr std::size_t kSlotPathChars = 32768;

enum SlotState : int { kFree = 0, kTaking = 1, kArmed = 2 };

struct Slot {
  std::atomic<int> state{kFree};
  wchar_t path[kSlotPathChars];
};

Slot g_slots[kSlots];
static_assert(std::atomic<int>::is_always_lock_free);

BOOL WINAPI RemoveTemporaries(DWORD) {
  for (Slot& s : g_slots)
    if (s.state.load() == kArmed) DeleteFileW(s.path);
  return FALSE;  // the next handler, in the end the default one, ends the process
}

// A slot holding `path`, armed; -1 when the path is too long or every slot
// is taken (the file is then written without removal on Ctrl-C).
int Register(const std::wstring& path) {
  if (path.size() >= kSlotPathChars) return -1;
  static std::once_flag once;
  std::call_once(once, [] { SetConsoleCtrlHandler(RemoveTemporaries, TRUE); });
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!g_slots[i].state.compare_exchange_strong(expected, kTaking)) continue;
    std::memcpy(g_slots[i].path, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
    g_slots[i].state.store(kArmed);
    return i;
  }
  return -1;
}

void Unregister(int& slot) {
  if (slot >= 0) g_slots[slot].state.store(kFree);
  slot = -1;
}

// Follows symbolic links from `path` to the file they end at (which need
// not exist). Relative link texts start from the link's own folder.
bool ResolveLinks(const std::string& path, fs::path& target, std::string& error) {
  target = path;
  for (int hops = 0;; ++hops) {
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(target, ec);
    if (ec || !fs::is_symlink(st)) return true;  // a missing file is no link
    if (hops == 40) {
      error = "cannot write: " + Reason(ELOOP);
      return false;
    }
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
  std::error_code ec;
  if (!fs::exists(output, ec)) return true;
  for (const std::string& input : inputs) {
    // The same file by volume and file index, however the paths are spelled.
    if (fs::equivalent(output, input, ec) && !ec) {
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
    fd_ = _fileno(stdout);
    toStdout_ = true;
    return true;
  }
  if (path.empty()) {
    error = "cannot write: the file name is empty";
    return false;
  }
  fs::path target;
  if (!ResolveLinks(path, target, error)) return false;
  std::error_code ec;
  const fs::file_status st = fs::status(target, ec);
  if (ec && st.type() != fs::file_type::not_found) {
    error = "cannot write: " + Reason(ec.value());
    return false;
  }
  if (fs::is_directory(st)) {
    error = "is a directory";
    return false;
  }
  if (fs::exists(st) && !fs::is_regular_file(st)) {
    error = "cannot write: is not a regular file";
    return false;
  }
  const fs::path dir = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  if (!fs::is_directory(dir, ec)) {
    error = "cannot write: folder \"" + dir.string() + "\" does not exist";
    return false;
  }

  // A name of its own in the destination's folder (so the move stays on one
  // volume), and never an existing file.
  static std::atomic<unsigned> counter{0};
  std::string name = target.filename().string().substr(0, 200);
  name = "." + name + ".tmp-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
  const fs::path temp = fs::absolute(dir / name, ec);
  if (ec) {
    error = "cannot write: " + Reason(ec.value());
    return false;
  }
  // Armed before the file exists, so there is no moment in which Ctrl-C
  // would leave it behind.
  slot_ = Register(temp.wstring());
  fd_ = _wopen(temp.c_str(), _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
  if (fd_ < 0) {
    error = "cannot write: " + Reason(errno);
    Unregister(slot_);
    return false;
  }
  temp_ = temp.string();
  target_ = target.string();
  return true;
}

void OutputFile::Fail(const std::string& reason) {
  if (failure_.empty()) failure_ = reason.empty() ? "write failed" : reason;
}

void OutputFile::FailErrno(int err) { Fail(Reason(err)); }

bool OutputFile::WriteAll(const void* data, std::size_t size, std::int64_t offset) {
  if (fd_ < 0 || !failure_.empty()) return false;
  // The C runtime has no positioned write: move there and back.
  const std::int64_t back = offset >= 0 ? _lseeki64(fd_, 0, SEEK_CUR) : -1;
  if (offset >= 0 && (back < 0 || _lseeki64(fd_, offset, SEEK_SET) < 0)) {
    FailErrno(errno);
    return false;
  }
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30));
    const int n = _write(fd_, p, chunk);
    if (n <= 0) {
      FailErrno(n < 0 ? errno : ENOSPC);
      return false;
    }
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  if (offset >= 0 && _lseeki64(fd_, back, SEEK_SET) < 0) {
    FailErrno(errno);
    return false;
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
  const std::int64_t back = _lseeki64(fd_, 0, SEEK_CUR);
  if (back < 0 || _lseeki64(fd_, offset, SEEK_SET) < 0) return 0;
  std::size_t done = 0;
  auto* p = static_cast<char*>(data);
  while (done < size) {
    const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(size - done, 1u << 30));
    const int n = _read(fd_, p + done, chunk);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  _lseeki64(fd_, back, SEEK_SET);
  return done;
}

bool OutputFile::Seek(std::int64_t position) {
  if (fd_ < 0 || !failure_.empty()) return false;
  if (position < 0 || _lseeki64(fd_, position, SEEK_SET) < 0) {
    FailErrno(position < 0 ? EINVAL : errno);
    return false;
  }
  position_ = position;
  return true;
}

std::int64_t OutputFile::Size() const {
  if (fd_ < 0) return 0;
  const std::int64_t size = _filelengthi64(fd_);
  return size < 0 ? 0 : size;
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
    // The data must be on disk before the old file is replaced.
    if (failure_.empty() && _commit(fd_) != 0) FailErrno(errno);
    const int fd = fd_;
    fd_ = -1;
    if (_close(fd) != 0) FailErrno(errno);
    if (failure_.empty() &&
        !MoveFileExW(WidePath(temp_).c_str(), WidePath(target_).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      Fail(WinReason(GetLastError()));
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
    _close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    DeleteFileW(WidePath(temp_).c_str());
    temp_.clear();
  }
  Unregister(slot_);
}

}  // namespace tessary::app
