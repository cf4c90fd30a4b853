#include "app/image_io.h"
#include "app/image_module.h"

#include <gtest/gtest.h>

#include <OpenImageIO/imageio.h>

#include <cmath>
#include <cstring>
#include <random>
#include <thread>

#include "app/bitmap_tex.h"
#include "app/map_graph.h"
#include "tests/app/test_util.h"

namespace tessary::app::testing {
namespace {

TEST(ImageIo, QuantiseClampsRoundsAndZeroesNaN) {
  const struct {
    float v;
    std::uint32_t q8;
    std::uint32_t q16;
  } cases[] = {{0.0f, 0, 0},       {-0.5f, 0, 0},     {NAN, 0, 0},           {1.0f, 255, 65535},
               {7.0f, 255, 65535}, {INFINITY, 255, 65535}, {0.5f, 128, 32768}, {1.0f / 255.0f, 1, 257},
               {0.4980392f, 127, 32639}};
  for (const auto& c : cases) {
    EXPECT_EQ(Quantise(c.v, 255), c.q8) << c.v;
    EXPECT_EQ(Quantise(c.v, 65535), c.q16) << c.v;
  }
}

Image Gradient4x2() {
  Image img;
  img.width = 4;
  img.height = 2;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x)
      for (float v : {static_cast<float>(x) * 0.25f, static_cast<float>(y), -1.5f, 1.0f + static_cast<float>(x)})
        img.rgba.push_back(v);
  return img;
}

TEST(ImageIo, FloatFormatsKeepValuesAndIntegerFormatsQuantise) {
  ScratchDir dir("imageio");
  const Image src = Gradient4x2();
  const struct {
    const char* name;
    ImageFormat format;
    bool exact;
  } cases[] = {{"a.exr", ImageFormat::Exr, true},
               {"a.tif", ImageFormat::Tiff, true},
               {"a.png", ImageFormat::Png16, false},
               {"b.png", ImageFormat::Png8, false}};
  for (const auto& c : cases) {
    std::string error;
    ASSERT_TRUE(WriteImage((dir / c.name).string(), c.format, src, error)) << c.name << ": " << error;
    Image back;
    ASSERT_TRUE(ReadImage((dir / c.name).string(), back, error)) << error;
    ASSERT_EQ(back.width, 4);
    ASSERT_EQ(back.height, 2);
    for (std::size_t i = 0; i < src.rgba.size(); ++i) {
      const float v = src.rgba[i];
      const float want = c.exact ? v : (v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v));
      const int x = static_cast<int>((i / 4) % 4), y = static_cast<int>(i / 16);
      // The straight colour at the pixel's centre (EXR stores it premultiplied).
      const host::AColor got = SampleBilinear(back, (static_cast<float>(x) + 0.5f) / 4.0f,
                                              1.0f - (static_cast<float>(y) + 0.5f) / 2.0f);
      const float value[4] = {got.r, got.g, got.b, got.a};
      EXPECT_NEAR(value[i % 4], want, c.exact ? 0.0f : 0.5f / 255.0f + 1e-6f) << c.name << " value " << i;
    }
    // 8-bit files are kept as their bytes.
    EXPECT_EQ(!back.rgba8.empty(), c.format == ImageFormat::Png8) << c.name;
  }
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"a.exr", "a.png", "a.tif", "b.png"}));
}

