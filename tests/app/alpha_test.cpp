// Alpha, end to end: bitmaps deliver straight colour whatever their file
// stores, each output format is written in its own convention and tagged
// so, and the scene's per-bitmap override reaches the map.

#include <gtest/gtest.h>

#include <OpenImageIO/imageio.h>
#include <nlohmann/json.hpp>

#include <bit>
#include <cmath>

#include "app/bitmap_tex.h"
#include "app/image_io.h"
#include "app/scene_json.h"
#include "tests/app/test_util.h"
#include "tests/app/tsy_builder.h"

namespace tessary::app::testing {
namespace {

Image Filled(int w, int h, host::AColor c) {
  Image img;
  img.width = w;
  img.height = h;
  for (int i = 0; i < w * h; ++i)
    for (float v : {c.r, c.g, c.b, c.a}) img.rgba.push_back(v);
  return img;
}

void ExpectNear(const host::AColor& got, const host::AColor& want, float tolerance, const std::string& what) {
  EXPECT_NEAR(got.r, want.r, tolerance) << what << " red";
  EXPECT_NEAR(got.g, want.g, tolerance) << what << " green";
  EXPECT_NEAR(got.b, want.b, tolerance) << what << " blue";
  EXPECT_NEAR(got.a, want.a, tolerance) << what << " alpha";
}

// The first pixel as the file stores it, and whether the file says its
// colour is unassociated (straight).
struct Stored {
  float v[4] = {0, 0, 0, 0};
  bool straightTag = false;
};

Stored ReadStored(const std::string& path) {
  OIIO::ImageSpec config;
  config.attribute("oiio:UnassociatedAlpha", 1);
  auto in = OIIO::ImageInput::open(path, &config);
  Stored s;
  if (!in) {
    ADD_FAILURE() << path << ": " << OIIO::geterror();
    return s;
  }
  std::vector<float> px(in->spec().image_pixels() * static_cast<std::size_t>(in->spec().nchannels));
  EXPECT_TRUE(in->read_image(0, 0, 0, in->spec().nchannels, OIIO::TypeDesc::FLOAT, px.data())) << in->geterror();
  for (int c = 0; c < std::min(4, in->spec().nchannels); ++c) s.v[c] = px[static_cast<std::size_t>(c)];
  s.straightTag = in->spec().get_int_attribute("oiio:UnassociatedAlpha", 0) == 1;
  in->close();
  return s;
}

TEST(Alpha, EveryFormatKeepsAHalfTransparentColourAndSaysHowItStoresIt) {
  ScratchDir dir("alpha-formats");
  const host::AColor colour(1.0f, 0.5f, 0.25f, 0.5f);
  const struct {
    const char* name;
    ImageFormat format;
    float tolerance;           // of the straight colour read back
    host::AColor stored;       // what the file holds
    bool premultipliedOnDisk;  // and says
  } cases[] = {
      // 8 bits: 1, 0.5, 0.25, 0.5 are 255, 128, 64, 128 (not divided by alpha again)
      {"a.png", ImageFormat::Png8, 0.5f / 255.0f + 1e-6f, host::AColor(1.0f, 128 / 255.0f, 64 / 255.0f, 128 / 255.0f), false},
      {"b.png", ImageFormat::Png16, 0.5f / 65535.0f + 1e-7f, host::AColor(1.0f, 32768 / 65535.0f, 16384 / 65535.0f, 32768 / 65535.0f),
       false},
      {"c.tif", ImageFormat::Tiff, 0.0f, colour, false},
      {"d.exr", ImageFormat::Exr, 1e-7f, host::AColor(0.5f, 0.25f, 0.125f, 0.5f), true},
  };
  for (const auto& c : cases) {
    std::string error;
    ASSERT_TRUE(WriteImage((dir / c.name).string(), c.format, Filled(2, 2, colour), error)) << error;
    const Stored stored = ReadStored((dir / c.name).string());
    ExpectNear(host::AColor(stored.v[0], stored.v[1], stored.v[2], stored.v[3]), c.stored, 1e-6f,
               std::string(c.name) + " stored");
    // EXR needs no tag: it is premultiplied by convention.
    if (c.format != ImageFormat::Exr) {
      EXPECT_TRUE(stored.straightTag) << c.name << " is marked straight";
    }
    Image back;
    ASSERT_TRUE(ReadImage((dir / c.name).string(), back, error)) << error;
    EXPECT_EQ(back.premultiplied, c.premultipliedOnDisk) << c.name;
    ExpectNear(SampleBilinear(back, 0.25f, 0.75f), colour, c.tolerance, std::string(c.name) + " read back");
  }
  // JPEG has no alpha: the straight colour, opaque.
  std::string error;
  ASSERT_TRUE(WriteImage((dir / "e.jpg").string(), ImageFormat::Jpeg, Filled(8, 8, colour), error)) << error;
  Image back;
  ASSERT_TRUE(ReadImage((dir / "e.jpg").string(), back, error)) << error;
  ExpectNear(SampleBilinear(back, 0.5f, 0.5f), host::AColor(1.0f, 0.5f, 0.25f, 1.0f), 3.0f / 255.0f, "e.jpg");
}

TEST(Alpha, SamplingMixesByAlphaAndDeliversStraightColour) {
  auto image = [](std::vector<float> rgba, int w, bool premultiplied) {
    Image img;
    img.width = w;
    img.height = 1;
    img.rgba.assign(rgba.begin(), rgba.end());
    img.premultiplied = premultiplied;
    return img;
  };
  const float half = 0.5f;  // u halfway between the centres of a 2-pixel row
  const struct {
    const char* label;
    Image img;
    host::AColor want;
  } cases[] = {
      // A cut-out's edge keeps its colour: no dark fringe from the transparent black beside it.
      {"edge", image({1, 0, 0, 1, 0, 0, 0, 0}, 2, false), host::AColor(1.0f, 0.0f, 0.0f, 0.5f)},
      {"edge of a half-transparent pixel", image({0, 1, 0, 0.5f, 0, 0, 0, 0}, 2, false),
       host::AColor(0.0f, 1.0f, 0.0f, 0.25f)},
      // Equal alphas: plain straight mixing (also for a fully transparent footprint).
      {"transparent", image({0.2f, 0.4f, 0.6f, 0, 0.4f, 0.4f, 0.4f, 0}, 2, false), host::AColor(0.3f, 0.4f, 0.5f, 0.0f)},
      {"opaque", image({1, 0, 0, 1, 0, 0, 1, 1}, 2, false), host::AColor(0.5f, 0.0f, 0.5f, 1.0f)},
      // Premultiplied colour is divided by its alpha after mixing.
      {"premultiplied", image({0.5f, 0.25f, 0, 0.5f, 0.5f, 0.25f, 0, 0.5f}, 2, true),
       host::AColor(1.0f, 0.5f, 0.0f, 0.5f)},
      {"premultiplied edge", image({1, 0, 0, 1, 0, 0, 0, 0}, 2, true), host::AColor(1.0f, 0.0f, 0.0f, 0.5f)},
      // Alpha outside [0, 1] is no weight: plain mixing.
      {"alpha above 1", image({1, 0, 0, 2, 0, 0, 1, 1}, 2, false), host::AColor(0.5f, 0.0f, 0.5f, 1.5f)},
  };
  for (const auto& c : cases) ExpectNear(SampleBilinear(c.img, half, 0.5f), c.want, 1e-6f, c.label);

  // An opaque image samples to exactly what plain bilinear mixing gives.
  const Image opaque = image({0.1f, 0.7f, 0.3f, 1, 0.9f, 0.2f, 0.6f, 1}, 2, false);
  const host::AColor got = SampleBilinear(opaque, 0.37f, 0.5f);
  const float f = 0.37f * 2.0f - 0.5f;
  const host::AColor plain = host::AColor(0.1f + (0.9f - 0.1f) * f, 0.7f + (0.2f - 0.7f) * f, 0.3f + (0.6f - 0.3f) * f, 1);
  EXPECT_EQ(std::bit_cast<std::uint32_t>(got.r), std::bit_cast<std::uint32_t>(plain.r));
  EXPECT_EQ(std::bit_cast<std::uint32_t>(got.g), std::bit_cast<std::uint32_t>(plain.g));
  EXPECT_EQ(std::bit_cast<std::uint32_t>(got.b), std::bit_cast<std::uint32_t>(plain.b));
}

host::AColor EvalColour(const ScratchDir& dir, const std::string& scene) {
  WriteFile(dir / "scene.json", scene);
  const RunResult r = RunProgram(dir, "eval scene.json");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  if (r.exitCode != 0) return host::AColor(NAN, NAN, NAN, NAN);
  const auto c = nlohmann::json::parse(r.out)["color"];
  return host::AColor(c[0].get<float>(), c[1].get<float>(), c[2].get<float>(), c[3].get<float>());
}

// A half-transparent red layer over opaque blue, the red rendered to PNG by
// the program itself: the red counts with its alpha once, not twice.
TEST(Alpha, HalfTransparentRedOverBlue) {
  ScratchDir dir("alpha-over");
  WriteFile(dir / "red.json", Scene(R"({"type": "constant", "color": [1, 0, 0, 0.5]})"));
  const RunResult r = RunProgram(dir, "render red.json --size 4 -o red.png");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const host::AColor c = EvalColour(
      dir, Scene(R"({"type": "tessary", "layers": [{"color": [0, 0, 1]}, {"map": {"type": "bitmap", "file": "red.png"}}]})"));
  const float m = 128.0f / 255.0f;  // the layer's coverage: its alpha
  EXPECT_NEAR(c.r, m, 1e-6f);      // 0.502
  EXPECT_EQ(c.g, 0.0f);
  EXPECT_NEAR(c.b, 1.0f - m, 1e-6f);  // 0.498
}

TEST(Alpha, TheSceneOverridesHowAFileStoresItsColour) {
  ScratchDir dir("alpha-override");
  std::string error;
  // The same half-transparent red, straight in PNG, premultiplied in EXR.
  ASSERT_TRUE(WriteImage((dir / "red.png").string(), ImageFormat::Png8, Filled(2, 2, host::AColor(1, 0, 0, 0.5f)), error));
  ASSERT_TRUE(WriteImage((dir / "red.exr").string(), ImageFormat::Exr, Filled(2, 2, host::AColor(1, 0, 0, 0.5f)), error));
  const float a8 = 128.0f / 255.0f;
  // The EXR's values are declared sRGB-encoded, as the working space is, so
  // no colour conversion takes part here: only alpha is at stake.
  const struct {
    const char* fields;
    host::AColor want;
  } cases[] = {{R"("file": "red.png")", host::AColor(1, 0, 0, a8)},
               {R"("file": "red.png", "alpha": "premultiplied")", host::AColor(1.0f / a8, 0, 0, a8)},
               {R"("file": "red.exr", "colorspace": "sRGB")", host::AColor(1, 0, 0, 0.5f)},
               {R"("file": "red.exr", "colorspace": "sRGB", "alpha": "straight")", host::AColor(0.5f, 0, 0, 0.5f)}};
  for (const auto& c : cases)
    ExpectNear(EvalColour(dir, Scene(std::string(R"({"type": "bitmap", )") + c.fields + "}")), c.want, 1e-6f, c.fields);
}

TEST(Alpha, TheOverrideTravelsThroughBothSceneFormats) {
  SceneDesc scene;
  std::string error;
  EXPECT_FALSE(ParseSceneJson(Scene(R"({"type": "bitmap", "file": "a.png", "alpha": "associated"})"), "s.json", "",
                              scene, error));
  EXPECT_NE(error.find("\"alpha\" must be \"straight\" or \"premultiplied\""), std::string::npos) << error;

  // JSON -> .tsy -> JSON keeps the override, and a scene without one keeps
  // its text (no field appears).
  ScratchDir dir("alpha-tsy");
  WriteFile(dir / "s.json", Scene(R"({"type": "tessary", "layers": [
      {"map": {"type": "bitmap", "file": "a.png", "alpha": "premultiplied"}},
      {"map": {"type": "bitmap", "file": "b.exr", "alpha": "straight"}},
      {"map": {"type": "bitmap", "file": "c.png"}}]})"));
  ASSERT_EQ(RunProgram(dir, "convert s.json a.json").exitCode, 0);
  ASSERT_EQ(RunProgram(dir, "convert s.json s.tsy").exitCode, 0);
  ASSERT_EQ(RunProgram(dir, "convert s.tsy b.json").exitCode, 0);
  EXPECT_EQ(ReadFile(dir / "a.json"), ReadFile(dir / "b.json"));
  // Both overrides are written, the third bitmap has no field.
  const std::string a = ReadFile(dir / "a.json");
  EXPECT_NE(a.find("\"alpha\": \"premultiplied\""), std::string::npos) << a;
  EXPECT_NE(a.find("\"alpha\": \"straight\""), std::string::npos) << a;
  std::size_t overrides = 0;
  for (std::size_t at = a.find("\"alpha\": \""); at != std::string::npos; at = a.find("\"alpha\": \"", at + 1))
    ++overrides;
  EXPECT_EQ(overrides, 2u) << a;
}

TEST(Alpha, ABadOverrideInABinarySceneIsAClearError) {
  ScratchDir dir("alpha-badtsy");
  const std::vector<std::uint8_t> path = {'a', '.', 'p', 'n', 'g', 0};
  const struct {
    const char* label;
    std::vector<std::uint8_t> chunk;
    const char* message;
  } cases[] = {{"value", DataChunk(0x5020, Bytes().I32(7).b), "bitmap map: alpha 7 is neither 1 (straight) nor 2"},
               {"size", DataChunk(0x5020, Bytes().U8(1).U8(0).b), "bitmap map: alpha chunk of 2 bytes, expected 4"}};
  for (const auto& c : cases) {
    const auto bytes = TsyFile({{0xC10, 0x54530005, 1, Concat({DataChunk(0x5000, path), c.chunk}), {}}});
    WriteFile(dir / "bad.tsy", std::string(bytes.begin(), bytes.end()));
    const RunResult r = RunProgram(dir, "info bad.tsy");
    EXPECT_EQ(r.exitCode, 1) << c.label;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.label << ": " << r.err;
  }
}

}  // namespace
}  // namespace tessary::app::testing
