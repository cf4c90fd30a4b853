#pragma once
// The bitmap map: an image file sampled with bilinear filtering and
// wrap-around tiling at the shading context's UV. It saves the file path as
// written in the scene, the tiling and the offset; the program resolves a
// relative path against the scene file's folder and hands the map its image
// before rendering (SetImage). Without an image the map is transparent black.
// It delivers straight colour: an image stored premultiplied (as the file
// says, or as the scene's alpha override says) is divided by its alpha. The
// image it is given is already in the scene's working colour space (the
// program converts it when reading it; `colorspace` says what the file's
// values are when the file's own tag would be wrong).

#include <array>
#include <memory>
#include <string>

#include "app/image_io.h"
#include "host/sdk/classdesc.h"
#include "host/sdk/iosave.h"
#include "host/sdk/mtl.h"

namespace tessary::app {

inline constexpr host::Class_ID BITMAP_TEX_CLASS_ID(0x54530005, 0x00000001);

inline constexpr USHORT BITMAP_BASE_CHUNK = 0x4000;
inline constexpr USHORT BITMAP_FILE_CHUNK = 0x5000;    // the path, NUL-terminated
inline constexpr USHORT BITMAP_PLACING_CHUNK = 0x5010;  // tile u, v, offset u, v: 4 f32
// The alpha override, i32 1 straight or 2 premultiplied; written only when
// set, so files without it read as "as the file says".
inline constexpr USHORT BITMAP_ALPHA_CHUNK = 0x5020;
// The colour space of the file's values (NUL-terminated text); written only
// when set, so files without it read as "as the file says".
inline constexpr USHORT BITMAP_COLORSPACE_CHUNK = 0x5030;

// Paths longer than this are refused when loading.
inline constexpr std::size_t kMaxBitmapPathBytes = 4096;
// Colour space names longer than this are refused when loading.
inline constexpr std::size_t kMaxColourSpaceNameBytes = 1024;

// Bilinear sample with wrap-around tiling: (u, v) = (0, 0) is the lower left
// corner of the image, pixel centres at half-pixel offsets, and coordinates
// outside [0, 1) wrap. A non-finite coordinate reads pixel 0 of its axis.
//
// The result is straight colour. The four pixels are mixed weighted by
// their alpha (as premultiplied colour), so a transparent pixel's colour
// does not bleed into its neighbours (no dark fringes around cut-outs), and
// the mix is divided by its alpha where that is above 0. Where the four
// alphas are equal, or one lies outside [0, 1], straight colour is mixed
// plainly; where the mixed alpha is 0, straight colour is mixed plainly too
// (a premultiplied image: its colour as stored).
host::AColor SampleBilinear(const Image& image, float u, float v, bool premultiplied);
inline host::AColor SampleBilinear(const Image& image, float u, float v) {
  return SampleBilinear(image, u, v, image.premultiplied);
}

class BitmapTex final : public host::Texmap {
 public:
  host::Class_ID ClassID() override { return BITMAP_TEX_CLASS_ID; }
  void GetClassName(host::MSTR& s) override { s = "Bitmap"; }
  host::AColor EvalColor(host::ShadeContext& sc) override;
  // Every sample as EvalColor samples it, without going through the context.
  void EvalColorSpan(host::ShadeSpan& span, host::SpanColors& out) override;
  // The fall of the grey value across a small step in u and v.
  host::Point3 EvalNormalPerturb(host::ShadeContext& sc) override;
  host::IOResult Save(host::ISave* isave) override;
  // A missing or empty path, a path without its terminator or a placing
  // chunk of the wrong size fail the load with a message.
  host::IOResult Load(host::ILoad* iload) override;
  host::RefTargetHandle Clone(host::RemapDir& remap) override;

  void SetImage(std::shared_ptr<const Image> image);
  const Image* GetImage() const { return image_.get(); }

  std::string file;                         // as written in the scene
  std::array<float, 2> tile{1.0f, 1.0f};    // repeats over the unit square
  std::array<float, 2> offset{0.0f, 0.0f};  // added to (u, v) after tiling
  AlphaMode alpha = AlphaMode::FromFile;    // how the image's colour is stored
  std::string colorspace;                   // of the file's values; "" as the file says

 private:
  bool Premultiplied() const;
  host::AColor At(float u, float v) const;
  std::shared_ptr<const Image> image_;
  // Every value of the image is finite and not -0 (float images as the
  // image library found them, 8-bit ones through their tables): a sample at
  // a pixel's centre is then that pixel, bit for bit, without the mix.
  bool centresExact_ = false;
};

host::ClassDesc2* GetBitmapTexDesc();

}  // namespace tessary::app
