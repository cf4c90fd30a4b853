#include "app/bitmap_tex.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "host/sdk/iosave.h"
#include "host/sdk/shade_context.h"
#include "host/sdk/shade_span.h"
#include "host/runtime/stdmaps.h"

namespace tessary::app {

namespace {

// Index of the pixel holding coordinate x (in pixels) on an axis of n pixels,
// wrapped into [0, n).
int WrapIndex(float x, int n) {
  const auto nf = static_cast<float>(n);
  float w = x - nf * std::floor(x / nf);
  if (!(w >= 0.0f)) w = 0.0f;  // NaN
  if (w >= nf) w = 0.0f;       // rounding at the top end
  return static_cast<int>(w);
}

host::AColor Unpremultiplied(host::AColor c) {
  if (c.a > 0.0f) {
    c.r /= c.a;
    c.g /= c.a;
    c.b /= c.a;
  }
  return c;
}

// The span sampler: SampleBilinear's arithmetic, written out for a run of
// samples with the pixel format chosen once and nothing out of line, and
// checked against it sample by sample (tests/app/span_render_test.cpp).

// Where x (in pixels) falls on an axis of n pixels: the two pixels around it,
// wrapped, and the fraction between them; a non-finite x reads pixel 0.
struct AxisSample {
  int a;
  int b;
  float f;
};
inline AxisSample Axis(float x, int n) {
  if (!std::isfinite(x)) x = 0.0f;
  const float x0 = std::floor(x);
  // Inside the axis WrapIndex gives x0 itself (n is at most 2^16, so x0 / n
  // stays below 1 and its floor is 0): its division is skipped there.
  const int a = x0 >= 0.0f && x0 < static_cast<float>(n) ? static_cast<int>(x0) : WrapIndex(x0, n);
  return {a, a + 1 == n ? 0 : a + 1, x - x0};
}

// Four channels r, g, b, a side by side: each operation is the scalar
// operation in every lane (IEEE single precision, no contraction), so a lane
// holds exactly the scalar result.
using V4 = float __attribute__((vector_size(16)));
inline V4 Splat(float x) { return V4{x, x, x, x}; }
// MixColors (stdmaps.h) of all four channels at once.
inline V4 Lerp(V4 a, V4 b, float t) { return a + (b - a) * Splat(t); }
// Unpremultiplied: r, g, b divided by alpha where alpha is above 0.
inline V4 Unpremultiplied(V4 c) {
  if (!(c[3] > 0.0f)) return c;
  const V4 q = c / Splat(c[3]);
  return V4{q[0], q[1], q[2], c[3]};
}

// Pixel x of the row starting at `row`, of a float image or of an 8-bit one,
// as Image::At reads it.
struct FloatPixels {
  const float* rgba;
  V4 At(std::size_t row, int x) const {
    V4 v;
    std::memcpy(&v, rgba + row + 4 * static_cast<std::size_t>(x), sizeof(v));
    return v;
  }
  float Alpha(std::size_t row, int x) const { return rgba[row + 4 * static_cast<std::size_t>(x) + 3]; }
};
struct BytePixels {
  const std::uint8_t* rgba;
  const float* toFloat;
  V4 At(std::size_t row, int x) const {
    const std::uint8_t* p = rgba + row + 4 * static_cast<std::size_t>(x);
    return V4{toFloat[p[0]], toFloat[256 + p[1]], toFloat[512 + p[2]], toFloat[768 + p[3]]};
  }
  float Alpha(std::size_t row, int x) const { return toFloat[768 + rgba[row + 4 * static_cast<std::size_t>(x) + 3]]; }
};

struct SpanPlacing {
  float tileU, tileV, offsetU, offsetV;
  bool premultiplied;
  bool centresExact;
};

// Straight colour: the plain mix, or where the alphas differ and all lie in
// [0, 1] the mix weighted by alpha, divided by its alpha (the plain mix
// where that is not above 0).
inline V4 MixStraight(V4 p0, V4 p1, V4 p2, V4 p3, float fx, float fy) {
  const V4 plain = Lerp(Lerp(p0, p1, fx), Lerp(p2, p3, fx), fy);
  const float a0 = p0[3], a1 = p1[3], a2 = p2[3], a3 = p3[3];
  const bool sameAlpha = a0 == a1 && a1 == a2 && a2 == a3;
  const bool unit = a0 >= 0.0f && a0 <= 1.0f && a1 >= 0.0f && a1 <= 1.0f && a2 >= 0.0f && a2 <= 1.0f &&
                    a3 >= 0.0f && a3 <= 1.0f;
  if (sameAlpha || !unit) return plain;
  auto weigh = [](V4 p) { return p * V4{p[3], p[3], p[3], 1.0f}; };
  const V4 weighted = Lerp(Lerp(weigh(p0), weigh(p1), fx), Lerp(weigh(p2), weigh(p3), fx), fy);
  return weighted[3] > 0.0f ? Unpremultiplied(weighted) : plain;
}

#if defined(__SSE2__)
// How far ahead of the pixels read the processor is asked to fetch: half a
// span of a float row.
constexpr std::uintptr_t kPrefetchAhead = 2048;

// Four samples k..k+3 of a row at the centres of four pixels side by side
// (a render at the image's own size, untiled): when the horizontal places
// computed as the loop below computes them are whole numbers x0, x0+1, x0+2,
// x0+3 inside the row, each sample is its pixel divided by its alpha, as
// the centre path below gives it, and the four are read at once and divided
// lane by lane. Returns false, having written nothing, otherwise.
inline bool PremultipliedCentresOfFour(const float* row, int width, const SpanPlacing& s, const float* u,
                                       host::SpanColors& out, int k) {
  const __m128 x = _mm_sub_ps(
      _mm_mul_ps(_mm_add_ps(_mm_mul_ps(_mm_loadu_ps(u + k), _mm_set1_ps(s.tileU)), _mm_set1_ps(s.offsetU)),
                 _mm_set1_ps(static_cast<float>(width))),
      _mm_set1_ps(0.5f));
  // Truncation gives x itself only for whole numbers (and -0, which the
  // centre path reads as pixel 0 too); NaN, infinities and numbers beyond
  // int give something else.
  const __m128i whole = _mm_cvttps_epi32(x);
  if (_mm_movemask_ps(_mm_cmpeq_ps(_mm_cvtepi32_ps(whole), x)) != 0xF) return false;
  const __m128i steps = _mm_sub_epi32(whole, _mm_set_epi32(3, 2, 1, 0));
  const int x0 = _mm_cvtsi128_si32(whole);
  if (_mm_movemask_epi8(_mm_cmpeq_epi32(steps, _mm_set1_epi32(x0))) != 0xFFFF) return false;
  if (x0 < 0 || x0 > width - 4) return false;
  const float* p = row + 4 * static_cast<std::size_t>(x0);
  // The processor's own prefetching stops at page ends, and a span of a
  // float row is a page long.
  _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<std::uintptr_t>(p) + kPrefetchAhead), _MM_HINT_T0);
  __m128 r = _mm_loadu_ps(p), g = _mm_loadu_ps(p + 4), b = _mm_loadu_ps(p + 8), a = _mm_loadu_ps(p + 12);
  _MM_TRANSPOSE4_PS(r, g, b, a);
  // Where alpha is not above 0 (NaN included) the colour stays as it is.
  const __m128 divide = _mm_cmpgt_ps(a, _mm_setzero_ps());
  auto unpremultiplied = [&](__m128 c) {
    return _mm_or_ps(_mm_and_ps(divide, _mm_div_ps(c, a)), _mm_andnot_ps(divide, c));
  };
  _mm_storeu_ps(out.r + k, unpremultiplied(r));
  _mm_storeu_ps(out.g + k, unpremultiplied(g));
  _mm_storeu_ps(out.b + k, unpremultiplied(b));
  _mm_storeu_ps(out.a + k, a);
  return true;
}
#endif

