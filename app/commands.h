#pragma once
// The commands of the `tessary` program. Each returns the process exit code:
// 0 success, 1 runtime failure (bad input files, unwritable output). Errors
// go to standard error as one line "tessary: error: ..."; nothing else is
// written when a command fails.

#include <iosfwd>
#include <string>
#include <vector>

#include "app/image_io.h"
#include "app/layer_pick.h"

namespace tessary::app {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

struct RenderArgs {
  // One scene, or several: then the output names each with {name}, the
  // scene file's name without folder and extension.
  std::vector<std::string> scenes;
  std::string output;
  int width = 512;
  int height = 512;
  int threads = 0;
  OutputRequest request;  // --bits, --data-format, --compression, --quality as given
  std::string outputColorspace;  // --output-colorspace ("" the format's convention)
  std::string colorConfig;  // --colorconfig: an OpenColorIO config file ("" $OCIO, else built-in)
  LayerPick pick;         // --solo, --upto
  int samples = 1;        // --samples: n x n per pixel
  // --region X0 Y0 X1 Y1: pixels [X0, X1) x [Y0, Y1) of the image, as given
  // (checked against the size by RunRender); empty: the whole image.
  std::vector<long long> region;
  bool quiet = false;
  bool force = false;  // write over an input of the render (its scene or an image)
};

struct EvalArgs {
  std::string scene;
  std::string colorConfig;  // --colorconfig
  float u = 0.5f;
  float v = 0.5f;
};

struct ModesArgs {
  std::string output = "modes.png";
  std::string baseImage;  // empty: the bundled texture
  std::string topImage;
  int tile = 160;
  int threads = 0;
  std::string colorConfig;  // --colorconfig
  bool force = false;  // write over one of the two images
};

int RunRender(const RenderArgs& args, std::ostream& out, std::ostream& err);
int RunEval(const EvalArgs& args, std::ostream& out, std::ostream& err);
// `outPath` "-" writes JSON to standard output (and no summary line);
// writing over the input needs `force`.
int RunConvert(const std::string& in, const std::string& outPath, std::ostream& out, std::ostream& err,
               bool force = false);
// With `json`, one JSON object for programs: the file's kind, counts, the
// images it uses and the scene in the JSON scene format.
// Reads each scene, builds its maps and reads their images without
// rendering; one line "SCENE: ok (N maps, M images)" each, or its error.
int RunCheck(const std::vector<std::string>& scenes, std::ostream& out, std::ostream& err,
             const std::string& colorConfig = "");
int RunInfo(const std::string& scene, std::ostream& out, std::ostream& err, bool json = false);
int RunModes(const ModesArgs& args, std::ostream& out, std::ostream& err);

struct AssembleArgs {
  std::vector<std::string> parts;  // region renders (render --region)
  std::string output;
  OutputRequest request;  // --compression as given
  bool force = false;     // write over one of the parts
};
// Joins region renders of one image into the whole image: the parts must be
// of one format and size, cover the image and not overlap. Their pixels are
// copied as stored, so the result equals the one-process render bit for bit.
int RunAssemble(const AssembleArgs& args, std::ostream& out, std::ostream& err);

// Checks --region X0 Y0 X1 Y1 against an image of width x height.
bool MakeRegion(const std::vector<long long>& values, int width, int height, Region& region, std::string& error);

// Parses "W" or "WxH" (each 1..65536). Returns false with `error` set.
bool ParseSize(const std::string& text, int& width, int& height, std::string& error);

// Parses a decimal number straight to single precision (one rounding).
bool ParseFloat(const std::string& text, float& value, std::string& error);

// The text of a float that reads back to the same float ("%.9g"); "nan",
// "inf", "-inf" for the non-finite values (quoted by the JSON printers).
std::string ExactFloat(float f);

}  // namespace tessary::app
