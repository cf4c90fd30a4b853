#pragma once
// Image files: reading any format the image library knows into RGBA
// floats, and writing rendered rows to PNG (8 or 16 bit), JPEG, EXR or TIFF
// (float) through a temporary file that is renamed into place only when
// everything was written (output_file.h). Common PNGs are read and written
// by the program itself; everything else goes through the image library,
// loaded when first needed (image_module.h).
//
// Alpha: the program's colours are straight (not multiplied by alpha).
// Images keep their colour as the file stores it and say whether that is
// premultiplied; sampling (bitmap_tex.h) delivers straight colour. Each
// output format is written in its own convention and tagged so: PNG and
// TIFF straight (TIFF marked as unassociated alpha), EXR premultiplied.

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "host/sdk/color.h"

namespace tessary::app {

class ColourTransform;

// RGBA floats, row 0 at the top of the picture.
// Memory for the pixels of images: large blocks are asked for in huge pages
// where the system has them (a 2048 x 2048 float image is 16,384 ordinary
// pages, each a fault when first written, and 32 huge ones). Throws
// std::bad_alloc as operator new does; free with the same size.
void* AllocateImageMemory(std::size_t bytes);
void FreeImageMemory(void* p, std::size_t bytes) noexcept;

template <class T>
struct ImageAllocator : std::allocator<T> {
  ImageAllocator() = default;
  template <class U>
  ImageAllocator(const ImageAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) { return static_cast<T*>(AllocateImageMemory(n * sizeof(T))); }
  void deallocate(T* p, std::size_t n) noexcept { FreeImageMemory(p, n * sizeof(T)); }
};

// The same, leaving new elements unset (a reader fills them at once):
// growing a vector by it does not write the memory first.
template <class T>
struct UninitialisedAllocator : ImageAllocator<T> {
  UninitialisedAllocator() = default;
  template <class U>
  UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

struct Image {
  int width = 0;
  int height = 0;
  // Four values a pixel, row by row, top row first: floats, or, for 8-bit
  // image files, the bytes as stored (a quarter of the memory), which At()
  // turns into the same floats the image library gives for them.
  std::vector<float, ImageAllocator<float>> rgba;
  std::vector<std::uint8_t, UninitialisedAllocator<std::uint8_t>> rgba8;
  // Set with rgba8: the float of each byte value, one table of 256 for each
  // channel (red, green, blue, alpha, in that order), so that a colour
  // conversion that treats each channel alone is applied exactly here.
  const float* byteToFloat = nullptr;
  std::shared_ptr<const std::vector<float>> ownTables;  // holds byteToFloat when it is not the library's
  // The colour as stored is multiplied by alpha (EXR, TIFF marked as
  // associated alpha); false for straight colour and images without alpha.
  bool premultiplied = false;
  // The colour space of the values: ReadImage sets the file's own tag (an
  // EXR's "colorSpace" attribute as the program writes it, else the image
  // library's "oiio:ColorSpace") or, without one, its format's
  // convention; `formatColorspace` is always the convention: "sRGB" for
  // integer samples (8- and 16-bit PNG, JPEG, TIFF), "linear" for float and
  // half ones (EXR, float TIFF).
  std::string colorspace;
  std::string formatColorspace;
  // Every float value is finite and not -0 (PlainValues): then a bilinear
  // sample at a pixel's centre is that pixel, bit for bit. Set by the
  // scene's image library once an image is read and converted; false
  // (nothing assumed) for images made otherwise.
  bool plainValues = false;

  host::AColor At(int x, int y) const {
    const std::size_t i = 4 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x));
    if (!rgba8.empty()) {
      return host::AColor(byteToFloat[rgba8[i]], byteToFloat[256 + rgba8[i + 1]], byteToFloat[512 + rgba8[i + 2]],
                          byteToFloat[768 + rgba8[i + 3]]);
    }
    return host::AColor(rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]);
  }
};

// The longest side of an image the program renders.
inline constexpr int kMaxImageSide = 65536;

// Images larger than this many pixels are refused (memory stays bounded).
inline constexpr std::int64_t kMaxImagePixels = std::int64_t{1} << 26;

// How a bitmap's colour relates to its alpha: as the file says, or as the
// scene overrides it. The values are those of the scene files.
enum class AlphaMode : int { FromFile = 0, Straight = 1, Premultiplied = 2 };