// One sample of a span: x and y as Axis gives them.
template <class Pixels>
inline V4 SampleAt(Pixels pixels, const SpanPlacing& s, std::size_t stride, AxisSample x, AxisSample y) {
  const std::size_t rowA = static_cast<std::size_t>(y.a) * stride;
  const std::size_t rowB = static_cast<std::size_t>(y.b) * stride;
  if (s.centresExact && x.f == 0.0f && y.f == 0.0f) {
    // At a pixel's centre every lerp is x + (y - x) * 0, which is x for
    // finite values other than -0: the mix below is the pixel, or, where
    // the straight mix weighs by alpha, the pixel weighed and divided again.
    const V4 p0 = pixels.At(rowA, x.a);
    if (s.premultiplied) return Unpremultiplied(p0);
    const float a0 = p0[3], a1 = pixels.Alpha(rowA, x.b), a2 = pixels.Alpha(rowB, x.a), a3 = pixels.Alpha(rowB, x.b);
    const bool sameAlpha = a0 == a1 && a1 == a2 && a2 == a3;
    const bool unit = a0 >= 0.0f && a0 <= 1.0f && a1 >= 0.0f && a1 <= 1.0f && a2 >= 0.0f && a2 <= 1.0f &&
                      a3 >= 0.0f && a3 <= 1.0f;
    if (sameAlpha || !unit || !(a0 > 0.0f)) return p0;
    // A negative colour times a tiny alpha can round to -0, which the mix
    // would not keep: such a pixel is mixed below.
    const V4 weighted = p0 * V4{a0, a0, a0, 1.0f};
    auto negativeZero = [](float c) { return c == 0.0f && std::signbit(c); };
    if (!negativeZero(weighted[0]) && !negativeZero(weighted[1]) && !negativeZero(weighted[2]))
      return Unpremultiplied(weighted);
  }
  const V4 p0 = pixels.At(rowA, x.a), p1 = pixels.At(rowA, x.b), p2 = pixels.At(rowB, x.a), p3 = pixels.At(rowB, x.b);
  return s.premultiplied ? Unpremultiplied(Lerp(Lerp(p0, p1, x.f), Lerp(p2, p3, x.f), y.f))
                         : MixStraight(p0, p1, p2, p3, x.f, y.f);
}

