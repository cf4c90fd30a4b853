#pragma once
// The maps of a scene as host objects. A description (scene_desc.h) becomes
// a graph of texture maps made by class through the host's class directory:
// the layered map of the plug-in module, configured as a host configures it
// (layer count through SetNumSubTexmaps, layer values and output settings
// through the interface the module publishes, plugin_api/layered_map.h,
// sub-maps through SetSubTexmap), and the host's standard maps and bitmaps.
// The reverse, through the same means, turns any such graph, also one read
// from a binary scene file, back into a description.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/bitmap_tex.h"
#include "app/colour.h"
#include "app/image_io.h"
#include "app/scene_desc.h"
#include "host/sdk/mtl.h"

namespace tessary::app {

// A scene's maps. Owns the graph below root.
struct SceneGraph {
  SceneGraph() = default;
  ~SceneGraph();
  SceneGraph(const SceneGraph&) = delete;
  SceneGraph& operator=(const SceneGraph&) = delete;

  host::Texmap* root = nullptr;
  std::string path;     // the scene file, for messages
  std::string baseDir;  // relative bitmap paths start here
  bool binary = false;  // read from a binary scene file
  int jsonVersion = 0;  // JSON scenes: the format version of the file
  // The scene's working colour space as the file names it; "" the default.
  std::string workingColorspace;
  // Where each map stood in a JSON scene, and the id it had there.
  std::map<const host::ReferenceTarget*, SourcePos> positions;
  std::map<const host::ReferenceTarget*, std::string> ids;
};

// Makes the maps of a description into graph (which must be empty), one map
// object per description however many places use it. False with
// "LINE:COLUMN: message" (when known) in `error`.
bool BuildGraph(const MapDesc& desc, SceneGraph& graph, std::string& error);

// Checks a graph read from a file before anything evaluates it: every map is
// of a known texture-map class, no map is its own sub-map at any depth, and
// no chain of maps inside maps is longer than kMaxNesting. Each map is
// looked at once, however many maps share it.
bool CheckGraph(host::Texmap* root, std::string& error);

// The description of a graph (null with `error` set on failure), one
// description per map object: maps shared in the graph are shared in the
// description. "bright" and "contrast" come back as the percentage whose
// x 0.01f gives the map's factor, the shortest such text.
std::shared_ptr<MapDesc> DescribeGraph(host::Texmap* root, const SceneGraph& graph, std::string& error);

// The editor's percentage for a brightness or contrast factor: among the
// floats p with p x 0.01f == factor, the one with the shortest decimal text
// (nearest to factor / 0.01 on a tie); factor / 0.01f when there is none.
float PercentFromFactor(float factor);

// --- Images (scene_images.cpp; the files are read through image_io.h) -----------

// An image as a bitmap map wants it: the file, the colour space of its
// values ("" as the file says), the working space to convert it into and how
// its colour relates to alpha (which the conversion needs).
struct ImageRequest {
  std::string path;
  std::string colorspace;
  std::string working = kDefaultWorkingSpace;
  AlphaMode alpha = AlphaMode::FromFile;
};

// The images of scenes, each file read and converted once however many maps
// (and scenes of a batch) show it the same way: images are shared by path,
// colour space, working space and alpha mode.
class ImageLibrary {
 public:
  // `colours` null: the default configuration (OpenColourConfig("")),
  // opened when first needed.
  explicit ImageLibrary(std::shared_ptr<const ColourConfig> colours = nullptr) : colours_(std::move(colours)) {}
  // The image a request asks for, read and converted on first use; null
  // with `error` set on failure (a file that cannot be read, an unknown
  // colour space).
  std::shared_ptr<const Image> Get(const ImageRequest& request, std::string& error);
  std::shared_ptr<const Image> Get(const std::string& path, std::string& error) {
    return Get(ImageRequest{path, "", kDefaultWorkingSpace, AlphaMode::FromFile}, error);
  }
  // Reads the images not read yet side by side (oneTBB; a build without
  // images reads nothing ahead); one that fails is left for Get to report.
  void Preload(const std::vector<ImageRequest>& requests);
  // The paths of the images read, each once.
  std::vector<std::string> Paths() const;
  // The colour configuration (null in a build without images); null with
  // `error` set when the default one cannot be opened.
  const ColourConfig* Colours(std::string& error);
  // Checks a colour space name against the configuration: "" when it is
  // known (or there is no configuration), else the one-line reason.
  std::string CheckColourSpace(const std::string& name);

 private:
  static std::string Key(const ImageRequest& request);
  // Reads the file and converts it (`colours` null: as it is stored).
  static bool ReadAndConvert(const ImageRequest& request, const ColourConfig* colours, Image& image,
                             std::string& error);

  std::map<std::string, std::shared_ptr<const Image>> images_;
  std::map<std::string, std::string> paths_;  // key -> path
  std::shared_ptr<const ColourConfig> colours_;
  bool opened_ = false;
  std::string openError_;
};

// Reads the image of every bitmap map of the graph (relative paths against
// graph.baseDir), converted into the graph's working space, and gives it to
// the map; then updates the root for time 0. An unknown colour space name
// (the scene's or a bitmap's) fails it, naming the space and the known ones.
bool PrepareGraph(SceneGraph& graph, ImageLibrary& images, std::string& error);

// The working space a graph names, or the default.
inline std::string WorkingSpace(const SceneGraph& graph) {
  return graph.workingColorspace.empty() ? std::string(kDefaultWorkingSpace) : graph.workingColorspace;
}

}  // namespace tessary::app
