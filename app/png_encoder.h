// The program's PNG writer: rows filtered and deflated side by side.
//
// A PNG's pixels are one zlib stream. The encoder cuts the filtered rows into
// pieces of a fixed size (kPieceBytes), deflates the pieces on all threads,
// each primed with the 32 KB before it (the window it would have had in one
// stream) and ended on a byte boundary with an empty stored block, so that the
// pieces join into one valid stream; the checksums of the pieces are combined.
// The pieces do not depend on how the rows arrive nor on the number of
// threads: the file is the same for every band height and thread count.

#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tessary::app {

// What a PNG says besides its pixels.
struct PngInfo {
  int width = 0;
  int height = 0;
  int bitDepth = 8;  // 8 or 16
  int channels = 4;  // 1 (grey), 2 (grey, alpha), 3 (RGB) or 4 (RGBA)
  // The colour space the file is tagged with. "sRGB": sRGB, gAMA and cHRM
  // chunks; "linear": gAMA 1.0; "GammaX.Y": gAMA 1 / X.Y (names ignore
  // case); any other name is recorded in the "oiio:ColorSpace" text alone.
  // Empty: no tag. The image library reads every one of these back.
  std::string colorspace;
  // tEXt chunks, in order, before the colour space's text.
  std::vector<std::pair<std::string, std::string>> text;
};

class PngEncoder {
 public:
  // Receives the file's bytes in order; false stops the encoder (the sink
  // keeps its own reason).
  using Sink = std::function<bool(const void* data, std::size_t size)>;

  // The size of the pieces of filtered row bytes deflated side by side.
  static constexpr std::size_t kPieceBytes = std::size_t{256} << 10;

  // Writes the signature and every chunk before the pixels. Sizes of 1 to
  // 2^31 - 1 pixels a side, 8 or 16 bits, 1 to 4 channels; anything else
  // fails with nothing written. Each step's failure gives false with the
  // reason in `error` ("write failed" when the sink refused), and the
  // encoder takes nothing more.
  bool Begin(const PngInfo& info, Sink sink, std::string& error);
  // The next `rows` rows, each width x channels samples as PNG stores them
  // (16-bit samples big-endian), rows packed one after another.
  bool AddRows(const std::uint8_t* samples, int rows, std::string& error);
  // Ends the pixel stream and the file. Fails unless every row was added.
  bool Finish(std::string& error);

 private:
  bool Fail(const std::string& why, std::string& error);
  bool Chunk(const char* type, const void* data, std::size_t size);
  // Deflates the first `pieces` pieces of pending_ (the last one ending the
  // stream when `last`) and writes them as IDAT chunks.
  bool Deflate(std::size_t pieces, bool last, std::string& error);

  PngInfo info_;
  Sink sink_;
  bool open_ = false;
  std::size_t rowBytes_ = 0;
  std::size_t bpp_ = 0;
  int rowsDone_ = 0;
  std::vector<std::uint8_t> previous_;  // the last row added, as stored
  std::vector<std::uint8_t> pending_;   // filtered bytes not deflated yet
  std::vector<std::uint8_t> window_;    // the last 32 KB deflated
  std::uint32_t adler_ = 1;
  bool headerWritten_ = false;
};

}  // namespace tessary::app
