// Colour management, end to end through the program: images converted into
// the scene's working space when read, renders converted into the output's
// space when written and tagged, raw never converted, the default sRGB PNG
// to PNG path untouched, unknown names refused. Expected values come from
// the image library's own colour processors and, where it is installed,
// from oiiotool run on the same pixels.

#include <gtest/gtest.h>

#include <OpenImageIO/color.h>
#include <OpenImageIO/imageio.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>

#include "app/colour.h"
#include "app/image_io.h"
#include "app/library/library.h"
#include "tests/app/test_util.h"
#include "tests/app/tsy_builder.h"

namespace tessary::app::testing {
namespace {

namespace fs = std::filesystem;

// Writes RGBA pixels; `colorspace` (when given) tags the file as the image
// library tags it ("linear" gives a PNG a gAMA chunk of 1.0).
void WritePixels(const fs::path& path, int w, int h, OIIO::TypeDesc type, const std::vector<float>& rgba,
                 const std::string& colorspace = "") {
  OIIO::ImageSpec header(w, h, 4, type);
  header.alpha_channel = 3;
  if (!colorspace.empty()) header.attribute("oiio:ColorSpace", colorspace);
  if (path.extension() == ".png") header.attribute("oiio:UnassociatedAlpha", 1);
  auto out = OIIO::ImageOutput::create(path.string());
  ASSERT_TRUE(out && out->open(path.string(), header)) << path;
  ASSERT_TRUE(out->write_image(OIIO::TypeDesc::FLOAT, rgba.data())) << out->geterror();
  ASSERT_TRUE(out->close());
}

std::vector<float> Uniform(int pixels, std::array<float, 4> c) {
  std::vector<float> v;
  for (int i = 0; i < pixels; ++i) v.insert(v.end(), c.begin(), c.end());
  return v;
}

// The first pixel as stored (no conversion).
host::AColor Stored(const fs::path& path) {
  Image image;
  std::string error;
  EXPECT_TRUE(ReadImage(path.string(), image, error)) << error;
  return image.width > 0 ? image.At(0, 0) : host::AColor(NAN, NAN, NAN, NAN);
}

// The image library's conversion of one colour; the same colour for
// "" (no conversion).
host::AColor Converted(host::AColor c, const std::string& from, const std::string& to,
                       const std::string& config = "") {
  if (from.empty()) return c;
  static OIIO::ColorConfig builtIn;
  OIIO::ColorConfig named(config);
  OIIO::ColorConfig& colours = config.empty() ? builtIn : named;
  auto p = colours.createColorProcessor(from, to);
  EXPECT_TRUE(p) << from << " -> " << to;
  float v[3] = {c.r, c.g, c.b};
  if (p) p->apply(v);
  return host::AColor(v[0], v[1], v[2], c.a);
}

host::AColor Eval(const ScratchDir& dir, const std::string& args, const std::string& env = "") {
  const RunResult r = RunProgram(dir, "eval " + args, env);
  EXPECT_EQ(r.exitCode, 0) << args << ": " << r.err;
  if (r.exitCode != 0) return host::AColor(NAN, NAN, NAN, NAN);
  const auto c = nlohmann::json::parse(r.out)["color"];
  return host::AColor(c[0].get<float>(), c[1].get<float>(), c[2].get<float>(), c[3].get<float>());
}

::testing::AssertionResult SameBits(const host::AColor& got, const host::AColor& want) {
  const float g[4] = {got.r, got.g, got.b, got.a};
  const float w[4] = {want.r, want.g, want.b, want.a};
  for (int c = 0; c < 4; ++c)
    if (std::bit_cast<std::uint32_t>(g[c]) != std::bit_cast<std::uint32_t>(w[c]))
      return ::testing::AssertionFailure() << "channel " << c << ": got " << g[c] << ", want " << w[c];
  return ::testing::AssertionSuccess();
}

std::string BitmapScene(const std::string& working, const std::string& fields) {
  return std::string("{\"format\": \"tessary-scene\", \"version\": 1, ") +
         (working.empty() ? "" : "\"workingColorspace\": \"" + working + "\", ") +
         "\"root\": {\"type\": \"bitmap\", " + fields + "}}";
}

// Each bitmap is read into the working space: what the image library's
// processor makes of the stored values, bit for bit (8-bit images through
// their own tables), or the stored values themselves where the spaces are
// the same or either is raw.
TEST(Colour, ImagesAreReadIntoTheWorkingSpace) {
  ScratchDir dir("colour-read");
  const float b128 = 128.0f / 255.0f, b64 = 64.0f / 255.0f, b200 = 200.0f / 255.0f;
  WritePixels(dir / "s.png", 2, 2, OIIO::TypeDesc::UINT8, Uniform(4, {b128, b64, b200, 1}));
  WritePixels(dir / "s16.png", 2, 2, OIIO::TypeDesc::UINT16, Uniform(4, {0.3f, 0.6f, 0.9f, 1}));
  WritePixels(dir / "g1.png", 2, 2, OIIO::TypeDesc::UINT8, Uniform(4, {b128, b64, b200, 1}), "linear");
  WritePixels(dir / "l.exr", 2, 2, OIIO::TypeDesc::FLOAT, Uniform(4, {0.2158f, 0.5f, 1.5f, 1}));
  // Premultiplied by convention: straight (0.5, 0.2, 1) at alpha 0.5.
  WritePixels(dir / "p.exr", 2, 2, OIIO::TypeDesc::FLOAT, Uniform(4, {0.25f, 0.1f, 0.5f, 0.5f}));
  const std::string g1 = ReadFile(dir / "g1.png");
  ASSERT_NE(g1.find(std::string("gAMA\0\x01\x86\xa0", 8)), std::string::npos) << "g1.png is tagged gamma 1.0";

  const struct {
    const char* label;
    const char* file;
    const char* fields;   // beyond the file
    const char* working;  // "" the default
    const char* from;     // the expected conversion; "" none
    const char* to;
  } cases[] = {
      {"sRGB PNG, default working space", "s.png", "", "", "", ""},
      {"sRGB PNG into linear", "s.png", "", "linear", "sRGB", "linear"},
      {"16-bit PNG into linear", "s16.png", "", "linear", "sRGB", "linear"},
      {"gamma 1.0 PNG into sRGB", "g1.png", "", "", "linear", "sRGB"},
      {"gamma 1.0 PNG declared sRGB", "g1.png", R"(, "colorspace": "sRGB")", "", "", ""},
      {"linear EXR into sRGB", "l.exr", "", "", "linear", "sRGB"},
      {"linear EXR into linear", "l.exr", "", "linear", "", ""},
      {"EXR declared raw", "l.exr", R"(, "colorspace": "raw")", "", "", ""},
      {"PNG declared raw into linear", "s.png", R"(, "colorspace": "RAW")", "linear", "", ""},
      {"raw working space", "l.exr", "", "raw", "", ""},
      {"PNG declared Gamma2.2 into linear", "s.png", R"(, "colorspace": "Gamma2.2")", "linear", "Gamma2.2", "linear"},
      {"names without regard to case", "s.png", R"(, "colorspace": "srgb")", "sRGB", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    WriteFile(dir / "scene.json", BitmapScene(c.working, std::string("\"file\": \"") + c.file + "\"" + c.fields));
    EXPECT_TRUE(SameBits(Eval(dir, "scene.json"), Converted(Stored(dir / c.file), c.from, c.to)));
  }

  // Premultiplied colour is converted straight; alpha is never converted.
  WriteFile(dir / "scene.json", BitmapScene("", R"("file": "p.exr")"));
  EXPECT_TRUE(SameBits(Eval(dir, "scene.json"),
                       Converted(host::AColor(0.25f / 0.5f, 0.1f / 0.5f, 0.5f / 0.5f, 0.5f), "linear", "sRGB")));
}

// The render is converted out of the working space into the output's and
// the file says which space it holds.
TEST(Colour, OutputsAreConvertedAndTagged) {
  ScratchDir dir("colour-write");
  WriteFile(dir / "grey.json", Scene(R"({"type": "constant", "color": [0.5, 0.5, 0.5, 1]})"));
  WriteFile(dir / "grey-linear.json", R"({"format": "tessary-scene", "version": 1, "workingColorspace": "linear",
      "root": {"type": "constant", "color": [0.5, 0.5, 0.5, 1]}})");
  const float toLinear = Converted(host::AColor(0.5f, 0.5f, 0.5f, 1), "sRGB", "linear").r;
  const struct {
    const char* args;
    const char* file;
    const char* tag;    // "" none
    const char* chunk;  // PNG: a chunk with its first data bytes; null none
    float red;          // the first pixel as stored
  } cases[] = {
      {"grey.json -o t.png", "t.png", "sRGB", "sRGB", 128.0f / 255.0f},
      {"grey.json -o t.png --output-colorspace linear", "t.png", "linear", "gAMA\0\x01\x86\xa0", ByteToFloat()[55]},
      {"grey.json -o t.jpg", "t.jpg", "sRGB", nullptr, 128.0f / 255.0f},
      {"grey.json -o t.exr", "t.exr", "linear", nullptr, toLinear},
      {"grey.json -o t.exr --data-format half", "t.exr", "linear", nullptr, 0.2139892578125f},
      {"grey.json -o t.exr --output-colorspace sRGB", "t.exr", "sRGB", nullptr, 0.5f},
      {"grey.json -o t.exr --output-colorspace raw", "t.exr", "", nullptr, 0.5f},
      {"grey-linear.json -o t.exr", "t.exr", "linear", nullptr, 0.5f},
      {"grey-linear.json -o t.png", "t.png", "sRGB", "sRGB", ByteToFloat()[188]},
      {"grey.json -o t.tif", "t.tif", "", nullptr, toLinear},
      {"grey.json -o t.tif --bits 8", "t.tif", "", nullptr, 128.0f / 255.0f},
      {"grey.json -o t.tx --bits 8", "t.tx", "sRGB", nullptr, 128.0f / 255.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const RunResult r = RunProgram(dir, std::string("render -q --size 4 ") + c.args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto in = OIIO::ImageInput::open((dir / c.file).string());
    ASSERT_TRUE(in);
    std::string tag = in->spec().get_string_attribute("colorSpace");  // EXR
    if (tag.empty()) tag = in->spec().get_string_attribute("oiio:ColorSpace");
    if (*c.tag) {
      EXPECT_TRUE(SameColourSpace(tag, c.tag)) << tag;
      // ... which is what the program reads it as.
      Image back;
      std::string error;
      ASSERT_TRUE(ReadImage((dir / c.file).string(), back, error)) << error;
      EXPECT_TRUE(SameColourSpace(back.colorspace, c.tag)) << back.colorspace;
    }
    if (std::string(c.file) == "t.exr" && std::string(c.tag) == "linear") {
      EXPECT_NE(in->spec().find_attribute("chromaticities"), nullptr);
    }
    in->close();
    if (c.chunk) {
      const std::string chunk(c.chunk, std::strlen(c.chunk) == 4 ? 4 : 8);
      EXPECT_NE(ReadFile(dir / c.file).find(chunk), std::string::npos) << "chunk " << chunk.substr(0, 4);
    }
    EXPECT_EQ(Stored(dir / c.file).r, c.red);
  }
}

// Nothing converted where nothing needs to be: an sRGB PNG rendered to PNG
// in the default working space gives back its pixels, every byte.
TEST(Colour, DefaultPngToPngKeepsEveryByte) {
  ScratchDir dir("colour-identity");
  std::vector<float> px;
  for (int i = 0; i < 256; ++i)
    for (int c = 0; c < 4; ++c) px.push_back(static_cast<float>((i * (c + 3) + c * 41) % 256) / 255.0f);
  for (int i = 0; i < 256; ++i) px[static_cast<std::size_t>(4 * i + 3)] = 1.0f;  // opaque: no alpha weighting
  WritePixels(dir / "in.png", 16, 16, OIIO::TypeDesc::UINT8, px);
  WriteFile(dir / "scene.json", Scene(R"({"type": "bitmap", "file": "in.png"})"));
  ASSERT_EQ(RunProgram(dir, "render scene.json -q --size 16 -o out.png").exitCode, 0);
  Image in, out;
  std::string error;
  ASSERT_TRUE(ReadImage((dir / "in.png").string(), in, error)) << error;
  ASSERT_TRUE(ReadImage((dir / "out.png").string(), out, error)) << error;
  EXPECT_EQ(out.rgba8, in.rgba8);
}

bool HaveOiiotool() { return std::system("oiiotool --version >/dev/null 2>&1") == 0; }

// The same pixels through oiiotool --colorconvert and through the program,
// compared bit for bit: a PNG ramp to EXR (converted when written, or when
// read into a linear working space), a linear EXR ramp to PNG; in one
// batch, where both scenes share the PNG but not its colour space.
TEST(Colour, AgreesWithOiiotool) {
  if (!HaveOiiotool()) GTEST_SKIP() << "oiiotool is not installed";
  ScratchDir dir("colour-oiiotool");
  std::vector<float> ramp8, rampF;
  for (int i = 0; i < 256; ++i) {
    for (int v : {i, 255 - i, (i * 7) % 256}) ramp8.push_back(static_cast<float>(v) / 255.0f);
    ramp8.push_back(1.0f);
    for (float v : {static_cast<float>(i) / 255.0f, 0.2158f, static_cast<float>(i) / 64.0f}) rampF.push_back(v);
    rampF.push_back(1.0f);
  }
  WritePixels(dir / "ramp.png", 256, 1, OIIO::TypeDesc::UINT8, ramp8);
  WritePixels(dir / "ramp.exr", 256, 1, OIIO::TypeDesc::FLOAT, rampF);
  ASSERT_EQ(std::system(("cd '" + dir.path().string() +
                         "' && oiiotool ramp.png --colorconvert sRGB linear -d float -o ref.exr && "
                         "oiiotool ramp.exr --colorconvert linear sRGB -d uint8 -o ref.png")
                            .c_str()),
            0);
  WriteFile(dir / "s.json", BitmapScene("", R"("file": "ramp.png")"));
  WriteFile(dir / "l.json", BitmapScene("linear", R"("file": "ramp.png")"));
  WriteFile(dir / "e.json", BitmapScene("", R"("file": "ramp.exr")"));
  const struct {
    const char* args;
    std::vector<const char*> outputs;
    const char* reference;
  } cases[] = {
      {"s.json -o s.exr", {"s.exr"}, "ref.exr"},
      {"l.json -o l.exr", {"l.exr"}, "ref.exr"},
      {"e.json -o e.png", {"e.png"}, "ref.png"},
      {"s.json l.json -o 'batch-{name}.exr'", {"batch-s.exr", "batch-l.exr"}, "ref.exr"},
  };
  Image want;
  std::string error;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const RunResult r = RunProgram(dir, std::string("render -q --size 256x1 ") + c.args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(ReadImage((dir / c.reference).string(), want, error)) << error;
    for (const char* output : c.outputs) {
      Image got;
      ASSERT_TRUE(ReadImage((dir / output).string(), got, error)) << error;
      EXPECT_EQ(got.rgba8, want.rgba8) << output;
      ASSERT_EQ(got.rgba.size(), want.rgba.size()) << output;
      if (!want.rgba.empty()) {  // float files: every bit
        EXPECT_EQ(std::memcmp(got.rgba.data(), want.rgba.data(), got.rgba.size() * sizeof(float)), 0) << output;
      }
    }
  }
}

// A studio's configuration, named on the command line or by OCIO: its
// spaces are the names a scene may use, converted as the configuration
// says (oiiotool --colorconfig agrees).
TEST(Colour, AConfigurationOfYourOwn) {
  ScratchDir dir("colour-ocio");
  WriteFile(dir / "studio.ocio", R"(ocio_profile_version: 2
roles:
  default: lin
  scene_linear: lin
file_rules:
  - !<Rule> {name: Default, colorspace: default}
displays:
  screen:
    - !<View> {name: Raw, colorspace: lin}
colorspaces:
  - !<ColorSpace>
    name: lin
  - !<ColorSpace>
    name: g22
    to_scene_reference: !<ExponentTransform> {value: [2.2, 2.2, 2.2, 1]}
)");
  WritePixels(dir / "s.png", 2, 2, OIIO::TypeDesc::UINT8, Uniform(4, {0.5f, 0.25f, 0.75f, 1}));
  WriteFile(dir / "scene.json", BitmapScene("lin", R"("file": "s.png", "colorspace": "g22")"));
  const host::AColor want = Converted(Stored(dir / "s.png"), "g22", "lin", (dir / "studio.ocio").string());
  EXPECT_TRUE(SameBits(Eval(dir, "scene.json --colorconfig studio.ocio"), want));
  EXPECT_TRUE(SameBits(Eval(dir, "scene.json", "OCIO=studio.ocio"), want));
  // Its names only: the built-in ones are unknown there.
  WriteFile(dir / "srgb.json", BitmapScene("lin", R"("file": "s.png", "colorspace": "sRGB")"));
  const RunResult r = RunProgram(dir, "eval srgb.json --colorconfig studio.ocio");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("\"s.png\": unknown colour space \"sRGB\" (known: lin, g22, raw)"), std::string::npos) << r.err;
}

// Unknown names and unreadable configurations: one line naming what is
// wrong, a non-zero exit, and nothing written.
TEST(Colour, UnknownNamesFailClearly) {
  ScratchDir dir("colour-unknown");
  WritePixels(dir / "s.png", 2, 2, OIIO::TypeDesc::UINT8, Uniform(4, {0.5f, 0.5f, 0.5f, 1}));
  WriteFile(dir / "bad.ocio", "colorspaces: [\n");
  WriteFile(dir / "working.json", BitmapScene("ACEScg", R"("file": "s.png")"));
  WriteFile(dir / "bitmap.json", BitmapScene("", R"("file": "s.png", "colorspace": "sRBG")"));
  WriteFile(dir / "number.json", BitmapScene("", R"("file": "s.png", "colorspace": 2.2)"));
  WriteFile(dir / "empty.json", R"({"format": "tessary-scene", "version": 1, "workingColorspace": "", "root": {}})");
  WriteFile(dir / "good.json", BitmapScene("", R"("file": "s.png")"));
  const std::string known = "(known: sRGB, linear, Rec709, GammaX.Y such as Gamma2.2, raw)";
  const struct {
    const char* args;
    int exit;
    std::string message;
  } cases[] = {
      {"render working.json -o out.png", 1,
       "tessary: error: working.json: working colour space: unknown colour space \"ACEScg\" " + known + "\n"},
      {"render bitmap.json -o out.png", 1,
       "tessary: error: bitmap.json:1:51: \"s.png\": unknown colour space \"sRBG\" " + known + "\n"},
      {"check bitmap.json", 1, "tessary: error: bitmap.json:1:51: \"s.png\": unknown colour space \"sRBG\" " + known + "\n"},
      {"render number.json -o out.png", 1,
       "tessary: error: number.json:1:101: \"colorspace\" must be a colour space name (\"sRGB\", \"linear\", \"raw\", "
       "...)\n"},
      {"render empty.json -o out.png", 1, "tessary: error: empty.json:1:64: \"workingColorspace\" must not be empty\n"},
      {"render good.json -o out.png --output-colorspace display", 2,
       "tessary: error: --output-colorspace: unknown colour space \"display\" " + known +
           "\nRun 'tessary render --help' for usage.\n"},
      {"render good.json -o out.png --colorconfig none.ocio", 1,
       "tessary: error: --colorconfig none.ocio: no such colour configuration file\n"},
      {"layers good.json -o out.png --colorconfig bad.ocio", 1,
       "tessary: error: --colorconfig bad.ocio: cannot read the colour configuration: "},
      {"eval good.json", 1, "tessary: error: OCIO=none.ocio: no such colour configuration file\n"},
  };
  const std::vector<std::string> before = dir.Files();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const RunResult r = RunProgram(dir, c.args, std::string(c.args).rfind("eval", 0) == 0 ? "OCIO=none.ocio" : "");
    EXPECT_EQ(r.exitCode, c.exit);
    EXPECT_EQ(r.err.substr(0, c.message.size()), c.message);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), c.exit == 2 ? 2 : 1) << r.err;
    EXPECT_EQ(dir.Files(), before);
  }
}

