// tessary: the command-line host of the layered texture map.

#include <CLI/CLI.hpp>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include <clocale>
#endif

#include "app/commands.h"
#include "app/host_session.h"
#include "app/layers_sheet.h"
#include "app/usage.h"

using namespace tessary::app;

namespace {

constexpr const char* kColorConfigHelp =
    "OpenColorIO config file naming the colour spaces (default: the OCIO variable's, else the built-in sRGB, "
    "linear, Rec709 and GammaX.Y)";

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // The same bytes as elsewhere: "\n" stays "\n" (JSON on standard output,
  // files redirected from either stream).
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  // File names come in the system's code page (the C runtime's arguments and
  // narrow file functions); with this, std::filesystem converts them with
  // the same code page. Numbers are still read and written the C way.
  std::setlocale(LC_CTYPE, "");
#endif
  CLI::App app{"tessary: render, evaluate, convert and inspect layered texture-map scenes", "tessary"};
  app.set_version_flag("--version", std::string("tessary ") + TESSARY_VERSION_STRING);
  app.require_subcommand(1);
  // The same command line everywhere: on Windows too "/name" is a path (an
  // absolute one), not an option.
  app.allow_windows_style_options(false);

  RenderArgs render;
  std::string size;
  auto* cRender = app.add_subcommand("render", "Render the root map over UV [0,1]^2 into an image");
  cRender->add_option("scene", render.scenes, "Scene files (.json or .tsy; - reads standard input)")->required();
  cRender->add_option("-o,--output", render.output,
                      "Output image: .png, .jpg, .exr or .tif; {name} stands for each scene's file name")
      ->required();
  cRender->add_option("--size", size, "Image size W or WxH (default 512)");
  cRender->add_option("--threads", render.threads, "Worker threads (default: all cores)")->check(WholeNumberIn(1, 1024));
  cRender->add_option("--bits", render.request.bits, "Bits per channel of PNG and TIFF output: 8 or 16")
      ->check(OneOf({"8", "16"}));
  cRender->add_option("--data-format", render.request.dataFormat,
                      "Sample type: uint8, uint16 (PNG, TIFF), half (EXR), float (EXR, TIFF); default PNG and JPEG "
                      "uint8, EXR and TIFF float")
      ->check(OneOf({"uint8", "uint16", "half", "float"}));
  cRender->add_option("--compression", render.request.compression,
                      "EXR: none, rle, zips, zip, piz, pxr24, b44, b44a, dwaa, dwab; TIFF: none, lzw, zip, packbits "
                      "(default zip)");
  cRender->add_option("--quality", render.request.quality, "JPEG quality, 1 to 100 (default 95)")
      ->check(WholeNumberIn(1, 100));
  cRender->add_option("--samples", render.samples,
                      "N x N stratified samples per pixel, averaged (box filter); default 1, the pixel's centre")
      ->check(WholeNumberIn(1, 16));
  auto* solo = cRender->add_option("--solo", render.pick.solo, "Show layer N of the root map alone (0 is the base)")
                   ->check(WholeNumberIn(0, 32767));
  cRender->add_option("--upto", render.pick.upto, "Show the root map's layers 0 to N only")
      ->check(WholeNumberIn(0, 32767))
      ->excludes(solo);
  cRender->add_option("--region", render.region,
                      "Render pixels X0 to X1 (exclusive) of rows Y0 to Y1 (exclusive) only, into an image of that "
                      "size that 'tessary assemble' joins with the others")
      ->expected(4);
  cRender->add_option("--output-colorspace", render.outputColorspace,
                      "Colour space of the output (default: sRGB for 8- and 16-bit samples, linear for half and "
                      "float; raw: the working values as they are)");
  cRender->add_option("--colorconfig", render.colorConfig, kColorConfigHelp);
  cRender->add_flag("-q,--quiet", render.quiet, "No progress bar and no summary line");
  cRender->add_flag("--force", render.force, "Write over the output even when the render reads it (scene or image)");

  EvalArgs eval;
  std::vector<std::string> uv;
  auto* cEval = app.add_subcommand("eval", "Print the colour, grey value and bump of one shading sample as JSON");
  cEval->add_option("scene", eval.scene, "Scene file (.json or .tsy)")->required();
  cEval->add_option("--uv", uv, "Texture coordinate U V (default 0.5 0.5)")->expected(2);
  cEval->add_option("--colorconfig", eval.colorConfig, kColorConfigHelp);

  std::string convertIn;
  std::string convertOut;
  auto* cConvert = app.add_subcommand("convert", "Convert a scene between JSON and the binary scene file (.tsy)");
  cConvert->add_option("in", convertIn, "Input scene")->required();
  cConvert->add_option("out", convertOut, "Output scene; the extension picks the format; - is JSON on standard output")
      ->required();
  bool convertForce = false;
  cConvert->add_flag("--force", convertForce, "Write over the output even when it is the input");

  std::string infoScene;
  auto* cInfo = app.add_subcommand("info", "Show the layers and output settings of a scene");
  cInfo->add_option("scene", infoScene, "Scene file (.json or .tsy)")->required();
  bool infoJson = false;
  cInfo->add_flag("--json", infoJson, "One JSON object for programs: counts, images and the scene in the JSON format");

