// The commands that make images: `render` (a scene into an image file,
// rendered in parallel) and `modes` (the contact sheet of the blend modes).
// Built with the image library; no_image.cpp stands in for them without it.

#include <unistd.h>

#include <OpenImageIO/imagebuf.h>
#include <OpenImageIO/imagebufalgo.h>

#include <cstdio>
#include <filesystem>
#include <ostream>

#include "app/command_steps.h"
#include "app/commands.h"
#include "app/image_io.h"
#include "app/map_graph.h"
#include "app/mode_names.h"
#include "app/render.h"
#include "compositing/blend_modes.h"

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

int RunRender(const RenderArgs& a, std::ostream& out, std::ostream& err) {
  std::string error;
  ImageFormat format{};
  if (!FormatForPath(a.output, a.bits, format, error)) return Fail(err, a.output + ": " + error);
  Compression compression{};
  if (!ParseCompression(a.compression, compression, error)) return Fail(err, error);
  // --threads bounds every thread: reading the images, rendering, writing.
  const ThreadLimit limit(a.threads);
  SceneGraph graph;
  ImageLibrary images;
  if (!LoadMaps(a.scene, graph, images, err)) return kExitFailure;
  std::vector<std::string> inputs = images.Paths();
  inputs.push_back(a.scene);
  if (!KeepInputs(a.output, inputs, a.force, err)) return kExitFailure;

  ImageWriter writer;
  if (!writer.Open(a.output, format, a.width, a.height, error, compression)) return Fail(err, a.output + ": " + error);
  RenderOptions options;
  options.width = a.width;
  options.height = a.height;
  options.threads = a.threads;
  ProgressBar bar;
  if (!a.quiet && ::isatty(STDERR_FILENO)) options.progress = [&bar](double f) { bar(f); };
  if (!RenderTo(*graph.root, writer, options, error) || !writer.Commit(error)) return Fail(err, a.output + ": " + error);
  if (!a.quiet) out << "wrote " << a.output << " (" << a.width << "x" << a.height << ")\n";
  return kExitOk;
}

int RunModes(const ModesArgs& a, std::ostream& out, std::ostream& err) {
  std::string error;
  ImageFormat format{};
  if (!FormatForPath(a.output, 8, format, error)) return Fail(err, a.output + ": " + error);
  const fs::path textures = fs::path(TESSARY_EXAMPLES_DIR) / "textures";
  const std::string basePath = a.baseImage.empty() ? (textures / "mode_base.png").string() : a.baseImage;
  const std::string topPath = a.topImage.empty() ? (textures / "mode_top.png").string() : a.topImage;
  if (!KeepInputs(a.output, {basePath, topPath}, a.force, err)) return kExitFailure;

  const ThreadLimit limit(a.threads);
  ImageLibrary images;
  constexpr int kColumns = 6;
  constexpr int kLabel = 24;
  constexpr int kGap = 6;
  const int tile = a.tile;
  const int rows = (kNumBlendModes + kColumns - 1) / kColumns;
  const int sheetW = kColumns * tile + (kColumns + 1) * kGap;
  const int sheetH = rows * (tile + kLabel) + (rows + 1) * kGap;
  OIIO::ImageBuf sheet(OIIO::ImageSpec(sheetW, sheetH, 4, OIIO::TypeDesc::FLOAT));
  const float background[4] = {0.13f, 0.13f, 0.14f, 1.0f};
  OIIO::ImageBufAlgo::fill(sheet, background);

  for (int mode = 0; mode < kNumBlendModes; ++mode) {
    MapDesc desc;
    desc.type = MapType::Layered;
    desc.layers.resize(2);
    for (int l = 0; l < 2; ++l) {
      auto bitmap = std::make_shared<MapDesc>();
      bitmap->type = MapType::Bitmap;
      bitmap->bitmap.file = l == 0 ? basePath : topPath;
      bitmap->bitmap.resolvedPath = bitmap->bitmap.file;
      desc.layers[static_cast<std::size_t>(l)].map = std::move(bitmap);
    }
    desc.layers[1].mode = mode;
    SceneGraph graph;
    graph.path = "modes";
    if (!BuildGraph(desc, graph, error)) return Fail(err, error);
    if (!PrepareGraph(graph, images, error)) return Fail(err, error);
    const Image img = RenderImage(*graph.root, tile, tile, a.threads);
    const int col = mode % kColumns;
    const int row = mode / kColumns;
    const int x0 = kGap + col * (tile + kGap);
    const int y0 = kGap + row * (tile + kLabel + kGap);
    for (int y = 0; y < tile; ++y)
      for (int x = 0; x < tile; ++x) {
        host::AColor c = img.At(x, y);
        c.ClampMinMax();
        const float px[4] = {c.r, c.g, c.b, 1.0f};
        sheet.setpixel(x0 + x, y0 + y, px);
      }
    const float white[4] = {0.92f, 0.92f, 0.92f, 1.0f};
    const std::string label = std::to_string(mode) + " " + std::string(ModeName(mode));
    if (!OIIO::ImageBufAlgo::render_text(sheet, x0 + 3, y0 + tile + 17, label, 15, TESSARY_FONT_FILE, white))
      return Fail(err, "cannot draw the mode names: " + sheet.geterror());
  }

  Image result;
  result.width = sheetW;
  result.height = sheetH;
  result.rgba.resize(static_cast<std::size_t>(sheetW) * static_cast<std::size_t>(sheetH) * 4);
  sheet.get_pixels(OIIO::ROI(0, sheetW, 0, sheetH, 0, 1, 0, 4), OIIO::TypeDesc::FLOAT, result.rgba.data());
  if (!WriteImage(a.output, format, result, error)) return Fail(err, a.output + ": " + error);
  out << "wrote " << a.output << " (" << kNumBlendModes << " modes, " << sheetW << "x" << sheetH << ")\n";
  return kExitOk;
}

}  // namespace tessary::app
