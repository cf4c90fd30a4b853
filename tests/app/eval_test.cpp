// `tessary eval` prints exactly what the engine computes: hand-made scenes of
// constant maps, run through the program, compared bit for bit with the
// compositing engine called directly.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>

#include "app/mode_names.h"
#include "app/scene_json.h"
#include "compositing/blend_modes.h"
#include "compositing/output_stage.h"
#include "tests/app/test_util.h"

namespace tessary::app::testing {
namespace {

std::string Num(float f) { return FloatText(f); }
std::string Rgba(const host::AColor& c) {
  return "[" + Num(c.r) + ", " + Num(c.g) + ", " + Num(c.b) + ", " + Num(c.a) + "]";
}
std::string Constant(const host::AColor& c) { return "{\"type\": \"constant\", \"color\": " + Rgba(c) + "}"; }

// The numbers of an eval line, in order: r, g, b, a, mono, x, y, z.
std::vector<float> Numbers(const std::string& line) {
  std::vector<float> v;
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == '-' || (c >= '0' && c <= '9') || c == 'n' || c == 'i') {
      if (c == 'n' && line.compare(i, 3, "nan") != 0) { ++i; continue; }
      char* end = nullptr;
      v.push_back(std::strtof(line.c_str() + i, &end));
      i = static_cast<std::size_t>(end - line.c_str());
      if (end == line.c_str()) ++i;
    } else {
      ++i;
    }
  }
  return v;
}

void ExpectBits(float actual, float expected, const std::string& what) {
  EXPECT_EQ(std::bit_cast<std::uint32_t>(actual), std::bit_cast<std::uint32_t>(expected))
      << what << ": " << actual << " vs " << expected;
}

struct Stack {
  host::AColor baseMap{0.8f, 0.6f, 0.4f, 0.5f};
  host::AColor topMap{0.3f, 0.9f, 0.15f, 0.7f};
  host::AColor mask{1.0f, 0.5f, 0.0f, 1.0f};
};

TEST(EvalExact, EveryModeWithMaskAgainstTheEngine) {
  ScratchDir dir("eval-modes");
  const Stack s;
  std::string layers;
  for (int mode = 0; mode < kNumBlendModes; ++mode) {
    const std::string scene = Scene(
        "{\"type\": \"tessary\", \"layers\": [{\"map\": " + Constant(s.baseMap) + "}, {\"map\": " +
        Constant(s.topMap) + ", \"mask\": " + Constant(s.mask) + ", \"opacity\": 60, \"mode\": \"" +
        std::string(ModeName(mode)) + "\"}]}");
    WriteFile(dir / "scene.json", scene);
    const RunResult r = RunProgram(dir, "eval scene.json");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<float> got = Numbers(r.out);
    ASSERT_EQ(got.size(), 8u) << r.out;

    // Layer 0: the map's colour times its own alpha, all four channels.
    const float e = s.baseMap.a;
    const host::AColor base(s.baseMap.r * e, s.baseMap.g * e, s.baseMap.b * e, s.baseMap.a * e);
    const float m = Intensity(s.mask);
    host::AColor top = s.topMap;
    top.a = m;
    const host::AColor want = ApplyBlendMode(mode, base, top, 60.0f * 0.01f, m);
    const std::string name(ModeName(mode));
    ExpectBits(got[0], want.r, name + " r");
    ExpectBits(got[1], want.g, name + " g");
    ExpectBits(got[2], want.b, name + " b");
    ExpectBits(got[3], want.a, name + " a");
    ExpectBits(got[4], Intensity(want), name + " mono");
  }
}

struct StackCase {
  const char* label;
  std::string layers;  // the "layers" array
  std::string output;  // the "output" object
  host::AColor expected;
};

TEST(EvalExact, SkippedLayersFlatColoursAndOutputStage) {
  OutputSettings out;
  out.outputOn = true;
  out.clampOn = true;
  out.brightness = 120.0f * 0.01f;
  out.contrast = 90.0f * 0.01f;
  out.gamma = 2.2f;
  out.hsvShift = host::AColor(30.0f, -0.25f, 0.1f, 0.0f);
  out.rgbShift = host::AColor(0.05f, 0.0f, -0.05f, 0.0f);
  out.alphaShift = -0.25f;
  const host::AColor red(1.0f, 0.0f, 0.0f, 1.0f);
  const host::AColor blueBase(0.0f, 0.0f, 1.0f, 1.0f);
  const host::AColor halfRed = ApplyBlendMode(0, blueBase, red, 0.5f, 1.0f);
  const std::vector<StackCase> cases = {
      {"flat base only", R"([{"color": [0.25, 0.5, 0.75]}])", "{}", {0.25f, 0.5f, 0.75f, 1.0f}},
      {"normal at 50 %", R"([{"color": [0, 0, 1]}, {"color": [1, 0, 0], "opacity": 50}])", "{}", halfRed},
      {"unused layer skipped",
       R"([{"color": [0, 0, 1]}, {"color": [1, 0, 0], "used": false, "mode": "Difference"}])", "{}", blueBase},
      {"map off uses the flat colour",
       R"([{"color": [0, 0, 1], "mapOn": false, "map": {"type": "constant", "color": [0, 1, 0, 1]}}])", "{}",
       blueBase},
      {"out-of-range mode changes nothing", R"([{"color": [0, 0, 1]}, {"color": [1, 0, 0], "mode": 34}])", "{}",
       blueBase},
      {"output stage",
       R"([{"color": [0, 0, 1]}, {"color": [1, 0, 0], "opacity": 50}])",
       R"({"on": true, "clamp": true, "bright": 120, "contrast": 90, "gamma": 2.2, "hsv": [30, -0.25, 0.1],
          "rgb": [0.05, 0, -0.05], "alpha": -0.25})",
       ApplyOutputStage(out, halfRed)},
  };
  ScratchDir dir("eval-stack");
  for (const StackCase& c : cases) {
    WriteFile(dir / "scene.json",
              Scene("{\"type\": \"tessary\", \"layers\": " + c.layers + ", \"output\": " + c.output + "}"));
    const RunResult r = RunProgram(dir, "eval scene.json --uv 0.25 0.75");
    ASSERT_EQ(r.exitCode, 0) << c.label << ": " << r.err;
    const std::vector<float> got = Numbers(r.out);
    ASSERT_EQ(got.size(), 8u) << r.out;
    ExpectBits(got[0], c.expected.r, std::string(c.label) + " r");
    ExpectBits(got[1], c.expected.g, std::string(c.label) + " g");
    ExpectBits(got[2], c.expected.b, std::string(c.label) + " b");
    ExpectBits(got[3], c.expected.a, std::string(c.label) + " a");
  }
}

TEST(EvalExact, PrintsNonFiniteValuesAsStringsAndThePerturbation) {
  ScratchDir dir("eval-nan");
  WriteFile(dir / "scene.json",
            Scene(R"({"type": "tessary", "layers": [{"map": {"type": "constant", "color": ["nan", "inf", "-inf", 1],
                 "perturb": [0.125, -2, 3e-7]}}]})"));
  const RunResult r = RunProgram(dir, "eval scene.json");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "{\"color\": [\"nan\", \"inf\", \"-inf\", 1], \"mono\": \"nan\", "
                   "\"perturb\": [0.125, -2, 3.00000011e-07]}\n");
}

}  // namespace
}  // namespace tessary::app::testing
