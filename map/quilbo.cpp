// The map object: construction, references, sub-maps, layer operations and
// evaluation.

#include "map/quilbo.h"
#include "map/recorder_off.h"

#include <algorithm>
#include <string>

#include "bump/bump_walk.h"
#include "compositing/layer_walk.h"
#include "compositing/span_walk.h"
#include "host/sdk/classdesc.h"
#include "host/sdk/hold.h"
#include "host/sdk/shade_context.h"
#include "host/sdk/shade_span.h"
#include "map/dialog_link.h"
#include "module_text/module_text.h"
#include "map/quilbo_class_desc.h"
#include "resources/resource.h"

namespace tessary {

using namespace host;

namespace {

QuilboDialogFactory dialogFactory = nullptr;

std::string DecimalText(int i) { return std::to_string(i); }

}  // namespace

void SetQuilboDialogFactory(QuilboDialogFactory factory) { dialogFactory = factory; }

Quilbo::Quilbo() {
  validity.SetEmpty();
  texHandleValidity.SetEmpty();
  GetQuilboDesc()->MakeAutoParamBlocks(this);
  ResetOutput();
  Init();
}

Quilbo::~Quilbo() {
  ForgetPendingConversion();
  DiscardTexHandles();
  // The tables free themselves; the references are released by the base.
}

void Quilbo::GetClassName(MSTR& s) {
  const char* name = GetString(IDS_CLASS_NAME);
  s = name ? name : "";
}

IParamBlock2* Quilbo::GetParamBlockByID(BlockID id) {
  return pblock && pblock->ID() == id ? pblock : nullptr;
}

void Quilbo::ResetOutput() { AssignOutput(OutputSettings{}); }

OutputSettings Quilbo::Output() const {
  OutputSettings s;
  s.outputOn = outputOn;
  s.clampOn = clampOn;
  s.alphaShift = alphaShift;
  s.monoOn = monoOn;
  s.brightness = brightness;
  s.contrast = contrast;
  s.gamma = gamma;
  s.hsvShift = hsvShift;
  s.rgbShift = rgbShift;
  return s;
}

void Quilbo::AssignOutput(const OutputSettings& s) {
  outputOn = s.outputOn;
  clampOn = s.clampOn;
  alphaShift = s.alphaShift;
  monoOn = s.monoOn;
  brightness = s.brightness;
  contrast = s.contrast;
  gamma = s.gamma;
  hsvShift = s.hsvShift;
  rgbShift = s.rgbShift;
}

void Quilbo::SetOutput(const OutputSettings& s) {
  AssignOutput(s);
  ValuesChanged();
}

LayerValues Quilbo::GetLayer(int i) const {
  LayerValues v;
  v.mapOn = TableEntry(mapOn, i, kNewLayer.mapOn);
  v.maskOn = TableEntry(maskOn, i, kNewLayer.maskOn);
  v.used = TableEntry(layerUsed, i, kNewLayer.used);
  v.opacity = TableEntry(opacity, i, kNewLayer.opacity);
  v.color = TableEntry(layerColor, i, kNewLayer.color);
  v.mode = TableEntry(blendMode, i, kNewLayer.mode);
  return v;
}

void Quilbo::SetLayer(int i, const LayerValues& v) {
  if (i < 0 || i >= Tables().WalkableLayers()) return;
  mapOn[i] = v.mapOn;
  maskOn[i] = v.maskOn;
  layerUsed[i] = v.used;
  opacity[i] = v.opacity;
  layerColor[i] = v.color;
  blendMode[i] = v.mode;
  MirrorLayerInBlock(i);
  ValuesChanged();
}

void Quilbo::MirrorLayerInBlock(int i) {
  if (!pblock) return;
  RecorderOff recorderOff;
  pblock->SetValue(params::kMapEnabled, 0, mapOn[i], i);
  pblock->SetValue(params::kMaskEnabled, 0, maskOn[i], i);
  pblock->SetValue(params::kMapUsed, 0, layerUsed[i], i);
  pblock->SetValue(params::kColorList, 0, layerColor[i], i);
  pblock->SetValue(params::kOpasityList, 0, opacity[i], i);
  pblock->SetValue(params::kModeList, 0, blendMode[i], i);
  pblock->SetValue(params::kEditIds, 0, DecimalText(i).c_str(), i);
}

void Quilbo::ValuesChanged() {
  validity.SetEmpty();
  DiscardTexHandles();
  NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE, NOTIFY_ALL, true);
}

