// Maps used in several places: one description, one map object and one
// definition in a file, however many places use them, and however deep the
// sharing goes.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "app/map_graph.h"
#include "app/scene_json.h"
#include "host/runtime/scene_file.h"
#include "tests/app/test_util.h"
#include "tests/app/tsy_builder.h"

namespace tessary::app::testing {
namespace {

bool Parse(const std::string& text, SceneDesc& scene, std::string& error) {
  return ParseSceneJson(text, "s.json", "", scene, error);
}

std::string Scene2(const std::string& root) {
  return "{\"format\": \"tessary-scene\", \"version\": 2, \"root\": " + root + "}";
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// A chain of `levels` layered maps, each using the next as the map and the
// mask of its top layer and as the map of its base; a checker at the end.
std::shared_ptr<MapDesc> Chain(int levels) {
  auto next = std::make_shared<MapDesc>();
  next->type = MapType::Checker;
  for (int i = 0; i < levels; ++i) {
    auto m = std::make_shared<MapDesc>();
    m->type = MapType::Layered;
    m->layers.resize(2);
    m->layers[0].map = next;
    m->layers[1].map = next;
    m->layers[1].mask = next;
    m->layers[1].mode = i % 34;
    next = m;
  }
  return next;
}

TEST(SharedMaps, AReferenceIsTheMapItNames) {
  const std::string text = Scene2(R"({"type": "tessary", "layers": [
      {"map": {"type": "bitmap", "id": "stone", "file": "stone.png", "tile": 2}},
      {"map": {"ref": "stone"}, "mask": {"type": "tessary", "id": "mix", "layers": [{"map": {"ref": "stone"}}]}},
      {"map": {"ref": "mix"}, "mask": {"ref": "mix"}}]})");
  SceneDesc scene;
  std::string error;
  ASSERT_TRUE(Parse(text, scene, error)) << error;
  const auto& l = scene.root->layers;
  ASSERT_EQ(l.size(), 3u);
  EXPECT_EQ(l[0].map->id, "stone");
  EXPECT_EQ(l[1].map, l[0].map);
  EXPECT_EQ(l[1].mask->layers[0].map, l[0].map);
  EXPECT_EQ(l[2].map, l[1].mask);
  EXPECT_EQ(l[2].mask, l[1].mask);

  // Written back: each map once, the rest references, and the same graph.
  const std::string written = WriteSceneJson(scene);
  EXPECT_NE(written.find("\"version\": 2,"), std::string::npos) << written;
  EXPECT_EQ(Count(written, "\"type\": \"bitmap\""), 1u) << written;
  EXPECT_EQ(Count(written, "\"ref\": \"stone\""), 2u) << written;
  EXPECT_EQ(Count(written, "\"ref\": \"mix\""), 2u) << written;
  SceneDesc again;
  ASSERT_TRUE(Parse(written, again, error)) << error << "\n" << written;
  EXPECT_TRUE(SameScene(*scene.root, *again.root));
  EXPECT_EQ(WriteSceneJson(again), written);
}

// The same values as Chain(levels), each use its own copy.
std::shared_ptr<MapDesc> Tree(int levels) {
  auto m = std::make_shared<MapDesc>();
  if (levels == 0) {
    m->type = MapType::Checker;
    return m;
  }
  m->type = MapType::Layered;
  m->layers.resize(2);
  m->layers[0].map = Tree(levels - 1);
  m->layers[1].map = Tree(levels - 1);
  m->layers[1].mask = Tree(levels - 1);
  m->layers[1].mode = (levels - 1) % 34;
  return m;
}

TEST(SharedMaps, SameSceneComparesTheSharing) {
  const SceneDesc shared{Chain(3)};
  EXPECT_TRUE(SameScene(*shared.root, *Chain(3)));
  EXPECT_FALSE(SameScene(*shared.root, *Tree(3))) << "equal values, different sharing";
  EXPECT_FALSE(SameScene(*Tree(3), *shared.root));
  SceneDesc back;
  std::string error;
  ASSERT_TRUE(Parse(WriteSceneJson(shared), back, error)) << error;
  EXPECT_TRUE(SameScene(*shared.root, *back.root));
  back.root->layers[1].mask->layers[1].mode = 5;  // the shared map changes everywhere it is used
  EXPECT_FALSE(SameScene(*shared.root, *back.root));
}

TEST(SharedMaps, BadIdsAndReferencesAreErrorsWhereTheyStand) {
  ExpectParseErrors({
      {Scene2(R"({"type": "tessary", "layers": [{"map": {"ref": "rock"}}]})"), "s.json:1:98: no map has the id \"rock\""},
      {Scene2(R"({"type": "tessary", "layers": [{"map": {"ref": "rock"}},
                 {"map": {"type": "constant", "id": "rock"}}]})"),
       "s.json:1:98: \"rock\" is defined further on (at 2:53); a map must be defined before a reference to it"},
      {Scene2(R"({"type": "tessary", "id": "top", "layers": [{"map": {"ref": "top"}}]})"),
       "s.json:1:111: \"top\" refers to a map that holds this reference (a cycle; \"top\" is defined at 1:77)"},
      {Scene2(R"({"type": "tessary", "layers": [{"map": {"type": "tessary", "id": "a",
                 "layers": [{"mask": {"type": "tessary", "layers": [{"map": {"ref": "a"}}]}}]}}]})"),
       "s.json:2:85: \"a\" refers to a map that holds this reference (a cycle; \"a\" is defined at 1:116)"},
      {Scene2(R"({"type": "tessary", "layers": [{"map": {"type": "constant", "id": "c"}},
                 {"map": {"type": "checker", "id": "c"}}]})"),
       "s.json:2:52: duplicate id \"c\" (first at 1:117)"},
      {Scene2(R"({"type": "tessary", "layers": [{"map": {"type": "constant", "id": "c"}},
                 {"map": {"ref": "c", "type": "constant"}}]})"),
       "s.json:2:39: a reference {\"ref\": ID} has no other fields (found \"type\")"},
      {Scene2(R"({"type": "tessary", "layers": [{"map": {"ref": 3}}]})"), "s.json:1:98: \"ref\" must be a string"},
      {Scene2(R"({"type": "tessary", "layers": [{"map": {"ref": "a\n\"b"}}]})"),
       "s.json:1:98: no map has the id \"a\\n\\\"b\""},  // one line, as the file writes it
      {Scene2(R"({"type": "constant", "id": ""})"), "s.json:1:78: \"id\" must not be empty"},
      {Scene2(R"({"type": "constant", "id": 7})"), "s.json:1:78: \"id\" must be a string"},
      {Scene(R"({"type": "constant", "id": "c"})"),
       "s.json:1:78: \"id\" (shared maps) needs version 2 of the scene format; this file says \"version\": 1"},
      {Scene(R"({"type": "tessary", "layers": [{"map": {"ref": "c"}}]})"), "s.json:1:98: \"ref\" (shared maps) needs"},
      {"{\"format\": \"tessary-scene\", \"version\": 3, \"root\": {\"type\": \"constant\"}}",
       "s.json:1:40: unsupported version 3 (this program reads versions 1 and 2)"},
  });
}

