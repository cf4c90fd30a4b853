// `tessary eval` prints exactly what the engine computes: hand-made scenes of
// constant maps, run through the program, compared bit for bit with values
// worked out from the mode and output-stage formulas in binary32, one
// rounding per operation (an independent calculation, kept here as literals).
// The mode scenes are also rendered, so the renderer's span path meets the
// same literals.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>

#include "app/map_graph.h"
#include "app/mode_names.h"
#include "app/render.h"
#include "app/scene_io.h"
#include "app/scene_json.h"
#include "compositing/blend_modes.h"
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

// The base layer's map times its own alpha, B = (0.4, 0.3, 0.2, 0.25); the
// mask's intensity is the coverage, m = (0 + 0.5 + 1) x 0.33333334 = 0.5; the
// opacity is t = 60 x 0.01 = 0.59999996. Per mode: r, g, b, a and the mono
// value (the intensity of the colour). Normal's red, by hand:
//   (0.3 x t + (1 - t) x 0.4) x 0.5 + 0.5 x 0.4 = 0.37.
const float kModeResults[kNumBlendModes][5] = {
    {0.37f, 0.48f, 0.185f, 0.325f, 0.345f},                                // Normal
    {0.316f, 0.291f, 0.149f, 0.2125f, 0.25200003f},                        // Multiply
    {0.454f, 0.489f, 0.236f, 0.36249998f, 0.393f},                         // Screen
    {0.49f, 0.57f, 0.245f, 0.4f, 0.43500003f},                             // Additive
    {0.19000003f, 0.27000004f, -0.05499997f, 0.25f, 0.13500004f},          // Subtractive
    {0.28f, 0.53999996f, -0.009999983f, 0.25f, 0.26999998f},               // Stamp
    {0.31f, 0.39f, 0.155f, 0.25f, 0.285f},                                 // Difference
    {0.49f, 0.45000002f, 0.245f, 0.25f, 0.39500004f},                      // Negation
    {0.41799998f, 0.40800002f, 0.227f, 0.25f, 0.351f},                     // Exclusion
    {0.37f, 0.3f, 0.185f, 0.25f, 0.28500003f},                             // Darken
    {0.4f, 0.48f, 0.2f, 0.25f, 0.36f},                                     // Lighten
    {0.352f, 0.372f, 0.158f, 0.25f, 0.29400003f},                          // Overlay
    {0.352f, 0.46799996f, 0.158f, 0.25f, 0.326f},                          // Hard Light
    {0.37120003f, 0.35945344f, 0.1664f, 0.25f, 0.29901785f},               // Soft Light
    {0.4514286f, 1.1099998f, 0.21058825f, 0.25f, 0.5906722f},              // Dodge
    {0.43f, 0.5957143f, 0.19624999f, 0.25f, 0.40732145f},                  // Inverse dodge
    {0.3657143f, 0.46f, 0.17529413f, 0.25f, 0.3336695f},                   // Soft dodge
    {-0.019999966f, 0.27666667f, -1.1599998f, 0.25f, -0.30111107f},        // Burn
    {0.055000022f, 0.41f, -0.8349999f, 0.25f, -0.1233333f},                // Inverse burn
    {0.35500002f, 0.39333332f, 0.168125f, 0.25f, 0.30548614f},             // Soft burn
    {0.36273986f, 0.38724536f, 0.16249824f, 0.25f, 0.30416116f},           // Interpolation
    {0.385f, 0.39f, 0.1925f, 0.25f, 0.3225f},                              // Average
    {0.4f, 0.37800002f, 0.2f, 0.25f, 0.32600003f},                         // Hue
    {0.4f, 0.28000003f, 0.16f, 0.25f, 0.28000003f},                        // Saturation
    {0.55f, 0.41250005f, 0.275f, 0.25f, 0.41250002f},                      // Luminance
    {0.4f, 0.3736f, 0.16f, 0.25f, 0.3112f},                                // Color
    {0.34857142f, 0.47999993f, 0.15411764f, 0.25f, 0.32756302f},           // Reflect
    {0.325f, 0.55714285f, 0.1484375f, 0.25f, 0.34352678f},                 // Glow
    {0.22f, 0.34666666f, -0.8399998f, 0.25f, -0.09111105f},                // Freeze
    {0.2125f, 0.49999997f, -0.64374995f, 0.25f, 0.022916675f},             // Heat
    {0.37f, 0.3f, 0.2f, 0.25f, 0.29000002f},                               // RGB red
    {0.4f, 0.48f, 0.2f, 0.25f, 0.36f},                                     // RGB green
    {0.4f, 0.3f, 0.185f, 0.25f, 0.29500002f},                              // RGB blue
    {0.125f, -0.22499998f, 0.1f, 0.5f, 7.450581e-09f},                     // Exact Difference
};

TEST(EvalExact, EveryModeWithMask) {
  ScratchDir dir("eval-modes");
  const Stack s;
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
    const float* want = kModeResults[mode];
    const std::string name(ModeName(mode));
    ExpectBits(got[0], want[0], name + " r");
    ExpectBits(got[1], want[1], name + " g");
    ExpectBits(got[2], want[2], name + " b");
    ExpectBits(got[3], want[3], name + " a");
    ExpectBits(got[4], want[4], name + " mono");
    // The renderer's span path meets the same literals.
    SceneGraph graph;
    ImageLibrary images;
    std::string error;
    ASSERT_TRUE(LoadScene((dir / "scene.json").string(), graph, error) && PrepareGraph(graph, images, error)) << error;
    const Image image = RenderImage(*graph.root, 1, 1, 1, EvalPath::Spans);
    for (std::size_t c = 0; c < 4; ++c) ExpectBits(image.rgba[c], want[c], name + " rendered, channel " + std::to_string(c));
  }
}

struct StackCase {
  const char* label;
  std::string layers;  // the "layers" array
  std::string output;  // the "output" object
  host::AColor expected;
};

TEST(EvalExact, SkippedLayersFlatColoursAndOutputStage) {
  const host::AColor blueBase(0.0f, 0.0f, 1.0f, 1.0f);
  // Red over blue in Normal at t = 0.5, m = 1: (0.5, 0, 0.5), alpha 1.
  const host::AColor halfRed(0.5f, 0.0f, 0.5f, 1.0f);
  // Then the output stage: hue 300 + 30 = 330 at s 0.75, v 0.6; shifted by
  // (0.05, 0, -0.05); gamma 2.2 (correctly rounded log and exp), brightness
  // 1.2, contrast 0.9; alpha 1 - 0.25.
  const host::AColor output(0.93794143f, 0.50595266f, 0.6979662f, 0.75f);
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
       output},
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
