#include "host/sdk/iosave.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tessary::host {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Hand-built chunk header: ID, flags, payload length, all little-endian.
void Header(Bytes& b, std::uint16_t id, std::uint16_t flags, std::uint32_t len) {
  std::uint8_t h[8];
  PutLE16(h, id);
  PutLE16(h + 2, flags);
  PutLE32(h + 4, len);
  b.insert(b.end(), h, h + 8);
}

TEST(MemorySave, WritesLittleEndianFramingWithContainerFlag) {
  MemorySave s;
  s.BeginChunk(0x4000);
  s.BeginChunk(0x0010);
  ASSERT_EQ(WriteU32(&s, 0x11223344u), IO_OK);
  s.EndChunk();
  s.EndChunk();
  s.BeginChunk(0xBEEF);
  s.EndChunk();
  ASSERT_EQ(s.Status(), IO_OK);
  const Bytes expect = {
      0x00, 0x40, 0x01, 0x00, 12, 0, 0, 0,        // container 0x4000, 12 bytes
      0x10, 0x00, 0x00, 0x00, 4,  0, 0, 0,        // data 0x0010, 4 bytes
      0x44, 0x33, 0x22, 0x11,                     // the value, low byte first
      0xEF, 0xBE, 0x00, 0x00, 0,  0, 0, 0};       // empty data chunk
  EXPECT_EQ(s.Bytes(), expect);
}

TEST(MemorySave, RecordsMisuseInsteadOfWritingMalformedChunks) {
  struct Case {
    const char* name;
    void (*run)(MemorySave&);
  };
  const Case cases[] = {
      {"write outside a chunk", [](MemorySave& s) { WriteU32(&s, 1); }},
      {"end without begin", [](MemorySave& s) { s.EndChunk(); }},
      {"data then sub-chunk",
       [](MemorySave& s) {
         s.BeginChunk(1);
         WriteU32(&s, 1);
         s.BeginChunk(2);
       }},
      {"sub-chunk then data",
       [](MemorySave& s) {
         s.BeginChunk(1);
         s.BeginChunk(2);
         s.EndChunk();
         WriteU32(&s, 1);
       }},
      {"raw bytes inside a chunk",
       [](MemorySave& s) {
         s.BeginChunk(1);
         const char c = 0;
         s.WriteRaw(&c, 1);
       }},
  };
  for (const Case& c : cases) {
    MemorySave s;
    c.run(s);
    EXPECT_EQ(s.Status(), IO_ERROR) << c.name;
    EXPECT_FALSE(s.ErrorMessage().empty()) << c.name;
  }
}

TEST(MemoryLoad, WalksNestedChunksAndSkipsUnreadOrUnknownOnes) {
  MemorySave s;
  s.BeginChunk(0x0100);  // container: A(data), B(container: C), D(data)
  s.BeginChunk(0x000A);
  WriteU32(&s, 7);
  WriteU32(&s, 8);
  s.EndChunk();
  s.BeginChunk(0x000B);
  s.BeginChunk(0x000C);
  s.WriteCString("hello");
  s.EndChunk();
  s.EndChunk();
  s.BeginChunk(0x000D);
  WriteI32(&s, -5);
  s.EndChunk();
  s.EndChunk();
  s.BeginChunk(0x0200);
  WriteF32(&s, 1.5f);
  s.EndChunk();
  ASSERT_EQ(s.Status(), IO_OK);

  MemoryLoad l(s.Bytes());
  ASSERT_EQ(l.OpenChunk(), IO_OK);
  EXPECT_EQ(l.CurChunkID(), 0x0100);
  EXPECT_TRUE(l.CurChunkIsContainer());
  EXPECT_EQ(l.CurChunkLength(), 8u + 8u + 8u + 8u + 6u + 8u + 4u);

  ASSERT_EQ(l.OpenChunk(), IO_OK);
  EXPECT_EQ(l.CurChunkID(), 0x000A);
  EXPECT_FALSE(l.CurChunkIsContainer());
  EXPECT_EQ(l.CurChunkLength(), 8u);
  std::uint32_t v = 0;
  ASSERT_EQ(ReadU32(&l, v), IO_OK);
  EXPECT_EQ(v, 7u);
  EXPECT_EQ(l.CloseChunk(), IO_OK);  // leaves the second value unread

  ASSERT_EQ(l.OpenChunk(), IO_OK);
  EXPECT_EQ(l.CurChunkID(), 0x000B);
  EXPECT_EQ(l.CloseChunk(), IO_OK);  // skips the whole container unread

  ASSERT_EQ(l.OpenChunk(), IO_OK);
  EXPECT_EQ(l.CurChunkID(), 0x000D);
  std::int32_t i = 0;
  ASSERT_EQ(ReadI32(&l, i), IO_OK);
  EXPECT_EQ(i, -5);
  EXPECT_EQ(l.CloseChunk(), IO_OK);
  EXPECT_EQ(l.OpenChunk(), IO_END);  // end of 0x0100's level
  EXPECT_EQ(l.CloseChunk(), IO_OK);

  ASSERT_EQ(l.OpenChunk(), IO_OK);
  float f = 0;
  ASSERT_EQ(ReadF32(&l, f), IO_OK);
  EXPECT_EQ(f, 1.5f);
  EXPECT_EQ(l.CloseChunk(), IO_OK);
  EXPECT_EQ(l.OpenChunk(), IO_END);
  EXPECT_EQ(l.OpenChunk(), IO_END);  // stays at the end
  EXPECT_FALSE(l.Failed());
}

