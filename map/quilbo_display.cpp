// Viewport display: up to four layer maps as texture stages.

#include "map/quilbo.h"

namespace tessary {

using namespace host;

namespace {

// Blending bytes of a software texture record, in the record's field order.
constexpr BYTE kSingleStageBlend[6] = {2, 2, 0, 0, 2, 0};
constexpr BYTE kMultiStageBlend[6] = {7, 2, 0, 0, 2, 0};

void WriteBlendBytes(TextureInfo& ti, bool single) {
  const BYTE* b = single ? kSingleStageBlend : kMultiStageBlend;
  ti.colorOp = b[0];
  ti.colorAlphaSource = b[1];
  ti.colorScale = b[2];
  ti.alphaOp = b[3];
  ti.alphaAlphaSource = b[4];
  ti.alphaScale = b[5];
}

void ApplyStageCodes(IHardwareMaterial& hw, DWORD stage, int stagesInUse) {
  hw.SetTextureColorArg(stage, 1, 2);
  hw.SetTextureColorArg(stage, 2, 1);
  hw.SetTextureAlphaArg(stage, 1, 2);
  hw.SetTextureAlphaArg(stage, 2, 1);
  if (stagesInUse == 1) {
    hw.SetTextureColorOp(stage, 4);
    hw.SetTextureAlphaOp(stage, 3);
    hw.SetDiffuseColor(AColor(1, 1, 1, 1.0f));
    hw.SetAmbientColor(AColor(1, 1, 1, 1.0f));
  } else {
    hw.SetTextureColorOp(stage, 13);
    hw.SetTextureAlphaOp(stage, 3);
  }
  hw.SetTextureTransformFlag(stage, 2);
}

}  // namespace

void Quilbo::ActivateTexDisplay(bool onoff) {
  if (!onoff) DiscardTexHandles();
}

void Quilbo::SetupGfxMultiMaps(TimeValue t, Material* mtl, MtlMakerCallback& cb) {
  auto* hw = static_cast<IHardwareMaterial*>(GetProperty(PROPID_HARDWARE_MATERIAL));
  Interval scratch;
  scratch.SetEmpty();

  // Picks up to min(supported, 4) layer maps, bottom up. The software path
  // also skips layers that are not used.
  Texmap* picked[4] = {nullptr, nullptr, nullptr, nullptr};
  auto pick = [&](bool consultUsed) {
    DiscardTexHandles();
    const int supported = cb.NumberTexturesSupported();
    const int limit = supported < 4 ? supported : 4;
    numTexHandles = 0;
    int k = 0;
    const int n = LayerCount();
    if (limit <= 0) return 0;
    for (int i = 0; i < n; ++i) {
      const bool on = i < mapOn.Count() && mapOn[i] != 0 && subMaps[2 * i];
      const bool used = !consultUsed || (i < layerUsed.Count() && layerUsed[i] != 0);
      if (!on || !used) continue;
      texHandleMap[k] = i;
      picked[k] = subMaps[2 * i];
      ++k;
      if (k >= limit) break;
    }
    return k;
  };
  // The map a stored stage shows (its layer may have changed since).
  auto stageMap = [&](int s) { return GetSubTexmap(2 * texHandleMap[s]); };

  if (hw) {
    if (texHandleValidity.InInterval(t)) {
      hw->SetNumTexStages(static_cast<DWORD>(numTexHandles));
      for (int s = 0; s < numTexHandles; ++s) {
        if (!texHandles[s]) continue;
        hw->SetTexture(static_cast<DWORD>(s), texHandles[s]->GetHandle());
        if (mtl && mtl->texture.Count() > 0) {
          mtl->texture[0].currentStage = s;
          cb.GetGfxTexInfoFromTexmap(t, mtl->texture[0], stageMap(s));
        }
        ApplyStageCodes(*hw, static_cast<DWORD>(s), numTexHandles);
      }
      return;
    }
    const int k = pick(false);
    hw->SetNumTexStages(static_cast<DWORD>(k));
    for (int s = 0; s < k; ++s) hw->SetTexture(static_cast<DWORD>(s), 0);
    numTexHandles = k;
    texHandleValidity = FOREVER;
    for (int s = 0; s < k; ++s) {
      if (mtl && mtl->texture.Count() > 0) {
        mtl->texture[0].currentStage = s;
        cb.GetGfxTexInfoFromTexmap(t, mtl->texture[0], picked[s]);
      }
      BITMAPINFO* image = picked[s]->GetVPDisplayDIB(t, cb, scratch, false, 0, 0);
      texHandles[s] = image ? cb.CreateHandle(image) : nullptr;
      hw->SetTexture(static_cast<DWORD>(s), texHandles[s] ? texHandles[s]->GetHandle() : 0);
      ApplyStageCodes(*hw, static_cast<DWORD>(s), k);
    }
    return;
  }

  if (!mtl) return;
  if (texHandleValidity.InInterval(t)) {
    mtl->texture.SetCount(numTexHandles);
    for (int s = 0; s < numTexHandles; ++s) {
      if (!texHandles[s]) continue;
      mtl->texture[s].textHandle = texHandles[s]->GetHandle();
      cb.GetGfxTexInfoFromTexmap(t, mtl->texture[s], stageMap(s));
      WriteBlendBytes(mtl->texture[s], numTexHandles == 1);
    }
    return;
  }
  const int k = pick(true);
  mtl->texture.SetCount(k);
  for (int s = 0; s < k; ++s) mtl->texture[s].textHandle = 0;
  numTexHandles = k;
  texHandleValidity = FOREVER;
  for (int s = 0; s < k; ++s) {
    cb.GetGfxTexInfoFromTexmap(t, mtl->texture[s], picked[s]);
    BITMAPINFO* image = picked[s]->GetVPDisplayDIB(t, cb, scratch, false, 0, 0);
    texHandles[s] = image ? cb.CreateHandle(image) : nullptr;
    mtl->texture[s].textHandle = texHandles[s] ? texHandles[s]->GetHandle() : 0;
    WriteBlendBytes(mtl->texture[s], k == 1);
  }
}

}  // namespace tessary
