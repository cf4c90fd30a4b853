#include "app/image_io.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>
#include <string_view>
#include <system_error>

#include "app/colour.h"
#include "app/image_module.h"
#include "app/output_file.h"
#include "app/png_decoder.h"
#include "app/png_encoder.h"

namespace tessary::app {

namespace fs = std::filesystem;

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

const char* const kNoImagesToStandardOutput =
    "images are not written to standard output; name a file ending in .png, .jpg, .exr or .tif";

}  // namespace

// The float the image library makes of each 8-bit value (v times 1/255 in
// single precision), for each of the four channels, so 8-bit images kept
// as bytes sample to the same bits as if they had been read as floats.
const float* ByteToFloat() {
  static const std::array<float, 1024> table = [] {
    std::array<float, 1024> floats{};
    for (std::size_t i = 0; i < 1024; ++i) floats[i] = static_cast<float>(i % 256) * (1.0f / 255.0f);
    return floats;
  }();
  return table.data();
}

std::string TooLarge(int width, int height) {
  return "image too large (" + std::to_string(width) + "x" + std::to_string(height) + "; at most " +
         std::to_string(kMaxImagePixels) + " pixels)";
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
  // Common PNGs whose tags the program reads as the image library does are
  // read here; every other file (and a PNG libpng alone fails on, so that a
  // damaged file gets the library's verdict and reason) the library's way.
  PngHeader header;
  if (ReadPngHeader(path, header) && header.direct && header.colorspaceKnown &&
      std::int64_t{header.width} * header.height <= kMaxImagePixels) {
    image = Image();
    image.width = header.width;
    image.height = header.height;
    image.formatColorspace = "sRGB";
    image.colorspace = header.colorspace.empty() ? image.formatColorspace : header.colorspace;
    image.rgba8.resize(static_cast<std::size_t>(header.width) * static_cast<std::size_t>(header.height) * 4);
    image.byteToFloat = ByteToFloat();
    std::string damage;
    if (ReadPngPixels(path, header.width, header.height, image.rgba8.data(), damage) == PngPixels::Read) return true;
    image = Image();
  }
  const ImageModule* images = ImageModuleOrError(error);
  if (!images) {
    error = "cannot read image: " + error;
    return false;
  }
  return images->readImage(path, image, error);
}

ImageLibraryThreads::ImageLibraryThreads(int n) {
  LibraryThreadLimit(previousLimited_, previous_);
  SetLibraryThreadLimit(true, n);
}

ImageLibraryThreads::~ImageLibraryThreads() { SetLibraryThreadLimit(previousLimited_, previous_); }

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

struct ImageWriter::Impl {
  OutputFile file;
  DataFormat data = DataFormat::UInt8;
  bool droppedAlpha = false;
  std::unique_ptr<LibraryWriter> out;  // EXR, TIFF, JPEG: the image library's writer
  std::unique_ptr<PngEncoder> png;     // PNG is written by the program's own encoder
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
    std::string library = out ? out->TakeError() : std::string();
    file.Fail(library.empty() ? fallback : library);
    return "cannot write: " + file.Failure();
  }

  void Drop() {
    out.reset();
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
  m.originY = choice.region.IsSet() && format == ImageFormat::Exr ? choice.region.y0 : 0;
  m.asStored = choice.asStored;
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

  const ImageModule* images = ImageModuleOrError(error);
  if (!images) {
    error = "cannot write: " + error;
    m.Drop();
    return false;
  }
  m.out = images->newWriter();
  std::string why;
  if (!m.out->Open(m.file, path, choice, width, height, m.channels, why)) {
    m.file.Fail(why);
    error = "cannot write: " + m.file.Failure();
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
      ok = m.out->WriteRows(y0, y0 + rows, DataFormat::UInt8, m.bytes.data());
      break;
    }
    case DataFormat::UInt16: {
      m.bytes.resize(pixels * ch * 2);
      auto* words = reinterpret_cast<std::uint16_t*>(m.bytes.data());
      for (std::size_t p = 0; p < pixels; ++p)
        for (std::size_t c = 0; c < ch; ++c) words[p * ch + c] = static_cast<std::uint16_t>(Quantise(rows4[p * 4 + c], 65535));
      ok = m.out->WriteRows(y0, y0 + rows, DataFormat::UInt16, words);
      break;
    }
    case DataFormat::Half:  // the library rounds each float to the nearest half
    case DataFormat::Float:
      ok = m.out->WriteRows(y0, y0 + rows, DataFormat::Float, rows4);
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
  const bool closed = m.out->Close();
  const std::string why = m.out->TakeError();
  m.out.reset();
  if (!closed) m.file.Fail(why.empty() ? "close failed" : why);
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
  const ImageModule* images = ImageModuleOrError(error);
  if (!images) {
    error = "cannot write: " + error;
    return false;
  }
  return images->writeTexture(path, choice, std::move(image), error);
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
