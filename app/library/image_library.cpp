// The image library's side of image files (image_module.h): reading every
// format it knows, writing EXR, TIFF, JPEG and .tx files, and its threads.
// The PNGs the program reads and writes itself never come here.

#include <OpenImageIO/filesystem.h>
#include <OpenImageIO/imagebuf.h>
#include <OpenImageIO/imagebufalgo.h>
#include <OpenImageIO/imageio.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <string_view>
#include <system_error>

#include "app/colour.h"
#include "app/image_io.h"
#include "app/image_module.h"
#include "app/library/library.h"
#include "app/output_file.h"

namespace tessary::app::library {

namespace fs = std::filesystem;
namespace OIIO = OIIO_NAMESPACE;

namespace {

// The string attribute of an EXR file that names its colour space.
constexpr const char* kExrColourSpaceAttribute = "colorSpace";

// Fills the channels a pixel of `used` channels lacks: grey is spread to
// green and blue, and a missing alpha is opaque.
template <class T>
void SpreadChannels(T* rgba, std::size_t pixels, int used, T opaque) {
  for (std::size_t p = 0; p < pixels; ++p) {
    T* d = rgba + p * 4;
    switch (used) {
      case 1: d[1] = d[2] = d[0]; d[3] = opaque; break;
      case 2: d[3] = d[1]; d[1] = d[2] = d[0]; break;
      default: d[3] = opaque; break;
    }
  }
}

}  // namespace

bool ReadImage(const std::string& path, Image& image, std::string& error) {
  // The values as stored: the library would otherwise multiply straight
  // colour by alpha. Whether the file's colour is premultiplied is read
  // from the reader's answer below.
  OIIO::ImageSpec config;
  config.attribute("oiio:UnassociatedAlpha", 1);
  auto in = OIIO::ImageInput::open(path, &config);
  if (!in) {
    // No reader exists: its error went to the library's (per-thread) one.
    error = "cannot read image: " + OneLine(OIIO::geterror(), "unknown format");
    return false;
  }
  // From here on every message is the reader's own, and each is taken from
  // it (geterror clears it) so none is left pending.
  auto fail = [&](const std::string& why) {
    in->close();
    (void)in->geterror();
    image = Image();
    error = why;
    return false;
  };
  const OIIO::ImageSpec& header = in->spec();
  if (header.width <= 0 || header.height <= 0 || header.nchannels <= 0 || header.depth != 1)
    return fail("unsupported image dimensions");
  const std::int64_t pixels = std::int64_t{header.width} * std::int64_t{header.height};
  if (pixels > kMaxImagePixels) return fail(TooLarge(header.width, header.height));
  // The used channels are read straight into the RGBA buffer (a stride of
  // four values per pixel), then grey is spread and a missing alpha set.
  const int used = std::min(header.nchannels, 4);
  const auto n = static_cast<std::size_t>(pixels);
  const bool hasAlpha = (used == 2 || used == 4) && header.alpha_channel >= 0;
  const bool premultiplied = hasAlpha && header.get_int_attribute("oiio:UnassociatedAlpha", 0) == 0;
  image = Image();
  image.width = header.width;
  image.height = header.height;
  image.premultiplied = premultiplied;
  image.formatColorspace = header.format.is_floating_point() ? "linear" : "sRGB";
  image.colorspace = header.get_string_attribute(kExrColourSpaceAttribute);
  if (image.colorspace.empty()) image.colorspace = header.get_string_attribute("oiio:ColorSpace");
  if (image.colorspace.empty()) image.colorspace = image.formatColorspace;
  bool ok;
  if (header.format == OIIO::TypeDesc::UINT8) {
    image.rgba8.resize(n * 4);  // not set: the reader fills every byte
    image.byteToFloat = ByteToFloat();
    ok = in->read_image(0, 0, 0, used, OIIO::TypeDesc::UINT8, image.rgba8.data(), 4);
    if (ok && used < 4) SpreadChannels(image.rgba8.data(), n, used, std::uint8_t{255});
  } else {
    image.rgba.assign(n * 4, 0.0f);
    ok = in->read_image(0, 0, 0, used, OIIO::TypeDesc::FLOAT, image.rgba.data(), 4 * sizeof(float));
    if (ok && used < 4) SpreadChannels(image.rgba.data(), n, used, 1.0f);
  }
  // A reader may also report damage and carry on (a truncated JPEG comes
  // back with its missing part grey): that is a failure too.
  const std::string why = in->geterror();
  if (!ok || !why.empty()) return fail("cannot read image: " + OneLine(why, "read failed (truncated file?)"));
  in->close();
  (void)in->geterror();
  return true;
}

namespace {

// The library's thread settings when the module was loaded.
struct LibraryThreads {
  int threads = 0;
  int exrThreads = 0;
};

const LibraryThreads& OwnThreads() {
  static const LibraryThreads own = [] {
    LibraryThreads t;
    (void)OIIO::getattribute("threads", t.threads);
    (void)OIIO::getattribute("exr_threads", t.exrThreads);
    return t;
  }();
  return own;
}

}  // namespace

void SetThreads(bool limited, int n) {
  const LibraryThreads& own = OwnThreads();
  if (!limited) {
    OIIO::attribute("threads", own.threads);
    OIIO::attribute("exr_threads", own.exrThreads);
    return;
  }
  // "threads" 0 is every core; "exr_threads" 0 is every core too, and -1
  // runs the EXR library without its pool (it would otherwise keep a pool
  // thread working while the caller waits).
  const int count = n > 0 ? n : 0;
  OIIO::attribute("threads", count);
  OIIO::attribute("exr_threads", count == 1 ? -1 : count);
}

namespace {

// The image library writes through this into our output file, so every
// byte's fate is known: a short write is recorded with its reason, and the
// file is flushed, closed and renamed by OutputFile, not by the library.
class OutputProxy final : public OIIO::Filesystem::IOProxy {
 public:
  OutputProxy(OutputFile& file, const std::string& name) : IOProxy(name, Write), file_(file) {}
  const char* proxytype() const override { return "tessary-output"; }
  void close() override { m_mode = Closed; }
  int64_t tell() override {
    std::lock_guard lock(mutex_);
    return file_.Tell();
  }
  bool seek(int64_t offset) override {
    std::lock_guard lock(mutex_);
    return file_.Seek(offset);
  }
  size_t write(const void* buf, size_t size) override {
    std::lock_guard lock(mutex_);
    return file_.Write(buf, size) ? size : 0;
  }
  size_t pwrite(const void* buf, size_t size, int64_t offset) override {
    std::lock_guard lock(mutex_);
    return file_.WriteAt(buf, size, offset) ? size : 0;
  }
  size_t read(void* buf, size_t size) override {
    std::lock_guard lock(mutex_);
    const std::size_t n = file_.ReadAt(buf, size, file_.Tell());
    return file_.Seek(file_.Tell() + static_cast<std::int64_t>(n)) ? n : 0;
  }
  size_t pread(void* buf, size_t size, int64_t offset) override {
    std::lock_guard lock(mutex_);
    return file_.ReadAt(buf, size, offset);
  }
  size_t size() const override {
    std::lock_guard lock(mutex_);
    return static_cast<size_t>(file_.Size());
  }

