#include "app/image_io.h"

#include <unistd.h>

#include <OpenImageIO/imageio.h>
#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace tessary::app {

namespace fs = std::filesystem;
namespace OIIO = OIIO_NAMESPACE;

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string OiioError(const std::string& fallback) {
  std::string e = OIIO::geterror();
  while (!e.empty() && (e.back() == '\n' || e.back() == ' ')) e.pop_back();
  return e.empty() ? fallback : e;
}

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

// The float the image library makes of each 8-bit value, taken from the
// library itself once, so 8-bit images kept as bytes sample to the same bits
// as if they had been read as floats.
const float* ByteToFloat() {
  static const std::array<float, 256> table = [] {
    std::array<std::uint8_t, 256> bytes{};
    for (int i = 0; i < 256; ++i) bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    std::array<float, 256> floats{};
    OIIO::convert_pixel_values(OIIO::TypeDesc::UINT8, bytes.data(), OIIO::TypeDesc::FLOAT, floats.data(), 256);
    return floats;
  }();
  return table.data();
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
  auto in = OIIO::ImageInput::open(path);
  if (!in) {
    error = "cannot read image: " + OiioError("unknown format");
    return false;
  }
  const OIIO::ImageSpec header = in->spec_dimensions(0, 0);
  if (header.width <= 0 || header.height <= 0 || header.nchannels <= 0 || header.depth != 1) {
    error = "unsupported image dimensions";
    return false;
  }
  const std::int64_t pixels = std::int64_t{header.width} * std::int64_t{header.height};
  if (pixels > kMaxImagePixels) {
    error = "image too large (" + std::to_string(header.width) + "x" + std::to_string(header.height) +
            "; at most " + std::to_string(kMaxImagePixels) + " pixels)";
    return false;
  }
  // The used channels are read straight into the RGBA buffer (a stride of
  // four values per pixel), then grey is spread and a missing alpha set.
  const int used = std::min(header.nchannels, 4);
  const auto n = static_cast<std::size_t>(pixels);
  image = Image();
  image.width = header.width;
  image.height = header.height;
  bool ok;
  if (header.format == OIIO::TypeDesc::UINT8) {
    image.rgba8.assign(n * 4, 0);
    image.byteToFloat = ByteToFloat();
    ok = in->read_image(0, 0, 0, used, OIIO::TypeDesc::UINT8, image.rgba8.data(), 4);
    if (ok && used < 4) SpreadChannels(image.rgba8.data(), n, used, std::uint8_t{255});
  } else {
    image.rgba.assign(n * 4, 0.0f);
    ok = in->read_image(0, 0, 0, used, OIIO::TypeDesc::FLOAT, image.rgba.data(), 4 * sizeof(float));
    if (ok && used < 4) SpreadChannels(image.rgba.data(), n, used, 1.0f);
  }
  if (!ok) {
    image = Image();
    error = "cannot read image: " + OiioError("read failed (truncated file?)");
    return false;
  }
  in->close();
  return true;
}

bool FormatForPath(const std::string& path, int bits, ImageFormat& format, std::string& error) {
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
  } else {
    error = "unknown output format \"" + ext + "\" (use .png, .jpg, .exr or .tif)";
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
  std::unique_ptr<OIIO::ImageOutput> out;
  ImageFormat format = ImageFormat::Png8;
  std::string finalPath;
  std::string tempPath;
  int width = 0;
  int height = 0;
  int channels = 4;
  bool open = false;
  std::vector<unsigned char> bytes;

  void RemoveTemp() {
    if (out) {
      out->close();
      out.reset();
    }
    if (!tempPath.empty()) {
      std::error_code ec;
      fs::remove(tempPath, ec);
      tempPath.clear();
    }
    open = false;
  }
};

ImageWriter::ImageWriter() : impl_(std::make_unique<Impl>()) {}
ImageWriter::~ImageWriter() { impl_->RemoveTemp(); }
void ImageWriter::Abandon() { impl_->RemoveTemp(); }