// The working space and the bitmaps' spaces travel through both scene
// formats unchanged (a scene without them keeps its text), and a binary
// scene's colour space chunk is checked like every other.
TEST(Colour, SpacesTravelThroughBothSceneFormats) {
  ScratchDir dir("colour-formats");
  WriteFile(dir / "s.json", R"({"format": "tessary-scene", "version": 1, "workingColorspace": "linear", "root":
      {"type": "tessary", "layers": [{"map": {"type": "bitmap", "file": "n.png", "colorspace": "raw"}},
                                     {"map": {"type": "bitmap", "file": "c.exr"}}]}})");
  for (const char* args : {"convert s.json a.json", "convert s.json s.tsy", "convert s.tsy b.json"})
    ASSERT_EQ(RunProgram(dir, args).exitCode, 0) << args;
  const std::string a = ReadFile(dir / "a.json");
  EXPECT_EQ(ReadFile(dir / "b.json"), a);
  EXPECT_NE(a.find("\"version\": 1,\n  \"workingColorspace\": \"linear\","), std::string::npos) << a;
  EXPECT_NE(a.find("\"colorspace\": \"raw\""), std::string::npos) << a;
  EXPECT_EQ(a.find("\"colorspace\""), a.rfind("\"colorspace\"")) << "one bitmap names its space";
  const RunResult info = RunProgram(dir, "info s.tsy");
  EXPECT_NE(info.out.find("working colour space: linear\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("bitmap \"n.png\" (colour space raw)"), std::string::npos) << info.out;

  const std::vector<std::uint8_t> path = {'a', '.', 'p', 'n', 'g', 0};
  const struct {
    const char* label;
    std::vector<std::uint8_t> chunk;
    const char* message;
  } cases[] = {{"empty", DataChunk(0x5030, {0}), "bitmap map: the colour space name is empty or unterminated"},
               {"unterminated", DataChunk(0x5030, {'s', 'R', 'G', 'B'}), "the colour space name is empty or unterminated"},
               {"too long", DataChunk(0x5030, std::vector<std::uint8_t>(2000, 'x')),
                "bitmap map: colour space chunk of 2000 bytes is not a colour space name"}};
  for (const auto& c : cases) {
    const auto bytes = TsyFile({{0xC10, 0x54530005, 1, Concat({DataChunk(0x5000, path), c.chunk}), {}}});
    WriteFile(dir / "bad.tsy", std::string(bytes.begin(), bytes.end()));
    const RunResult r = RunProgram(dir, "info bad.tsy");
    EXPECT_EQ(r.exitCode, 1) << c.label;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.label << ": " << r.err;
  }
}

