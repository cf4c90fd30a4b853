#include "app/image_io.h"

#include <OpenImageIO/filesystem.h>
#include <OpenImageIO/imagebuf.h>
#include <OpenImageIO/imagebufalgo.h>
#include <OpenImageIO/imageio.h>
#include <unistd.h>
#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <utility>
#include <string_view>
#include <system_error>

#include "app/colour.h"
#include "app/output_file.h"
#include "app/png_decoder.h"
#include "app/png_encoder.h"

namespace tessary::app {

namespace fs = std::filesystem;
namespace OIIO = OIIO_NAMESPACE;

std::string OneLine(const std::string& message, const std::string& fallback) {
  std::string joined;
  std::size_t start = 0;
  while (start <= message.size()) {
    std::size_t end = message.find('\n', start);
    if (end == std::string::npos) end = message.size();
    std::string line = message.substr(start, end - start);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
    if (!line.empty()) joined += (joined.empty() ? "" : "; ") + line;
    start = end + 1;
  }
  return joined.empty() ? fallback : joined;
}

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The string attribute of an EXR file that names its colour space.
constexpr const char* kExrColourSpaceAttribute = "colorSpace";

const char* const kNoImagesToStandardOutput =
    "images are not written to standard output; name a file ending in .png, .jpg, .exr or .tif";

}  // namespace

namespace {

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

// The float the image library makes of each 8-bit value, taken from the
// library itself once (for each of the four channels), so 8-bit images kept
// as bytes sample to the same bits as if they had been read as floats.
const float* ByteToFloat() {
  static const std::array<float, 1024> table = [] {
    std::array<std::uint8_t, 256> bytes{};
    for (int i = 0; i < 256; ++i) bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    std::array<float, 1024> floats{};
    OIIO::convert_pixel_values(OIIO::TypeDesc::UINT8, bytes.data(), OIIO::TypeDesc::FLOAT, floats.data(), 256);
    for (std::size_t c = 1; c < 4; ++c) std::copy(floats.begin(), floats.begin() + 256, floats.begin() + 256 * c);
    return floats;
  }();
  return table.data();
}

namespace {

// --- PNG structure --------------------------------------------------------------
//
// libpng writes every error it raises to standard error itself before the
// image library sees it, and the library offers no way to stop that. So the
// chunk structure of a PNG file is checked here first: a file that ends
// inside a chunk, or whose critical chunk fails its checksum (the cases
// libpng refuses), gets one clear message and never reaches libpng.

std::uint32_t Crc32(std::uint32_t crc, const unsigned char* p, std::size_t n) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  for (std::size_t i = 0; i < n; ++i) crc = table[(crc ^ p[i]) & 0xFFu] ^ (crc >> 8);
  return crc;
}

std::uint32_t BigEndian32(const unsigned char* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]};
}

std::string ChunkName(const unsigned char* type) {
  for (int i = 0; i < 4; ++i)
    if (!std::isalpha(type[i])) return "a chunk";
  return "the \"" + std::string(reinterpret_cast<const char*>(type), 4) + "\" chunk";
}

