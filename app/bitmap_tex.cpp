#include "app/bitmap_tex.h"

#include <cmath>
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
  if (!image_) {
    out.Fill(host::AColor(0.0f, 0.0f, 0.0f, 0.0f), n);
    return;
  }
  const bool premultiplied = Premultiplied();
  const float* u = span.U();
  const float* v = span.V();
  for (int k = 0; k < n; ++k) {
    out.Set(k, SampleBilinear(*image_, u[k] * tile[0] + offset[0], v[k] * tile[1] + offset[1], premultiplied));
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
