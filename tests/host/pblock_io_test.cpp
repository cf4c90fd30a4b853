#include "host/pblock_io.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "host/iparamb2.h"
#include "host/scene_file.h"
#include "tests/host/scene_test_classes.h"

namespace tessary::host {
namespace {

using testing_scene::Holder;
using testing_scene::holderBlock;
using testing_scene::holderDesc;
using testing_scene::Node;
using namespace testing_scene::holder_params;
using Bytes = std::vector<std::uint8_t>;


class ParamBlockFileTest : public ::testing::Test {
 protected:
  void SetUp() override { liveBefore_ = Node::live; }
  void TearDown() override { EXPECT_EQ(Node::live, liveBefore_); }

  // A holder whose block differs from the defaults everywhere.
  Holder* Edited() {
    auto* h = new Holder;
    IParamBlock2* pb = h->pblock();
    pb->SetCount(kFlags, 3);
    pb->SetValue(kFlags, 0, 0, 1);
    pb->SetValue(kAmount, 0, -2.5f, 0);
    pb->SetValue(kColors, 0, Color(0.1f, 0.2f, 0.3f), 1);
    pb->SetValue(kNames, 0, "zero", 0);  // entry 1 is never set
    pb->SetValue(kGamma, 0, 2.2f);
    auto* node = new Node;
    node->label = "map";
    pb->SetValue(kMaps, 0, node, 1);      // owner-held: the holder's reference 2
    auto* own = new Node;
    own->label = "own";
    pb->SetValue(kOwnMaps, 0, own, 0);    // the block's own reference 0
    return h;
  }

  testing_scene::RegisteredNodes nodes_;
  int liveBefore_ = 0;
};

TEST_F(ParamBlockFileTest, BlockValuesOwnerAndMapsRoundTrip) {
  Holder* h = Edited();
  Bytes bytes;
  std::string err;
  ASSERT_EQ(WriteScene(h, bytes, &err), IO_OK) << err;
  DeleteGraph(h);

  auto* loaded = dynamic_cast<Holder*>(ReadScene(bytes, &err));
  ASSERT_NE(loaded, nullptr) << err;
  IParamBlock2* pb = loaded->pblock();
  ASSERT_NE(pb, nullptr);
  EXPECT_EQ(pb->GetOwner(), loaded);
  EXPECT_EQ(pb->GetDesc(), &holderBlock);
  EXPECT_EQ(pb->Count(kFlags), 3);
  EXPECT_EQ(pb->GetInt(kFlags, 0, 0), 1);
  EXPECT_EQ(pb->GetInt(kFlags, 0, 1), 0);
  EXPECT_EQ(pb->GetInt(kFlags, 0, 2), 1);
  EXPECT_EQ(pb->GetFloat(kAmount, 0, 0), -2.5f);
  EXPECT_EQ(pb->GetFloat(kAmount, 0, 1), 100.0f);
  const Color c = pb->GetColor(kColors, 0, 1);
  EXPECT_EQ(c.r, 0.1f);
  EXPECT_EQ(c.g, 0.2f);
  EXPECT_EQ(c.b, 0.3f);
  ASSERT_NE(pb->GetStr(kNames, 0, 0), nullptr);
  EXPECT_STREQ(pb->GetStr(kNames, 0, 0), "zero");
  EXPECT_EQ(pb->GetStr(kNames, 0, 1), nullptr) << "an entry never set stays unset";
  EXPECT_EQ(pb->GetFloat(kGamma), 2.2f);
  auto* map = dynamic_cast<Node*>(pb->GetReferenceTarget(kMaps, 0, 1));
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map->label, "map");
  EXPECT_EQ(loaded->refs[1], nullptr);
  auto* own = dynamic_cast<Node*>(pb->GetReferenceTarget(kOwnMaps, 0, 0));
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own->label, "own");
  DeleteGraph(loaded);
}

TEST_F(ParamBlockFileTest, BadBlocksGiveClearErrors) {
  Holder* h = Edited();
  Bytes good;
  std::string err;
  ASSERT_EQ(WriteScene(h, good, &err), IO_OK) << err;
  DeleteGraph(h);

  auto find = [&](const Bytes& b, std::initializer_list<std::uint8_t> needle) {
    auto it = std::search(b.begin(), b.end(), needle.begin(), needle.end());
    EXPECT_NE(it, b.end());
    return static_cast<std::size_t>(it - b.begin());
  };
  struct Case {
    const char* name;
    Bytes bytes;
    const char* message;
  };
  std::vector<Case> cases;
  {
    // The flags table (ID 1, bool table) claims a million entries.
    Bytes b = good;
    const std::size_t at = find(b, {1, 0, 0, 0, 0x04, 0x08, 0, 0, 3, 0, 0, 0});
    PutLE32(&b[at + 8], 1000000);
    cases.push_back({"table count beyond its chunk", b, "entry count 1000000 does not fit"});
  }
  {
    // The block record names block 9, which the holder's class lacks.
    Bytes b = good;
    const std::size_t at = find(b, {0x05, 0x00, 0x00, 0x00, 16, 0, 0, 0});
    PutLE32(&b[at + 8 + 12], 9);
    cases.push_back({"unknown block ID", b, "has no parameter block 9"});
  }
  {
    // The record names an owner class that is not registered.
    Bytes b = good;
    const std::size_t at = find(b, {0x05, 0x00, 0x00, 0x00, 16, 0, 0, 0});
    PutLE32(&b[at + 8 + 4], 0x0BADC1A5);
    cases.push_back({"unknown owner class", b, "owner class of a parameter block is unknown"});
  }
  {
    // A block whose record chunk was renamed: a block without its record.
    Bytes b = good;
    const std::size_t at = find(b, {0x05, 0x00, 0x00, 0x00, 16, 0, 0, 0});
    b[at] = 0x06;
    cases.push_back({"missing block record", b, "parameter block without its block record"});
  }
  for (const Case& c : cases) {
    ReferenceTarget* root = ReadScene(c.bytes, &err);
    EXPECT_EQ(root, nullptr) << c.name;
    if (root) DeleteGraph(root);
    EXPECT_NE(err.find(c.message), std::string::npos) << c.name << ": " << err;
  }
}

}  // namespace
}  // namespace tessary::host