// True when `path` is no PNG file or its chunks are whole; false with the
// reason otherwise. A file that ends between chunks is left to libpng
// (an image without its end chunk is still readable).
bool CheckPngChunks(const std::string& path, std::string& error) {
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> f(std::fopen(path.c_str(), "rb"));
  if (!f) return true;  // the image library reports why
  static constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  unsigned char head[8];
  if (std::fread(head, 1, 8, f.get()) != 8 || std::memcmp(head, kSignature, 8) != 0) return true;
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec) return true;
  std::vector<unsigned char> block(1 << 16);
  std::uintmax_t at = 8;
  for (;;) {
    const std::size_t got = std::fread(head, 1, 8, f.get());
    if (got == 0) return true;
    if (got < 8) {
      error = "truncated PNG file: it ends inside a chunk header at byte " + std::to_string(at);
      return false;
    }
    const std::uint32_t length = BigEndian32(head);
    const unsigned char* type = head + 4;
    if (length > 0x7FFFFFFFu) {
      error = "damaged PNG file: " + ChunkName(type) + " at byte " + std::to_string(at) + " has an impossible length";
      return false;
    }
    if (at + 12 + length > size) {
      error = "truncated PNG file: it ends inside " + ChunkName(type) + " at byte " + std::to_string(at);
      return false;
    }
    if ((type[0] & 0x20) == 0) {  // critical chunks: libpng refuses a wrong checksum
      std::uint32_t crc = Crc32(0xFFFFFFFFu, type, 4);
      for (std::uint32_t left = length; left > 0;) {
        const std::size_t n = std::min<std::size_t>(left, block.size());
        if (std::fread(block.data(), 1, n, f.get()) != n) return true;  // a read error: left to the library
        crc = Crc32(crc, block.data(), n);
        left -= static_cast<std::uint32_t>(n);
      }
      unsigned char stored[4];
      if (std::fread(stored, 1, 4, f.get()) != 4) return true;
      if (BigEndian32(stored) != (crc ^ 0xFFFFFFFFu)) {
        error = "damaged PNG file: " + ChunkName(type) + " at byte " + std::to_string(at) + " fails its checksum";
        return false;
      }
    } else if (std::fseek(f.get(), static_cast<long>(length) + 4, SEEK_CUR) != 0) {
      return true;
    }
    at += 12 + length;
    if (std::memcmp(type, "IEND", 4) == 0) return true;
  }
}

}  // namespace

bool ReadImage(const std::string& path, Image& image, std::string& error) {
  std::error_code ec;
  if (!fs::exists(path, ec)) {
    error = "no such image file";
    return false;
  }
  if (fs::is_directory(path, ec)) {
    error = "is a directory, not an image file";
    return false;
  }
  if (!CheckPngChunks(path, error)) {
    error = "cannot read image: " + error;
    return false;
  }
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
  if (pixels > kMaxImagePixels) {
    return fail("image too large (" + std::to_string(header.width) + "x" + std::to_string(header.height) +
                "; at most " + std::to_string(kMaxImagePixels) + " pixels)");
  }
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
    // Common PNGs are read straight into place (png_decoder.h), the rest
    // the library's way; so is a PNG libpng alone fails on, so that a
    // damaged file gets the library's verdict and reason as before.
    std::string damage;
    const PngPixels direct = std::strcmp(in->format_name(), "png") == 0
                                 ? ReadPngPixels(path, header.width, header.height, image.rgba8.data(), damage)
                                 : PngPixels::NotHandled;
    if (direct == PngPixels::Read) {
      ok = true;
    } else {
      ok = in->read_image(0, 0, 0, used, OIIO::TypeDesc::UINT8, image.rgba8.data(), 4);
      if (ok && used < 4) SpreadChannels(image.rgba8.data(), n, used, std::uint8_t{255});
    }
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

ImageLibraryThreads::ImageLibraryThreads(int n) {
  (void)OIIO::getattribute("threads", threads_);
  (void)OIIO::getattribute("exr_threads", exrThreads_);
  // "threads" 0 is every core; "exr_threads" 0 is every core too, and -1
  // runs the EXR library without its pool (it would otherwise keep a pool
  // thread working while the caller waits).
  const int count = n > 0 ? n : 0;
  OIIO::attribute("threads", count);
  OIIO::attribute("exr_threads", count == 1 ? -1 : count);
}

ImageLibraryThreads::~ImageLibraryThreads() {
  OIIO::attribute("threads", threads_);
  OIIO::attribute("exr_threads", exrThreads_);
}

namespace {

const char* FormatName(ImageFormat format) {
  switch (format) {
    case ImageFormat::Png8:
    case ImageFormat::Png16: return "PNG";
    case ImageFormat::Jpeg: return "JPEG";
    case ImageFormat::Exr: return "EXR";
    case ImageFormat::Tiff: return "TIFF";
    case ImageFormat::Tx: return "TX";
  }
  return "";
}

std::vector<std::string> Compressions(ImageFormat format) {
  switch (format) {
    case ImageFormat::Exr: return {"none", "rle", "zips", "zip", "piz", "pxr24", "b44", "b44a", "dwaa", "dwab"};
    case ImageFormat::Tiff:
    case ImageFormat::Tx: return {"none", "lzw", "zip", "packbits"};
    case ImageFormat::Png8:
    case ImageFormat::Png16:
    case ImageFormat::Jpeg: break;
  }
  return {};
}

std::vector<std::pair<std::string, DataFormat>> DataFormats(ImageFormat format) {
  switch (format) {
    case ImageFormat::Png8:
    case ImageFormat::Png16: return {{"uint8", DataFormat::UInt8}, {"uint16", DataFormat::UInt16}};
    case ImageFormat::Jpeg: return {{"uint8", DataFormat::UInt8}};
    case ImageFormat::Exr: return {{"half", DataFormat::Half}, {"float", DataFormat::Float}};
    case ImageFormat::Tiff:
    case ImageFormat::Tx:
      // The library writes no half TIFF (it would store floats instead).
      return {{"uint8", DataFormat::UInt8}, {"uint16", DataFormat::UInt16}, {"float", DataFormat::Float}};
  }
  return {};
}

std::string Join(const std::vector<std::string>& words) {
  std::string text;
  for (std::size_t i = 0; i < words.size(); ++i)
    text += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + words[i];
  return text;
}

}  // namespace

std::string CompressionNames(ImageFormat format) {
  const std::vector<std::string> names = Compressions(format);
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) text += (i ? ", " : "") + names[i];
  return text;
}

