// Update, validity, change notification and cloning of the map.

#include "host/shade_context.h"
#include "map/dialog_link.h"
#include "map/quilbo.h"
#include "plugin/quilbo_class_desc.h"

namespace tessary {

using namespace host;

namespace {
template <class T>
void ResizeTo(Tab<T>& table, int n) {
  if (table.Count() != n) table.SetCount(n);
}
}  // namespace

void Quilbo::Update(TimeValue t, Interval& valid) {
  const int n = pblock ? pblock->Count(params::kMapEnabled) : LayerCount();
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
        } else if (changed == params::kMapEnabled && pblock->Count(params::kMapEnabled) != LayerCount()) {
          SetNumLayers(pblock->Count(params::kMapEnabled));
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

RefTargetHandle Quilbo::Clone(RemapDir& remap) {
  auto* copy = new Quilbo();
  copy->CopyMtlBaseData(*this);
  copy->validity.SetEmpty();
  const int n = LayerCount();
  copy->subMaps.SetCount(2 * n);
  copy->ReplaceReference(0, remap.CloneRef(pblock));
  copy->firstVisibleLayer = firstVisibleLayer;
  copy->mapOn.SetCount(n);
  copy->maskOn.SetCount(n);
  copy->layerUsed.SetCount(n);
  copy->opacity.SetCount(n);
  copy->blendMode.SetCount(n);
  copy->layerColor.SetCount(n);
  for (int i = 0; i < n; ++i) {
    copy->subMaps[2 * i] = nullptr;
    copy->subMaps[2 * i + 1] = nullptr;
    if (subMaps[2 * i]) copy->ReplaceReference(2 * i + 1, remap.CloneRef(subMaps[2 * i]));
    if (subMaps[2 * i + 1]) copy->ReplaceReference(2 * i + 2, remap.CloneRef(subMaps[2 * i + 1]));
    // A table shorter than the stack (see SetSubTexmap) gives the defaults.
    copy->mapOn[i] = i < mapOn.Count() ? mapOn[i] : 1;
    copy->maskOn[i] = i < maskOn.Count() ? maskOn[i] : 1;
    copy->layerUsed[i] = i < layerUsed.Count() ? layerUsed[i] : 1;
    copy->opacity[i] = i < opacity.Count() ? opacity[i] : 100.0f;
    copy->blendMode[i] = i < blendMode.Count() ? blendMode[i] : 0;
    copy->layerColor[i] = i < layerColor.Count() ? layerColor[i] : Color(0.5f, 0.5f, 0.5f);
  }
  BaseClone(this, copy, remap);
  return copy;
}

}  // namespace tessary
