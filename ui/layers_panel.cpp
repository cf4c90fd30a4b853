// The Layers rollout: six rows over the layer stack with a scroll bar, the
// full refresh, the row texts (which also rename the visible layer maps and
// masks) and every command of the panel.

#include <string>

#include "host/hold.h"
#include "map/quilbo.h"
#include "map/recorder_off.h"
#include "module_text/module_text.h"
#include "map/quilbo_class_desc.h"
#include "resources/resource.h"
#include "ui/labels.h"
#include "ui/quilbo_dlg.h"
#include "ui/row_controls.h"

namespace tessary {

using namespace host;

namespace {

// The texture-map-button message the material editor takes: wParam is the
// sub-map index, lParam the map.
constexpr UINT kTexmapButtonMessage = 0x4402;

template <class T>
bool InTable(const Tab<T>& table, int i) {
  return i >= 0 && i < table.Count();
}

constexpr RowColumn kAllColumns[] = {RowColumn::LayerNumber, RowColumn::MapOn,       RowColumn::MaskOn,
                                     RowColumn::Frame,       RowColumn::UseLayer,    RowColumn::OpacityEdit,
                                     RowColumn::OpacitySpin, RowColumn::Swatch,      RowColumn::ModeList};

void ShowControl(HWND panel, int id, bool show) { ShowWindow(GetDlgItem(panel, id), show ? SW_SHOW : SW_HIDE); }
void EnableControl(HWND panel, int id, bool enable) { EnableWindow(GetDlgItem(panel, id), enable ? TRUE : FALSE); }

bool CtrlHeld() { return (static_cast<unsigned short>(GetKeyState(VK_CONTROL)) & 0x8000u) != 0; }

}  // namespace

int QuilboDlg::LayerCount() const { return map ? map->LayerCount() : 0; }

void QuilboDlg::ClampFirstVisible() {
  if (!map) return;
  const int n = LayerCount();
  if (map->firstVisibleLayer > n - kVisibleRows) map->firstVisibleLayer = n - kVisibleRows;
  if (map->firstVisibleLayer < 0) map->firstVisibleLayer = 0;
}

void QuilboDlg::UpdateScrollBar() {
  const int n = LayerCount();
  SetScrollRange(scrollBar, SB_CTL, 0, n - kVisibleRows, FALSE);
  SetScrollPos(scrollBar, SB_CTL, map ? map->firstVisibleLayer : 0, TRUE);
  EnableWindow(scrollBar, n > kVisibleRows ? TRUE : FALSE);
}

// --- Set-up -------------------------------------------------------------------

void QuilboDlg::InitLayersPanel(HWND hwnd) {
  scrollBar = GetDlgItem(hwnd, IDC_LAYER_SCROLL);
  UpdateScrollBar();
  for (int r = 0; r < kVisibleRows; ++r) {
    auto& pair = rowButtons[static_cast<std::size_t>(r)];
    for (int b = 0; b < 2; ++b) {
      ICustButton*& slot = pair[static_cast<std::size_t>(b)];
      if (slot) ReleaseICustButton(slot);
      slot = GetICustButton(GetDlgItem(hwnd, RowButtonId(2 * r + b)));
      if (slot) slot->SetDADMgr(&dadManager);
    }
    ICustEdit*& edit = rowNumberEdits[static_cast<std::size_t>(r)];
    if (edit) ReleaseICustEdit(edit);
    edit = GetICustEdit(GetDlgItem(hwnd, RowControlId(RowColumn::LayerNumber, r)));
    // The spinners take the range and default of the block's opacity table.
    const ParamDef& opacityDef = QuilboParamDef(params::kOpasityList);
    if (ISpinnerControl* spin = SetupFloatSpinner(hwnd, RowControlId(RowColumn::OpacitySpin, r),
                                                  RowControlId(RowColumn::OpacityEdit, r), opacityDef.rangeLow,
                                                  opacityDef.rangeHigh, opacityDef.defFloat, 0.1f)) {
      spin->SetResetValue(opacityDef.defFloat);
      ReleaseISpinner(spin);
    }
    if (HWND list = GetDlgItem(hwnd, RowControlId(RowColumn::ModeList, r))) {
      SendMessageA(list, CB_RESETCONTENT, 0, 0);
      for (int m = 0; m < kNumBlendModes; ++m) {
        const std::string name = ModeName(m);
        SendMessageA(list, CB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name.c_str()));
      }
    }
  }
}

// --- Refresh ------------------------------------------------------------------

