#include "host/runtime/scene_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "host/sdk/iosave.h"
#include "host/sdk/iparamb2.h"
#include "tests/host/scene_test_classes.h"

namespace tessary::host {
namespace {

using testing_scene::CallbackLog;
using testing_scene::Holder;
using testing_scene::holderBlock;
using testing_scene::Node;
using namespace testing_scene::holder_params;
using Bytes = std::vector<std::uint8_t>;

// A scene written by hand from the documented layout, independent of the
// writer, so the tests pin the format and can describe broken files.
struct ObjectLayout {
  std::int32_t value = 0;
  std::int32_t slots = 0;
  std::string label;
  std::uint32_t classA = Node::kClassID.PartA();
  std::uint32_t sclass = REF_TARGET_CLASS_ID;
};
struct SceneLayout {
  std::vector<ObjectLayout> objects;
  std::vector<std::vector<std::int32_t>> refs;
  std::int64_t count = -1;  // -1: the number of objects
  std::int32_t root = 0;
  std::uint32_t version = kSceneVersion;
  bool objectTable = true;
  bool referenceTable = true;
  std::uint32_t padding = 0;  // bytes of an unknown top-level chunk written first
};

Bytes Build(const SceneLayout& layout) {
  MemorySave s;
  std::uint8_t h[kSceneHeaderSize];
  std::memcpy(h, kSceneMagic, 8);
  PutLE32(h + 8, layout.version);
  PutLE32(h + 12, static_cast<std::uint32_t>(layout.count < 0 ? static_cast<std::int64_t>(layout.objects.size())
                                                             : layout.count));
  PutLE32(h + 16, static_cast<std::uint32_t>(layout.root));
  s.WriteRaw(h, sizeof h);
  if (layout.padding > 0) {
    s.BeginChunk(0x0777);
    const std::vector<std::uint8_t> zeros(layout.padding, 0);
    ULONG n = 0;
    s.Write(zeros.data(), layout.padding, &n);
    s.EndChunk();
  }
  if (layout.objectTable) {
    s.BeginChunk(kSceneObjectTableChunk);
    for (const ObjectLayout& o : layout.objects) {
      s.BeginChunk(kSceneObjectChunk);
      s.BeginChunk(kSceneClassChunk);
      WriteU32(&s, o.sclass);
      WriteU32(&s, o.classA);
      WriteU32(&s, Node::kClassID.PartB());
      s.EndChunk();
      s.BeginChunk(kSceneObjectDataChunk);
      s.BeginChunk(Node::kValueChunk);
      WriteI32(&s, o.value);
      WriteI32(&s, o.slots);
      s.EndChunk();
      s.BeginChunk(Node::kLabelChunk);
      s.WriteCString(o.label.c_str());
      s.EndChunk();
      s.EndChunk();
      s.EndChunk();
    }
    s.EndChunk();
  }
  if (layout.referenceTable) {
    s.BeginChunk(kSceneReferenceTableChunk);
    for (const auto& list : layout.refs) {
      s.BeginChunk(kSceneReferencesChunk);
      WriteU32(&s, static_cast<std::uint32_t>(list.size()));
      for (std::int32_t i : list) WriteI32(&s, i);
      s.EndChunk();
    }
    s.EndChunk();
  }
  EXPECT_EQ(s.Status(), IO_OK);
  return s.Bytes();
}

Node* MakeNode(std::int32_t value, std::string label, int slots) {
  auto* n = new Node;
  n->value = value;
  n->label = std::move(label);
  n->slots.assign(static_cast<std::size_t>(slots), nullptr);
  return n;
}

Node* AsNode(ReferenceTarget* t) { return dynamic_cast<Node*>(t); }

// A holder whose block differs from the defaults everywhere, with an
// owner-held map and one of the block's own maps.
Holder* EditedHolder() {
  auto* h = new Holder;
  IParamBlock2* pb = h->pblock();
  pb->SetCount(kFlags, 3);
  pb->SetValue(kFlags, 0, 0, 1);
  pb->SetValue(kAmount, 0, -2.5f, 0);
  pb->SetValue(kColors, 0, Color(0.1f, 0.2f, 0.3f), 1);
  pb->SetValue(kNames, 0, "zero", 0);  // entry 1 is never set
  pb->SetValue(kGamma, 0, 2.2f);
  pb->SetValue(kMaps, 0, MakeNode(0, "map", 0), 1);     // the holder's reference 2
  pb->SetValue(kOwnMaps, 0, MakeNode(0, "own", 0), 0);  // the block's own reference 0
  return h;
}

class SceneFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CallbackLog().clear();
    liveBefore_ = Node::live;
  }
  void TearDown() override { EXPECT_EQ(Node::live, liveBefore_) << "nodes leaked or deleted twice"; }

