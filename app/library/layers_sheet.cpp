#include "app/layers_sheet.h"
#include "app/library/library.h"

#include <OpenImageIO/imagebuf.h>
#include <OpenImageIO/imagebufalgo.h>

#include <algorithm>
#include <ostream>

#include "app/colour.h"
#include "app/image_io.h"
#include "app/layer_pick.h"
#include "app/map_graph.h"
#include "app/mode_names.h"
#include "app/output_file.h"
#include "app/render.h"
#include "app/scene_io.h"
#include "app/scene_json.h"
#include "plugin_api/layered_map.h"

namespace tessary::app::library {

namespace {

constexpr int kGap = 8;
constexpr int kHeader = 26;
constexpr int kTextWidth = 330;
constexpr int kFontSize = 14;
const float kBackground[4] = {0.13f, 0.13f, 0.14f, 1.0f};
const float kText[4] = {0.92f, 0.92f, 0.92f, 1.0f};
const float kDim[4] = {0.55f, 0.55f, 0.57f, 1.0f};

int Fail(std::ostream& err, const std::string& message) {
  err << "tessary: error: " << message << "\n";
  return 1;
}

// Straight colour over a grey checkerboard, so that what is transparent
// shows as such.
void PutThumbnail(OIIO::ImageBuf& sheet, int x0, int y0, const Image& img) {
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) {
      host::AColor c = img.At(x, y);
      c.ClampMinMax();
      const float ground = ((x / 8 + y / 8) % 2 == 0) ? 0.42f : 0.30f;
      const float px[4] = {c.r * c.a + ground * (1.0f - c.a), c.g * c.a + ground * (1.0f - c.a),
                           c.b * c.a + ground * (1.0f - c.a), 1.0f};
      sheet.setpixel(x0 + x, y0 + y, px);
    }
}

void PutFlat(OIIO::ImageBuf& sheet, int x0, int y0, int side, const host::Color& c, const ColourTransform* display) {
  float rgba[4] = {c.r, c.g, c.b, 1.0f};
  if (display) display->Apply(rgba, 1);
  const float px[4] = {std::clamp(rgba[0], 0.0f, 1.0f), std::clamp(rgba[1], 0.0f, 1.0f), std::clamp(rgba[2], 0.0f, 1.0f),
                       1.0f};
  OIIO::ImageBufAlgo::fill(sheet, px, OIIO::ROI(x0, x0 + side, y0, y0 + side));
}

bool Text(OIIO::ImageBuf& sheet, int x, int y, const std::string& text, const float* colour, std::string& error) {
  if (OIIO::ImageBufAlgo::render_text(sheet, x, y, text, kFontSize, TESSARY_FONT_FILE, colour)) return true;
  error = "cannot draw the sheet's text: " + sheet.geterror();
  return false;
}

std::string Percent(float f) { return FloatText(f) + " %"; }

std::string Label(const MapDesc* m) {
  if (!m) return "none";
  std::string label = MapTypeName(m->type);
  if (!m->name.empty()) label += " \"" + m->name + "\"";
  else if (m->type == MapType::Bitmap) label += " " + m->bitmap.file;
  return label;
}

}  // namespace

