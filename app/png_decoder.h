// Reading the pixels of common 8-bit PNGs straight into an image's bytes.
//
// The image library reads a PNG through a buffer of its own and copies and
// converts each row; for the PNGs a texture artist mostly has (8 bits; grey,
// grey and alpha, RGB or RGBA; not interlaced; no transparency chunk) the
// rows are read here straight into place, as the library would give them:
// grey spread to red, green and blue, a missing alpha 255, values as stored
// (no gamma, no association with alpha).

#pragma once

#include <cstdint>
#include <string>

namespace tessary::app {

enum class PngPixels {
  Read,        // every row is in place
  NotHandled,  // another kind of PNG (or not a PNG): read it the library's way
  Failed,      // the file is damaged; `error` says how
};

// What a PNG's header and the chunks before its pixels say.
struct PngHeader {
  int width = 0;
  int height = 0;
  // 8 bits; grey, grey and alpha, RGB or RGBA; not interlaced; no
  // transparency chunk: ReadPngPixels reads it.
  bool direct = false;
  // The colour space as the image library names it: "sRGB" for an sRGB
  // chunk, "linear" or "GammaX.Y" for a gamma chunk, "sRGB" for none, and
  // an "oiio:ColorSpace" text over all of these (possibly empty).
  // `colorspaceKnown` is false where the file carries what the library may
  // read otherwise (an ICC profile, Exif or XMP data, other colour-space
  // texts): then only the library can say.
  std::string colorspace;
  bool colorspaceKnown = false;
};

// Reads the header of the PNG at `path`; false when it is no PNG or libpng
// refuses it. Nothing is printed.
bool ReadPngHeader(const std::string& path, PngHeader& header);

// Reads the PNG at `path`, which must be width x height pixels, into `rgba`
// (four bytes a pixel, rows top first, width x height x 4 bytes). Nothing is
// printed; libpng's warnings are ignored as the image library ignores them.
PngPixels ReadPngPixels(const std::string& path, int width, int height, std::uint8_t* rgba, std::string& error);

}  // namespace tessary::app
