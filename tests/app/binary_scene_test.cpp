// Binary scene files through the built program: hand-written files with
// older layer chunks load with the converted values, JSON -> .tsy -> JSON
// gives the same text, and every bad file gets one error line.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <functional>
#include <optional>

#include "app/image_io.h"
#include "app/map_graph.h"
#include "app/scene_json.h"
#include "tests/app/test_util.h"
#include "tests/app/tsy_builder.h"

namespace tessary::app::testing {
namespace {

constexpr std::uint32_t kQuilboA = 0x9B340D4D;
constexpr std::uint32_t kQuilboB = 0xA443AC6A;

void WriteBytes(const std::filesystem::path& p, const std::vector<std::uint8_t>& b) {
  WriteFile(p, std::string(b.begin(), b.end()));
}

// A constant map of colour (r, g, b, 1).
TsyObject ConstantObject(float r, float g, float b) {
  Bytes p;
  p.F32(r).F32(g).F32(b).F32(1.0f).F32(0.0f).F32(0.0f).F32(0.0f);
  return {0xC10, 0x54530001, 1, DataChunk(0x5000, p.b), {}};
}

struct LayerRecord {
  std::int32_t used = 1;
  float opacity = 100.0f;
  float r = 0.5f, g = 0.5f, b = 0.5f;
  std::int32_t mapOn = 1;
  std::int32_t mode = 0;
  std::int32_t maskOn = 1;  // not written in version 1
};

// The layer chunk of a version, with `claimed` as the count when given.
std::vector<std::uint8_t> LayerChunk(int version, const std::vector<LayerRecord>& layers, const Bytes& tail,
                                     std::optional<std::int32_t> claimed = std::nullopt) {
  Bytes p;
  p.I32(claimed ? *claimed : static_cast<std::int32_t>(layers.size()));
  for (const LayerRecord& l : layers) {
    p.I32(l.used).F32(l.opacity).F32(l.r).F32(l.g).F32(l.b).I32(l.mapOn).I32(l.mode);
    if (version > 1) p.I32(l.maskOn);
  }
  p.b.insert(p.b.end(), tail.b.begin(), tail.b.end());
  return DataChunk(static_cast<std::uint16_t>(0x4000 + 0x10 * version), p.b);
}

TsyObject LayeredObject(std::vector<std::uint8_t> data, std::vector<std::int32_t> refs) {
  return {0xC10, kQuilboA, kQuilboB, std::move(data), std::move(refs)};
}

SceneDesc ConvertToJson(const ScratchDir& dir, const std::string& tsy) {
  const RunResult r = RunProgram(dir, "convert " + tsy + " back.json");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  SceneDesc scene;
  std::string error;
  EXPECT_TRUE(ParseSceneJson(ReadFile(dir / "back.json"), "back.json", "", scene, error)) << error;
  return scene;
}

host::Color MapColor(const std::shared_ptr<MapDesc>& m) {
  if (!m || m->type != MapType::Constant) return host::Color(-1.0f, -1.0f, -1.0f);
  return host::Color(m->constant.color.r, m->constant.color.g, m->constant.color.b);
}

struct OldChunkCase {
  const char* label;
  int version;
  std::vector<TsyObject> objects;
  std::function<void(const MapDesc&)> check;
};

void PrintTo(const OldChunkCase& c, std::ostream* os) { *os << c.label; }

std::vector<OldChunkCase> OldChunkCases() {
  std::vector<OldChunkCase> cases;
  {
    // Three layers whose maps were A, B, C; old modes 16 and 15 above the base.
    std::vector<LayerRecord> l(3);
    l[0].mode = 16;
    l[1].mode = 16;
    l[1].opacity = 40.0f;
    l[2].mode = 15;
    l[2].used = 0;
    cases.push_back({"v1", 1,
                     {LayeredObject(LayerChunk(1, l, Bytes()), {-1, 1, 2, 3}), ConstantObject(1, 0, 0),
                      ConstantObject(0, 1, 0), ConstantObject(0, 0, 1)},
                     [](const MapDesc& m) {
                       ASSERT_EQ(m.layers.size(), 3u);
                       for (std::size_t i = 0; i < 3; ++i) {
                         EXPECT_EQ(m.layers[i].mask, nullptr) << i;
                         EXPECT_TRUE(m.layers[i].maskOn) << i;
                       }
                       EXPECT_EQ(MapColor(m.layers[0].map), host::Color(1, 0, 0));
                       EXPECT_EQ(MapColor(m.layers[1].map), host::Color(0, 1, 0));
                       EXPECT_EQ(MapColor(m.layers[2].map), host::Color(0, 0, 1));
                       EXPECT_EQ(m.layers[0].mode, 16) << "the base keeps its stored mode";
                       EXPECT_EQ(m.layers[1].mode, 26) << "16 becomes Reflect";
                       EXPECT_EQ(m.layers[2].mode, 17) << "15 becomes Burn";
                       EXPECT_EQ(m.layers[1].opacity, 40.0f);
                       EXPECT_FALSE(m.layers[2].used);
                       EXPECT_EQ(m.output.hsv, (std::array<float, 3>{0, 0, 0}));
                     }});
  }
  {
    std::vector<LayerRecord> l(2);
    l[0].maskOn = 0;
    l[1].mode = 16;
    l[1].mapOn = 0;
    l[1].r = 0.25f;
    cases.push_back({"v2", 2,
                     {LayeredObject(LayerChunk(2, l, Bytes()), {-1, 1, -1, -1, 2}), ConstantObject(1, 1, 0),
                      ConstantObject(0, 1, 1)},
                     [](const MapDesc& m) {
                       ASSERT_EQ(m.layers.size(), 2u);
                       EXPECT_FALSE(m.layers[0].maskOn);
                       EXPECT_TRUE(m.layers[1].maskOn);
                       EXPECT_FALSE(m.layers[1].mapOn);
                       EXPECT_EQ(m.layers[1].mode, 16) << "only version 1 is renumbered";
                       EXPECT_EQ(m.layers[1].color.r, 0.25f);
                       EXPECT_EQ(MapColor(m.layers[0].map), host::Color(1, 1, 0));
                       EXPECT_EQ(m.layers[1].map, nullptr);
                       EXPECT_EQ(MapColor(m.layers[1].mask), host::Color(0, 1, 1));
                     }});
  }
  {
    Bytes hsv;
    hsv.F32(30.0f).F32(0.5f).F32(-0.25f).F32(0.0f);
    cases.push_back({"v3", 3,
                     {LayeredObject(LayerChunk(3, std::vector<LayerRecord>(1), hsv), {-1, -1, -1})},
                     [](const MapDesc& m) {
                       ASSERT_EQ(m.layers.size(), 1u);
                       EXPECT_EQ(m.output.hsv, (std::array<float, 3>{30.0f, 0.5f, -0.25f}));
                       // What version 3 does not carry keeps a new map's defaults.
                       EXPECT_FALSE(m.output.on);
                       EXPECT_EQ(m.output.bright, 100.0f);
                       EXPECT_EQ(m.output.contrast, 100.0f);
                       EXPECT_EQ(m.output.gamma, 1.0f);
                       EXPECT_EQ(m.output.rgb, (std::array<float, 3>{0, 0, 0}));
                     }});
  }
  return cases;
}

class OldLayerChunks : public ::testing::TestWithParam<OldChunkCase> {};

TEST_P(OldLayerChunks, LoadWithTheConvertedValues) {
  const OldChunkCase& c = GetParam();
  ScratchDir dir(std::string("tsy-") + c.label);
  WriteBytes(dir / "old.tsy", TsyFile(c.objects));
  const SceneDesc scene = ConvertToJson(dir, "old.tsy");
  ASSERT_NE(scene.root, nullptr);
  ASSERT_EQ(scene.root->type, MapType::Layered);
  c.check(*scene.root);
  const RunResult info = RunProgram(dir, "info old.tsy");
  ASSERT_EQ(info.exitCode, 0) << info.err;
  EXPECT_NE(info.out.find("layer data chunk: version " + std::to_string(c.version)), std::string::npos)
      << info.out;
  // Saved again, the map writes the current version.
  ASSERT_EQ(RunProgram(dir, "convert old.tsy new.tsy").exitCode, 0);
  EXPECT_NE(RunProgram(dir, "info new.tsy").out.find("layer data chunk: version 4"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Program, OldLayerChunks, ::testing::ValuesIn(OldChunkCases()),
                         [](const ::testing::TestParamInfo<OldChunkCase>& p) { return std::string(p.param.label); });

// Every map type, nesting, names, switches, odd percentages and non-finite
// values: the text comes back the same and so does every evaluation.
const char* const kRichScene = R"({"format": "tessary-scene", "version": 1, "root":
 {"type": "tessary", "name": "rich", "layers": [
   {"map": {"type": "checker", "name": "c", "color1": [0.1, 0.2, 0.3, 1], "color2": [0.9, 0.8, 0.7, 0.5],
            "checks": [3, 5]}},
   {"map": {"type": "gradient", "kind": "radial", "center": 0.3, "color1": [1, 0, 0, 1],
            "color2": [0, 1, 0, 1], "color3": [0, 0, 1, 1]},
    "mask": {"type": "noise", "kind": "fractal", "size": 0.125, "octaves": 4, "seed": 7,
             "color1": [0, 0, 0, 1], "color2": [1, 1, 1, 1]},
    "mode": "Overlay", "opacity": 62.5, "maskOn": false},
   {"map": {"type": "tessary", "layers": [{"color": [0.3, 0.6, 0.9]},
                                          {"map": {"type": "constant", "color": ["nan", 0.5, "inf", 1],
                                                   "perturb": [0.5, -1, 0]}, "mode": 7}],
            "output": {"on": true, "mono": true}},
    "mode": "Difference", "used": false, "mapOn": false, "color": [0.2, 0.4, 0.6]},
   {"map": {"type": "bitmap", "file": "tex.png", "tile": [2, 3], "offset": [0.25, -0.5]}, "mode": "Screen"}],
  "output": {"on": true, "clamp": true, "alpha": -0.125, "bright": 112.3, "contrast": 37.5, "gamma": 2.2,
             "hsv": [12, -0.3, 0.05], "rgb": [0.01, 0, -0.02]}}})";

// The rich scene and the small texture it names, in dir.
void WriteRichScene(const ScratchDir& dir) {
  WriteFile(dir / "rich.json", kRichScene);
  Image tex;
  tex.width = 3;
  tex.height = 2;
  tex.rgba = {0, 0, 0, 1, 1, 0, 0, 1, 0, 1, 0, 1, 0, 0, 1, 1, 1, 1, 1, 1, 0.5f, 0.5f, 0.5f, 1};
  std::string error;
  ASSERT_TRUE(WriteImage((dir / "tex.png").string(), ImageFormat::Png8, tex, error)) << error;
}

TEST(BinaryScene, JsonToTsyToJsonIsExact) {
  ScratchDir dir("tsy-roundtrip");
  WriteRichScene(dir);
  ASSERT_EQ(RunProgram(dir, "convert rich.json a.json").exitCode, 0);
  const RunResult toTsy = RunProgram(dir, "convert rich.json rich.tsy");
  ASSERT_EQ(toTsy.exitCode, 0) << toTsy.err;
  ASSERT_EQ(RunProgram(dir, "convert rich.tsy b.json").exitCode, 0);
  EXPECT_EQ(ReadFile(dir / "a.json"), ReadFile(dir / "b.json"));
  for (const char* uv : {"0.5 0.5", "0.1 0.9", "0.77 0.33"}) {
    const RunResult fromJson = RunProgram(dir, std::string("eval rich.json --uv ") + uv);
    const RunResult fromTsy = RunProgram(dir, std::string("eval rich.tsy --uv ") + uv);
    ASSERT_EQ(fromJson.exitCode, 0) << fromJson.err;
    EXPECT_EQ(fromJson.out, fromTsy.out) << uv;
  }
}

TEST(BinaryScene, SceneWrittenToAnotherFolderStillFindsItsImages) {
  ScratchDir dir("tsy-elsewhere");
  WriteRichScene(dir);
  std::filesystem::create_directories(dir / "out" / "deeper");
  for (const char* target : {"out/rich.tsy", "out/deeper/rich.json"}) {
    const RunResult converted = RunProgram(dir, std::string("convert rich.json ") + target);
    ASSERT_EQ(converted.exitCode, 0) << converted.err;
    const RunResult here = RunProgram(dir, "eval rich.json --uv 0.3 0.6");
    const RunResult there = RunProgram(dir, std::string("eval ") + target + " --uv 0.3 0.6");
    ASSERT_EQ(there.exitCode, 0) << target << ": " << there.err;
    EXPECT_EQ(here.out, there.out) << target;
  }
}

struct BadTsyCase {
  const char* label;
  std::vector<std::uint8_t> bytes;
  const char* message;
  bool onlyWhenEvaluated = false;  // info and convert read no images
};

void PrintTo(const BadTsyCase& c, std::ostream* os) { *os << c.label; }

// The root's base layer holds a chain of 40 maps; its second layer a chain
// of 30 that ends in the first chain's head: 71 maps deep that way, though
// each chain alone is short.
std::vector<std::uint8_t> DeepThroughSharing() {
  std::vector<TsyObject> objects{LayeredObject(LayerChunk(4, std::vector<LayerRecord>(2), Bytes()), {-1, 1, -1, 41, -1})};
  for (int i = 1; i <= 70; ++i) {
    const std::int32_t next = i == 40 ? 71 : i == 70 ? 1 : i + 1;
    objects.push_back(LayeredObject(LayerChunk(4, std::vector<LayerRecord>(1), Bytes()), {-1, next, -1}));
  }
  objects.push_back(ConstantObject(1, 0, 0));
  return TsyFile(objects);
}

std::vector<BadTsyCase> BadTsyCases() {
  const std::vector<std::uint8_t> good =
      TsyFile({LayeredObject(LayerChunk(4, std::vector<LayerRecord>(2), Bytes().U8(0).U8(0).U8(0)), {-1, 1}),
               ConstantObject(1, 0, 0)});
  Bytes bitmap;
  bitmap.b = Concat({DataChunk(0x5000, {'n', 'o', '.', 'p', 'n', 'g', 0})});
  Bytes noise;
  noise.F32(0).F32(0).F32(0).F32(1).F32(1).F32(1).F32(1).F32(1).F32(0.25f).I32(0).I32(0).U32(0);
  return {
      {"garbage", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!', '!', '!', '!', '!', '!', '!',
                   '!', '!'},
       "not a scene file"},
      {"truncated", std::vector<std::uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2)),
       "bad.tsy: "},
      {"count", TsyFile({LayeredObject(LayerChunk(4, std::vector<LayerRecord>(1), Bytes(), 1000), {-1})}),
       "claims 1000 layers"},
      {"negative", TsyFile({LayeredObject(LayerChunk(2, {}, Bytes(), -5), {-1})}), "claims -5 layers"},
      {"cycle", TsyFile({LayeredObject(LayerChunk(4, std::vector<LayerRecord>(1), Bytes()), {-1, 0})}),
       "reference cycle"},
      {"noise", TsyFile({{0xC10, 0x54530004, 1, DataChunk(0x5000, noise.b), {}}}), "octaves 0"},
      {"image", TsyFile({{0xC10, 0x54530005, 1, bitmap.b, {}}}), "\"no.png\": no such image file", true},
      {"class", TsyFile({{0xC10, 0x12345678, 9, {}, {}}}), "unknown class"},
      // A slot given what it cannot hold: the map's own block also as a
      // sub-map, a texture map as the block.
      {"block_as_sub_map",
       TsyFile({LayeredObject(LayerChunk(4, std::vector<LayerRecord>(1), Bytes()), {1, 2, 1}),
                ParamBlockObject(0xC10, kQuilboA, kQuilboB), ConstantObject(1, 0, 0)}),
       "object 0 (Tessary) refused object 1 (ParamBlock2) in reference slot 2"},
      {"map_as_block",
       TsyFile({LayeredObject(LayerChunk(4, std::vector<LayerRecord>(1), Bytes()), {1}), ConstantObject(1, 0, 0)}),
       "object 0 (Tessary) refused object 1 (Constant) in reference slot 0"},
      {"deepshared", DeepThroughSharing(), "maps nested more than 64 deep"},
  };
}