  ModesArgs modes;
  auto* cModes = app.add_subcommand("modes", "Draw a contact sheet of all 34 blend modes");
  cModes->add_option("-o,--output", modes.output, "Output image (default modes.png)");
  cModes->add_option("--base", modes.baseImage, "Base image (default: the bundled texture)");
  cModes->add_option("--top", modes.topImage, "Top image (default: the bundled texture)");
  cModes->add_option("--tile", modes.tile, "Tile side in pixels (default 160)")->check(WholeNumberIn(16, 1024));
  cModes->add_option("--threads", modes.threads, "Worker threads (default: all cores)")->check(WholeNumberIn(1, 1024));
  cModes->add_option("--colorconfig", modes.colorConfig, kColorConfigHelp);
  cModes->add_flag("--force", modes.force, "Write over the output even when it is the base or top image");

  std::vector<std::string> checkScenes;
  auto* cCheck = app.add_subcommand("check", "Read scenes, build their maps and read their images, without rendering");
  cCheck->add_option("scene", checkScenes, "Scene files (.json or .tsy; - reads standard input)")->required();
  std::string checkColorConfig;
  cCheck->add_option("--colorconfig", checkColorConfig, kColorConfigHelp);

  LayersArgs layers;
  auto* cLayers = app.add_subcommand("layers", "Draw a sheet of the root map's layers: map, mask and composite of each");
  cLayers->add_option("scene", layers.scene, "Scene file (.json or .tsy)")->required();
  cLayers->add_option("-o,--output", layers.output, "Output image (default layers.png)");
  cLayers->add_option("--tile", layers.tile, "Thumbnail side in pixels (default 128)")->check(WholeNumberIn(64, 1024));
  cLayers->add_option("--threads", layers.threads, "Worker threads (default: all cores)")->check(WholeNumberIn(1, 1024));
  cLayers->add_option("--colorconfig", layers.colorConfig, kColorConfigHelp);
  cLayers->add_flag("--force", layers.force, "Write over the output even when the sheet reads it");

  AssembleArgs assemble;
  auto* cAssemble = app.add_subcommand("assemble", "Join the region renders of one image into the whole image");
  cAssemble->add_option("parts", assemble.parts, "Images rendered with render --region (PNG, TIFF or EXR)")->required();
  cAssemble->add_option("-o,--output", assemble.output, "Output image, of the parts' format")->required();
  cAssemble->add_option("--compression", assemble.request.compression,
                        "EXR: none, rle, zips, zip, piz, pxr24, b44, b44a, dwaa, dwab; TIFF: none, lzw, zip, packbits "
                        "(default zip)");
  cAssemble->add_flag("--force", assemble.force, "Write over the output even when it is one of the parts");

  // The command the line is for: "help [COMMAND]" shows a help text, a word
  // that names no command is refused before the parser sees it (which would
  // only say that a command is required).
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  const std::string command = CommandWord(args);
  const std::vector<CLI::App*> commands = {cRender, cEval, cConvert, cInfo, cModes, cLayers, cCheck, cAssemble};
  auto find = [&commands](const std::string& name) -> CLI::App* {
    for (CLI::App* c : commands)
      if (c->get_name() == name) return c;
    return nullptr;
  };
  if (command == "help") {
    if (args.size() > 1) {
      CLI::App* about = find(args[1]);
      if (!about || args.size() > 2) {
        std::cerr << "tessary: error: help: unknown command '" << args[1]
                  << "' (the commands are " << CommandList("and") << ")\n"
                  << UsageHint("") << "\n";
        return kExitUsage;
      }
      std::cout << about->help();
      return kExitOk;
    }
    std::cout << app.help();
    return kExitOk;
  }
  if (!command.empty() && !find(command)) {
    std::cerr << "tessary: error: unknown command '" << command
              << "' (the commands are " << CommandList("and") << ")\n"
              << UsageHint("") << "\n";
    return kExitUsage;
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << "tessary: error: " << DescribeParseError(e) << "\n" << UsageHint(command) << "\n";
    return kExitUsage;
  }

  // Usage errors are reported before the host starts, runtime failures after.
  if (cRender->parsed() && cRender->count("--size") > 0) {
    std::string error;
    if (!ParseSize(size, render.width, render.height, error)) {
      std::cerr << "tessary: error: " << error << "\n" << UsageHint("render") << "\n";
      return kExitUsage;
    }
  }
  if (cEval->parsed() && uv.size() == 2) {
    std::string error;
    if (!ParseFloat(uv[0], eval.u, error) || !ParseFloat(uv[1], eval.v, error)) {
      std::cerr << "tessary: error: --uv: " << error << "\n" << UsageHint("eval") << "\n";
      return kExitUsage;
    }
  }

  // The host's start-up: the plug-in module and the host's own map classes.
  // The session outlives every map the commands make.
  std::string error;
  const auto session = HostSession::Start(error);
  if (!session) {
    std::cerr << "tessary: error: " << error << "\n";
    return kExitFailure;
  }

  if (cRender->parsed()) return RunRender(render, std::cout, std::cerr);
  if (cEval->parsed()) return RunEval(eval, std::cout, std::cerr);
  if (cConvert->parsed()) return RunConvert(convertIn, convertOut, std::cout, std::cerr, convertForce);
  if (cInfo->parsed()) return RunInfo(infoScene, std::cout, std::cerr, infoJson);
  if (cModes->parsed()) return RunModes(modes, std::cout, std::cerr);
  if (cLayers->parsed()) return RunLayers(layers, std::cout, std::cerr);
  if (cCheck->parsed()) return RunCheck(checkScenes, std::cout, std::cerr, checkColorConfig);
  if (cAssemble->parsed()) return RunAssemble(assemble, std::cout, std::cerr);
  return kExitUsage;
}
