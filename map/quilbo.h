#pragma once
// The layered texture map. It holds an ordered stack of N >= 1 layers (layer
// 0 is the base) and the output settings that follow the stack.
//
// References: 0 is the parameter block; 2i + 1 is layer i's map and 2i + 2 its
// mask (sub-map index + 1). The per-layer tables and the output settings are
// the map's own fields and the only values evaluation reads; the block
// mirrors the layer count, holds the texture-map table for the host and the
// per-layer "edit_ids" texts. Hosts reach the map through what it publishes
// (plugin_api/layered_map.h): its class ID and ILayeredMap.

#include "compositing/layer_tables.h"
#include "compositing/output_settings.h"
#include "host/sdk/gfx.h"
#include "host/sdk/iparamb2.h"
#include "host/sdk/mtl.h"
#include "host/sdk/tab.h"
#include "plugin_api/layered_map.h"

namespace tessary {

class QuilboDialogLink;
class CompTexPostLoadCallback;

// Chunk IDs of the map's own data.
inline constexpr unsigned short MTL_HDR_CHUNK = 0x4000;
inline constexpr unsigned short LAYERS_V1_CHUNK = 0x4010;
inline constexpr unsigned short LAYERS_V2_CHUNK = 0x4020;
inline constexpr unsigned short LAYERS_V3_CHUNK = 0x4030;
inline constexpr unsigned short LAYERS_V4_CHUNK = 0x4040;

class Quilbo : public host::MultiTex, public ILayeredMap {
 public:
  Quilbo();
  ~Quilbo() override;

  // --- Identity and lifetime ---
  void GetClassName(host::MSTR& s) override;
  host::Class_ID ClassID() override { return QUILBO_CLASS_ID; }
  void DeleteThis() override { delete this; }

  // --- Sub-anims and parameter blocks ---
  int NumSubs() override { return 2 * LayerCount(); }
  Animatable* SubAnim(int i) override { return GetSubTexmap(i); }
  host::MSTR SubAnimName(int i) override { return GetSubTexmapTVName(i); }
  // Sub-anim i is reference i + 1; a number that is no sub-anim is none (-1).
  int SubNumToRefNum(int subNum) override { return subNum >= 0 && subNum < NumSubs() ? subNum + 1 : -1; }
  int NumParamBlocks() override { return 1; }
  host::IParamBlock2* GetParamBlock(int /*i*/) override { return pblock; }
  host::IParamBlock2* GetParamBlockByID(host::BlockID id) override;

  // --- References ---
  int NumRefs() override;
  host::RefTargetHandle GetReference(int i) override;

  // --- Sub-maps ---
  int NumSubTexmaps() override { return 2 * LayerCount(); }
  host::Texmap* GetSubTexmap(int i) override;
  host::MSTR GetSubTexmapSlotName(int i) override;
  // Slot i past the stack first grows the stack to layer i / 2 (see
  // SetNumLayers); a slot past kMaxLayers layers changes nothing.
  void SetSubTexmap(int i, host::Texmap* m) override;
  void SetNumSubTexmaps(int n) override { SetNumLayers(n); }

  // --- Update, validity, notification, cloning ---
  void Update(host::TimeValue t, host::Interval& valid) override;
  host::Interval Validity(host::TimeValue t) override;
  void Reset() override;
  host::RefResult NotifyRefChanged(const host::Interval& changeInt, host::RefTargetHandle hTarget,
                                   host::PartID& partID, host::RefMessage message, bool propagate) override;
  host::RefTargetHandle Clone(host::RemapDir& remap) override;

  // --- Persistence ---
  host::IOResult Save(host::ISave* isave) override;
  host::IOResult Load(host::ILoad* iload) override;

  // --- Editor ---
  host::ParamDlg* CreateParamDlg(HWND hwMtlEdit, host::IMtlParams* imp) override;

  // --- Evaluation ---
  host::AColor EvalColor(host::ShadeContext& sc) override;
  // The span path of EvalColor: each layer's map and mask evaluated over the
  // span, the mode chosen once per layer, then the output stage over the
  // span; the same bits as EvalColor at every sample, the same use of the
  // cache (the span's) and of the G-buffer ID.
  void EvalColorSpan(host::ShadeSpan& span, host::SpanColors& out) override;
  float EvalMono(host::ShadeContext& sc) override;
  host::Point3 EvalNormalPerturb(host::ShadeContext& sc) override;
  bool IsLocalOutputMeaningful(host::ShadeContext& sc) override;
  // The map's ILayeredMap under kLayeredMapInterfaceId; other IDs as any map.
  void* GetProperty(int id) override;

