// Runs the built program on bad input: one line on standard error naming the
// file (and the position for JSON), a non-zero exit, nothing on standard
// output and no file left behind.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include <OpenImageIO/imageio.h>
#include <nlohmann/json.hpp>

#include "app/image_io.h"

#include "tests/app/test_util.h"

namespace tessary::app::testing {
namespace {

struct BadInputCase {
  const char* label;
  const char* scene;  // written to scene.json; null for none
  const char* args;   // program arguments
  int exitCode;
  const char* message;  // expected in the error line
};

void PrintTo(const BadInputCase& c, std::ostream* os) { *os << c.label; }

const std::string kGood =
    Scene(R"({"type": "tessary", "layers": [{"color": [0.2, 0.4, 0.6]}]})");

class BadInput : public ::testing::TestWithParam<BadInputCase> {};

TEST_P(BadInput, OneErrorLineAndNothingWritten) {
  const BadInputCase& c = GetParam();
  ScratchDir dir(std::string("bad-") + c.label);
  if (c.scene) WriteFile(dir / "scene.json", c.scene);
  const RunResult r = RunProgram(dir, c.args);
  EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
  EXPECT_TRUE(r.out.empty()) << r.out;
  EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("tessary: error: "), 0u) << r.err;
  if (c.exitCode != 2) {
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
  // Only the scene file (if any) remains: no output, no temporary file.
  const std::vector<std::string> files = dir.Files();
  EXPECT_EQ(files.size(), c.scene ? 1u : 0u) << (files.empty() ? "" : files.back());
}

const std::string kBadJson = Scene("{\"type\": \"tessary\", \"layers\": [}");
const std::string kWrongType = Scene("{\"type\": \"tessary\",\n \"layers\": [{\"opacity\": \"half\"}]}");
const std::string kUnknownType = Scene("{\"type\": \"marble\"}");
const std::string kUnknownMode = Scene("{\"type\": \"tessary\", \"layers\": [{}, {\"mode\": \"multiply\"}]}");
const std::string kMissingImage = Scene("{\"type\": \"bitmap\", \"file\": \"nowhere.png\"}");
const std::string kBadVersion = "{\"format\": \"tessary-scene\", \"version\": 3, \"root\": {\"type\": \"constant\"}}";
const std::string kHugeNumber = Scene("{\"type\": \"constant\", \"color\": [1e39, 0, 0, 1]}");
const std::string kBeyondDouble = Scene("{\"type\": \"constant\", \"color\": [1e400, 0, 0, 1]}");
const std::string kBeyondDoubleNegative = Scene("{\"type\": \"constant\", \"color\": [-1e400, 0, 0, 1]}");
const std::string kNulInString = Scene("{\"type\": \"bitmap\", \"file\": \"stone.png\\u0000junk\"}");
const std::string kUnknownField = Scene("{\"type\": \"tessary\", \"output\": {\"brightness\": 50}}");
const std::string kNotImage = Scene("{\"type\": \"bitmap\", \"file\": \"scene.json\"}");

INSTANTIATE_TEST_SUITE_P(
    Program, BadInput,
    ::testing::Values(
        BadInputCase{"json", kBadJson.c_str(), "eval scene.json", 1, "scene.json:1:82: invalid JSON: syntax error"},
        BadInputCase{"type", kWrongType.c_str(), "render scene.json -o out.png", 1,
                     "scene.json:2:25: \"opacity\" must be a number"},
        BadInputCase{"maptype", kUnknownType.c_str(), "info scene.json", 1,
                     "scene.json:1:60: unknown map type \"marble\""},
        BadInputCase{"mode", kUnknownMode.c_str(), "eval scene.json", 1,
                     "scene.json:1:95: unknown mode name \"multiply\""},
        BadInputCase{"image", kMissingImage.c_str(), "render scene.json -o out.png", 1,
                     "scene.json:1:51: \"nowhere.png\": no such image file"},
        BadInputCase{"notimage", kNotImage.c_str(), "eval scene.json", 1, "\"scene.json\": cannot read image"},
        BadInputCase{"version", kBadVersion.c_str(), "eval scene.json", 1, "scene.json:1:40: unsupported version 3"},
        BadInputCase{"range", kHugeNumber.c_str(), "eval scene.json", 1, "scene.json:1:82: \"color\"[0]: 1e39 is out"},
        BadInputCase{"double", kBeyondDouble.c_str(), "render scene.json -o out.png", 1,
                     "scene.json:1:82: \"color\"[0]: 1e400 is out of single-precision range"},
        BadInputCase{"negdouble", kBeyondDoubleNegative.c_str(), "info scene.json", 1,
                     "scene.json:1:82: \"color\"[0]: -1e400 is out of single-precision range"},
        BadInputCase{"nul", kNulInString.c_str(), "eval scene.json", 1,
                     "scene.json:1:78: \"file\" must not contain \\u0000"},
        BadInputCase{"field", kUnknownField.c_str(), "eval scene.json", 1,
                     "scene.json:1:82: unknown field \"brightness\" in \"output\""},
        BadInputCase{"noscene", nullptr, "eval missing.json", 1, "missing.json: cannot read"},
        BadInputCase{"size0", kGood.c_str(), "render scene.json -o out.png --size 0", 2, "--size \"0\""},
        BadInputCase{"sizebig", kGood.c_str(), "render scene.json -o out.png --size 65537x16", 2,
                     "--size \"65537x16\""},
        BadInputCase{"sizetext", kGood.c_str(), "render scene.json -o out.png --size 12y", 2, "--size \"12y\""},
        BadInputCase{"unwritable", kGood.c_str(), "render scene.json -o no/such/dir/out.png", 1,
                     "no/such/dir/out.png: cannot write"},
        BadInputCase{"compression", kGood.c_str(), "render scene.json -o out.exr --compression lzw", 2,
                     "--compression"},
        BadInputCase{"extension", kGood.c_str(), "render scene.json -o out.bmpx", 1, "unknown output format"},
        BadInputCase{"convertout", kGood.c_str(), "convert scene.json no/dir/x.json", 1, "cannot write"},
        BadInputCase{"convertpng", kGood.c_str(), "convert scene.json out.png", 1,
                     "out.png: unknown scene format \".png\" (a scene is written as .json or .tsy)"},
        BadInputCase{"convertbare", kGood.c_str(), "convert scene.json out", 1, "out: no extension"},
        BadInputCase{"uv", kGood.c_str(), "eval scene.json --uv 0.5 abc", 2, "--uv"},
        BadInputCase{"nocommand", nullptr, "", 2, "a command is required"},
        BadInputCase{"unknowncommand", nullptr, "paint x", 2, "unknown command 'paint'"},
        BadInputCase{"helpunknown", nullptr, "help paint", 2, "help: unknown command 'paint'"},
        BadInputCase{"sizeempty", kGood.c_str(), "render scene.json -o out.png --size ''", 2, "--size \"\": expected"},
        BadInputCase{"twice", kGood.c_str(), "render scene.json -o a.png -o b.png", 2,
                     "--output takes one value, given 2 times"},
        BadInputCase{"uvone", kGood.c_str(), "eval scene.json --uv 1", 2, "--uv takes 2 values"},
        BadInputCase{"extra", kGood.c_str(), "info scene.json more.json", 2, "unexpected argument: more.json"},
        BadInputCase{"threads", kGood.c_str(), "render scene.json -o out.png --threads 0", 2,
                     "--threads: expected a whole number from 1 to 1024, got \"0\""},
        BadInputCase{"fileasfolder", kGood.c_str(), "render scene.json -o scene.json/out.png", 1,
                     "cannot write: \"scene.json\" is a file, not a folder"},
        BadInputCase{"nofolder", kGood.c_str(), "render scene.json -o none/out.png", 1,
                     "cannot write: folder \"none\" does not exist"},
        BadInputCase{"regionout", kGood.c_str(), "render scene.json -o out.png --size 64x32 --region 0 0 64 33", 2,
                     "--region 0 0 64 33 reaches outside the 64x32 image"},
        BadInputCase{"regionempty", kGood.c_str(), "render scene.json -o out.png --region 5 0 5 10", 2,
                     "--region 5 0 5 10 is empty"},
        BadInputCase{"regionthree", kGood.c_str(), "render scene.json -o out.png --region 0 0 5", 2, "--region"},
        BadInputCase{"regionjpeg", kGood.c_str(), "render scene.json -o out.jpg --region 0 0 5 5", 2,
                     "--region writes PNG, TIFF or EXR parts"}),
    [](const ::testing::TestParamInfo<BadInputCase>& p) { return std::string(p.param.label); });

// info lines up its columns whatever the numbers, and prints each number as
// the shortest text that reads back to it (as the scene writer does).
TEST(Program, InfoPrintsNumbersAsWrittenInColumns) {
  ScratchDir dir("infotext");
  WriteFile(dir / "scene.json",
            Scene(R"({"type": "tessary", "layers": [{"color": [0.2, 0.4, 0.6]}, {"opacity": 1e-45},)"
                  R"( {"opacity": 1.15, "mode": 40}], "output": {"on": true, "gamma": 1.15}})"));
  WriteFile(dir / "one.json", Scene(R"({"type": "tessary"})"));
  const RunResult r = RunProgram(dir, "info scene.json");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "scene.json: JSON scene, version 1\n"
            "root: tessary (3 layers)\n"
            "  #   used  mode              opacity  colour                map / mask\n"
            "  B   yes   -                 -        0.2 0.4 0.6           map on  -; mask on  -\n"
            "  1   yes   Normal            1e-45    0.5 0.5 0.5           map on  -; mask on  -\n"
            "  2   yes   (40: none)        1.15     0.5 0.5 0.5           map on  -; mask on  -\n"
            "  output on: clamp off, mono off, alpha 0, bright 100 %, contrast 100 %, gamma 1.15, hsv 0 0 0, "
            "rgb 0 0 0\n");
  EXPECT_NE(RunProgram(dir, "info one.json").out.find("root: tessary (1 layer)\n"), std::string::npos);
  WriteFile(dir / "wide.json", Scene(R"({"type": "tessary", "layers": [{}, {"opacity": -1.1754944e-38}]})"));
  EXPECT_NE(RunProgram(dir, "info wide.json").out.find("Normal            -1.1754944e-38 0.5 0.5"), std::string::npos);
}

// info --json: one object a program can read, its scene exactly what convert
// writes.
TEST(Program, InfoJsonDescribesTheScene) {
  ScratchDir dir("infojson");
  const std::string text = R"({"format": "tessary-scene", "version": 2, "root": {"type": "tessary", "layers": [
      {"map": {"type": "checker", "id": "c"}}, {"map": {"ref": "c"}, "mask": {"type": "bitmap", "file": "a b.png"}},
      {"map": {"type": "tessary", "layers": [{"mask": {"ref": "c"}}, {}]}}]}})";
  WriteFile(dir / "scene.json", text);
  const RunResult r = RunProgram(dir, "info scene.json --json");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const nlohmann::json info = nlohmann::json::parse(r.out);
  EXPECT_EQ(info["file"], "scene.json");
  EXPECT_EQ(info["format"], "json");
  EXPECT_EQ(info["version"], 2);
  EXPECT_EQ(info["maps"], 4) << "the shared checker counts once";
  EXPECT_EQ(info["layeredMaps"], 2);
  EXPECT_EQ(info["layers"], 5);
  EXPECT_EQ(info["images"], nlohmann::json::array({"a b.png"}));
  const RunResult converted = RunProgram(dir, "convert scene.json -");
  ASSERT_EQ(converted.exitCode, 0) << converted.err;
  EXPECT_EQ(info["scene"], nlohmann::json::parse(converted.out));

  ASSERT_EQ(RunProgram(dir, "convert scene.json scene.tsy").exitCode, 0);
  const nlohmann::json binary = nlohmann::json::parse(RunProgram(dir, "info scene.tsy --json").out);
  EXPECT_EQ(binary["format"], "tsy");
  EXPECT_FALSE(binary.contains("version"));
  EXPECT_EQ(binary["layerDataVersions"], nlohmann::json::array({4}));
  EXPECT_EQ(binary["maps"], 4);
}