int RunLayers(const LayersArgs& a, std::ostream& out, std::ostream& err) {
  std::string error;
  ImageFormat format{};
  if (!FormatForPath(a.output, 8, format, error)) return Fail(err, a.output + ": " + error);
  const std::shared_ptr<const ColourConfig> colours = OpenColourConfig(a.colorConfig, error);
  if (!colours && !error.empty()) return Fail(err, error);
  OutputChoice choice;
  if (!ResolveOutput(a.output, OutputRequest{}, choice, error)) return Fail(err, a.output + ": " + error);
  const ThreadLimit limit(a.threads);
  SceneGraph graph;
  ImageLibrary images(colours);
  if (!LoadScene(a.scene, graph, error) || !PrepareGraph(graph, images, error)) return Fail(err, error);
  // The thumbnails show what a render would show: out of the working space
  // into sRGB for the sheet, which is converted into the output's space
  // when written.
  std::shared_ptr<const ColourTransform> display;
  if (colours && !IsRawColourSpace(WorkingSpace(graph)))
    display = colours->Transform(WorkingSpace(graph), kDefaultWorkingSpace, error);
  if (colours) choice.colour = colours->Transform(kDefaultWorkingSpace, choice.colorspace, error);
  if (!error.empty()) return Fail(err, a.scene + ": " + error);
  const auto thumbnail = [&](host::Texmap& map) {
    Image img = RenderImage(map, a.tile, a.tile, a.threads);
    if (display) display->Apply(img.rgba.data(), img.rgba.size() / 4);
    return img;
  };
  std::vector<std::string> inputs = images.Paths();
  inputs.push_back(a.scene);
  if (!a.force && !CheckNotAnInput(a.output, inputs, error)) return Fail(err, a.output + ": " + error);

  ILayeredMap* stack = GetLayeredMap(graph.root);
  if (!stack) return Fail(err, a.scene + ": the root map is not a layered map");
  const std::shared_ptr<MapDesc> desc = DescribeGraph(graph.root, graph, error);
  if (!desc) return Fail(err, a.scene + ": " + error);
  const int layers = stack->LayerCount();
  const int tile = a.tile;
  const int width = 3 * tile + 4 * kGap + kTextWidth;
  const long long height = kHeader + static_cast<long long>(layers) * (tile + kGap) + kGap;
  if (height > kMaxImageSide)
    return Fail(err, a.scene + ": " + std::to_string(layers) + " layers make a sheet " + std::to_string(height) +
                         " pixels tall (at most " + std::to_string(kMaxImageSide) + "); try a smaller --tile");

  OIIO::ImageBuf sheet(OIIO::ImageSpec(width, static_cast<int>(height), 4, OIIO::TypeDesc::FLOAT));
  OIIO::ImageBufAlgo::fill(sheet, kBackground);
  const int textX = 3 * tile + 4 * kGap;
  if (!Text(sheet, kGap, kHeader - 8, "map", kDim, error) ||
      !Text(sheet, 2 * kGap + tile, kHeader - 8, "mask", kDim, error) ||
      !Text(sheet, 3 * kGap + 2 * tile, kHeader - 8, "composite", kDim, error) ||
      !Text(sheet, textX, kHeader - 8, "layer", kDim, error))
    return Fail(err, error);

  // The composite after layer i: the layers above it switched off, then
  // switched back on one by one going down the rows.
  std::vector<LayerValues> values(static_cast<std::size_t>(layers));
  for (int i = 0; i < layers; ++i) values[static_cast<std::size_t>(i)] = stack->GetLayer(i);
  for (int i = 1; i < layers; ++i) {
    LayerValues off = values[static_cast<std::size_t>(i)];
    off.used = 0;
    stack->SetLayer(i, off);
  }

  for (int i = 0; i < layers; ++i) {
    const LayerValues& v = values[static_cast<std::size_t>(i)];
    const LayerDesc& l = desc->layers[static_cast<std::size_t>(i)];
    const int y0 = kHeader + i * (tile + kGap);
    // The layer's map, or the flat colour that stands in for it.
    host::Texmap* map = graph.root->GetSubTexmap(2 * i);
    if (map && v.mapOn) {
      PutThumbnail(sheet, kGap, y0, thumbnail(*map));
    } else {
      PutFlat(sheet, kGap, y0, tile, v.color, display.get());
    }
    host::Texmap* mask = graph.root->GetSubTexmap(2 * i + 1);
    if (mask && v.maskOn) {
      PutThumbnail(sheet, 2 * kGap + tile, y0, thumbnail(*mask));
    } else if (!Text(sheet, 2 * kGap + tile + 6, y0 + tile / 2 + 5, mask ? "mask off" : "no mask", kDim, error)) {
      return Fail(err, error);
    }
    if (i > 0) stack->SetLayer(i, v);
    host::Interval valid = host::FOREVER;
    graph.root->Update(0, valid);
    PutThumbnail(sheet, 3 * kGap + 2 * tile, y0, thumbnail(*graph.root));

    std::string mode = std::string(ModeName(v.mode));
    if (mode.empty()) mode = "mode " + std::to_string(v.mode) + " (none)";
    const std::string title = i == 0 ? "B  base" : std::to_string(i) + "  " + mode + ", " + Percent(v.opacity);
    const std::string mapLine = "map " + std::string(v.mapOn ? "" : "(off) ") + (l.map ? Label(l.map.get()) : "flat colour");
    const std::string maskLine = "mask " + std::string(v.maskOn ? "" : "(off) ") + Label(l.mask.get());
    const bool off = i > 0 && !v.used;
    if (!Text(sheet, textX, y0 + 18, title + (off ? "  (switched off)" : ""), off ? kDim : kText, error) ||
        !Text(sheet, textX, y0 + 38, mapLine, kDim, error) || !Text(sheet, textX, y0 + 56, maskLine, kDim, error))
      return Fail(err, error);
  }

  Image result;
  result.width = width;
  result.height = static_cast<int>(height);
  result.rgba.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
  sheet.get_pixels(OIIO::ROI(0, width, 0, static_cast<int>(height), 0, 1, 0, 4), OIIO::TypeDesc::FLOAT,
                   result.rgba.data());
  if (!WriteImage(a.output, choice, result, error)) return Fail(err, a.output + ": " + error);
  out << "wrote " << a.output << " (" << layers << (layers == 1 ? " layer, " : " layers, ") << width << "x" << height
      << ")\n";
  return 0;
}

}  // namespace tessary::app::library
