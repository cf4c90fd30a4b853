// The base-class chunks of materials and maps.
#include <gtest/gtest.h>

#include "host/sdk/iosave.h"
#include "host/sdk/mtl.h"
#include "tests/host/test_objects.h"

namespace tessary::host {
namespace {

using testing::ColorMap;

std::vector<std::uint8_t> SaveInChunk(MtlBase& m, IOResult* result) {
  MemorySave save;
  save.BeginChunk(0x4000);
  *result = m.Save(&save);
  save.EndChunk();
  EXPECT_EQ(save.Status(), IO_OK) << save.ErrorMessage();
  return save.Bytes();
}

TEST(MtlBaseChunks, NameAndGBufferIDRoundTrip) {
  const char* names[] = {"", "Map #1", "a name with \xC3\xA9 and spaces"};
  for (const char* name : names) {
    ColorMap src{AColor()};
    src.SetName(name);
    src.SetGBufID(-7);
    IOResult saved = IO_ERROR;
    const auto bytes = SaveInChunk(src, &saved);
    EXPECT_EQ(saved, IO_OK);

    MemoryLoad load(bytes);
    ASSERT_EQ(load.OpenChunk(), IO_OK);
    ColorMap dst{AColor()};
    dst.SetName("old");
    EXPECT_EQ(dst.Load(&load), IO_OK) << name;
    EXPECT_EQ(dst.GetName(), name);
    EXPECT_EQ(dst.GetGBufID(), -7);
    EXPECT_EQ(load.CloseChunk(), IO_OK);
  }
}

TEST(MtlBaseChunks, UnknownChunksAreSkippedAndMissingOnesLeaveTheField) {
  MemorySave save;
  save.BeginChunk(0x4000);
  save.BeginChunk(0x0999);
  WriteU32(&save, 5);
  save.EndChunk();
  save.BeginChunk(MtlBase::MTLBASE_GBUFID_CHUNK);
  WriteI32(&save, 12);
  save.EndChunk();
  save.EndChunk();
  MemoryLoad load(save.Bytes());
  ASSERT_EQ(load.OpenChunk(), IO_OK);
  ColorMap dst{AColor()};
  dst.SetName("kept");
  EXPECT_EQ(dst.Load(&load), IO_OK);
  EXPECT_EQ(dst.GetName(), "kept");
  EXPECT_EQ(dst.GetGBufID(), 12);
}

TEST(MtlBaseChunks, ShortGBufferChunkIsAnError) {
  MemorySave save;
  save.BeginChunk(0x4000);
  save.BeginChunk(MtlBase::MTLBASE_GBUFID_CHUNK);
  const std::uint8_t two[2] = {1, 2};
  save.Write(two, 2, nullptr);
  save.EndChunk();
  save.EndChunk();
  MemoryLoad load(save.Bytes());
  ASSERT_EQ(load.OpenChunk(), IO_OK);
  ColorMap dst{AColor()};
  dst.SetGBufID(3);
  EXPECT_EQ(dst.Load(&load), IO_ERROR);
  EXPECT_EQ(dst.GetGBufID(), 3);
}

}  // namespace
}  // namespace tessary::host
