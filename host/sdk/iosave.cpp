#include "host/sdk/iosave.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

namespace tessary::host {

namespace {
constexpr std::uint64_t kMaxChunkPayload = std::numeric_limits<std::uint32_t>::max();

std::string Hex(unsigned v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%04X", v);
  return buf;
}
}  // namespace

// --- ISave --------------------------------------------------------------------

IOResult ISave::WriteCString(const char* str) {
  if (str == nullptr) str = "";
  const std::size_t n = std::strlen(str) + 1;
  if (n > kMaxChunkPayload) return IO_ERROR;
  ULONG written = 0;
  return Write(str, static_cast<ULONG>(n), &written);
}

void MemorySave::Fail(const std::string& what) {
  if (error_.empty()) error_ = what;
}

void MemorySave::BeginChunk(USHORT id) {
  if (!open_.empty()) {
    Open& parent = open_.back();
    if (parent.hasData) {
      Fail("chunk " + Hex(id) + " begun inside a chunk that already holds data");
    }
    parent.hasChunks = true;
  }
  const std::size_t at = bytes_.size();
  bytes_.resize(at + kChunkHeaderSize, 0);
  PutLE16(&bytes_[at], id);
  open_.push_back({at, false, false});
}

void MemorySave::EndChunk() {
  if (open_.empty()) {
    Fail("EndChunk without an open chunk");
    return;
  }
  const Open chunk = open_.back();
  open_.pop_back();
  const std::size_t payload = bytes_.size() - chunk.headerAt - kChunkHeaderSize;
  if (payload > kMaxChunkPayload) {
    Fail("chunk of " + std::to_string(payload) + " bytes exceeds the 4 GiB limit");
    return;
  }
  PutLE16(&bytes_[chunk.headerAt + 2], chunk.hasChunks ? kChunkContainerFlag : 0);
  PutLE32(&bytes_[chunk.headerAt + 4], static_cast<std::uint32_t>(payload));
}

IOResult MemorySave::Write(const void* buf, ULONG nbytes, ULONG* nwrit) {
  if (nwrit) *nwrit = 0;
  if (open_.empty()) {
    Fail("data written outside any chunk");
    return IO_ERROR;
  }
  Open& chunk = open_.back();
  if (chunk.hasChunks) {
    Fail("data written into a chunk that already holds sub-chunks");
    return IO_ERROR;
  }
  const std::size_t payload = bytes_.size() - chunk.headerAt - kChunkHeaderSize;
  if (payload + nbytes > kMaxChunkPayload) {
    Fail("chunk would exceed the 4 GiB limit");
    return IO_ERROR;
  }
  chunk.hasData = true;
  if (nbytes > 0) {
    if (buf == nullptr) {
      Fail("null buffer written");
      return IO_ERROR;
    }
    const auto* p = static_cast<const std::uint8_t*>(buf);
    bytes_.insert(bytes_.end(), p, p + nbytes);
  }
  if (nwrit) *nwrit = nbytes;
  return IO_OK;
}

IOResult MemorySave::WriteRaw(const void* buf, std::size_t nbytes) {
  if (!open_.empty()) {
    Fail("raw bytes written inside a chunk");
    return IO_ERROR;
  }
  const auto* p = static_cast<const std::uint8_t*>(buf);
  if (nbytes > 0) bytes_.insert(bytes_.end(), p, p + nbytes);
  return IO_OK;
}

// --- MemoryLoad -----------------------------------------------------------------

MemoryLoad::MemoryLoad(std::span<const std::uint8_t> bytes, std::size_t begin)
    : bytes_(bytes), begin_(std::min(begin, bytes.size())), pos_(begin_) {}

MemoryLoad::~MemoryLoad() = default;

std::size_t MemoryLoad::LevelEnd() const {
  return open_.empty() ? bytes_.size() : open_.back().end;
}

IOResult MemoryLoad::Frame(const std::string& what) {
  if (error_.empty()) error_ = what + " at byte " + std::to_string(pos_);
  return IO_ERROR;
}

IOResult MemoryLoad::OpenChunk() {
  if (!open_.empty() && !open_.back().container) {
    // An empty chunk is an empty container as well as empty data.
    if (open_.back().begin == open_.back().end) return IO_END;
    return Frame("sub-chunk requested inside data chunk " + Hex(open_.back().id));
  }
  const std::size_t end = LevelEnd();
  if (pos_ >= end) return IO_END;
  if (end - pos_ < kChunkHeaderSize) return Frame("truncated chunk header");
  const std::uint8_t* h = bytes_.data() + pos_;
  const USHORT id = GetLE16(h);
  const std::uint16_t flags = GetLE16(h + 2);
  const std::uint32_t length = GetLE32(h + 4);
  if ((flags & ~kChunkContainerFlag) != 0) {
    return Frame("chunk " + Hex(id) + " has unknown flags " + Hex(flags));
  }
  const std::size_t payloadAt = pos_ + kChunkHeaderSize;
  if (length > end - payloadAt) {
    return Frame("chunk " + Hex(id) + " claims " + std::to_string(length) +
                 " bytes but its parent holds " + std::to_string(end - payloadAt));
  }
  open_.push_back({id, (flags & kChunkContainerFlag) != 0, payloadAt, payloadAt + length});
  pos_ = payloadAt;
  return IO_OK;
}

USHORT MemoryLoad::CurChunkID() { return open_.empty() ? USHORT{0} : open_.back().id; }

ULONG MemoryLoad::CurChunkLength() {
  return open_.empty() ? 0u : static_cast<ULONG>(open_.back().end - open_.back().begin);
}

bool MemoryLoad::CurChunkIsContainer() { return !open_.empty() && open_.back().container; }

IOResult MemoryLoad::Read(void* buf, ULONG nbytes, ULONG* nread) {
  if (nread) *nread = 0;
  if (open_.empty() || open_.back().container) return IO_ERROR;
  const std::size_t left = open_.back().end - pos_;
  const std::size_t n = std::min<std::size_t>(nbytes, left);
  if (n > 0) {
    if (buf == nullptr) return IO_ERROR;
    std::memcpy(buf, bytes_.data() + pos_, n);
  }
  pos_ += n;
  if (nread) *nread = static_cast<ULONG>(n);
  return n == nbytes ? IO_OK : IO_ERROR;
}

IOResult MemoryLoad::ReadString(std::string& out) {
  out.clear();
  if (open_.empty() || open_.back().container) return IO_ERROR;
  const std::uint8_t* first = bytes_.data() + pos_;
  const std::uint8_t* last = bytes_.data() + open_.back().end;
  const std::uint8_t* nul = std::find(first, last, std::uint8_t{0});
  out.assign(reinterpret_cast<const char*>(first), static_cast<std::size_t>(nul - first));
  pos_ = open_.back().end;
  return nul == last ? IO_ERROR : IO_OK;
}

IOResult MemoryLoad::ReadCStringChunk(char** buf) {
  std::string text;
  const IOResult r = ReadString(text);
  strings_.push_back(std::move(text));
  if (buf) *buf = strings_.back().data();
  return r;
}

IOResult MemoryLoad::CloseChunk() {
  if (static_cast<int>(open_.size()) <= floor_) return IO_ERROR;
  pos_ = open_.back().end;
  open_.pop_back();
  return IO_OK;
}

void MemoryLoad::RegisterPostLoadCallback(PostLoadCallback* cb) {
  if (cb != nullptr) callbacks_.push_back(cb);
}

void MemoryLoad::SetErrorMessage(const std::string& msg) {
  error_ = msg.empty() ? std::string("load failed") : msg;
}

void MemoryLoad::RunPostLoadCallbacks() {
  while (!callbacks_.empty()) {
    std::vector<PostLoadCallback*> batch;
    batch.swap(callbacks_);
    std::vector<std::pair<int, PostLoadCallback*>> ordered;
    ordered.reserve(batch.size());
    // Priority is read once, before any proc runs: a callback may free
    // itself at the end of its proc.
    for (PostLoadCallback* cb : batch) ordered.emplace_back(cb->Priority(), cb);
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& entry : ordered) entry.second->proc(this);
  }
}