void QuilboDlg::RefreshLayersPanel() {
  if (!map) return;
  ClampFirstVisible();
  UpdateScrollBar();
  if (editorParams) {
    Interval v = FOREVER;
    map->Update(editorParams->GetTime(), v);
  }
  UpdateRowTexts();
  // UpdateRowTexts may end in a notification that detaches the map.
  if (!map) return;
  SetDlgItemTextA(layersPanel, IDC_NUM_LAYERS, std::to_string(LayerCount()).c_str());
  LayoutRows();
}

void QuilboDlg::LayoutRows() {
  const int n = LayerCount();
  const int f = map->firstVisibleLayer;
  const int shown = n < kVisibleRows ? n : kVisibleRows;
  HWND p = layersPanel;
  for (int r = 0; r < shown; ++r) {
    const int layer = f + r;
    for (RowColumn c : kAllColumns) ShowControl(p, RowControlId(c, r), true);
    ShowControl(p, RowButtonId(2 * r), true);
    ShowControl(p, RowButtonId(2 * r + 1), true);
    if (layer == 0) {
      // The base layer is always used: its switches, buttons and colour
      // stay usable; it has no use box, opacity or mode.
      EnableControl(p, RowControlId(RowColumn::LayerNumber, r), false);
      for (RowColumn c : {RowColumn::UseLayer, RowColumn::OpacityEdit, RowColumn::OpacitySpin, RowColumn::ModeList})
        ShowControl(p, RowControlId(c, r), false);
      for (RowColumn c : {RowColumn::MapOn, RowColumn::MaskOn, RowColumn::Swatch})
        EnableControl(p, RowControlId(c, r), true);
      EnableControl(p, RowButtonId(2 * r), true);
      EnableControl(p, RowButtonId(2 * r + 1), true);
      continue;
    }
    EnableControl(p, RowControlId(RowColumn::LayerNumber, r), true);
    const bool used = TableEntry(map->layerUsed, layer, 0) != 0;
    for (RowColumn c : {RowColumn::MapOn, RowColumn::MaskOn, RowColumn::OpacityEdit, RowColumn::OpacitySpin,
                        RowColumn::Swatch, RowColumn::ModeList})
      EnableControl(p, RowControlId(c, r), used);
    EnableControl(p, RowButtonId(2 * r), used && TableEntry(map->mapOn, layer, 0) != 0);
    EnableControl(p, RowButtonId(2 * r + 1), used && TableEntry(map->maskOn, layer, 0) != 0);
  }
  for (int r = shown; r < kVisibleRows; ++r) {
    for (RowColumn c : kAllColumns) ShowControl(p, RowControlId(c, r), false);
    ShowControl(p, RowButtonId(2 * r), false);
    ShowControl(p, RowButtonId(2 * r + 1), false);
  }
}

// --- Row texts ----------------------------------------------------------------