// A module named by a bare file name is the file in the current folder.
TEST(Program, ModuleByRelativeName) {
  ScratchDir dir("relmodule");
  WriteFile(dir / "scene.json", Scene(R"({"type": "constant"})"));
  std::filesystem::copy_file(std::filesystem::path(ProgramPath()).parent_path().parent_path() / "lib" / "quilbo.so",
                             dir / "quilbo.so");
  const RunResult r = RunProgram(dir, "eval scene.json", "TESSARY_MODULE=quilbo.so");
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

// A usage error names the help of the command it is about.
TEST(Program, UsageErrorsPointAtTheCommandsHelp) {
  ScratchDir dir("usagehint");
  const struct {
    const char* args;
    const char* hint;
  } cases[] = {{"render x.json", "Run 'tessary render --help' for usage."},
               {"eval x.json --uv 1 z", "Run 'tessary eval --help' for usage."},
               {"modes --tile 8", "Run 'tessary modes --help' for usage."},
               {"paint", "Run 'tessary --help' for usage."},
               {"--frobnicate", "Run 'tessary --help' for usage."}};
  for (const auto& c : cases) {
    const RunResult r = RunProgram(dir, c.args);
    EXPECT_EQ(r.exitCode, 2) << c.args;
    EXPECT_NE(r.err.find(c.hint), std::string::npos) << c.args << ": " << r.err;
  }
}

TEST(Program, HelpAndVersionSucceed) {
  ScratchDir dir("help");
  for (const char* args : {"--help", "render --help", "eval --help", "convert --help", "info --help",
                           "modes --help", "layers --help", "help", "help render", "help modes"}) {
    const RunResult r = RunProgram(dir, args);
    EXPECT_EQ(r.exitCode, 0) << args;
    EXPECT_NE(r.out.find("Usage"), std::string::npos) << args;
  }
  const RunResult v = RunProgram(dir, "--version");
  EXPECT_EQ(v.exitCode, 0);
  EXPECT_EQ(v.out.rfind("tessary ", 0), 0u);
}

TEST(Program, RenderWritesEveryFormatAndNothingElse) {
  ScratchDir dir("formats");
  WriteFile(dir / "scene.json", kGood);
  for (const char* out : {"a.png", "b.jpg", "c.exr", "d.tif"}) {
    const RunResult r = RunProgram(dir, std::string("render scene.json --quiet --size 8x4 -o ") + out);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out.empty()) << "--quiet prints nothing";
    EXPECT_TRUE(r.err.empty()) << "no progress bar when standard error is not a terminal";
  }
  const RunResult r16 = RunProgram(dir, "render scene.json --bits 16 --size 3 -o e.png");
  EXPECT_EQ(r16.exitCode, 0) << r16.err;
  EXPECT_EQ(r16.out, "wrote e.png (3x3)\n");
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"a.png", "b.jpg", "c.exr", "d.tif", "e.png", "scene.json"}));
}

