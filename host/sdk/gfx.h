#pragma once
// The host's viewport display interfaces: texture handles, the callbacks
// that make them, the software material's texture records and the hardware
// material. The host implements all of them; maps only call them.

#include "host/sdk/color.h"
#include "host/sdk/maxtypes.h"
#include "host/sdk/tab.h"
#include "platform/win32.h"

namespace tessary::host {

class Texmap;

// A texture made for the viewport. Released through DeleteThis.
class TexHandle {
 public:
  virtual DWORD_PTR GetHandle() = 0;
  virtual void DeleteThis() = 0;

 protected:
  virtual ~TexHandle() = default;
};

// Makes viewport textures from images.
class TexHandleMaker {
 public:
  virtual ~TexHandleMaker() = default;
  // A handle for the image; null when it cannot be made. The image stays
  // the caller's.
  virtual TexHandle* CreateHandle(BITMAPINFO* bminf) = 0;
};

// One texture record of the software viewport material.
struct TextureInfo {
  int useTex = 1;
  int faceMap = 0;
  DWORD_PTR textHandle = 0;  // the handle value of the stage's texture
  int currentStage = 0;      // stage number, for the hardware path's scratch record
  // Mapping, filled by the material-maker callback.
  int uvwSource = 0;
  int mapChannel = 1;
  float tiling[3] = {1.0f, 1.0f, 1.0f};
  int mirror[3] = {0, 0, 0};
  int clampMode = 0;
  // Blending, in this order.
  BYTE colorOp = 0;
  BYTE colorAlphaSource = 0;
  BYTE colorScale = 0;
  BYTE alphaOp = 0;
  BYTE alphaAlphaSource = 0;
  BYTE alphaScale = 0;
};

// The software viewport material of a node.
class Material {
 public:
  Color Ka;
  Color Kd;
  Color Ks;
  Tab<TextureInfo> texture;
};

// The material-maker callback the host hands to SetupGfxMultiMaps.
class MtlMakerCallback : public TexHandleMaker {
 public:
  // Fills ti's mapping fields from txm at time t.
  virtual void GetGfxTexInfoFromTexmap(TimeValue t, TextureInfo& ti, Texmap* txm) = 0;
  // How many textures the viewport can blend.
  virtual int NumberTexturesSupported() = 0;
};

// The hardware viewport material. Stages are numbered from 0.
class IHardwareMaterial {
 public:
  virtual ~IHardwareMaterial() = default;
  virtual void SetNumTexStages(DWORD numStages) = 0;
  virtual void SetTexture(DWORD stage, DWORD_PTR texHandle) = 0;
  virtual void SetTextureColorArg(DWORD stage, DWORD argNum, DWORD colorArg) = 0;
  virtual void SetTextureAlphaArg(DWORD stage, DWORD argNum, DWORD alphaArg) = 0;
  virtual void SetTextureColorOp(DWORD stage, DWORD colorOp) = 0;
  virtual void SetTextureAlphaOp(DWORD stage, DWORD alphaOp) = 0;
  virtual void SetTextureTransformFlag(DWORD stage, DWORD flag) = 0;
  virtual void SetDiffuseColor(const AColor& c) = 0;
  virtual void SetAmbientColor(const AColor& c) = 0;
};

}  // namespace tessary::host
