#include "app/scene_json.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "tests/app/test_util.h"

namespace tessary::app::testing {
namespace {

bool Parse(const std::string& text, SceneDesc& scene, std::string& error) {
  return ParseSceneJson(text, "s.json", "", scene, error);
}

TEST(SceneJson, MissingFieldsTakeTheDefaultsOfANewMapAndLayer) {
  SceneDesc scene;
  std::string error;
  ASSERT_TRUE(Parse(Scene(R"({"type": "tessary", "layers": [{}, {"opacity": 25}]})"), scene, error)) << error;
  const MapDesc& m = *scene.root;
  ASSERT_EQ(m.layers.size(), 2u);
  const LayerDesc& l = m.layers[0];
  EXPECT_TRUE(l.mapOn && l.maskOn && l.used);
  EXPECT_EQ(l.opacity, 100.0f);
  EXPECT_EQ(l.color, host::Color(0.5f, 0.5f, 0.5f));
  EXPECT_EQ(l.mode, 0);
  EXPECT_EQ(m.layers[1].opacity, 25.0f);
  EXPECT_FALSE(m.output.on);
  EXPECT_EQ(m.output.bright, 100.0f);
  EXPECT_EQ(m.output.contrast, 100.0f);
  EXPECT_EQ(m.output.gamma, 1.0f);

  ASSERT_TRUE(Parse(Scene(R"({"type": "tessary"})"), scene, error)) << error;
  EXPECT_EQ(scene.root->layers.size(), 1u) << "a new map has one layer";
}

TEST(SceneJson, NumbersAreRoundedToSinglePrecisionOnceFromTheirText) {
  // 0.1000000000000000055511151231257827 lies just above the double nearest
  // 0.1; via double the float could round differently than straight from text.
  const struct {
    const char* text;
    float expected;
  } cases[] = {{"0.1", 0.1f}, {"1e-45", 1e-45f}, {"-0", -0.0f}, {"3.4028234e38", 3.4028234e38f},
               {"1.00000005960464477539062500001", 1.0000001f}, {"\"nan\"", NAN}, {"\"-inf\"", -INFINITY}};
  for (const auto& c : cases) {
    SceneDesc scene;
    std::string error;
    ASSERT_TRUE(Parse(Scene(std::string(R"({"type": "tessary", "layers": [{"opacity": )") + c.text + "}]}"), scene,
                      error))
        << c.text << ": " << error;
    const float got = scene.root->layers[0].opacity;
    if (std::isnan(c.expected)) {
      EXPECT_TRUE(std::isnan(got)) << c.text;
    } else {
      EXPECT_EQ(std::bit_cast<std::uint32_t>(got), std::bit_cast<std::uint32_t>(c.expected)) << c.text;
    }
  }
}

// What editors write and what the format promises beyond plain numbers: a
// byte order mark before the text, and "nan"/"inf" for a scalar pair such as
// a checker's "checks" or a bitmap's "tile".
TEST(SceneJson, ByteOrderMarkAndNonFiniteScalarPairsAreRead) {
  const struct {
    std::string text;
    float checksU;
  } cases[] = {{"\xEF\xBB\xBF" + Scene(R"({"type": "checker", "checks": 3})"), 3.0f},
               {Scene(R"({"type": "checker", "checks": "inf"})"), INFINITY},
               {Scene(R"({"type": "checker", "checks": "-inf"})"), -INFINITY}};
  for (const auto& c : cases) {
    SceneDesc scene;
    std::string error;
    ASSERT_TRUE(Parse(c.text, scene, error)) << c.text << ": " << error;
    EXPECT_EQ(scene.root->checker.checksU, c.checksU) << c.text;
    EXPECT_EQ(scene.root->checker.checksV, c.checksU) << c.text;
  }
  SceneDesc scene;
  std::string error;
  ASSERT_TRUE(Parse(Scene(R"({"type": "bitmap", "file": "a.png", "tile": "nan"})"), scene, error)) << error;
  EXPECT_TRUE(std::isnan(scene.root->bitmap.tile[0]) && std::isnan(scene.root->bitmap.tile[1]));
  // A mark anywhere else is no JSON; positions count from after the mark.
  EXPECT_FALSE(Parse(" \xEF\xBB\xBF{}", scene, error));
  EXPECT_FALSE(Parse("\xEF\xBB\xBF[", scene, error));
  EXPECT_EQ(error.rfind("s.json:1:2: invalid JSON", 0), 0u) << error;
}

TEST(SceneJson, ErrorsNameTheFileLineAndColumn) {
  ExpectParseErrors({
      {"", "s.json:1:1: invalid JSON"},
      {"{\"format\": \"tessary-scene\", \"version\": 1}", "s.json:1:1: missing field \"root\""},
      {"{\"format\": \"other\", \"version\": 1, \"root\": null}", "s.json:1:12: \"format\" must be \"tessary-scene\""},
      {Scene("null"), "s.json:1:51: \"root\" must be a map, not null"},
      {Scene("{\"type\": \"tessary\",\n  \"layers\": [{\"mode\": 1.5}]}"), "s.json:2:23: \"mode\" must be an integer"},
      {Scene("{\"type\": \"tessary\", \"layers\": [{\"color\": [1, 2]}]}"),
       "s.json:1:92: \"color\" must be an array of 3 numbers"},
      {Scene("{\"type\": \"tessary\", \"layers\": [{\"used\": 1}]}"), "s.json:1:91: \"used\" must be true or false"},
      {Scene("{\"type\": \"tessary\", \"layers\": [{\"used\": true, \"used\": false}]}"),
       "s.json:1:97: duplicate field \"used\""},
      {Scene("{\"type\": \"noise\", \"octaves\": 11}"), "s.json:1:80: \"octaves\" must lie between 1 and 10"},
      {Scene("{\"type\": \"bitmap\"}"), "s.json:1:51: a bitmap map needs a \"file\""},
      {Scene("{\"type\": \"constant\", \"colour\": [1, 1, 1]}"),
       "s.json:1:72: unknown field \"colour\" in a constant map"},
      {Scene("{\"type\": \"tessary\", \"layers\": [{}, {\"mode\": \"Hard\\nLight\"}]}"),
       "s.json:1:95: unknown mode name \"Hard\\nLight\" (names"},
  });
}

TEST(SceneJson, NumbersBeyondDoubleRangeAreRefusedWhereTheyStand) {
  // The same one-line message as a number beyond single precision, wherever
  // a number may stand, with or without other faults further on.
  ExpectParseErrors({
      {Scene(R"({"type": "tessary", "layers": [{"opacity": 1e400}]})"),
       "s.json:1:94: \"opacity\": 1e400 is out of single-precision range"},
      {Scene(R"({"type": "tessary", "layers": [{"opacity": -1e400}]})"),
       "s.json:1:94: \"opacity\": -1e400 is out of single-precision range"},
      {Scene(R"({"type": "tessary", "layers": [{"opacity": 1e39}]})"),
       "s.json:1:94: \"opacity\": 1e39 is out of single-precision range"},
      {Scene(R"({"type": "constant", "color": [0, 1.5E+999, 0]})"),
       "s.json:1:85: \"color\"[1]: 1.5E+999 is out of single-precision range"},
      {Scene(R"({"type": "noise", "octaves": 1e400})"), "s.json:1:80: \"octaves\" must be an integer"},
      {"{\"format\": \"tessary-scene\", \"version\": 1e400, \"root\": {}}",
       "s.json:1:40: \"version\" must be an integer"},
      {Scene(R"({"type": "tessary", "layers": [{"opacity": 1e400}, ]})"), "s.json:1:102: invalid JSON: syntax error"},
      {Scene(R"({"type": "tessary", "layers": [{"opacity": 01e400}]})"), "s.json:1:99: invalid JSON: syntax error"},
  });
  // In a string it is only text.
  SceneDesc scene;
  std::string error;
  ASSERT_TRUE(Parse(Scene(R"({"type": "tessary", "name": "1e400"})"), scene, error)) << error;
  EXPECT_EQ(scene.root->name, "1e400");
}

TEST(SceneJson, StringsWithANulAreRefused) {
  // A NUL would silently end the file name (or name) where it stands.
  ExpectParseErrors({
      {Scene(R"({"type": "bitmap", "file": "stone.png\u0000junk"})"),
       "s.json:1:78: \"file\" must not contain \\u0000"},
      {Scene(R"({"type": "tessary", "name": "a\u0000"})"), "s.json:1:79: \"name\" must not contain \\u0000"},
      {Scene(R"({"type": "tessary", "layers": [{}, {"mode": "Normal\u0000x"}]})"),
       "s.json:1:95: a string must not contain \\u0000"},
      {Scene(R"({"type": "tessary", "layers": [{"opacity\u0000": 1}]})"),
       "s.json:1:83: a field name must not contain \\u0000"},
  });
}

TEST(SceneJson, DeepNestingIsRefusedNotOverflowed) {
  std::string deep;
  for (int i = 0; i < 100; ++i) deep += R"({"type": "tessary", "layers": [{"map": )";
  deep += "null";
  for (int i = 0; i < 100; ++i) deep += "}]}";
  SceneDesc scene;
  std::string error;
  EXPECT_FALSE(Parse(Scene(deep), scene, error));
  EXPECT_NE(error.find("nested more than 64 deep"), std::string::npos) << error;

  const std::string arrays(100000, '[');
  EXPECT_FALSE(Parse(arrays + std::string(100000, ']'), scene, error));
}

TEST(SceneJson, WriteThenReadReproducesEverythingBitForBit) {
  const std::string text = Scene(R"({"type": "tessary", "name": "outer", "layers": [
      {"map": {"type": "bitmap", "file": "a.png", "tile": [2, 3], "offset": [0.25, -0.5]},
       "mask": {"type": "checker", "color1": [0.1, 0.2, 0.3], "color2": [1, 1, 1, 0.5], "checks": [3, 5]},
       "mapOn": false, "maskOn": false, "used": false, "opacity": 33.3, "color": [0.1, 0.7, 1e-8]},
      {"map": {"type": "tessary", "name": "inner", "layers": [
          {"map": {"type": "noise", "kind": "turbulence", "size": 0.07, "octaves": 7, "seed": 4000000000,
                   "color1": [0, 0, 0, 0], "color2": [2, -1, 0.5, 1]}},
          {"map": {"type": "gradient", "kind": "radial", "center": 0.3, "color2": [0.5, 0.25, 0.125, 1]},
           "mode": "Exact Difference"}],
        "output": {"on": true, "mono": true, "gamma": 0.45}},
       "mask": {"type": "constant", "color": [0.3, 0.3, 0.3, 1], "perturb": [0.5, "-inf", 0]},
       "mode": -7, "opacity": "nan"}],
    "output": {"on": true, "clamp": true, "mono": false, "alpha": -0.5, "bright": 37.7, "contrast": 250,
               "gamma": 2.2, "hsv": [120, -0.5, 0.25], "rgb": [0.1, 0.2, 0.3]}})");
  SceneDesc first;
  std::string error;
  ASSERT_TRUE(Parse(text, first, error)) << error;
  const std::string written = WriteSceneJson(first);
  SceneDesc second;
  ASSERT_TRUE(Parse(written, second, error)) << error << "\n" << written;
  EXPECT_TRUE(SameScene(*first.root, *second.root)) << written;
  EXPECT_EQ(WriteSceneJson(second), written) << "writing is stable";
  EXPECT_NE(written.find("\"mode\": \"Exact Difference\""), std::string::npos) << "valid modes are written by name";
  EXPECT_NE(written.find("\"mode\": -7"), std::string::npos) << "other values stay numbers";
  EXPECT_NE(written.find("\"opacity\": 33.3,"), std::string::npos) << "shortest float text";
  EXPECT_NE(written.find("\"version\": 1,"), std::string::npos) << "without shared maps the file stays version 1";
  EXPECT_EQ(written.find("\"id\""), std::string::npos);
}

}  // namespace
}  // namespace tessary::app::testing
