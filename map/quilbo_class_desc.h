#pragma once
// The class descriptor through which the host lists and creates the map, and
// the parameter IDs of the map's block (its schema is in the .cpp).

#include "host/iparamb2.h"

namespace tessary {

class QuilboClassDesc;

// The module's one class descriptor (static, alive while the module is loaded).
host::ClassDesc2* GetQuilboDesc();

// Parameters of block 0 "parameters", in order of declaration.
namespace params {
inline constexpr host::BlockID kBlockId = 0;
inline constexpr host::ParamID kMapList = 0;     // texture maps, 2 per layer (owner's references 1..2N)
inline constexpr host::ParamID kMapEnabled = 1;  // per layer
inline constexpr host::ParamID kMapUsed = 2;
inline constexpr host::ParamID kOpasityList = 3;
inline constexpr host::ParamID kColorList = 4;
inline constexpr host::ParamID kModeList = 5;
inline constexpr host::ParamID kEditIds = 6;
inline constexpr host::ParamID kMaskEnabled = 7;
inline constexpr host::ParamID kHsvH = 8;  // the Output parameters, 8..20
inline constexpr host::ParamID kHsvS = 9;
inline constexpr host::ParamID kHsvV = 10;
inline constexpr host::ParamID kRgbR = 11;
inline constexpr host::ParamID kRgbG = 12;
inline constexpr host::ParamID kRgbB = 13;
inline constexpr host::ParamID kOutputOn = 14;
inline constexpr host::ParamID kAlpha = 15;
inline constexpr host::ParamID kBright = 16;
inline constexpr host::ParamID kContrast = 17;
inline constexpr host::ParamID kGamma = 18;
inline constexpr host::ParamID kMono = 19;
inline constexpr host::ParamID kClamp = 20;

// The per-layer tables: one entry per layer each.
inline constexpr host::ParamID kPerLayer[] = {kMapEnabled, kMaskEnabled, kMapUsed, kColorList,
                                              kOpasityList, kModeList, kEditIds};
}  // namespace params

// The block's schema (attached to the class descriptor).
const host::ParamBlockDesc2& GetQuilboParamBlockDesc();
// The schema's definition of parameter id (its default and range); an
// empty definition for an ID the schema does not hold.
const host::ParamDef& QuilboParamDef(host::ParamID id);

}  // namespace tessary