// The sheets show what a render shows: the same colour in two working
// spaces draws the same thumbnails.
TEST(Colour, TheLayersSheetShowsTheWorkingSpaceAsSRGB) {
  ScratchDir dir("colour-sheet");
  const float linear = Converted(host::AColor(0.5f, 0.5f, 0.5f, 1), "sRGB", "linear").r;
  WriteFile(dir / "s.json", Scene(R"({"type": "tessary", "layers": [{"color": [0.5, 0.5, 0.5]}]})"));
  WriteFile(dir / "l.json", R"({"format": "tessary-scene", "version": 1, "workingColorspace": "linear", "root":
      {"type": "tessary", "layers": [{"color": [)" + std::to_string(linear) + ", 0, 0]}]}}");
  ASSERT_EQ(RunProgram(dir, "layers s.json -o s.png --tile 64").exitCode, 0);
  ASSERT_EQ(RunProgram(dir, "layers l.json -o l.png --tile 64").exitCode, 0);
  Image s, l;
  std::string error;
  ASSERT_TRUE(ReadImage((dir / "s.png").string(), s, error)) << error;
  ASSERT_TRUE(ReadImage((dir / "l.png").string(), l, error)) << error;
  // The base row's flat colour (x 8..71, y 26..89) and its composite (x
  // 152..215): red 0.5 in both.
  for (int x : {20, 160}) {
    EXPECT_EQ(s.At(x, 40).r, 128.0f / 255.0f) << x;
    EXPECT_EQ(l.At(x, 40).r, 128.0f / 255.0f) << x;
    EXPECT_EQ(l.At(x, 40).g, 0.0f) << x;
  }
}

