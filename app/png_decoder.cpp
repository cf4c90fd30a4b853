#include "app/png_decoder.h"

#include <png.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string_view>

namespace tessary::app {

namespace {

struct ReadState {
  char message[256] = {};
};

[[noreturn]] void OnError(png_structp png, png_const_charp message) {
  if (auto* state = static_cast<ReadState*>(png_get_error_ptr(png)); state && message)
    std::snprintf(state->message, sizeof(state->message), "%s", message);
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// A PNG file open for libpng: its signature checked and libpng's structures
// made; Ready() is false for a file that cannot be opened or is no PNG.
class PngFile {
 public:
  explicit PngFile(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {
    png_byte signature[8];
    if (!file_ || std::fread(signature, 1, 8, file_.get()) != 8 || png_sig_cmp(signature, 0, 8) != 0) return;
    png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state_, OnError, OnWarning);
    if (png_) info_ = png_create_info_struct(png_);
    if (info_) png_set_sig_bytes(png_, 8);
  }
  ~PngFile() {
    if (png_) png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr);
  }
  PngFile(const PngFile&) = delete;
  PngFile& operator=(const PngFile&) = delete;

  bool Ready() const { return info_ != nullptr; }
  png_structp png() const { return png_; }
  png_infop info() const { return info_; }
  std::FILE* file() const { return file_.get(); }
  // libpng's reason for the last failure, if it gave one.
  const char* Message() const { return state_.message[0] ? state_.message : nullptr; }

 private:
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> file_;
  ReadState state_;
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
};

// The part libpng may leave by a long jump: nothing here has a destructor.
PngPixels Decode(png_structp png, png_infop info, std::FILE* file, png_uint_32 width, png_uint_32 height,
                 std::uint8_t* rgba) {
  if (setjmp(png_jmpbuf(png))) return PngPixels::Failed;
  png_init_io(png, file);
  png_read_info(png, info);
  png_uint_32 w = 0;
  png_uint_32 h = 0;
  int depth = 0;
  int colour = 0;
  int interlace = 0;
  png_get_IHDR(png, info, &w, &h, &depth, &colour, &interlace, nullptr, nullptr);
  if (w != width || h != height || depth != 8 || interlace != PNG_INTERLACE_NONE ||
      png_get_valid(png, info, PNG_INFO_tRNS) != 0)
    return PngPixels::NotHandled;
  switch (colour) {
    case PNG_COLOR_TYPE_GRAY:
      png_set_gray_to_rgb(png);
      png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
      break;
    case PNG_COLOR_TYPE_GRAY_ALPHA: png_set_gray_to_rgb(png); break;
    case PNG_COLOR_TYPE_RGB: png_set_filler(png, 0xFF, PNG_FILLER_AFTER); break;
    case PNG_COLOR_TYPE_RGB_ALPHA: break;
    default: return PngPixels::NotHandled;
  }
  png_read_update_info(png, info);
  const std::size_t stride = std::size_t{4} * width;
  if (png_get_rowbytes(png, info) != stride) return PngPixels::NotHandled;
  for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, rgba + y * stride, nullptr);
  // What follows the pixels is not read: the image library does not read it
  // either, so a file without its end reads as before.
  return PngPixels::Read;
}

// The header and the chunks before the pixels; false when libpng refuses
// them. Nothing here has a destructor either.
bool ReadInfo(png_structp png, png_infop info, std::FILE* file) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, file);
  png_read_info(png, info);
  return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view start) {
  if (text.size() < start.size()) return false;
  for (std::size_t i = 0; i < start.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != start[i]) return false;
  return true;
}

bool ContainsNoCase(std::string_view text, std::string_view part) {
  for (std::size_t at = 0; at + part.size() <= text.size(); ++at)
    if (StartsWithNoCase(text.substr(at), part)) return true;
  return false;
}

// The colour space the image library gives the file, as PngHeader says.
void ReadColourSpace(png_structp png, png_infop info, PngHeader& header) {
  header.colorspace = "sRGB";
  int intent = 0;
  double gamma = 0.0;
  if (png_get_sRGB(png, info, &intent) == 0 && png_get_gAMA(png, info, &gamma) != 0 && gamma > 0.0) {
    // The library rounds the exponent to hundredths and names it.
    float g = static_cast<float>(1.0 / gamma);
    g = std::roundf(static_cast<float>(100.0 * static_cast<double>(g))) / 100.0f;
    if (g == 1.0f) {
      header.colorspace = "linear";
    } else {
      char name[32];
      std::snprintf(name, sizeof(name), "Gamma%.2g", static_cast<double>(g));
      header.colorspace = name;
    }
  }
  header.colorspaceKnown = png_get_valid(png, info, PNG_INFO_iCCP) == 0 && png_get_valid(png, info, PNG_INFO_eXIf) == 0;
  png_textp text = nullptr;
  int count = 0;
  png_get_text(png, info, &text, &count);
  int named = 0;
  for (int i = 0; i < count && header.colorspaceKnown; ++i) {
    const std::string_view key = text[i].key ? text[i].key : "";
    if (key == "oiio:ColorSpace") {
      header.colorspace = text[i].text ? text[i].text : "";
      header.colorspaceKnown = ++named == 1;
    } else if (ContainsNoCase(key, "colorspace") || StartsWithNoCase(key, "xml:com.adobe.xmp") ||
               StartsWithNoCase(key, "raw profile type") || StartsWithNoCase(key, "exif")) {
      header.colorspaceKnown = false;
    }
  }
}

}  // namespace

bool ReadPngHeader(const std::string& path, PngHeader& header) {
  header = PngHeader();
  const PngFile f(path);
  if (!f.Ready() || !ReadInfo(f.png(), f.info(), f.file())) return false;
  png_uint_32 w = 0;
  png_uint_32 h = 0;
  int depth = 0;
  int colour = 0;
  int interlace = 0;
  png_get_IHDR(f.png(), f.info(), &w, &h, &depth, &colour, &interlace, nullptr, nullptr);
  header.width = static_cast<int>(w);  // libpng allows at most 2^31 - 1
  header.height = static_cast<int>(h);
  header.direct = depth == 8 && interlace == PNG_INTERLACE_NONE &&
                  png_get_valid(f.png(), f.info(), PNG_INFO_tRNS) == 0 &&
                  (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA ||
                   colour == PNG_COLOR_TYPE_RGB || colour == PNG_COLOR_TYPE_RGB_ALPHA);
  ReadColourSpace(f.png(), f.info(), header);
  return true;
}

PngPixels ReadPngPixels(const std::string& path, int width, int height, std::uint8_t* rgba, std::string& error) {
  if (width <= 0 || height <= 0) return PngPixels::NotHandled;
  const PngFile f(path);
  if (!f.Ready()) return PngPixels::NotHandled;
  const PngPixels result =
      Decode(f.png(), f.info(), f.file(), static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), rgba);
  if (result == PngPixels::Failed) error = f.Message() ? f.Message() : "the PNG could not be decoded";
  return result;
}

}  // namespace tessary::app
