// Writes the seed corpora of the fuzz targets with the project's own writer:
//   make_seeds <dir>   ->  <dir>/scene/*, <dir>/map/*, <dir>/tsy/*  and  <dir>/json/*
// Scene seeds are whole scene files of small node graphs (shared targets,
// null slots, cycles, post-load callbacks, a parameter block). Map seeds are the map's own chunk
// streams in each of the four layer-data versions, laid out as
// docs/file-format.md describes. Tsy seeds (a build that links the map's
// objects) are scene files of layered maps as the map writes them, plus
// files of older layer data and of an empty stack made by hand. JSON seeds
// are scenes of every map type, version 1 and version 2 with shared maps
// (ids, references, a deep chain).

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "host/sdk/iosave.h"
#include "host/sdk/iparamb2.h"
#include "host/runtime/scene_file.h"
#include "tests/host/scene_test_classes.h"
#ifdef TESSARY_MAP_LINKED
#include "host/runtime/stdmap_classes.h"
#include "map/quilbo.h"
#include "tests/app/tsy_builder.h"
#endif

namespace {

using namespace tessary::host;
using testing_scene::Node;
using Bytes = std::vector<std::uint8_t>;

bool Put(const std::filesystem::path& path, const Bytes& bytes) {
  std::string error;
  if (!WriteFileAtomically(path.string(), bytes, &error)) {
    std::fprintf(stderr, "make_seeds: %s\n", error.c_str());
    return false;
  }
  return true;
}

Node* NewNode(std::int32_t value, const char* label, int slots, int priority = -1) {
  auto* n = new Node;
  n->value = value;
  n->label = label;
  n->slots.assign(static_cast<std::size_t>(slots), nullptr);
  n->callbackPriority = priority;
  return n;
}

bool SceneSeed(const std::filesystem::path& path, ReferenceTarget* root) {
  Bytes bytes;
  std::string error;
  const bool ok = WriteScene(root, bytes, &error) == IO_OK && Put(path, bytes);
  if (!error.empty()) std::fprintf(stderr, "make_seeds: %s\n", error.c_str());
  DeleteGraph(root);
  return ok;
}

// The map's chunks: base data, then layer data of one version.
Bytes MapSeed(int version, int layers, bool unknownChunk) {
  MemorySave s;
  s.BeginChunk(0x4000);
  s.BeginChunk(0x0100);
  s.WriteCString("Map #1");
  s.EndChunk();
  s.BeginChunk(0x0110);
  WriteI32(&s, 3);
  s.EndChunk();
  s.EndChunk();
  if (unknownChunk) {
    s.BeginChunk(0x4321);
    WriteU32(&s, 0xDEADBEEFu);
    s.EndChunk();
  }
  s.BeginChunk(static_cast<USHORT>(0x4000 + 0x10 * version));
  WriteI32(&s, layers);
  for (int i = 0; i < layers; ++i) {
    WriteI32(&s, 1);                                    // layer used
    WriteF32(&s, 100.0f - 25.0f * static_cast<float>(i));  // opacity
    WriteF32(&s, 0.25f * static_cast<float>(i));        // colour
    WriteF32(&s, 0.5f);
    WriteF32(&s, 0.75f);
    WriteI32(&s, i % 2);                                // map on
    WriteI32(&s, version == 1 ? 15 + i : 3 * i);        // blend mode
    if (version >= 2) WriteI32(&s, 1);                  // mask on
  }
  if (version == 3) {
    for (float f : {10.0f, 0.1f, -0.1f, 0.0f}) WriteF32(&s, f);
  }
  if (version == 4) {
    const std::uint8_t flags[3] = {1, 0, 1};
    ULONG n = 0;
    s.Write(flags, 3, &n);
    for (float f : {0.5f, 1.25f, 0.75f, 2.2f}) WriteF32(&s, f);
    for (float f : {10.0f, 0.1f, -0.1f, 0.0f, 0.1f, 0.2f, 0.3f, 0.0f}) WriteF32(&s, f);
  }
  s.EndChunk();
  return s.Bytes();
}

#ifdef TESSARY_MAP_LINKED
using tessary::Quilbo;

ConstantTex* Constant(float r, float g, float b) {
  auto* c = new ConstantTex();
  c->params.color = AColor(r, g, b, 1.0f);
  return c;
}

Quilbo* Layered(int layers) {
  auto* q = new Quilbo();
  q->SetNumLayers(layers);
  for (int i = 0; i < layers; ++i) {
    q->opacity[i] = 100.0f - 20.0f * static_cast<float>(i);
    q->blendMode[i] = (7 * i) % 34;
    q->layerColor[i] = Color(0.2f * static_cast<float>(i), 0.5f, 0.8f);
  }
  return q;
}

// A hand-made scene: a map with layer data of a version and the given
// references, its block (object 1) and constant maps (objects 2, 3, ...).
Bytes OlderSceneSeed(int version, int layers, std::vector<std::int32_t> refs, int constants) {
  using tessary::app::testing::ParamBlockObject;
  using tessary::app::testing::TsyObject;
  const Class_ID id = tessary::QUILBO_CLASS_ID;
  std::vector<TsyObject> objects{{TEXMAP_CLASS_ID, id.PartA(), id.PartB(), MapSeed(version, layers, false), refs},
                                 ParamBlockObject(TEXMAP_CLASS_ID, id.PartA(), id.PartB())};
  for (int k = 0; k < constants; ++k) {
    MemorySave p;
    p.BeginChunk(STDMAP_PARAMS_CHUNK);
    for (float f : {0.25f * static_cast<float>(k), 0.5f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f}) WriteF32(&p, f);
    p.EndChunk();
    objects.push_back({TEXMAP_CLASS_ID, CONSTANT_TEX_CLASS_ID.PartA(), CONSTANT_TEX_CLASS_ID.PartB(), p.Bytes(), {}});
  }
  return tessary::app::testing::TsyFile(objects);
}

bool TsySeeds(const std::filesystem::path& dir) {
  bool ok = SceneSeed(dir / "one_layer.tsy", new Quilbo());
  {
    Quilbo* q = Layered(3);
    q->SetSubTexmap(0, Constant(1, 0, 0));
    q->SetSubTexmap(1, new CheckerTex());
    q->SetSubTexmap(2, new GradientTex());
    q->SetSubTexmap(4, new NoiseTex());
    q->SetSubTexmap(5, Constant(0.5f, 0.5f, 0.5f));
    q->outputOn = true;
    q->gamma = 2.2f;
    ok &= SceneSeed(dir / "layers.tsy", q);
  }
  {
    Quilbo* q = Layered(2);
    ConstantTex* shared = Constant(0, 1, 0);
    q->SetSubTexmap(0, shared);
    q->SetSubTexmap(3, shared);
    ok &= SceneSeed(dir / "shared.tsy", q);
  }
  {
    // Each map uses the next as map and mask.
    Quilbo* top = Layered(2);
    Quilbo* q = top;
    for (int level = 0; level < 4; ++level) {
      Quilbo* next = Layered(2);
      q->SetSubTexmap(2, next);
      q->SetSubTexmap(3, next);
      q = next;
    }
    q->SetSubTexmap(0, Constant(0, 0, 1));
    ok &= SceneSeed(dir / "chain.tsy", top);
  }
  // Version-1 data restores layer k's map from slot k + 1.
  ok &= Put(dir / "version1.tsy", OlderSceneSeed(1, 3, {1, 2, 3, 2}, 2));
  ok &= Put(dir / "version3.tsy", OlderSceneSeed(3, 2, {1, 2, -1, 3, 2}, 2));
  ok &= Put(dir / "empty_stack.tsy", OlderSceneSeed(4, 0, {1}, 0));
  return ok;
}
#endif
Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

std::string JsonScene(int version, const std::string& root) {
  return "{\"format\": \"tessary-scene\", \"version\": " + std::to_string(version) + ", \"root\": " + root + "}\n";
}

// A chain of layered maps, each using the next as its base map and as the
// map and mask of its second layer, down to a checker.
std::string JsonChain(int levels) {
  std::string root = R"({"type": "checker", "id": "m0", "checks": 4})";
  for (int i = 1; i <= levels; ++i) {
    const std::string below = "{\"ref\": \"m" + std::to_string(i - 1) + "\"}";
    root = R"({"type": "tessary", "id": "m)" + std::to_string(i) + R"(", "layers": [{"map": )" + root +
           R"(}, {"map": )" + below + R"(, "mask": )" + below + R"(, "mode": "Multiply"}]})";
  }
  return JsonScene(2, root);
}

bool JsonSeeds(const std::filesystem::path& dir) {
  bool ok = true;
  ok &= Put(dir / "minimal.json", Text(JsonScene(1, R"({"type": "constant"})")));
  ok &= Put(dir / "every_type.json", Text(JsonScene(1, R"({"type": "tessary", "name": "all", "layers": [
  {"map": {"type": "bitmap", "file": "a.png", "tile": [2, 3], "offset": 0.5}, "mask": {"type": "checker",
   "color1": [0.1, 0.2, 0.3], "color2": [1, 1, 1, 0.5], "checks": [3, 5]}, "mapOn": false, "color": [0.1, 0.7, 1e-8]},
  {"map": {"type": "gradient", "kind": "radial", "center": 0.3, "color3": [0, 0, 1, 1]},
   "mask": {"type": "noise", "kind": "turbulence", "size": 0.07, "octaves": 7, "seed": 4000000000},
   "mode": "Hard Light", "opacity": "nan", "used": false, "maskOn": false},
  {"map": {"type": "constant", "color": [0.3, "inf", "-inf", 1], "perturb": [0.5, -1, 0]}, "mode": -7}],
 "output": {"on": true, "clamp": true, "mono": true, "alpha": -0.5, "bright": 37.7, "contrast": 250, "gamma": 2.2,
            "hsv": [120, -0.5, 0.25], "rgb": [0.1, 0.2, 0.3]}})")));
  ok &= Put(dir / "shared.json", Text(JsonScene(2, R"({"type": "tessary", "id": "top", "layers": [
  {"map": {"type": "bitmap", "id": "stone", "file": "stone.png"}},
  {"map": {"ref": "stone"}, "mask": {"type": "tessary", "id": "mix", "layers": [{"map": {"ref": "stone"}},
   {"map": {"type": "noise", "id": "grain"}, "mask": {"ref": "grain"}}]}},
  {"map": {"ref": "mix"}, "mask": {"ref": "grain"}, "mode": "Overlay"}]})")));
  ok &= Put(dir / "chain.json", Text(JsonChain(20)));
  ok &= Put(dir / "forward.json", Text(JsonScene(2, R"({"type": "tessary", "layers": [{"map": {"ref": "later"}},
  {"map": {"type": "constant", "id": "later"}}]})")));
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds <directory>\n");
    return 2;
  }
  const std::filesystem::path root = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(root / "scene", ec);
  std::filesystem::create_directories(root / "map", ec);
  if (!ec) std::filesystem::create_directories(root / "tsy", ec);
  if (!ec) std::filesystem::create_directories(root / "json", ec);
  if (ec) {
    std::fprintf(stderr, "make_seeds: cannot create %s: %s\n", root.string().c_str(),
                 ec.message().c_str());
    return 1;
  }
  bool ok = true;