// Reads the first subimage. One channel is grey, two grey and alpha, three
// RGB with alpha 1, four or more RGBA (further channels are ignored).
// Values are taken as stored (no colour-space conversion, no division or
// multiplication by alpha); `premultiplied` says how the file stores them
// and `colorspace` what they are (ConvertImage in colour.h converts them).
// A truncated or damaged file fails with the reader's own reason, also when
// the library would fill in the missing part and carry on.
bool ReadImage(const std::string& path, Image& image, std::string& error);

// Tx: a tiled, mip-mapped TIFF texture for renderers (.tx), written whole by
// WriteTexture rather than row by row.
enum class ImageFormat { Png8, Png16, Jpeg, Exr, Tiff, Tx };

// How EXR and TIFF output is compressed (the other formats ignore it).
enum class Compression { Zip, None };


// The threads the image library and the EXR library behind it may use while
// reading (decoding, format conversion) and writing (compression), for the
// life of the object; the earlier settings come back afterwards. n = 1: the
// calling thread does all the work and no pool thread is started; n > 1: at
// most n threads each; n <= 0: as many as the machine has. One at a time:
// the settings are the library's global ones. The library is told when it
// is loaded, if that happens later (image_module.h).
class ImageLibraryThreads {
 public:
  explicit ImageLibraryThreads(int n);
  ~ImageLibraryThreads();
  ImageLibraryThreads(const ImageLibraryThreads&) = delete;
  ImageLibraryThreads& operator=(const ImageLibraryThreads&) = delete;

 private:
  bool previousLimited_ = false;
  int previous_ = 0;
};

// The sample type of an output file.
enum class DataFormat { UInt8, UInt16, Half, Float };

// A rectangle of pixels [x0, x1) x [y0, y1) of an image fullWidth x
// fullHeight pixels large, row 0 at the top. fullWidth 0: no region (the
// image is whole).
struct Region {
  int x0 = 0;
  int y0 = 0;
  int x1 = 0;
  int y1 = 0;
  int fullWidth = 0;
  int fullHeight = 0;
  bool IsSet() const { return fullWidth > 0; }
  int Width() const { return x1 - x0; }
  int Height() const { return y1 - y0; }
  bool operator==(const Region&) const = default;
};

// How a region is recorded in its image file (the ImageDescription tag, which
// PNG, TIFF and EXR keep): "tessary region X0 Y0 X1 Y1 of WxH".
std::string DescribeRegion(const Region& region);
// Reads that text back; false for any other text or an impossible region.
bool ParseRegionDescription(const std::string& text, Region& region);

// Everything the writer is told about an output besides its pixels.
struct OutputChoice {
  ImageFormat format = ImageFormat::Png8;
  DataFormat data = DataFormat::UInt8;
  std::string compression;  // EXR, TIFF: the library's name of it ("zip", "piz", "lzw", ...)
  int quality = 95;         // JPEG, 1 to 100
  // Provenance, recorded in the file when set: the program and its version,
  // and the scene the image was rendered from.
  std::string software;
  std::string source;
  // The colour space the file is tagged with ("oiio:ColorSpace"; PNG as
  // sRGB or gAMA chunks, EXR as a "colorSpace" string attribute and, for
  // "sRGB" and "linear", the chromaticities of the sRGB primaries; JPEG as
  // Exif; .tx as the texture maker writes it; TIFF stays
  // untagged, see image_io.cpp); "raw" or empty: no tag. ResolveOutput sets the
  // format's convention: sRGB for 8- and 16-bit samples, linear for half and
  // float ones.
  std::string colorspace;
  // Applied to each band's straight colour before it is written (from the
  // working space into `colorspace`); null: the values as they come.
  std::shared_ptr<const ColourTransform> colour;
  // The image is this region of a larger one: recorded in the file
  // (DescribeRegion; EXR also as its data window inside the display window)
  // so that `tessary assemble` can put it back in place.
  Region region;
  // The rows come as the format stores them (EXR premultiplied) and are
  // written unchanged: for images joined from parts read from files of the
  // same format.
  bool asStored = false;
};

// The output options of a command line as given: 0 or empty when not given.
struct OutputRequest {
  int bits = 0;
  std::string dataFormat;   // "uint8", "uint16", "half", "float"
  std::string compression;  // see CompressionNames
  int quality = 0;          // 1 to 100
};

