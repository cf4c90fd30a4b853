// Saving and loading the map's own chunks, and the conversion of the oldest
// layer data once a file has been loaded.

#include <cstdint>
#include <string>

#include "host/hold.h"
#include "host/iosave.h"
#include "map/quilbo.h"
#include "map/recorder_off.h"
#include "map/quilbo_class_desc.h"

namespace tessary {

using namespace host;

namespace {

// Layer record size by data version 1..4.
constexpr ULONG kRecordSize[5] = {0, 28, 32, 32, 32};

IOResult WriteFlagByte(ISave* isave, bool flag) {
  const std::uint8_t b = flag ? 1 : 0;
  ULONG written = 0;
  return isave->Write(&b, 1, &written);
}

void ReadFlagByte(ILoad* iload, bool& flag) {
  std::uint8_t b = 0;
  ULONG read = 0;
  if (iload->Read(&b, 1, &read) == IO_OK && read == 1) flag = b != 0;
}

void ReadColor4(ILoad* iload, AColor& c) {
  ReadF32(iload, c.r);
  ReadF32(iload, c.g);
  ReadF32(iload, c.b);
  ReadF32(iload, c.a);
}

// Version-1 mode numbers of eight modes, and what they are now.
int RenumberVersion1Mode(int mode) {
  switch (mode) {
    case 15: return 17;  // Burn
    case 16: return 26;  // Reflect
    case 17: return 20;  // Interpolation
    case 18: return 21;  // Average
    case 19: return 22;  // Hue
    case 20: return 23;  // Saturation
    case 21: return 24;  // Luminance
    case 22: return 25;  // Color
    default: return mode;
  }
}


}  // namespace

// Converts a map loaded from version-1 layer data once the whole file has
// been loaded and its references restored: each layer had one sub-map, which
// the loader put into entry k (reference k + 1); it moves to entry 2k, and
// the old numbers of eight modes are replaced for the layers above the base.
class CompTexPostLoadCallback : public PostLoadCallback {
 public:
  explicit CompTexPostLoadCallback(Quilbo* m) : map(m) {}
  void proc(ILoad* iload) override;
  int Priority() override { return 5; }

