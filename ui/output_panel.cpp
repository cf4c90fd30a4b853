// The Output rollout: the switches and the ten spinners of the output stage.

#include <array>

#include "map/quilbo.h"
#include "map/quilbo_class_desc.h"
#include "resources/resource.h"
#include "ui/quilbo_dlg.h"

namespace tessary {

using namespace host;

namespace {

// One spinner of the panel, the map field it edits and the block parameter
// whose range and default it takes. Bright and Contrast are shown as
// percentages of the stored factor.
struct OutputBinding {
  int spinId;
  int editId;
  ParamID param;
  float Quilbo::*scalar;  // the field, or null for a component of a colour
  AColor Quilbo::*color;
  float AColor::*component;
  float shown;  // displayed = stored * shown
  float scale;
};

// In set-up order: H, S, V, R, G, B, Alpha, Bright, Contrast, Gamma.
const std::array<OutputBinding, 10> kBindings = {{
    {IDC_H_SPIN, IDC_H_EDIT, params::kHsvH, nullptr, &Quilbo::hsvShift, &AColor::r, 1.0f, 0.1f},
    {IDC_S_SPIN, IDC_S_EDIT, params::kHsvS, nullptr, &Quilbo::hsvShift, &AColor::g, 1.0f, 0.1f},
    {IDC_V_SPIN, IDC_V_EDIT, params::kHsvV, nullptr, &Quilbo::hsvShift, &AColor::b, 1.0f, 0.1f},
    {IDC_R_SPIN, IDC_R_EDIT, params::kRgbR, nullptr, &Quilbo::rgbShift, &AColor::r, 1.0f, 0.1f},
    {IDC_G_SPIN, IDC_G_EDIT, params::kRgbG, nullptr, &Quilbo::rgbShift, &AColor::g, 1.0f, 0.1f},
    {IDC_B_SPIN, IDC_B_EDIT, params::kRgbB, nullptr, &Quilbo::rgbShift, &AColor::b, 1.0f, 0.1f},
    {IDC_ALPHA_SPIN, IDC_ALPHA_EDIT, params::kAlpha, &Quilbo::alphaShift, nullptr, nullptr, 1.0f, 0.1f},
    {IDC_BRIGHT_SPIN, IDC_BRIGHT_EDIT, params::kBright, &Quilbo::brightness, nullptr, nullptr, 100.0f, 1.0f},
    {IDC_CONTRAST_SPIN, IDC_CONTRAST_EDIT, params::kContrast, &Quilbo::contrast, nullptr, nullptr, 100.0f, 1.0f},
    {IDC_GAMMA_SPIN, IDC_GAMMA_EDIT, params::kGamma, &Quilbo::gamma, nullptr, nullptr, 1.0f, 0.01f},
}};

float& Field(Quilbo& map, const OutputBinding& b) {
  return b.scalar ? map.*b.scalar : (map.*b.color).*b.component;
}

const OutputBinding* BindingOf(int id, bool bySpinner) {
  for (const OutputBinding& b : kBindings)
    if ((bySpinner ? b.spinId : b.editId) == id) return &b;
  return nullptr;
}

bool Checked(HWND panel, int id) { return IsDlgButtonChecked(panel, id) == BST_CHECKED; }

}  // namespace

void QuilboDlg::InitOutputPanel(HWND hwnd) {
  const bool on = map && map->outputOn;
  SetCheckBox(hwnd, IDC_OUTPUT_ON, on);
  SetCheckBox(hwnd, IDC_CLAMP, map && map->clampOn);
  SetCheckBox(hwnd, IDC_MONO, map && map->monoOn);
  for (const OutputBinding& b : kBindings) {
    const ParamDef& def = QuilboParamDef(b.param);
    ISpinnerControl* spin = SetupFloatSpinner(hwnd, b.spinId, b.editId, def.rangeLow, def.rangeHigh, def.defFloat,
                                              b.scale);
    if (!spin) continue;
    spin->SetAutoScale(TRUE);
    spin->SetResetValue(def.defFloat);
    spin->Enable(on);
    ReleaseISpinner(spin);
  }
  for (int id : {IDC_CLAMP, IDC_MONO, IDC_RESET}) EnableWindow(GetDlgItem(hwnd, id), on);
}

void QuilboDlg::EnableOutputControls() {
  const BOOL on = map && map->outputOn ? TRUE : FALSE;
  for (const OutputBinding& b : kBindings) {
    if (ISpinnerControl* spin = GetISpinner(GetDlgItem(outputPanel, b.spinId))) {
      spin->Enable(on);
      ReleaseISpinner(spin);
    }
  }
  for (int id : {IDC_CLAMP, IDC_MONO, IDC_RESET}) EnableWindow(GetDlgItem(outputPanel, id), on);
}

void QuilboDlg::ReloadOutputPanel() {
  if (!map || !outputPanel) return;
  for (const OutputBinding& b : kBindings) {
    if (ISpinnerControl* spin = GetISpinner(GetDlgItem(outputPanel, b.spinId))) {
      spin->SetValue(Field(*map, b) * b.shown, FALSE);
      ReleaseISpinner(spin);
    }
  }
  SetCheckBox(outputPanel, IDC_OUTPUT_ON, map->outputOn);
  SetCheckBox(outputPanel, IDC_CLAMP, map->clampOn);
  SetCheckBox(outputPanel, IDC_MONO, map->monoOn);
  map->hsvShift.a = 0.0f;
  map->rgbShift.a = 0.0f;
}

void QuilboDlg::CommitOutput() {
  RefreshLayersPanel();
  MaterialChanged();
}

INT_PTR QuilboDlg::OutputProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM /*lParam*/) {
  if (msg == WM_INITDIALOG) {
    InitOutputPanel(hwnd);
    return TRUE;
  }
  if (!map) return FALSE;
  const OutputBinding* binding = nullptr;
  switch (msg) {
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;  // only clicks change a switch
      switch (LOWORD(wParam)) {
        case IDC_OUTPUT_ON:
          map->outputOn = Checked(hwnd, IDC_OUTPUT_ON);
          EnableOutputControls();
          break;
        case IDC_CLAMP:
          map->clampOn = Checked(hwnd, IDC_CLAMP);
          break;
        case IDC_MONO:
          map->monoOn = Checked(hwnd, IDC_MONO);
          break;
        case IDC_RESET:
          map->rgbShift = AColor(0, 0, 0, 0);
          map->hsvShift = AColor(0, 0, 0, 0);
          map->clampOn = false;
          map->alphaShift = 0.0f;
          map->gamma = 1.0f;
          map->brightness = 1.0f;
          map->contrast = 1.0f;
          map->monoOn = false;
          break;
        default:
          return FALSE;
      }
      CommitOutput();
      return FALSE;
    case CC_SPINNER_BUTTONUP:
      binding = BindingOf(LOWORD(wParam), true);
      break;
    case WM_CUSTEDIT_ENTER:
      binding = BindingOf(static_cast<int>(wParam), false);
      break;
    default:
      return FALSE;
  }
  if (!binding) return FALSE;
  if (ISpinnerControl* spin = GetISpinner(GetDlgItem(hwnd, binding->spinId))) {
    const float v = spin->GetFVal();
    Field(*map, *binding) = binding->shown == 1.0f ? v : v * 0.01f;
    ReleaseISpinner(spin);
  }
  CommitOutput();
  return FALSE;
}

}  // namespace tessary