TEST(MemoryLoad, ReadsStringsFromTheirChunk) {
  MemorySave s;
  s.BeginChunk(1);
  s.WriteCString("Map #3");
  s.EndChunk();
  s.BeginChunk(2);
  s.WriteCString(nullptr);
  s.EndChunk();
  MemoryLoad l(s.Bytes());
  char* text = nullptr;
  ASSERT_EQ(l.OpenChunk(), IO_OK);
  ASSERT_EQ(l.ReadCStringChunk(&text), IO_OK);
  EXPECT_STREQ(text, "Map #3");
  l.CloseChunk();
  ASSERT_EQ(l.OpenChunk(), IO_OK);
  ASSERT_EQ(l.ReadCStringChunk(&text), IO_OK);
  EXPECT_STREQ(text, "");
  l.CloseChunk();

  Bytes raw;  // a text without its terminator is returned whole, as an error
  Header(raw, 1, 0, 3);
  raw.insert(raw.end(), {'a', 'b', 'c'});
  MemoryLoad unterminated(raw);
  ASSERT_EQ(unterminated.OpenChunk(), IO_OK);
  std::string str;
  EXPECT_EQ(unterminated.ReadString(str), IO_ERROR);
  EXPECT_EQ(str, "abc");
}

TEST(MemoryLoad, ShortReadStopsAtTheChunkEnd) {
  Bytes raw;
  Header(raw, 1, 0, 3);
  raw.insert(raw.end(), {0xA1, 0xA2, 0xA3});
  Header(raw, 2, 0, 4);  // the next chunk's bytes must not be read
  raw.insert(raw.end(), {0xB1, 0xB2, 0xB3, 0xB4});
  MemoryLoad l(raw);
  ASSERT_EQ(l.OpenChunk(), IO_OK);
  std::uint8_t buf[6] = {0, 0, 0, 0, 0xEE, 0xEE};
  ULONG n = 99;
  EXPECT_EQ(l.Read(buf, 6, &n), IO_ERROR);
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(buf[0], 0xA1);
  EXPECT_EQ(buf[2], 0xA3);
  EXPECT_EQ(buf[3], 0);  // untouched beyond the count
  EXPECT_EQ(l.Read(buf, 1, &n), IO_ERROR);
  EXPECT_EQ(n, 0u);
  EXPECT_FALSE(l.Failed());  // a short read is not a framing error
  l.CloseChunk();
  ASSERT_EQ(l.OpenChunk(), IO_OK);
  EXPECT_EQ(l.CurChunkID(), 2);
}

