#pragma once
// Loading and saving scene files by their extension: ".tsy" is the host's
// binary scene file, everything else is read as a JSON scene.

#include <string>

#include "app/scene_desc.h"

namespace tessary::app {

bool IsBinaryScenePath(const std::string& path);

// Reads a scene. `layerChunkVersion` is set to the version of the layer-data
// chunk of the root map for binary files (1 to 4), 0 for JSON.
bool LoadScene(const std::string& path, SceneDesc& scene, int& layerChunkVersion, std::string& error);

// Writes a scene through a temporary file renamed into place.
bool SaveScene(const std::string& path, const SceneDesc& scene, std::string& error);

// Writes `bytes` to `path` through a temporary file in the same folder.
bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string& error);

}  // namespace tessary::app