  // A: slots [B, null, C]; B: [C]; C: []. C is shared.
  Node* SharedGraph() {
    Node* a = MakeNode(1, "A", 3);
    Node* b = MakeNode(2, "B", 1);
    Node* c = MakeNode(3, "C", 0);
    a->ReplaceReference(0, b);
    a->ReplaceReference(2, c);
    b->ReplaceReference(0, c);
    return a;
  }

  testing_scene::RegisteredNodes registered_;
  int liveBefore_ = 0;
};

TEST_F(SceneFileTest, WriterOutputMatchesTheDocumentedLayout) {
  Node* a = SharedGraph();
  Bytes written;
  std::string err;
  ASSERT_EQ(WriteScene(a, written, &err), IO_OK) << err;
  // Objects numbered breadth first from the root, each once.
  SceneLayout layout;
  layout.objects = {{1, 3, "A"}, {2, 1, "B"}, {3, 0, "C"}};
  layout.refs = {{1, -1, 2}, {2}, {}};
  EXPECT_EQ(written, Build(layout));
  a->DeleteThis();
}

TEST_F(SceneFileTest, RoundTripKeepsSharedTargetsAndNullReferences) {
  Node* a = SharedGraph();
  Bytes bytes;
  std::string err;
  ASSERT_EQ(WriteScene(a, bytes, &err), IO_OK) << err;
  a->DeleteThis();

  Node* root = AsNode(ReadScene(bytes, &err));
  ASSERT_NE(root, nullptr) << err;
  EXPECT_EQ(root->label, "A");
  EXPECT_EQ(root->value, 1);
  ASSERT_EQ(root->slots.size(), 3u);
  Node* b = AsNode(root->slots[0]);
  Node* c = AsNode(root->slots[2]);
  ASSERT_NE(b, nullptr);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(root->slots[1], nullptr);
  EXPECT_EQ(b->label, "B");
  EXPECT_EQ(c->label, "C");
  EXPECT_EQ(b->slots[0], c) << "a shared target is one object after loading";
  EXPECT_EQ(c->NumDependents(), 2);
  // Both filled slots went through SetReference; the null one was null already.
  EXPECT_EQ(root->setReferenceCalls, 2);
  EXPECT_EQ(Node::live, liveBefore_ + 3);
  root->DeleteThis();
}