TEST(MemoryLoad, RefusesReadsWhereNoDataChunkIsOpen) {
  MemorySave s;
  s.BeginChunk(1);
  s.BeginChunk(2);
  WriteU32(&s, 5);
  s.EndChunk();
  s.EndChunk();
  MemoryLoad l(s.Bytes());
  std::uint8_t b = 0;
  ULONG n = 0;
  EXPECT_EQ(l.Read(&b, 1, &n), IO_ERROR);  // nothing open
  ASSERT_EQ(l.OpenChunk(), IO_OK);
  EXPECT_EQ(l.Read(&b, 1, &n), IO_ERROR);  // a container holds no data
  ASSERT_EQ(l.OpenChunk(), IO_OK);
  EXPECT_EQ(l.OpenChunk(), IO_ERROR);      // a data chunk holds no sub-chunks
  EXPECT_TRUE(l.Failed());
  EXPECT_EQ(l.CloseChunk(), IO_OK);
  EXPECT_EQ(l.CloseChunk(), IO_OK);
  EXPECT_EQ(l.CloseChunk(), IO_ERROR);     // nothing left to close
}

TEST(MemoryLoad, RejectsBadFramingWithoutReadingOutsideTheBuffer) {
  struct Case {
    const char* name;
    Bytes bytes;
    int opensBeforeError;  // successful OpenChunk calls before the error
  };
  std::vector<Case> cases;
  {
    Bytes b = {0x01, 0x00, 0x00};  // three bytes of an eight-byte header
    cases.push_back({"truncated header", b, 0});
  }
  {
    Bytes b;
    Header(b, 1, 0, 100);  // claims 100 bytes, 2 present
    b.insert(b.end(), {1, 2});
    cases.push_back({"length beyond the file", b, 0});
  }
  {
    Bytes b;
    Header(b, 1, 0, 0xFFFFFFFFu);
    cases.push_back({"huge length", b, 0});
  }
  {
    Bytes b;
    Header(b, 1, kChunkContainerFlag, 12);  // parent holds 12 bytes
    Header(b, 2, 0, 8);                     // child claims 8, only 4 in parent
    b.insert(b.end(), {1, 2, 3, 4});
    Header(b, 3, 0, 0);
    cases.push_back({"child longer than its parent", b, 1});
  }
  {
    Bytes b;
    Header(b, 1, kChunkContainerFlag, 5);  // container with a partial header
    b.insert(b.end(), {9, 9, 9, 9, 9});
    cases.push_back({"partial header inside a container", b, 1});
  }
  {
    Bytes b;
    Header(b, 1, 0x0002, 0);
    cases.push_back({"unknown flag bits", b, 0});
  }
  for (const Case& c : cases) {
    MemoryLoad l(c.bytes);
    for (int i = 0; i < c.opensBeforeError; ++i) ASSERT_EQ(l.OpenChunk(), IO_OK) << c.name;
    EXPECT_EQ(l.OpenChunk(), IO_ERROR) << c.name;
    EXPECT_TRUE(l.Failed()) << c.name;
    EXPECT_FALSE(l.GetErrorMessage().empty()) << c.name;
    EXPECT_EQ(l.OpenChunk(), IO_ERROR) << c.name << ": the error repeats, no progress";
  }
}

TEST(MemoryLoad, AnEmptyChunkIsAnEmptyContainer) {
  MemorySave s;
  s.BeginChunk(1);
  s.EndChunk();
  MemoryLoad l(s.Bytes());
  ASSERT_EQ(l.OpenChunk(), IO_OK);
  EXPECT_EQ(l.CurChunkLength(), 0u);
  EXPECT_EQ(l.OpenChunk(), IO_END);
  EXPECT_FALSE(l.Failed());
}

TEST(MemoryLoad, FloorKeepsTheCallerChunksOpen) {
  MemorySave s;
  s.BeginChunk(1);
  s.BeginChunk(2);
  s.EndChunk();
  s.EndChunk();
  MemoryLoad l(s.Bytes());
  ASSERT_EQ(l.OpenChunk(), IO_OK);
  l.SetFloor(1);
  ASSERT_EQ(l.OpenChunk(), IO_OK);
  EXPECT_EQ(l.CloseChunk(), IO_OK);
  EXPECT_EQ(l.CloseChunk(), IO_ERROR);
  EXPECT_EQ(l.Depth(), 1);
}