bool ResolveOutput(const std::string& path, const OutputRequest& request, OutputChoice& choice, std::string& error) {
  if (!FormatForPath(path, 8, choice.format, error)) return false;
  const char* name = FormatName(choice.format);
  const auto data = DataFormats(choice.format);
  choice.data = data.back().second;  // the widest: 16-bit PNG only when asked for
  if (choice.format == ImageFormat::Png8) choice.data = DataFormat::UInt8;
  std::string wanted = request.dataFormat;
  if (request.bits != 0) {
    const std::string asBits = "uint" + std::to_string(request.bits);
    if (!wanted.empty() && wanted != asBits) {
      error = "--bits " + std::to_string(request.bits) + " and --data-format " + wanted + " disagree (give one)";
      return false;
    }
    wanted = asBits;
  }
  if (!wanted.empty()) {
    std::vector<std::string> names;
    bool found = false;
    for (const auto& [text, format] : data) {
      names.push_back(text);
      if (text == wanted) {
        choice.data = format;
        found = true;
      }
    }
    if (!found) {
      error = std::string(request.bits != 0 ? "--bits " + std::to_string(request.bits) : "--data-format " + wanted) +
              ": " + name + " output is " + Join(names);
      return false;
    }
  }
  if (choice.format == ImageFormat::Png8 && choice.data == DataFormat::UInt16) choice.format = ImageFormat::Png16;

  const std::vector<std::string> compressions = Compressions(choice.format);
  choice.compression = compressions.empty() ? "" : "zip";
  if (!request.compression.empty()) {
    if (compressions.empty()) {
      error = std::string("--compression: ") + name + " output has no compression setting (EXR and TIFF have)";
      return false;
    }
    if (std::find(compressions.begin(), compressions.end(), request.compression) == compressions.end()) {
      error = "--compression " + request.compression + ": " + name + " output takes " + Join(compressions);
      return false;
    }
    choice.compression = request.compression;
  }

  choice.quality = 95;
  if (request.quality != 0) {
    if (choice.format != ImageFormat::Jpeg) {
      error = std::string("--quality: only JPEG output has a quality setting, not ") + name;
      return false;
    }
    if (request.quality < 1 || request.quality > 100) {
      error = "--quality " + std::to_string(request.quality) + ": expected 1 to 100";
      return false;
    }
    choice.quality = request.quality;
  }

  const bool floats = choice.data == DataFormat::Half || choice.data == DataFormat::Float;
  choice.colorspace = OutputColourSpace(floats);
  return true;
}

