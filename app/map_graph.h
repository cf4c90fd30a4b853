#pragma once
// The maps of a scene, built from its description. Each node answers the
// three questions the host asks a texture map at a shading sample: its
// colour, its grey value and its normal perturbation. The layered node runs
// the compositing engine's walks over its own layer tables, exactly as the
// map object does; the others are the host's standard maps and the bitmap.
// Evaluation only reads the nodes, so render threads share one graph.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/image_io.h"
#include "app/scene_desc.h"
#include "compositing/output_settings.h"
#include "host/color.h"
#include "host/point3.h"

namespace tessary::app {

// One shading sample: the texture coordinate, v upwards.
struct Sample {
  float u = 0.5f;
  float v = 0.5f;
};

class MapNode {
 public:
  virtual ~MapNode() = default;
  virtual host::AColor EvalColor(const Sample& s) const = 0;
  // The intensity of EvalColor: ((b + g) + r) x 0.33333334.
  virtual float EvalMono(const Sample& s) const;
  virtual host::Point3 EvalNormalPerturb(const Sample& s) const = 0;
  // Makes the node ready before rendering; called once per render.
  virtual void Update() {}
};

// The images of a scene, each file read once however many maps show it.
class ImageLibrary {
 public:
  // The image at `path`, read on first use; null with `error` set on failure.
  std::shared_ptr<const Image> Get(const std::string& path, std::string& error);

 private:
  std::map<std::string, std::shared_ptr<const Image>> images_;
};

// Bilinear sample with wrap-around tiling: (u, v) = (0, 0) is the lower left
// corner of the image, pixel centres at half-pixel offsets, and coordinates
// outside [0, 1) wrap. A non-finite coordinate reads pixel 0 of its axis.
host::AColor SampleBilinear(const Image& image, float u, float v);

// The output settings of the map from their description: "bright" and
// "contrast" percentages become factors (x 0.01f).
OutputSettings ToOutputSettings(const OutputDesc& d);

// Builds the node tree of a map description. On failure returns null and
// sets `error` to "LINE:COLUMN: message" of the offending map when known.
std::unique_ptr<MapNode> BuildMap(const MapDesc& desc, ImageLibrary& images, std::string& error);

}  // namespace tessary::app
