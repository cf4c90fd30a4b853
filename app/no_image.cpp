// The program without image files (a build without the image library, as on
// Windows): scenes are evaluated, converted and described exactly as with
// it, a bitmap in a scene fails when the scene's maps are readied, and the
// commands that make images say that this build has none. Of image_io.h
// only ReadImage exists here; nothing else in this build writes or reads an
// image.

#include <ostream>

#include "app/command_steps.h"
#include "app/colour.h"
#include "app/commands.h"
#include "app/image_io.h"
#include "app/layers_sheet.h"
#include "app/map_graph.h"

namespace tessary::app {

namespace {

constexpr const char* kNoImages = "this build of tessary has no image support";

int RefuseImageCommand(const char* command, std::ostream& err) {
  return Fail(err, std::string(command) + ": " + kNoImages + " (it evaluates, converts and describes scenes: eval, "
                                                              "convert, info)");
}

}  // namespace

bool ReadImage(const std::string&, Image&, std::string& error) {
  error = std::string("cannot read: ") + kNoImages;
  return false;
}

// Nothing is converted: no image is read.
std::shared_ptr<const ColourConfig> OpenColourConfig(const std::string&, std::string&) { return nullptr; }

// Every image would fail to read: Get reports it for the first bitmap.
void ImageLibrary::Preload(const std::vector<ImageRequest>&) {}

int RunRender(const RenderArgs&, std::ostream&, std::ostream& err) { return RefuseImageCommand("render", err); }

int RunModes(const ModesArgs&, std::ostream&, std::ostream& err) { return RefuseImageCommand("modes", err); }

int RunLayers(const LayersArgs&, std::ostream&, std::ostream& err) { return RefuseImageCommand("layers", err); }

int RunAssemble(const AssembleArgs&, std::ostream&, std::ostream& err) { return RefuseImageCommand("assemble", err); }

}  // namespace tessary::app
