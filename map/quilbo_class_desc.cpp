// The map's class descriptor and block descriptor. Both are static objects
// of this one file: the class descriptor is constructed first and the block
// descriptor, which attaches itself to it, second; they are destroyed in the
// reverse order when the module is unloaded.

#include "map/quilbo_class_desc.h"

#include <new>

#include "host/classdesc.h"
#include "host/plugapi.h"
#include "map/quilbo.h"
#include "module_text/module_text.h"
#include "resources/resource.h"

namespace tessary {

using namespace host;

class QuilboClassDesc : public ClassDesc2 {
 public:
  // Hidden only in the host application whose ID is 5.
  int IsPublic() override { return GetAppID() != 5; }
  Animatable* Create(bool /*loading*/) override { return new (std::nothrow) Quilbo(); }
  const char* ClassName() override { return GetString(IDS_CLASS_NAME); }
  SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
  Class_ID ClassID() override { return QUILBO_CLASS_ID; }
  const char* Category() override { return GetString(IDS_CATEGORY); }
  const char* InternalName() override { return "Tessary"; }
  HINSTANCE HInstance() override { return hInstance; }
};

namespace {

QuilboClassDesc quilboDesc;

constexpr float kShiftLimit = 10000000.0f;

ParamDef LayerTable(ParamID id, const char* name, int type, int localName) {
  ParamDef d;
  d.id = id;
  d.int_name = name;
  d.type = type;
  d.tabSize = 2;
  d.flags = P_VARIABLE_SIZE;
  d.localNameResId = localName;
  return d;
}

ParamDef OutputFloat(ParamID id, const char* name, float def, float low, int edit, int spinner) {
  ParamDef d;
  d.id = id;
  d.int_name = name;
  d.type = TYPE_FLOAT;
  d.flags = P_ANIMATABLE;
  d.localNameText = name;
  d.defFloat = def;
  d.hasRange = true;
  d.rangeLow = low;
  d.rangeHigh = kShiftLimit;
  d.ctrlType = TYPE_SPINNER;
  d.ctrlEditType = EDITTYPE_FLOAT;
  d.ctrlCount = 2;
  d.ctrlIds[0] = edit;
  d.ctrlIds[1] = spinner;
  d.ctrlScale = 0.1f;
  return d;
}

ParamDef OutputBool(ParamID id, const char* name, int checkBox) {
  ParamDef d;
  d.id = id;
  d.int_name = name;
  d.type = TYPE_BOOL;
  d.flags = P_ANIMATABLE;
  d.localNameText = name;
  d.defInt = 0;
  d.ctrlType = TYPE_SINGLECHECKBOX;
  d.ctrlCount = 1;
  d.ctrlIds[0] = checkBox;
  return d;
}

ParamDef MapList() {
  ParamDef d = LayerTable(params::kMapList, "mapList", TYPE_TEXMAP_TAB, IDS_MAPS);
  d.flags = P_VARIABLE_SIZE | P_OWNERS_REF;
  d.ownerRefNo = 1;
  return d;
}

// The per-layer tables default to the new layer's values.
ParamDef Flags(ParamID id, const char* name, int localName, int def) {
  ParamDef d = LayerTable(id, name, TYPE_BOOL_TAB, localName);
  d.defInt = def;
  return d;
}

ParamDef Opacity() {
  ParamDef d = LayerTable(params::kOpasityList, "opasityList", TYPE_FLOAT_TAB, IDS_OPASITY);
  d.defFloat = kNewLayer.opacity;
  d.hasRange = true;
  d.rangeLow = 0.0f;
  d.rangeHigh = 100.0f;
  return d;
}

ParamDef Colors() {
  ParamDef d = LayerTable(params::kColorList, "colorList", TYPE_RGBA_TAB, IDS_COLOR);
  d.defColor = kNewLayer.color;
  return d;
}

ParamDef Modes() {
  ParamDef d = LayerTable(params::kModeList, "modeList", TYPE_INT_TAB, IDS_MODE);
  d.defInt = kNewLayer.mode;
  return d;
}

ParamDef EditIds() {
  ParamDef d = LayerTable(params::kEditIds, "edit_ids", TYPE_STRING_TAB, 0);
  d.localNameText = "edit_ids";
  return d;
}

ParamBlockDesc2 quilboParamBlockDesc(
    params::kBlockId, "parameters", 0, &quilboDesc, P_AUTO_CONSTRUCT + P_AUTO_UI, 0,
    ParamRollout{IDD_LAYERS, IDS_PARAMETERS, 0, 0},
    {
        MapList(),
        Flags(params::kMapEnabled, "mapEnabled", IDS_MAP_ENABLE, kNewLayer.mapOn),
        Flags(params::kMapUsed, "mapUsed", IDS_USE_LAYER, kNewLayer.used),
        Opacity(),
        Colors(),
        Modes(),
        EditIds(),
        Flags(params::kMaskEnabled, "maskEnabled", IDS_MAP_ENABLE, kNewLayer.maskOn),
        OutputFloat(params::kHsvH, "HSV_H", 0.0f, -kShiftLimit, IDC_H_EDIT, IDC_H_SPIN),
        OutputFloat(params::kHsvS, "HSV_S", 0.0f, -kShiftLimit, IDC_S_EDIT, IDC_S_SPIN),
        OutputFloat(params::kHsvV, "HSV_V", 0.0f, -kShiftLimit, IDC_V_EDIT, IDC_V_SPIN),
        OutputFloat(params::kRgbR, "RGB_R", 0.0f, -kShiftLimit, IDC_R_EDIT, IDC_R_SPIN),
        OutputFloat(params::kRgbG, "RGB_G", 0.0f, -kShiftLimit, IDC_G_EDIT, IDC_G_SPIN),
        OutputFloat(params::kRgbB, "RGB_B", 0.0f, -kShiftLimit, IDC_B_EDIT, IDC_B_SPIN),
        OutputBool(params::kOutputOn, "Output_on", IDC_OUTPUT_ON),
        OutputFloat(params::kAlpha, "alpha", 0.0f, -kShiftLimit, IDC_ALPHA_EDIT, IDC_ALPHA_SPIN),
        OutputFloat(params::kBright, "bright", 100.0f, -kShiftLimit, IDC_BRIGHT_EDIT, IDC_BRIGHT_SPIN),
        OutputFloat(params::kContrast, "contrast", 100.0f, -kShiftLimit, IDC_CONTRAST_EDIT, IDC_CONTRAST_SPIN),
        OutputFloat(params::kGamma, "gamma", 1.0f, 0.001f, IDC_GAMMA_EDIT, IDC_GAMMA_SPIN),
        OutputBool(params::kMono, "Mono", IDC_MONO),
        OutputBool(params::kClamp, "Clamp", IDC_CLAMP),
    });

}  // namespace

ClassDesc2* GetQuilboDesc() { return &quilboDesc; }

const ParamBlockDesc2& GetQuilboParamBlockDesc() { return quilboParamBlockDesc; }

const ParamDef& QuilboParamDef(ParamID id) {
  static const ParamDef none;
  const ParamDef* d = quilboParamBlockDesc.GetParamDef(id);
  return d ? *d : none;
}

}  // namespace tessary
