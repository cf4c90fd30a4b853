#include "host/runtime/scene_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <unordered_map>
#include <utility>

#include "host/runtime/class_directory.h"
#include "host/sdk/iosave.h"
#include "host/sdk/ref.h"

namespace tessary::host {

namespace {

// The smallest object the writer can produce: its object chunk header, the
// class chunk (header and 12 bytes), an empty data chunk, and its entry in
// the reference table (header and a count). No file can hold more objects
// than its size allows at this rate.
constexpr std::size_t kMinBytesPerObject = 8 + (8 + 12) + 8 + (8 + 4);

struct ObjectRecord {
  SClass_ID sclass = 0;
  Class_ID cid;
};

struct SceneStructure {
  std::uint32_t count = 0;
  std::int32_t root = 0;
  std::vector<ObjectRecord> objects;
  std::vector<std::vector<std::int32_t>> refs;
  SceneProperties properties;
};

std::string Hex32(std::uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", v);
  return buf;
}

std::string ClassText(SClass_ID sclass, Class_ID cid) {
  return "super class " + Hex32(sclass) + ", class (" + Hex32(cid.PartA()) + ", " +
         Hex32(cid.PartB()) + ")";
}

std::string ObjectText(std::size_t i, Animatable* obj) {
  std::string text = "object " + std::to_string(i);
  if (obj != nullptr) {
    MSTR name;
    obj->GetClassName(name);
    if (!name.empty()) text += " (" + name + ")";
  }
  return text;
}

bool Fail(std::string* error, const std::string& msg) {
  if (error) *error = msg;
  return false;
}

// Reads one object chunk (already open) into rec.
bool ParseObject(MemoryLoad& l, std::size_t i, ObjectRecord& rec, std::string* error) {
  bool haveClass = false;
  bool haveData = false;
  IOResult r;
  while ((r = l.OpenChunk()) == IO_OK) {
    const USHORT id = l.CurChunkID();
    if (id == kSceneClassChunk) {
      if (haveClass) return Fail(error, "object " + std::to_string(i) + " has two class records");
      if (l.CurChunkLength() != 12) {
        return Fail(error, "class record of object " + std::to_string(i) + " is " +
                               std::to_string(l.CurChunkLength()) + " bytes, not 12");
      }
      std::uint32_t s = 0, a = 0, b = 0;
      ReadU32(&l, s);
      ReadU32(&l, a);
      ReadU32(&l, b);
      rec.sclass = s;
      rec.cid = Class_ID(a, b);
      haveClass = true;
    } else if (id == kSceneObjectDataChunk) {
      if (haveData) return Fail(error, "object " + std::to_string(i) + " has two data chunks");
      haveData = true;
    }
    l.CloseChunk();
  }
  if (r == IO_ERROR) return false;
  if (!haveClass) return Fail(error, "object " + std::to_string(i) + " has no class record");
  if (!haveData) return Fail(error, "object " + std::to_string(i) + " has no data chunk");
  return true;
}

bool ParseObjectTable(MemoryLoad& l, SceneStructure& s, std::string* error) {
  IOResult r;
  while ((r = l.OpenChunk()) == IO_OK) {
    if (l.CurChunkID() == kSceneObjectChunk) {
      if (s.objects.size() == s.count) {
        return Fail(error, "the object table holds more objects than the " +
                               std::to_string(s.count) + " the header gives");
      }
      ObjectRecord rec;
      if (!ParseObject(l, s.objects.size(), rec, error)) return false;
      s.objects.push_back(rec);
    }
    l.CloseChunk();
  }
  if (r == IO_ERROR) return false;
  if (s.objects.size() != s.count) {
    return Fail(error, "the object table holds " + std::to_string(s.objects.size()) +
                           " objects, the header gives " + std::to_string(s.count));
  }
  return true;
}

bool ParseReferenceTable(MemoryLoad& l, SceneStructure& s, std::string* error) {
  IOResult r;
  while ((r = l.OpenChunk()) == IO_OK) {
    if (l.CurChunkID() == kSceneReferencesChunk) {
      const std::size_t i = s.refs.size();
      const std::string who = "references of object " + std::to_string(i);
      if (i == s.count) {
        return Fail(error, "the reference table holds more entries than the " +
                               std::to_string(s.count) + " objects");
      }
      const ULONG length = l.CurChunkLength();
      std::uint32_t n = 0;
      if (length < 4 || ReadU32(&l, n) != IO_OK) {
        return Fail(error, who + ": chunk of " + std::to_string(length) + " bytes has no count");
      }
      if ((length - 4) % 4 != 0 || (length - 4) / 4 != n) {
        return Fail(error, who + ": count " + std::to_string(n) + " does not match the " +
                               std::to_string(length - 4) + " bytes of indexes");
      }
      std::vector<std::int32_t> list(n);  // n is bounded by the chunk's real length
      for (std::uint32_t j = 0; j < n; ++j) {
        ReadI32(&l, list[j]);
        const std::int32_t idx = list[j];
        if (idx < -1 || (idx >= 0 && static_cast<std::uint32_t>(idx) >= s.count)) {
          return Fail(error, who + ": reference " + std::to_string(j) + " points to object " +
                                 std::to_string(idx) + ", outside 0.." +
                                 std::to_string(s.count - 1));
        }
      }
      s.refs.push_back(std::move(list));
    }
    l.CloseChunk();
  }
  if (r == IO_ERROR) return false;
  if (s.refs.size() != s.count) {
    return Fail(error, "the reference table holds " + std::to_string(s.refs.size()) +
                           " entries for " + std::to_string(s.count) + " objects");
  }
  return true;
}

// Reads the properties table (already open): one data chunk each, the name,
// a NUL and the value.
bool ParseProperties(MemoryLoad& l, SceneStructure& s, std::string* error) {
  IOResult r;
  while ((r = l.OpenChunk()) == IO_OK) {
    if (l.CurChunkID() == kScenePropertyChunk) {
      const ULONG length = l.CurChunkLength();
      if (l.CurChunkIsContainer() || length > 2 * kMaxScenePropertyBytes + 1)
        return Fail(error, "scene property of " + std::to_string(length) + " bytes is not a name and a value");
      std::string bytes(length, '\0');
      ULONG got = 0;
      if (length > 0 && (l.Read(bytes.data(), length, &got) != IO_OK || got != length))
        return Fail(error, "malformed scene file: " + l.GetErrorMessage());
      const std::size_t nul = bytes.find('\0');
      if (nul == std::string::npos || nul == 0 || nul > kMaxScenePropertyBytes ||
          length - nul - 1 > kMaxScenePropertyBytes)
        return Fail(error, "a scene property needs a name of 1 to " + std::to_string(kMaxScenePropertyBytes) +
                               " bytes, a NUL and a value of at most as many");
      s.properties.emplace_back(bytes.substr(0, nul), bytes.substr(nul + 1));
    }
    l.CloseChunk();
  }
  return true;
}

// Checks the whole file before anything is created.
bool ParseStructure(std::span<const std::uint8_t> bytes, SceneStructure& s, std::string* error) {
  if (bytes.size() < kSceneHeaderSize) {
    return Fail(error, "truncated scene file: " + std::to_string(bytes.size()) +
                           " bytes, the header alone is " + std::to_string(kSceneHeaderSize));
  }
  if (std::memcmp(bytes.data(), kSceneMagic, sizeof kSceneMagic) != 0) {
    return Fail(error, "not a scene file (bad magic)");
  }
  const std::uint32_t version = GetLE32(bytes.data() + 8);
  if (version != kSceneVersion) {
    return Fail(error, "unsupported scene file version " + std::to_string(version) +
                           " (this program reads version " + std::to_string(kSceneVersion) + ")");
  }
  s.count = GetLE32(bytes.data() + 12);
  s.root = static_cast<std::int32_t>(GetLE32(bytes.data() + 16));
  if (s.count == 0) return Fail(error, "the scene file holds no objects");
  const std::size_t most = (bytes.size() - kSceneHeaderSize) / kMinBytesPerObject;
  if (s.count > most) {
    return Fail(error, "object count " + std::to_string(s.count) +
                           " is larger than the file can hold (at most " + std::to_string(most) +
                           " in " + std::to_string(bytes.size()) + " bytes)");
  }
  if (s.root < 0 || static_cast<std::uint32_t>(s.root) >= s.count) {
    return Fail(error, "root index " + std::to_string(s.root) + " is outside 0.." +
                           std::to_string(s.count - 1));
  }
  s.objects.reserve(s.count);  // bounded by the check above
  s.refs.reserve(s.count);

  MemoryLoad l(bytes, kSceneHeaderSize);
  bool haveObjects = false;
  bool haveRefs = false;
  bool haveProperties = false;
  std::string local;
  std::string* err = error ? error : &local;
  IOResult r;
  while ((r = l.OpenChunk()) == IO_OK) {
    const USHORT id = l.CurChunkID();
    if (id == kSceneObjectTableChunk) {
      if (haveObjects) return Fail(error, "the file has two object tables");
      haveObjects = true;
      if (!ParseObjectTable(l, s, err)) break;
    } else if (id == kSceneReferenceTableChunk) {
      if (haveRefs) return Fail(error, "the file has two reference tables");
      haveRefs = true;
      if (!ParseReferenceTable(l, s, err)) break;
    } else if (id == kScenePropertiesChunk) {
      if (haveProperties) return Fail(error, "the file has two property tables");
      haveProperties = true;
      if (!ParseProperties(l, s, err)) break;
    }
    l.CloseChunk();
  }
  if (l.Failed()) return Fail(error, "malformed scene file: " + l.GetErrorMessage());
  if (r == IO_OK) return false;  // a table parser reported its own error
  if (!haveObjects) return Fail(error, "the scene file has no object table (truncated?)");
  if (!haveRefs) return Fail(error, "the scene file has no reference table (truncated?)");

  // Every object must be reachable from the root: an unreachable one would
  // have no owner once loaded.
  std::vector<char> seen(s.count, 0);
  std::vector<std::int32_t> todo{s.root};
  seen[static_cast<std::size_t>(s.root)] = 1;
  while (!todo.empty()) {
    const std::int32_t k = todo.back();
    todo.pop_back();
    for (const std::int32_t t : s.refs[static_cast<std::size_t>(k)]) {
      if (t >= 0 && !seen[static_cast<std::size_t>(t)]) {
        seen[static_cast<std::size_t>(t)] = 1;
        todo.push_back(t);
      }
    }
  }
  for (std::size_t i = 0; i < s.count; ++i) {
    if (!seen[i]) return Fail(error, "object " + std::to_string(i) + " is not reachable from the root");
  }
  return true;
}

ReferenceTarget* CreateFromDirectory(SClass_ID sclass, Class_ID cid) {
  Animatable* made = ClassDirectory::Instance().Create(sclass, cid, true);
  auto* target = dynamic_cast<ReferenceTarget*>(made);
  if (made != nullptr && target == nullptr) made->DeleteThis();
  return target;
}

// Opens the next chunk with the given ID at the current level, skipping others.
bool OpenNext(MemoryLoad& l, USHORT id) {
  while (l.OpenChunk() == IO_OK) {
    if (l.CurChunkID() == id) return true;
    l.CloseChunk();
  }
  return false;
}

// The loading half of ReadScene, over a structure that has been checked.
class SceneLoader {
 public:
  SceneLoader(std::span<const std::uint8_t> bytes, const SceneStructure& s)
      : s_(s), loader_(bytes, kSceneHeaderSize), objs_(s.count, nullptr) {}