// The scene's own properties: appended after the tables when there are
// any (a scene without them keeps its bytes), read back in order; a file
// without them has none. A property that is not a name, a NUL and a value
// is refused, when writing and when reading.
TEST_F(SceneFileTest, PropertiesRoundTripAndBadOnesAreRefused) {
  Node* a = SharedGraph();
  Bytes plain, with;
  std::string err;
  const SceneProperties properties = {{"workingColorspace", "linear"}, {"empty", ""}};
  ASSERT_EQ(WriteScene(a, plain, &err), IO_OK) << err;
  ASSERT_EQ(WriteScene(a, with, &err, properties), IO_OK) << err;
  ASSERT_GT(with.size(), plain.size());
  EXPECT_EQ(Bytes(with.begin(), with.begin() + static_cast<std::ptrdiff_t>(plain.size())), plain);
  for (const auto& [name, bad] : std::vector<std::pair<const char*, SceneProperty>>{
           {"empty name", {"", "v"}},
           {"NUL in the name", {std::string("a\0b", 3), "v"}},
           {"long value", {"n", std::string(kMaxScenePropertyBytes + 1, 'x')}}}) {
    Bytes out;
    EXPECT_EQ(WriteScene(a, out, &err, {bad}), IO_ERROR) << name;
    EXPECT_NE(err.find("cannot be saved"), std::string::npos) << name << ": " << err;
    EXPECT_TRUE(out.empty()) << name;
  }
  a->DeleteThis();

  for (const auto& [bytes, want] : {std::pair{plain, SceneProperties{}}, std::pair{with, properties}}) {
    SceneProperties got = {{"stale", "value"}};
    ReferenceTarget* root = ReadScene(bytes, &err, {}, &got);
    ASSERT_NE(root, nullptr) << err;
    EXPECT_EQ(got, want);
    root->DeleteThis();
  }

  const struct {
    const char* name;
    std::string payload;
    const char* message;
  } bad[] = {{"no NUL", "name", "a scene property needs a name of 1 to"},
             {"empty name", std::string("\0value", 6), "a scene property needs a name of 1 to"},
             {"too long", std::string(2 * kMaxScenePropertyBytes + 2, 'x'), "is not a name and a value"}};
  for (const auto& c : bad) {
    MemorySave s;
    s.WriteRaw(plain.data(), plain.size());
    s.BeginChunk(kScenePropertiesChunk);
    s.BeginChunk(kScenePropertyChunk);
    ULONG n = 0;
    s.Write(c.payload.data(), static_cast<ULONG>(c.payload.size()), &n);
    s.EndChunk();
    s.EndChunk();
    EXPECT_EQ(ReadScene(s.Bytes(), &err), nullptr) << c.name;
    EXPECT_NE(err.find(c.message), std::string::npos) << c.name << ": " << err;
  }
  EXPECT_EQ(Node::live, liveBefore_);
}

TEST_F(SceneFileTest, CyclesAndSelfReferencesRoundTrip) {
  Node* a = MakeNode(1, "A", 2);
  Node* b = MakeNode(2, "B", 1);
  a->ReplaceReference(0, b);
  b->ReplaceReference(0, a);  // A -> B -> A
  a->ReplaceReference(1, a);  // A -> A
  Bytes bytes;
  std::string err;
  ASSERT_EQ(WriteScene(a, bytes, &err), IO_OK) << err;
  EXPECT_EQ(GetLE32(bytes.data() + 12), 2u);
  DeleteGraph(a);
  EXPECT_EQ(Node::live, liveBefore_) << "DeleteGraph frees a cycle";

  Node* root = AsNode(ReadScene(bytes, &err));
  ASSERT_NE(root, nullptr) << err;
  Node* lb = AsNode(root->slots[0]);
  ASSERT_NE(lb, nullptr);
  EXPECT_EQ(lb->slots[0], root);
  EXPECT_EQ(root->slots[1], root);
  DeleteGraph(root);
}

TEST_F(SceneFileTest, PostLoadCallbacksRunAfterReferencesInPriorityOrder) {
  Node* a = MakeNode(1, "A", 2);
  Node* b = MakeNode(2, "B", 0);
  Node* c = MakeNode(3, "C", 0);
  a->ReplaceReference(0, b);
  a->ReplaceReference(1, c);
  a->callbackPriority = 5;
  b->callbackPriority = 7;
  c->callbackPriority = 0;
  Bytes bytes;
  std::string err;
  ASSERT_EQ(WriteScene(a, bytes, &err), IO_OK) << err;
  a->DeleteThis();
  ReferenceTarget* root = ReadScene(bytes, &err);
  ASSERT_NE(root, nullptr) << err;
  // C (0) before A (5) before B (7); A's two slots are filled by then.
  EXPECT_EQ(CallbackLog(), (std::vector<std::string>{"C:0:0", "A:5:2", "B:7:0"}));
  root->DeleteThis();
}

