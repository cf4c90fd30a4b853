#include "app/bitmap_tex.h"

#include <cmath>
#include <cstdint>
#include <new>

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

// MixColors (stdmaps.h), inline.
inline host::AColor Lerp(const host::AColor& a, const host::AColor& b, float t) {
  return host::AColor(a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t);
}

// Pixel (x, y) of a float image or of an 8-bit one, as Image::At reads it.
struct FloatPixels {
  const float* rgba;
  host::AColor At(std::size_t row, int x) const {
    const float* p = rgba + row + 4 * static_cast<std::size_t>(x);
    return host::AColor(p[0], p[1], p[2], p[3]);
  }
};
struct BytePixels {
  const std::uint8_t* rgba;
  const float* toFloat;
  host::AColor At(std::size_t row, int x) const {
    const std::uint8_t* p = rgba + row + 4 * static_cast<std::size_t>(x);
    return host::AColor(toFloat[p[0]], toFloat[p[1]], toFloat[p[2]], toFloat[p[3]]);
  }
};

struct SpanPlacing {
  float tileU, tileV, offsetU, offsetV;
  bool premultiplied;
};

template <class Pixels>
void SampleSpan(const Image& image, Pixels pixels, const SpanPlacing& s, const float* u, const float* v, int n,
                host::SpanColors& out) {
  const auto width = static_cast<float>(image.width);
  const auto height = static_cast<float>(image.height);
  const std::size_t stride = 4 * static_cast<std::size_t>(image.width);
  for (int k = 0; k < n; ++k) {
    const AxisSample x = Axis((u[k] * s.tileU + s.offsetU) * width - 0.5f, image.width);
    const AxisSample y = Axis((1.0f - (v[k] * s.tileV + s.offsetV)) * height - 0.5f, image.height);
    const std::size_t rowA = static_cast<std::size_t>(y.a) * stride;
    const std::size_t rowB = static_cast<std::size_t>(y.b) * stride;
    host::AColor p[4] = {pixels.At(rowA, x.a), pixels.At(rowA, x.b), pixels.At(rowB, x.a), pixels.At(rowB, x.b)};
    auto mix = [&] { return Lerp(Lerp(p[0], p[1], x.f), Lerp(p[2], p[3], x.f), y.f); };
    host::AColor c;
    if (s.premultiplied) {
      c = Unpremultiplied(mix());
    } else {
      const bool sameAlpha = p[0].a == p[1].a && p[1].a == p[2].a && p[2].a == p[3].a;
      bool unit = true;
      for (const host::AColor& q : p) unit = unit && q.a >= 0.0f && q.a <= 1.0f;
      if (sameAlpha || !unit) {
        c = mix();
      } else {
        const host::AColor plain = mix();
        for (host::AColor& q : p) {
          q.r *= q.a;
          q.g *= q.a;
          q.b *= q.a;
        }
        const host::AColor weighted = mix();
        c = weighted.a > 0.0f ? Unpremultiplied(weighted) : plain;
      }
    }
    out.Set(k, c);
  }
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
  const SpanPlacing placing{tile[0], tile[1], offset[0], offset[1], Premultiplied()};
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