// Layers written by the program (uncompressed EXR), read side by side and
// composited with 1, 2 and 5 threads (bands of 64 and 160 rows, tiles handed
// out in any order) and with all cores: every run gives the same bits.
// The output's sample type and compression as asked, the program and scene
// recorded in it, and a JPEG that cannot keep the alpha says so.
TEST(Program, RenderWritesTheAskedOutputWithItsProvenance) {
  ScratchDir dir("outputs");
  WriteFile(dir / "scene.json", kGood);
  WriteFile(dir / "clear.json", Scene(R"({"type": "constant", "color": [1, 0, 0, 0.5]})"));
  const struct {
    const char* args;
    const char* file;
    OIIO::TypeDesc type;
    const char* compression;
  } cases[] = {{"render scene.json -q --size 4 -o h.exr --data-format half --compression piz", "h.exr",
                OIIO::TypeDesc::HALF, "piz"},
               {"render scene.json -q --size 4 -o t.tif --bits 16 --compression lzw", "t.tif", OIIO::TypeDesc::UINT16,
                "lzw"},
               {"render scene.json -q --size 4 -o p.png", "p.png", OIIO::TypeDesc::UINT8, nullptr},
               {"render scene.json -q --size 4 -o x.tx --bits 16", "x.tx", OIIO::TypeDesc::UINT16, "zip"}};
  for (const auto& c : cases) {
    const RunResult r = RunProgram(dir, c.args);
    ASSERT_EQ(r.exitCode, 0) << c.args << ": " << r.err;
    auto in = OIIO::ImageInput::open((dir / c.file).string());
    ASSERT_TRUE(in) << c.file;
    EXPECT_EQ(in->spec().format, c.type) << c.file;
    if (c.compression) {
      EXPECT_EQ(in->spec().get_string_attribute("compression"), c.compression) << c.file;
    }
    EXPECT_EQ(in->spec().get_string_attribute("Software").substr(0, 8), "tessary ") << c.file;
    EXPECT_EQ(in->spec().get_string_attribute("DocumentName"), "scene.json") << c.file;
  }
  EXPECT_TRUE(RunProgram(dir, "render scene.json -q --size 4 -o opaque.jpg").err.empty());
  const RunResult clear = RunProgram(dir, "render clear.json -q --size 4 -o clear.jpg");
  EXPECT_EQ(clear.exitCode, 0);
  EXPECT_EQ(clear.err,
            "tessary: warning: clear.jpg: JPEG keeps no alpha; the render's alpha, below 1 in places, was dropped\n");
}