TEST(MemoryLoad, StartsAfterAFileHeader) {
  MemorySave s;
  const char magic[4] = {'A', 'B', 'C', 'D'};
  ASSERT_EQ(s.WriteRaw(magic, 4), IO_OK);
  s.BeginChunk(7);
  s.EndChunk();
  MemoryLoad l(s.Bytes(), 4);
  ASSERT_EQ(l.OpenChunk(), IO_OK);
  EXPECT_EQ(l.CurChunkID(), 7);
}

// Records the order in which callbacks ran.
class Recorder : public PostLoadCallback {
 public:
  Recorder(std::vector<std::string>& log, std::string name, int priority)
      : log_(log), name_(std::move(name)), priority_(priority) {}
  void proc(ILoad*) override { log_.push_back(name_); }
  int Priority() override { return priority_; }

 private:
  std::vector<std::string>& log_;
  std::string name_;
  int priority_;
};

// Allocated for one load; frees itself at the end of proc, as the map's does.
class SelfDeleting : public PostLoadCallback {
 public:
  explicit SelfDeleting(std::vector<std::string>& log) : log_(log) {}
  void proc(ILoad*) override {
    log_.push_back("self");
    delete this;
  }

 private:
  std::vector<std::string>& log_;
};

TEST(PostLoadCallbacks, RunByPriorityLowFirstStableOnTies) {
  std::vector<std::string> log;
  Recorder a(log, "a5", 5), b(log, "b0", 0), c(log, "c10", 10), d(log, "d5", 5), e(log, "e0", 0);
  MemoryLoad l(std::span<const std::uint8_t>{});
  for (PostLoadCallback* cb : {static_cast<PostLoadCallback*>(&a), static_cast<PostLoadCallback*>(&b),
                               static_cast<PostLoadCallback*>(&c), static_cast<PostLoadCallback*>(&d),
                               static_cast<PostLoadCallback*>(&e)}) {
    l.RegisterPostLoadCallback(cb);
  }
  l.RegisterPostLoadCallback(new SelfDeleting(log));  // default priority 5
  l.RunPostLoadCallbacks();
  EXPECT_EQ(log, (std::vector<std::string>{"b0", "e0", "a5", "d5", "self", "c10"}));
  EXPECT_EQ(l.PendingPostLoadCallbacks(), 0u);
  l.RunPostLoadCallbacks();  // each runs once
  EXPECT_EQ(log.size(), 6u);
}

TEST(PostLoadCallbacks, OneRegisteredDuringARunRunsAfterTheCurrentBatch) {
  std::vector<std::string> log;
  Recorder late(log, "late", 0);
  struct Chain : PostLoadCallback {
    Recorder* next;
    std::vector<std::string>* log;
    void proc(ILoad* l) override {
      log->push_back("chain");
      l->RegisterPostLoadCallback(next);
    }
  } chain;
  chain.next = &late;
  chain.log = &log;
  Recorder last(log, "last", 9);
  MemoryLoad l(std::span<const std::uint8_t>{});
  l.RegisterPostLoadCallback(&chain);
  l.RegisterPostLoadCallback(&last);
  l.RunPostLoadCallbacks();
  EXPECT_EQ(log, (std::vector<std::string>{"chain", "last", "late"}));
}

TEST(Files, AtomicWriteThenBoundedRead) {
  const std::string path = testing::TempDir() + "iosave_test.bin";
  const Bytes data = {1, 2, 3, 4, 5};
  std::string err;
  ASSERT_TRUE(WriteFileAtomically(path, data, &err)) << err;
  Bytes back;
  ASSERT_TRUE(ReadWholeFile(path, 5, back, &err)) << err;
  EXPECT_EQ(back, data);
  EXPECT_FALSE(ReadWholeFile(path, 4, back, &err));
  EXPECT_TRUE(back.empty());
  EXPECT_NE(err.find("larger than"), std::string::npos);
  EXPECT_FALSE(ReadWholeFile(path + ".missing", 100, back, &err));
  EXPECT_FALSE(WriteFileAtomically("/nonexistent-dir/x.bin", data, &err));
  std::remove(path.c_str());
}

}  // namespace
}  // namespace tessary::host