void* Quilbo::GetProperty(int id) {
  if (id == kLayeredMapInterfaceId) return static_cast<ILayeredMap*>(this);
  return MultiTex::GetProperty(id);
}

void Quilbo::Init() {
  RecorderOff recorderOff;
  validity.SetEmpty();
  firstVisibleLayer = 0;
  // From no layers, one new layer: its sub-map entries are null and its
  // values the new layer's.
  subMaps.SetCount(0);
  SetNumLayers(1);
  ResetOutput();
  loadedLayerVersion = 0;
}

void Quilbo::Reset() {
  DeleteAllRefsFromMe();
  GetQuilboDesc()->MakeAutoParamBlocks(this);
  Init();
}

// --- References ---------------------------------------------------------------

// 2N + 1 for a stack of N layers (the sub-map table holds two entries per
// layer; an odd entry left by a table resized from outside would still have
// its reference, so it is never lost unreleased).
int Quilbo::NumRefs() { return subMaps.Count() + 1; }

RefTargetHandle Quilbo::GetReference(int i) {
  if (i == 0) return pblock;
  if (i >= 1 && i - 1 < subMaps.Count()) return subMaps[i - 1];
  return nullptr;
}

// A slot takes only what fits it: slot 0 a parameter block of the map's own
// schema that no other maker owns, a sub-map slot a texture map. Anything
// else leaves the slot as it was, and the host, seeing that the slot does not
// hold what it offered, undoes the reference (a scene file that offers it
// fails to load).
void Quilbo::SetReference(int i, RefTargetHandle rtarg) {
  if (i == 0) {
    if (rtarg == nullptr) {
      pblock = nullptr;
    } else if (auto* block = dynamic_cast<IParamBlock2*>(rtarg);
               block && block->GetDesc() == &GetQuilboParamBlockDesc() &&
               (block->GetOwner() == nullptr || block->GetOwner() == this)) {
      pblock = block;
    }
    return;
  }
  if (i < 1 || i - 1 >= subMaps.Count()) return;
  if (rtarg == nullptr) {
    subMaps[i - 1] = nullptr;
  } else if (auto* map = dynamic_cast<Texmap*>(rtarg)) {
    subMaps[i - 1] = map;
  }
}

// --- Sub-maps -----------------------------------------------------------------

Texmap* Quilbo::GetSubTexmap(int i) { return i >= 0 && i < subMaps.Count() ? subMaps[i] : nullptr; }

void Quilbo::SetSubTexmap(int i, Texmap* m) {
  if (i < 0) return;
  if (i >= subMaps.Count()) {
    // A slot past the stack grows the stack up to the layer that owns it:
    // the new layers take the defaults, the sub-map table stays at two
    // entries per layer, and every per-layer table and the block follow, so
    // the map saves and loads as it is. A slot past the most layers a map
    // can hold changes nothing.
    if (i / 2 >= kMaxLayers) return;
    SetNumLayers(i / 2 + 1);
    if (i >= subMaps.Count()) return;  // no memory for the layers
  }
  ReplaceReference(i + 1, m);
  validity.SetEmpty();
  if (paramDlg) paramDlg->UpdateRowTexts();
}

MSTR Quilbo::GetSubTexmapSlotName(int i) {
  const char* map = GetString(IDS_MAP);
  // The text, a blank and i + 1 (counted wide enough for any i).
  return std::string(map ? map : "") + " " + std::to_string(static_cast<long long>(i) + 1);
}

