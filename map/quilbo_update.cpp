// Update, validity, change notification and cloning of the map.

#include "host/shade_context.h"
#include "map/dialog_link.h"
#include "map/quilbo.h"
#include "map/recorder_off.h"
#include "map/quilbo_class_desc.h"

namespace tessary {

using namespace host;

namespace {
template <class T>
void ResizeTo(Tab<T>& table, int n) {
  if (table.Count() != n) table.SetCount(n);
}
}  // namespace

void Quilbo::Update(TimeValue t, Interval& valid) {
  // The tables follow the stack. The block's "mapEnabled" count is N too
  // once the map has handled a change of it; a block that says otherwise
  // (a count the stack could not take, a block loaded with another count)
  // must not cut the layers' values away.
  const int n = LayerCount();
  if (!validity.InInterval(t)) {
    validity = FOREVER;
    ResizeTo(mapOn, n);
    ResizeTo(maskOn, n);
    ResizeTo(layerUsed, n);
    ResizeTo(layerColor, n);
    ResizeTo(opacity, n);
    ResizeTo(blendMode, n);
    // Every present sub-map counts, whatever its layer's switches.
    for (int i = 0; i < subMaps.Count(); ++i) {
      if (subMaps[i]) subMaps[i]->Update(t, validity);
    }
  }
  valid &= validity;
}

Interval Quilbo::Validity(TimeValue t) {
  Interval v;
  v.SetEmpty();
  Update(t, v);
  return validity;
}

RefResult Quilbo::NotifyRefChanged(const Interval& /*changeInt*/, RefTargetHandle /*hTarget*/, PartID& partID,
                                   RefMessage message, bool /*propagate*/) {
  switch (message) {
    case REFMSG_CHANGE: {
      if (paramDlg) paramDlg->MarkForReload();
      if (pblock) {
        const ParamID changed = pblock->LastNotifyParamID();
        if (changed == params::kMapList && pblock->Count(params::kMapList) != subMaps.Count()) {
          SetNumLayers(pblock->Count(params::kMapList) / 2);
          RestoreBlockCounts();
        } else if (changed == params::kMapEnabled && pblock->Count(params::kMapEnabled) != LayerCount()) {
          SetNumLayers(pblock->Count(params::kMapEnabled));
          RestoreBlockCounts();
        }
      }
      DiscardTexHandles();
      validity.SetEmpty();
      if (paramDlg && IsActive()) paramDlg->MaterialChanged();
      return REF_SUCCEED;
    }
    case REFMSG_GET_PARAM_NAME: {
      auto* record = reinterpret_cast<GetParamName*>(partID);
      if (record) record->name = GetSubTexmapSlotName(record->index);
      return REF_STOP;
    }
    case REFMSG_GET_PARAM_DIM:
      return REF_STOP;
    default:
      return REF_SUCCEED;
  }
}

void Quilbo::RestoreBlockCounts() {
  // A map always has at least one layer: a count of 0 (or one too large)
  // does not take its layers away; the block goes back to the stack's.
  if (!pblock) return;
  RecorderOff recorderOff;
  const int n = LayerCount();
  if (pblock->Count(params::kMapList) != 2 * n) pblock->SetCount(params::kMapList, 2 * n);
  if (pblock->Count(params::kMapEnabled) != n) pblock->SetCount(params::kMapEnabled, n);
}

RefTargetHandle Quilbo::Clone(RemapDir& remap) {
  auto* copy = new Quilbo();
  copy->CopyMtlBaseData(*this);
  copy->validity.SetEmpty();
  const int n = LayerCount();
  // The new map's own layer has no sub-maps, so its tables can be resized
  // directly; without memory for them there is no clone.
  if (!copy->ResizeLayerTables(n, 2 * n)) {
    copy->DeleteThis();
    return nullptr;
  }
  copy->ReplaceReference(0, remap.CloneRef(pblock));
  copy->firstVisibleLayer = firstVisibleLayer;
  for (int i = 0; i < n; ++i) {
    copy->subMaps[2 * i] = nullptr;
    copy->subMaps[2 * i + 1] = nullptr;
    if (subMaps[2 * i]) copy->ReplaceReference(2 * i + 1, remap.CloneRef(subMaps[2 * i]));
    if (subMaps[2 * i + 1]) copy->ReplaceReference(2 * i + 2, remap.CloneRef(subMaps[2 * i + 1]));
    // A table shorter than the stack (see SetSubTexmap) gives the defaults.
    const LayerValues v = GetLayer(i);
    copy->mapOn[i] = v.mapOn;
    copy->maskOn[i] = v.maskOn;
    copy->layerUsed[i] = v.used;
    copy->opacity[i] = v.opacity;
    copy->blendMode[i] = v.mode;
    copy->layerColor[i] = v.color;
  }
  BaseClone(this, copy, remap);
  return copy;
}

}  // namespace tessary