  // --- Viewport display ---
  bool SupportTexDisplay() override { return true; }
  void ActivateTexDisplay(bool onoff) override;
  bool SupportsMultiMapsInViewport() override { return true; }
  void SetupGfxMultiMaps(host::TimeValue t, host::Material* mtl, host::MtlMakerCallback& cb) override;

  // --- Layer operations ---
  // The initialisation shared by the constructor and Reset: one default
  // layer, default output settings.
  void Init();
  // Sets the number of layers; a count below 1, above kMaxLayers or equal to
  // N does nothing, and so does a count the tables cannot grow to (no
  // memory): nothing changes then.
  void SetNumLayers(int count);
  // Exchanges two layers completely; out-of-range indexes do nothing.
  void SwapLayers(int a, int b);
  // A default layer at k (0 < k < N), the layers from k moving up.
  void InsertLayerBefore(int k);
  // Removes layer k (0 < k < N) with its maps, the layers above moving down.
  void DeleteLayer(int k);
  // Releases the viewport texture handles.
  void DiscardTexHandles();

  // --- ILayeredMap: what hosts read and set ---
  // N: the subMaps count / 2.
  int LayerCount() const override { return subMaps.Count() / 2; }
  LayerValues GetLayer(int i) const override;
  // Sets the tables' entries of layer i and mirrors them in the block; an
  // index some table has no entry for does nothing.
  void SetLayer(int i, const LayerValues& values) override;
  OutputSettings GetOutput() const override { return Output(); }
  void SetOutput(const OutputSettings& s) override;
  int LoadedLayerDataVersion() const override { return loadedLayerVersion; }

  LayerTables<host::Texmap*> Tables() const {
    return {subMaps, mapOn, maskOn, layerUsed, opacity, layerColor, blendMode};
  }
  OutputSettings Output() const;

  // --- Fields, in this order ---
  host::Tab<host::Texmap*> subMaps;  // 2i layer i's map, 2i + 1 its mask
  host::Tab<int> mapOn;
  host::Tab<int> maskOn;
  host::Tab<int> layerUsed;
  host::Tab<float> opacity;  // percent
  host::Tab<host::Color> layerColor;
  host::Tab<int> blendMode;
  host::Interval validity;
  int firstVisibleLayer = 0;
  QuilboDialogLink* paramDlg = nullptr;
  bool outputOn = false;
  bool clampOn = false;
  float alphaShift = 0.0f;
  bool monoOn = false;
  float brightness = 1.0f;
  float contrast = 1.0f;
  float gamma = 1.0f;
  host::AColor hsvShift{0, 0, 0, 0};
  host::AColor rgbShift{0, 0, 0, 0};
  host::IParamBlock2* pblock = nullptr;
  host::TexHandle* texHandles[4] = {nullptr, nullptr, nullptr, nullptr};
  int texHandleMap[4] = {0, 0, 0, 0};
  int numTexHandles = 0;
  host::Interval texHandleValidity;

 protected:
  void SetReference(int i, host::RefTargetHandle rtarg) override;

 private:
  friend class CompTexPostLoadCallback;
  // The default output settings; AssignOutput sets them without telling anyone.
  void ResetOutput();
  void AssignOutput(const OutputSettings& s);
  // After values changed from outside: the cached results go and the maps
  // that use this one are told.
  void ValuesChanged();
  // Writes layer i's values into the block's per-layer tables and its
  // "edit_ids" text, with the macro recorder off.
  void MirrorLayerInBlock(int i);
  // Resizes the sub-map table to subMapEntries and the six per-layer tables
  // to layers, all or none: false, every table as it was, when one cannot
  // grow.
  bool ResizeLayerTables(int layers, int subMapEntries);
  // After a change of the block's "mapList" or "mapEnabled" count from
  // outside: a count the stack cannot take (no layer, too many) is put back
  // to the stack's, so the block keeps mirroring it.
  void RestoreBlockCounts();
  host::IOResult LoadLayerChunk(host::ILoad* iload, int version);
  // A map destroyed before its conversion ran leaves the callback with
  // nothing to convert.
  void ForgetPendingConversion();

  // The conversion of version-1 data registered by Load and not yet run (one
  // per map, however many version-1 chunks a stream holds), and whether the
  // layer data loaded last was version 1 (a newer chunk after it leaves
  // nothing to convert).
  CompTexPostLoadCallback* pendingConversion = nullptr;
  bool version1Loaded = false;
  // The version of the layer data loaded last (0: none).
  int loadedLayerVersion = 0;
};

}  // namespace tessary
