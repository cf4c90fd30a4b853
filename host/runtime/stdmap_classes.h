#pragma once
// The host's standard maps as texture-map objects: constant colour, checker,
// gradient and noise. Each holds its parameter set (public, as the editor
// writes it), evaluates at the shading context's UV through the pure
// functions of stdmaps.h, and saves its parameters in a chunk of its own
// after the base-class chunk. Their class descriptors are the host's own;
// RegisterStandardMaps adds them to a class directory.

#include <string>

#include "host/runtime/class_directory.h"
#include "host/sdk/iosave.h"
#include "host/sdk/mtl.h"
#include "host/runtime/stdmaps.h"
#include "host/runtime/runtime_only.h"

namespace tessary::host {

inline constexpr Class_ID CONSTANT_TEX_CLASS_ID(0x54530001, 0x00000001);
inline constexpr Class_ID CHECKER_TEX_CLASS_ID(0x54530002, 0x00000001);
inline constexpr Class_ID GRADIENT_TEX_CLASS_ID(0x54530003, 0x00000001);
inline constexpr Class_ID NOISE_TEX_CLASS_ID(0x54530004, 0x00000001);

// Chunks of a standard map: the base-class data (a container) and the
// parameters (data, little-endian floats and integers).
inline constexpr USHORT STDMAP_BASE_CHUNK = 0x4000;
inline constexpr USHORT STDMAP_PARAMS_CHUNK = 0x5000;

// What the standard maps share: the chunk layout and the slope bump. Each
// evaluates a span (EvalColorSpan) with the same pure function as a sample.
class StdTexmap : public Texmap {
 public:
  Point3 EvalNormalPerturb(ShadeContext& sc) override;
  IOResult Save(ISave* isave) override;
  // Reads the chunks in any order and skips unknown ones. A parameter chunk
  // of the wrong size or with an out-of-range value fails the load with a
  // message naming the map and the value; a missing one keeps the defaults.
  IOResult Load(ILoad* iload) override;

 protected:
  // The colour at (u, v), without the shading context.
  virtual AColor ColorAt(float u, float v) const = 0;
  virtual void WriteParams(ISave* isave) const = 0;
  // Reads exactly ParamBytes() bytes; false with *why set on a bad value.
  virtual bool ReadParams(ILoad* iload, std::string* why) = 0;
  virtual ULONG ParamBytes() const = 0;
};

class ConstantTex final : public StdTexmap {
 public:
  Class_ID ClassID() override { return CONSTANT_TEX_CLASS_ID; }
  void GetClassName(MSTR& s) override { s = "Constant"; }
  AColor EvalColor(ShadeContext&) override { return params.color; }
  void EvalColorSpan(ShadeSpan& span, SpanColors& out) override;
  Point3 EvalNormalPerturb(ShadeContext&) override { return params.perturb; }
  RefTargetHandle Clone(RemapDir& remap) override;
  ConstantParams params;

 protected:
  AColor ColorAt(float u, float v) const override { return EvalConstant(params, u, v); }
  void WriteParams(ISave* isave) const override;
  bool ReadParams(ILoad* iload, std::string* why) override;
  ULONG ParamBytes() const override { return 28; }
};

class CheckerTex final : public StdTexmap {
 public:
  Class_ID ClassID() override { return CHECKER_TEX_CLASS_ID; }
  void GetClassName(MSTR& s) override { s = "Checker"; }
  AColor EvalColor(ShadeContext& sc) override;
  void EvalColorSpan(ShadeSpan& span, SpanColors& out) override;
  RefTargetHandle Clone(RemapDir& remap) override;
  CheckerParams params;

 protected:
  AColor ColorAt(float u, float v) const override { return EvalChecker(params, u, v); }
  void WriteParams(ISave* isave) const override;
  bool ReadParams(ILoad* iload, std::string* why) override;
  ULONG ParamBytes() const override { return 40; }
};

class GradientTex final : public StdTexmap {
 public:
  Class_ID ClassID() override { return GRADIENT_TEX_CLASS_ID; }
  void GetClassName(MSTR& s) override { s = "Gradient"; }
  AColor EvalColor(ShadeContext& sc) override;
  void EvalColorSpan(ShadeSpan& span, SpanColors& out) override;
  RefTargetHandle Clone(RemapDir& remap) override;
  GradientParams params;

 protected:
  AColor ColorAt(float u, float v) const override { return EvalGradient(params, u, v); }
  void WriteParams(ISave* isave) const override;
  bool ReadParams(ILoad* iload, std::string* why) override;
  ULONG ParamBytes() const override { return 56; }
};

class NoiseTex final : public StdTexmap {
 public:
  Class_ID ClassID() override { return NOISE_TEX_CLASS_ID; }
  void GetClassName(MSTR& s) override { s = "Noise"; }
  AColor EvalColor(ShadeContext& sc) override;
  void EvalColorSpan(ShadeSpan& span, SpanColors& out) override;
  RefTargetHandle Clone(RemapDir& remap) override;
  NoiseParams params;

 protected:
  AColor ColorAt(float u, float v) const override { return EvalNoise(params, u, v); }
  void WriteParams(ISave* isave) const override;
  bool ReadParams(ILoad* iload, std::string* why) override;
  ULONG ParamBytes() const override { return 48; }
};

// The descriptors of the four classes (static, alive for the program).
ClassDesc2* GetConstantTexDesc();
ClassDesc2* GetCheckerTexDesc();
ClassDesc2* GetGradientTexDesc();
ClassDesc2* GetNoiseTexDesc();

// Registers the four descriptors; classes already registered are left as
// they are. Returns how many were added.
int RegisterStandardMaps(ClassDirectory& directory);

}  // namespace tessary::host