bool FormatForPath(const std::string& path, int bits, ImageFormat& format, std::string& error) {
  if (IsStandardOutput(path)) {
    error = kNoImagesToStandardOutput;
    return false;
  }
  const std::string ext = Lower(fs::path(path).extension().string());
  if (ext == ".png") {
    if (bits != 8 && bits != 16) {
      error = "PNG output is 8 or 16 bits per channel";
      return false;
    }
    format = bits == 16 ? ImageFormat::Png16 : ImageFormat::Png8;
  } else if (ext == ".jpg" || ext == ".jpeg") {
    format = ImageFormat::Jpeg;
  } else if (ext == ".exr") {
    format = ImageFormat::Exr;
  } else if (ext == ".tif" || ext == ".tiff") {
    format = ImageFormat::Tiff;
  } else if (ext == ".tx") {
    format = ImageFormat::Tx;
  } else {
    error = "unknown output format \"" + ext + "\" (use .png, .jpg, .exr, .tif or .tx)";
    return false;
  }
  if (bits != 8 && bits != 16 && format != ImageFormat::Png8) {
    error = "--bits is 8 or 16";
    return false;
  }
  return true;
}

std::uint32_t Quantise(float v, std::uint32_t maxValue) {
  if (!(v > 0.0f)) return 0;  // also NaN
  if (v >= 1.0f) return maxValue;
  return static_cast<std::uint32_t>(std::floor(v * static_cast<float>(maxValue) + 0.5f));
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

}  // namespace

namespace {

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

}  // namespace

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

struct ImageWriter::Impl {
  OutputFile file;
  DataFormat data = DataFormat::UInt8;
  bool droppedAlpha = false;
  std::unique_ptr<OutputProxy> proxy;
  std::unique_ptr<OIIO::ImageOutput> out;
  std::unique_ptr<PngEncoder> png;  // PNG is written by the program's own encoder
  ImageFormat format = ImageFormat::Png8;
  int width = 0;
  int height = 0;
  int channels = 4;
  int originY = 0;         // the first row's number in the file (EXR data window)
  bool asStored = false;   // rows come premultiplied where the format is
  bool open = false;
  std::vector<unsigned char> bytes;
  std::vector<float> floats;
  std::shared_ptr<const ColourTransform> colour;

  // The reason of a failure: the file's own (a full disk, ...) first, then
  // the library's; the library's message is taken either way.
  std::string Reason(const std::string& fallback) {
    std::string library = out ? OneLine(out->geterror(), "") : std::string();
    file.Fail(library.empty() ? fallback : library);
    return "cannot write: " + file.Failure();
  }

  void Drop() {
    if (out) {
      out->close();
      (void)out->geterror();
      out.reset();
    }
    proxy.reset();
    png.reset();
    file.Abandon();
    open = false;
  }
};

ImageWriter::ImageWriter() : impl_(std::make_unique<Impl>()) {}
ImageWriter::~ImageWriter() { impl_->Drop(); }
void ImageWriter::Abandon() { impl_->Drop(); }

bool ImageWriter::Open(const std::string& path, ImageFormat format, int width, int height, std::string& error,
                       Compression compression) {
  OutputChoice choice;
  choice.format = format;
  choice.data = format == ImageFormat::Png8 || format == ImageFormat::Jpeg ? DataFormat::UInt8
              : format == ImageFormat::Png16                             ? DataFormat::UInt16
                                                                         : DataFormat::Float;
  if (format == ImageFormat::Exr || format == ImageFormat::Tiff)
    choice.compression = compression == Compression::Zip ? "zip" : "none";
  return Open(path, choice, width, height, error);
}