// A post-load step that drops a reference can leave objects that only keep
// one another alive (a self reference, a cycle); the reader frees them, and
// keeps what is still reachable from the root.
TEST_F(SceneFileTest, ObjectsAPostLoadStepCutsOffAreFreed) {
  struct Case {
    const char* name;
    bool stillShared;  // the root also references B from a second slot
    int liveAfterLoad;
  };
  for (const Case& c : {Case{"cut off", false, 2}, Case{"still referenced", true, 4}}) {
    SCOPED_TRACE(c.name);
    Node* a = MakeNode(1, "A", 3);
    Node* b = MakeNode(2, "B", 2);
    Node* d = MakeNode(3, "D", 1);
    a->ReplaceReference(0, b);
    a->ReplaceReference(1, MakeNode(4, "C", 0));
    if (c.stillShared) a->ReplaceReference(2, b);
    b->ReplaceReference(0, b);  // B -> B
    b->ReplaceReference(1, d);  // B -> D -> B
    d->ReplaceReference(0, b);
    a->releaseSlot = 0;
    Bytes bytes;
    std::string err;
    ASSERT_EQ(WriteScene(a, bytes, &err), IO_OK) << err;
    DeleteGraph(a);
    ASSERT_EQ(Node::live, liveBefore_);

    Node* root = AsNode(ReadScene(bytes, &err));
    ASSERT_NE(root, nullptr) << err;
    EXPECT_EQ(root->slots[0], nullptr);
    EXPECT_EQ(Node::live, liveBefore_ + c.liveAfterLoad);
    DeleteGraph(root);
    EXPECT_EQ(Node::live, liveBefore_);
  }
}

// The hold keeps released objects alive until it ends, then frees those
// the root no longer reaches, cycles included; a map moved elsewhere stays.
TEST_F(SceneFileTest, GraphHoldFreesWhatTheRootNoLongerReaches) {
  Node* a = MakeNode(1, "A", 2);
  Node* b = MakeNode(2, "B", 2);
  Node* c = MakeNode(3, "C", 1);
  Node* d = MakeNode(4, "D", 0);
  a->ReplaceReference(0, b);
  a->ReplaceReference(1, d);
  b->ReplaceReference(0, b);  // B -> B
  b->ReplaceReference(1, c);  // B -> C -> B
  c->ReplaceReference(0, b);
  {
    GraphHold hold(a);
    a->ReplaceReference(0, nullptr);  // cuts off B and C
    a->ReplaceReference(1, nullptr);  // D has no dependent left, but is held
    EXPECT_EQ(Node::live, liveBefore_ + 4);
    a->ReplaceReference(0, d);  // D back under the root
  }
  EXPECT_EQ(Node::live, liveBefore_ + 2);
  EXPECT_EQ(a->slots[0], d);
  EXPECT_EQ(Reachable(a), (std::vector<ReferenceTarget*>{a, d}));

  // A cut-off object that a maker outside the graph references is that
  // maker's, with what it reaches.
  Node* e = MakeNode(5, "E", 1);
  Node* f = MakeNode(6, "F", 0);
  a->ReplaceReference(1, e);
  e->ReplaceReference(0, f);
  Node outside;
  outside.slots.assign(1, nullptr);
  outside.ReplaceReference(0, e);
  {
    GraphHold hold(a);
    a->ReplaceReference(1, nullptr);
  }
  EXPECT_EQ(Node::live, liveBefore_ + 5);  // A, D, E, F and the outside maker
  EXPECT_EQ(e->slots[0], f);
  outside.ReplaceReference(0, nullptr);  // E, then F, go with it
  EXPECT_EQ(Node::live, liveBefore_ + 3);
  DeleteGraph(a);
}