TEST(SharedMaps, ReferencesCountTowardsTheNestingLimit) {
  // Each layer's map uses the one before: short in the file, but the last
  // holds a chain of maps one longer than the one before it.
  auto scene = [](int layers) {
    std::string text = R"({"type": "tessary", "layers": [{"map": {"type": "constant", "id": "m0"}})";
    for (int i = 1; i < layers; ++i)
      text += R"(, {"map": {"type": "tessary", "id": "m)" + std::to_string(i) + R"(", "layers": [{"map": {"ref": "m)" +
              std::to_string(i - 1) + R"("}}]}})";
    return Scene2(text + "]}");
  };
  SceneDesc desc;
  std::string error;
  EXPECT_TRUE(Parse(scene(kMaxNesting - 1), desc, error)) << error;  // root + 63 maps
  EXPECT_FALSE(Parse(scene(kMaxNesting), desc, error));
  EXPECT_NE(error.find("maps nested more than 64 deep (counting the maps inside \"m62\")"), std::string::npos)
      << error;
}

TEST(SharedMaps, IdsComeFromNamesAndStayUnique) {
  auto map = [](MapType type, const char* name, const char* id = "") {
    auto m = std::make_shared<MapDesc>();
    m->type = type;
    m->name = name;
    m->id = id;
    return m;
  };
  auto root = map(MapType::Layered, "top");
  const auto a = map(MapType::Checker, "stone");
  const auto b = map(MapType::Checker, "stone");
  const auto c = map(MapType::Noise, "");
  const auto d = map(MapType::Constant, "", "stone-2");   // its own id, taken first
  const auto e = map(MapType::Constant, "x", "stone-2");  // the same id again: made anew
  const auto once = map(MapType::Gradient, "used once");
  root->layers.resize(5);
  root->layers[0].map = a;
  root->layers[0].mask = b;
  root->layers[1].map = c;
  root->layers[1].mask = d;
  root->layers[2].map = a;
  root->layers[2].mask = b;
  root->layers[3].map = c;
  root->layers[3].mask = e;
  root->layers[4].map = once;
  root->layers[4].mask = e;
  const auto ids = MapIds(*root);
  EXPECT_EQ(ids.size(), 5u);
  EXPECT_EQ(ids.at(a.get()), "stone");
  EXPECT_EQ(ids.at(b.get()), "stone-3");
  EXPECT_EQ(ids.at(c.get()), "noise");
  EXPECT_EQ(ids.at(d.get()), "stone-2");
  EXPECT_EQ(ids.at(e.get()), "x");
  EXPECT_FALSE(ids.count(once.get())) << "a map used once needs no id";
}

