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
// Runs of samples at the centres of neighbouring pixels (a render at the
// image's own size, untiled) are sampled four at a time, lane by lane, with
// the arithmetic of the centre path of SampleAt below.

// The first of four whole, consecutive pixel places x0, x0+1, x0+2, x0+3
// inside a row of `width` that samples k..k+3 fall on, computed as Axis's
// callers compute them; -1 if they do not. Truncation gives x itself only
// for whole numbers (and -0, which Axis reads as pixel 0 too); NaN,
// infinities and numbers beyond int give something else.
inline int CentresOfFour(const float* u, int k, const SpanPlacing& s, int width) {
  const __m128 x = _mm_sub_ps(
      _mm_mul_ps(_mm_add_ps(_mm_mul_ps(_mm_loadu_ps(u + k), _mm_set1_ps(s.tileU)), _mm_set1_ps(s.offsetU)),
                 _mm_set1_ps(static_cast<float>(width))),
      _mm_set1_ps(0.5f));
  const __m128i whole = _mm_cvttps_epi32(x);
  if (_mm_movemask_ps(_mm_cmpeq_ps(_mm_cvtepi32_ps(whole), x)) != 0xF) return -1;
  const int x0 = _mm_cvtsi128_si32(whole);
  const __m128i steps = _mm_sub_epi32(whole, _mm_set_epi32(3, 2, 1, 0));
  if (_mm_movemask_epi8(_mm_cmpeq_epi32(steps, _mm_set1_epi32(x0))) != 0xFFFF) return -1;
  return x0 >= 0 && x0 <= width - 4 ? x0 : -1;
}

// Where `mask` is set `yes`, elsewhere `no`.
inline __m128 Select(__m128 mask, __m128 yes, __m128 no) {
  return _mm_or_ps(_mm_and_ps(mask, yes), _mm_andnot_ps(mask, no));
}

// How far ahead of the pixels read the processor is asked to fetch: half a
// span of a float row. Its own prefetching stops at page ends, and a span of
// a float row is a page long.
constexpr std::uintptr_t kPrefetchAhead = 2048;

// Premultiplied float pixels x0..x0+3 of `row`: each divided by its alpha
// where that is above 0 (not NaN), into samples k..k+3.
inline void PremultipliedFloatCentres(const float* row, int x0, host::SpanColors& out, int k) {
  const float* p = row + 4 * static_cast<std::size_t>(x0);
  _mm_prefetch(reinterpret_cast<const char*>(reinterpret_cast<std::uintptr_t>(p) + kPrefetchAhead), _MM_HINT_T0);
  __m128 r = _mm_loadu_ps(p), g = _mm_loadu_ps(p + 4), b = _mm_loadu_ps(p + 8), a = _mm_loadu_ps(p + 12);
  _MM_TRANSPOSE4_PS(r, g, b, a);
  const __m128 divide = _mm_cmpgt_ps(a, _mm_setzero_ps());
  _mm_storeu_ps(out.r + k, Select(divide, _mm_div_ps(r, a), r));
  _mm_storeu_ps(out.g + k, Select(divide, _mm_div_ps(g, a), g));
  _mm_storeu_ps(out.b + k, Select(divide, _mm_div_ps(b, a), b));
  _mm_storeu_ps(out.a + k, a);
}

