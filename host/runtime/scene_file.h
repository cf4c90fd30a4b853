#pragma once
// The host's binary scene file: a whole reference graph in one file.
//
// The writer stores every object reachable from a root through its
// references, each once (a target referenced from several places is stored
// once), with its super class and class ID, its own chunks (its Save) and
// its references as object indexes (-1 for an empty slot). The root is
// object 0. The reader creates the objects by class through the class
// directory, calls Load on each, then restores every reference through
// ReplaceReference (so each object's SetReference runs), then runs the
// post-load callbacks in priority order, and returns the root. An object
// that a post-load callback leaves unreachable from the root (a map that
// drops a sub-map it has no place for) is freed by the reader, also when it
// is kept alive only by references among such objects.
//
// docs/file-format.md gives the byte layout. Bad input never crashes and
// never allocates from a count it has not checked against the file's size:
// the reader validates the whole structure (framing, counts, class
// records, reference indexes, reachability) before it creates any object.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "host/sdk/maxtypes.h"
#include "host/runtime/runtime_only.h"

namespace tessary::host {

class ReferenceTarget;

// First eight bytes of every scene file.
inline constexpr std::uint8_t kSceneMagic[8] = {0x89, 'T', 'S', 'Y', '\r', '\n', 0x1A, '\n'};
inline constexpr std::uint32_t kSceneVersion = 1;
// Magic, version, object count, root index.
inline constexpr std::size_t kSceneHeaderSize = 20;

// Chunk IDs of the scene's own structure.
inline constexpr std::uint16_t kSceneObjectTableChunk = 0x0001;  // container
inline constexpr std::uint16_t kSceneObjectChunk = 0x0002;       // container, one per object
inline constexpr std::uint16_t kSceneClassChunk = 0x0003;        // 12 bytes: sclass, class A, B
inline constexpr std::uint16_t kSceneObjectDataChunk = 0x0004;   // the object's own chunks
inline constexpr std::uint16_t kSceneReferenceTableChunk = 0x0010;  // container
inline constexpr std::uint16_t kSceneReferencesChunk = 0x0011;   // count, then indexes
// Settings of the scene as a whole, written only when there are any.
inline constexpr std::uint16_t kScenePropertiesChunk = 0x0020;  // container
inline constexpr std::uint16_t kScenePropertyChunk = 0x0021;    // data: name, NUL, value

// The scene's own settings: (name, value) texts in the order written. A
// name is not empty and holds no NUL; neither is longer than this.
using SceneProperty = std::pair<std::string, std::string>;
using SceneProperties = std::vector<SceneProperty>;
inline constexpr std::size_t kMaxScenePropertyBytes = 4096;

// Files larger than this are refused by LoadSceneFile.
inline constexpr std::size_t kMaxSceneFileBytes = std::size_t{1} << 30;

// Makes an empty object of a class for loading; null when the class is
// unknown. The default uses the host's class directory.
using SceneObjectFactory = std::function<ReferenceTarget*(SClass_ID, Class_ID)>;

// Writes the graph reachable from root into out (replacing its contents).
// IO_ERROR with a message in *error when root is null or an object's Save
// fails or leaves its chunks unbalanced, or a property is not one
// (SceneProperties); out is then empty.
IOResult WriteScene(ReferenceTarget* root, std::vector<std::uint8_t>& out, std::string* error,
                    const SceneProperties& properties = {});

// Reads a graph written by WriteScene. Returns the root, which the caller
// owns (the other objects belong to the graph), or null with a message in
// *error. On failure every object made so far is destroyed and every
// post-load callback registered so far has run once (with the loader
// reporting the failure), so nothing is leaked. The scene's properties go
// to *properties when asked for (a file without them has none).
ReferenceTarget* ReadScene(std::span<const std::uint8_t> bytes, std::string* error,
                           const SceneObjectFactory& create = {}, SceneProperties* properties = nullptr);

// Destroys root and every object reachable from it, cycles included: all
// their references are released first (nothing is deleted by the release),
// then each object is deleted once. Objects outside the graph that still
// reference one of these are told through the usual target-deleted message.
void DeleteGraph(ReferenceTarget* root);

// Every object reachable from root through references, each once, root
// first (breadth first); empty for null.
std::vector<ReferenceTarget*> Reachable(ReferenceTarget* root);

// Keeps a graph alive while steps run that may release parts of it (post-load
// conversions, edits): it holds a reference to root and to every object
// reachable from it when the hold is made, so nothing of them is deleted
// while it lives. Its end frees the held objects that the root no longer
// reaches, also those that only reference one another (a map that
// references itself, a cycle), each once; the root and what it reaches stay,
// and so does an object a maker outside them references, with what it
// reaches.
class GraphHold {
 public:
  explicit GraphHold(ReferenceTarget* root);
  ~GraphHold();
  GraphHold(const GraphHold&) = delete;
  GraphHold& operator=(const GraphHold&) = delete;

 private:
  class Holder;
  ReferenceTarget* root_;
  std::vector<ReferenceTarget*> held_;
  std::unique_ptr<Holder> holder_;
};

// The same through a file; the write goes through a temporary file and a
// rename, so a failed save leaves any previous file as it was.
IOResult SaveSceneFile(const std::string& path, ReferenceTarget* root, std::string* error);
ReferenceTarget* LoadSceneFile(const std::string& path, std::string* error,
                               const SceneObjectFactory& create = {});

}  // namespace tessary::host