// --upto N renders what the stack cut after layer N renders; --solo N what a
// stack whose base is layer N renders.
TEST(Program, SoloAndUptoShowPartOfTheStack) {
  ScratchDir dir("solo");
  const std::string base = R"({"map": {"type": "checker", "checks": 3}})";
  const std::string one = R"({"map": {"type": "gradient"}, "mode": "Multiply", "opacity": 60})";
  const std::string two = R"({"map": {"type": "noise"}, "mask": {"type": "checker", "checks": 2}, "mode": "Screen"})";
  const std::string twoAsBase = R"({"map": {"type": "noise"}, "mask": {"type": "checker", "checks": 2}})";
  const std::string output = R"("output": {"on": true, "gamma": 1.4, "bright": 90})";
  auto stack = [&](const std::string& layers) {
    return Scene(R"({"type": "tessary", "layers": [)" + layers + "], " + output + "}");
  };
  WriteFile(dir / "full.json", stack(base + ", " + one + ", " + two));
  WriteFile(dir / "cut.json", stack(base + ", " + one));
  WriteFile(dir / "alone.json", stack(twoAsBase));
  auto pixels = [&](const std::string& args) {
    const RunResult r = RunProgram(dir, "render -q --size 24 " + args + " -o out.exr");
    EXPECT_EQ(r.exitCode, 0) << args << ": " << r.err;
    Image image;
    std::string error;
    EXPECT_TRUE(ReadImage((dir / "out.exr").string(), image, error)) << error;
    return image.rgba;
  };
  EXPECT_EQ(pixels("full.json --upto 1"), pixels("cut.json"));
  EXPECT_EQ(pixels("full.json --upto 2"), pixels("full.json"));
  EXPECT_EQ(pixels("full.json --solo 2"), pixels("alone.json"));
  EXPECT_NE(pixels("full.json --solo 1"), pixels("cut.json"));

  const struct {
    const char* args;
    int exitCode;
    const char* error;
  } refused[] = {{"full.json --solo 3", 1, "--solo 3: the root map has 3 layers, 0 to 2"},
                 {"full.json --solo 1 --upto 1", 2, "give --"},
                 {"cut.json --upto -1", 2, "--upto: expected a whole number from 0 to 32767"}};
  for (const auto& c : refused) {
    const RunResult r = RunProgram(dir, std::string("render -q -o x.png ") + c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args;
    EXPECT_NE(r.err.find(c.error), std::string::npos) << c.args << ": " << r.err;
  }
}

// The layers sheet: a row per layer; its composite column shows what the
// stack gives up to that layer (for an opaque stack, the very pixels of
// render --upto at the thumbnail's size).
TEST(Program, LayersSheetShowsTheCompositeAfterEachLayer) {
  ScratchDir dir("sheet");
  WriteFile(dir / "scene.json",
            Scene(R"({"type": "tessary", "layers": [{"map": {"type": "checker", "checks": 3}},)"
                  R"( {"map": {"type": "gradient"}, "mode": "Multiply", "opacity": 60},)"
                  R"( {"map": {"type": "noise"}, "mode": "Screen", "used": false}]})"));
  const RunResult r = RunProgram(dir, "layers scene.json -o sheet.png --tile 64");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "wrote sheet.png (3 layers, 554x250)\n");
  Image sheet;
  std::string error;
  ASSERT_TRUE(ReadImage((dir / "sheet.png").string(), sheet, error)) << error;
  for (int layer = 0; layer < 3; ++layer) {
    ASSERT_EQ(RunProgram(dir, "render -q scene.json --size 64 -o upto.png --upto " + std::to_string(layer)).exitCode, 0);
    Image upto;
    ASSERT_TRUE(ReadImage((dir / "upto.png").string(), upto, error)) << error;
    const int x0 = 3 * 8 + 2 * 64;
    const int y0 = 26 + layer * (64 + 8);
    int differ = 0;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x)
        differ += sheet.At(x0 + x, y0 + y).r != upto.At(x, y).r || sheet.At(x0 + x, y0 + y).g != upto.At(x, y).g;
    EXPECT_EQ(differ, 0) << "layer " << layer;
  }
  WriteFile(dir / "flat.json", Scene(R"({"type": "constant"})"));
  const RunResult flat = RunProgram(dir, "layers flat.json -o flat.png");
  EXPECT_EQ(flat.exitCode, 1);
  EXPECT_EQ(flat.err, "tessary: error: flat.json: the root map is not a layered map\n");
}