// Straight pixels x0..x0+3 of the rows at rowA and rowB (the row below,
// wrapped) into samples k..k+3: each pixel as it is, or, where its alpha and
// those of its right, lower and lower right neighbours differ, all lie in
// [0, 1] and its own is above 0, its colour times alpha divided by alpha.
// Returns false, having written nothing, where a colour times alpha rounds
// to -0 (which the mix would not keep).
template <class Pixels>
inline bool StraightCentres(Pixels pixels, std::size_t rowA, std::size_t rowB, int x0, int width,
                            host::SpanColors& out, int k) {
  alignas(16) float r[4], g[4], b[4], a0[4], a1[4], a2[4], a3[4];
  for (int j = 0; j < 4; ++j) {
    const V4 c = pixels.At(rowA, x0 + j);
    r[j] = c[0];
    g[j] = c[1];
    b[j] = c[2];
    a0[j] = c[3];
    a2[j] = pixels.Alpha(rowB, x0 + j);
  }
  const int after = x0 + 4 == width ? 0 : x0 + 4;
  for (int j = 0; j < 3; ++j) {
    a1[j] = a0[j + 1];
    a3[j] = a2[j + 1];
  }
  a1[3] = pixels.Alpha(rowA, after);
  a3[3] = pixels.Alpha(rowB, after);
  const __m128 A0 = _mm_load_ps(a0), A1 = _mm_load_ps(a1), A2 = _mm_load_ps(a2), A3 = _mm_load_ps(a3);
  const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f);
  const __m128 same = _mm_and_ps(_mm_and_ps(_mm_cmpeq_ps(A0, A1), _mm_cmpeq_ps(A1, A2)), _mm_cmpeq_ps(A2, A3));
  auto inUnit = [&](__m128 a) { return _mm_and_ps(_mm_cmpge_ps(a, zero), _mm_cmple_ps(a, one)); };
  const __m128 unit = _mm_and_ps(_mm_and_ps(inUnit(A0), inUnit(A1)), _mm_and_ps(inUnit(A2), inUnit(A3)));
  const __m128 weigh = _mm_and_ps(_mm_andnot_ps(same, unit), _mm_cmpgt_ps(A0, zero));
  const __m128 R = _mm_load_ps(r), G = _mm_load_ps(g), B = _mm_load_ps(b);
  const __m128 wr = _mm_mul_ps(R, A0), wg = _mm_mul_ps(G, A0), wb = _mm_mul_ps(B, A0);
  // The sign bits of the weighed lanes that are zero.
  auto zeroSigns = [&](__m128 w) { return _mm_and_ps(_mm_cmpeq_ps(w, zero), w); };
  if (_mm_movemask_ps(_mm_and_ps(weigh, _mm_or_ps(_mm_or_ps(zeroSigns(wr), zeroSigns(wg)), zeroSigns(wb)))) != 0)
    return false;
  _mm_storeu_ps(out.r + k, Select(weigh, _mm_div_ps(wr, A0), R));
  _mm_storeu_ps(out.g + k, Select(weigh, _mm_div_ps(wg, A0), G));
  _mm_storeu_ps(out.b + k, Select(weigh, _mm_div_ps(wb, A0), B));
  _mm_storeu_ps(out.a + k, A0);
  return true;
}
#endif

// One sample of a span: x and y as Axis gives them.
template <class Pixels>
[[gnu::always_inline]] inline V4 SampleAt(Pixels pixels, const SpanPlacing& s, std::size_t stride, AxisSample x, AxisSample y) {
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
  constexpr bool floats = std::is_same_v<Pixels, FloatPixels>;
  if (s.centresExact && y.f == 0.0f && (floats || !s.premultiplied)) {
    const std::size_t rowA = static_cast<std::size_t>(y.a) * stride;
    const std::size_t rowB = static_cast<std::size_t>(y.b) * stride;
    for (int k = 0; k < n;) {
      const int x0 = k + 4 <= n ? CentresOfFour(u, k, s, image.width) : -1;
      bool four = false;
      if (x0 >= 0) {
        if (!s.premultiplied) {
          four = StraightCentres(pixels, rowA, rowB, x0, image.width, out, k);
        } else if constexpr (floats) {
          PremultipliedFloatCentres(pixels.rgba + rowA, x0, out, k);
          four = true;
        }
      }
      if (four) {
        k += 4;
      } else {
        store(k, SampleAt(pixels, s, stride, axisX(k), y));
        ++k;
      }
    }
    return;
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