// EXR and TIFF, zip or uncompressed, written in bands of uneven height (the
// writer compresses each band's blocks side by side): the header says how the
// file is compressed and every value reads back with its bits. Alpha is 1 so
// EXR's premultiplication leaves the colour as it was.
TEST(ImageIo, CompressionAsAskedAndEveryBitKept) {
  ScratchDir dir("compression");
  Image src;
  src.width = 37;
  src.height = 150;
  std::mt19937 rng(12);
  std::uniform_real_distribution<float> value(-3.0f, 3.0f);
  for (int p = 0; p < src.width * src.height; ++p) {
    for (int c = 0; c < 3; ++c) src.rgba.push_back(p % 17 == 0 ? 1e-40f * static_cast<float>(c + 1) : value(rng));
    src.rgba.push_back(1.0f);
  }
  const struct {
    const char* name;
    ImageFormat format;
    Compression compression;
    const char* stored;
  } cases[] = {{"zip.exr", ImageFormat::Exr, Compression::Zip, "zip"},
               {"none.exr", ImageFormat::Exr, Compression::None, "none"},
               {"zip.tif", ImageFormat::Tiff, Compression::Zip, "zip"},
               {"none.tif", ImageFormat::Tiff, Compression::None, "none"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = (dir / c.name).string();
    std::string error;
    ImageWriter w;
    ASSERT_TRUE(w.Open(path, c.format, src.width, src.height, error, c.compression)) << error;
    const std::size_t rowValues = static_cast<std::size_t>(src.width) * 4;
    for (int y0 = 0, rows = 1; y0 < src.height; y0 += rows, rows = std::min(rows * 3, src.height - y0)) {
      ASSERT_TRUE(w.WriteRows(y0, rows, src.rgba.data() + static_cast<std::size_t>(y0) * rowValues, error)) << error;
    }
    ASSERT_TRUE(w.Commit(error)) << error;
    auto in = OIIO::ImageInput::open(path);
    ASSERT_TRUE(in);
    EXPECT_EQ(in->spec().get_string_attribute("compression"), c.stored);
    in->close();
    Image back;
    ASSERT_TRUE(ReadImage(path, back, error)) << error;
    ASSERT_EQ(back.rgba.size(), src.rgba.size());
    EXPECT_EQ(std::memcmp(back.rgba.data(), src.rgba.data(), src.rgba.size() * sizeof(float)), 0);
  }
}

// Every output option is checked against the format: what applies sets the
// output up, what does not is an error naming the option, never ignored.
TEST(ImageIo, OutputOptionsApplyOrFail) {
  const struct {
    const char* path;
    OutputRequest request;
    ImageFormat format;
    DataFormat data;
    const char* compression;
    int quality;
    const char* error;  // null: accepted
  } cases[] = {
      {"a.png", {}, ImageFormat::Png8, DataFormat::UInt8, "", 95, nullptr},
      {"a.png", {16, "", "", 0}, ImageFormat::Png16, DataFormat::UInt16, "", 95, nullptr},
      {"a.png", {0, "uint16", "", 0}, ImageFormat::Png16, DataFormat::UInt16, "", 95, nullptr},
      {"a.exr", {}, ImageFormat::Exr, DataFormat::Float, "zip", 95, nullptr},
      {"a.exr", {0, "half", "dwaa", 0}, ImageFormat::Exr, DataFormat::Half, "dwaa", 95, nullptr},
      {"a.tif", {16, "", "lzw", 0}, ImageFormat::Tiff, DataFormat::UInt16, "lzw", 95, nullptr},
      {"a.TIFF", {8, "uint8", "none", 0}, ImageFormat::Tiff, DataFormat::UInt8, "none", 95, nullptr},
      {"a.jpg", {0, "", "", 40}, ImageFormat::Jpeg, DataFormat::UInt8, "", 40, nullptr},
      {"a.tx", {0, "uint8", "lzw", 0}, ImageFormat::Tx, DataFormat::UInt8, "lzw", 95, nullptr},
      {"a.exr", {16, "", "", 0}, {}, {}, "", 0, "--bits 16: EXR output is half or float"},
      {"a.jpg", {16, "", "", 0}, {}, {}, "", 0, "--bits 16: JPEG output is uint8"},
      {"a.tif", {0, "half", "", 0}, {}, {}, "", 0, "--data-format half: TIFF output is uint8, uint16 or float"},
      {"a.png", {16, "uint8", "", 0}, {}, {}, "", 0, "--bits 16 and --data-format uint8 disagree (give one)"},
      {"a.png", {0, "", "zip", 0}, {}, {}, "", 0, "--compression: PNG output has no compression setting"},
      {"a.exr", {0, "", "lzw", 0}, {}, {}, "", 0, "--compression lzw: EXR output takes none, rle, zips, zip, piz"},
      {"a.tif", {0, "", "ZIP", 0}, {}, {}, "", 0, "--compression ZIP: TIFF output takes none, lzw, zip or packbits"},
      {"a.exr", {0, "", "", 90}, {}, {}, "", 0, "--quality: only JPEG output has a quality setting, not EXR"},
      {"a.jpg", {0, "", "", 101}, {}, {}, "", 0, "--quality 101: expected 1 to 100"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path + std::string(" ") + (c.error ? c.error : "accepted"));
    OutputChoice choice;
    std::string error;
    const bool ok = ResolveOutput(c.path, c.request, choice, error);
    if (c.error) {
      EXPECT_FALSE(ok);
      EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
      continue;
    }
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(choice.format, c.format);
    EXPECT_EQ(choice.data, c.data);
    EXPECT_EQ(choice.compression, c.compression);
    EXPECT_EQ(choice.quality, c.quality);
  }
}

// The image library's thread settings while the limit lives, and the earlier
// ones afterwards. One thread runs the EXR library without its pool (-1).
TEST(ImageIo, LibraryThreadsBoundedAndRestored) {
  const auto settings = [] {
    std::pair<int, int> s{-9, -9};
    OIIO::getattribute("threads", s.first);
    OIIO::getattribute("exr_threads", s.second);
    return s;
  };
  // A limit set before the library is loaded holds once it is (each test
  // runs in a process of its own under ctest).
  std::string error;
  if (!ImageModuleLoaded()) {
    const ImageLibraryThreads limit(3);
    ASSERT_TRUE(ImageModuleOrError(error)) << error;
    EXPECT_EQ(settings(), (std::pair<int, int>{3, 3}));
  }
  ASSERT_TRUE(ImageModuleOrError(error)) << error;
  const std::pair<int, int> before = settings();
  // The library reads "threads" 0 back as the number of cores.
  const int cores = static_cast<int>(std::thread::hardware_concurrency());
  const struct {
    int n;
    std::pair<int, int> want;
  } cases[] = {{1, {1, -1}}, {2, {2, 2}}, {5, {5, 5}}, {0, {cores, 0}}, {-3, {cores, 0}}};
  for (const auto& c : cases) {
    {
      const ImageLibraryThreads limit(c.n);
      EXPECT_EQ(settings(), c.want) << c.n;
    }
    EXPECT_EQ(settings(), before) << c.n;
  }
}

TEST(ImageIo, AbandonedWriterLeavesNothingBehind) {
  ScratchDir dir("abandon");
  {
    ImageWriter w;
    std::string error;
    ASSERT_TRUE(w.Open((dir / "x.png").string(), ImageFormat::Png8, 4, 4, error)) << error;
    EXPECT_EQ(dir.Files().size(), 1u) << "the temporary file exists while writing";
  }
  EXPECT_TRUE(dir.Files().empty());
}

TEST(BitmapSampling, BilinearWithWrapAroundAndVUpwards) {
  const Image img = Gradient4x2();  // red: 0, .25, .5, .75 across; green: 0 top row, 1 bottom row
  const struct {
    float u, v, r, g;
  } cases[] = {
      {0.125f, 0.75f, 0.0f, 0.0f},    // centre of the top-left pixel
      {0.125f, 0.25f, 0.0f, 1.0f},    // v upwards: the bottom row
      {0.25f, 0.75f, 0.125f, 0.0f},   // halfway between two pixel centres
      {0.0f, 0.75f, 0.375f, 0.0f},    // left edge mixes the last column in (wrap-around)
      {1.125f, -0.75f, 0.0f, 1.0f},   // coordinates outside [0, 1) repeat
      {-0.875f, 1.75f, 0.0f, 0.0f},
      {0.125f, 0.5f, 0.0f, 0.5f},     // between the rows
      {0.125f, 1.0f, 0.0f, 0.5f},     // top edge mixes the bottom row in
  };
  for (const auto& c : cases) {
    const host::AColor s = SampleBilinear(img, c.u, c.v);
    EXPECT_FLOAT_EQ(s.r, c.r) << c.u << "," << c.v;
    EXPECT_FLOAT_EQ(s.g, c.g) << c.u << "," << c.v;
  }
  const host::AColor n = SampleBilinear(img, NAN, INFINITY);
  EXPECT_TRUE(std::isfinite(n.r) && std::isfinite(n.g)) << "non-finite coordinates read a pixel";
}

}  // namespace
}  // namespace tessary::app::testing
