#pragma once
// The material editor's sample of a map: the map's EvalColor over a grid of
// texture coordinates, as 8-bit pixels ready for the screen.

#include <cstdint>
#include <vector>

#include "host/sdk/maxtypes.h"
#include "host/runtime/runtime_only.h"

namespace tessary::host {
class Texmap;
}

namespace tessary::host::editor {

// Pixels top row first, each row blue, green, red per pixel and padded to a
// multiple of four bytes (the layout of a 24-bit top-down DIB).
struct PreviewImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bgr;

  static int Stride(int width) { return (width * 3 + 3) & ~3; }
  // The pixel at (x, y) as 0x00RRGGBB; 0 outside the image.
  std::uint32_t Pixel(int x, int y) const;
};

// Updates the map for time t (as the host does before rendering), then
// evaluates it once per pixel of a width x height grid (each 1 to 1024):
// pixel (x, y) is the sample at the centre of its cell, u = (x + 0.5) / width
// and v = 1 - (y + 0.5) / height, so v grows upwards as in texture space.
// Each channel is clamped to [0, 1] (not-a-number gives 0) and rounded to
// 8 bits. Out-of-range sizes give an empty image.
PreviewImage RenderPreview(Texmap& map, TimeValue t, int width, int height);

// A 32-bit digest (FNV-1a) of the image's size and pixels, to tell two
// renders apart.
std::uint32_t PreviewDigest(const PreviewImage& image);

}  // namespace tessary::host::editor