 private:
  OutputFile& file_;
  mutable std::mutex mutex_;
};

const char* WriterName(ImageFormat format) {
  switch (format) {
    case ImageFormat::Png8:
    case ImageFormat::Png16: return "png";
    case ImageFormat::Jpeg: return "jpeg";
    case ImageFormat::Exr: return "openexr";
    case ImageFormat::Tiff:
    case ImageFormat::Tx: return "tiff";
  }
  return "";
}

// Tags a header with the output's colour space; EXR also with the
// chromaticities of the sRGB primaries (and D65 white) where the space is
// sRGB or linear with those primaries. TIFF written row by row is left
// untagged: the library stores "sRGB" as an Exif directory, which this
// version (2.4, with libtiff 4.5) writes broken through an I/O proxy (the
// file loses its image length); the texture maker writes by name and keeps it.
void TagColourSpace(OIIO::ImageSpec& header, const OutputChoice& choice) {
  if (choice.colorspace.empty() || IsRawColourSpace(choice.colorspace)) return;
  if (choice.format == ImageFormat::Tiff) return;
  header.attribute("oiio:ColorSpace", choice.colorspace);
  // The EXR writer keeps no "oiio:ColorSpace" (its reader says "Linear" for
  // every file): the name goes into an attribute of its own as well.
  if (choice.format == ImageFormat::Exr) header.attribute(kExrColourSpaceAttribute, choice.colorspace);
  if (choice.format == ImageFormat::Exr &&
      (SameColourSpace(choice.colorspace, "linear") || SameColourSpace(choice.colorspace, "sRGB"))) {
    static constexpr float kRec709[8] = {0.64f, 0.33f, 0.30f, 0.60f, 0.15f, 0.06f, 0.3127f, 0.3290f};
    header.attribute("chromaticities", OIIO::TypeDesc(OIIO::TypeDesc::FLOAT, 8), kRec709);
  }
}

// The type the file stores its samples in.
OIIO::TypeDesc StoredType(DataFormat data) {
  switch (data) {
    case DataFormat::UInt8: return OIIO::TypeDesc::UINT8;
    case DataFormat::UInt16: return OIIO::TypeDesc::UINT16;
    case DataFormat::Half: return OIIO::TypeDesc::HALF;
    case DataFormat::Float: break;
  }
  return OIIO::TypeDesc::FLOAT;
}


// One file through the library's writer for its format.
class Writer final : public LibraryWriter {
 public:
  ~Writer() override {
    if (out_) {
      out_->close();
      (void)out_->geterror();
    }
  }

