#include "host/runtime/editor/preview.h"

#include <cmath>

#include "host/sdk/interval.h"
#include "host/sdk/mtl.h"
#include "host/sdk/shade_context.h"

namespace tessary::host::editor {

namespace {

std::uint8_t ToByte(float c) {
  if (!(c > 0.0f)) return 0;  // negative, zero and not-a-number
  if (c >= 1.0f) return 255;
  return static_cast<std::uint8_t>(c * 255.0f + 0.5f);
}

}  // namespace

std::uint32_t PreviewImage::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return 0;
  const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(Stride(width)) +
                         static_cast<std::size_t>(x) * 3;
  return (std::uint32_t{bgr[at + 2]} << 16) | (std::uint32_t{bgr[at + 1]} << 8) | bgr[at];
}

PreviewImage RenderPreview(Texmap& map, TimeValue t, int width, int height) {
  PreviewImage image;
  if (width < 1 || height < 1 || width > 1024 || height > 1024) return image;
  Interval valid = FOREVER;
  map.Update(t, valid);
  image.width = width;
  image.height = height;
  const int stride = PreviewImage::Stride(width);
  image.bgr.assign(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height), 0);
  ShadeContext sc;
  for (int y = 0; y < height; ++y) {
    const float v = 1.0f - (static_cast<float>(y) + 0.5f) / static_cast<float>(height);
    std::uint8_t* row = image.bgr.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride);
    for (int x = 0; x < width; ++x) {
      const float u = (static_cast<float>(x) + 0.5f) / static_cast<float>(width);
      sc.MoveTo(Point3(u, v, 0.0f));
      const AColor c = map.EvalColor(sc);
      row[3 * x] = ToByte(c.b);
      row[3 * x + 1] = ToByte(c.g);
      row[3 * x + 2] = ToByte(c.r);
    }
  }
  return image;
}

std::uint32_t PreviewDigest(const PreviewImage& image) {
  std::uint32_t h = 2166136261u;
  auto mix = [&h](std::uint8_t b) {
    h ^= b;
    h *= 16777619u;
  };
  for (int shift = 0; shift < 32; shift += 8) {
    mix(static_cast<std::uint8_t>(static_cast<std::uint32_t>(image.width) >> shift));
    mix(static_cast<std::uint8_t>(static_cast<std::uint32_t>(image.height) >> shift));
  }
  for (std::uint8_t b : image.bgr) mix(b);
  return h;
}

}  // namespace tessary::host::editor