  ReferenceTarget* Run(const SceneObjectFactory& create, std::string* error) {
    for (std::size_t i = 0; i < objs_.size(); ++i) {
      const ObjectRecord& rec = s_.objects[i];
      objs_[i] = create ? create(rec.sclass, rec.cid) : CreateFromDirectory(rec.sclass, rec.cid);
      if (objs_[i] == nullptr) {
        return Abandon(error, "object " + std::to_string(i) + " is of an unknown class: " +
                                  ClassText(rec.sclass, rec.cid));
      }
    }
    std::string why;
    if (!LoadObjects(&why)) return Abandon(error, why);
    for (std::size_t i = 0; i < objs_.size(); ++i) {
      const std::size_t have = s_.refs[i].size();
      const int takes = objs_[i]->NumRefs();
      if (have > static_cast<std::size_t>(std::max(takes, 0))) {
        return Abandon(error, ObjectText(i, objs_[i]) + " has " + std::to_string(have) +
                                  " references in the file but takes " + std::to_string(takes));
      }
    }
    for (std::size_t i = 0; i < objs_.size(); ++i) {
      for (std::size_t j = 0; j < s_.refs[i].size(); ++j) {
        const std::int32_t idx = s_.refs[i][j];
        ReferenceTarget* target = idx < 0 ? nullptr : objs_[static_cast<std::size_t>(idx)];
        // A maker that does not take what the file puts into a slot (a wrong
        // kind of object) keeps no trace of it; the file is damaged.
        if (objs_[i]->ReplaceReference(static_cast<int>(j), target, true) == REF_FAIL) {
          const std::string offered =
              target ? ObjectText(static_cast<std::size_t>(idx), target) : std::string("an empty reference");
          return Abandon(error, ObjectText(i, objs_[i]) + " refused " + offered + " in reference slot " +
                                    std::to_string(j));
        }
        if (target != nullptr) restored_.emplace_back(i, static_cast<int>(j));
      }
    }
    RunPostLoadSteps();
    return objs_[static_cast<std::size_t>(s_.root)];
  }

