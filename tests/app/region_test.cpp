// Regions of a render and joining them: a region has the bits of the same
// pixels of the whole render, and `tessary assemble` puts region files
// together into a file with the pixels of the one-process render.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

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

TEST(Region, HasTheBitsOfTheWholeRender) {
  SceneGraph graph;
  ImageLibrary images;
  std::string error;
  const std::string scene = (fs::path(TESSARY_SOURCE_DIR) / "examples/showcase.json").string();
  ASSERT_TRUE(LoadScene(scene, graph, error) && PrepareGraph(graph, images, error)) << error;
  struct Case {
    int x0, y0, x1, y1;
    int samples;
    EvalPath path;
  };
  // The whole image is 300 x 53: two spans and a bit wide.
  const Case cases[] = {
      {0, 0, 300, 53, 1, EvalPath::Spans},     {0, 0, 1, 1, 1, EvalPath::Spans},
      {299, 52, 300, 53, 1, EvalPath::Spans},  {255, 3, 258, 40, 1, EvalPath::Spans},  // across a span's end
      {17, 20, 290, 21, 1, EvalPath::Samples}, {100, 10, 280, 30, 3, EvalPath::Spans},
      {1, 1, 299, 52, 2, EvalPath::Samples},
  };
  RenderOptions whole;
  whole.width = 300;
  whole.height = 53;
  for (const int samples : {1, 2, 3}) {
    whole.samples = samples;
    const Image full = RenderRegion(*graph.root, whole);
    for (const Case& c : cases) {
      if (c.samples != samples) continue;
      SCOPED_TRACE(std::to_string(c.x0) + " " + std::to_string(c.y0) + " " + std::to_string(c.x1) + " " +
                   std::to_string(c.y1) + ", samples " + std::to_string(c.samples));
      RenderOptions o = whole;
      o.path = c.path;
      o.threads = 2;
      o.region = Region{c.x0, c.y0, c.x1, c.y1, whole.width, whole.height};
      const Image part = RenderRegion(*graph.root, o);
      ASSERT_EQ(part.width, c.x1 - c.x0);
      ASSERT_EQ(part.height, c.y1 - c.y0);
      for (int y = 0; y < part.height; ++y)
        for (int x = 0; x < part.width; ++x)
          for (int ch = 0; ch < 4; ++ch) {
            const float a = part.rgba[(static_cast<std::size_t>(y) * static_cast<std::size_t>(part.width) +
                                       static_cast<std::size_t>(x)) * 4 + static_cast<std::size_t>(ch)];
            const float b = full.rgba[(static_cast<std::size_t>(y + c.y0) * 300 + static_cast<std::size_t>(x + c.x0)) *
                                          4 + static_cast<std::size_t>(ch)];
            ASSERT_TRUE(SameBits(a, b)) << "pixel " << x + c.x0 << " " << y + c.y0 << ": " << Show(a) << " vs "
                                        << Show(b);
          }
    }
  }
}

TEST(Region, DescriptionReadsBackAndRefusesAnythingElse) {
  const Region r{3, 0, 640, 17, 640, 480};
  Region back;
  ASSERT_TRUE(ParseRegionDescription(DescribeRegion(r), back));
  EXPECT_EQ(back, r);
  const char* const refused[] = {
      "",
      "tessary region 3 0 640 17 of 640x480 ",   // trailing text
      "tessary region 3 0 641 17 of 640x480",    // reaches outside
      "tessary region 3 17 640 17 of 640x480",   // empty
      "tessary region -1 0 640 17 of 640x480",   // negative
      "tessary region 3 0 640 17 of 0x480",      // no image
      "tessary region 0 0 1 1 of 65537x1",       // larger than any render
      "tessary region 0 0 1 1 of 99999999999x1",  // overflowing digits
      "tessary region 3  0 640 17 of 640x480",   // not as written
      "a photograph",
  };
  for (const char* text : refused) EXPECT_FALSE(ParseRegionDescription(text, back)) << text;
}

// The pixels of an image file exactly as stored.
std::vector<float> Stored(const fs::path& file) {
  Image image;
  std::string error;
  EXPECT_TRUE(ReadImage(file.string(), image, error)) << error;
  std::vector<float> values(image.rgba.begin(), image.rgba.end());
  for (const std::uint8_t b : image.rgba8) values.push_back(static_cast<float>(b));
  return values;
}