// Several scenes in one run, each to its own {name}; check reads without
// rendering; a scene can come from standard input.
TEST(Program, BatchesCheckAndStandardInput) {
  ScratchDir dir("batch");
  WriteFile(dir / "a.json", kGood);
  WriteFile(dir / "b.json", Scene(R"({"type": "checker"})"));
  WriteFile(dir / "bad.json", Scene(R"({"type": "marble"})"));
  const RunResult batch = RunProgram(dir, "render a.json b.json --size 8 -o 'out-{name}.png'");
  EXPECT_EQ(batch.exitCode, 0) << batch.err;
  EXPECT_EQ(batch.out, "wrote out-a.png (8x8)\nwrote out-b.png (8x8)\n");
  ASSERT_EQ(RunProgram(dir, "render b.json --size 8 -o one.png").exitCode, 0);
  Image alone, batched;
  std::string error;
  ASSERT_TRUE(ReadImage((dir / "one.png").string(), alone, error) &&
              ReadImage((dir / "out-b.png").string(), batched, error))
      << error;
  EXPECT_EQ(alone.rgba8, batched.rgba8);

  const RunResult partly = RunProgram(dir, "render a.json bad.json -q --size 8 -o 'p-{name}.png'");
  EXPECT_EQ(partly.exitCode, 1);
  EXPECT_NE(partly.err.find("1 of 2 scenes failed"), std::string::npos) << partly.err;
  EXPECT_TRUE(std::filesystem::exists(dir / "p-a.png")) << "the other scenes are rendered";
  EXPECT_EQ(RunProgram(dir, "render a.json b.json -o same.png").exitCode, 2);
  EXPECT_EQ(RunProgram(dir, "render a.json a.json -o '{name}.png'").exitCode, 2);

  const RunResult check = RunProgram(dir, "check a.json b.json bad.json");
  EXPECT_EQ(check.exitCode, 1);
  EXPECT_EQ(check.out, "a.json: ok (1 map, 0 images)\nb.json: ok (1 map, 0 images)\n");
  EXPECT_NE(check.err.find("bad.json:1:60: unknown map type \"marble\""), std::string::npos) << check.err;

  const RunResult piped = RunProgram(dir, "eval - < b.json");
  EXPECT_EQ(piped.exitCode, 0) << piped.err;
  EXPECT_EQ(piped.out, RunProgram(dir, "eval b.json").out);
  ASSERT_EQ(RunProgram(dir, "convert b.json b.tsy").exitCode, 0);
  EXPECT_EQ(RunProgram(dir, "convert - - < b.tsy").out, RunProgram(dir, "convert b.json -").out);
  EXPECT_EQ(RunProgram(dir, "info - < b.tsy").out.rfind("standard input: binary scene file\n", 0), 0u);
}

