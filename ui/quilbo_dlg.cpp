// The parameter dialog: construction through the editor's rollup pages, the
// panel procedures, and the operations through which the host re-targets,
// refreshes and deletes the dialog.

#include "ui/quilbo_dlg.h"

#include "host/hold.h"
#include "map/quilbo.h"
#include "module_text/module_text.h"
#include "resources/resource.h"
#include "ui/labels.h"
#include "ui/row_controls.h"

namespace tessary {

using namespace host;

namespace {

// The panel procedures: WM_INITDIALOG brings the dialog in lParam and keeps
// it in the window's user data; every later message goes to the dialog's
// handler for the panel, or is ignored once the user data is cleared.
using PanelHandler = INT_PTR (QuilboDlg::*)(HWND, UINT, WPARAM, LPARAM);

template <PanelHandler Handler, HWND QuilboDlg::*Panel>
INT_PTR CALLBACK PanelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  QuilboDlg* dlg = nullptr;
  if (msg == WM_INITDIALOG) {
    dlg = reinterpret_cast<QuilboDlg*>(lParam);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, lParam);
    if (dlg) dlg->*Panel = hwnd;
  } else {
    dlg = reinterpret_cast<QuilboDlg*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  }
  if (!dlg) return FALSE;
  return (dlg->*Handler)(hwnd, msg, wParam, lParam);
}

constexpr auto LayersDlgProc = PanelProc<&QuilboDlg::LayersProc, &QuilboDlg::layersPanel>;
constexpr auto OutputDlgProc = PanelProc<&QuilboDlg::OutputProc, &QuilboDlg::outputPanel>;
constexpr auto AboutDlgProc = PanelProc<&QuilboDlg::AboutProc, &QuilboDlg::aboutPanel>;

// Rollup flags: the Output and About pages start rolled up.
constexpr DWORD kRolledUp = 1;

}  // namespace

QuilboDlg::QuilboDlg(HWND hwMtlEdit, IMtlParams* imp, Quilbo* m)
    : mtlEditWindow(hwMtlEdit), editorParams(imp), map(m), dadManager(this) {
  if (!editorParams) return;
  const LPARAM self = reinterpret_cast<LPARAM>(this);
  const std::string layersTitle = LoadText(IDS_ROLLOUT_LAYERS);
  HWND page = editorParams->AddRollupPage(hInstance, IDD_LAYERS, LayersDlgProc, layersTitle.c_str(), self, 0,
                                          ROLLUP_CAT_STANDARD);
  if (page) layersPanel = page;
  const std::string outputTitle = LoadText(IDS_ROLLOUT_OUTPUT);
  page = editorParams->AddRollupPage(hInstance, IDD_OUTPUT, OutputDlgProc, outputTitle.c_str(), self, kRolledUp,
                                     ROLLUP_CAT_STANDARD);
  if (page) outputPanel = page;
  const std::string aboutTitle = LoadText(IDS_ROLLOUT_ABOUT);
  page = editorParams->AddRollupPage(hInstance, IDD_ABOUT, AboutDlgProc, aboutTitle.c_str(), self, kRolledUp,
                                     ROLLUP_CAT_STANDARD);
  if (page) aboutPanel = page;
}

QuilboDlg::~QuilboDlg() = default;

QuilboDialogLink* CreateQuilboDlg(Quilbo& map, HWND hwMtlEdit, IMtlParams* imp) {
  auto* dlg = new QuilboDlg(hwMtlEdit, imp, &map);
  dlg->RefreshLayersPanel();
  map.paramDlg = dlg;
  return dlg;
}

Class_ID QuilboDlg::ClassID() { return QUILBO_CLASS_ID; }

void QuilboDlg::SetThing(ReferenceTarget* m) {
  if (map) map->paramDlg = nullptr;
  map = dynamic_cast<Quilbo*>(m);
  if (map) map->paramDlg = this;
  RefreshLayersPanel();
}

ReferenceTarget* QuilboDlg::GetThing() { return map; }

void QuilboDlg::ReloadDialog() {
  if (map && editorParams) {
    Interval v = FOREVER;
    map->Update(editorParams->GetTime(), v);
  }
  RefreshLayersPanel();
}

void QuilboDlg::SetTime(TimeValue /*t*/) {
  ReloadDialog();
  if (layersPanel) InvalidateRect(layersPanel, nullptr, FALSE);
}

void QuilboDlg::DeleteThis() {
  if (map && map->paramDlg == this) map->paramDlg = nullptr;
  map = nullptr;
  for (HWND* panel : {&layersPanel, &aboutPanel, &outputPanel}) {
    if (*panel) SetWindowLongPtrA(*panel, GWLP_USERDATA, 0);
    *panel = nullptr;
  }
  // The pages stay until the editor removes them; their buttons must not
  // keep a manager that goes with this object.
  ReleaseRowControls();
  if (bannerImage) ReleaseICustImage(bannerImage);
  bannerImage = nullptr;
  if (bannerImageList) ImageList_Destroy(bannerImageList);
  bannerImageList = nullptr;
  delete this;
}

void QuilboDlg::ReleaseRowControls() {
  for (auto& pair : rowButtons) {
    for (ICustButton*& b : pair) {
      if (!b) continue;
      if (b->GetDADMgr() == &dadManager) b->SetDADMgr(nullptr);
      ReleaseICustButton(b);
      b = nullptr;
    }
  }
  for (ICustEdit*& e : rowNumberEdits) {
    if (e) ReleaseICustEdit(e);
    e = nullptr;
  }
}

int QuilboDlg::FindSubTexFromHWND(HWND hwnd) {
  if (!hwnd || !map) return -1;
  const int f = map->firstVisibleLayer;
  for (int r = 0; r < kVisibleRows; ++r) {
    const auto& pair = rowButtons[static_cast<std::size_t>(r)];
    if (pair[0] && pair[0]->GetHwnd() == hwnd) return 2 * (f + r);
    if (pair[1] && pair[1]->GetHwnd() == hwnd) return 2 * (f + r) + 1;
  }
  return -1;
}

void QuilboDlg::MarkForReload() {
  valid = 0;
  if (layersPanel) {
    const RECT corner{0, 0, 10, 10};
    InvalidateRect(layersPanel, &corner, FALSE);
  }
}

void QuilboDlg::MaterialChanged() {
  if (editorParams) editorParams->MtlChanged();
}

}  // namespace tessary