  bool Open(OutputFile& file, const std::string& path, const OutputChoice& choice, int width, int height, int channels,
            std::string& error) override {
    format_ = choice.format;
    OIIO::ImageSpec header(width, height, channels, StoredType(choice.data));
    if (channels == 4) header.alpha_channel = 3;
    // Straight colour is written as it is and marked so (TIFF: extra sample
    // "unassociated alpha"); without the mark the library would take the
    // rows as premultiplied and divide them by alpha. EXR is premultiplied by
    // convention: the rows come multiplied.
    if (format_ == ImageFormat::Tiff) header.attribute("oiio:UnassociatedAlpha", 1);
    if (format_ == ImageFormat::Jpeg) header.attribute("CompressionQuality", choice.quality);
    if (!choice.compression.empty()) header.attribute("compression", choice.compression);
    if (!choice.software.empty()) header.attribute("Software", choice.software);
    if (!choice.source.empty()) header.attribute("DocumentName", choice.source);
    if (choice.region.IsSet()) {
      header.attribute("ImageDescription", DescribeRegion(choice.region));
      if (format_ == ImageFormat::Exr) {
        // Other tools place the pixels by the data window.
        header.x = choice.region.x0;
        header.y = choice.region.y0;
        header.full_x = 0;
        header.full_y = 0;
        header.full_width = choice.region.fullWidth;
        header.full_height = choice.region.fullHeight;
      }
    }
    TagColourSpace(header, choice);
    out_ = OIIO::ImageOutput::create(WriterName(format_));
    if (!out_) {
      error = OneLine(OIIO::geterror(), "no writer for this format");
      return false;
    }
    proxy_ = std::make_unique<OutputProxy>(file, path);
    if (!out_->set_ioproxy(proxy_.get()) || !out_->open(path, header)) {
      error = OneLine(out_->geterror(), "open failed");
      return false;
    }
    return true;
  }

  bool WriteRows(int y0, int y1, DataFormat type, const void* samples) override {
    const OIIO::TypeDesc stored = type == DataFormat::UInt8    ? OIIO::TypeDesc::UINT8
                                : type == DataFormat::UInt16 ? OIIO::TypeDesc::UINT16
                                                             : OIIO::TypeDesc::FLOAT;
    return out_->write_scanlines(y0, y1, 0, stored, samples);
  }