class BadTsy : public ::testing::TestWithParam<BadTsyCase> {};

TEST_P(BadTsy, OneErrorLineNamingTheFileAndNothingWritten) {
  const BadTsyCase& c = GetParam();
  ScratchDir dir(std::string("badtsy-") + c.label);
  WriteBytes(dir / "bad.tsy", c.bytes);
  for (const std::string args : {"render bad.tsy -o out.png", "eval bad.tsy", "info bad.tsy", "convert bad.tsy out.json"}) {
    if (c.onlyWhenEvaluated && (args.starts_with("info") || args.starts_with("convert"))) continue;
    const RunResult r = RunProgram(dir, args);
    EXPECT_EQ(r.exitCode, 1) << args;
    EXPECT_TRUE(r.out.empty()) << args << ": " << r.out;
    EXPECT_EQ(r.err.rfind("tessary: error: bad.tsy:", 0), 0u) << args << ": " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << args << ": " << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(dir.Files(), std::vector<std::string>{"bad.tsy"}) << args;
  }
}

INSTANTIATE_TEST_SUITE_P(Program, BadTsy, ::testing::ValuesIn(BadTsyCases()),
                         [](const ::testing::TestParamInfo<BadTsyCase>& p) { return std::string(p.param.label); });

// What a file holds is read from its first bytes, not from its name; only
// the name of a file being written picks its format.
TEST(BinaryScene, TheFormatIsReadFromTheFile) {
  ScratchDir dir("sniff");
  WriteFile(dir / "scene.tsy", Scene(R"({"type": "checker", "checks": 3})"));
  const RunResult json = RunProgram(dir, "info scene.tsy");
  ASSERT_EQ(json.exitCode, 0) << json.err;
  EXPECT_EQ(json.out.rfind("scene.tsy: JSON scene, version 1\n", 0), 0u) << json.out;
  ASSERT_EQ(RunProgram(dir, "convert scene.tsy real.tsy").exitCode, 0);
  std::filesystem::copy_file(dir / "real.tsy", dir / "binary.json");
  const RunResult binary = RunProgram(dir, "info binary.json");
  ASSERT_EQ(binary.exitCode, 0) << binary.err;
  EXPECT_EQ(binary.out.rfind("binary.json: binary scene file\n", 0), 0u) << binary.out;
  const RunResult a = RunProgram(dir, "eval scene.tsy --uv 0.4 0.7");
  const RunResult b = RunProgram(dir, "eval binary.json --uv 0.4 0.7");
  ASSERT_EQ(a.exitCode, 0) << a.err;
  EXPECT_EQ(a.out, b.out);
  ASSERT_EQ(RunProgram(dir, "convert binary.json back.JSON").exitCode, 0);
  EXPECT_EQ(ReadFile(dir / "back.JSON").rfind("{\n  \"format\": \"tessary-scene\"", 0), 0u);
}

