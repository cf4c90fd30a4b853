// `tessary modes`: the contact sheet of the blend modes, each mode's tile
// a render of the base and top images, labelled with its number and name.

#include <OpenImageIO/imagebuf.h>
#include <OpenImageIO/imagebufalgo.h>

#include <filesystem>
#include <ostream>

#include "app/colour.h"
#include "app/command_steps.h"
#include "app/commands.h"
#include "app/host_session.h"
#include "app/image_io.h"
#include "app/library/library.h"
#include "app/map_graph.h"
#include "app/mode_names.h"
#include "app/render.h"
#include "compositing/blend_modes.h"

namespace tessary::app::library {

namespace fs = std::filesystem;
namespace OIIO = OIIO_NAMESPACE;

namespace {

// Whether `label` drawn at `fontSize` fits under a tile `tile` pixels wide.
// Without the font there is nothing to measure: drawing reports it.
bool LabelFits(const std::string& label, int fontSize, int tile) {
  const OIIO::ROI box = OIIO::ImageBufAlgo::text_size(label, fontSize, TESSARY_FONT_FILE);
  return !box.defined() || box.width() <= tile - 3;
}

}  // namespace

int RunModes(const ModesArgs& a, std::ostream& out, std::ostream& err) {
  std::string error;
  ImageFormat format{};
  if (!FormatForPath(a.output, 8, format, error)) return Fail(err, a.output + ": " + error);
  const fs::path textures = fs::path(SharedDataDir()) / "examples" / "textures";
  const std::string basePath = a.baseImage.empty() ? (textures / "mode_base.png").string() : a.baseImage;
  const std::string topPath = a.topImage.empty() ? (textures / "mode_top.png").string() : a.topImage;
  if (!KeepInputs(a.output, {basePath, topPath}, a.force, err)) return kExitFailure;

  // The sheet is drawn in sRGB (the images converted into it as they are
  // read) and converted into the output's colour space when written.
  const std::shared_ptr<const ColourConfig> colours = OpenColourConfig(a.colorConfig, error);
  if (!colours && !error.empty()) return Fail(err, error);
  OutputChoice choice;
  if (!ResolveOutput(a.output, OutputRequest{}, choice, error)) return Fail(err, a.output + ": " + error);
  if (colours) choice.colour = colours->Transform(kDefaultWorkingSpace, choice.colorspace, error);
  if (!error.empty()) return Fail(err, a.output + ": " + error);
  const ThreadLimit limit(a.threads);
  ImageLibrary images(colours);
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

  // The labels fit under their tiles: one font size for the sheet, the
  // largest (up to 15) at which every name fits, at least 8; a name that does
  // not fit even then is shown by its number alone.
  const auto Label = [](int mode) { return std::to_string(mode) + " " + std::string(ModeName(mode)); };
  int fontSize = 15;
  while (fontSize > 8) {
    bool all = true;
    for (int mode = 0; mode < kNumBlendModes && all; ++mode) all = LabelFits(Label(mode), fontSize, tile);
    if (all) break;
    --fontSize;
  }

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
    std::string label = Label(mode);
    if (!LabelFits(label, fontSize, tile)) label = std::to_string(mode);
    if (!OIIO::ImageBufAlgo::render_text(sheet, x0 + 3, y0 + tile + 17, label, fontSize, TESSARY_FONT_FILE, white))
      return Fail(err, "cannot draw the mode names: " + sheet.geterror());
  }

  Image result;
  result.width = sheetW;
  result.height = sheetH;
  result.rgba.resize(static_cast<std::size_t>(sheetW) * static_cast<std::size_t>(sheetH) * 4);
  sheet.get_pixels(OIIO::ROI(0, sheetW, 0, sheetH, 0, 1, 0, 4), OIIO::TypeDesc::FLOAT, result.rgba.data());
  if (!WriteImage(a.output, choice, result, error)) return Fail(err, a.output + ": " + error);
  out << "wrote " << a.output << " (" << kNumBlendModes << " modes, " << sheetW << "x" << sheetH << ")\n";
  return kExitOk;
}


}  // namespace tessary::app::library