TEST_F(SceneFileTest, BadFilesGiveClearErrorsAndLeakNothing) {
  const SceneLayout good = [] {
    SceneLayout s;
    s.objects = {{1, 2, "A"}, {2, 0, "B"}};
    s.refs = {{1, -1}, {}};
    return s;
  }();
  struct Case {
    const char* name;
    Bytes bytes;
    const char* message;  // a part of the expected error text
  };
  std::vector<Case> cases;
  auto with = [&](const char* name, auto change, const char* message) {
    SceneLayout s = good;
    change(s);
    cases.push_back({name, Build(s), message});
  };
  {
    Bytes b = Build(good);
    b[1] = 'X';
    cases.push_back({"bad magic", b, "bad magic"});
  }
  cases.push_back({"header cut short", Bytes(kSceneMagic, kSceneMagic + 8), "truncated"});
  with("later version", [](SceneLayout& s) { s.version = 2; }, "unsupported scene file version 2");
  with("no objects", [](SceneLayout& s) { s.count = 0; }, "no objects");
  with("count beyond the file", [](SceneLayout& s) { s.count = 0xFFFFFFFFll; },
       "larger than the file can hold");
  with("count above the table", [](SceneLayout& s) { s.count = 3; }, "holds 2 objects, the header gives 3");
  with("count below the table", [](SceneLayout& s) { s.count = 1; }, "more objects than the 1");
  with("root out of range", [](SceneLayout& s) { s.root = 2; }, "root index 2");
  with("negative root", [](SceneLayout& s) { s.root = -1; }, "root index -1");
  with("unknown class", [](SceneLayout& s) { s.objects[1].classA = 0x12345678; },
       "unknown class: super class 0x00000101, class (0x12345678, 0x00000001)");
  with("unknown super class", [](SceneLayout& s) { s.objects[1].sclass = 0xC10; }, "unknown class");
  with("reference index too high", [](SceneLayout& s) { s.refs[0][1] = 2; },
       "reference 1 points to object 2, outside 0..1");
  with("reference index below -1", [](SceneLayout& s) { s.refs[0][1] = -2; }, "points to object -2");
  with("more references than slots", [](SceneLayout& s) { s.refs[1] = {-1, -1, -1}; },
       "has 3 references in the file but takes 0");
  with("unreachable object", [](SceneLayout& s) { s.refs[0] = {-1, -1}; }, "object 1 is not reachable");
  with("missing reference entry", [](SceneLayout& s) { s.refs.pop_back(); }, "1 entries for 2 objects");
  with("no object table",
       [](SceneLayout& s) {
         s.objectTable = false;
         s.padding = 200;
       },
       "no object table");
  with("unknown top-level chunk is skipped, object fails later",
       [](SceneLayout& s) {
         s.padding = 16;
         s.objects[0].value = testing_scene::kFailingValue;
       },
       "object 0 (Node) could not be loaded");
  with("no reference table", [](SceneLayout& s) { s.referenceTable = false; }, "no reference table");
  with("object fails to load", [](SceneLayout& s) { s.objects[1].value = testing_scene::kFailingValue; },
       "object 1 (Node) could not be loaded");
  {
    Bytes b = Build(good);
    // The reference count of object 0 claims a thousand entries.
    const Bytes needle = {0x11, 0x00, 0x00, 0x00, 12, 0, 0, 0, 2, 0, 0, 0};
    auto it = std::search(b.begin(), b.end(), needle.begin(), needle.end());
    ASSERT_NE(it, b.end());
    PutLE32(&*(it + 8), 1000);
    cases.push_back({"reference count lies", b, "count 1000 does not match the 8 bytes"});
  }
  {
    Bytes b = Build(good);
    PutLE32(b.data() + kSceneHeaderSize + 4, 0x7FFFFFFF);  // object table's length
    cases.push_back({"chunk longer than the file", b, "malformed scene file"});
  }
  for (const Case& c : cases) {
    std::string err;
    ReferenceTarget* root = ReadScene(c.bytes, &err);
    EXPECT_EQ(root, nullptr) << c.name;
    if (root) root->DeleteThis();
    EXPECT_NE(err.find(c.message), std::string::npos) << c.name << ": got \"" << err << "\"";
    EXPECT_EQ(Node::live, liveBefore_) << c.name;
  }
}