// Without a configuration file the program answers "raw", "sRGB" and
// "linear" itself and asks the library for the rest: every answer, message
// and conversion is the library's own.
TEST(Colour, TheBuiltInSpacesAnswerAsTheLibrarysConfiguration) {
  const char* set = std::getenv("OCIO");
  const std::string saved = set ? set : "";
  unsetenv("OCIO");
  std::string error;
  const std::shared_ptr<const ColourConfig> ours = OpenColourConfig("", error);
  const std::shared_ptr<const ColourConfig> theirs = library::OpenColourConfig("", error);
  if (set) setenv("OCIO", saved.c_str(), 1);
  ASSERT_TRUE(ours && theirs) << error;

  // An 8-bit image and a float one, straight and premultiplied, tagged `tag`.
  const auto image = [](bool bytes, const std::string& tag) {
    Image im;
    im.width = 3;
    im.height = 1;
    im.colorspace = tag;
    im.formatColorspace = bytes ? "sRGB" : "linear";
    if (bytes) {
      im.rgba8 = {0, 40, 128, 255, 200, 7, 255, 128, 13, 99, 180, 0};
      im.byteToFloat = ByteToFloat();
    } else {
      im.rgba = {0.0f, 0.2f, 0.5f, 1.0f, -0.25f, 1.5f, 0.75f, 0.5f, 0.125f, 0.3f, 0.9f, 0.0f};
    }
    return im;
  };
  const std::vector<std::string> names = {"sRGB", "srgb", "linear", "LINEAR", "raw", "Raw", "Rec709", "Gamma2.2",
                                          "nonsense", ""};
  for (const std::string& from : names) {
    EXPECT_EQ(ours->Knows(from), theirs->Knows(from)) << from;
    if (!theirs->Knows(from)) {
      EXPECT_EQ(ours->Unknown(from), theirs->Unknown(from));
    }
    for (const std::string& to : names) {
      SCOPED_TRACE("\"" + from + "\" to \"" + to + "\"");
      std::string ourError;
      std::string theirError;
      const auto a = ours->Transform(from, to, ourError);
      const auto b = theirs->Transform(from, to, theirError);
      EXPECT_EQ(a == nullptr, b == nullptr);
      EXPECT_EQ(ourError, theirError);
      for (bool bytes : {true, false}) {
        for (bool premultiplied : {false, true}) {
          // The space given, and the file's own (its tag).
          for (const std::string& given : {from, std::string()}) {
            Image mine = image(bytes, from);
            Image library = image(bytes, from);
            ourError.clear();
            theirError.clear();
            EXPECT_EQ(ours->Convert(mine, given, to, premultiplied, ourError),
                      theirs->Convert(library, given, to, premultiplied, theirError));
            EXPECT_EQ(ourError, theirError);
            EXPECT_EQ(mine.colorspace, library.colorspace);
            EXPECT_TRUE(mine.rgba8 == library.rgba8);
            ASSERT_EQ(mine.rgba.size(), library.rgba.size());
            for (int x = 0; x < 3; ++x) EXPECT_TRUE(SameBits(mine.At(x, 0), library.At(x, 0))) << x;
          }
        }
      }
    }
  }
}