bool ImageWriter::Open(const std::string& path, const OutputChoice& choice, int width, int height, std::string& error) {
  Impl& m = *impl_;
  m.Drop();
  const ImageFormat format = choice.format;
  m.format = format;
  m.data = choice.data;
  m.droppedAlpha = false;
  m.width = width;
  m.height = height;
  m.channels = format == ImageFormat::Jpeg ? 3 : 4;
  if (IsStandardOutput(path)) {
    error = kNoImagesToStandardOutput;
    return false;
  }
  if (format == ImageFormat::Tx) {
    error = "a texture (.tx) is written whole, not row by row";
    return false;
  }
  if (!m.file.Open(path, error)) return false;

  OIIO::ImageSpec header(width, height, m.channels, StoredType(choice.data));
  if (m.channels == 4) header.alpha_channel = 3;
  // Straight colour is written as it is and marked so (TIFF: extra sample
  // "unassociated alpha"); without the mark the library would take the
  // rows as premultiplied and divide them by alpha. EXR is premultiplied by
  // convention: WriteRows multiplies.
  if (format == ImageFormat::Png8 || format == ImageFormat::Png16 || format == ImageFormat::Tiff)
    header.attribute("oiio:UnassociatedAlpha", 1);
  if (format == ImageFormat::Jpeg) header.attribute("CompressionQuality", choice.quality);
  if (!choice.compression.empty()) header.attribute("compression", choice.compression);
  if (!choice.software.empty()) header.attribute("Software", choice.software);
  if (!choice.source.empty()) header.attribute("DocumentName", choice.source);
  m.originY = 0;
  m.asStored = choice.asStored;
  if (choice.region.IsSet()) {
    header.attribute("ImageDescription", DescribeRegion(choice.region));
    if (format == ImageFormat::Exr) {
      // Other tools place the pixels by the data window.
      header.x = choice.region.x0;
      header.y = choice.region.y0;
      header.full_x = 0;
      header.full_y = 0;
      header.full_width = choice.region.fullWidth;
      header.full_height = choice.region.fullHeight;
      m.originY = choice.region.y0;
    }
  }
  TagColourSpace(header, choice);
  m.colour = choice.colour;

  if (format == ImageFormat::Png8 || format == ImageFormat::Png16) {
    // The same chunks the image library writes (and reads back), with the
    // rows compressed side by side.
    PngInfo info;
    info.width = width;
    info.height = height;
    info.bitDepth = format == ImageFormat::Png16 ? 16 : 8;
    info.channels = m.channels;
    if (!IsRawColourSpace(choice.colorspace)) info.colorspace = choice.colorspace;
    if (!choice.software.empty()) info.text.emplace_back("Software", choice.software);
    if (!choice.source.empty()) info.text.emplace_back("Title", choice.source);
    if (choice.region.IsSet()) info.text.emplace_back("Description", DescribeRegion(choice.region));
    m.png = std::make_unique<PngEncoder>();
    OutputFile& file = m.file;
    std::string why;
    if (!m.png->Begin(info, [&file](const void* data, std::size_t size) { return file.Write(data, size); }, why)) {
      file.Fail(why);
      error = "cannot write: " + file.Failure();
      m.Drop();
      return false;
    }
    m.open = true;
    return true;
  }

  m.out = OIIO::ImageOutput::create(WriterName(format));
  if (!m.out) {
    error = "cannot write: " + OneLine(OIIO::geterror(), "no writer for this format");
    m.Drop();
    return false;
  }
  m.proxy = std::make_unique<OutputProxy>(m.file, path);
  if (!m.out->set_ioproxy(m.proxy.get()) || !m.out->open(path, header)) {
    error = m.Reason("open failed");
    m.Drop();
    return false;
  }
  m.open = true;
  return true;
}