// The editor's percentage comes back from the map's factor as written.
TEST(BinaryScene, PercentagesComeBackFromTheirFactors) {
  for (float p : {100.0f, 112.0f, 118.0f, 37.5f, 0.0f, -0.0f, 0.3f, 250.0f, 1.0f, 99.9f, 12345.67f, -20.0f, 1e-3f,
                  112.3f, 65535.0f}) {
    const float back = PercentFromFactor(p * 0.01f);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(back), std::bit_cast<std::uint32_t>(p)) << p << " came back as " << back;
  }
  EXPECT_TRUE(std::isnan(PercentFromFactor(NAN)));
  EXPECT_EQ(PercentFromFactor(INFINITY), INFINITY);
}

TEST(BinaryScene, MissingModuleIsAClearError) {
  ScratchDir dir("nomodule");
  WriteFile(dir / "s.json", Scene(R"({"type": "constant"})"));
  const RunResult r = RunProgram(dir, "eval s.json", "TESSARY_MODULE=/no/such/quilbo.so");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.out.empty());
  EXPECT_EQ(r.err, "tessary: error: cannot find the plug-in module quilbo.so (looked at /no/such/quilbo.so; "
                   "set TESSARY_MODULE to its path)\n");
}

}  // namespace
}  // namespace tessary::app::testing