void QuilboDlg::UpdateRowTexts() {
  if (!map) return;
  Quilbo* m = map;
  const int n = LayerCount();
  const int f = m->firstVisibleLayer;
  HWND p = layersPanel;
  for (int layer = f; layer < n && layer - f < kVisibleRows; ++layer) {
    const int r = layer - f;
    const auto& buttons = rowButtons[static_cast<std::size_t>(r)];
    Texmap* layerMap = TableEntry<Texmap*>(m->subMaps, 2 * layer, nullptr);
    Texmap* maskMap = TableEntry<Texmap*>(m->subMaps, 2 * layer + 1, nullptr);
    const LayerValues values = m->GetLayer(layer);

    const std::string mapSource = layerMap ? layerMap->GetName() : LoadText(IDS_NONE);
    const int mode = values.mode;
    const std::string mapLabel = LayerMapLabel(layer, ModeName(mode), OpacityLabelValue(values.opacity), mapSource);
    std::string caption = LoadText(IDS_NONE);
    if (layerMap) {
      layerMap->SetName(mapLabel);
      caption = layerMap->GetFullName();
    }
    if (buttons[0]) buttons[0]->SetText(caption.c_str());

    const std::string maskSource = maskMap ? maskMap->GetName() : LoadText(IDS_MASK_NONE);
    const std::string maskLabel = MaskMapLabel(layer, maskSource);
    caption = LoadText(IDS_MASK_NONE);
    if (maskMap) {
      maskMap->SetName(maskLabel);
      caption = maskMap->GetFullName();
    }
    if (buttons[1]) buttons[1]->SetText(caption.c_str());

    const std::string number =
        layer == 0 ? LoadText(IDS_BASE_LAYER) : FormatText(LoadText(IDS_LAYER_NUMBER_FORMAT), {layer});
    if (ICustEdit* edit = rowNumberEdits[static_cast<std::size_t>(r)]) edit->SetText(number.c_str());
    if (m->pblock) {
      // Writing an unchanged text would only notify the map, which would ask
      // for another reload.
      // The texts are bookkeeping, not a user's edit: they are not recorded.
      const char* stored = m->pblock->GetStr(params::kEditIds, 0, layer);
      if (!stored || number != stored) {
        RecorderOff recorderOff;
        m->pblock->SetValue(params::kEditIds, 0, number.c_str(), layer);
      }
      if (map != m) return;
    }

    CheckDlgButton(p, RowControlId(RowColumn::MapOn, r), TableEntry(m->mapOn, layer, 0) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(p, RowControlId(RowColumn::MaskOn, r), TableEntry(m->maskOn, layer, 0) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(p, RowControlId(RowColumn::UseLayer, r),
                   TableEntry(m->layerUsed, layer, 0) ? BST_CHECKED : BST_UNCHECKED);
    if (IColorSwatch* swatch = GetIColorSwatch(GetDlgItem(p, RowControlId(RowColumn::Swatch, r)))) {
      swatch->SetColor(values.color, FALSE);
      ReleaseIColorSwatch(swatch);
    }
    if (ISpinnerControl* spin = GetISpinner(GetDlgItem(p, RowControlId(RowColumn::OpacitySpin, r)))) {
      spin->SetValue(values.opacity, FALSE);
      ReleaseISpinner(spin);
    }
    // A mode outside the table selects nothing.
    const WPARAM selection = IsBlendMode(mode) ? static_cast<WPARAM>(mode) : static_cast<WPARAM>(-1);
    SendDlgItemMessageA(p, RowControlId(RowColumn::ModeList, r), CB_SETCURSEL, selection, 0);
  }
  ReloadOutputPanel();
}

void QuilboDlg::UpdateRowSwatches() {
  if (!map) return;
  const int n = LayerCount();
  const int f = map->firstVisibleLayer;
  for (int layer = f; layer < n && layer - f < kVisibleRows; ++layer) {
    HWND w = GetDlgItem(layersPanel, RowControlId(RowColumn::Swatch, layer - f));
    if (IColorSwatch* swatch = GetIColorSwatch(w)) {
      swatch->SetColor(map->GetLayer(layer).color, FALSE);
      ReleaseIColorSwatch(swatch);
    }
  }
}

// --- Messages -----------------------------------------------------------------

INT_PTR QuilboDlg::LayersProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      InitLayersPanel(hwnd);
      return TRUE;
    case WM_COMMAND:
      OnLayersCommand(LOWORD(wParam), HIWORD(wParam));
      return FALSE;
    case WM_VSCROLL:
      OnLayersScroll(LOWORD(wParam), static_cast<short>(HIWORD(wParam)));
      return FALSE;
    case WM_PAINT:
      if (!valid) {
        valid = 1;
        ReloadDialog();
      }
      return FALSE;
    case WM_DESTROY:
      ReleaseRowControls();
      return FALSE;
    case CC_SPINNER_BUTTONUP: {
      const int r = RowOf(RowColumn::OpacitySpin, LOWORD(wParam));
      if (r >= 0) OnOpacity(r);
      return FALSE;
    }
    case CC_COLOR_CHANGE: {
      const int r = RowOf(RowColumn::Swatch, LOWORD(wParam));
      if (r >= 0) OnColor(r, HIWORD(wParam) != 0, reinterpret_cast<IColorSwatch*>(lParam));
      return FALSE;
    }
    case WM_CUSTEDIT_ENTER: {
      const int id = static_cast<int>(wParam);
      if (const int r = RowOf(RowColumn::OpacityEdit, id); r >= 0) OnOpacity(r);
      if (const int r = RowOf(RowColumn::LayerNumber, id); r >= 0) OnLayerNumber(r);
      return FALSE;
    }
    default:
      return FALSE;
  }
}