bool ImageWriter::WriteRows(int y0, int rows, const float* rgba, std::string& error) {
  Impl& m = *impl_;
  if (!m.open) {
    error = "cannot write: output not open";
    return false;
  }
  const std::size_t pixels = static_cast<std::size_t>(rows) * static_cast<std::size_t>(m.width);
  const auto ch = static_cast<std::size_t>(m.channels);
  bool ok = false;
  if (m.channels == 3) {
    for (std::size_t p = 0; p < pixels && !m.droppedAlpha; ++p) m.droppedAlpha = rgba[p * 4 + 3] != 1.0f;
  }
  // The straight colour converted into the output's colour space; then EXR,
  // premultiplied by convention, multiplied by alpha (unless the rows come
  // as stored). The other formats take the straight colour.
  y0 += m.originY;
  const float* rows4 = rgba;
  const bool premultiply = m.format == ImageFormat::Exr && !m.asStored;
  if (m.colour || premultiply) {
    m.floats.assign(rgba, rgba + pixels * 4);
    rows4 = m.floats.data();
  }
  if (m.colour) m.colour->Apply(m.floats.data(), pixels);
  if (premultiply) {
    for (std::size_t p = 0; p < pixels; ++p) {
      float* px = m.floats.data() + p * 4;
      px[0] *= px[3];
      px[1] *= px[3];
      px[2] *= px[3];
    }
  }
  if (m.png) {
    // Samples as PNG stores them: 16-bit ones big-endian.
    const bool wide = m.data == DataFormat::UInt16;
    m.bytes.resize(pixels * ch * (wide ? 2 : 1));
    unsigned char* b = m.bytes.data();
    for (std::size_t p = 0; p < pixels; ++p) {
      for (std::size_t c = 0; c < ch; ++c) {
        const float v = rows4[p * 4 + c];
        if (wide) {
          const std::uint32_t q = Quantise(v, 65535);
          *b++ = static_cast<unsigned char>(q >> 8);
          *b++ = static_cast<unsigned char>(q);
        } else {
          *b++ = static_cast<unsigned char>(Quantise(v, 255));
        }
      }
    }
    std::string why;
    if (!m.png->AddRows(m.bytes.data(), rows, why)) {
      m.file.Fail(why);
      error = "cannot write: " + m.file.Failure();
      return false;
    }
    return true;
  }
  switch (m.data) {
    case DataFormat::UInt8: {
      m.bytes.resize(pixels * ch);
      for (std::size_t p = 0; p < pixels; ++p)
        for (std::size_t c = 0; c < ch; ++c)
          m.bytes[p * ch + c] = static_cast<unsigned char>(Quantise(rows4[p * 4 + c], 255));
      ok = m.out->write_scanlines(y0, y0 + rows, 0, OIIO::TypeDesc::UINT8, m.bytes.data());
      break;
    }
    case DataFormat::UInt16: {
      m.bytes.resize(pixels * ch * 2);
      auto* words = reinterpret_cast<std::uint16_t*>(m.bytes.data());
      for (std::size_t p = 0; p < pixels; ++p)
        for (std::size_t c = 0; c < ch; ++c) words[p * ch + c] = static_cast<std::uint16_t>(Quantise(rows4[p * 4 + c], 65535));
      ok = m.out->write_scanlines(y0, y0 + rows, 0, OIIO::TypeDesc::UINT16, words);
      break;
    }
    case DataFormat::Half:  // the library rounds each float to the nearest half
    case DataFormat::Float:
      ok = m.out->write_scanlines(y0, y0 + rows, 0, OIIO::TypeDesc::FLOAT, rows4);
      break;
  }
  // The library may carry on past a failed write: the file knows.
  if (!ok || !m.file.Failure().empty()) {
    error = m.Reason("write failed");
    return false;
  }
  return true;
}