bool Quilbo::IsLocalOutputMeaningful(ShadeContext& /*sc*/) {
  const int n = LayerCount();
  for (int i = 0; i < n; ++i) {
    if (SubTexmapOn(2 * i) && subMaps[2 * i]) return true;
  }
  return false;
}

// --- Layer operations ---------------------------------------------------------

bool Quilbo::ResizeLayerTables(int layers, int subMapEntries) {
  // Every table is resized or none: a table that cannot grow puts back the
  // counts of the ones already resized (shrinking never allocates).
  const int before[7] = {subMaps.Count(), mapOn.Count(),   maskOn.Count(),   layerUsed.Count(),
                         layerColor.Count(), opacity.Count(), blendMode.Count()};
  auto resize = [this](int table, int n) {
    switch (table) {
      case 0: return subMaps.SetCount(n);
      case 1: return mapOn.SetCount(n);
      case 2: return maskOn.SetCount(n);
      case 3: return layerUsed.SetCount(n);
      case 4: return layerColor.SetCount(n);
      case 5: return opacity.SetCount(n);
      default: return blendMode.SetCount(n);
    }
  };
  for (int t = 0; t < 7; ++t) {
    if (resize(t, t == 0 ? subMapEntries : layers)) continue;
    for (int u = 0; u < t; ++u) resize(u, before[u]);
    return false;
  }
  return true;
}

void Quilbo::SetNumLayers(int count) {
  const int old = LayerCount();
  if (count < 1 || count > kMaxLayers || count == old) return;

  // Entries that existed before keep their values; only the ones a resize
  // adds get the new-layer defaults. Entries past the old layer count (a
  // table that was resized from outside) are not layers yet and get the
  // defaults too.
  auto keep = [old](int tableCount) { return tableCount < old ? tableCount : old; };
  const int oldMapOn = keep(mapOn.Count());
  const int oldMaskOn = keep(maskOn.Count());
  const int oldUsed = keep(layerUsed.Count());
  const int oldColor = keep(layerColor.Count());
  const int oldOpacity = keep(opacity.Count());
  const int oldMode = keep(blendMode.Count());

  // Room first: when a table cannot grow, nothing has changed. The sub-map
  // table is cut only once the maps of the layers that go are released.
  if (!ResizeLayerTables(count, std::max(subMaps.Count(), 2 * count))) return;

  // Release the maps of the layers that go, bottom to top, map before mask.
  // An odd last entry (a table resized from outside) goes with them: cutting
  // the table must not keep a reference the map can no longer reach.
  for (int first = 2 * count; first < subMaps.Count(); first += 2) {
    const int last = first + 1 < subMaps.Count() ? first + 1 : first;
    for (int e = first; e <= last; ++e) {
      if (subMaps[e]) DeactivateMapsInTree(subMaps[e]);
    }
    for (int e = first; e <= last; ++e) ReplaceReference(e + 1, nullptr);
  }
  subMaps.SetCount(2 * count);  // no larger than it is: cannot fail

  {
    // Every block change the map makes itself happens with the recorder off.
    RecorderOff recorderOff;
    if (pblock) {
      pblock->SetCount(params::kMapList, 2 * count);
      for (ParamID id : params::kPerLayer) pblock->SetCount(id, count);
    }
    // New sub-map entries are null already (the table value-initialises).
    for (int i = old; i < count; ++i) {
      if (pblock) pblock->SetValue(params::kEditIds, 0, DecimalText(i).c_str(), i);
    }
    for (int i = oldMapOn; i < count; ++i) mapOn[i] = kNewLayer.mapOn;
    for (int i = oldMaskOn; i < count; ++i) maskOn[i] = kNewLayer.maskOn;
    for (int i = oldUsed; i < count; ++i) layerUsed[i] = kNewLayer.used;
    for (int i = oldColor; i < count; ++i) layerColor[i] = kNewLayer.color;
    for (int i = oldOpacity; i < count; ++i) opacity[i] = kNewLayer.opacity;
    for (int i = oldMode; i < count; ++i) blendMode[i] = kNewLayer.mode;
  }

  DiscardTexHandles();
  NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE, NOTIFY_ALL, true);
}