  Quilbo* map;  // not owned; null once the map is gone
};

void Quilbo::ForgetPendingConversion() {
  if (pendingConversion) pendingConversion->map = nullptr;
  pendingConversion = nullptr;
}

void CompTexPostLoadCallback::proc(ILoad* /*iload*/) {
  if (!map || !map->version1Loaded) {
    if (map) map->pendingConversion = nullptr;
    delete this;
    return;
  }
  Quilbo& m = *map;
  m.pendingConversion = nullptr;
  m.version1Loaded = false;
  const int n = m.LayerCount();
  // A sub-map restored at entry n or above has no layer to go to: the map
  // releases it rather than keep a reference it cannot place.
  for (int k = m.subMaps.Count() - 1; k >= n; --k) {
    if (m.subMaps[k]) m.ReplaceReference(k + 1, nullptr);
  }
  // Top down, so no entry is overwritten before it has moved.
  for (int k = n - 1; k >= 1; --k) {
    if (m.subMaps[k]) {
      m.subMaps[2 * k] = m.subMaps[k];
      m.subMaps[k] = nullptr;
    }
  }
  for (int j = 1; j < n && j < m.blendMode.Count(); ++j) m.blendMode[j] = RenumberVersion1Mode(m.blendMode[j]);
  delete this;
}

IOResult Quilbo::Save(ISave* isave) {
  isave->BeginChunk(MTL_HDR_CHUNK);
  const IOResult res = MtlBase::Save(isave);
  if (res != IO_OK) return res;
  isave->EndChunk();

  isave->BeginChunk(LAYERS_V4_CHUNK);
  const int n = LayerCount();
  WriteI32(isave, n);
  for (int i = 0; i < n; ++i) {
    // A table shorter than the stack (see SetSubTexmap) saves the new-layer
    // defaults for the entries it lacks.
    const LayerValues v = GetLayer(i);
    WriteI32(isave, v.used);
    WriteF32(isave, v.opacity);
    WriteF32(isave, v.color.r);
    WriteF32(isave, v.color.g);
    WriteF32(isave, v.color.b);
    WriteI32(isave, v.mapOn);
    WriteI32(isave, v.mode);
    WriteI32(isave, v.maskOn);
  }
  WriteFlagByte(isave, outputOn);
  WriteFlagByte(isave, clampOn);
  WriteFlagByte(isave, monoOn);
  WriteF32(isave, alphaShift);
  WriteF32(isave, brightness);
  WriteF32(isave, contrast);
  WriteF32(isave, gamma);
  for (float v : {hsvShift.r, hsvShift.g, hsvShift.b, hsvShift.a}) WriteF32(isave, v);
  for (float v : {rgbShift.r, rgbShift.g, rgbShift.b, rgbShift.a}) WriteF32(isave, v);
  isave->EndChunk();
  return IO_OK;
}

IOResult Quilbo::Load(ILoad* iload) {
  for (;;) {
    const IOResult opened = iload->OpenChunk();
    if (opened == IO_END) return IO_OK;
    if (opened != IO_OK) return opened;
    IOResult res = IO_OK;
    switch (iload->CurChunkID()) {
      case MTL_HDR_CHUNK: res = MtlBase::Load(iload); break;
      case LAYERS_V1_CHUNK: res = LoadLayerChunk(iload, 1); break;
      case LAYERS_V2_CHUNK: res = LoadLayerChunk(iload, 2); break;
      case LAYERS_V3_CHUNK: res = LoadLayerChunk(iload, 3); break;
      case LAYERS_V4_CHUNK: res = LoadLayerChunk(iload, 4); break;
      default: break;  // not ours: skipped
    }
    iload->CloseChunk();
    if (res != IO_OK) return res;
  }
}

IOResult Quilbo::LoadLayerChunk(ILoad* iload, int version) {
  const ULONG length = iload->CurChunkIsContainer() ? 0 : iload->CurChunkLength();
  std::int32_t n = 0;
  if (ReadI32(iload, n) != IO_OK) {
    iload->SetErrorMessage("Tessary layer data (version " + std::to_string(version) +
                           ") is too short to hold its layer count");
    return IO_ERROR;
  }
  // Never trust the count: the records must fit the chunk at this version's
  // record size before anything is allocated for them. Nothing of the map
  // changes when they do not. What follows the records (the hsv shift, the
  // output block) may be cut short: the fields it does not reach keep their
  // values.
  const ULONG room = (length - 4) / kRecordSize[version];
  if (n < 0 || static_cast<ULONG>(n) > room || n > kMaxParamTabCount) {
    iload->SetErrorMessage("Tessary layer data (version " + std::to_string(version) + ") claims " +
                           std::to_string(n) + " layers, but its " + std::to_string(length) +
                           "-byte chunk holds at most " + std::to_string(room));
    return IO_ERROR;
  }

  // Load runs before the references are restored: the sub-map entries hold
  // nothing the graph owns yet, and the table can be resized directly.
  if (!ResizeLayerTables(n, 2 * n)) {
    iload->SetErrorMessage("Tessary layer data (version " + std::to_string(version) + "): no memory for " +
                           std::to_string(n) + " layers");
    return IO_ERROR;
  }

  RecorderOff recorderOff;
  if (pblock) {
    for (ParamID id : params::kPerLayer) pblock->SetCount(id, n);
  }
  for (int i = 0; i < n; ++i) {
    subMaps[2 * i] = nullptr;
    subMaps[2 * i + 1] = nullptr;
    ReadI32(iload, layerUsed[i]);
    ReadF32(iload, opacity[i]);
    ReadF32(iload, layerColor[i].r);
    ReadF32(iload, layerColor[i].g);
    ReadF32(iload, layerColor[i].b);
    ReadI32(iload, mapOn[i]);
    ReadI32(iload, blendMode[i]);
    if (version == 1) {
      maskOn[i] = kNewLayer.maskOn;  // version 1 has no mask switch
    } else {
      ReadI32(iload, maskOn[i]);
    }
    MirrorLayerInBlock(i);
  }
  loadedLayerVersion = version;

  if (version != 1) version1Loaded = false;
  switch (version) {
    case 1:
      hsvShift = AColor(0, 0, 0, 0);
      // Converted once after the load, however many version-1 chunks come.
      version1Loaded = true;
      if (!pendingConversion) {
        pendingConversion = new CompTexPostLoadCallback(this);
        iload->RegisterPostLoadCallback(pendingConversion);
      }
      break;
    case 2:
      hsvShift = AColor(0, 0, 0, 0);
      break;
    case 3:
      ReadColor4(iload, hsvShift);
      break;
    default:
      // A short output block keeps the values of the fields it does not reach.
      ReadFlagByte(iload, outputOn);
      ReadFlagByte(iload, clampOn);
      ReadFlagByte(iload, monoOn);
      ReadF32(iload, alphaShift);
      ReadF32(iload, brightness);
      ReadF32(iload, contrast);
      ReadF32(iload, gamma);
      ReadColor4(iload, hsvShift);
      ReadColor4(iload, rgbShift);
      break;
  }
  return IO_OK;
}

}  // namespace tessary