bool ImageWriter::Commit(std::string& error) {
  Impl& m = *impl_;
  if (!m.open) {
    error = "cannot write: output not open";
    return false;
  }
  m.open = false;
  if (m.png) {
    std::string why;
    if (!m.png->Finish(why)) m.file.Fail(why);
    m.png.reset();
    return m.file.Commit(error);
  }
  const bool closed = m.out->close();
  std::string message = m.out->geterror();
  if (m.format == ImageFormat::Tiff) {
    // This library version reports a failed Exif directory for every TIFF
    // it writes without Exif data (with libtiff 4.5); the image and its
    // tags are complete, so that one message is no failure.
    static constexpr std::string_view kNoExif = "failed TIFFWriteCustomDirectory() of the Exif data";
    if (const auto at = message.find(kNoExif); at != std::string::npos) message.erase(at, kNoExif.size());
  }
  const std::string why = OneLine(message, "");
  m.out.reset();
  m.proxy.reset();
  if (!closed || !why.empty()) m.file.Fail(why.empty() ? "close failed" : why);
  return m.file.Commit(error);
}

bool ImageWriter::DroppedAlpha() const { return impl_->droppedAlpha; }

std::string DescribeRegion(const Region& r) {
  return "tessary region " + std::to_string(r.x0) + " " + std::to_string(r.y0) + " " + std::to_string(r.x1) + " " +
         std::to_string(r.y1) + " of " + std::to_string(r.fullWidth) + "x" + std::to_string(r.fullHeight);
}

bool ParseRegionDescription(const std::string& text, Region& region) {
  // Whole numbers of at most six digits, exactly where DescribeRegion puts them.
  std::string_view rest = text;
  auto word = [&rest](std::string_view w) {
    if (rest.substr(0, w.size()) != w) return false;
    rest.remove_prefix(w.size());
    return true;
  };
  auto number = [&rest](int& value) {
    std::size_t n = 0;
    while (n < rest.size() && n < 7 && rest[n] >= '0' && rest[n] <= '9') ++n;
    if (n == 0 || n > 6) return false;
    value = 0;
    for (std::size_t i = 0; i < n; ++i) value = value * 10 + (rest[i] - '0');
    rest.remove_prefix(n);
    return true;
  };
  Region r;
  if (!word("tessary region ") || !number(r.x0) || !word(" ") || !number(r.y0) || !word(" ") || !number(r.x1) ||
      !word(" ") || !number(r.y1) || !word(" of ") || !number(r.fullWidth) || !word("x") || !number(r.fullHeight) ||
      !rest.empty())
    return false;
  if (r.fullWidth < 1 || r.fullWidth > kMaxImageSide || r.fullHeight < 1 || r.fullHeight > kMaxImageSide) return false;
  if (r.x0 >= r.x1 || r.y0 >= r.y1 || r.x1 > r.fullWidth || r.y1 > r.fullHeight) return false;
  region = r;
  return true;
}

bool WriteTexture(const std::string& path, const OutputChoice& choice, Image image, std::string& error) {
  if (IsStandardOutput(path)) {
    error = kNoImagesToStandardOutput;
    return false;
  }
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

bool WriteImage(const std::string& path, ImageFormat format, const Image& image, std::string& error) {
  ImageWriter writer;
  if (!writer.Open(path, format, image.width, image.height, error)) return false;
  if (!writer.WriteRows(0, image.height, image.rgba.data(), error)) return false;
  return writer.Commit(error);
}

bool WriteImage(const std::string& path, const OutputChoice& choice, const Image& image, std::string& error) {
  ImageWriter writer;
  if (!writer.Open(path, choice, image.width, image.height, error)) return false;
  if (!writer.WriteRows(0, image.height, image.rgba.data(), error)) return false;
  return writer.Commit(error);
}

}  // namespace tessary::app