void QuilboDlg::OnLayersCommand(int id, int code) {
  if (!map) return;
  const int f = map->firstVisibleLayer;
  auto checked = [this, id] { return IsDlgButtonChecked(layersPanel, id) == BST_CHECKED ? 1 : 0; };

  // The mode and the switches change what the map shows without telling
  // anyone through a reference: the editor is told, so that its samples of
  // the material are drawn again.
  bool materialChanged = false;
  if (const int r = RowOf(RowColumn::ModeList, id); r >= 0) {
    // A drop-down list also reports focus, opening and closing; only a new
    // selection sets the mode, and a list without one (a mode outside the
    // table) leaves the mode as it is.
    if (code != CBN_SELCHANGE) return;
    const LRESULT sel = SendDlgItemMessageA(layersPanel, id, CB_GETCURSEL, 0, 0);
    if (sel == CB_ERR || sel < 0 || sel >= kNumBlendModes || !InTable(map->blendMode, f + r)) return;
    map->blendMode[f + r] = static_cast<int>(sel);
    materialChanged = true;
  } else if (code != BN_CLICKED) {
    // Buttons and check boxes act on a click only.
    return;
  } else if (const int r2 = RowOf(RowColumn::MapOn, id); r2 >= 0) {
    if (InTable(map->mapOn, f + r2)) map->mapOn[f + r2] = checked();
    materialChanged = true;
  } else if (const int r3 = RowOf(RowColumn::UseLayer, id); r3 >= 0) {
    if (InTable(map->layerUsed, f + r3)) map->layerUsed[f + r3] = checked();
    materialChanged = true;
  } else if (const int r4 = RowOf(RowColumn::MaskOn, id); r4 >= 0) {
    if (InTable(map->maskOn, f + r4)) map->maskOn[f + r4] = checked();
    materialChanged = true;
  } else if (id == IDC_SET_NUMBER) {
    RunSetNumber();
  } else if (id == IDC_ADD_LAYER) {
    if (CtrlHeld()) {
      RunInsert();
    } else {
      map->SetNumLayers(LayerCount() + 1);
    }
    UpdateRowTexts();
  } else if (id == IDC_DELETE_LAYER) {
    if (CtrlHeld()) {
      RunDelete();
    } else {
      map->SetNumLayers(LayerCount() - 1);
      UpdateRowTexts();
    }
  } else if (const int k = ButtonOf(id); k >= 0) {
    PostMessageA(mtlEditWindow, kTexmapButtonMessage, static_cast<WPARAM>(2 * f + k), reinterpret_cast<LPARAM>(map));
  } else {
    return;
  }
  RefreshLayersPanel();
  if (materialChanged) MaterialChanged();
}

void QuilboDlg::OnLayersScroll(int code, int thumb) {
  if (!map) return;
  int& f = map->firstVisibleLayer;
  switch (code) {
    case SB_LINEUP: f -= 1; break;
    case SB_LINEDOWN: f += 1; break;
    case SB_PAGEUP: f -= kVisibleRows; break;
    case SB_PAGEDOWN: f += kVisibleRows; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: f = thumb; break;
    default: break;
  }
  ClampFirstVisible();
  UpdateRowTexts();
  RefreshLayersPanel();
}

void QuilboDlg::OnOpacity(int row) {
  if (!map) return;
  const int layer = map->firstVisibleLayer + row;
  if (ISpinnerControl* spin = GetISpinner(GetDlgItem(layersPanel, RowControlId(RowColumn::OpacitySpin, row)))) {
    if (InTable(map->opacity, layer)) map->opacity[layer] = spin->GetFVal();
    ReleaseISpinner(spin);
  }
  RefreshLayersPanel();
  MaterialChanged();
}

void QuilboDlg::OnColor(int row, bool final, IColorSwatch* /*fromMessage*/) {
  if (!map) return;
  if (final) theHold.Begin();
  const int layer = map->firstVisibleLayer + row;
  // The colour is read from the row's own swatch rather than from a pointer
  // carried by the message.
  if (IColorSwatch* swatch = GetIColorSwatch(GetDlgItem(layersPanel, RowControlId(RowColumn::Swatch, row)))) {
    if (InTable(map->layerColor, layer)) map->layerColor[layer] = swatch->GetColorValue();
    ReleaseIColorSwatch(swatch);
  }
  UpdateRowSwatches();
  if (final) {
    const std::string label = LoadText(IDS_PARAM_CHANGE);
    theHold.Accept(label.c_str());
    MaterialChanged();
  }
  RefreshLayersPanel();
}

void QuilboDlg::OnLayerNumber(int row) {
  if (!map) return;
  // The field is read into a buffer of 19 characters, as its own width.
  char text[19] = {};
  if (ICustEdit* edit = rowNumberEdits[static_cast<std::size_t>(row)]) edit->GetText(text, sizeof text);
  const int k = LeadingInt(text);
  const int layer = map->firstVisibleLayer + row;
  if (map->pblock) {
    if (const char* stored = map->pblock->GetStr(params::kEditIds, 0, layer)) {
      const int j = LeadingInt(stored);
      map->SwapLayers(k, j);
      UpdateRowTexts();
    }
  }
  RefreshLayersPanel();
  MaterialChanged();
}

}  // namespace tessary