namespace {
template <class T>
void SwapEntries(Tab<T>& table, int a, int b) {
  if (a >= table.Count() || b >= table.Count()) return;
  const T keep = table[a];
  table[a] = table[b];
  table[b] = keep;
}
}  // namespace

void Quilbo::SwapLayers(int a, int b) {
  const int n = LayerCount();
  if (a < 0 || b < 0 || a >= n || b >= n) return;
  SwapEntries(opacity, a, b);
  SwapEntries(layerColor, a, b);
  SwapEntries(layerUsed, a, b);
  SwapEntries(mapOn, a, b);
  SwapEntries(maskOn, a, b);
  SwapEntries(blendMode, a, b);
  // The sub-map pointers change places; both stay referenced by this map.
  SwapEntries(subMaps, 2 * a, 2 * b);
  SwapEntries(subMaps, 2 * a + 1, 2 * b + 1);
}

void Quilbo::InsertLayerBefore(int k) {
  const int n = LayerCount();
  if (k <= 0 || k >= n) return;
  SetNumLayers(n + 1);
  for (int i = n; i >= k + 1; --i) SwapLayers(i, i - 1);
}

void Quilbo::DeleteLayer(int k) {
  const int n = LayerCount();
  if (k <= 0 || k >= n) return;
  for (int i = k; i <= n - 2; ++i) SwapLayers(i, i + 1);
  SetNumLayers(n - 1);
}

void Quilbo::DiscardTexHandles() {
  for (TexHandle*& handle : texHandles) {
    if (handle) {
      handle->DeleteThis();
      handle = nullptr;
    }
  }
  texHandleValidity.SetEmpty();
}

// --- Editor -------------------------------------------------------------------

ParamDlg* Quilbo::CreateParamDlg(HWND hwMtlEdit, IMtlParams* imp) {
  if (!dialogFactory) return nullptr;
  return dialogFactory(*this, hwMtlEdit, imp);
}

// --- Evaluation ---------------------------------------------------------------

AColor Quilbo::EvalColor(ShadeContext& sc) {
  AColor cached;
  if (sc.GetCache(this, cached)) return cached;
  if (GetGBufID() != 0) sc.SetGBufferID(GetGBufID());
  const ColorWalkResult r =
      EvalLayeredColor(Tables(), Output(), [&sc](Texmap* map) { return map->EvalColor(sc); });
  // The early result of a stack without layers skips the cache.
  if (r.complete) sc.PutCache(this, r.color);
  return r.color;
}

void Quilbo::EvalColorSpan(ShadeSpan& span, SpanColors& out) {
  if (span.GetCache(this, out)) return;
  // This map's planes, its own whatever maps it holds inside it.
  SpanScratch<ColorSpanScratch> scratch(span);
  if (!scratch.get()) {
    // No memory for them: one sample at a time, the same bits.
    Texmap::EvalColorSpan(span, out);
    return;
  }
  if (GetGBufID() != 0) span.Context().SetGBufferID(GetGBufID());
  const bool complete = EvalLayeredColorSpan(Tables(), Output(), span.Count(), out, *scratch.get(),
                                             [&span](Texmap* map, SpanColors& colors, int /*n*/) {
                                               map->EvalColorSpan(span, colors);
                                             });
  // As per sample: the early result of a stack without layers skips the cache.
  if (complete) span.PutCache(this, out);
}

float Quilbo::EvalMono(ShadeContext& sc) { return Intensity(EvalColor(sc)); }

Point3 Quilbo::EvalNormalPerturb(ShadeContext& sc) {
  if (GetGBufID() != 0) sc.SetGBufferID(GetGBufID());
  return CompositePerturb(
      Tables(), [&sc](Texmap* map) { return map->EvalNormalPerturb(sc); },
      [&sc](Texmap* map) { return map->EvalColor(sc); });
}

}  // namespace tessary