template <class Pixels>
void SampleSpan(const Image& image, Pixels pixels, const SpanPlacing& s, const float* u, const float* v, int n,
                host::SpanColors& out) {
  const auto width = static_cast<float>(image.width);
  const auto height = static_cast<float>(image.height);
  const std::size_t stride = 4 * static_cast<std::size_t>(image.width);
  auto axisX = [&](int k) { return Axis((u[k] * s.tileU + s.offsetU) * width - 0.5f, image.width); };
  auto axisY = [&](int k) { return Axis((1.0f - (v[k] * s.tileV + s.offsetV)) * height - 0.5f, image.height); };
  auto store = [&](int k, V4 c) {
    out.r[k] = c[0];
    out.g[k] = c[1];
    out.b[k] = c[2];
    out.a[k] = c[3];
  };
  // Rows of a render share one v: the vertical part once for the span.
  bool oneRow = true;
  for (int k = 1; k < n; ++k) oneRow = oneRow && std::bit_cast<std::uint32_t>(v[k]) == std::bit_cast<std::uint32_t>(v[0]);
  if (!oneRow) {
    for (int k = 0; k < n; ++k) store(k, SampleAt(pixels, s, stride, axisX(k), axisY(k)));
    return;
  }
  if (n <= 0) return;
  const AxisSample y = axisY(0);
#if defined(__SSE2__)
  if constexpr (std::is_same_v<Pixels, FloatPixels>) {
    if (s.premultiplied && s.centresExact && y.f == 0.0f) {
      const float* row = pixels.rgba + static_cast<std::size_t>(y.a) * stride;
      for (int k = 0; k < n;) {
        if (k + 4 <= n && PremultipliedCentresOfFour(row, image.width, s, u, out, k)) {
          k += 4;
        } else {
          store(k, SampleAt(pixels, s, stride, axisX(k), y));
          ++k;
        }
      }
      return;
    }
  }
#endif
  for (int k = 0; k < n; ++k) store(k, SampleAt(pixels, s, stride, axisX(k), y));
}

}  // namespace

