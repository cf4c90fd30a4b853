// The same inputs must give the same bits in every build (debug with
// sanitizers, release, thread sanitizer, the Windows builds): no contraction
// into fused multiply-adds, no fast-math, and no library mathematics (exp,
// log and cos are the correctly rounded ones of compositing/cr_math). Every
// result of every mode, of the bump modes and of the output stage over a grid
// of inputs is pinned, bit for bit, in pinned_results.h; a build or a
// platform that rounds differently anywhere is named at its first case. The
// digest over all of them is pinned as well.
//
// pinned_results.h was written by this test from the build that pinned the
// digest. To write it again after a deliberate change of results (never to
// make a failing build pass), run from the source folder
//   TESSARY_WRITE_PINNED_RESULTS=tests/compositing/pinned_results.h build/dev/bin/compositing_tests --gtest_filter='BuildConsistency*'
// rebuild, and pin the digest it then reports.

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

#include "bump/bump_modes.h"
#include "compositing/blend_modes.h"
#include "compositing/output_stage.h"
#include "tests/compositing/pinned_results.h"
#include "tests/support/float_bits.h"

namespace tessary {
namespace {

constexpr std::uint64_t kPinnedDigest = 0xb80faf685973d00eull;
constexpr float kValues[] = {-0.75f, 0.0f, 0.1f, 0.25f, 0.3333f, 0.5f, 0.7f, 1.0f, 1.6f};
constexpr int kNumValues = static_cast<int>(std::size(kValues));
constexpr float kOpacity = 0.7f, kCoverage = 0.6f;

struct Digest {
  std::uint64_t h = 1469598103934665603ull;
  void Add(std::uint32_t bits) {
    h ^= bits;
    h *= 1099511628211ull;
  }
};

AColor ModeBase(float b, float s) { return AColor(b, 1.0f - b * 0.5f, s * b, 0.9f); }
AColor ModeTop(float b, float s) { return AColor(s, b * 0.25f + 0.2f, 1.0f - s, 0.6f); }

OutputSettings Output() {
  OutputSettings o;
  o.outputOn = true;
  o.hsvShift = AColor(47.5f, -0.1f, 0.05f, 0);
  o.rgbShift = AColor(0.01f, 0.02f, -0.03f, 0);
  o.gamma = 2.2f;
  o.brightness = 1.1f;
  o.contrast = 0.9f;
  return o;
}
AColor OutputInput(float b, float s) { return AColor(b, s, (b + s) * 0.5f, 1); }

std::uint32_t Bits(float v) { return std::bit_cast<std::uint32_t>(v); }

// One case: its inputs in words, what each pinned value is, and the values.
struct Case {
  std::string inputs;
  std::vector<const char*> names;
  std::vector<std::uint32_t> bits;
};

std::string ShowColor(const AColor& c) {
  std::ostringstream os;
  os.precision(9);
  os << "(" << c.r << ", " << c.g << ", " << c.b << ", " << c.a << ")";
  return os.str();
}

// Every case in a fixed order: each mode over every (b, s), then the output
// stage over every (b, s).
std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (int mode = 0; mode < kNumBlendModes; ++mode) {
    for (float b : kValues) {
      for (float s : kValues) {
        const AColor base = ModeBase(b, s), top = ModeTop(b, s);
        const AColor c = ApplyBlendMode(mode, base, top, kOpacity, kCoverage);
        std::ostringstream in;
        in.precision(9);
        in << "mode " << mode << ", base " << ShowColor(base) << ", top " << ShowColor(top) << ", t " << kOpacity
           << ", m " << kCoverage << "; bump mode " << mode << ", l " << s << ", r " << b;
        cases.push_back({in.str(),
                         {"colour r", "colour g", "colour b", "colour a", "bump value"},
                         {Bits(c.r), Bits(c.g), Bits(c.b), Bits(c.a), Bits(bump::ModeValue(mode, s, b))}});
      }
    }
  }
  const OutputSettings o = Output();
  for (float b : kValues) {
    for (float s : kValues) {
      const AColor in = OutputInput(b, s);
      const AColor c = ApplyOutputStage(o, in);
      cases.push_back({"output stage of " + ShowColor(in),
                       {"r", "g", "b", "a"},
                       {Bits(c.r), Bits(c.g), Bits(c.b), Bits(c.a)}});
    }
  }
  return cases;
}

std::string Hex(std::uint32_t v) {
  std::ostringstream os;
  os << "0x" << std::hex << std::setw(8) << std::setfill('0') << v;
  return os.str();
}

void WritePinnedResults(const std::vector<Case>& cases, const char* path) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "#pragma once\n"
         "// Written by build_consistency_test.cpp (TESSARY_WRITE_PINNED_RESULTS): the\n"
         "// bits of every case of that test, in its order. Not edited by hand.\n\n"
         "#include <cstdint>\n\nnamespace tessary::pinned {\n\n"
         "// Per mode, per base value b, per top value s: colour r, g, b, a, bump value.\n"
         "inline constexpr std::uint32_t kModeResults[][5] = {\n";
  const std::size_t modeCases = static_cast<std::size_t>(kNumBlendModes) * kNumValues * kNumValues;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    if (i == modeCases) {
      out << "};\n\n// Output stage, per b, per s: r, g, b, a.\n"
             "inline constexpr std::uint32_t kOutputResults[][4] = {\n";
    }
    if (i < modeCases && i % (kNumValues * kNumValues) == 0) out << "    // mode " << i / (kNumValues * kNumValues) << "\n";
    out << "    {";
    for (std::size_t k = 0; k < cases[i].bits.size(); ++k) out << (k ? ", " : "") << Hex(cases[i].bits[k]);
    out << "},\n";
  }
  out << "};\n\n}  // namespace tessary::pinned\n";
  ASSERT_TRUE(out.good()) << "cannot write " << path;
}

TEST(BuildConsistency, PinnedResultsOfEveryModeAndTheOutputStage) {
  const std::vector<Case> cases = AllCases();
  if (const char* path = std::getenv("TESSARY_WRITE_PINNED_RESULTS")) WritePinnedResults(cases, path);

  std::vector<const std::uint32_t*> pinned;
  for (const auto& row : pinned::kModeResults) pinned.push_back(row);
  for (const auto& row : pinned::kOutputResults) pinned.push_back(row);
  ASSERT_EQ(pinned.size(), cases.size()) << "pinned_results.h does not match the cases of this test";

  Digest d;
  int differing = 0;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    bool same = true;
    for (std::size_t k = 0; k < c.bits.size(); ++k) {
      d.Add(c.bits[k]);
      if (c.bits[k] == pinned[i][k]) continue;
      if (same && differing == 0) {
        ADD_FAILURE() << "first difference, case " << i << ": " << c.inputs << "\n  " << c.names[k]
                      << ": expected " << testing::Show(std::bit_cast<float>(pinned[i][k])) << ", got "
                      << testing::Show(std::bit_cast<float>(c.bits[k]));
      }
      same = false;
    }
    if (!same) ++differing;
  }
  EXPECT_EQ(differing, 0) << "cases with other bits, of " << cases.size();
  EXPECT_EQ(d.h, kPinnedDigest) << std::hex << "digest 0x" << d.h << ", pinned 0x" << kPinnedDigest;
}

}  // namespace
}  // namespace tessary