TEST(Program, RegionsAssembleIntoTheWholeRender) {
  ScratchDir dir("regions");
  WriteFile(dir / "s.json", Scene(R"({"type": "tessary", "layers": [
      {"map": {"type": "noise", "kind": "fractal", "size": 0.2, "octaves": 4}},
      {"map": {"type": "gradient", "kind": "radial", "color1": [1, 0, 0, 0.3], "color2": [0, 0, 1, 1]},
       "mode": "Overlay", "opacity": 80}]})"));
  // Uneven strips and a split strip: every part boundary lies off the
  // renderer's tiles.
  const char* const regions[] = {"0 0 97 23", "97 0 130 23", "0 23 130 71", "0 71 130 77"};
  for (const std::string ext : {"png", "exr", "tif"}) {
    SCOPED_TRACE(ext);
    const std::string extra = ext == "exr" ? " --data-format half --compression piz" : ext == "tif" ? " --bits 16" : "";
    RunResult r = RunProgram(dir, "render s.json -q --size 130x77 --samples 2 -o whole." + ext + extra);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string parts;
    for (int i = 0; i < 4; ++i) {
      const std::string part = "part" + std::to_string(i) + "." + ext;
      r = RunProgram(dir, "render s.json -q --size 130x77 --samples 2 --region " + std::string(regions[i]) + " -o " +
                              part + extra);
      ASSERT_EQ(r.exitCode, 0) << r.err;
      parts += " " + part;
    }
    r = RunProgram(dir, "assemble" + parts + " -o joined." + ext);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "wrote joined." + ext + " (130x77 from 4 parts)\n");
    EXPECT_EQ(Stored(dir / ("joined." + ext)), Stored(dir / ("whole." + ext)));
  }
}

TEST(Program, AssembleRefusesPartsThatDoNotMakeOneImage) {
  ScratchDir dir("assemble-bad");
  WriteFile(dir / "s.json", Scene(R"({"type": "checker", "checks": 5})"));
  const struct {
    const char* region;
    const char* output;
  } renders[] = {{"0 0 40 20", "top.png"},  {"0 20 40 40", "bottom.png"}, {"0 10 40 30", "middle.png"},
                 {"0 20 40 40", "bottom.exr"}, {"0 20 40 40", "bottom16.png --bits 16"}};
  for (const auto& p : renders) {
    const RunResult r = RunProgram(dir, std::string("render s.json -q --size 40 --region ") + p.region + " -o " + p.output);
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }
  ASSERT_EQ(RunProgram(dir, "render s.json -q --size 40x41 --region 0 20 40 41 -o tall.png").exitCode, 0);
  ASSERT_EQ(RunProgram(dir, "render s.json -q --size 40 -o plain.png").exitCode, 0);
  const struct {
    const char* args;
    const char* message;
  } cases[] = {
      {"top.png -o out.png", "the parts cover 800 of the image's 1600 pixels"},
      {"top.png bottom.png middle.png -o out.png", "middle.png (pixels 0 10 40 30) overlaps top.png (pixels 0 0 40 20)"},
      {"top.png bottom.exr -o out.png", "bottom.exr: float samples in another format than top.png (uint8)"},
      {"top.png bottom16.png -o out.png", "bottom16.png: uint16 samples in another format than top.png"},
      {"top.png tall.png -o out.png", "tall.png: a region of a 40x41 image, top.png of a 40x40 one"},
      {"top.png plain.png -o out.png", "plain.png: not a region of a render"},
      {"top.png bottom.png -o out.exr", "out.exr: the parts are of top.png's format"},
      {"top.png bottom.png -o out.png --compression zip", "--compression"},
      {"top.png missing.png -o out.png", "missing.png: cannot read"},
      {"top.png bottom.png -o top.png", "top.png"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const RunResult r = RunProgram(dir, std::string("assemble ") + c.args);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "out.png"));
    EXPECT_FALSE(fs::exists(dir / "out.exr"));
  }
  // Together they make the image.
  EXPECT_EQ(RunProgram(dir, "assemble bottom.png top.png -o out.png").exitCode, 0);
  EXPECT_EQ(Stored(dir / "out.png"), Stored(dir / "plain.png"));
}

}  // namespace
}  // namespace tessary::app::testing