 private:
  bool LoadObjects(std::string* error) {
    if (!OpenNext(loader_, kSceneObjectTableChunk)) return Fail(error, "object table not found");
    for (std::size_t i = 0; i < objs_.size(); ++i) {
      if (!OpenNext(loader_, kSceneObjectChunk) || !OpenNext(loader_, kSceneObjectDataChunk)) {
        return Fail(error, "object " + std::to_string(i) + " not found");
      }
      const int depth = loader_.Depth();
      loader_.SetFloor(depth);
      const IOResult r = objs_[i]->Load(&loader_);
      loader_.SetFloor(0);
      if (r != IO_OK || loader_.Failed()) {
        std::string why = loader_.Failed() ? loader_.GetErrorMessage() : "its Load reported an error";
        return Fail(error, ObjectText(i, objs_[i]) + " could not be loaded: " + why);
      }
      // Chunks the object left open are closed for it.
      while (loader_.Depth() > depth) loader_.CloseChunk();
      loader_.CloseChunk();  // the data chunk
      loader_.CloseChunk();  // the object chunk
    }
    return true;
  }

  // Runs the post-load callbacks. A step may release an object (a map drops
  // a sub-map it has no place for) that stays alive through its own
  // references or those of others cut off with it, owned by nothing; the
  // hold frees whatever the steps cut off from the root.
  void RunPostLoadSteps() {
    GraphHold hold(objs_[static_cast<std::size_t>(s_.root)]);
    loader_.RunPostLoadCallbacks();
  }