  bool Close() override {
    const bool closed = out_->close();
    std::string message = out_->geterror();
    if (format_ == ImageFormat::Tiff) {
      // This library version reports a failed Exif directory for every TIFF
      // it writes without Exif data (with libtiff 4.5); the image and its
      // tags are complete, so that one message is no failure.
      static constexpr std::string_view kNoExif = "failed TIFFWriteCustomDirectory() of the Exif data";
      if (const auto at = message.find(kNoExif); at != std::string::npos) message.erase(at, kNoExif.size());
    }
    pending_ = OneLine(message, "");
    out_.reset();
    proxy_.reset();
    return closed && pending_.empty();
  }

  std::string TakeError() override {
    std::string why = pending_;
    pending_.clear();
    if (out_) {
      const std::string library = OneLine(out_->geterror(), "");
      if (!library.empty()) why += (why.empty() ? "" : "; ") + library;
    }
    return why;
  }

 private:
  ImageFormat format_ = ImageFormat::Exr;
  std::unique_ptr<OutputProxy> proxy_;
  std::unique_ptr<OIIO::ImageOutput> out_;
  std::string pending_;
};

}  // namespace

std::unique_ptr<LibraryWriter> NewWriter() { return std::make_unique<Writer>(); }

bool WriteTexture(const std::string& path, const OutputChoice& choice, Image image, std::string& error) {
  const fs::path target(path);
  const fs::path dir = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) {
    error = "cannot write: folder \"" + dir.string() + "\" does not exist";
    return false;
  }
  // The library writes the texture by name: a hidden name of its own beside
  // the destination, renamed into place when complete.
  const fs::path temp = dir / ("." + target.filename().string().substr(0, 200) + ".tmp-" +
                               std::to_string(static_cast<long long>(::getpid())) + ".tx");
  OIIO::ImageSpec source(image.width, image.height, 4, OIIO::TypeDesc::FLOAT);
  source.alpha_channel = 3;
  source.attribute("oiio:UnassociatedAlpha", 1);
  TagColourSpace(source, choice);
  if (choice.colour) choice.colour->Apply(image.rgba.data(), image.rgba.size() / 4);
  OIIO::ImageBuf buffer(source, image.rgba.data());
  OIIO::ImageSpec config;
  config.format = StoredType(choice.data);
  config.tile_width = 64;
  config.tile_height = 64;
  config.tile_depth = 1;
  config.attribute("compression", choice.compression.empty() ? "zip" : choice.compression);
  config.attribute("wrapmodes", "periodic,periodic");
  config.attribute("maketx:fileformatname", "tiff");
  config.attribute("maketx:ignore_unassoc", 0);
  if (!choice.software.empty()) config.attribute("Software", choice.software);
  if (!choice.source.empty()) config.attribute("DocumentName", choice.source);
  TagColourSpace(config, choice);
  const bool made = OIIO::ImageBufAlgo::make_texture(OIIO::ImageBufAlgo::MakeTxTexture, buffer, temp.string(), config);
  const std::string why = OneLine(OIIO::geterror(), "the texture could not be made");
  if (!made) {
    fs::remove(temp, ec);
    error = "cannot write: " + why;
    return false;
  }
  fs::rename(temp, target, ec);
  if (ec) {
    fs::remove(temp, ec);
    error = "cannot write: " + ec.message();
    return false;
  }
  return true;
}

}  // namespace tessary::app::library

extern "C" const tessary::app::ImageModule* tessary_image_module() {
  namespace library = tessary::app::library;
  static const tessary::app::ImageModule module = {
      sizeof(tessary::app::ImageModule),
      TESSARY_VERSION_STRING,
      &library::ReadImage,
      &library::NewWriter,
      &library::WriteTexture,
      &library::SetThreads,
      &library::OpenColourConfig,
      &library::RunModes,
      &library::RunLayers,
      &library::RunAssemble,
  };
  return &module;
}
