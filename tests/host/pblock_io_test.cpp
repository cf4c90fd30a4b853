// Parameter blocks in scene files.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "host/sdk/iosave.h"
#include "host/sdk/iparamm2.h"
#include "host/runtime/scene_file.h"
#include "host/runtime/class_directory.h"

namespace tessary::host {
namespace {

// An owner with its block at reference 0 and two map slots after it.
class IoOwner : public ReferenceTarget {
 public:
  explicit IoOwner(bool loading);
  Class_ID ClassID() override { return Class_ID(0xABC, 0xDEF); }
  SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
  int NumRefs() override { return 3; }
  RefTargetHandle GetReference(int i) override { return i >= 0 && i < 3 ? refs[i] : nullptr; }
  IParamBlock2* pblock() { return dynamic_cast<IParamBlock2*>(refs[0]); }
  RefTargetHandle refs[3] = {};

 protected:
  void SetReference(int i, RefTargetHandle t) override {
    if (i >= 0 && i < 3) refs[i] = t;
  }
};

class IoClassDesc : public ClassDesc2 {
 public:
  int IsPublic() override { return 0; }
  Animatable* Create(bool loading) override { return new IoOwner(loading); }
  const char* ClassName() override { return "IoOwner"; }
  SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
  Class_ID ClassID() override { return Class_ID(0xABC, 0xDEF); }
  const char* Category() override { return ""; }
};

IoClassDesc ioDesc;
ParamBlockDesc2 ioBlock(2, "io", 0, &ioDesc, 0, 0, {},
                        {
                            {.id = 0, .int_name = "maps", .type = TYPE_TEXMAP_TAB, .tabSize = 2,
                             .flags = P_VARIABLE_SIZE | P_OWNERS_REF, .ownerRefNo = 1},
                            {.id = 1, .int_name = "on", .type = TYPE_BOOL_TAB, .tabSize = 1, .defInt = 1},
                            {.id = 2, .int_name = "names", .type = TYPE_STRING_TAB, .tabSize = 1},
                            {.id = 3, .int_name = "tint", .type = TYPE_RGBA_TAB, .tabSize = 1},
                            {.id = 4, .int_name = "gain", .type = TYPE_FLOAT, .defFloat = 1.0f},
                        });

IoOwner::IoOwner(bool loading) {
  if (!loading) ReplaceReference(0, CreateParameterBlock2(&ioBlock, this));
}

struct Registered {
  Registered() { ClassDirectory::Instance().Register(&ioDesc); }
  ~Registered() { ClassDirectory::Instance().Unregister(&ioDesc); }
};

std::vector<std::uint8_t> Save(IParamBlock2& pb) {
  MemorySave save;
  save.BeginChunk(0x100);
  EXPECT_EQ(pb.Save(&save), IO_OK);
  save.EndChunk();
  return save.Bytes();
}

IOResult LoadInto(IParamBlock2& pb, const std::vector<std::uint8_t>& bytes, std::string* message = nullptr) {
  MemoryLoad load(bytes);
  EXPECT_EQ(load.OpenChunk(), IO_OK);
  const IOResult r = pb.Load(&load);
  if (message) *message = load.GetErrorMessage();
  return r;
}

TEST(ParamBlockChunks, CountsAndValuesRoundTripIntoABlockTheLoaderMade) {
  Registered reg;
  IParamBlock2 src(&ioBlock);
  src.SetCount(0, 6);
  src.SetCount(1, 3);
  src.SetValue(1, 0, 0, 2);
  src.SetCount(2, 2);
  src.SetValue(2, 0, "zero", 0);
  src.SetValue(3, 0, Color(0.25f, -1.0f, 3.5f), 0);
  src.SetValue(4, 0, 0.125f);
  const auto bytes = Save(src);

  Animatable* made = ClassDirectory::Instance().Create(PARAMETER_BLOCK2_CLASS_ID, Class_ID(PARAMETER_BLOCK2_CLASS_ID, 0));
  ASSERT_NE(made, nullptr);
  auto* dst = dynamic_cast<IParamBlock2*>(made);
  ASSERT_NE(dst, nullptr);
  EXPECT_EQ(dst->GetDesc(), nullptr);
  ASSERT_EQ(LoadInto(*dst, bytes), IO_OK);
  EXPECT_EQ(dst->GetDesc(), &ioBlock);
  EXPECT_EQ(dst->ID(), 2);
  EXPECT_EQ(dst->Count(0), 6);
  EXPECT_EQ(dst->Count(1), 3);
  EXPECT_EQ(dst->GetInt(1, 0, 0), 1);
  EXPECT_EQ(dst->GetInt(1, 0, 2), 0);
  EXPECT_STREQ(dst->GetStr(2, 0, 0), "zero");
  EXPECT_EQ(dst->GetStr(2, 0, 1), nullptr);  // never set stays unset
  EXPECT_EQ(dst->GetColor(3, 0, 0), Color(0.25f, -1.0f, 3.5f));
  EXPECT_EQ(dst->GetFloat(4), 0.125f);
  made->DeleteThis();
}

// Patches the saved bytes: walks the block's chunks inside the outer one,
// finds the parameter chunk of id and calls edit on the offset of its count
// field.
std::vector<std::uint8_t> Patched(std::vector<std::uint8_t> bytes, std::int32_t id,
                                  const std::function<void(std::vector<std::uint8_t>&, std::size_t)>& edit) {
  std::size_t at = kChunkHeaderSize;  // first chunk inside the outer container
  while (at + kChunkHeaderSize <= bytes.size()) {
    const std::size_t length = GetLE32(&bytes[at + 4]);
    const std::size_t payload = at + kChunkHeaderSize;
    if (GetLE16(&bytes[at]) == IParamBlock2::PB_PARAM_CHUNK &&
        static_cast<std::int32_t>(GetLE32(&bytes[payload])) == id) {
      edit(bytes, payload + 8);
      return bytes;
    }
    at = payload + length;
  }
  ADD_FAILURE() << "parameter chunk " << id << " not found";
  return bytes;
}

TEST(ParamBlockChunks, LyingCountsAndUnknownSchemasAreErrors) {
  Registered reg;
  IParamBlock2 src(&ioBlock);
  src.SetValue(2, 0, "abc", 0);
  const auto good = Save(src);

  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    const char* message;
  };
  const Case cases[] = {
      {"count beyond the limit",
       Patched(good, 0, [](auto& b, std::size_t at) { PutLE32(&b[at], kMaxParamTabCount + 1); }),
       "malformed parameter"},
      {"count beyond the chunk",
       Patched(good, 3, [](auto& b, std::size_t at) { PutLE32(&b[at], 1000); }), "malformed parameter"},
      {"negative count", Patched(good, 1, [](auto& b, std::size_t at) { PutLE32(&b[at], 0xFFFFFFFFu); }),
       "malformed parameter"},
      {"string longer than the chunk",
       Patched(good, 2, [](auto& b, std::size_t at) { PutLE32(&b[at + 5], 0x7FFFFFFF); }),
       "malformed parameter"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IParamBlock2 dst(nullptr);
    std::string message;
    EXPECT_EQ(LoadInto(dst, c.bytes, &message), IO_ERROR);
    EXPECT_NE(message.find(c.message), std::string::npos) << message;
    EXPECT_LE(dst.Count(0), kMaxParamTabCount);
  }

  ClassDirectory::Instance().Unregister(&ioDesc);
  IParamBlock2 orphan(nullptr);
  std::string message;
  EXPECT_EQ(LoadInto(orphan, good, &message), IO_ERROR);
  EXPECT_NE(message.find("no block 2 in class"), std::string::npos) << message;
  EXPECT_EQ(orphan.GetDesc(), nullptr);
  ClassDirectory::Instance().Register(&ioDesc);
}

// A plain target for the owner's map slots.
class Leaf : public ReferenceTarget {
 public:
  Class_ID ClassID() override { return Class_ID(0xABC, 0x1); }
  SClass_ID SuperClassID() override { return REF_TARGET_CLASS_ID; }
};

class LeafDesc : public ClassDesc2 {
 public:
  int IsPublic() override { return 0; }
  Animatable* Create(bool) override { return new Leaf(); }
  const char* ClassName() override { return "Leaf"; }
  SClass_ID SuperClassID() override { return REF_TARGET_CLASS_ID; }
  Class_ID ClassID() override { return Class_ID(0xABC, 0x1); }
  const char* Category() override { return ""; }
};

TEST(ParamBlockChunks, BlockTravelsThroughASceneFileAsItsOwnersReference) {
  Registered reg;
  LeafDesc leafDesc;
  ClassDirectory::Instance().Register(&leafDesc);
  auto* owner = new IoOwner(false);
  IParamBlock2* pb = owner->pblock();
  ASSERT_NE(pb, nullptr);
  pb->SetCount(2, 2);
  pb->SetValue(2, 0, "1", 1);
  pb->SetValue(0, 0, new Leaf(), 1);  // the owner's reference 2
  ASSERT_NE(owner->refs[2], nullptr);

  std::vector<std::uint8_t> bytes;
  std::string error;
  ASSERT_EQ(WriteScene(owner, bytes, &error), IO_OK) << error;
  ReferenceTarget* root = ReadScene(bytes, &error);
  ASSERT_NE(root, nullptr) << error;
  auto* loaded = dynamic_cast<IoOwner*>(root);
  ASSERT_NE(loaded, nullptr);
  IParamBlock2* lpb = loaded->pblock();
  ASSERT_NE(lpb, nullptr);
  EXPECT_EQ(lpb->GetDesc(), &ioBlock);
  EXPECT_EQ(lpb->GetOwner(), loaded);
  EXPECT_EQ(lpb->Count(2), 2);
  EXPECT_STREQ(lpb->GetStr(2, 0, 1), "1");
  EXPECT_NE(lpb->GetReferenceTarget(0, 0, 1), nullptr);
  EXPECT_EQ(lpb->GetReferenceTarget(0, 0, 1), loaded->refs[2]);

  DeleteGraph(root);
  owner->DeleteThis();
  ClassDirectory::Instance().Unregister(&leafDesc);
}

TEST(ParamBlockChunks, ParametersOfAnotherTypeAreSkipped) {
  Registered reg;
  IParamBlock2 src(&ioBlock);
  src.SetValue(4, 0, 7.0f);
  const auto bytes = Patched(Save(src), 4, [](auto& b, std::size_t at) { PutLE32(&b[at - 4], TYPE_INT); });
  IParamBlock2 dst(nullptr);
  EXPECT_EQ(LoadInto(dst, bytes), IO_OK);
  EXPECT_EQ(dst.GetFloat(4), 1.0f);  // the default stays
}

}  // namespace
}  // namespace tessary::host
