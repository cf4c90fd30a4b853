// `render`: scenes into image files, rendered in parallel. Built where
// images are; no_image.cpp stands in for it without them. (`modes`, the
// contact sheet of the blend modes, is the image module's: library/.)

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <ostream>

#include "app/colour.h"
#include "app/command_steps.h"
#include "app/commands.h"
#include "app/image_io.h"
#include "app/layer_pick.h"
#include "app/output_file.h"
#include "app/map_graph.h"
#include "app/render.h"

namespace tessary::app {

namespace fs = std::filesystem;

namespace {

class ProgressBar {
 public:
  void operator()(double fraction) {
    const int width = 40;
    const int filled = static_cast<int>(fraction * width);
    if (filled == last_) return;
    last_ = filled;
    std::fprintf(stderr, "\rrendering [%s%s] %3d%%", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(width - filled), ' ').c_str(),
                 static_cast<int>(fraction * 100.0 + 0.5));
    if (fraction >= 1.0) std::fputs("\n", stderr);
    std::fflush(stderr);
  }

 private:
  int last_ = -1;
};

}  // namespace

namespace {

// The output of one scene of a batch: {name} in the template is the scene
// file's name without its folder and extension ("stdin" for standard input).
std::string OutputFor(const std::string& pattern, const std::string& scene) {
  const std::string name = IsStandardOutput(scene) ? std::string("stdin") : fs::path(scene).stem().string();
  std::string out = pattern;
  for (std::size_t at = out.find("{name}"); at != std::string::npos; at = out.find("{name}", at + name.size()))
    out.replace(at, 6, name);
  return out;
}

// Renders one scene of the command to `output`.
bool RenderOne(const RenderArgs& a, const std::string& scene, const std::string& output, OutputChoice choice,
               ImageLibrary& images, std::ostream& out, std::ostream& err) {
  std::string error;
  choice.source = scene;
  SceneGraph graph;
  if (!LoadMaps(scene, graph, images, err)) return false;
  // Out of the scene's working space into the output's; a raw working space
  // is never converted (and tagged only as asked).
  const std::string working = WorkingSpace(graph);
  if (IsRawColourSpace(working)) {
    if (a.outputColorspace.empty()) choice.colorspace.clear();
  } else if (const ColourConfig* colours = images.Colours(error)) {
    choice.colour = colours->Transform(working, choice.colorspace, error);
  }
  if (!error.empty()) {
    Fail(err, scene + ": " + error);
    return false;
  }
  if (!ApplyLayerPick(*graph.root, a.pick, error)) {
    Fail(err, scene + ": " + error);
    return false;
  }
  std::vector<std::string> inputs = images.Paths();
  inputs.push_back(scene);
  if (!KeepInputs(output, inputs, a.force, err)) return false;

  const Region& region = choice.region;
  const int width = region.IsSet() ? region.Width() : a.width;
  const int height = region.IsSet() ? region.Height() : a.height;
  if (choice.format == ImageFormat::Tx) {
    // A texture for renderers is made from the whole image (its mip levels
    // need all of it).
    Image image = RenderImage(*graph.root, a.width, a.height, a.threads, EvalPath::Spans, a.samples);
    if (!WriteTexture(output, choice, std::move(image), error)) {
      Fail(err, output + ": " + error);
      return false;
    }
    if (!a.quiet) out << "wrote " << output << " (" << a.width << "x" << a.height << ", tiled, mip-mapped)\n";
    return true;
  }
  ImageWriter writer;
  if (!writer.Open(output, choice, width, height, error)) {
    Fail(err, output + ": " + error);
    return false;
  }
  RenderOptions options;
  options.width = a.width;
  options.height = a.height;
  options.threads = a.threads;
  options.samples = a.samples;
  options.region = region;
  ProgressBar bar;
  if (!a.quiet && ::isatty(STDERR_FILENO)) options.progress = [&bar](double f) { bar(f); };
  if (!RenderTo(*graph.root, writer, options, error) || !writer.Commit(error)) {
    Fail(err, output + ": " + error);
    return false;
  }
  if (writer.DroppedAlpha())
    err << "tessary: warning: " << output << ": JPEG keeps no alpha; the render's alpha, below 1 in places, was dropped\n";
  if (!a.quiet) {
    out << "wrote " << output << " (" << width << "x" << height;
    if (region.IsSet())
      out << ", pixels " << region.x0 << " " << region.y0 << " to " << region.x1 << " " << region.y1 << " of "
          << a.width << "x" << a.height;
    out << ")\n";
  }
  return true;
}

}  // namespace

int RunRender(const RenderArgs& a, std::ostream& out, std::ostream& err) {
  std::string error;
  auto usage = [&err](const std::string& message) {
    err << "tessary: error: " << message << "\nRun 'tessary render --help' for usage.\n";
    return kExitUsage;
  };
  if (a.scenes.empty()) return usage("missing scene");
  // Several scenes: each needs an output of its own.
  std::vector<std::string> outputs;
  for (const std::string& scene : a.scenes) outputs.push_back(OutputFor(a.output, scene));
  if (a.scenes.size() > 1) {
    if (a.output.find("{name}") == std::string::npos)
      return usage("several scenes need {name} in the output, for example -o 'out/{name}.exr'");
    std::set<std::string> seen;
    for (const std::string& o : outputs)
      if (!seen.insert(o).second) return usage("two scenes would be written to " + o + " (scene files of one name)");
  }
  ImageFormat format{};
  if (!FormatForPath(outputs.front(), 8, format, error)) return Fail(err, outputs.front() + ": " + error);
  // An output option the format does not have is a usage error, not ignored.
  OutputChoice choice;
  if (!ResolveOutput(outputs.front(), a.request, choice, error)) return usage(outputs.front() + ": " + error);
  choice.software = std::string("tessary ") + TESSARY_VERSION_STRING;
  if (!a.outputColorspace.empty()) choice.colorspace = a.outputColorspace;
  const std::shared_ptr<const ColourConfig> colours = OpenColourConfig(a.colorConfig, error);
  if (!colours && !error.empty()) return Fail(err, error);
  if (colours && !a.outputColorspace.empty() && !colours->Knows(a.outputColorspace))
    return usage("--output-colorspace: " + colours->Unknown(a.outputColorspace));
  if (!a.region.empty()) {
    if (!MakeRegion(a.region, a.width, a.height, choice.region, error)) return usage(error);
    // Regions are joined by copying their pixels: a lossy format or a
    // texture made from the whole image cannot be a part.
    if (choice.format == ImageFormat::Jpeg || choice.format == ImageFormat::Tx)
      return usage("--region writes PNG, TIFF or EXR parts (JPEG is lossy and a .tx texture is made from the whole "
                   "image); join the parts with 'tessary assemble' and convert the whole");
  }
  // --threads bounds every thread: reading the images, rendering, writing.
  const ThreadLimit limit(a.threads);
  // Images used by several scenes are read once (for each colour space).
  ImageLibrary images(colours);
  int failed = 0;
  for (std::size_t i = 0; i < a.scenes.size(); ++i)
    if (!RenderOne(a, a.scenes[i], outputs[i], choice, images, out, err)) ++failed;
  if (failed > 0 && a.scenes.size() > 1)
    err << "tessary: error: " << failed << " of " << a.scenes.size() << " scenes failed\n";
  return failed > 0 ? kExitFailure : kExitOk;
}

}  // namespace tessary::app
