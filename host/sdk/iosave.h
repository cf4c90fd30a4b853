#pragma once
// The host's chunked save and load streams.
//
// A stream is a sequence of chunks. Every chunk has a 16-bit ID, a payload
// length in bytes and a container flag: a container's payload is a sequence
// of sub-chunks, a data chunk's payload is plain bytes. Chunks nest to any
// depth. All multi-byte values are little-endian whatever the machine and
// the pointer size; docs/file-format.md gives the byte layout.
//
// Saving: BeginChunk / Write / EndChunk build the nesting; the first Write
// makes a chunk a data chunk, the first BeginChunk inside it a container.
// Mixing the two in one chunk is a programming error that the stream records
// (Status() turns to IO_ERROR) instead of writing a malformed file.
//
// Loading: OpenChunk steps to the next chunk of the current level (IO_END
// when none is left), Read reads from the open data chunk and never past its
// end, CloseChunk skips whatever of the chunk is unread. A chunk whose length
// claims more bytes than its parent holds is a framing error: OpenChunk
// returns IO_ERROR, nothing is read outside the buffer, and the stream keeps
// the error (Failed(), GetErrorMessage()) so the caller can report it even
// when the object that was loading ignored the result.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <vector>

#include "platform/win32.h"

#include "host/sdk/maxtypes.h"

namespace tessary::host {

class ILoad;

// Work to do once a whole file has been loaded and every reference restored.
// Callbacks run in ascending Priority() (0 first, 10 last, 5 by default);
// callbacks of equal priority run in the order they were registered. The
// loader does not own a callback: one that was allocated for the load frees
// itself at the end of proc. The scene reader runs every registered callback
// exactly once, also when the load fails (before it destroys the objects),
// so that such callbacks are never leaked; proc can ask the loader
// (ILoad::Failed) whether the load succeeded.
class PostLoadCallback {
 public:
  virtual ~PostLoadCallback() = default;
  virtual void proc(ILoad* iload) = 0;
  virtual int Priority() { return 5; }
};

// --- Saving -----------------------------------------------------------------

class ISave {
 public:
  virtual ~ISave() = default;

  // Opens a sub-chunk of the current chunk (or a top-level chunk).
  virtual void BeginChunk(USHORT id) = 0;
  // Closes the most recently begun chunk and fixes its length.
  virtual void EndChunk() = 0;
  // Appends nbytes to the open data chunk. *nwrit (when given) receives the
  // count written: nbytes on success, 0 on failure (no chunk open, the chunk
  // already holds sub-chunks, or the chunk would exceed 4 GiB - 1).
  virtual IOResult Write(const void* buf, ULONG nbytes, ULONG* nwrit) = 0;

  // Writes the text and its terminating NUL. A null pointer writes "".
  IOResult WriteCString(const char* str);
};

// A save stream that builds the bytes in memory.
class MemorySave final : public ISave {
 public:
  void BeginChunk(USHORT id) override;
  void EndChunk() override;
  IOResult Write(const void* buf, ULONG nbytes, ULONG* nwrit) override;

  // Appends raw bytes outside any chunk (a file header before the first
  // chunk). Only allowed while no chunk is open.
  IOResult WriteRaw(const void* buf, std::size_t nbytes);

  // IO_OK while every call so far was well formed; IO_ERROR after the first
  // misuse, with ErrorMessage() saying which.
  IOResult Status() const { return error_.empty() ? IO_OK : IO_ERROR; }
  const std::string& ErrorMessage() const { return error_; }
  int Depth() const { return static_cast<int>(open_.size()); }

  // The bytes written. Complete only when Depth() is 0.
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  struct Open {
    std::size_t headerAt;  // offset of the chunk's header in bytes_
    bool hasData;
    bool hasChunks;
  };
  void Fail(const std::string& what);

  std::vector<std::uint8_t> bytes_;
  std::vector<Open> open_;
  std::string error_;
};

// --- Loading ----------------------------------------------------------------

class ILoad {
 public:
  virtual ~ILoad() = default;

