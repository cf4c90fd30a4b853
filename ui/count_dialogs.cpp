// The three small modal dialogs of the Layers rollout that ask for one
// number: the number of layers, the position to insert before and the layer
// to delete. Each returns the number, or -1 for Cancel.

#include "map/quilbo.h"
#include "module_text/module_text.h"
#include "resources/resource.h"
#include "ui/quilbo_dlg.h"

namespace tessary {

using namespace host;

namespace {

// Limits of the dialog's spinner, given its initial value.
struct CountLimits {
  int min;
  int max;
};
// A stack already past 1000 layers keeps its count as the most: OK on the
// value shown changes nothing.
constexpr CountLimits SetNumberLimits(int initial) { return {2, initial > 1000 ? initial : 1000}; }
constexpr CountLimits InsertLimits(int /*initial*/) { return {1, 1000}; }
// The largest layer that can be deleted is the top one, N - 1, the initial value.
constexpr CountLimits DeleteLimits(int initial) { return {1, initial}; }

template <CountLimits (*Limits)(int)>
INT_PTR CALLBACK CountDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: {
      const int initial = static_cast<int>(lParam);
      const CountLimits limits = Limits(initial);
      if (ISpinnerControl* spin =
              SetupIntSpinner(hwnd, IDC_COUNT_SPIN, IDC_COUNT_EDIT, limits.min, limits.max, initial)) {
        ReleaseISpinner(spin);
      }
      CenterWindow(hwnd, GetParent(hwnd));
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        int value = -1;
        if (ISpinnerControl* spin = GetISpinner(GetDlgItem(hwnd, IDC_COUNT_SPIN))) {
          // Return in the field presses OK without leaving the field, so
          // what was typed there is taken here (the spinner clamps it).
          if (ICustEdit* edit = GetICustEdit(GetDlgItem(hwnd, IDC_COUNT_EDIT))) {
            BOOL valid = FALSE;
            const float typed = edit->GetFloat(&valid);
            if (valid) spin->SetValue(typed, FALSE);
            ReleaseICustEdit(edit);
          }
          value = spin->GetIVal();
          ReleaseISpinner(spin);
        }
        EndDialog(hwnd, value);
      } else if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(hwnd, -1);
      }
      return TRUE;
    default:
      return FALSE;
  }
}

int RunCountDialog(int resource, DLGPROC proc, HWND owner, int initial) {
  const INT_PTR result =
      DialogBoxParamA(hInstance, MAKEINTRESOURCEA(resource), owner, proc, static_cast<LPARAM>(initial));
  if (result < 0 || result > 0x7FFFFFFF) return -1;
  return static_cast<int>(result);
}

}  // namespace

void QuilboDlg::RunSetNumber() {
  if (!map) return;
  const int k = RunCountDialog(IDD_SET_NUMBER, CountDlgProc<SetNumberLimits>, layersPanel, LayerCount());
  if (k >= 0 && map) map->SetNumLayers(k);
  RefreshLayersPanel();
}

void QuilboDlg::RunInsert() {
  if (!map) return;
  const int a = RunCountDialog(IDD_INSERT_LAYER, CountDlgProc<InsertLimits>, layersPanel, 1);
  if (a < 0 || !map) return;
  map->InsertLayerBefore(a);
  RefreshLayersPanel();
}

void QuilboDlg::RunDelete() {
  if (!map) return;
  const int d = RunCountDialog(IDD_DELETE_LAYER, CountDlgProc<DeleteLimits>, layersPanel, LayerCount() - 1);
  if (d < 0 || !map) return;
  map->DeleteLayer(d);
  RefreshLayersPanel();
}

}  // namespace tessary