  ok &= SceneSeed(root / "scene" / "single.tsy", NewNode(7, "only", 0));
  {
    Node* a = NewNode(1, "A", 3, 5);
    Node* b = NewNode(2, "B", 1, 0);
    Node* c = NewNode(3, "C", 0);
    a->ReplaceReference(0, b);
    a->ReplaceReference(2, c);
    b->ReplaceReference(0, c);
    ok &= SceneSeed(root / "scene" / "shared.tsy", a);
  }
  {
    Node* a = NewNode(1, "A", 2);
    Node* b = NewNode(2, "B", 1, 9);
    a->ReplaceReference(0, b);
    a->ReplaceReference(1, a);
    b->ReplaceReference(0, a);
    ok &= SceneSeed(root / "scene" / "cycle.tsy", a);
  }
  {
    using namespace testing_scene::holder_params;
    auto* h = new testing_scene::Holder;
    IParamBlock2* pb = h->pblock();
    pb->SetValue(kMaps, 0, NewNode(4, "map", 0), 1);
    pb->SetValue(kOwnMaps, 0, NewNode(5, "own", 1), 0);
    pb->SetValue(kNames, 0, "first", 0);
    pb->SetValue(kAmount, 0, 42.0f, 1);
    pb->SetCount(kFlags, 3);
    Bytes bytes;
    std::string error;
    ok &= WriteScene(h, bytes, &error) == IO_OK && Put(root / "scene" / "holder.tsy", bytes);
    DeleteGraph(h);
  }
  for (int version = 1; version <= 4; ++version) {
    for (int layers : {0, 1, 3}) {
      const std::string name = "v" + std::to_string(version) + "_" + std::to_string(layers) + ".bin";
      ok &= Put(root / "map" / name, MapSeed(version, layers, layers == 3));
    }
  }
#ifdef TESSARY_MAP_LINKED
  ok &= TsySeeds(root / "tsy");
#endif
  ok &= JsonSeeds(root / "json");
  return ok ? 0 : 1;
}