bool ImageWriter::Open(const std::string& path, ImageFormat format, int width, int height, std::string& error) {
  Impl& m = *impl_;
  m.RemoveTemp();
  m.format = format;
  m.finalPath = path;
  m.width = width;
  m.height = height;
  m.channels = format == ImageFormat::Jpeg ? 3 : 4;

  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    error = "is a directory";
    return false;
  }
  const fs::path target(path);
  const fs::path dir = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  if (!fs::is_directory(dir, ec)) {
    error = "cannot write: folder \"" + dir.string() + "\" does not exist";
    return false;
  }
  static std::atomic<unsigned> counter{0};
  std::string tempName = ".";
  tempName.append(target.stem().string())
      .append(".tmp-")
      .append(std::to_string(::getpid()))
      .append("-")
      .append(std::to_string(counter++))
      .append(target.extension().string());
  m.tempPath = (dir / tempName).string();

  OIIO::TypeDesc type = OIIO::TypeDesc::FLOAT;
  if (format == ImageFormat::Png8 || format == ImageFormat::Jpeg) type = OIIO::TypeDesc::UINT8;
  if (format == ImageFormat::Png16) type = OIIO::TypeDesc::UINT16;
  OIIO::ImageSpec header(width, height, m.channels, type);
  if (m.channels == 4) header.alpha_channel = 3;
  if (format == ImageFormat::Jpeg) header.attribute("CompressionQuality", 95);
  if (format == ImageFormat::Exr) header.attribute("compression", "zip");
  if (format == ImageFormat::Tiff) header.attribute("compression", "zip");

  m.out = OIIO::ImageOutput::create(m.tempPath);
  if (!m.out) {
    error = "cannot write: " + OiioError("no writer for this format");
    m.tempPath.clear();
    return false;
  }
  if (!m.out->open(m.tempPath, header)) {
    error = "cannot write: " + OiioError("open failed");
    m.out.reset();
    std::error_code ignore;
    fs::remove(m.tempPath, ignore);
    m.tempPath.clear();
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
  switch (m.format) {
    case ImageFormat::Png8:
    case ImageFormat::Jpeg: {
      m.bytes.resize(pixels * ch);
      for (std::size_t p = 0; p < pixels; ++p)
        for (std::size_t c = 0; c < ch; ++c)
          m.bytes[p * ch + c] = static_cast<unsigned char>(Quantise(rgba[p * 4 + c], 255));
      ok = m.out->write_scanlines(y0, y0 + rows, 0, OIIO::TypeDesc::UINT8, m.bytes.data());
      break;
    }
    case ImageFormat::Png16: {
      m.bytes.resize(pixels * 4 * 2);
      auto* words = reinterpret_cast<std::uint16_t*>(m.bytes.data());
      for (std::size_t p = 0; p < pixels * 4; ++p)
        words[p] = static_cast<std::uint16_t>(Quantise(rgba[p], 65535));
      ok = m.out->write_scanlines(y0, y0 + rows, 0, OIIO::TypeDesc::UINT16, words);
      break;
    }
    case ImageFormat::Exr:
    case ImageFormat::Tiff:
      ok = m.out->write_scanlines(y0, y0 + rows, 0, OIIO::TypeDesc::FLOAT, rgba);
      break;
  }
  if (!ok) {
    error = "cannot write: " + OiioError(m.out->geterror());
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
  const bool closed = m.out->close();
  const std::string closeError = closed ? std::string() : OiioError(m.out->geterror());
  m.out.reset();
  m.open = false;
  if (!closed) {
    error = "cannot write: " + closeError;
    m.RemoveTemp();
    return false;
  }
  std::error_code ec;
  fs::rename(m.tempPath, m.finalPath, ec);
  if (ec) {
    error = "cannot write: " + ec.message();
    m.RemoveTemp();
    return false;
  }
  m.tempPath.clear();
  return true;
}

bool WriteImage(const std::string& path, ImageFormat format, const Image& image, std::string& error) {
  ImageWriter writer;
  if (!writer.Open(path, format, image.width, image.height, error)) return false;
  if (!writer.WriteRows(0, image.height, image.rgba.data(), error)) return false;
  return writer.Commit(error);
}

}  // namespace tessary::app
