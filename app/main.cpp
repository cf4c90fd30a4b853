// tessary: the command-line host of the layered texture map.

#include <CLI/CLI.hpp>
#include <iostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include <clocale>
#endif

#include "app/commands.h"
#include "app/host_session.h"

using namespace tessary::app;

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
  cRender->add_option("scene", render.scene, "Scene file (.json or .tsy)")->required();
  cRender->add_option("-o,--output", render.output, "Output image: .png, .jpg, .exr or .tif")->required();
  cRender->add_option("--size", size, "Image size W or WxH (default 512)");
  cRender->add_option("--threads", render.threads, "Worker threads (default: all cores)")->check(CLI::Range(1, 1024));
  cRender->add_option("--bits", render.bits, "PNG bits per channel: 8 or 16 (default 8)")
      ->check(CLI::IsMember({8, 16}));
  cRender->add_option("--compression", render.compression, "EXR and TIFF compression: zip or none (default zip)")
      ->check(CLI::IsMember({"zip", "none"}));
  cRender->add_flag("-q,--quiet", render.quiet, "No progress bar and no summary line");
  cRender->add_flag("--force", render.force, "Write over the output even when the render reads it (scene or image)");

  EvalArgs eval;
  std::vector<std::string> uv;
  auto* cEval = app.add_subcommand("eval", "Print the colour, grey value and bump of one shading sample as JSON");
  cEval->add_option("scene", eval.scene, "Scene file (.json or .tsy)")->required();
  cEval->add_option("--uv", uv, "Texture coordinate U V (default 0.5 0.5)")->expected(2);

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

  ModesArgs modes;
  auto* cModes = app.add_subcommand("modes", "Draw a contact sheet of all 34 blend modes");
  cModes->add_option("-o,--output", modes.output, "Output image (default modes.png)");
  cModes->add_option("--base", modes.baseImage, "Base image (default: the bundled texture)");
  cModes->add_option("--top", modes.topImage, "Top image (default: the bundled texture)");
  cModes->add_option("--tile", modes.tile, "Tile side in pixels (default 160)")->check(CLI::Range(16, 1024));
  cModes->add_option("--threads", modes.threads, "Worker threads (default: all cores)")->check(CLI::Range(1, 1024));
  cModes->add_flag("--force", modes.force, "Write over the output even when it is the base or top image");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << "tessary: error: " << e.what() << "\nRun 'tessary --help' for usage.\n";
    return kExitUsage;
  }

  // Usage errors are reported before the host starts, runtime failures after.
  if (cRender->parsed() && !size.empty()) {
    std::string error;
    if (!ParseSize(size, render.width, render.height, error)) {
      std::cerr << "tessary: error: " << error << "\n";
      return kExitUsage;
    }
  }
  if (cEval->parsed() && uv.size() == 2) {
    std::string error;
    if (!ParseFloat(uv[0], eval.u, error) || !ParseFloat(uv[1], eval.v, error)) {
      std::cerr << "tessary: error: --uv: " << error << "\n";
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
  if (cInfo->parsed()) return RunInfo(infoScene, std::cout, std::cerr);
  if (cModes->parsed()) return RunModes(modes, std::cout, std::cerr);
  return kExitUsage;
}
