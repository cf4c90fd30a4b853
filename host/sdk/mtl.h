#pragma once
// The host's material and texture-map base classes.

#include <utility>
#include <vector>

#include "host/sdk/color.h"
#include "host/sdk/interval.h"
#include "host/sdk/maxtypes.h"
#include "host/sdk/point3.h"
#include "host/sdk/ref.h"
#include "platform/win32.h"

namespace tessary::host {

class IMtlParams;
class ParamDlg;
class ShadeContext;
class ShadeSpan;
struct SpanColors;
class Texmap;
class Material;
class MtlMakerCallback;
class TexHandleMaker;

// The sub-map side of a material or map: numbered slots holding texture maps.
class ISubMap {
 public:
  virtual ~ISubMap() = default;
  virtual int NumSubTexmaps() { return 0; }
  virtual Texmap* GetSubTexmap(int /*i*/) { return nullptr; }
  virtual void SetSubTexmap(int /*i*/, Texmap* /*m*/) {}
  virtual MSTR GetSubTexmapSlotName(int /*i*/) { return MSTR(); }
  // Whether slot i is switched on. Every slot is on by default.
  virtual int SubTexmapOn(int /*i*/) { return 1; }
  // The slot's name in the track view: its slot name by default.
  virtual MSTR GetSubTexmapTVName(int i) { return GetSubTexmapSlotName(i); }
};

// Common base of materials and texture maps: a name, a G-buffer ID and the
// count of viewports that show it.
class MtlBase : public ReferenceTarget, public ISubMap {
 public:
  MtlBase() = default;

  const MSTR& GetName() const { return name_; }
  void SetName(const MSTR& name) { name_ = name; }
  // The name as the host lists it: the name, a blank and the class name in
  // parentheses, "Map #3 (Checker)"; just the name when the class has no
  // name, and just "(Class)" when the object has none.
  MSTR GetFullName();

  int GetGBufID() const { return gbufID_; }
  void SetGBufID(int id) { gbufID_ = id; }

  // Viewport display count: how many viewports show this map. Never
  // negative.
  void IncrActive() { ++activeCount_; }
  void DecrActive() {
    if (activeCount_ > 0) --activeCount_;
  }
  void ClearActive() { activeCount_ = 0; }
  int ActiveCount() const { return activeCount_; }
  bool IsActive() const { return activeCount_ != 0; }

  // Prepares the object for time t and narrows valid to its validity.
  virtual void Update(TimeValue /*t*/, Interval& /*valid*/) {}
  // The interval over which the object stays as it is at t.
  virtual Interval Validity(TimeValue /*t*/) { return FOREVER; }
  // Back to the state of a new object.
  virtual void Reset() {}
  // The object's editor; null when it has none.
  virtual ParamDlg* CreateParamDlg(HWND /*hwMtlEdit*/, IMtlParams* /*imp*/) { return nullptr; }

  // The base class's own chunks: the name (chunk MTLBASE_NAME_CHUNK, a
  // NUL-terminated text) and the G-buffer ID (chunk MTLBASE_GBUFID_CHUNK, a
  // little-endian 32-bit integer), written as sub-chunks of the chunk the
  // caller has begun. Load reads them in any order, skips other chunks and
  // reports IO_ERROR on a malformed stream.
  IOResult Save(ISave* isave) override;
  IOResult Load(ILoad* iload) override;

  // Copies the base-class data (name, G-buffer ID) of from.
  void CopyMtlBaseData(const MtlBase& from) {
    name_ = from.name_;
    gbufID_ = from.gbufID_;
  }

  static constexpr unsigned short MTLBASE_NAME_CHUNK = 0x0100;
  static constexpr unsigned short MTLBASE_GBUFID_CHUNK = 0x0110;

 private:
  MSTR name_;
  int gbufID_ = 0;
  int activeCount_ = 0;
};

// GetProperty ID under which the host hands a map its viewport's hardware
// material interface (IHardwareMaterial*).
inline constexpr int PROPID_HARDWARE_MATERIAL = 115;

// A texture map.
class Texmap : public MtlBase {
 public:
  SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }

  // Colour at the shading context's sample.
  virtual AColor EvalColor(ShadeContext& sc) = 0;
  // Colours at samples 0 .. span.Count() - 1 of the span, into the same
  // samples of out (the rest of out is left as it is). Every sample has the
  // bits EvalColor gives at that sample with a context moved there (its
  // UVW, an empty cache). By default it is exactly that: for each sample the
  // span's context is moved to it and EvalColor called. Maps that can do
  // better over a run of samples override it.
  virtual void EvalColorSpan(ShadeSpan& span, SpanColors& out);
  // Grey value at the sample: by default the mean of EvalColor's r, g and
  // b, computed as ((b + g) + r) * 0.33333334.
  virtual float EvalMono(ShadeContext& sc);
  // Perturbation of the surface normal at the sample (bump mapping).
  virtual Point3 EvalNormalPerturb(ShadeContext& sc) = 0;

  // Viewport display.
  virtual bool SupportTexDisplay() { return false; }
  virtual void ActivateTexDisplay(bool /*onoff*/) {}
  virtual bool SupportsMultiMapsInViewport() { return false; }
  virtual void SetupGfxMultiMaps(TimeValue /*t*/, Material* /*mtl*/, MtlMakerCallback& /*cb*/) {}
  // An image of the map for the viewport; null when the map has none. The
  // image stays valid until the next call on the same map.
  virtual BITMAPINFO* GetVPDisplayDIB(TimeValue /*t*/, TexHandleMaker& /*thmaker*/, Interval& /*valid*/,
                                      bool /*mono*/ = false, int /*forceW*/ = 0, int /*forceH*/ = 0) {
    return nullptr;
  }
  virtual bool IsLocalOutputMeaningful(ShadeContext& /*sc*/) { return false; }

  // Host-provided properties by ID (PROPID_HARDWARE_MATERIAL); null when the
  // host provided none under that ID.
  virtual void* GetProperty(int id);
  // The host (viewport code) provides or withdraws (null) a property.
  void SetHostProperty(int id, void* value);

 private:
  std::vector<std::pair<int, void*>> properties_;
};

// A texture map whose number of sub-maps can be set.
class MultiTex : public Texmap {
 public:
  virtual void SetNumSubTexmaps(int /*n*/) {}
};

// Clears the viewport display of m and of every map below it: each map that
// was shown has its active count cleared and its ActivateTexDisplay(false)
// called. Safe on null and on shared or cyclic sub-map graphs.
void DeactivateMapsInTree(MtlBase* m);

}  // namespace tessary::host
