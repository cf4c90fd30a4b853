#include "app/scene_io.h"

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/scene_json.h"

namespace tessary::app {

namespace fs = std::filesystem;

bool IsBinaryScenePath(const std::string& path) {
  std::string ext = fs::path(path).extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".tsy";
}

bool LoadScene(const std::string& path, SceneDesc& scene, int& layerChunkVersion, std::string& error) {
  layerChunkVersion = 0;
  if (IsBinaryScenePath(path)) {
    error = path + ": binary scene files cannot be read by this build yet";
    return false;
  }
  return ReadSceneJson(path, scene, error);
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string& error) {
  std::error_code ec;
  const fs::path target(path);
  const fs::path dir = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  if (fs::is_directory(target, ec)) {
    error = path + ": is a directory";
    return false;
  }
  if (!fs::is_directory(dir, ec)) {
    error = path + ": cannot write: folder \"" + dir.string() + "\" does not exist";
    return false;
  }
  const fs::path temp = dir / ("." + target.filename().string() + ".tmp-" + std::to_string(::getpid()));
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) {
      error = path + ": cannot write: permission denied or read-only folder";
      return false;
    }
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
      out.close();
      fs::remove(temp, ec);
      error = path + ": cannot write: write failed (disk full?)";
      return false;
    }
  }
  fs::rename(temp, target, ec);
  if (ec) {
    std::error_code ignore;
    fs::remove(temp, ignore);
    error = path + ": cannot write: " + ec.message();
    return false;
  }
  return true;
}

bool SaveScene(const std::string& path, const SceneDesc& scene, std::string& error) {
  if (IsBinaryScenePath(path)) {
    error = path + ": binary scene files cannot be written by this build yet";
    return false;
  }
  return WriteFileAtomically(path, WriteSceneJson(scene), error);
}

}  // namespace tessary::app
