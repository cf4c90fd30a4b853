#pragma once
// The image library, loaded when a run first needs it.
//
// The program reads and writes common PNGs, converts between equal colour
// spaces and renders without it. Everything else that goes through the
// image library (EXR, TIFF, JPEG and .tx files, other PNGs, the colour
// configuration, the contact sheets, `assemble`) lives in a module of its
// own, tessary_images.so, found as the map's module is (beside the program,
// in lib/tessary/ or lib/ next to bin/) and loaded on first use. The
// library brings hundreds of shared libraries with it, and loading them is
// most of a short run's time.
//
// The module uses the program's own functions (output files, signal
// clean-up, scenes, rendering): the program exports its symbols. Programs
// that link the module's code in (the tests, the benchmarks) use it as it
// is, without loading anything.

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>

namespace tessary::app {

class ColourConfig;
class OutputFile;
struct AssembleArgs;
struct Image;
struct LayersArgs;
struct ModesArgs;
struct OutputChoice;
enum class DataFormat;

// One file written row by row by the image library, into `file` (which
// commits or removes it).
class LibraryWriter {
 public:
  virtual ~LibraryWriter() = default;
  // Starts the file: width x height pixels of `channels` samples (3 or 4),
  // with the header, tags and compression `choice` asks for. `error`: the
  // library's reason.
  virtual bool Open(OutputFile& file, const std::string& path, const OutputChoice& choice, int width, int height,
                    int channels, std::string& error) = 0;
  // Rows [y0, y1) of the file, `channels` samples a pixel of `type` (UInt8,
  // UInt16 or Float; a Half file is given floats and rounds them).
  virtual bool WriteRows(int y0, int y1, DataFormat type, const void* samples) = 0;
  // Ends the file; false when the library reports a failure.
  virtual bool Close() = 0;
  // The library's pending message on one line, taken ("" for none).
  virtual std::string TakeError() = 0;
};

// What the module provides. A module of another version, or one whose
// table differs, is refused.
struct ImageModule {
  std::size_t size;     // sizeof(ImageModule)
  const char* version;  // TESSARY_VERSION_STRING
  bool (*readImage)(const std::string& path, Image& image, std::string& error);
  std::unique_ptr<LibraryWriter> (*newWriter)();
  bool (*writeTexture)(const std::string& path, const OutputChoice& choice, Image image, std::string& error);
  // At most n threads for the library's decoding, conversion and
  // compression (as ImageLibraryThreads says); not limited: the library's
  // own settings, as they were when the module was loaded.
  void (*setThreads)(bool limited, int n);
  std::shared_ptr<const ColourConfig> (*openColourConfig)(const std::string& file, std::string& error);
  int (*runModes)(const ModesArgs& args, std::ostream& out, std::ostream& err);
  int (*runLayers)(const LayersArgs& args, std::ostream& out, std::ostream& err);
  int (*runAssemble)(const AssembleArgs& args, std::ostream& out, std::ostream& err);
};

inline constexpr const char* kImageModuleFileName = "tessary_images.so";

// The module, loaded on the first call (once, also when threads ask at the
// same time); null with a one-line `error` when it cannot be loaded.
const ImageModule* ImageModuleOrError(std::string& error);

// Whether the module is in use already (loading it costs nothing more).
bool ImageModuleLoaded();

// The limit on the library's threads (ImageLibraryThreads): told to the
// module now when it is loaded, else when it is.
void SetLibraryThreadLimit(bool limited, int n);
void LibraryThreadLimit(bool& limited, int& n);

}  // namespace tessary::app

// The module's one entry point (a C name, looked up when it is loaded).
extern "C" const tessary::app::ImageModule* tessary_image_module();
