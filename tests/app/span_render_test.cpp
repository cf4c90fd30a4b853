// The renderer evaluates the rows of its tiles as spans; a host evaluates one
// sample at a time through EvalColor. Both ways must give every pixel the
// same bits: the project's scenes (the golden scene, the showcase) and a
// stack of bitmaps holding hostile values are rendered both ways here and
// compared float by float (a NaN need only meet a NaN).

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <string>

#include "app/image_io.h"
#include "app/map_graph.h"
#include "app/render.h"
#include "app/scene_io.h"
#include "tests/app/test_util.h"
#include "tests/support/float_bits.h"

namespace tessary::app::testing {
namespace {

namespace fs = std::filesystem;
using tessary::testing::SameBits;
using tessary::testing::Show;

void ExpectSameRenderBothWays(const std::string& scene, int width, int height) {
  SceneGraph graph;
  ImageLibrary images;
  std::string error;
  ASSERT_TRUE(LoadScene(scene, graph, error) && PrepareGraph(graph, images, error)) << error;
  const Image spans = RenderImage(*graph.root, width, height, 2, EvalPath::Spans);
  const Image samples = RenderImage(*graph.root, width, height, 1, EvalPath::Samples);
  ASSERT_EQ(spans.rgba.size(), samples.rgba.size());
  for (std::size_t i = 0; i < spans.rgba.size(); ++i) {
    const std::size_t pixel = i / 4;
    ASSERT_TRUE(SameBits(spans.rgba[i], samples.rgba[i]))
        << "pixel (" << pixel % static_cast<std::size_t>(width) << ", " << pixel / static_cast<std::size_t>(width)
        << ") channel " << i % 4 << ": spans " << Show(spans.rgba[i]) << ", samples " << Show(samples.rgba[i]);
  }
}

TEST(SpanRender, ProjectScenesBothWays) {
  struct Case {
    fs::path scene;
    int width, height;
  };
  const fs::path source(TESSARY_SOURCE_DIR);
  const Case cases[] = {
      {source / "tests/app/golden/scene.json", 37, 29},  // tiles cut short on both axes
      {source / "tests/app/golden/scene.json", 131, 70},
      {source / "examples/showcase.json", 150, 97},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scene.string() + " at " + std::to_string(c.width) + "x" + std::to_string(c.height));
    ExpectSameRenderBothWays(c.scene.string(), c.width, c.height);
  }
}

// Float images with NaN, infinities, negatives, alpha 0 and above 1, read
// as premultiplied (EXR, divided by alpha), straight (TIFF) and 8-bit (PNG),
// tiled and offset, as layers and masks in many modes, with the output stage.
TEST(SpanRender, BitmapStackWithHostileValues) {
  ScratchDir dir("span-render");
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float values[] = {0.0f, -0.0f, 1.0f, 0.5f, -0.75f, 1.6f, 1e-40f, inf, -inf, nan, 3.4e38f, 0.25f, 2.0f};
  const int kValues = static_cast<int>(std::size(values));
  for (int f = 0; f < 3; ++f) {
    Image img;
    img.width = 7 + f;
    img.height = 5 + 2 * f;
    for (int i = 0; i < img.width * img.height * 4; ++i) {
      // Mostly ordinary colours with a hostile value in every fifth place.
      const float ordinary = static_cast<float>((i * 37 + f * 11) % 101) / 100.0f;
      img.rgba.push_back(i % 5 == 4 ? values[(i / 5 + f) % kValues] : ordinary);
    }
    std::string error;
    const char* names[] = {"a.exr", "b.tif", "c.png"};
    const ImageFormat formats[] = {ImageFormat::Exr, ImageFormat::Tiff, ImageFormat::Png8};
    ASSERT_TRUE(WriteImage((dir / names[f]).string(), formats[f], img, error)) << error;
  }
  const std::string scene = R"({"format": "tessary-scene", "version": 1, "root": {"type": "tessary", "layers": [
    {"map": {"type": "bitmap", "file": "a.exr", "tile": [3, 2], "offset": [0.1, -0.3]}},
    {"map": {"type": "bitmap", "file": "b.tif"}, "mask": {"type": "bitmap", "file": "c.png", "tile": 2},
     "mode": "Overlay", "opacity": 80},
    {"map": {"type": "bitmap", "file": "c.png", "offset": 0.5}, "mode": "Soft Light"},
    {"map": {"type": "bitmap", "file": "a.exr", "alpha": "straight"}, "mode": "Hue", "opacity": 45},
    {"map": {"type": "bitmap", "file": "b.tif", "alpha": "premultiplied", "tile": [-1, 4]}, "mode": "Dodge"},
    {"color": [0.2, 0.9, 0.4], "mask": {"type": "bitmap", "file": "a.exr"}, "mode": "Interpolation"},
    {"map": {"type": "bitmap", "file": "c.png"}, "mode": "Exact Difference", "used": false},
    {"map": {"type": "noise", "kind": "turbulence", "size": 0.1}, "mode": "Burn", "opacity": 30},
    {"color": [1, 0, 0], "mode": 34}],
    "output": {"on": true, "gamma": 2.2, "hsv": [15, 0.1, -0.05], "rgb": [0.1, 0, -0.1], "bright": 90}}})";
  WriteFile(dir / "scene.json", scene);
  ExpectSameRenderBothWays((dir / "scene.json").string(), 45, 33);
}

}  // namespace
}  // namespace tessary::app::testing