TEST_F(SceneFileTest, EveryTruncationAndByteFlipFailsCleanlyOrLoads) {
  Node* a = SharedGraph();
  a->callbackPriority = 3;
  Bytes bytes;
  std::string err;
  ASSERT_EQ(WriteScene(a, bytes, &err), IO_OK) << err;
  a->DeleteThis();
  for (std::size_t len = 0; len < bytes.size(); ++len) {
    ReferenceTarget* root = ReadScene(std::span(bytes.data(), len), &err);
    EXPECT_EQ(root, nullptr) << "prefix of " << len << " bytes";
    if (root) root->DeleteThis();
    ASSERT_EQ(Node::live, liveBefore_) << "prefix of " << len << " bytes";
  }
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    Bytes flipped = bytes;
    flipped[i] ^= 0xFF;
    err.clear();
    ReferenceTarget* root = ReadScene(flipped, &err);
    if (root) {
      DeleteGraph(root);
    } else {
      EXPECT_FALSE(err.empty()) << "byte " << i;
    }
    ASSERT_EQ(Node::live, liveBefore_) << "byte " << i;
  }
}

TEST_F(SceneFileTest, FailedLoadStillRunsRegisteredCallbacksOnce) {
  // A registers a callback while loading; B, loaded after it, fails.
  Node* a = MakeNode(1, "A", 1);
  Node* b = MakeNode(testing_scene::kFailingValue, "B", 0);
  a->ReplaceReference(0, b);
  a->callbackPriority = 4;
  Bytes bytes;
  std::string err;
  ASSERT_EQ(WriteScene(a, bytes, &err), IO_OK) << err;
  a->DeleteThis();
  EXPECT_EQ(ReadScene(bytes, &err), nullptr);
  EXPECT_EQ(CallbackLog(), (std::vector<std::string>{"A:4:0:failed"}));
}

TEST_F(SceneFileTest, WriterReportsObjectsThatCannotBeSaved) {
  struct Case {
    const char* name;
    bool failSave;
    bool leaveOpen;
    const char* message;
  };
  const Case cases[] = {
      {"Save fails", true, false, "object 1 (Node) could not be saved"},
      {"chunk left open", false, true, "object 1 (Node) left its chunks unbalanced"},
  };
  for (const Case& c : cases) {
    Node* a = MakeNode(1, "A", 1);
    Node* b = MakeNode(2, "B", 0);
    a->ReplaceReference(0, b);
    b->failSave = c.failSave;
    b->leaveChunkOpen = c.leaveOpen;
    Bytes out = {1, 2, 3};
    std::string err;
    EXPECT_EQ(WriteScene(a, out, &err), IO_ERROR) << c.name;
    EXPECT_TRUE(out.empty()) << c.name;
    EXPECT_NE(err.find(c.message), std::string::npos) << c.name << ": " << err;
    a->DeleteThis();
  }
  Bytes out;
  std::string err;
  EXPECT_EQ(WriteScene(nullptr, out, &err), IO_ERROR);
}

TEST_F(SceneFileTest, FilesRoundTripAndBadPathsReportErrors) {
  const std::string path = ::testing::TempDir() + "scene_file_test.tsy";
  Node* a = SharedGraph();
  std::string err;
  ASSERT_EQ(SaveSceneFile(path, a, &err), IO_OK) << err;
  a->DeleteThis();
  Node* root = AsNode(LoadSceneFile(path, &err));
  ASSERT_NE(root, nullptr) << err;
  EXPECT_EQ(root->label, "A");
  root->DeleteThis();
  std::remove(path.c_str());
  EXPECT_EQ(LoadSceneFile(path, &err), nullptr);
  EXPECT_NE(err.find("cannot open"), std::string::npos) << err;
}

TEST_F(SceneFileTest, ParameterBlockComesBackWithItsOwnerValuesAndMaps) {
  Holder* h = EditedHolder();
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

}  // namespace
}  // namespace tessary::host