// The compression names an output format takes, for messages and help:
// EXR "none, rle, zips, zip, piz, pxr24, b44, b44a, dwaa, dwab", TIFF
// "none, lzw, zip, packbits"; empty for PNG and JPEG.
std::string CompressionNames(ImageFormat format);

// The output `path` asks for by its extension, with the request checked
// against it: an option the format does not have is an error naming the
// option and what the format takes (--bits 16 for EXR, --quality for PNG,
// --compression for JPEG), never ignored. Defaults: PNG 8-bit, JPEG 8-bit
// quality 95, EXR float zip, TIFF float zip. --bits N is --data-format uintN.
bool ResolveOutput(const std::string& path, const OutputRequest& request, OutputChoice& choice, std::string& error);

// The format that an output path's extension asks for (.png, .jpg/.jpeg,
// .exr, .tif/.tiff; case does not matter). `bits` 16 selects 16-bit PNG.
// Images are not written to standard output ("-").
bool FormatForPath(const std::string& path, int bits, ImageFormat& format, std::string& error);

// Writes an image row band by row band. Open() creates a temporary file next
// to the destination (so an unwritable destination fails before any work);
// Commit() closes it, flushes it to disk and renames it into place. Every
// step is checked: a full disk fails the write with the reason. Destroying
// an uncommitted writer removes the temporary file: nothing half-written is
// left behind. Rows come as straight colour, converted into the output's
// colour space band by band when the choice carries a conversion, and the
// file is tagged with that space; JPEG drops the alpha. EXR and
// TIFF are compressed as `compression` says; the library compresses the
// blocks of one WriteRows call side by side (ImageLibraryThreads bounds it),
// so a band of many rows keeps all threads busy. PNG is written by the
// program's own encoder (png_encoder.h), which filters the rows and deflates
// fixed pieces of them side by side: the same file for any thread count.
class ImageWriter {
 public:
  ImageWriter();
  ~ImageWriter();
  ImageWriter(const ImageWriter&) = delete;
  ImageWriter& operator=(const ImageWriter&) = delete;

  bool Open(const std::string& path, ImageFormat format, int width, int height, std::string& error,
            Compression compression = Compression::Zip);
  bool Open(const std::string& path, const OutputChoice& choice, int width, int height, std::string& error);
  // Rows [y0, y0 + rows) as RGBA floats, `rows` x width x 4 values, in order.
  // 8- and 16-bit formats clamp into [0, 1] and round (NaN becomes 0).
  bool WriteRows(int y0, int rows, const float* rgba, std::string& error);
  bool Commit(std::string& error);
  void Abandon();
  // Whether rows written to a format without alpha (JPEG) had an alpha
  // other than 1 somewhere, which the file could not keep.
  bool DroppedAlpha() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Writes a tiled (64 x 64), mip-mapped texture of the image (straight
// colour, marked as unassociated alpha; the filter for the smaller levels
// is the image library's default), wrapping periodically as the maps do,
// its colour converted and tagged as `choice` says (the conversion works on
// the image given, which is taken by value: move a render in). The
// texture is made in a hidden temporary file beside the destination and
// renamed into place once complete; a failure leaves nothing behind.
bool WriteTexture(const std::string& path, const OutputChoice& choice, Image image, std::string& error);

// Writes a whole image of floats (a convenience over ImageWriter).
bool WriteImage(const std::string& path, ImageFormat format, const Image& image, std::string& error);
bool WriteImage(const std::string& path, const OutputChoice& choice, const Image& image, std::string& error);

// The image library's float of each byte value, four tables of 256 (one per
// channel, all alike): the table of 8-bit images read as they are stored.
const float* ByteToFloat();

// The message for an image of more than kMaxImagePixels pixels.
std::string TooLarge(int width, int height);

// A library message on one line (its lines joined by "; "), or `fallback`
// when there is none.
std::string OneLine(const std::string& message, const std::string& fallback);

// Whether all `count` values are finite and none is -0.
bool PlainValues(const float* values, std::size_t count);

// Quantisation used for 8- and 16-bit output: clamp into [0, 1], then round
// to nearest of 0..maxValue; NaN gives 0.
std::uint32_t Quantise(float v, std::uint32_t maxValue);

}  // namespace tessary::app