host::AColor SampleBilinear(const Image& image, float u, float v, bool premultiplied) {
  if (image.width <= 0 || image.height <= 0) return host::AColor(0.0f, 0.0f, 0.0f, 0.0f);
  float x = u * static_cast<float>(image.width) - 0.5f;
  float y = (1.0f - v) * static_cast<float>(image.height) - 0.5f;
  if (!std::isfinite(x)) x = 0.0f;
  if (!std::isfinite(y)) y = 0.0f;
  const float x0 = std::floor(x);
  const float y0 = std::floor(y);
  const float fx = x - x0;
  const float fy = y - y0;
  const int xa = WrapIndex(x0, image.width);
  const int xb = xa + 1 == image.width ? 0 : xa + 1;
  const int ya = WrapIndex(y0, image.height);
  const int yb = ya + 1 == image.height ? 0 : ya + 1;
  host::AColor p[4] = {image.At(xa, ya), image.At(xb, ya), image.At(xa, yb), image.At(xb, yb)};
  auto mix = [&] { return host::MixColors(host::MixColors(p[0], p[1], fx), host::MixColors(p[2], p[3], fx), fy); };
  if (premultiplied) return Unpremultiplied(mix());
  const bool sameAlpha = p[0].a == p[1].a && p[1].a == p[2].a && p[2].a == p[3].a;
  bool unit = true;
  for (const host::AColor& c : p) unit = unit && c.a >= 0.0f && c.a <= 1.0f;
  if (sameAlpha || !unit) return mix();
  const host::AColor plain = mix();
  for (host::AColor& c : p) {
    c.r *= c.a;
    c.g *= c.a;
    c.b *= c.a;
  }
  const host::AColor weighted = mix();
  return weighted.a > 0.0f ? Unpremultiplied(weighted) : plain;
}

void BitmapTex::SetImage(std::shared_ptr<const Image> image) {
  image_ = std::move(image);
  centresExact_ = false;
  if (!image_) return;
  if (image_->rgba8.empty()) {
    centresExact_ = image_->plainValues;
  } else if (image_->byteToFloat) {
    centresExact_ = PlainValues(image_->byteToFloat, 4 * 256);
  }
}

bool BitmapTex::Premultiplied() const {
  return alpha == AlphaMode::FromFile ? image_->premultiplied : alpha == AlphaMode::Premultiplied;
}

host::AColor BitmapTex::At(float u, float v) const {
  if (!image_) return host::AColor(0.0f, 0.0f, 0.0f, 0.0f);
  return SampleBilinear(*image_, u * tile[0] + offset[0], v * tile[1] + offset[1], Premultiplied());
}

host::AColor BitmapTex::EvalColor(host::ShadeContext& sc) {
  const host::Point3 uv = sc.UVW(1);
  return At(uv.x, uv.y);
}

void BitmapTex::EvalColorSpan(host::ShadeSpan& span, host::SpanColors& out) {
  const int n = span.Count();
  if (!image_ || image_->width <= 0 || image_->height <= 0) {
    out.Fill(host::AColor(0.0f, 0.0f, 0.0f, 0.0f), n);
    return;
  }
  const SpanPlacing placing{tile[0], tile[1], offset[0], offset[1], Premultiplied(), centresExact_};
  if (image_->rgba8.empty()) {
    SampleSpan(*image_, FloatPixels{image_->rgba.data()}, placing, span.U(), span.V(), n, out);
  } else {
    SampleSpan(*image_, BytePixels{image_->rgba8.data(), image_->byteToFloat}, placing, span.U(), span.V(), n,
               out);
  }
}

host::Point3 BitmapTex::EvalNormalPerturb(host::ShadeContext& sc) {
  const host::Point3 uv = sc.UVW(1);
  return host::SlopePerturb([this](float u, float v) { return At(u, v); }, uv.x, uv.y);
}

host::IOResult BitmapTex::Save(host::ISave* isave) {
  isave->BeginChunk(BITMAP_BASE_CHUNK);
  const host::IOResult res = MtlBase::Save(isave);
  if (res != host::IO_OK) return res;
  isave->EndChunk();
  isave->BeginChunk(BITMAP_FILE_CHUNK);
  isave->WriteCString(file.c_str());
  isave->EndChunk();
  isave->BeginChunk(BITMAP_PLACING_CHUNK);
  for (float v : {tile[0], tile[1], offset[0], offset[1]}) host::WriteF32(isave, v);
  isave->EndChunk();
  if (alpha != AlphaMode::FromFile) {
    isave->BeginChunk(BITMAP_ALPHA_CHUNK);
    host::WriteI32(isave, static_cast<std::int32_t>(alpha));
    isave->EndChunk();
  }
  if (!colorspace.empty()) {
    isave->BeginChunk(BITMAP_COLORSPACE_CHUNK);
    isave->WriteCString(colorspace.c_str());
    isave->EndChunk();
  }
  return host::IO_OK;
}