// --- Typed helpers ------------------------------------------------------------------

IOResult WriteU32(ISave* s, std::uint32_t v) {
  std::uint8_t b[4];
  PutLE32(b, v);
  ULONG n = 0;
  return s->Write(b, 4, &n);
}

IOResult WriteI32(ISave* s, std::int32_t v) { return WriteU32(s, static_cast<std::uint32_t>(v)); }

IOResult WriteF32(ISave* s, float v) { return WriteU32(s, std::bit_cast<std::uint32_t>(v)); }

IOResult ReadU32(ILoad* l, std::uint32_t& v) {
  std::uint8_t b[4];
  ULONG n = 0;
  if (l->Read(b, 4, &n) != IO_OK) return IO_ERROR;
  v = GetLE32(b);
  return IO_OK;
}

IOResult ReadI32(ILoad* l, std::int32_t& v) {
  std::uint32_t u = 0;
  if (ReadU32(l, u) != IO_OK) return IO_ERROR;
  v = static_cast<std::int32_t>(u);
  return IO_OK;
}

IOResult ReadF32(ILoad* l, float& v) {
  std::uint32_t u = 0;
  if (ReadU32(l, u) != IO_OK) return IO_ERROR;
  v = std::bit_cast<float>(u);
  return IO_OK;
}

// --- Files ------------------------------------------------------------------------

bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes,
                         std::string* error) {
  const std::string temp = path + ".tmp";
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (f == nullptr) {
    if (error) *error = "cannot create " + temp + ": " + std::strerror(errno);
    return false;
  }
  const bool wrote = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const bool closed = std::fclose(f) == 0;
  if (!wrote || !closed) {
    if (error) *error = "cannot write " + temp;
    std::remove(temp.c_str());
    return false;
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    if (error) *error = "cannot rename " + temp + " to " + path + ": " + std::strerror(errno);
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& out,
                   std::string* error) {
  out.clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    if (error) *error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  // Read in blocks rather than trusting a size from the file system, and
  // stop as soon as the limit is passed.
  std::uint8_t block[65536];
  bool ok = true;
  for (;;) {
    const std::size_t n = std::fread(block, 1, sizeof block, f);
    if (n > maxBytes - out.size()) {
      if (error) *error = path + " is larger than " + std::to_string(maxBytes) + " bytes";
      ok = false;
      break;
    }
    out.insert(out.end(), block, block + n);
    if (n < sizeof block) {
      if (std::ferror(f)) {
        if (error) *error = "cannot read " + path;
        ok = false;
      }
      break;
    }
  }
  std::fclose(f);
  if (!ok) out.clear();
  return ok;
}

}  // namespace tessary::host
