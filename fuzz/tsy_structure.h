#pragma once
// A binary scene file (.tsy) seen as its objects: class IDs, each object's
// own chunks and reference list, and the header's count and root. The
// structure-aware fuzz target parses an input into this form, changes it at
// the level of objects and references, and writes it back, so that its
// mutations reach the reference restore, the maps' slots and the layer
// counts instead of dying in the framing checks.

#include <cstddef>
#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include "tests/app/tsy_builder.h"

namespace tessary::fuzz {

using app::testing::TsyObject;

struct TsyStructure {
  std::uint32_t version = 1;
  std::uint32_t count = 0;  // as the header says; normally objects.size()
  std::int32_t root = 0;
  std::vector<TsyObject> objects;
};

// One chunk of a chunk stream: its ID, container flag and payload.
struct RawChunk {
  std::uint16_t id = 0;
  bool container = false;
  std::vector<std::uint8_t> payload;
};

// Splits a stream of framed chunks; false when the framing does not add up.
bool SplitChunks(std::span<const std::uint8_t> bytes, std::vector<RawChunk>& out);
std::vector<std::uint8_t> JoinChunks(const std::vector<RawChunk>& chunks);

// Parses a file of the writer's shape (header, object table, reference
// table, each object with its class record and a data chunk); false for
// anything else.
bool ParseTsy(std::span<const std::uint8_t> bytes, TsyStructure& out);
// Writes the structure with its header fields as they are.
std::vector<std::uint8_t> WriteTsy(const TsyStructure& s);

// Changes the structure in one of the ways a damaged or hand-made file
// differs from a written one: wrong kinds in slots, shared and cyclic
// references, reference lists longer or shorter than the layers, classes
// exchanged, objects duplicated or dropped, layer counts and block table
// counts that disagree, a lying header. `bytes` mutates raw bytes (the
// fuzzer's own mutator): it is given a buffer, its used size and its room
// and returns the new size.
using ByteMutator = std::size_t (*)(std::uint8_t* data, std::size_t size, std::size_t room);
void MutateStructure(TsyStructure& s, std::mt19937& random, ByteMutator bytes);

}  // namespace tessary::fuzz
