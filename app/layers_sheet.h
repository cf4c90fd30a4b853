#pragma once
// A picture of a layer stack: one row per layer of the root layered map,
// base first, with thumbnails of the layer's map, its mask and the
// composite after it, and the layer's number, mode, opacity and switches as
// text. Artists debug a stack by looking at it.

#include <iosfwd>
#include <string>

namespace tessary::app {

struct LayersArgs {
  std::string scene;
  std::string output = "layers.png";
  int tile = 128;
  int threads = 0;
  std::string colorConfig;  // --colorconfig
  bool force = false;  // write over an input of the sheet
};

int RunLayers(const LayersArgs& args, std::ostream& out, std::ostream& err);

}  // namespace tessary::app