host::IOResult BitmapTex::Load(host::ILoad* iload) {
  bool haveFile = false;
  for (;;) {
    const host::IOResult opened = iload->OpenChunk();
    if (opened == host::IO_END) break;
    if (opened != host::IO_OK) return opened;
    host::IOResult res = host::IO_OK;
    switch (iload->CurChunkID()) {
      case BITMAP_BASE_CHUNK: res = MtlBase::Load(iload); break;
      case BITMAP_FILE_CHUNK: {
        char* text = nullptr;
        if (iload->CurChunkIsContainer() || iload->CurChunkLength() > kMaxBitmapPathBytes) {
          iload->SetErrorMessage("bitmap map: file path chunk of " + std::to_string(iload->CurChunkLength()) +
                                 " bytes is not a path");
          res = host::IO_ERROR;
        } else if (iload->ReadCStringChunk(&text) != host::IO_OK || !text || !*text) {
          iload->SetErrorMessage("bitmap map: the file path is empty or unterminated");
          res = host::IO_ERROR;
        } else {
          file = text;
          haveFile = true;
        }
        break;
      }
      case BITMAP_PLACING_CHUNK:
        if (iload->CurChunkIsContainer() || iload->CurChunkLength() != 16) {
          iload->SetErrorMessage("bitmap map: placing chunk of " + std::to_string(iload->CurChunkLength()) +
                                 " bytes, expected 16");
          res = host::IO_ERROR;
        } else {
          for (float* v : {&tile[0], &tile[1], &offset[0], &offset[1]}) host::ReadF32(iload, *v);
        }
        break;
      case BITMAP_ALPHA_CHUNK: {
        std::int32_t mode = 0;
        if (iload->CurChunkIsContainer() || iload->CurChunkLength() != 4 || host::ReadI32(iload, mode) != host::IO_OK) {
          iload->SetErrorMessage("bitmap map: alpha chunk of " + std::to_string(iload->CurChunkLength()) +
                                 " bytes, expected 4");
          res = host::IO_ERROR;
        } else if (mode != static_cast<std::int32_t>(AlphaMode::Straight) &&
                   mode != static_cast<std::int32_t>(AlphaMode::Premultiplied)) {
          iload->SetErrorMessage("bitmap map: alpha " + std::to_string(mode) +
                                 " is neither 1 (straight) nor 2 (premultiplied)");
          res = host::IO_ERROR;
        } else {
          alpha = static_cast<AlphaMode>(mode);
        }
        break;
      }
      case BITMAP_COLORSPACE_CHUNK: {
        char* text = nullptr;
        if (iload->CurChunkIsContainer() || iload->CurChunkLength() > kMaxColourSpaceNameBytes) {
          iload->SetErrorMessage("bitmap map: colour space chunk of " + std::to_string(iload->CurChunkLength()) +
                                 " bytes is not a colour space name");
          res = host::IO_ERROR;
        } else if (iload->ReadCStringChunk(&text) != host::IO_OK || !text || !*text) {
          iload->SetErrorMessage("bitmap map: the colour space name is empty or unterminated");
          res = host::IO_ERROR;
        } else {
          colorspace = text;
        }
        break;
      }
      default: break;
    }
    iload->CloseChunk();
    if (res != host::IO_OK) return res;
  }
  if (!haveFile) {
    iload->SetErrorMessage("bitmap map without a file path");
    return host::IO_ERROR;
  }
  return host::IO_OK;
}

host::RefTargetHandle BitmapTex::Clone(host::RemapDir& remap) {
  auto* copy = new BitmapTex();
  copy->CopyMtlBaseData(*this);
  copy->file = file;
  copy->tile = tile;
  copy->offset = offset;
  copy->alpha = alpha;
  copy->colorspace = colorspace;
  copy->image_ = image_;
  BaseClone(this, copy, remap);
  return copy;
}

namespace {

class BitmapTexDesc final : public host::ClassDesc2 {
 public:
  int IsPublic() override { return 1; }
  host::Animatable* Create(bool) override { return new (std::nothrow) BitmapTex(); }
  const char* ClassName() override { return "Bitmap"; }
  host::SClass_ID SuperClassID() override { return host::TEXMAP_CLASS_ID; }
  host::Class_ID ClassID() override { return BITMAP_TEX_CLASS_ID; }
  const char* Category() override { return "Standard"; }
  const char* InternalName() override { return "Bitmap"; }
};

}  // namespace

host::ClassDesc2* GetBitmapTexDesc() {
  static BitmapTexDesc desc;
  return &desc;
}

}  // namespace tessary::app
