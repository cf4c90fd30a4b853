// Fuzz target: the chunk reader and the scene-file reader.
//
// Every input is (1) walked as a chunk stream, opening, reading and skipping
// every chunk, and (2) read as a scene file with the test node classes
// registered. A scene that loads is written again; writing what that reads
// back must give the same bytes (the reader and the writer agree).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "host/sdk/iosave.h"
#include "host/sdk/ref.h"
#include "host/runtime/scene_file.h"
#include "tests/host/scene_test_classes.h"

namespace {

using namespace tessary::host;

// Opens every chunk of the stream depth first, reads data chunks in uneven
// pieces, and closes each. Iterative: a deeply nested input cannot exhaust
// the stack.
void WalkChunks(std::span<const std::uint8_t> data) {
  MemoryLoad l(data);
  std::uint8_t buf[7];
  std::string text;
  int steps = 0;
  for (;;) {
    const IOResult r = l.OpenChunk();
    if (r == IO_OK) {
      if (!l.CurChunkIsContainer()) {
        ULONG n = 0;
        if ((++steps & 1) != 0) {
          l.ReadString(text);
        } else {
          while (l.Read(buf, sizeof buf, &n) == IO_OK) {
          }
        }
      }
      continue;  // a data chunk answers the next OpenChunk with IO_END or IO_ERROR
    }
    if (l.Depth() == 0) break;
    l.CloseChunk();
  }
}

void Trap() { __builtin_trap(); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static testing_scene::RegisteredNodes keep;  // registers the node classes once
  const std::span<const std::uint8_t> bytes(data, size);
  WalkChunks(bytes);

  const int liveBefore = testing_scene::Node::live;
  std::string error;
  ReferenceTarget* root = ReadScene(bytes, &error);
  if (root == nullptr) {
    if (error.empty()) Trap();  // a failure must say why
  } else {
    std::vector<std::uint8_t> first, second;
    if (WriteScene(root, first, &error) != IO_OK) Trap();
    DeleteGraph(root);
    ReferenceTarget* again = ReadScene(first, &error);
    if (again == nullptr) Trap();  // what we wrote must read back
    if (WriteScene(again, second, &error) != IO_OK) Trap();
    DeleteGraph(again);
    if (first != second) Trap();
  }
  if (testing_scene::Node::live != liveBefore) Trap();  // leaked or freed twice
  return 0;
}