  // Steps to the next chunk of the current level and opens it. IO_END when
  // the level holds no further chunk; IO_ERROR on a framing error (also
  // when the open chunk is a data chunk, which holds no sub-chunks; an
  // empty chunk counts as an empty container and gives IO_END).
  virtual IOResult OpenChunk() = 0;
  // ID, payload length and container flag of the open chunk; 0 / 0 / false
  // when no chunk is open.
  virtual USHORT CurChunkID() = 0;
  virtual ULONG CurChunkLength() = 0;
  virtual bool CurChunkIsContainer() = 0;
  // Reads up to nbytes from the open data chunk. A short read copies what
  // is left of the chunk, reports the count in *nread and returns IO_ERROR;
  // bytes of buf beyond the count are left untouched.
  virtual IOResult Read(void* buf, ULONG nbytes, ULONG* nread) = 0;
  // Reads the rest of the open data chunk as a NUL-terminated text. *buf
  // points to storage the loader owns until it is destroyed. A text without
  // its terminator is returned whole, with IO_ERROR.
  virtual IOResult ReadCStringChunk(char** buf) = 0;
  // Closes the open chunk, skipping whatever of it is unread.
  virtual IOResult CloseChunk() = 0;
  // Schedules cb to run after the load (see PostLoadCallback).
  virtual void RegisterPostLoadCallback(PostLoadCallback* cb) = 0;

  // A message for the user about a failed load. Framing errors set it; a
  // loading object may set its own. An empty text means no error so far.
  virtual void SetErrorMessage(const std::string& msg) = 0;
  virtual const std::string& GetErrorMessage() const = 0;
  // True once a framing error happened or an error message was set.
  virtual bool Failed() const = 0;
};

// A load stream over bytes in memory. The bytes are not copied and must
// outlive the loader. Memory use is bounded by the number of bytes: nothing
// is allocated from a length or count read from the data.
class MemoryLoad final : public ILoad {
 public:
  // begin is the offset of the first chunk (after any file header).
  explicit MemoryLoad(std::span<const std::uint8_t> bytes, std::size_t begin = 0);
  ~MemoryLoad() override;

  IOResult OpenChunk() override;
  USHORT CurChunkID() override;
  ULONG CurChunkLength() override;
  bool CurChunkIsContainer() override;
  IOResult Read(void* buf, ULONG nbytes, ULONG* nread) override;
  IOResult ReadCStringChunk(char** buf) override;
  IOResult CloseChunk() override;
  void RegisterPostLoadCallback(PostLoadCallback* cb) override;
  void SetErrorMessage(const std::string& msg) override;
  const std::string& GetErrorMessage() const override { return error_; }
  bool Failed() const override { return !error_.empty(); }

  // Reads the rest of the open data chunk as text (see ReadCStringChunk).
  IOResult ReadString(std::string& out);

  // Number of open chunks.
  int Depth() const { return static_cast<int>(open_.size()); }
  // Forbids CloseChunk below this depth: an object that loads inside a
  // chunk the scene reader opened cannot close the reader's chunks.
  void SetFloor(int depth) { floor_ = depth; }
  int Floor() const { return floor_; }
  // Offset of the next unread byte.
  std::size_t Position() const { return pos_; }

  // Runs every registered callback once, in priority order, then forgets
  // them. Callbacks registered while this runs are run after the current
  // ones, in their own priority order.
  void RunPostLoadCallbacks();
  std::size_t PendingPostLoadCallbacks() const { return callbacks_.size(); }

 private:
  struct Open {
    USHORT id;
    bool container;
    std::size_t begin;  // first payload byte
    std::size_t end;    // one past the last payload byte
  };
  std::size_t LevelEnd() const;
  IOResult Frame(const std::string& what);

  std::span<const std::uint8_t> bytes_;
  std::size_t begin_;
  std::size_t pos_;
  std::vector<Open> open_;
  int floor_ = 0;
  std::string error_;
  std::vector<PostLoadCallback*> callbacks_;
  std::deque<std::string> strings_;
};

// --- Chunk framing and byte order ---------------------------------------------

// Every chunk starts with an 8-byte header: ID (uint16), flags (uint16, bit 0
// = container, other bits 0), payload length (uint32).
inline constexpr std::size_t kChunkHeaderSize = 8;
inline constexpr std::uint16_t kChunkContainerFlag = 0x0001;

inline void PutLE16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v & 0xFFu);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutLE32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFFu);
}
inline std::uint16_t GetLE16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t GetLE32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Typed little-endian helpers over a stream; the value is written or read
// in the file's byte order on any machine.
IOResult WriteU32(ISave* s, std::uint32_t v);
IOResult WriteI32(ISave* s, std::int32_t v);
IOResult WriteF32(ISave* s, float v);
IOResult ReadU32(ILoad* l, std::uint32_t& v);
IOResult ReadI32(ILoad* l, std::int32_t& v);
IOResult ReadF32(ILoad* l, float& v);

// --- Files --------------------------------------------------------------------

// Writes bytes to path through a temporary file in the same folder and a
// rename, so a failed write never leaves a half-written file. On failure
// returns false with a message in *error.
bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes,
                         std::string* error);
// Reads a whole file, refusing files larger than maxBytes. On failure
// returns false with a message in *error and leaves out empty.
bool ReadWholeFile(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& out,
                   std::string* error);

}  // namespace tessary::host
