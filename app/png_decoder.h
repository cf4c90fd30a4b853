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

// Reads the PNG at `path`, which must be width x height pixels, into `rgba`
// (four bytes a pixel, rows top first, width x height x 4 bytes). Nothing is
// printed; libpng's warnings are ignored as the image library ignores them.
PngPixels ReadPngPixels(const std::string& path, int width, int height, std::uint8_t* rgba, std::string& error);

}  // namespace tessary::app