// A run that reads and writes only PNGs in equal colour spaces never loads
// the image library; the others load it when they need it.
TEST(Colour, TheImageLibraryIsLoadedOnlyWhenNeeded) {
#if defined(TESSARY_PROGRAM_LINKS_IMAGE_MODULE)
  GTEST_SKIP() << "a sanitizer build links the image module's code into the program";
#endif
  ScratchDir dir("image-module");
  Image texture;
  texture.width = 4;
  texture.height = 4;
  texture.rgba.assign(64, 0.5f);
  std::string error;
  ASSERT_TRUE(WriteImage((dir / "t.png").string(), ImageFormat::Png8, texture, error)) << error;
  ASSERT_TRUE(WriteImage((dir / "t.exr").string(), ImageFormat::Exr, texture, error)) << error;
  WriteFile(dir / "png.json", BitmapScene("", R"("file": "t.png")"));
  WriteFile(dir / "linear.json", BitmapScene("linear", R"("file": "t.png")"));
  WriteFile(dir / "exr.json", BitmapScene("", R"("file": "t.exr")"));
  const struct {
    const char* args;
    bool loads;
  } cases[] = {
      {"render -q png.json -o o.png --size 8", false},
      {"render -q png.json -o o.png --size 8 --output-colorspace sRGB", false},
      {"render -q png.json -o o.png --size 8 --output-colorspace raw", false},
      {"eval png.json", false},
      {"check png.json", false},
      {"render -q png.json -o o.exr --size 8", true},
      {"render -q png.json -o o.png --size 8 --output-colorspace linear", true},
      {"render -q linear.json -o o.png --size 8", true},
      {"render -q exr.json -o o.png --size 8", true},
      {"eval exr.json", true},
      {"modes -o m.png --tile 16", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const RunResult r = RunProgram(dir, c.args, "LD_DEBUG=files");
    EXPECT_EQ(r.exitCode, 0) << r.err.substr(r.err.size() > 2000 ? r.err.size() - 2000 : 0);
    EXPECT_EQ(r.err.find("tessary_images.so") != std::string::npos, c.loads);
  }

  // A copy of the program with no module beside it renders PNGs all the
  // same; what needs the module says so and writes nothing.
  const fs::path copy = dir / "bin" / "tessary";
  fs::create_directories(copy.parent_path());
  fs::copy_file(ProgramPath(), copy);
  const fs::path map = fs::path(ProgramPath()).parent_path().parent_path() / "lib" / "quilbo.so";
  const auto run = [&](const std::string& args) {
    return std::system(("cd '" + dir.path().string() + "' && TESSARY_MODULE='" + map.string() + "' '" + copy.string() +
                        "' " + args + " > out.txt 2> err.txt")
                           .c_str());
  };
  EXPECT_EQ(run("render -q png.json -o alone.png --size 8"), 0) << ReadFile(dir / "err.txt");
  ASSERT_EQ(RunProgram(dir, "render -q png.json -o with.png --size 8").exitCode, 0);
  EXPECT_EQ(ReadFile(dir / "alone.png"), ReadFile(dir / "with.png"));
  EXPECT_NE(run("render -q png.json -o alone.exr --size 8"), 0);
  EXPECT_NE(ReadFile(dir / "err.txt").find("cannot find the image module tessary_images.so (looked at"),
            std::string::npos)
      << ReadFile(dir / "err.txt");
  EXPECT_FALSE(fs::exists(dir / "alone.exr"));
}

}  // namespace
}  // namespace tessary::app::testing