// A .tx texture: tiled, mip-mapped, wrapping as the maps do; its top level
// holds the very floats a TIFF render holds.
TEST(Program, RenderMakesATextureForRenderers) {
  ScratchDir dir("texture");
  WriteFile(dir / "scene.json", Scene(R"({"type": "tessary", "layers": [{"map": {"type": "noise"}},)"
                                      R"( {"map": {"type": "checker"}, "mode": "Overlay", "opacity": 50}]})"));
  ASSERT_EQ(RunProgram(dir, "render scene.json -q --size 48x32 -o t.tx").exitCode, 0);
  ASSERT_EQ(RunProgram(dir, "render scene.json -q --size 48x32 -o t.tif").exitCode, 0);
  auto in = OIIO::ImageInput::open((dir / "t.tx").string());
  ASSERT_TRUE(in);
  EXPECT_EQ(in->spec().tile_width, 64);
  EXPECT_EQ(in->spec().get_string_attribute("wrapmodes"), "periodic,periodic");
  int levels = 0;
  while (in->seek_subimage(0, levels)) ++levels;
  EXPECT_EQ(levels, 6) << "48x32, 24x16, 12x8, 6x4, 3x2, 1x1";
  Image tx, tif;
  std::string error;
  ASSERT_TRUE(ReadImage((dir / "t.tx").string(), tx, error) && ReadImage((dir / "t.tif").string(), tif, error)) << error;
  EXPECT_EQ(tx.rgba, tif.rgba);
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"scene.json", "t.tif", "t.tx"}));
}