// Memory and time stay linear in the number of maps however deep the
// sharing goes: 2^40 paths would never finish, nor fit in memory.
TEST(SharedMaps, ADeepSharedChainIsOneObjectPerMap) {
  constexpr int kLevels = 40;
  SceneDesc scene{Chain(kLevels)};
  const std::string text = WriteSceneJson(scene);
  EXPECT_LT(text.size(), 400000u) << "each map once";
  EXPECT_EQ(Count(text, "\"type\": \"tessary\""), static_cast<std::size_t>(kLevels));
  SceneDesc read;
  std::string error;
  ASSERT_TRUE(Parse(text, read, error)) << error;
  EXPECT_TRUE(SameScene(*scene.root, *read.root));

  SceneGraph graph;
  ASSERT_TRUE(BuildGraph(*read.root, graph, error)) << error;
  std::set<host::Texmap*> maps;
  std::vector<host::Texmap*> todo{graph.root};
  while (!todo.empty()) {
    host::Texmap* t = todo.back();
    todo.pop_back();
    if (!t || !maps.insert(t).second) continue;
    for (int i = 0; i < t->NumSubTexmaps(); ++i) todo.push_back(t->GetSubTexmap(i));
  }
  EXPECT_EQ(maps.size(), static_cast<std::size_t>(kLevels + 1)) << "one map object per description";
  ASSERT_TRUE(CheckGraph(graph.root, error)) << error;
  const std::shared_ptr<MapDesc> described = DescribeGraph(graph.root, graph, error);
  ASSERT_NE(described, nullptr) << error;
  EXPECT_TRUE(SameScene(*read.root, *described)) << "the graph comes back with its sharing";
  EXPECT_EQ(WriteSceneJson(SceneDesc{described}), text);
}

// --- Through the program ----------------------------------------------------------

constexpr std::uint32_t kQuilboA = 0x9B340D4D;
constexpr std::uint32_t kQuilboB = 0xA443AC6A;

// A layered map of `layers` layers (version 4 chunk) with the given sub-map
// references (object indexes, -1 none), no parameter block.
TsyObject Layered(int layers, std::vector<std::int32_t> subs, std::int32_t mode = 0) {
  Bytes p;
  p.I32(layers);
  for (int i = 0; i < layers; ++i) p.I32(1).F32(100.0f).F32(0.5f).F32(0.5f).F32(0.5f).I32(1).I32(i ? mode : 0).I32(1);
  p.U8(0).U8(0).U8(0);
  for (int i = 0; i < 12; ++i) p.F32(i < 4 ? 1.0f : 0.0f);
  subs.insert(subs.begin(), -1);
  return {0xC10, kQuilboA, kQuilboB, DataChunk(0x4040, p.b), std::move(subs)};
}

TsyObject Constant() {
  Bytes p;
  p.F32(0.25f).F32(0.5f).F32(0.75f).F32(1.0f).F32(0.0f).F32(0.0f).F32(0.0f);
  return {0xC10, 0x54530001, 1, DataChunk(0x5000, p.b), {}};
}

void WriteBytes(const std::filesystem::path& p, const std::vector<std::uint8_t>& b) {
  WriteFile(p, std::string(b.begin(), b.end()));
}

TEST(SharedMaps, DeepSharedTsyIsShownAndConvertedOncePerMap) {
  // 28 levels, each using the next as the map and mask of its top layer and
  // as its base map: 3^28 uses, 29 maps. Before, info and convert walked
  // every use.
  constexpr int kLevels = 28;
  std::vector<TsyObject> objects;
  for (int i = 0; i < kLevels; ++i) objects.push_back(Layered(2, {i + 1, -1, i + 1, i + 1}, 1 + i % 33));
  objects.push_back(Constant());
  ScratchDir dir("shared-chain");
  WriteBytes(dir / "chain.tsy", TsyFile(objects));

  const RunResult info = RunProgram(dir, "info chain.tsy");
  ASSERT_EQ(info.exitCode, 0) << info.err;
  EXPECT_EQ(Count(info.out, "layer data chunk"), static_cast<std::size_t>(kLevels)) << "each map printed once";
  EXPECT_LT(info.out.size(), 2000u * kLevels);
  EXPECT_NE(info.out.find("map on  tessary (2 layers) [id \"tessary-2\"]; mask on  tessary (2 layers) [id \"tessary-2\"]"),
            std::string::npos)
      << info.out.substr(0, 2000);

  // .tsy -> JSON -> .tsy -> JSON -> .tsy: small, and stable from the first
  // file this program wrote.
  for (const char* step : {"convert chain.tsy a.json", "convert a.json b.tsy", "convert b.tsy c.json",
                           "convert c.json d.tsy"}) {
    const RunResult r = RunProgram(dir, step);
    ASSERT_EQ(r.exitCode, 0) << step << ": " << r.err;
  }
  const std::string json = ReadFile(dir / "a.json");
  EXPECT_LT(json.size(), 5000u * kLevels);
  EXPECT_EQ(Count(json, "\"type\": \"tessary\""), static_cast<std::size_t>(kLevels));
  EXPECT_EQ(Count(json, "\"ref\": "), static_cast<std::size_t>(2 * kLevels)) << "two of the three uses of each map";
  EXPECT_EQ(ReadFile(dir / "c.json"), json);
  EXPECT_EQ(ReadFile(dir / "d.tsy"), ReadFile(dir / "b.tsy"));
  EXPECT_LT(ReadFile(dir / "b.tsy").size(), 2000u * kLevels);
}

}  // namespace
}  // namespace tessary::app::testing
