// `tessary render` of one small scene (tests/app/golden/scene.json: six
// layers of procedural maps in several modes, three masks, alpha below 1,
// the output stage with values beyond 0..1), once per output format,
// compared pixel for pixel and bit for bit with the images kept beside it.
// Both files are read back the same way (OpenImageIO through ReadImage), so
// JPEG too compares exactly: its encoder and decoder give the same bytes
// with and without their SIMD paths; another JPEG library version may not.
//
// To write the kept images again on purpose (after a deliberate change of
// rendered results, or for a new image library), run
//   TESSARY_BUILD_DIR=build/dev TESSARY_UPDATE_GOLDEN=1 build/dev/bin/app_tests --gtest_filter='*Golden*'
// then look at the images and commit them (golden/README.md). Nothing in
// the test scripts sets it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "app/image_io.h"
#include "tests/app/test_util.h"
#include "tests/support/float_bits.h"

namespace tessary::app::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kGoldenDir = fs::path(TESSARY_SOURCE_DIR) / "tests" / "app" / "golden";

struct GoldenCase {
  const char* label;
  const char* file;
  const char* args;  // beyond the scene, size and output
};

void PrintTo(const GoldenCase& c, std::ostream* os) { *os << c.label; }

class Golden : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(Golden, RenderMatchesTheKeptImage) {
  const GoldenCase& c = GetParam();
  ScratchDir dir(std::string("golden-") + c.label);
  const std::string scene = (kGoldenDir / "scene.json").string();
  const RunResult r = RunProgram(dir, "render '" + scene + "' --size 32 -q " + c.args + " -o " + c.file);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const fs::path kept = kGoldenDir / c.file;
  if (std::getenv("TESSARY_UPDATE_GOLDEN")) {
    fs::copy_file(dir / c.file, kept, fs::copy_options::overwrite_existing);
    GTEST_SKIP() << "wrote " << kept;
  }

  Image got, want;
  std::string error;
  ASSERT_TRUE(ReadImage((dir / c.file).string(), got, error)) << error;
  ASSERT_TRUE(ReadImage(kept.string(), want, error)) << error;
  ASSERT_EQ(got.width, want.width);
  ASSERT_EQ(got.height, want.height);
  EXPECT_EQ(got.premultiplied, want.premultiplied);
  int differing = 0;
  for (int y = 0; y < want.height; ++y) {
    for (int x = 0; x < want.width; ++x) {
      const ::testing::AssertionResult same = tessary::testing::ColorBitsEq(got.At(x, y), want.At(x, y));
      if (same) continue;
      if (differing++ == 0) ADD_FAILURE() << "first difference at pixel (" << x << ", " << y << "): " << same.message();
    }
  }
  EXPECT_EQ(differing, 0) << "pixels that differ, of " << want.width * want.height;
}

INSTANTIATE_TEST_SUITE_P(Program, Golden,
                         ::testing::Values(GoldenCase{"png8", "render.png", ""},
                                           GoldenCase{"png16", "render16.png", "--bits 16"},
                                           GoldenCase{"exr", "render.exr", ""},
                                           GoldenCase{"tiff", "render.tif", ""},
                                           GoldenCase{"jpeg", "render.jpg", ""}),
                         [](const ::testing::TestParamInfo<GoldenCase>& p) { return std::string(p.param.label); });

}  // namespace
}  // namespace tessary::app::testing