// --samples N: N x N stratified samples a pixel, averaged. A checker with two
// squares a pixel aliases to one colour at the pixel centres; with 2 x 2
// samples every pixel sees two black and two white samples: 0.5 exactly
// (the working values, written raw). The bits depend neither on the threads
// nor on the evaluation path.
TEST(Program, SamplesAverageStratifiedSamples) {
  ScratchDir dir("samples");
  WriteFile(dir / "checker.json", Scene(R"({"type": "checker", "checks": 32})"));
  auto render = [&](const std::string& args) {
    const RunResult r = RunProgram(dir, "render checker.json -q --size 16 -o out.exr --output-colorspace raw " + args);
    EXPECT_EQ(r.exitCode, 0) << args << ": " << r.err;
    Image image;
    std::string error;
    EXPECT_TRUE(ReadImage((dir / "out.exr").string(), image, error)) << error;
    return std::vector<float>(image.rgba.begin(), image.rgba.end());
  };
  const std::vector<float> centres = render("");
  const std::vector<float> averaged = render("--samples 2");
  ASSERT_EQ(averaged.size(), 16u * 16u * 4u);
  for (std::size_t i = 0; i < averaged.size(); i += 4) {
    EXPECT_EQ(centres[i], centres[0]) << "one colour at every centre";
    EXPECT_EQ(averaged[i], 0.5f) << "pixel " << i / 4;
    EXPECT_EQ(averaged[i + 3], 1.0f);
  }
  EXPECT_EQ(render("--samples 1"), centres);
  EXPECT_EQ(render("--samples 3 --threads 1"), render("--samples 3 --threads 2"));
  EXPECT_EQ(RunProgram(dir, "render checker.json -o x.png --samples 17").exitCode, 2);
}

TEST(Program, RenderBitsDoNotDependOnThreads) {
  ScratchDir dir("threads");
  const char* const layers[] = {
      R"({"type": "noise", "kind": "fractal", "size": 0.3, "octaves": 3, "seed": 4})",
      R"({"type": "checker", "color1": [0.1, 0.2, 0.3, 1], "color2": [0.9, 0.8, 0.7, 0.5]})",
      R"({"type": "gradient", "kind": "radial", "center": 0.3, "color1": [1, 0, 0, 1], "color2": [0, 0, 1, 0.25]})"};
  std::string stack = R"({"type": "tessary", "layers": [)";
  for (int i = 0; i < 3; ++i) {
    const std::string name = "l" + std::to_string(i);
    WriteFile(dir / (name + ".json"), Scene(layers[i]));
    const RunResult r = RunProgram(dir, "render " + name + ".json --compression none --size 90x70 -q -o " + name + ".exr");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    stack += std::string(i > 0 ? ", " : "") + R"({"map": {"type": "bitmap", "file": ")" + name + R"(.exr"}, "mode": ")" +
             (i == 2 ? "Overlay" : "Screen") + R"(", "opacity": 70})";
  }
  WriteFile(dir / "stack.json", Scene(stack + "]}"));
  std::vector<float> first;
  for (const char* threads : {"1", "2", "5", ""}) {
    SCOPED_TRACE(threads);
    const RunResult r = RunProgram(dir, std::string("render stack.json --size 97x333 -q -o out.exr") +
                                            (*threads ? std::string(" --threads ") + threads : std::string()));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Image image;
    std::string error;
    ASSERT_TRUE(ReadImage((dir / "out.exr").string(), image, error)) << error;
    ASSERT_EQ(image.rgba.size(), std::size_t{97} * 333 * 4);
    if (first.empty()) first.assign(image.rgba.begin(), image.rgba.end());
    EXPECT_EQ(std::memcmp(image.rgba.data(), first.data(), first.size() * sizeof(float)), 0);
  }
}

TEST(Program, FailedRenderKeepsAnExistingOutput) {
  ScratchDir dir("keep");
  WriteFile(dir / "scene.json", kMissingImage);
  WriteFile(dir / "out.png", "previous");
  const RunResult r = RunProgram(dir, "render scene.json -o out.png");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(ReadFile(dir / "out.png"), "previous");
  EXPECT_EQ(dir.Files(), (std::vector<std::string>{"out.png", "scene.json"}));
}

}  // namespace
}  // namespace tessary::app::testing
