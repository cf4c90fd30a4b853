// The renderer evaluates the rows of its tiles as spans; a host evaluates one
// sample at a time through EvalColor. Both ways must give every pixel the
// same bits: the project's scenes (the golden scene, the showcase) and a
// stack of bitmaps holding hostile values are rendered both ways here and
// compared float by float (a NaN need only meet a NaN).

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <memory>
#include <limits>
#include <string>

#include "app/bitmap_tex.h"
#include "app/image_io.h"
#include "app/map_graph.h"
#include "app/render.h"
#include "app/scene_io.h"
#include "host/sdk/shade_context.h"
#include "host/sdk/shade_span.h"
#include "tests/app/test_util.h"
#include "tests/support/float_bits.h"

namespace tessary::app::testing {
namespace {

namespace fs = std::filesystem;
using tessary::testing::SameBits;
using tessary::testing::Show;

void ExpectSameRenderBothWays(const std::string& scene, int width, int height, int samplesPerAxis = 1) {
  SceneGraph graph;
  ImageLibrary images;
  std::string error;
  ASSERT_TRUE(LoadScene(scene, graph, error) && PrepareGraph(graph, images, error)) << error;
  const Image spans = RenderImage(*graph.root, width, height, 2, EvalPath::Spans, samplesPerAxis);
  const Image samples = RenderImage(*graph.root, width, height, 1, EvalPath::Samples, samplesPerAxis);
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
    int samples = 1;  // per axis and pixel
  };
  const fs::path source(TESSARY_SOURCE_DIR);
  const Case cases[] = {
      {source / "tests/app/golden/scene.json", 37, 29},  // tiles cut short on both axes
      {source / "tests/app/golden/scene.json", 131, 70},
      {source / "examples/showcase.json", 150, 97},
      // 3 x 3 samples a pixel: a row of samples spans more than one span,
      // and spans end inside a pixel.
      {source / "examples/showcase.json", 150, 41, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scene.string() + " at " + std::to_string(c.width) + "x" + std::to_string(c.height));
    ExpectSameRenderBothWays(c.scene.string(), c.width, c.height, c.samples);
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
  // At the first image's own size every sample of its untiled layers is at a
  // pixel's centre.
  ExpectSameRenderBothWays((dir / "scene.json").string(), 7, 5);
}

TEST(SpanRender, PlainValuesAreFiniteAndNotNegativeZero) {
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    float value;
    bool plain;
  } cases[] = {{0.0f, true}, {-0.0f, false}, {1.0f, true}, {-2.5f, true}, {1e-45f, true}, {-1e-45f, true},
               {3.4e38f, true}, {inf, false}, {-inf, false}, {std::numeric_limits<float>::quiet_NaN(), false}};
  for (const auto& c : cases) {
    // Alone and among plain values, at the start, the middle and the end.
    std::vector<float> values(37, 0.5f);
    for (std::size_t at : {std::size_t{0}, std::size_t{18}, std::size_t{36}}) {
      values.assign(37, 0.5f);
      values[at] = c.value;
      EXPECT_EQ(PlainValues(values.data(), values.size()), c.plain) << c.value << " at " << at;
    }
    EXPECT_EQ(PlainValues(&c.value, 1), c.plain) << c.value;
  }
  EXPECT_TRUE(PlainValues(nullptr, 0));
}

// The bitmap's span sampler against its per-sample one at coordinates a
// render never produces: non-finite, huge, negative, on pixel edges and
// image borders, for float and 8-bit images, straight and premultiplied.
TEST(SpanRender, BitmapSpanAtHostileCoordinates) {
  const float inf = std::numeric_limits<float>::infinity();
  const float coords[] = {0.0f,  -0.0f,  1.0f,     0.99999994f, 1.0000001f, 0.5f,  0.25f,   -0.25f, -1.0f,
                          7.5f,  -7.5f,  1e-40f,   3.4e38f,     -3.4e38f,   16777216.0f, 1e9f,  inf,   -inf,
                          std::numeric_limits<float>::quiet_NaN(), 0.1f, 0.7f, 1.0f / 3.0f, 2.0f / 7.0f};
  const int count = static_cast<int>(std::size(coords));
  Image floats;
  floats.width = 5;
  floats.height = 3;
  for (int i = 0; i < 5 * 3 * 4; ++i) floats.rgba.push_back(i % 4 == 3 ? static_cast<float>(i % 3) * 0.5f - 0.25f : static_cast<float>(i) * 0.05f);
  ScratchDir dir("span-bitmap");
  std::string error;
  ASSERT_TRUE(WriteImage((dir / "bytes.png").string(), ImageFormat::Png8, floats, error)) << error;
  Image bytes;
  ASSERT_TRUE(ReadImage((dir / "bytes.png").string(), bytes, error)) << error;
  ASSERT_FALSE(bytes.rgba8.empty());
  // The same bytes through tables with hostile values (as a colour
  // conversion could make them): -0, negatives, infinities, NaN.
  Image tabled = bytes;
  auto table = std::make_shared<std::vector<float>>(4 * 256);
  const float hostile[] = {-0.0f, -0.5f, inf, -inf, std::numeric_limits<float>::quiet_NaN(), 0.0f, 2.0f, 0.5f};
  for (std::size_t i = 0; i < table->size(); ++i) (*table)[i] = hostile[(i * 7 + i / 256) % std::size(hostile)];
  tabled.ownTables = table;
  tabled.byteToFloat = table->data();

  // The float image as the image library marks it once it has checked
  // every value (0.05 steps and alphas of -0.25 to 0.75: all plain).
  ASSERT_TRUE(PlainValues(floats.rgba.data(), floats.rgba.size()));
  Image marked = floats;
  marked.plainValues = true;
  // And one with a hostile value in every pixel, checked the same way.
  Image hostileFloats = floats;
  const float hostileValues[] = {-0.0f, inf, std::numeric_limits<float>::quiet_NaN(), -inf};
  for (std::size_t p = 0; p < 15; ++p) hostileFloats.rgba[p * 4 + p % 4] = hostileValues[p % 4];
  hostileFloats.plainValues = PlainValues(hostileFloats.rgba.data(), hostileFloats.rgba.size());
  ASSERT_FALSE(hostileFloats.plainValues);

  for (const Image* image : {&floats, &marked, &hostileFloats, &bytes, &tabled}) {
    for (AlphaMode alpha : {AlphaMode::Straight, AlphaMode::Premultiplied}) {
      for (const std::array<float, 4>& placing : {std::array<float, 4>{1, 1, 0, 0}, {3, -2, 0.3f, -7}, {1e-3f, 1e6f, 0, 0.5f}}) {
        SCOPED_TRACE(std::string(image == &floats ? "float" : image == &marked ? "float, plain values" : image == &hostileFloats ? "float, hostile values" : image == &bytes ? "8-bit" : "8-bit, hostile tables") + (alpha == AlphaMode::Straight ? ", straight" : ", premultiplied") + ", tile " + std::to_string(placing[0]));
        BitmapTex map;
        map.SetImage(std::make_shared<Image>(*image));
        map.alpha = alpha;
        map.tile = {placing[0], placing[1]};
        map.offset = {placing[2], placing[3]};
        host::ShadeContext sc;
        host::ShadeSpan span(sc);
        auto got = std::make_unique<host::SpanColors>();
        // Span `shift` pairs coordinate k with coordinate k + shift: every
        // pair meets once.
        for (int shift = 0; shift < count; ++shift) {
          span.NewSpan(count);
          for (int k = 0; k < count; ++k) span.SetUVW(k, host::Point3(coords[k], coords[(k + shift) % count], 0.0f));
          map.EvalColorSpan(span, *got);
          for (int k = 0; k < count; ++k) {
            sc.MoveTo(span.UVW(k));
            ASSERT_TRUE(tessary::testing::ColorBitsEq(got->Get(k), map.EvalColor(sc)))
                << "u " << span.U()[k] << ", v " << span.V()[k];
          }
        }
      }
    }
  }
}

}  // namespace
// Rows of samples at the centres of neighbouring pixels (a render at the
// image's own size) are read four pixels at a time: runs that start
// anywhere, end at the row's end or wrap past it, broken by samples off the
// centres, over alphas of 0, below 0, above 1 and the smallest above 0, in
// float and 8-bit images, straight and premultiplied.
TEST(SpanRender, BitmapRunsOfPixelCentres) {
  constexpr int kWidth = 16, kHeight = 4;
  // Alphas of 0.1 and 0.7 do not give every colour back when multiplied and
  // divided again, so a pixel weighed where it should not be shows.
  const float alphas[] = {0.1f, 0.0f, -0.25f, 1.5f, 1e-45f, 1.0f, 0.7f, 0.5f};
  std::uint32_t state = 12345;
  auto next = [&state](std::uint32_t n) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % n;
  };
  auto colour = [&next] { return static_cast<float>(next(19)) * 0.05f - 0.1f; };
  auto rowAlpha = [&](int y) { return y >= kHeight / 2 ? alphas[0] : alphas[next(std::size(alphas))]; };
  std::vector<Image> images;
  for (int round = 0; round < 3; ++round) {
    // Float: the lower half of the rows of one alpha, so that a pixel and
    // its neighbours share it there.
    Image floats;
    floats.width = kWidth;
    floats.height = kHeight;
    for (int i = 0; i < kWidth * kHeight; ++i) {
      for (int c = 0; c < 3; ++c) floats.rgba.push_back(colour());
      floats.rgba.push_back(round == 0 ? rowAlpha(i / kWidth) : alphas[next(std::size(alphas))]);
    }
    EXPECT_TRUE(PlainValues(floats.rgba.data(), floats.rgba.size()));
    floats.plainValues = true;
    floats.premultiplied = true;
    images.push_back(floats);
    // 8-bit: bytes through tables of the same kinds of values.
    Image bytes;
    bytes.width = kWidth;
    bytes.height = kHeight;
    for (int i = 0; i < kWidth * kHeight * 4; ++i) bytes.rgba8.push_back(static_cast<std::uint8_t>(next(256)));
    auto tables = std::make_shared<std::vector<float>>();
    for (int i = 0; i < 3 * 256; ++i) tables->push_back(colour());
    for (int i = 0; i < 256; ++i) tables->push_back(alphas[next(std::size(alphas))]);
    EXPECT_TRUE(PlainValues(tables->data(), tables->size()));
    bytes.ownTables = tables;
    bytes.byteToFloat = tables->data();
    bytes.premultiplied = false;
    images.push_back(bytes);
  }

  host::ShadeContext sc;
  host::ShadeSpan span(sc);
  auto got = std::make_unique<host::SpanColors>();
  const float offCentre = 0.3f / kWidth;
  for (const Image& image : images) {
    auto shared = std::make_shared<Image>(image);
    for (AlphaMode alpha : {AlphaMode::Premultiplied, AlphaMode::Straight}) {
      for (const std::array<float, 2>& placing : {std::array<float, 2>{1, 0}, {1, 0.25f}, {-1, 0}, {-1, 1}, {2, 0}}) {
        BitmapTex map;
        map.SetImage(shared);
        map.alpha = alpha;
        map.tile = {placing[0], 1.0f};
        map.offset = {placing[1], 0.0f};
        for (int length : {1, 3, 4, 5, 8, 13, 37, host::kMaxSpan}) {
          for (int first = 0; first < kWidth; ++first) {
            // Without a break, and with one sample off its centre at a few places.
            for (int broken : {-1, 0, 2, 5, length - 1}) {
              SCOPED_TRACE(std::string(image.rgba8.empty() ? "float" : "8-bit") +
                           (alpha == AlphaMode::Straight ? ", straight" : ", premultiplied") + ", tile " +
                           std::to_string(placing[0]) + ", offset " + std::to_string(placing[1]) + ", length " +
                           std::to_string(length) + ", first pixel " + std::to_string(first) + ", off centre at " +
                           std::to_string(broken));
              span.NewSpan(length);
              const float v = 1.0f - (static_cast<float>(first % kHeight) + 0.5f) / kHeight;
              for (int k = 0; k < length; ++k) {
                const float u = (static_cast<float>(first + k) + 0.5f) / kWidth + (k == broken ? offCentre : 0.0f);
                span.SetUVW(k, host::Point3(u, v, 0.0f));
              }
              map.EvalColorSpan(span, *got);
              for (int k = 0; k < length; ++k) {
                sc.MoveTo(span.UVW(k));
                ASSERT_TRUE(tessary::testing::ColorBitsEq(got->Get(k), map.EvalColor(sc))) << "sample " << k;
              }
            }
          }
        }
      }
    }
  }
}

}  // namespace tessary::app::testing