  // Undoes a failed load: references restored so far are released without
  // deleting their targets, the callbacks run once (the loader reports the
  // failure), and every object made is destroyed.
  ReferenceTarget* Abandon(std::string* error, std::string msg) {
    for (const auto& [i, j] : restored_) objs_[i]->ReplaceReference(j, nullptr, false);
    loader_.SetErrorMessage(msg);
    loader_.RunPostLoadCallbacks();
    for (ReferenceTarget*& obj : objs_) {
      if (obj != nullptr) obj->DeleteThis();
      obj = nullptr;
    }
    if (error) *error = std::move(msg);
    return nullptr;
  }

  const SceneStructure& s_;
  MemoryLoad loader_;
  std::vector<ReferenceTarget*> objs_;
  std::vector<std::pair<std::size_t, int>> restored_;
};

}  // namespace

IOResult WriteScene(ReferenceTarget* root, std::vector<std::uint8_t>& out, std::string* error,
                    const SceneProperties& properties) {
  out.clear();
  if (root == nullptr) {
    Fail(error, "no scene to save");
    return IO_ERROR;
  }
  for (const auto& [name, value] : properties) {
    if (name.empty() || name.size() > kMaxScenePropertyBytes || value.size() > kMaxScenePropertyBytes ||
        name.find('\0') != std::string::npos) {
      Fail(error, "scene property \"" + name.substr(0, 64) + "\" cannot be saved (a name of 1 to " +
                      std::to_string(kMaxScenePropertyBytes) + " bytes without NUL, a value of at most as many)");
      return IO_ERROR;
    }
  }
  // Number the graph breadth first from the root; each target once.
  std::vector<ReferenceTarget*> order{root};
  std::unordered_map<ReferenceTarget*, std::int32_t> index{{root, 0}};
  std::vector<std::vector<std::int32_t>> refs;
  for (std::size_t k = 0; k < order.size(); ++k) {
    ReferenceTarget* obj = order[k];
    std::vector<std::int32_t> list;
    const int n = obj->NumRefs();
    for (int j = 0; j < n; ++j) {
      ReferenceTarget* t = obj->GetReference(j);
      if (t == nullptr) {
        list.push_back(-1);
        continue;
      }
      auto [it, added] = index.try_emplace(t, static_cast<std::int32_t>(order.size()));
      if (added) {
        if (order.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
          Fail(error, "too many objects to save");
          return IO_ERROR;
        }
        order.push_back(t);
      }
      list.push_back(it->second);
    }
    refs.push_back(std::move(list));
  }

  MemorySave s;
  std::uint8_t header[kSceneHeaderSize];
  std::memcpy(header, kSceneMagic, sizeof kSceneMagic);
  PutLE32(header + 8, kSceneVersion);
  PutLE32(header + 12, static_cast<std::uint32_t>(order.size()));
  PutLE32(header + 16, 0);  // the root is object 0
  s.WriteRaw(header, sizeof header);

  s.BeginChunk(kSceneObjectTableChunk);
  for (std::size_t i = 0; i < order.size(); ++i) {
    ReferenceTarget* obj = order[i];
    s.BeginChunk(kSceneObjectChunk);
    s.BeginChunk(kSceneClassChunk);
    WriteU32(&s, obj->SuperClassID());
    WriteU32(&s, obj->ClassID().PartA());
    WriteU32(&s, obj->ClassID().PartB());
    s.EndChunk();
    s.BeginChunk(kSceneObjectDataChunk);
    const int depth = s.Depth();
    const IOResult r = obj->Save(&s);
    if (r != IO_OK) {
      Fail(error, ObjectText(i, obj) + " could not be saved");
      return IO_ERROR;
    }
    if (s.Depth() != depth) {
      Fail(error, ObjectText(i, obj) + " left its chunks unbalanced while saving");
      return IO_ERROR;
    }
    s.EndChunk();
    s.EndChunk();
  }
  s.EndChunk();

  s.BeginChunk(kSceneReferenceTableChunk);
  for (const auto& list : refs) {
    s.BeginChunk(kSceneReferencesChunk);
    WriteU32(&s, static_cast<std::uint32_t>(list.size()));
    for (const std::int32_t idx : list) WriteI32(&s, idx);
    s.EndChunk();
  }
  s.EndChunk();

  if (!properties.empty()) {
    s.BeginChunk(kScenePropertiesChunk);
    for (const auto& [name, value] : properties) {
      s.BeginChunk(kScenePropertyChunk);
      const std::string bytes = name + '\0' + value;
      ULONG written = 0;
      s.Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
      s.EndChunk();
    }
    s.EndChunk();
  }

  if (s.Status() != IO_OK) {
    Fail(error, "scene could not be written: " + s.ErrorMessage());
    return IO_ERROR;
  }
  out = s.Bytes();
  return IO_OK;
}

ReferenceTarget* ReadScene(std::span<const std::uint8_t> bytes, std::string* error,
                           const SceneObjectFactory& create, SceneProperties* properties) {
  SceneStructure s;
  if (!ParseStructure(bytes, s, error)) return nullptr;
  SceneLoader loader(bytes, s);
  ReferenceTarget* root = loader.Run(create, error);
  if (root && properties) *properties = s.properties;
  return root;
}

IOResult SaveSceneFile(const std::string& path, ReferenceTarget* root, std::string* error) {
  std::vector<std::uint8_t> bytes;
  if (WriteScene(root, bytes, error) != IO_OK) return IO_ERROR;
  return WriteFileAtomically(path, bytes, error) ? IO_OK : IO_ERROR;
}

ReferenceTarget* LoadSceneFile(const std::string& path, std::string* error,
                               const SceneObjectFactory& create) {
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(path, kMaxSceneFileBytes, bytes, error)) return nullptr;
  ReferenceTarget* root = ReadScene(bytes, error, create);
  if (root == nullptr && error != nullptr) *error = path + ": " + *error;
  return root;
}

}  // namespace tessary::host
