#pragma once
// Loading and saving scene files. A file is read as what its first bytes
// say: the host's binary scene file (a whole reference graph) or a JSON
// scene; it is written as what its extension asks for, ".tsy" or ".json".
// Either way the result is a graph of host map objects.

#include <cstdint>
#include <string>

#include "app/map_graph.h"
#include "app/scene_desc.h"

namespace tessary::app {

enum class SceneFormat { Json, Binary };

// The format a scene written to `path` takes: ".tsy" binary, ".json" JSON
// (in any case). Any other extension is an error naming the path.
bool SceneFormatForPath(const std::string& path, SceneFormat& format, std::string& error);

// The format of the scene file at `path`, from its first bytes: binary when
// it starts with the binary scene file's magic, JSON otherwise, except that
// a file named ".tsy" that does not start like JSON text counts as binary
// (the binary reader then says what is wrong with it).
SceneFormat DetectSceneFormat(const std::string& path);

// Reads a scene into an empty graph. JSON scenes are parsed and built;
// binary scenes are read by the host's scene reader, checked (CheckGraph)
// and their layered maps' parameter blocks brought in line with the maps.
// On failure returns false with one line in `error` naming the file.
bool LoadScene(const std::string& path, SceneGraph& graph, std::string& error);

// Writes the graph as a binary scene file or as JSON (SceneFormatForPath;
// "-" is JSON on standard output) through a temporary file renamed into place.
bool SaveScene(const std::string& path, const SceneGraph& graph, std::string& error);

// Writes `bytes` to `path` through a temporary file in the same folder
// (output_file.h: links followed, permissions kept, every step checked), or
// to standard output for "-". On failure `error` names the output.
bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string& error);

}  // namespace tessary::app
