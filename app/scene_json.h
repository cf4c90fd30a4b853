#pragma once
// The JSON scene file, versions 1 and 2:
//   {"format": "tessary-scene", "version": 2, "root": MAP}
// Version 2 adds shared maps: a map may carry an "id", and {"ref": ID} in
// place of a map means that same map, defined earlier in the file. Version 1
// is version 2 without ids and references.
// Reading is strict: unknown fields, wrong types and unknown names are errors
// naming the file and the line:column of the offending value. Numbers are
// converted to single precision once, from their text; the strings "nan",
// "inf" and "-inf" stand for the non-finite values. Missing fields take the
// defaults of a new map and a new layer.

#include <string>
#include <string_view>

#include "app/scene_desc.h"

namespace tessary::app {

// The newest version this program reads; it writes it only for scenes with
// shared maps, and version 1 otherwise.
inline constexpr int kSceneJsonVersion = 2;

// Reads and checks a scene file. On failure returns false and sets `error`
// to one line "FILE:LINE:COLUMN: what is wrong" (or "FILE: ..." when the
// fault has no position); `scene` is then unspecified.
bool ReadSceneJson(const std::string& path, SceneDesc& scene, std::string& error);

// The same on text already read; `label` names the file in messages and
// relative bitmap paths are resolved against `baseDir` ("" = as written).
bool ParseSceneJson(std::string_view text, const std::string& label, const std::string& baseDir,
                    SceneDesc& scene, std::string& error);

// The scene as JSON text, two-space indented, every field written, floats
// in the shortest form that reads back to the same float. A map used in
// several places is written in full where it first appears, with an id
// (MapIds), and as {"ref": ID} everywhere after.
std::string WriteSceneJson(const SceneDesc& scene);

// The shortest decimal text that reads back to f; "nan", "inf", "-inf".
std::string FloatText(float f);

}  // namespace tessary::app
