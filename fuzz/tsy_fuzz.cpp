// Fuzz target: binary scene files of layered maps, mutated as structures.
//
// The custom mutator parses an input into its objects (class IDs, own
// chunks, reference lists) and changes it at that level: wrong kinds in
// slots, shared and cyclic references, reference lists and layer counts that
// disagree, classes and data exchanged, block table counts changed (see
// fuzz/tsy_structure.h); an input it cannot parse, and one in eight that it
// can, gets libFuzzer's byte mutations instead.
//
// Every input is read with the layered map and the standard maps
// registered. A file that does not load must say why. One that loads must
// (1) write back, read again and write the same bytes; (2) when its maps form
// no cycle and one colour evaluation stays small, update and evaluate
// (colour, mono, bump) without fault; (3) after a few layer operations on
// each layered map (chosen from the input's hash), again write, read and
// write the same bytes. Everything is freed once; the sanitizers and the
// leak checker see the rest.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "fuzz/tsy_structure.h"
#include "host/classdesc.h"
#include "host/iparamb2.h"
#include "host/mtl.h"
#include "host/ref.h"
#include "host/scene_file.h"
#include "host/shade_context.h"
#include "host/stdmap_classes.h"
#include "map/quilbo.h"
#include "map/quilbo_class_desc.h"

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

namespace {

using namespace tessary;
using namespace tessary::host;

void Trap() { __builtin_trap(); }

// Sub-map calls one colour evaluation of t may make, counting shared maps
// each time they are reached; kTooMany when that passes the bound or the
// maps form a cycle (the reader allows cycles; evaluating one never ends).
constexpr long kTooMany = 20000;
long EvaluationSize(Texmap* t, std::set<Texmap*>& onPath, std::map<Texmap*, long>& done, int depth) {
  if (auto it = done.find(t); it != done.end()) return it->second;
  if (onPath.count(t) || depth > 64) return kTooMany;
  onPath.insert(t);
  long size = 1;
  const int n = t->NumSubTexmaps();
  for (int i = 0; i < n && size < kTooMany; ++i) {
    if (Texmap* sub = t->GetSubTexmap(i)) size += EvaluationSize(sub, onPath, done, depth + 1);
  }
  onPath.erase(t);
  if (size > kTooMany) size = kTooMany;
  done[t] = size;
  return size;
}

void Evaluate(ReferenceTarget* root) {
  auto* map = dynamic_cast<Texmap*>(root);
  if (!map) return;
  std::set<Texmap*> onPath;
  std::map<Texmap*, long> done;
  if (EvaluationSize(map, onPath, done, 0) >= kTooMany) return;
  Interval valid = FOREVER;
  map->Update(0, valid);
  ShadeContext sc;
  for (const Point3& uv : {Point3(0.25f, 0.75f, 0.0f), Point3(0.0f, 0.0f, 0.0f), Point3(0.999f, 0.5f, 0.0f)}) {
    sc.MoveTo(uv);
    map->EvalColor(sc);
    map->EvalMono(sc);
    sc.NewSample();
    map->EvalNormalPerturb(sc);
  }
  map->IsLocalOutputMeaningful(sc);
}

// A few of the operations a user or a script makes, on a map as loaded.
void OperateOn(Quilbo& map, std::mt19937& random) {
  auto pick = [&random](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
  for (int step = pick(1, 4); step > 0; --step) {
    const int n = map.LayerCount();
    switch (pick(0, 6)) {
      case 0: map.SetNumLayers(pick(-1, n + 2)); break;
      case 1: map.SwapLayers(pick(-1, n), pick(-1, n)); break;
      case 2: map.InsertLayerBefore(pick(-1, n)); break;
      case 3: map.DeleteLayer(pick(-1, n)); break;
      case 4: map.SetNumSubTexmaps(pick(-1, n + 2)); break;
      case 5:
        if (map.pblock) map.pblock->SetCount(pick(0, 1) ? params::kMapList : params::kMapEnabled, pick(0, 2 * n + 3));
        break;
      default: {
        Texmap* m = pick(0, 1) ? new ConstantTex() : nullptr;
        map.SetSubTexmap(pick(-1, 2 * n + 3), m);
        if (m && m->NumDependents() == 0) m->DeleteThis();
        break;
      }
    }
  }
}

// What a loaded graph writes must read back and write the same bytes.
std::vector<std::uint8_t> WriteAndCheck(ReferenceTarget* root) {
  std::string error;
  std::vector<std::uint8_t> first, second;
  if (WriteScene(root, first, &error) != IO_OK) Trap();
  ReferenceTarget* again = ReadScene(first, &error);
  if (!again) Trap();
  if (WriteScene(again, second, &error) != IO_OK) Trap();
  DeleteGraph(again);
  if (first != second) Trap();
  return first;
}

std::size_t MutateBytes(std::uint8_t* data, std::size_t size, std::size_t room) {
  return LLVMFuzzerMutate(data, size, room);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ClassDirectory::Instance().Register(GetQuilboDesc());
  RegisterStandardMaps(ClassDirectory::Instance());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  std::string error;
  ReferenceTarget* root = ReadScene(bytes, &error);
  if (!root) {
    if (error.empty()) Trap();  // a failure must say why
    return 0;
  }
  WriteAndCheck(root);
  Evaluate(root);

  // The operations depend on the input only, so a finding reproduces.
  std::uint32_t hash = 2166136261u;
  for (const std::uint8_t b : bytes) hash = (hash ^ b) * 16777619u;
  std::mt19937 random(hash);
  {
    // A map released by one operation may be the next to operate on: the
    // hold keeps every object until the operations are done, then frees what
    // they cut off.
    GraphHold hold(root);
    for (ReferenceTarget* object : Reachable(root)) {
      if (auto* map = dynamic_cast<Quilbo*>(object)) OperateOn(*map, random);
    }
  }
  WriteAndCheck(root);
  DeleteGraph(root);
  return 0;
}

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned int seed) {
  std::mt19937 random(seed);
  tessary::fuzz::TsyStructure s;
  if (random() % 8 != 0 && tessary::fuzz::ParseTsy(std::span<const std::uint8_t>(data, size), s)) {
    for (unsigned n = 1 + random() % 3; n > 0; --n) tessary::fuzz::MutateStructure(s, random, MutateBytes);
    const std::vector<std::uint8_t> out = tessary::fuzz::WriteTsy(s);
    if (out.size() <= maxSize) {
      std::memcpy(data, out.data(), out.size());
      return out.size();
    }
  }
  return LLVMFuzzerMutate(data, size, maxSize);
}
