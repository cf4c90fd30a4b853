#include "host/runtime/stdmap_classes.h"

#include <new>

#include "host/sdk/iosave.h"
#include "host/sdk/shade_context.h"
#include "host/sdk/shade_span.h"
#include "host/runtime/class_directory.h"

namespace tessary::host {

namespace {

void WriteColor(ISave* s, const AColor& c) {
  for (float v : {c.r, c.g, c.b, c.a}) WriteF32(s, v);
}

// Reads the fields of a parameter chunk whose size was checked beforehand.
void ReadColor(ILoad* l, AColor& c) {
  ReadF32(l, c.r);
  ReadF32(l, c.g);
  ReadF32(l, c.b);
  ReadF32(l, c.a);
}

Point3 UV(ShadeContext& sc) { return sc.UVW(1); }

// out = eval(params, u, v) at every sample of the span.
template <class Params>
void EvalSpan(AColor (*eval)(const Params&, float, float), const Params& params, ShadeSpan& span,
              SpanColors& out) {
  const float* u = span.U();
  const float* v = span.V();
  const int n = span.Count();
  for (int k = 0; k < n; ++k) out.Set(k, eval(params, u[k], v[k]));
}

}  // namespace

Point3 StdTexmap::EvalNormalPerturb(ShadeContext& sc) {
  const Point3 uv = UV(sc);
  return SlopePerturb([this](float u, float v) { return ColorAt(u, v); }, uv.x, uv.y);
}

IOResult StdTexmap::Save(ISave* isave) {
  isave->BeginChunk(STDMAP_BASE_CHUNK);
  const IOResult res = MtlBase::Save(isave);
  if (res != IO_OK) return res;
  isave->EndChunk();
  isave->BeginChunk(STDMAP_PARAMS_CHUNK);
  WriteParams(isave);
  isave->EndChunk();
  return IO_OK;
}

IOResult StdTexmap::Load(ILoad* iload) {
  for (;;) {
    const IOResult opened = iload->OpenChunk();
    if (opened == IO_END) return IO_OK;
    if (opened != IO_OK) return opened;
    IOResult res = IO_OK;
    if (iload->CurChunkID() == STDMAP_BASE_CHUNK) {
      res = MtlBase::Load(iload);
    } else if (iload->CurChunkID() == STDMAP_PARAMS_CHUNK) {
      MSTR name;
      GetClassName(name);
      std::string why;
      if (iload->CurChunkIsContainer() || iload->CurChunkLength() != ParamBytes()) {
        iload->SetErrorMessage(name + " map: parameter chunk of " + std::to_string(iload->CurChunkLength()) +
                               " bytes, expected " + std::to_string(ParamBytes()));
        res = IO_ERROR;
      } else if (!ReadParams(iload, &why)) {
        iload->SetErrorMessage(name + " map: " + why);
        res = IO_ERROR;
      }
    }
    iload->CloseChunk();
    if (res != IO_OK) return res;
  }
}

// --- Constant -------------------------------------------------------------

void ConstantTex::WriteParams(ISave* isave) const {
  WriteColor(isave, params.color);
  for (float v : {params.perturb.x, params.perturb.y, params.perturb.z}) WriteF32(isave, v);
}

bool ConstantTex::ReadParams(ILoad* iload, std::string*) {
  ReadColor(iload, params.color);
  ReadF32(iload, params.perturb.x);
  ReadF32(iload, params.perturb.y);
  ReadF32(iload, params.perturb.z);
  return true;
}

void ConstantTex::EvalColorSpan(ShadeSpan& span, SpanColors& out) { out.Fill(params.color, span.Count()); }

// --- Checker --------------------------------------------------------------

AColor CheckerTex::EvalColor(ShadeContext& sc) {
  const Point3 uv = UV(sc);
  return EvalChecker(params, uv.x, uv.y);
}

void CheckerTex::EvalColorSpan(ShadeSpan& span, SpanColors& out) { EvalSpan(EvalChecker, params, span, out); }

void CheckerTex::WriteParams(ISave* isave) const {
  WriteColor(isave, params.color1);
  WriteColor(isave, params.color2);
  WriteF32(isave, params.checksU);
  WriteF32(isave, params.checksV);
}

bool CheckerTex::ReadParams(ILoad* iload, std::string*) {
  ReadColor(iload, params.color1);
  ReadColor(iload, params.color2);
  ReadF32(iload, params.checksU);
  ReadF32(iload, params.checksV);
  return true;
}

// --- Gradient -------------------------------------------------------------

AColor GradientTex::EvalColor(ShadeContext& sc) {
  const Point3 uv = UV(sc);
  return EvalGradient(params, uv.x, uv.y);
}

void GradientTex::EvalColorSpan(ShadeSpan& span, SpanColors& out) { EvalSpan(EvalGradient, params, span, out); }

void GradientTex::WriteParams(ISave* isave) const {
  WriteColor(isave, params.color1);
  WriteColor(isave, params.color2);
  WriteColor(isave, params.color3);
  WriteF32(isave, params.center);
  WriteI32(isave, static_cast<std::int32_t>(params.kind));
}

bool GradientTex::ReadParams(ILoad* iload, std::string* why) {
  GradientParams p;
  ReadColor(iload, p.color1);
  ReadColor(iload, p.color2);
  ReadColor(iload, p.color3);
  ReadF32(iload, p.center);
  std::int32_t kind = 0;
  ReadI32(iload, kind);
  if (kind != 0 && kind != 1) {
    *why = "gradient kind " + std::to_string(kind) + " is not 0 (linear) or 1 (radial)";
    return false;
  }
  p.kind = static_cast<GradientKind>(kind);
  params = p;
  return true;
}

// --- Noise ----------------------------------------------------------------

AColor NoiseTex::EvalColor(ShadeContext& sc) {
  const Point3 uv = UV(sc);
  return EvalNoise(params, uv.x, uv.y);
}

void NoiseTex::EvalColorSpan(ShadeSpan& span, SpanColors& out) { EvalSpan(EvalNoise, params, span, out); }

void NoiseTex::WriteParams(ISave* isave) const {
  WriteColor(isave, params.color1);
  WriteColor(isave, params.color2);
  WriteF32(isave, params.size);
  WriteI32(isave, params.octaves);
  WriteI32(isave, static_cast<std::int32_t>(params.kind));
  WriteU32(isave, params.seed);
}

bool NoiseTex::ReadParams(ILoad* iload, std::string* why) {
  NoiseParams p;
  ReadColor(iload, p.color1);
  ReadColor(iload, p.color2);
  ReadF32(iload, p.size);
  std::int32_t octaves = 0;
  std::int32_t kind = 0;
  ReadI32(iload, octaves);
  ReadI32(iload, kind);
  ReadU32(iload, p.seed);
  if (!(p.size > 0.0f)) {
    *why = "noise size must be greater than 0";
    return false;
  }
  if (octaves < 1 || octaves > 10) {
    *why = "noise octaves " + std::to_string(octaves) + " outside 1..10";
    return false;
  }
  if (kind < 0 || kind > 2) {
    *why = "noise kind " + std::to_string(kind) + " is not 0, 1 or 2";
    return false;
  }
  p.octaves = octaves;
  p.kind = static_cast<NoiseKind>(kind);
  params = p;
  return true;
}

// --- Cloning ----------------------------------------------------------------

namespace {

template <class T>
RefTargetHandle CloneStd(T* from, RemapDir& remap) {
  auto* copy = new T();
  copy->CopyMtlBaseData(*from);
  copy->params = from->params;
  from->BaseClone(from, copy, remap);
  return copy;
}

}  // namespace

RefTargetHandle ConstantTex::Clone(RemapDir& remap) { return CloneStd(this, remap); }
RefTargetHandle CheckerTex::Clone(RemapDir& remap) { return CloneStd(this, remap); }
RefTargetHandle GradientTex::Clone(RemapDir& remap) { return CloneStd(this, remap); }
RefTargetHandle NoiseTex::Clone(RemapDir& remap) { return CloneStd(this, remap); }

// --- Descriptors ----------------------------------------------------------

namespace {

template <class T>
class StdTexDesc final : public ClassDesc2 {
 public:
  StdTexDesc(const char* name, Class_ID id) : name_(name), id_(id) {}
  int IsPublic() override { return 1; }
  Animatable* Create(bool) override { return new (std::nothrow) T(); }
  const char* ClassName() override { return name_; }
  SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
  Class_ID ClassID() override { return id_; }
  const char* Category() override { return "Standard"; }
  const char* InternalName() override { return name_; }

 private:
  const char* name_;
  Class_ID id_;
};

}  // namespace

ClassDesc2* GetConstantTexDesc() {
  static StdTexDesc<ConstantTex> desc("Constant", CONSTANT_TEX_CLASS_ID);
  return &desc;
}
ClassDesc2* GetCheckerTexDesc() {
  static StdTexDesc<CheckerTex> desc("Checker", CHECKER_TEX_CLASS_ID);
  return &desc;
}
ClassDesc2* GetGradientTexDesc() {
  static StdTexDesc<GradientTex> desc("Gradient", GRADIENT_TEX_CLASS_ID);
  return &desc;
}
ClassDesc2* GetNoiseTexDesc() {
  static StdTexDesc<NoiseTex> desc("Noise", NOISE_TEX_CLASS_ID);
  return &desc;
}

int RegisterStandardMaps(ClassDirectory& directory) {
  int added = 0;
  for (ClassDesc2* cd : {GetConstantTexDesc(), GetCheckerTexDesc(), GetGradientTexDesc(), GetNoiseTexDesc()}) {
    if (directory.Register(cd)) ++added;
  }
  return added;
}

}  // namespace tessary::host
